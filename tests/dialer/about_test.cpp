// The About window: place, controls, one instance, and the two lines that
// start the browser (checked through the command lines a recorder receives).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialer/about_window.h"
#include "dialer/main_window.h"
#include "platform/controls.h"
#include "platform/text.h"
#include "tests/dialer/look_support.h"
#include "tests/support/testing.h"

using namespace dialer;
using namespace look_testing;
using testing_support::CommandRecord;
using testing_support::PumpMessages;
using testing_support::TestBinFolder;

namespace {

const wchar_t kBrowserFolder[] = L"C:\\Program Files\\Internet Explorer";
const wchar_t kBrowserFile[] = L"C:\\Program Files\\Internet Explorer\\IEXPLORE.exe";
const wchar_t kBrowserAside[] = L"C:\\Program Files\\Internet Explorer\\iexplore.exe.vornadel-test";
// The command lines as the browser receives them: the program path written
// with two backslashes per separator, one space, the address.
const wchar_t kWebCommand[] = L"C:\\\\Program Files\\\\Internet Explorer\\\\IEXPLORE.exe http://vornadel.example";
const wchar_t kMailCommand[] =
    L"C:\\\\Program Files\\\\Internet Explorer\\\\IEXPLORE.exe mailto:team@vornadel.example";

// The browser's place holds the command-line recorder for the scope; the
// prefix's own program is put back afterwards.
class RecorderAsBrowser {
public:
    explicit RecorderAsBrowser(bool present) {
        CreateDirectoryW(kBrowserFolder, nullptr);
        // Put back under its own name (the letter case may differ from ours).
        WIN32_FIND_DATAW found{};
        HANDLE find = FindFirstFileW(kBrowserFile, &found);
        if (find != INVALID_HANDLE_VALUE) {
            original_ = std::wstring(kBrowserFolder) + L"\\" + found.cFileName;
            FindClose(find);
        }
        if (GetFileAttributesW(kBrowserAside) == INVALID_FILE_ATTRIBUTES)
            MoveFileExW(kBrowserFile, kBrowserAside, MOVEFILE_REPLACE_EXISTING);
        else
            DeleteFileW(kBrowserFile);  // a recorder left by an earlier run
        if (present) ok_ = CopyFileW((TestBinFolder() + L"\\update.exe").c_str(), kBrowserFile, FALSE) != FALSE;
        else ok_ = GetFileAttributesW(kBrowserFile) == INVALID_FILE_ATTRIBUTES;
    }
    ~RecorderAsBrowser() {
        DeleteFileW(kBrowserFile);
        if (GetFileAttributesW(kBrowserAside) != INVALID_FILE_ATTRIBUTES)
            MoveFileExW(kBrowserAside, original_.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    bool ok() const { return ok_; }

private:
    std::wstring original_ = kBrowserFile;
    bool ok_ = false;
};

// The system's handler of a URL scheme points at the recorder for the scope.
class RecorderAsUrlHandler {
public:
    explicit RecorderAsUrlHandler(const wchar_t* scheme)
        : key_(std::wstring(L"Software\\Classes\\") + scheme + L"\\shell\\open\\command") {
        HKEY k = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr))
            return;
        wchar_t buf[1024] = {};
        DWORD size = sizeof(buf) - sizeof(wchar_t), type = 0;
        had_ = RegQueryValueExW(k, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS;
        old_ = buf;
        oldType_ = type;
        std::wstring cmd = L"\"" + TestBinFolder() + L"\\update.exe\" \"%1\"";
        ok_ = RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(cmd.c_str()),
                             static_cast<DWORD>((cmd.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
        RegCloseKey(k);
    }
    ~RecorderAsUrlHandler() {
        HKEY k = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, KEY_SET_VALUE, &k)) return;
        if (had_)
            RegSetValueExW(k, nullptr, 0, oldType_, reinterpret_cast<const BYTE*>(old_.c_str()),
                           static_cast<DWORD>((old_.size() + 1) * sizeof(wchar_t)));
        else
            RegDeleteValueW(k, nullptr);
        RegCloseKey(k);
    }
    bool ok() const { return ok_; }

private:
    std::wstring key_, old_;
    DWORD oldType_ = REG_SZ;
    bool had_ = false, ok_ = false;
};

// Wine hands the started program its command line with the program path
// put in quotes once it has found it behind the spaces; Windows passes it on
// as given. Both carry the same path and arguments.
std::wstring AsGiven(std::wstring line) {
    if (!line.empty() && line[0] == L'"') {
        size_t close = line.find(L'"', 1);
        if (close != std::wstring::npos) line = line.substr(1, close - 1) + line.substr(close + 1);
    }
    return line;
}

void Click(HWND control) {
    SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    PumpMessages(20);
}

class AboutWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ShowAboutWindow();
        about_ = AboutWindowHandle();
        ASSERT_NE(about_, nullptr);
        PumpMessages(50);
    }
    void TearDown() override {
        if (HWND h = AboutWindowHandle()) DestroyWindow(h);
        PumpMessages(20);
        EXPECT_EQ(AboutWindowHandle(), nullptr);
    }
    HWND about_ = nullptr;
};

