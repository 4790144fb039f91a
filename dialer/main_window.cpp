#include "dialer/main_window.h"

#include <commctrl.h>
#include <imm.h>

#include "dialer/about_window.h"
#include "dialer/artwork.h"
#include "dialer/resource.h"
#include "dialer/autostart.h"
#include "dialer/commands.h"
#include "dialer/settings.h"
#include "dialer/tray.h"
#include "platform/controls.h"
#include "platform/module_path.h"
#include "platform/picture_box.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/units.h"
#include "skin/skin.h"

namespace dialer {

const wchar_t kMainCaption[] = L"VornadelZembrel V1.0";

namespace {

const wchar_t kDefaultConnectionName[] = L"宽带连接";
const wchar_t kTrayTip[] = L"ADSLZembrel";
const wchar_t kTitlePrompt[] = L"提示：";
const wchar_t kTitleProgram[] = L"ADSLZembrel";
const wchar_t kBalloonNoAccount[] = L"你还没有填写上网帐号和密码哦！";
const wchar_t kBalloonDialling[] = L"正在自动拨号中，请稍后......";
const wchar_t kBalloonDisconnected[] = L"宽带连接已断开";
const wchar_t kUpdaterStartFailed[] = L"无法启动升级程序 update.exe";
const wchar_t kUpdaterNotFoundHint[] = L"\n请确认它与本程序在同一文件夹中。";
const wchar_t kUpdaterMissingTitle[] = L"提示";
constexpr DWORD kInfoFlag = NIIF_INFO;
const wchar_t kUnstorableWhileTyping[] = L"中有本机系统编码无法保存的字符，保存到设置文件后会变成别的字符。";
const wchar_t kUnstorableOnSave[] = L"中有本机系统编码无法保存的字符，已尽量保存，下次启动时会与现在不同。";
const wchar_t* const kFieldNames[] = {L"连接名称", L"用户名", L"密码"};  // Text1, Text2, Text3

const wchar_t kLabelFontFace[] = L"宋体";
const wchar_t kTipText1[] =
    L"在这里填写连接名称，也就是在网络连接里你创建网络拨号的那个连接名称，一般默认的是：宽带连接";
const wchar_t kTipText2[] = L"请在此输入你的上网帐号！";
const wchar_t kTipText3[] = L"请在此输入你的密码！";
const wchar_t kTipCheck1[] = L"如需开机自动连接网络，请选择本项！";

// Client area and its top-left corner on the screen, in twips.
constexpr int kClientLeft = 4170, kClientTop = 1005, kClientWidth = 4860, kClientHeight = 4080;
constexpr DWORD kFormStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

std::wstring TrayIconFile() { return plat::ProgramFolder() + L"\\xptray.ico"; }

// The real reason, in the system's words and with its number: a missing file
// and a refused start (UAC's elevation, 740) need different answers.
std::wstring UpdaterStartFailure(DWORD error) {
    std::wstring reason = plat::SystemErrorText(error);
    while (!reason.empty() && (reason.back() == L'.' || reason.back() == L'。')) reason.pop_back();
    std::wstring text = kUpdaterStartFailed;
    if (!reason.empty()) text += L"：" + reason;
    text += L"（错误 " + std::to_wstring(error) + L"）。";
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) text += kUpdaterNotFoundHint;
    return text;
}

}  // namespace

UINT ShowMainWindowMessage() { return RegisterWindowMessageW(L"Vornadel.ShowMainWindow"); }

