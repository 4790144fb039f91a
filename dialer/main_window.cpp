#include "dialer/main_window.h"

#include <commctrl.h>
#include <imm.h>

#include "dialer/about_window.h"
#include "dialer/artwork.h"
#include "dialer/resource.h"
#include "dialer/autostart.h"
#include "dialer/settings.h"
#include "dialer/tray.h"
#include "platform/common_controls.h"
#include "platform/controls.h"
#include "platform/errors.h"
#include "platform/module_path.h"
#include "platform/picture_box.h"
#include "platform/process.h"
#include "platform/system_settings.h"
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
const wchar_t kBalloonStillDialling[] = L"上次拨号还没有结束，请稍后再试。";
const wchar_t kUpdaterStartFailed[] = L"无法启动升级程序 update.exe";
const wchar_t kUpdaterNotFoundHint[] = L"\n请确认它与本程序在同一文件夹中。";
const wchar_t kUpdaterMissingTitle[] = L"提示";
constexpr DWORD kInfoFlag = NIIF_INFO;
const wchar_t kUnstorableWhileTyping[] = L"中有本机系统编码无法保存的字符，保存到设置文件后会变成别的字符。";
const wchar_t kUnstorableOnSave[] = L"中有本机系统编码无法保存的字符，已尽量保存，下次启动时会与现在不同。";
const wchar_t* const kFieldNames[] = {L"连接名称", L"用户名", L"密码"};  // name, account, password

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
    text += plat::ErrorSuffix(error) + L"。";
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) text += kUpdaterNotFoundHint;
    return text;
}

}  // namespace

UINT ShowMainWindowMessage() { return RegisterWindowMessageW(L"Vornadel.ShowMainWindow"); }

MainWindow* MainWindow::Create(plat::UniqueHandle instanceLock) {
    // Laid out at the DPI of the monitor its fixed place is on.
    const plat::FormPlace place = plat::PlaceForm({kClientLeft, kClientTop, kClientWidth, kClientHeight}, kFormStyle);
    auto* form = static_cast<MainWindow*>(
        OpenForm(std::unique_ptr<MainWindow>(new MainWindow(place.dpi)), {kMainCaption, kFormStyle, 0, place.outer}));
    if (!form) return nullptr;
    HWND hwnd = form->hwnd();
    form->instanceLock_ = std::move(instanceLock);
    form->taskbarCreatedMessage_ = RegisterWindowMessageW(L"TaskbarCreated");
    form->showMainWindowMessage_ = ShowMainWindowMessage();
    form->OnLoad();
    // The start-up dial leaves the window minimised and hidden in the tray.
    if (IsWindow(hwnd) && !IsIconic(hwnd)) {
        ShowWindow(hwnd, SW_SHOWNORMAL);
        SetFocus(form->Control(IDC_DIAL));  // the first focus
    }
    return form;
}

bool MainWindow::OnCreate() {
    layout_.Attach(hwnd(), dpi_);
    if (!CreateControls()) return false;
    BuildPopupMenu();
    return true;
}