// Top-level windows of this thread with the About caption.
int CountAboutWindows() {
    struct Counter {
        static BOOL CALLBACK Visit(HWND h, LPARAM p) {
            if (plat::WindowText(h) == kAboutCaption) ++*reinterpret_cast<int*>(p);
            return TRUE;
        }
    };
    int n = 0;
    EnumThreadWindows(GetCurrentThreadId(), &Counter::Visit, reinterpret_cast<LPARAM>(&n));
    return n;
}

}  // namespace

TEST_F(AboutWindow, OpensAtItsFixedPlaceWithItsCaptionAndIcon) {
    EXPECT_EQ(plat::WindowText(about_), L"关于 ... ...");
    EXPECT_EQ(ClientOnScreen(about_), (Rect{341, 187, 248, 127}));
    const LONG style = GetWindowLongW(about_, GWL_STYLE);
    for (LONG bit : {WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_THICKFRAME})
        EXPECT_EQ(style & bit, bit) << std::hex << bit;
    EXPECT_EQ(GetWindowLongW(about_, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
    EXPECT_EQ(GetWindow(about_, GW_OWNER), nullptr) << "modeless, no owner";
    EXPECT_EQ(GetMenu(about_), nullptr);
    EXPECT_TRUE(IsWindowVisible(about_));
    EXPECT_NE(SendMessageW(about_, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(about_, WM_GETICON, ICON_SMALL, 0), 0);
}

TEST_F(AboutWindow, ControlsAtTheirPlacesWithTheirTexts) {
    HWND frame = AboutControl(IDC_ABOUT_FRAME1);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(GetParent(frame), about_);
    EXPECT_EQ(ClassOf(frame), plat::kFrameClassName);
    EXPECT_EQ(plat::WindowText(frame), L"");
    EXPECT_EQ(RectInParent(frame), (Rect{16, 24, 217, 97}));
    HWND label1 = AboutControl(IDC_ABOUT_LABEL1);
    ASSERT_NE(label1, nullptr);
    EXPECT_EQ(GetParent(label1), about_);
    EXPECT_EQ(RectInParent(label1), (Rect{80, 8, 97, 17}));
    EXPECT_EQ(plat::WindowText(label1), L"ADSLZembrel V1.0");

    const struct {
        int id;
        Rect px;
    } inFrame[] = {
        {IDC_ABOUT_LABEL5, {72, 16, 65, 17}},
        {IDC_ABOUT_LABEL3, {72, 32, 81, 17}},
        {IDC_ABOUT_LABEL4, {32, 56, 153, 17}},
        {IDC_ABOUT_LABEL2, {24, 72, 177, 17}},
    };
    for (const auto& e : inFrame) {
        HWND h = AboutControl(e.id);
        ASSERT_NE(h, nullptr) << e.id;
        EXPECT_EQ(GetParent(h), frame) << e.id;
        EXPECT_EQ(ClassOf(h), L"Static") << e.id;
        EXPECT_EQ(RectInParent(h), e.px) << e.id;
        EXPECT_FALSE(GetWindowLongW(h, GWL_STYLE) & WS_TABSTOP) << "labels take no focus";
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)), plat::DefaultFont());
    }
    EXPECT_EQ(plat::WindowText(AboutControl(IDC_ABOUT_LABEL4)), L"网站：vornadel.example");
    EXPECT_EQ(plat::WindowText(AboutControl(IDC_ABOUT_LABEL5)).rfind(L"作者：", 0), 0u);
    EXPECT_FALSE(plat::WindowText(AboutControl(IDC_ABOUT_LABEL3)).empty());
    EXPECT_FALSE(plat::WindowText(AboutControl(IDC_ABOUT_LABEL2)).empty());
}

TEST_F(AboutWindow, TextColours) {
    const COLORREF blue = RGB(0, 0, 255), black = RGB(0, 0, 0);
    // Button text in a colour of its own shows which lines keep the default.
    SysColorsScope scheme({COLOR_BTNTEXT}, {RGB(0, 160, 0)});
    auto shot = [](int id) { return Snapshot(AboutControl(id)); };
    Snapshot label1 = shot(IDC_ABOUT_LABEL1), label2 = shot(IDC_ABOUT_LABEL2), label3 = shot(IDC_ABOUT_LABEL3),
             label4 = shot(IDC_ABOUT_LABEL4), label5 = shot(IDC_ABOUT_LABEL5);
    EXPECT_GT(label1.Count(black), 10u);
    EXPECT_EQ(label1.Count(blue), 0u);
    EXPECT_GT(label2.Count(blue), 10u);
    EXPECT_GT(label4.Count(blue), 10u);
    EXPECT_EQ(label4.Count(black), 0u);
    EXPECT_GT(label3.Count(RGB(0, 160, 0)), 10u);
    EXPECT_GT(label5.Count(RGB(0, 160, 0)), 10u);
    EXPECT_EQ(label3.Count(blue) + label5.Count(blue), 0u);
    // On the window's face colour.
    EXPECT_EQ(label4.At(label4.width() - 1, label4.height() - 1), GetSysColor(COLOR_BTNFACE));
}