Form1* Form1::Create() {
    auto* form = new Form1();
    RECT outer = plat::OuterRectForClient(plat::TwipsToPixelsX(kClientLeft), plat::TwipsToPixelsY(kClientTop),
                                          plat::TwipsToPixelsX(kClientWidth), plat::TwipsToPixelsY(kClientHeight),
                                          kFormStyle, 0);
    if (!form->CreateForm(kMainCaption, kFormStyle, 0, outer.left, outer.top, outer.right - outer.left,
                          outer.bottom - outer.top)) {
        delete form;
        return nullptr;
    }
    HWND hwnd = form->hwnd();
    if (!form->CreateControls()) {
        DestroyWindow(hwnd);  // deletes the object
        return nullptr;
    }
    form->BuildPopupMenu();
    form->taskbarCreatedMessage_ = RegisterWindowMessageW(L"TaskbarCreated");
    form->showMainWindowMessage_ = ShowMainWindowMessage();
    form->Form_Load();
    // The start-up dial leaves the window minimised and hidden in the tray.
    if (IsWindow(hwnd) && !IsIconic(hwnd)) {
        ShowWindow(hwnd, SW_SHOWNORMAL);
        SetFocus(form->Control(IDC_COMMAND1));  // the first focus
    }
    return form;
}

bool Form1::CreateControls() {
    using plat::CreateControl;
    HWND me = hwnd();
    const DWORD tab = WS_TABSTOP;
    const DWORD shown = WS_VISIBLE | WS_CLIPSIBLINGS;
    const DWORD button = shown | tab | BS_PUSHBUTTON;
    const DWORD edit = shown | tab | ES_AUTOHSCROLL;

    plat::SetWindowIcons(me, IDI_VORNADEL);

    // Tab moves through the children in creation order (and into the frame),
    // so they are created in the form's tab order: Command1, Picture1,
    // Command2, Command3, Frame1 (Text3, Text2, Text1), Command4, Check1, Check2.
    CreateControl(me, L"Button", L"连 接", button, 0, {240, 3600, 975, 375}, IDC_COMMAND1);
    HWND picture = plat::CreatePictureBox(me, {120, 120, 4575, 1455}, WS_EX_CLIENTEDGE, IDC_PICTURE1);
    // Decoded when first painted: a start-up that dials and hides never needs it.
    plat::SetPictureLoader(picture, LoadBanner);
    CreateControl(me, L"Button", L"断 开", button, 0, {1320, 3600, 975, 375}, IDC_COMMAND2);
    CreateControl(me, L"Button", L"关 于", button, 0, {3480, 3600, 975, 375}, IDC_COMMAND3);

    HWND frame = plat::CreateFrame(me, {480, 1680, 3735, 1215}, IDC_FRAME1);
    if (!frame) return false;
    // The fields come first inside the frame: above the labels, whose boxes
    // reach under their left ends, and ahead of them in the tab order.
    CreateControl(frame, L"Edit", L"", edit | ES_PASSWORD, WS_EX_CLIENTEDGE, {1080, 825, 2535, 315}, IDC_TEXT3);
    CreateControl(frame, L"Edit", L"", edit, WS_EX_CLIENTEDGE, {1080, 465, 2535, 315}, IDC_TEXT2);
    CreateControl(frame, L"Edit", L"宽带连接", edit, WS_EX_CLIENTEDGE, {1080, 120, 2535, 315}, IDC_TEXT1);
    CreateControl(frame, L"Static", L"密    码：", shown, 0, {120, 870, 1215, 255}, IDC_LABEL3);
    CreateControl(frame, L"Static", L"用 户 名：", shown, 0, {120, 510, 1215, 255}, IDC_LABEL2);
    CreateControl(frame, L"Static", L"连接名称：", shown, 0, {120, 150, 1215, 255}, IDC_LABEL1);

    CreateControl(me, L"Button", L"升 级", button, 0, {2400, 3600, 975, 375}, IDC_COMMAND4);
    CreateControl(me, L"Button", L"开机自动拨号", shown | tab | BS_AUTOCHECKBOX, 0, {720, 3000, 1455, 255},
                  IDC_CHECK1);
    CreateControl(me, L"Button", L"断网后自动连接", shown | tab | BS_AUTOCHECKBOX, 0, {2400, 3000, 1695, 255},
                  IDC_CHECK2);
    // The two flag fields only carry text; they are never shown.
    CreateControl(me, L"Edit", L"", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, {840, 3240, 975, 270}, IDC_TEXT4);
    CreateControl(me, L"Edit", L"", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, {2520, 3240, 975, 270}, IDC_TEXT5);
    // A 1-pixel line: an empty static filled with the line colour (WM_CTLCOLORSTATIC).
    CreateControl(me, L"Static", L"", shown, 0, {240, 3480, 4320, 15}, IDC_LINE1);

    for (int id : {IDC_PICTURE1, IDC_TEXT1, IDC_TEXT2, IDC_TEXT3, IDC_TEXT4, IDC_TEXT5, IDC_LABEL1, IDC_LABEL2,
                   IDC_LABEL3, IDC_CHECK1, IDC_CHECK2, IDC_COMMAND1, IDC_COMMAND2, IDC_COMMAND3, IDC_COMMAND4,
                   IDC_LINE1})
        if (!Control(id)) return false;

    for (int id : {IDC_TEXT1, IDC_TEXT2, IDC_TEXT3, IDC_TEXT4, IDC_TEXT5})
        SendMessageW(Control(id), EM_SETLIMITTEXT, 0, 0);  // no limit of their own
    SendMessageW(Control(IDC_TEXT3), EM_SETPASSWORDCHAR, L'*', 0);
    // A password is typed letter by letter: no input method composition.
    ImmAssociateContext(Control(IDC_TEXT3), nullptr);

    labelFont_.reset(CreateLabelFont());
    for (int id : {IDC_LABEL1, IDC_LABEL2, IDC_LABEL3})
        SendMessageW(Control(id), WM_SETFONT, reinterpret_cast<WPARAM>(labelFont_.get()), FALSE);

    CreateToolTips();
    return true;
}