bool MainWindow::CreateControls() {
    using plat::CreateControl;
    HWND me = hwnd();
    const DWORD tab = WS_TABSTOP;
    const DWORD shown = WS_VISIBLE | WS_CLIPSIBLINGS;
    const DWORD button = shown | tab | BS_PUSHBUTTON;
    const DWORD edit = shown | tab | ES_AUTOHSCROLL;

    // Tab moves through the children in creation order (and into the frame),
    // so they are created in the form's tab order: dial, banner, disconnect,
    // about, the fields' frame (password, account, name), update, the two boxes.
    CreateControl(me, L"Button", L"连 接", button, 0, {240, 3600, 975, 375}, IDC_DIAL);
    HWND picture = plat::CreatePictureBox(me, {120, 120, 4575, 1455}, WS_EX_CLIENTEDGE, IDC_BANNER);
    // Decoded when first painted: a start-up that dials and hides never needs it.
    plat::SetPictureLoader(picture, LoadBanner);
    plat::SetLargePictureLoader(picture, LoadLargeBanner);
    CreateControl(me, L"Button", L"断 开", button, 0, {1320, 3600, 975, 375}, IDC_DISCONNECT);
    CreateControl(me, L"Button", L"关 于", button, 0, {3480, 3600, 975, 375}, IDC_ABOUT);

    HWND frame = plat::CreateFrame(me, {480, 1680, 3735, 1215}, IDC_FIELDS_FRAME);
    if (!frame) return false;
    // Each label just before its field: screen readers name a field after
    // the label above it in this order. The fields keep their tab order
    // (password, account, name); ShapeLabels keeps them drawn over the
    // labels' boxes, which reach under their left ends.
    CreateControl(frame, L"Static", L"密    码：", shown, 0, {120, 870, 1215, 255}, IDC_PASSWORD_LABEL);
    CreateControl(frame, L"Edit", L"", edit | ES_PASSWORD, WS_EX_CLIENTEDGE, {1080, 825, 2535, 315}, IDC_PASSWORD);
    CreateControl(frame, L"Static", L"用 户 名：", shown, 0, {120, 510, 1215, 255}, IDC_ACCOUNT_LABEL);
    CreateControl(frame, L"Edit", L"", edit, WS_EX_CLIENTEDGE, {1080, 465, 2535, 315}, IDC_ACCOUNT);
    CreateControl(frame, L"Static", L"连接名称：", shown, 0, {120, 150, 1215, 255}, IDC_CONNECTION_LABEL);
    CreateControl(frame, L"Edit", L"宽带连接", edit, WS_EX_CLIENTEDGE, {1080, 120, 2535, 315}, IDC_CONNECTION_NAME);

    CreateControl(me, L"Button", L"升 级", button, 0, {2400, 3600, 975, 375}, IDC_UPDATE);
    CreateControl(me, L"Button", L"开机自动拨号", shown | tab | BS_AUTOCHECKBOX, 0, {720, 3000, 1455, 255},
                  IDC_AUTOSTART);
    CreateControl(me, L"Button", L"断网后自动连接", shown | tab | BS_AUTOCHECKBOX, 0, {2400, 3000, 1695, 255},
                  IDC_AUTO_REDIAL);
    // The two flag fields only carry text; they are never shown.
    CreateControl(me, L"Edit", L"", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, {840, 3240, 975, 270}, IDC_AUTOSTART_FLAG);
    CreateControl(me, L"Edit", L"", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, {2520, 3240, 975, 270}, IDC_REDIAL_FLAG);
    // A 1-pixel line: an empty static filled with the line colour (WM_CTLCOLORSTATIC).
    CreateControl(me, L"Static", L"", shown, 0, {240, 3480, 4320, 15}, IDC_SEPARATOR);

    for (int id : {IDC_BANNER, IDC_CONNECTION_NAME, IDC_ACCOUNT, IDC_PASSWORD, IDC_AUTOSTART_FLAG, IDC_REDIAL_FLAG, IDC_CONNECTION_LABEL, IDC_ACCOUNT_LABEL,
                   IDC_PASSWORD_LABEL, IDC_AUTOSTART, IDC_AUTO_REDIAL, IDC_DIAL, IDC_DISCONNECT, IDC_ABOUT, IDC_UPDATE,
                   IDC_SEPARATOR})
        if (!Control(id)) return false;

    // The connection fields take what the settings file gives back
    // (KeepStorableLength); the flag fields have no limit of their own.
    for (int id : {IDC_CONNECTION_NAME, IDC_ACCOUNT, IDC_PASSWORD})
        SendMessageW(Control(id), EM_SETLIMITTEXT, kMaxValueBytes, 0);
    for (int id : {IDC_AUTOSTART_FLAG, IDC_REDIAL_FLAG}) SendMessageW(Control(id), EM_SETLIMITTEXT, 0, 0);
    SendMessageW(Control(IDC_PASSWORD), EM_SETPASSWORDCHAR, L'*', 0);
    // A password is typed letter by letter: no input method composition.
    ImmAssociateContext(Control(IDC_PASSWORD), nullptr);

    layout_.SetFont({Control(IDC_CONNECTION_LABEL), Control(IDC_ACCOUNT_LABEL), Control(IDC_PASSWORD_LABEL)}, 105, kLabelFontFace,
                    GB2312_CHARSET);
    ShapeLabels();
    // The window icons and the tool tips come when the window is first up
    // (WM_WINDOWPOSCHANGED): a start-up that dials and hides does not wait for them.
    return true;
}