TEST_F(AboutWindow, OneInstanceOnly) {
    EXPECT_EQ(CountAboutWindows(), 1);
    ShowAboutWindow();
    EXPECT_EQ(AboutWindowHandle(), about_) << "opening again shows the same window";
    ShowWindow(about_, SW_MINIMIZE);
    ShowAboutWindow();
    EXPECT_EQ(AboutWindowHandle(), about_);
    EXPECT_FALSE(IsIconic(about_));
    EXPECT_EQ(CountAboutWindows(), 1);
    EXPECT_EQ(ClientOnScreen(about_), (Rect{341, 187, 248, 127}));
}

TEST_F(AboutWindow, CloseBoxClosesItAndTheNextOpeningCreatesItAgain) {
    SendMessageW(about_, WM_SYSCOMMAND, SC_CLOSE, 0);
    PumpMessages(20);
    EXPECT_FALSE(IsWindow(about_));
    EXPECT_EQ(AboutWindowHandle(), nullptr);
    EXPECT_EQ(CountAboutWindows(), 0);
    ShowAboutWindow();
    ASSERT_NE(AboutWindowHandle(), nullptr);
    EXPECT_EQ(ClientOnScreen(AboutWindowHandle()), (Rect{341, 187, 248, 127}));
    EXPECT_EQ(plat::WindowText(AboutControl(IDC_ABOUT_LABEL1)), L"ADSLZembrel V1.0");
}

TEST_F(AboutWindow, StaysOpenWhileTheMainWindowHidesAndReturns) {
    testing_support::RemoveSettingsFile();
    Form1* form = Form1::Create();
    ASSERT_NE(form, nullptr);
    HWND main = form->hwnd();
    // Command3 opens (the already open) About window.
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_COMMAND3, BN_CLICKED),
                 reinterpret_cast<LPARAM>(form->Control(IDC_COMMAND3)));
    EXPECT_EQ(AboutWindowHandle(), about_);
    ShowWindow(main, SW_MINIMIZE);
    PumpMessages(50);
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_TRUE(IsWindowVisible(about_));
    ShowWindow(main, SW_SHOWNORMAL);
    PumpMessages(50);
    EXPECT_TRUE(IsWindowVisible(about_));
    form->Unload();
    PumpMessages(20);
    EXPECT_TRUE(IsWindow(about_)) << "the About window outlives the main window";
    testing_support::RemoveSettingsFile();
}

TEST_F(AboutWindow, WebAndMailLinesStartTheBrowserOncePerClick) {
    EXPECT_EQ(BrowserCommandLine(kMakerWebAddress), kWebCommand);
    RecorderAsBrowser browser(true);
    ASSERT_TRUE(browser.ok());
    CommandRecord record;

    Click(AboutControl(IDC_ABOUT_LABEL4));
    auto lines = record.WaitForLines(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(AsGiven(lines[0]), kWebCommand);

    Click(AboutControl(IDC_ABOUT_LABEL4));
    lines = record.WaitForLines(2);
    ASSERT_EQ(lines.size(), 2u) << "twice clicked, twice started";
    EXPECT_EQ(AsGiven(lines[1]), kWebCommand);

    Click(AboutControl(IDC_ABOUT_LABEL5));
    lines = record.WaitForLines(3);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(AsGiven(lines[2]), kMailCommand);
    EXPECT_TRUE(IsWindow(about_)) << "the About window stays open";

    // The other lines and the frame do nothing.
    for (int id : {IDC_ABOUT_LABEL1, IDC_ABOUT_LABEL2, IDC_ABOUT_LABEL3, IDC_ABOUT_FRAME1})
        Click(AboutControl(id));
    Click(about_);
    PumpMessages(1500);
    EXPECT_EQ(record.Lines().size(), 3u);
}

TEST_F(AboutWindow, WithoutThatBrowserTheSystemHandlerOpensTheAddress) {
    RecorderAsBrowser browser(false);
    ASSERT_TRUE(browser.ok()) << "no program at the browser path";
    RecorderAsUrlHandler http(L"http"), mailto(L"mailto");
    ASSERT_TRUE(http.ok() && mailto.ok());
    CommandRecord record;

    Click(AboutControl(IDC_ABOUT_LABEL4));
    auto lines = record.WaitForLines(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L"http://vornadel.example"), std::wstring::npos) << lines[0];

    Click(AboutControl(IDC_ABOUT_LABEL5));
    lines = record.WaitForLines(2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find(L"mailto:team@vornadel.example"), std::wstring::npos) << lines[1];
    PumpMessages(500);
    EXPECT_EQ(record.Lines().size(), 2u) << "one opening per click";
}