HFONT Form1::CreateLabelFont() {
    return CreateFontW(plat::PointsToFontHeight(105), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       kLabelFontFace);
}

void Form1::CreateToolTips() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    // Owned by the form: it goes when the form goes.
    toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!toolTip_) return;
    const struct {
        int id;
        const wchar_t* text;
    } tips[] = {
        {IDC_TEXT1, kTipText1},
        {IDC_TEXT2, kTipText2},
        {IDC_TEXT3, kTipText3},
        {IDC_CHECK1, kTipCheck1},
    };
    for (const auto& tip : tips) {
        TTTOOLINFOW ti{};
        // The size every comctl32 version accepts.
        ti.cbSize = TTTOOLINFOW_V2_SIZE;
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = hwnd();
        ti.uId = reinterpret_cast<UINT_PTR>(Control(tip.id));
        ti.lpszText = const_cast<wchar_t*>(tip.text);
        SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

LRESULT Form1::OnCtlColor(UINT msg, HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    if (msg == WM_CTLCOLOREDIT && id == IDC_TEXT1) {
        // The connection name sits on the scroll-bar colour.
        SetBkColor(dc, GetSysColor(COLOR_SCROLLBAR));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_SCROLLBAR));
    }
    if (msg == WM_CTLCOLORSTATIC && id == IDC_LINE1)
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_ACTIVEBORDER));
    if (msg == WM_CTLCOLORSTATIC && (id == IDC_LABEL1 || id == IDC_LABEL2 || id == IDC_LABEL3)) {
        // Labels: button text on the form's face colour.
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    return Default(msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
}

void Form1::OnActivate(WPARAM wParam) {
    // Like a dialog: the focus leaves with the window and comes back to the
    // same control, the first time to Command1.
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd(), focus)) lastFocus_ = focus;
        return;
    }
    if (HIWORD(wParam)) return;  // activated while minimised
    RestoreFocus();
}

void Form1::RestoreFocus() {
    HWND target = lastFocus_;
    if (!target || !IsChild(hwnd(), target) || !IsWindowVisible(target) || !IsWindowEnabled(target))
        target = Control(IDC_COMMAND1);
    SetFocus(target);
}

