#include "dialer/about_window.h"

#include <shellapi.h>

#include "dialer/resource.h"
#include "platform/controls.h"
#include "platform/dpi.h"
#include "platform/process.h"
#include "platform/system_settings.h"
#include "platform/units.h"
#include "platform/window.h"

namespace dialer {

const wchar_t kAboutCaption[] = L"关于 ... ...";
const wchar_t kBrowserProgram[] = L"C:\\\\Program Files\\\\Internet Explorer\\\\IEXPLORE.exe";
const wchar_t kMakerWebAddress[] = L"http://vornadel.example";
const wchar_t kMakerEmail[] = L"team@vornadel.example";

namespace {

constexpr int kClientLeft = 5115, kClientTop = 2805, kClientWidth = 3720, kClientHeight = 1905;
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

const wchar_t kVersionLine[] = L"ADSLZembrel V1.0";
const wchar_t kAuthorLine[] = L"作者：岚舟";
const wchar_t kMessengerLine[] = L"QQ：vornadel";
// The line shows the address without its scheme: the whole of it would not fit.
const wchar_t kWebLine[] = L"网站：vornadel.example";
const wchar_t kSecondMakerLine[] = L"岚舟出品，祝您上网愉快！";

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

class AboutWindow : public plat::Window {
public:
    static AboutWindow* instance;

    static void Open() {
        if (instance && instance->hwnd()) {
            ShowWindow(instance->hwnd(), SW_SHOWNORMAL);
            SetForegroundWindow(instance->hwnd());
            return;
        }
        // Laid out at the DPI of the monitor its fixed place is on.
        const plat::FormPlace place = plat::PlaceForm({kClientLeft, kClientTop, kClientWidth, kClientHeight}, kStyle);
        auto* w = static_cast<AboutWindow*>(
            OpenForm(std::unique_ptr<AboutWindow>(new AboutWindow(place.dpi)), {kAboutCaption, kStyle, 0, place.outer}));
        if (!w) return;
        instance = w;
        ShowWindow(w->hwnd(), SW_SHOWNORMAL);
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
        case WM_COMMAND:
            if (HIWORD(wParam) == STN_CLICKED) {
                if (LOWORD(wParam) == IDC_ABOUT_WEB) OnWebClick();
                if (LOWORD(wParam) == IDC_ABOUT_AUTHOR) OnAuthorClick();
            }
            return 0;
        case WM_CTLCOLORSTATIC:
            return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_DPICHANGED:
            layout_.OnDpiChanged(wParam, lParam);
            return 0;
        case WM_SYSCOLORCHANGE:
        case WM_SETTINGCHANGE:  // high contrast on or off
            RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
            break;
        case WM_ENDSESSION:
            // Asked by the Restart Manager to end: also when it is the
            // program's last window.
            if (wParam && (lParam & ENDSESSION_CLOSEAPP)) PostQuitMessage(0);
            return 0;
        default:
            break;
        }
        return Default(msg, wParam, lParam);
    }

    bool OnCreate() override {
        layout_.Attach(hwnd(), dpi_);
        return CreateControls();
    }

    void OnFinalMessage() override {
        if (instance == this) instance = nullptr;
    }

private:
    bool CreateControls() {
        using plat::CreateControl;
        HWND me = hwnd();
        plat::SetWindowIcons(me, IDI_VORNADEL);
        // A text a little wider than its box is cut at the edge, not wrapped away.
        const DWORD label = WS_VISIBLE | WS_CLIPSIBLINGS | SS_LEFTNOWORDWRAP;
        HWND frame = plat::CreateFrame(me, {240, 360, 3255, 1455}, IDC_ABOUT_FRAME);
        if (!frame) return false;
        // Below the frame, whose top edge crosses the version line's last row.
        CreateControl(me, L"Static", kVersionLine, label, 0, {1200, 120, 1455, 255}, IDC_ABOUT_VERSION);
        // Only the web and e-mail lines react to the mouse.
        CreateControl(frame, L"Static", kWebLine, label | SS_NOTIFY, 0, {480, 840, 2295, 255},
                      IDC_ABOUT_WEB);
        CreateControl(frame, L"Static", kMessengerLine, label, 0, {1080, 480, 1215, 255}, IDC_ABOUT_MESSENGER);
        CreateControl(frame, L"Static", kSecondMakerLine, label, 0, {360, 1080, 2655, 255}, IDC_ABOUT_SLOGAN);
        CreateControl(frame, L"Static", kAuthorLine, label | SS_NOTIFY, 0, {1080, 240, 975, 255}, IDC_ABOUT_AUTHOR);
        for (int id : {IDC_ABOUT_VERSION, IDC_ABOUT_SLOGAN, IDC_ABOUT_MESSENGER, IDC_ABOUT_WEB, IDC_ABOUT_AUTHOR})
            if (!plat::FindControl(hwnd(), id)) return false;
        return true;
    }

    LRESULT OnCtlColorStatic(HDC dc, HWND control) {
        const int id = GetDlgCtrlID(control);
        COLORREF text = GetSysColor(COLOR_BTNTEXT);
        if (plat::HighContrastOn()) {
            // The scheme's colours, the two lines that open something as links.
            text = GetSysColor(id == IDC_ABOUT_WEB || id == IDC_ABOUT_AUTHOR ? COLOR_HOTLIGHT : COLOR_WINDOWTEXT);
        } else if (id == IDC_ABOUT_VERSION) {
            text = kBlack;
        } else if (id == IDC_ABOUT_SLOGAN || id == IDC_ABOUT_WEB) {
            text = kBlue;
        }
        SetTextColor(dc, text);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }

    void OnWebClick() { OpenInBrowser(kMakerWebAddress); }
    void OnAuthorClick() { OpenInBrowser(std::wstring(L"mailto:") + kMakerEmail); }

    explicit AboutWindow(int dpi) : dpi_(dpi) {}

    const int dpi_;  // the DPI it opens at
    plat::DpiLayout layout_;
};

AboutWindow* AboutWindow::instance = nullptr;

}  // namespace

void ShowAboutWindow() { AboutWindow::Open(); }
HWND AboutWindowHandle() { return AboutWindow::instance ? AboutWindow::instance->hwnd() : nullptr; }

HWND AboutControl(int id) { return plat::FindControl(AboutWindowHandle(), id); }

std::wstring BrowserCommandLine(const std::wstring& target) { return std::wstring(kBrowserProgram) + L" " + target; }

void OpenInBrowser(const std::wstring& target) {
    if (plat::StartProcess(BrowserCommandLine(target), SW_SHOWNORMAL) == 0) return;
    // Newer systems may have no browser at that path: let the system open
    // the address with whatever handles it there.
    ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace dialer