void MainWindow::CreateToolTips() {
    plat::InitCommonControlClasses(ICC_WIN95_CLASSES);
    // Owned by the form: it goes when the form goes.
    toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!toolTip_) return;
    const struct {
        int id;
        const wchar_t* text;
    } tips[] = {
        {IDC_CONNECTION_NAME, kTipText1},
        {IDC_ACCOUNT, kTipText2},
        {IDC_PASSWORD, kTipText3},
        {IDC_AUTOSTART, kTipCheck1},
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

// A label above its field in z-order would paint over the field's left end:
// its window leaves out the fields, which so stay drawn over the labels.
void MainWindow::ShapeLabels() {
    for (int label : {IDC_CONNECTION_LABEL, IDC_ACCOUNT_LABEL, IDC_PASSWORD_LABEL}) {
        HWND hwnd = Control(label);
        RECT box{};
        GetWindowRect(hwnd, &box);
        plat::UniqueRegion shape(CreateRectRgn(0, 0, box.right - box.left, box.bottom - box.top));
        for (int field : {IDC_CONNECTION_NAME, IDC_ACCOUNT, IDC_PASSWORD}) {
            RECT r{};
            GetWindowRect(Control(field), &r);
            OffsetRect(&r, -box.left, -box.top);
            plat::UniqueRegion cut(CreateRectRgnIndirect(&r));
            if (shape && cut) CombineRgn(shape.get(), shape.get(), cut.get(), RGN_DIFF);
        }
        // The window owns a region it took.
        if (shape && SetWindowRgn(hwnd, shape.get(), TRUE)) shape.release();
    }
}

LRESULT MainWindow::OnCtlColor(UINT msg, HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    // A high-contrast scheme's colours throughout.
    if (plat::HighContrastOn()) {
        if (msg == WM_CTLCOLORSTATIC &&
            (id == IDC_CONNECTION_LABEL || id == IDC_ACCOUNT_LABEL || id == IDC_PASSWORD_LABEL)) {
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        if (msg != WM_CTLCOLORSTATIC || id != IDC_SEPARATOR)
            return Default(msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
    }
    if (msg == WM_CTLCOLOREDIT && id == IDC_CONNECTION_NAME) {
        // The connection name sits on the scroll-bar colour.
        SetBkColor(dc, GetSysColor(COLOR_SCROLLBAR));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_SCROLLBAR));
    }
    if (msg == WM_CTLCOLORSTATIC && id == IDC_SEPARATOR)
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_ACTIVEBORDER));
    if (msg == WM_CTLCOLORSTATIC && (id == IDC_CONNECTION_LABEL || id == IDC_ACCOUNT_LABEL || id == IDC_PASSWORD_LABEL)) {
        // Labels: button text on the form's face colour.
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    return Default(msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
}

void MainWindow::OnActivate(WPARAM wParam) {
    // Like a dialog: the focus leaves with the window and comes back to the
    // same control, the first time to the dial button.
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd(), focus)) lastFocus_ = focus;
        return;
    }
    if (HIWORD(wParam)) return;  // activated while minimised
    RestoreFocus();
}

void MainWindow::RestoreFocus() {
    HWND target = lastFocus_;
    if (!target || !IsChild(hwnd(), target) || !IsWindowVisible(target) || !IsWindowEnabled(target))
        target = Control(IDC_DIAL);
    SetFocus(target);
}

void MainWindow::BuildPopupMenu() {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, IDM_SHOW, L"显示");
    AppendMenuW(menu, MF_STRING, IDM_CONNECT, L"连接网络");
    AppendMenuW(menu, MF_STRING, IDM_DISCONNECT, L"断开网络");
    AppendMenuW(menu, MF_STRING, IDM_UPDATE, L"软件升级");
    AppendMenuW(menu, MF_STRING, IDM_ABOUT, L"关于程序");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_EXIT, L"退出Vornadel");
    trayMenu_.reset(menu);
}

HWND MainWindow::Control(int id) const { return plat::FindControl(hwnd(), id); }