void Form1::BuildPopupMenu() {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, IDM_SHOW, L"显示");
    AppendMenuW(menu, MF_STRING, IDM_LJ, L"连接网络");
    AppendMenuW(menu, MF_STRING, IDM_DK, L"断开网络");
    AppendMenuW(menu, MF_STRING, IDM_UPDATE, L"软件升级");
    AppendMenuW(menu, MF_STRING, IDM_ABOUT, L"关于程序");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_EXIT, L"退出Vornadel");
    mSysPopup_.reset(menu);
}

HWND Form1::Control(int id) const {
    HWND direct = GetDlgItem(hwnd(), id);
    if (direct) return direct;
    return GetDlgItem(GetDlgItem(hwnd(), IDC_FRAME1), id);
}

std::wstring Form1::Text(int id) const { return plat::WindowText(Control(id)); }
void Form1::SetText(int id, const std::wstring& text) { plat::SetWindowTextOf(Control(id), text); }
bool Form1::Checked(int id) const { return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Form1::SetChecked(int id, bool on) {
    if (Checked(id) == on) return;
    SendMessageW(Control(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    if (id == IDC_CHECK1) Check1_Click();
    if (id == IDC_CHECK2) Check2_Click();
}

void Form1::StartDial() { dials_.Start(DialCommandLine(Text(IDC_TEXT1), Text(IDC_TEXT2), Text(IDC_TEXT3))); }

void Form1::StartTrayRetry() {
    trayRetriesLeft_ = kTrayRetryCount;
    trayRetryTimer_.SetEnabled(hwnd(), true);
}

void Form1::OnTrayRetryTimer() {
    if (RestoreTrayIcon()) {
        OnTrayIconShown();
    } else if (--trayRetriesLeft_ <= 0) {
        trayRetryTimer_.SetEnabled(hwnd(), false);  // TaskbarCreated may still bring it
    }
}

void Form1::OnTrayIconShown() {
    trayRetryTimer_.SetEnabled(hwnd(), false);
    if (hideWhenTrayIconShown_) {
        hideWhenTrayIconShown_ = false;
        ShowWindow(hwnd(), SW_MINIMIZE);  // Form_Resize hides it
    }
    if (pendingBalloon_) ShowBalloon(hwnd(), pendingBalloon_, kTitlePrompt, kInfoFlag);
    pendingBalloon_ = nullptr;
}

void Form1::ShowStartUpBalloon(const wchar_t* text) {
    if (TrayIconShown())
        ShowBalloon(hwnd(), text, kTitlePrompt, kInfoFlag);
    else
        pendingBalloon_ = text;
}

void Form1::OnFieldChange(int id) {
    const int index = id - IDC_TEXT1;
    if (StorableInSettings(Text(id))) {
        unstorableWarned_[index] = false;
        return;
    }
    if (unstorableWarned_[index]) return;
    unstorableWarned_[index] = true;
    ShowBalloon(hwnd(), std::wstring(kFieldNames[index]) + kUnstorableWhileTyping, kTitlePrompt, NIIF_WARNING);
}

void Form1::SaveConnectionFields() {
    const wchar_t* const keys[] = {L"Text1", L"Text2", L"Text3"};
    std::wstring unstorable;
    for (int i = 0; i < 3; ++i) {
        const std::wstring value = Text(IDC_TEXT1 + i);
        WriteIni(kSettingsSection, keys[i], value);
        if (StorableInSettings(value)) continue;
        if (!unstorable.empty()) unstorable += L"、";
        unstorable += kFieldNames[i];
    }
    if (!unstorable.empty()) ShowBalloon(hwnd(), unstorable + kUnstorableOnSave, kTitlePrompt, NIIF_WARNING);
}

void Form1::Form_Load() {
    skin::SkinWindow(hwnd());

    SetText(IDC_TEXT1, ReadIni(kSettingsSection, L"Text1"));
    SetText(IDC_TEXT2, ReadIni(kSettingsSection, L"Text2"));
    SetText(IDC_TEXT3, ReadIni(kSettingsSection, L"Text3"));
    SetText(IDC_TEXT4, ReadIni(kSettingsSection, L"Vornadel1"));
    SetText(IDC_TEXT5, ReadIni(kSettingsSection, L"Vornadel2"));

    const bool iconShown = AddTrayIcon(hwnd(), TrayIconFile(), kTrayTip);
    if (!iconShown) StartTrayRetry();

    if (Text(IDC_TEXT2).empty() || Text(IDC_TEXT3).empty()) {
        ShowStartUpBalloon(kBalloonNoAccount);
    } else {
        StartDial();
        // Never hidden without an icon to come back by: until the tray
        // takes the icon the window stays up.
        if (iconShown)
            ShowWindow(hwnd(), SW_MINIMIZE);  // Form_Resize hides it
        else
            hideWhenTrayIconShown_ = true;
        ShowStartUpBalloon(kBalloonDialling);
    }

    SetChecked(IDC_CHECK1, Text(IDC_TEXT4) == L"1");
    SetChecked(IDC_CHECK2, Text(IDC_TEXT5) == L"1");

    if (Text(IDC_TEXT1).empty()) SetText(IDC_TEXT1, kDefaultConnectionName);
    Timer1.SetEnabled(hwnd(), Checked(IDC_CHECK2));
}

void Form1::Form_Unload() {
    SaveConnectionFields();
    DeleteTrayIcon();
}

void Form1::Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    Form_Unload();
    Timer1.SetEnabled(hwnd(), false);
    trayRetryTimer_.SetEnabled(hwnd(), false);
    DestroyWindow(hwnd());
}

void Form1::Form_Resize(WPARAM sizeType) {
    // Without a tray icon a hidden window could not be found again: it stays
    // minimised on the taskbar.
    if (sizeType == SIZE_MINIMIZED && TrayIconShown()) ShowWindow(hwnd(), SW_HIDE);
}

void Form1::RestoreFromTray() {
    // Asked for by the user: a tray icon coming late no longer hides it.
    hideWhenTrayIconShown_ = false;
    // The normal state, even when the window was maximised before it went to the tray.
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    GetWindowPlacement(hwnd(), &wp);
    wp.flags &= ~WPF_RESTORETOMAXIMIZED;
    wp.showCmd = SW_SHOWNORMAL;
    SetWindowPlacement(hwnd(), &wp);
    if (IsZoomed(hwnd())) ShowWindow(hwnd(), SW_RESTORE);
    SetForegroundWindow(hwnd());
}

void Form1::mShow_Click() { RestoreFromTray(); }

void Form1::TrayIcon_Notify(UINT mouseMessage) {
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
        RestoreFromTray();
        break;
    case WM_RBUTTONDOWN: {
        SetForegroundWindow(hwnd());
        POINT pt;
        GetCursorPos(&pt);
        ModalScope modal(*this, ModalScope::Menu);
        TrackPopupMenuEx(mSysPopup_.get(), 0, pt.x, pt.y, hwnd(), nullptr);
        // Lets the menu close when the user clicks elsewhere next time.
        PostMessageW(hwnd(), WM_NULL, 0, 0);
        break;
    }
    default:
        break;  // releases, double-clicks, middle button, moves: nothing
    }
}

void Form1::Command1_Click() {
    StartDial();
    ShowBalloon(hwnd(), kBalloonDialling, kTitleProgram, kInfoFlag);
}

void Form1::Command2_Click() {
    plat::StartProcess(DisconnectCommandLine(Text(IDC_TEXT1)), SW_HIDE);
    ShowBalloon(hwnd(), kBalloonDisconnected, kTitleProgram, kInfoFlag);
}

void Form1::Command3_Click() { ShowAboutWindow(); }

void Form1::Command4_Click() {
    plat::UniqueHandle updater;
    const DWORD error = plat::StartProcess(kUpdaterCommandLine, SW_SHOWNORMAL, updater);
    if (error == 0) return;
    ModalScope modal(*this, ModalScope::Dialog);
    MessageBoxW(hwnd(), UpdaterStartFailure(error).c_str(), kUpdaterMissingTitle, MB_OK | MB_ICONEXCLAMATION);
}

void Form1::Check1_Click() {
    if (Checked(IDC_CHECK1)) {
        if (WriteRunValue(RunValueData(plat::ProgramFolder(), plat::ProgramBaseName())))
            WriteIni(kSettingsSection, L"Vornadel1", L"1");
    } else {
        if (DeleteRunValue()) WriteIni(kSettingsSection, L"Vornadel1", L"0");
    }
}

void Form1::Check2_Click() {
    const bool on = Checked(IDC_CHECK2);
    Timer1.SetEnabled(hwnd(), on);
    WriteIni(kSettingsSection, L"Vornadel2", on ? L"1" : L"0");
}

// Re-dials only when the last dial has ended: a hung rasdial is not joined
// by a new one every tick (it is ended after its time limit).
void Form1::Timer1_Timer() {
    dials_.StartIfIdle(DialCommandLine(Text(IDC_TEXT1), Text(IDC_TEXT2), Text(IDC_TEXT3)));
}

void Form1::OnCommand(int id, int code) {
    switch (id) {
    case IDC_COMMAND1: if (code == BN_CLICKED) Command1_Click(); break;
    case IDC_COMMAND2: if (code == BN_CLICKED) Command2_Click(); break;
    case IDC_COMMAND3: if (code == BN_CLICKED) Command3_Click(); break;
    case IDC_COMMAND4: if (code == BN_CLICKED) Command4_Click(); break;
    case IDC_CHECK1: if (code == BN_CLICKED) Check1_Click(); break;
    case IDC_CHECK2: if (code == BN_CLICKED) Check2_Click(); break;
    case IDC_TEXT1:
    case IDC_TEXT2:
    case IDC_TEXT3: if (code == EN_CHANGE) OnFieldChange(id); break;
    case IDM_SHOW: mShow_Click(); break;
    case IDM_LJ: lj_Click(); break;
    case IDM_DK: dk_Click(); break;
    case IDM_UPDATE: update_Click(); break;
    case IDM_ABOUT: about_Click(); break;
    case IDM_EXIT: mExit_Click(); break;
    default: break;
    }
}

LRESULT Form1::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == taskbarCreatedMessage_ && msg != 0) {
        if (unloaded_) return 0;
        if (RestoreTrayIcon())
            OnTrayIconShown();
        else
            StartTrayRetry();
        return 0;
    }
    if (msg == showMainWindowMessage_ && msg != 0) {
        if (!unloaded_) RestoreFromTray();
        return 0;
    }
    switch (msg) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case kTrayCallbackMessage:
        if (wParam == kTrayIconId) TrayIcon_Notify(static_cast<UINT>(lParam));
        return 0;
    case WM_TIMER:
        if (wParam == kTimer1Id && Timer1.Enabled()) Timer1_Timer();
        if (wParam == kTrayRetryTimerId && trayRetryTimer_.Enabled()) OnTrayRetryTimer();
        return 0;
    case WM_SIZE:
        Form_Resize(wParam);
        break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        return OnCtlColor(msg, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SYSCOLORCHANGE:
        // Colours are read from the system on every paint; repaint with the new scheme.
        if (toolTip_) SendMessageW(toolTip_, WM_SYSCOLORCHANGE, wParam, lParam);
        RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
        break;
    case WM_ACTIVATE:
        OnActivate(wParam);
        return 0;
    case WM_SETFOCUS:
        RestoreFocus();
        return 0;
    case WM_CLOSE:
        Unload();
        return 0;
    case WM_ENDSESSION:
        // Logging off ends the process without WM_CLOSE; save like a close.
        if (wParam && !unloaded_) {
            unloaded_ = true;
            Form_Unload();
        }
        return 0;
    default:
        break;
    }
    return Default(msg, wParam, lParam);
}

void Form1::OnFinalMessage() { delete this; }

}  // namespace dialer
