// The About window: place, controls, one instance, and the two lines that
// start the browser (checked through the command lines a recorder receives).
#include "platform/controls.h"
#include "tests/dialer/look_support.h"

using namespace look_testing;
using testing_support::CommandRecord;
using testing_support::TestBinFolder;

namespace {

const Rect kAboutClient = {341, 187, 248, 127};
const wchar_t kBrowserFile[] = L"C:\\Program Files\\Internet Explorer\\IEXPLORE.exe";
const wchar_t kBrowserHome[] = L"C:\\Program Files\\Internet Explorer\\iexplore.exe";  // the prefix's own name
const wchar_t kBrowserAside[] = L"C:\\Program Files\\Internet Explorer\\iexplore.exe.vornadel-test";
// As the browser receives them: two backslashes per separator, one space, the address.
const std::wstring kBrowserCommand = L"C:\\\\Program Files\\\\Internet Explorer\\\\IEXPLORE.exe ";

// The browser's place holds the recorder (or nothing) for the scope; the
// prefix's own program is put back afterwards.
struct RecorderAsBrowser {
    bool ok = false;
    explicit RecorderAsBrowser(bool present) {
        if (GetFileAttributesW(kBrowserAside) == INVALID_FILE_ATTRIBUTES)
            MoveFileExW(kBrowserFile, kBrowserAside, 0);
        else
            DeleteFileW(kBrowserFile);  // a recorder left by an earlier run
        ok = present ? CopyFileW((TestBinFolder() + L"\\update.exe").c_str(), kBrowserFile, FALSE) != FALSE
                     : GetFileAttributesW(kBrowserFile) == INVALID_FILE_ATTRIBUTES;
    }
    ~RecorderAsBrowser() {
        DeleteFileW(kBrowserFile);
        MoveFileExW(kBrowserAside, kBrowserHome, 0);
    }
};

// The system's handler of a URL scheme is the recorder for the scope.
struct RecorderAsUrlHandler {
    std::wstring key;
    wchar_t old[1024] = {};
    DWORD type = REG_SZ, size = sizeof(old) - sizeof(wchar_t);
    bool had, ok;
    explicit RecorderAsUrlHandler(const wchar_t* scheme)
        : key(std::wstring(L"Software\\Classes\\") + scheme + L"\\shell\\open\\command"),
          had(!RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, RRF_RT_ANY | RRF_NOEXPAND, &type, old, &size)),
          ok(Set(L"\"" + TestBinFolder() + L"\\update.exe\" \"%1\"")) {}
    bool Set(const std::wstring& v) const {
        return !RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, type, v.c_str(),
                                static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t)));
    }
    ~RecorderAsUrlHandler() {
        if (had) Set(old);
        else RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr);
    }
};

void Click(HWND control) {
    SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    PumpMessages(20);
}

}  // namespace

TEST_F(Look, AboutFormControlsAndColours) {
    HWND about = OpenAbout();
    ExpectForm(about, L"关于 ... ...", kAboutClient);
    HWND f = AboutControl(IDC_ABOUT_FRAME1);
    ExpectPlaces({
        {f, about, plat::kFrameClassName, {16, 24, 217, 97}, L"", true},
        {AboutControl(IDC_ABOUT_LABEL1), about, L"Static", {80, 8, 97, 17}, L"ADSLZembrel V1.0", true},
        {AboutControl(IDC_ABOUT_LABEL5), f, L"Static", {72, 16, 65, 17}, L"作者：岚舟", true},
        {AboutControl(IDC_ABOUT_LABEL3), f, L"Static", {72, 32, 81, 17}, L"QQ：vornadel", true},
        {AboutControl(IDC_ABOUT_LABEL4), f, L"Static", {32, 56, 153, 17}, L"网站：vornadel.example", true},
        {AboutControl(IDC_ABOUT_LABEL2), f, L"Static", {24, 72, 177, 17}, L"岚舟出品，祝您上网愉快！", true},
    });
    // The web and the closing line in blue, the others not.
    for (int id = IDC_ABOUT_LABEL1; id <= IDC_ABOUT_LABEL5; ++id) {
        const bool blue = id == IDC_ABOUT_LABEL2 || id == IDC_ABOUT_LABEL4;
        EXPECT_EQ(Snapshot(AboutControl(id)).Count(RGB(0, 0, 255)) > 10, blue) << id;
    }
}

