// Form1: the dialer's main window. It holds the connection settings in its
// fields, dials through rasdial, and lives mostly as a tray icon.
#pragma once
#include <windows.h>

#include <string>

#include "dialer/dial_processes.h"
#include "platform/handles.h"
#include "platform/window.h"

namespace dialer {

// Control and menu identifiers, also used by tests to find the controls.
enum ControlId : int {
    IDC_PICTURE1 = 101,
    IDC_FRAME1,
    IDC_CHECK1,
    IDC_CHECK2,
    IDC_TEXT1,
    IDC_TEXT2,
    IDC_TEXT3,
    IDC_TEXT4,
    IDC_TEXT5,
    IDC_COMMAND1,
    IDC_COMMAND2,
    IDC_COMMAND3,
    IDC_COMMAND4,
    IDC_LABEL1,
    IDC_LABEL2,
    IDC_LABEL3,
    IDC_LINE1,
};

enum MenuId : int {
    IDM_SHOW = 201,
    IDM_LJ,
    IDM_DK,
    IDM_UPDATE,
    IDM_ABOUT,
    IDM_EXIT,
};

constexpr UINT_PTR kTimer1Id = 1;
constexpr UINT kTimer1Interval = 3000;
// Adding the tray icon is tried again this often, this many times, while the
// shell has no tray yet (at log-on).
constexpr UINT_PTR kTrayRetryTimerId = 2;
constexpr UINT kTrayRetryInterval = 1000;
constexpr int kTrayRetryCount = 120;

// Posted to a running dialer's main window by a second start of the program:
// show yourself.
UINT ShowMainWindowMessage();

extern const wchar_t kMainCaption[];

class Form1 : public plat::Window {
public:
    // Creates the window and its controls, runs Form_Load and shows the
    // window unless the start-up dial hid it. The window owns the object.
    static Form1* Create();

    HWND Control(int id) const;
    HMENU PopupMenu() const { return mSysPopup_.get(); }
    // The tooltip control of Text1, Text2, Text3 and Check1.
    HWND ToolTip() const { return toolTip_; }
    bool Timer1Enabled() const { return Timer1.Enabled(); }

    // Unloads the window as closing it does: saves and removes the tray icon.
    void Unload();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage() override;

private:
    Form1() = default;
    bool CreateControls();
    void BuildPopupMenu();
    static HFONT CreateLabelFont();
    void CreateToolTips();
    LRESULT OnCtlColor(UINT msg, HDC dc, HWND control);
    void OnActivate(WPARAM wParam);
    void RestoreFocus();

    // Handlers, named after control and event.
    void Form_Load();
    void Form_Unload();
    void Form_Resize(WPARAM sizeType);
    void TrayIcon_Notify(UINT mouseMessage);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Check1_Click();
    void Check2_Click();
    void Timer1_Timer();
    void lj_Click() { Command1_Click(); }
    void dk_Click() { Command2_Click(); }
    void about_Click() { Command3_Click(); }
    void update_Click() { Command4_Click(); }
    void mShow_Click();
    void mExit_Click() { Unload(); }

    void OnCommand(int id, int code);
    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text);
    bool Checked(int id) const;
    // Setting a box from code runs its click handler when the state changes.
    void SetChecked(int id, bool on);
    void RestoreFromTray();
    void StartDial();
    void StartTrayRetry();
    void OnTrayRetryTimer();
    void OnTrayIconShown();
    void ShowStartUpBalloon(const wchar_t* text);
    void OnFieldChange(int id);
    void SaveConnectionFields();

    plat::UniqueMenu mSysPopup_;
    plat::UniqueFont labelFont_;  // the three labels' font
    HWND toolTip_ = nullptr;  // owned by the window
    HWND lastFocus_ = nullptr;
    plat::WindowTimer Timer1{kTimer1Id, kTimer1Interval};
    bool unloaded_ = false;
    UINT taskbarCreatedMessage_ = 0;
    UINT showMainWindowMessage_ = 0;
    DialProcesses dials_;
    plat::WindowTimer trayRetryTimer_{kTrayRetryTimerId, kTrayRetryInterval};
    int trayRetriesLeft_ = 0;
    // The start-up dial hides the window and shows its balloon only once
    // there is a tray icon to come back by.
    bool hideWhenTrayIconShown_ = false;
    const wchar_t* pendingBalloon_ = nullptr;
    // Text1 to Text3: warned that the field holds what the settings file cannot.
    bool unstorableWarned_[3] = {};
};

}  // namespace dialer
