; Per-user installer of the dialer and the updater.
;   makensis /DVERSION=1.0.0 /DSOURCE_DIR=<folder with the files> /DOUTFILE=<setup.exe> [/DAMD64] [/DAUTHENTICODE=<command>] vornadel.nsi
; AMD64 builds the same installer with 64-bit stubs, for 64-bit test programs.
; AUTHENTICODE is a command that signs the file named after it in place; the uninstaller is signed before it goes
; into the installer, and then the installer.
Unicode true
!ifdef AMD64
  Target amd64-unicode
!endif
!ifndef VERSION | SOURCE_DIR | OUTFILE
  !error "VERSION, SOURCE_DIR and OUTFILE must be defined"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define PRODUCT "Vornadel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define DIALER_CLASS "Form"
!define DIALER_CAPTION "VornadelZembrel V1.0"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
!ifdef AUTHENTICODE
  !uninstfinalize '${AUTHENTICODE} "%1"' = 0
  !finalize '${AUTHENTICODE} "%1"' = 0
!endif
; Per user, so the updater can later replace the dialer without elevation.
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
ManifestDPIAware true
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${PRODUCT}"

!define MUI_ICON "${__FILEDIR__}/../assets/vornadel.ico"
!define MUI_UNICON "${__FILEDIR__}/../assets/vornadel.ico"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\vornadel.exe"
!define MUI_FINISHPAGE_RUN_TEXT "现在运行 ${PRODUCT}"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "${PRODUCT} 已从您的计算机中卸载"
!define MUI_FINISHPAGE_TEXT "您的设置和宽带账号（Windows 文件夹中的 list.ini）已保留，重新安装后可以继续使用。如不再需要，可以手动删除该文件。$\r$\n$\r$\n单击“完成”关闭此向导。"
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "SimpChinese"

; Asks a running dialer to close (it saves its fields on WM_CLOSE), waits a
; moment, then ends whatever is still running and waits until its exe can
; be replaced.
!macro CloseDialer
  StrCpy $1 0
  ${Do}
    FindWindow $0 "${DIALER_CLASS}" "${DIALER_CAPTION}"
    ${If} $0 = 0
      ${Break}
    ${EndIf}
    ${If} $1 = 0
      DetailPrint "正在关闭正在运行的 ${PRODUCT}……"
    ${EndIf}
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
    Sleep 250
    IntOp $1 $1 + 1
  ${LoopUntil} $1 >= 12
  ${If} $1 > 0
    ; Let it finish exiting; an About window it still has open keeps it
    ; running, and taskkill ends that.
    Sleep 500
  ${EndIf}
  nsExec::Exec '"$SYSDIR\taskkill.exe" /F /IM vornadel.exe'
  Pop $0
  StrCpy $1 0
  ${DoWhile} ${FileExists} "$INSTDIR\vornadel.exe"
    ClearErrors
    FileOpen $0 "$INSTDIR\vornadel.exe" a
    ${IfNot} ${Errors}
      FileClose $0
      ${Break}
    ${EndIf}
    Sleep 200
    IntOp $1 $1 + 1
    ${IfThen} $1 >= 25 ${|} ${Break} ${|}
  ${Loop}
!macroend

Section "${PRODUCT}（必需）" SecProgram
  SectionIn RO
  !insertmacro CloseDialer
  SetOutPath "$INSTDIR"
  File "${SOURCE_DIR}/vornadel.exe"
  File "${SOURCE_DIR}/update.exe"
  File "${SOURCE_DIR}/xptray.ico"
  File "${SOURCE_DIR}/README-zh.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\vornadel.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\卸载 ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vornadel.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; Chosen by default, in silent installs too.
Section "桌面快捷方式" SecDesktop
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\vornadel.exe"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "拨号程序、升级程序和托盘图标。"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} "在桌面上放一个 ${PRODUCT} 的快捷方式。"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
  !insertmacro CloseDialer

  ; Start-with-Windows belongs to this copy only when it starts a file in
  ; this folder; the dialer quotes paths that hold a space.
  ClearErrors
  ReadRegStr $0 HKCU "${RUN_KEY}" "Quendrik"
  ${IfNot} ${Errors}
    StrCpy $1 $0 1
    ${If} $1 == '"'
      StrCpy $0 $0 "" 1
    ${EndIf}
    StrLen $2 "$INSTDIR\"
    StrCpy $1 $0 $2
    ${If} $1 == "$INSTDIR\"
      DeleteRegValue HKCU "${RUN_KEY}" "Quendrik"
    ${EndIf}
  ${EndIf}

  Delete "$INSTDIR\vornadel.exe"
  Delete "$INSTDIR\update.exe"
  Delete "$INSTDIR\xptray.ico"
  Delete "$INSTDIR\README-zh.txt"
  ; What the updater downloaded.
  Delete "$INSTDIR\download\vornadel.exe"
  RMDir "$INSTDIR\download"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\卸载 ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DetailPrint "您的设置和账号（list.ini）已保留。"
  ; Last, so that a vanished key means the uninstall is complete.
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