TEST_F(Look, AboutIsOneInstanceAtItsFixedPlace) {
    HWND about = OpenAbout();
    ShowWindow(about, SW_MINIMIZE);
    SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(IDC_COMMAND3, BN_CLICKED), reinterpret_cast<LPARAM>(C(IDC_COMMAND3)));
    EXPECT_EQ(AboutWindowHandle(), about) << "Command3 shows the open one again";
    EXPECT_FALSE(IsIconic(about));
    EXPECT_EQ(FindWindowW(nullptr, kAboutCaption), about);
    EXPECT_EQ(FindWindowExW(nullptr, about, nullptr, kAboutCaption), nullptr) << "no second one";
    SendMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0);
    PumpMessages(20);
    EXPECT_FALSE(IsWindow(about));
    EXPECT_EQ(AboutWindowHandle(), nullptr);
    EXPECT_EQ(RectOf(OpenAbout(), true), kAboutClient) << "opened again at its place";
}

TEST_F(Look, AboutStaysOpenWhileTheMainWindowHidesAndReturns) {
    HWND about = OpenAbout();
    ShowWindow(hwnd_, SW_MINIMIZE);
    PumpMessages(50);
    EXPECT_TRUE(!IsWindowVisible(hwnd_) && IsWindowVisible(about));
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    PumpMessages(50);
    EXPECT_TRUE(IsWindowVisible(about));
    form_->Unload();
    PumpMessages(20);
    EXPECT_TRUE(IsWindow(about)) << "the About window outlives the main window";
}

TEST_F(Look, AboutWebAndMailLinesStartTheBrowserOncePerClick) {
    HWND about = OpenAbout();
    RecorderAsBrowser browser(true);
    ASSERT_TRUE(browser.ok);
    CommandRecord record;
    const std::wstring web = kBrowserCommand + L"http://vornadel.example";
    const std::wstring mail = kBrowserCommand + L"mailto:team@vornadel.example";
    const std::vector<std::pair<int, std::wstring>> clicks = {{IDC_ABOUT_LABEL4, web}, {IDC_ABOUT_LABEL4, web},
                                                               {IDC_ABOUT_LABEL5, mail}};
    for (size_t i = 0; i < clicks.size(); ++i) {
        Click(AboutControl(clicks[i].first));
        const auto lines = record.WaitForLines(i + 1);
        ASSERT_EQ(lines.size(), i + 1) << "one start per click";
        // Wine quotes the program path it found behind the spaces; Windows passes it on as given.
        std::wstring got = lines[i];
        got.erase(std::remove(got.begin(), got.end(), L'"'), got.end());
        EXPECT_EQ(got, clicks[i].second);
    }
    EXPECT_TRUE(IsWindow(about)) << "the About window stays open";
    for (int id : {IDC_ABOUT_LABEL1, IDC_ABOUT_LABEL2, IDC_ABOUT_LABEL3, IDC_ABOUT_FRAME1}) Click(AboutControl(id));
    Click(about);
    PumpMessages(1500);
    EXPECT_EQ(record.Lines().size(), clicks.size()) << "the other lines start nothing";
}

TEST_F(Look, AboutFallsBackToTheSystemHandlerWithoutThatBrowser) {
    OpenAbout();
    RecorderAsBrowser browser(false);
    RecorderAsUrlHandler http(L"http"), mailto(L"mailto");
    ASSERT_TRUE(browser.ok && http.ok && mailto.ok) << "no program at the browser path, the recorder as handler";
    CommandRecord record;
    Click(AboutControl(IDC_ABOUT_LABEL4));
    ASSERT_EQ(record.WaitForLines(1).size(), 1u);
    Click(AboutControl(IDC_ABOUT_LABEL5));
    const auto lines = record.WaitForLines(2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(L"http://vornadel.example"), std::wstring::npos) << lines[0];
    EXPECT_NE(lines[1].find(L"mailto:team@vornadel.example"), std::wstring::npos) << lines[1];
    PumpMessages(500);
    EXPECT_EQ(record.Lines().size(), 2u) << "one opening per click";
}