std::wstring MainWindow::Text(int id) const { return plat::WindowText(Control(id)); }
void MainWindow::SetText(int id, const std::wstring& text) { plat::SetWindowTextOf(Control(id), text); }
bool MainWindow::Checked(int id) const { return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void MainWindow::SetChecked(int id, bool on) {
    if (Checked(id) == on) return;
    SendMessageW(Control(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    if (id == IDC_AUTOSTART) OnAutostartClick();
    if (id == IDC_AUTO_REDIAL) OnAutoRedialClick();
}

void MainWindow::StartDial() {
    if (dials_.Start(DialCommandLine(Text(IDC_CONNECTION_NAME), Text(IDC_ACCOUNT), Text(IDC_PASSWORD))) == 0)
        dialWatchTimer_.SetEnabled(hwnd(), true);
}

void MainWindow::StopTimers() {
    redialTimer_.SetEnabled(hwnd(), false);
    trayRetryTimer_.SetEnabled(hwnd(), false);
    dialWatchTimer_.SetEnabled(hwnd(), false);
}

void MainWindow::LeaveTray() {
    DeleteTrayIcon();
    instanceLock_.reset();
}

void MainWindow::StartTrayRetry() {
    trayRetriesLeft_ = kTrayRetryCount;
    trayRetryTimer_.SetEnabled(hwnd(), true);
}

void MainWindow::OnTrayRetryTimer() {
    if (RestoreTrayIcon()) {
        OnTrayIconShown();
    } else if (--trayRetriesLeft_ <= 0) {
        trayRetryTimer_.SetEnabled(hwnd(), false);  // TaskbarCreated may still bring it
    }
}

void MainWindow::OnTrayIconShown() {
    trayRetryTimer_.SetEnabled(hwnd(), false);
    if (hideWhenTrayIconShown_) {
        hideWhenTrayIconShown_ = false;
        ShowWindow(hwnd(), SW_MINIMIZE);  // OnResize hides it
    }
    if (pendingBalloon_) ShowBalloon(hwnd(), pendingBalloon_, kTitlePrompt, kInfoFlag);
    pendingBalloon_ = nullptr;
}

void MainWindow::ShowStartUpBalloon(const wchar_t* text) {
    if (TrayIconShown())
        ShowBalloon(hwnd(), text, kTitlePrompt, kInfoFlag);
    else
        pendingBalloon_ = text;
}

// A field holds no more than the settings file gives back, so that nothing
// is cut off unseen at the next start: what was just typed or pasted beyond
// that is dropped, as at any field's length limit. True when it cut.
bool MainWindow::KeepStorableLength(int id) {
    const std::wstring text = Text(id);
    if (StoredBytes(text) <= kMaxValueBytes) return false;
    HWND edit = Control(id);
    DWORD start = 0, end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    // The new text ends at the caret: cut there, or else at the end.
    const size_t caret = end < text.size() ? end : text.size();
    const std::wstring tail = text.substr(caret);
    const size_t tailBytes = StoredBytes(tail);
    size_t kept;
    std::wstring fitted;
    if (tailBytes <= kMaxValueBytes) {
        kept = StorablePrefix(text.substr(0, caret), kMaxValueBytes - tailBytes);
        fitted = text.substr(0, kept) + tail;
    } else {
        kept = StorablePrefix(text, kMaxValueBytes);
        fitted = text.substr(0, kept);
    }
    SetText(id, fitted);  // its change notification checks the rest
    SendMessageW(edit, EM_SETSEL, kept, kept);
    MessageBeep(MB_OK);
    return true;
}

void MainWindow::OnFieldChange(int id) {
    if (KeepStorableLength(id)) return;
    const int index = id - IDC_CONNECTION_NAME;
    if (StorableInSettings(Text(id))) {
        unstorableWarned_[index] = false;
        return;
    }
    if (unstorableWarned_[index]) return;
    unstorableWarned_[index] = true;
    ShowBalloon(hwnd(), std::wstring(kFieldNames[index]) + kUnstorableWhileTyping, kTitlePrompt, NIIF_WARNING);
}

std::wstring MainWindow::SaveConnectionFields() {
    const wchar_t* const keys[] = {L"Text1", L"Text2", L"Text3"};
    std::wstring unstorable;
    for (int i = 0; i < 3; ++i) {
        const std::wstring value = Text(IDC_CONNECTION_NAME + i);
        WriteIni(kSettingsSection, keys[i], value);
        if (StorableInSettings(value)) continue;
        if (!unstorable.empty()) unstorable += L"、";
        unstorable += kFieldNames[i];
    }
    return unstorable;
}

void MainWindow::OnLoad() {
    SetText(IDC_CONNECTION_NAME, ReadIni(kSettingsSection, L"Text1"));
    SetText(IDC_ACCOUNT, ReadIni(kSettingsSection, L"Text2"));
    SetText(IDC_PASSWORD, ReadIni(kSettingsSection, L"Text3"));
    SetText(IDC_AUTOSTART_FLAG, ReadIni(kSettingsSection, L"Vornadel1"));
    SetText(IDC_REDIAL_FLAG, ReadIni(kSettingsSection, L"Vornadel2"));

    const bool iconShown = AddTrayIcon(hwnd(), TrayIconFile(), kTrayTip);
    if (!iconShown) StartTrayRetry();

    if (Text(IDC_ACCOUNT).empty() || Text(IDC_PASSWORD).empty()) {
        ShowStartUpBalloon(kBalloonNoAccount);
    } else {
        StartDial();
        // Never hidden without an icon to come back by: until the tray
        // takes the icon the window stays up.
        if (iconShown)
            ShowWindow(hwnd(), SW_MINIMIZE);  // OnResize hides it
        else
            hideWhenTrayIconShown_ = true;
        ShowStartUpBalloon(kBalloonDialling);
    }

    SetChecked(IDC_AUTOSTART, Text(IDC_AUTOSTART_FLAG) == L"1");
    SetChecked(IDC_AUTO_REDIAL, Text(IDC_REDIAL_FLAG) == L"1");

    if (Text(IDC_CONNECTION_NAME).empty()) SetText(IDC_CONNECTION_NAME, kDefaultConnectionName);
    redialTimer_.SetEnabled(hwnd(), Checked(IDC_AUTO_REDIAL));
}

void MainWindow::OnUnload() {
    const std::wstring unstorable = SaveConnectionFields();
    StopTimers();
    LeaveTray();
    // Said in a box: a balloon would go with the icon at once.
    if (unstorable.empty()) return;
    ModalScope modal(*this, ModalScope::Dialog);
    MessageBoxW(hwnd(), (unstorable + kUnstorableOnSave).c_str(), kTitlePrompt, MB_OK | MB_ICONWARNING);
}

void MainWindow::Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    OnUnload();
    DestroyWindow(hwnd());
}

// Nothing here may wait for the user: the session or the program is ending.
void MainWindow::OnEndSession(bool ending, LPARAM how) {
    if (!ending) return;
    if (!unloaded_) {
        unloaded_ = true;
        SaveConnectionFields();
        StopTimers();
        LeaveTray();
    }
    // The Restart Manager (installers, updates) asks the program to end and
    // waits for it; at a log-off the system ends it by itself.
    if (how & ENDSESSION_CLOSEAPP) PostQuitMessage(0);
}

void MainWindow::OnResize(WPARAM sizeType) {
    // Without a tray icon a hidden window could not be found again: it stays
    // minimised on the taskbar.
    if (sizeType == SIZE_MINIMIZED && TrayIconShown()) ShowWindow(hwnd(), SW_HIDE);
}

void MainWindow::RestoreFromTray() {
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

void MainWindow::OnShowClick() { RestoreFromTray(); }

void MainWindow::OnTrayNotify(UINT mouseMessage) {
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
        RestoreFromTray();
        break;
    case WM_RBUTTONDOWN: {
        SetForegroundWindow(hwnd());
        POINT pt;
        GetCursorPos(&pt);
        ModalScope modal(*this, ModalScope::Menu);
        TrackPopupMenuEx(trayMenu_.get(), 0, pt.x, pt.y, hwnd(), nullptr);
        // Lets the menu close when the user clicks elsewhere next time.
        PostMessageW(hwnd(), WM_NULL, 0, 0);
        break;
    }
    default:
        break;  // releases, double-clicks, middle button, moves: nothing
    }
}

// Never two dials of ours at once.
void MainWindow::OnDialClick() {
    if (dials_.Running() != 0) {
        ShowBalloon(hwnd(), kBalloonStillDialling, kTitleProgram, kInfoFlag);
        return;
    }
    StartDial();
    ShowBalloon(hwnd(), kBalloonDialling, kTitleProgram, kInfoFlag);
}

void MainWindow::OnDisconnectClick() {
    StartDisconnect(Text(IDC_CONNECTION_NAME));
    ShowBalloon(hwnd(), kBalloonDisconnected, kTitleProgram, kInfoFlag);
}

void MainWindow::OnAboutClick() { ShowAboutWindow(); }

void MainWindow::OnUpdateClick() {
    const DWORD error = plat::StartProcess(kUpdaterCommandLine, SW_SHOWNORMAL);
    if (error == 0) return;
    ModalScope modal(*this, ModalScope::Dialog);
    MessageBoxW(hwnd(), UpdaterStartFailure(error).c_str(), kUpdaterMissingTitle, MB_OK | MB_ICONEXCLAMATION);
}

void MainWindow::OnAutostartClick() {
    if (Checked(IDC_AUTOSTART)) {
        if (WriteRunValue(RunValueData(plat::ProgramFolder(), plat::ProgramBaseName())))
            WriteIni(kSettingsSection, L"Vornadel1", L"1");
    } else {
        if (DeleteRunValue()) WriteIni(kSettingsSection, L"Vornadel1", L"0");
    }
}

void MainWindow::OnAutoRedialClick() {
    const bool on = Checked(IDC_AUTO_REDIAL);
    redialTimer_.SetEnabled(hwnd(), on);
    WriteIni(kSettingsSection, L"Vornadel2", on ? L"1" : L"0");
}

// Re-dials only when the last dial has ended (a hung one is ended by its
// time limit) and the link is not known to be up: no process, and no
// password on a command line, every few seconds while it is.
void MainWindow::OnRedialTimer() {
    if (dials_.Running() != 0) return;
    if (QueryLinkState(Text(IDC_CONNECTION_NAME)) == plat::LinkState::Up) return;
    StartDial();
}

void MainWindow::OnDialWatchTimer() {
    // Counting them ends those past their time limit.
    if (dials_.Running() == 0) dialWatchTimer_.SetEnabled(hwnd(), false);
}

void MainWindow::OnCommand(int id, int code) {
    switch (id) {
    case IDC_DIAL: if (code == BN_CLICKED) OnDialClick(); break;
    case IDC_DISCONNECT: if (code == BN_CLICKED) OnDisconnectClick(); break;
    case IDC_ABOUT: if (code == BN_CLICKED) OnAboutClick(); break;
    case IDC_UPDATE: if (code == BN_CLICKED) OnUpdateClick(); break;
    case IDC_AUTOSTART: if (code == BN_CLICKED) OnAutostartClick(); break;
    case IDC_AUTO_REDIAL: if (code == BN_CLICKED) OnAutoRedialClick(); break;
    case IDC_CONNECTION_NAME:
    case IDC_ACCOUNT:
    case IDC_PASSWORD: if (code == EN_CHANGE) OnFieldChange(id); break;
    case IDM_SHOW: OnShowClick(); break;
    case IDM_CONNECT: OnDialClick(); break;
    case IDM_DISCONNECT: OnDisconnectClick(); break;
    case IDM_UPDATE: OnUpdateClick(); break;
    case IDM_ABOUT: OnAboutClick(); break;
    case IDM_EXIT: OnExitClick(); break;
    default: break;
    }
}

LRESULT MainWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
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
    case WM_SHOWWINDOW:
        // The skin goes on just before the window is first seen, not at
        // load: a start-up that dials and hides starts its dial without
        // waiting for the buttons' images.
        if (wParam && !skinned_) {
            skinned_ = true;
            skin::SkinWindow(hwnd());
        }
        break;
    case WM_WINDOWPOSCHANGED:
        if (IsWindowVisible(hwnd()) && !SendMessageW(hwnd(), WM_GETICON, ICON_BIG, 0))
            plat::SetWindowIcons(hwnd(), IDI_VORNADEL);  // also on the taskbar when minimised
        if (!toolTip_ && IsWindowVisible(hwnd()) && !IsIconic(hwnd())) CreateToolTips();
        break;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case kTrayCallbackMessage:
        if (wParam == kTrayIconId) OnTrayNotify(static_cast<UINT>(lParam));
        return 0;
    case WM_TIMER:
        if (wParam == kRedialTimerId && redialTimer_.Enabled()) OnRedialTimer();
        if (wParam == kTrayRetryTimerId && trayRetryTimer_.Enabled()) OnTrayRetryTimer();
        if (wParam == kDialWatchTimerId && dialWatchTimer_.Enabled()) OnDialWatchTimer();
        return 0;
    case WM_SIZE:
        OnResize(wParam);
        break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        return OnCtlColor(msg, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SYSCOLORCHANGE:
        // Colours are read from the system on every paint; repaint with the new scheme.
        if (toolTip_) SendMessageW(toolTip_, WM_SYSCOLORCHANGE, wParam, lParam);
        RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
        break;
    case WM_SETTINGCHANGE:
        // High contrast on or off: the skin has followed; the colours follow here.
        RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
        break;
    case WM_DPICHANGED:
        layout_.OnDpiChanged(wParam, lParam);
        ShapeLabels();
        ReloadTrayIcon(HIWORD(wParam));
        return 0;
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
        // Ends come this way without WM_CLOSE; saved like a close.
        OnEndSession(wParam != FALSE, lParam);
        return 0;
    default:
        break;
    }
    return Default(msg, wParam, lParam);
}


}  // namespace dialer
