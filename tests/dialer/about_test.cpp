// The About window: place, controls, one instance, and the two lines that
// start the browser (checked through the command lines a recorder receives).
#include "platform/controls.h"
#include "tests/dialer/look_support.h"

using namespace look_testing;
using testing_support::CommandRecord;

namespace {

const wchar_t kBrowserFile[] = L"C:\\Program Files\\Internet Explorer\\IEXPLORE.exe";
const wchar_t kBrowserHome[] = L"C:\\Program Files\\Internet Explorer\\iexplore.exe";  // the prefix's own name
const wchar_t kBrowserAside[] = L"C:\\Program Files\\Internet Explorer\\iexplore.exe.vornadel-test";

// For the scope the recorder is at the browser's place or, with nothing
// there, the handler of http and mailto addresses; all is put back afterwards.
struct RecorderAsBrowser {
    const std::wstring recorder = testing_support::TestBinFolder() + L"\\update.exe";
    std::vector<std::pair<std::wstring, std::wstring>> handlers;  // key, old command
    bool ok;
    explicit RecorderAsBrowser(bool atBrowserPlace) {
        if (GetFileAttributesW(kBrowserAside) == INVALID_FILE_ATTRIBUTES) MoveFileExW(kBrowserFile, kBrowserAside, 0);
        DeleteFileW(kBrowserFile);  // a recorder left by an earlier run
        ok = atBrowserPlace ? CopyFileW(recorder.c_str(), kBrowserFile, FALSE) != FALSE
                            : Handle(L"http") && Handle(L"mailto");
    }
    bool Handle(const wchar_t* scheme) {
        const std::wstring key = std::wstring(L"Software\\Classes\\") + scheme + L"\\shell\\open\\command";
        wchar_t old[1024] = {};
        DWORD size = sizeof(old) - sizeof(wchar_t);
        RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, old, &size);
        handlers.emplace_back(key, old);
        return Set(key, L"\"" + recorder + L"\" \"%1\"");
    }
    static bool Set(const std::wstring& key, const std::wstring& v) {
        return !RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, REG_SZ, v.c_str(),
                                static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t)));
    }
    ~RecorderAsBrowser() {
        DeleteFileW(kBrowserFile);
        MoveFileExW(kBrowserAside, kBrowserHome, 0);
        for (const auto& [key, old] : handlers)
            if (old.empty()) RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr);
            else Set(key, old);
    }
};

void Click(HWND control) {
    SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    PumpMessages(20);
}

}  // namespace

TEST_F(Look, AboutIsOneInstanceAtItsFixedPlaceAndStaysWhileTheMainWindowHides) {
    HWND about = OpenAbout();
    ExpectForm(about, L"关于 ... ...", {341, 187, 248, 127});
    HWND f = AboutControl(IDC_ABOUT_FRAME);
    ExpectPlaces({
        {f, about, plat::kFrameClassName, {16, 24, 217, 97}, L"", true},
        {AboutControl(IDC_ABOUT_VERSION), about, L"Static", {80, 8, 97, 17}, L"ADSLZembrel V1.0", true},
        {AboutControl(IDC_ABOUT_AUTHOR), f, L"Static", {72, 16, 65, 17}, L"作者：岚舟", true},
        {AboutControl(IDC_ABOUT_MESSENGER), f, L"Static", {72, 32, 81, 17}, L"QQ：vornadel", true},
        {AboutControl(IDC_ABOUT_WEB), f, L"Static", {32, 56, 153, 17}, L"网站：vornadel.example", true},
        {AboutControl(IDC_ABOUT_SLOGAN), f, L"Static", {24, 72, 177, 17}, L"岚舟出品，祝您上网愉快！", true},
    });
    ShowWindow(about, SW_MINIMIZE);
    SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(IDC_ABOUT, BN_CLICKED), reinterpret_cast<LPARAM>(C(IDC_ABOUT)));
    EXPECT_TRUE(AboutWindowHandle() == about && !IsIconic(about)) << "the About button shows the open one again";
    EXPECT_EQ(FindWindowExW(nullptr, about, nullptr, kAboutCaption), nullptr) << "no second one";
    ShowWindow(hwnd_, SW_MINIMIZE);
    PumpMessages(50);
    EXPECT_TRUE(!IsWindowVisible(hwnd_) && IsWindowVisible(about));
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    PumpMessages(50);
    EXPECT_TRUE(IsWindowVisible(about));
}

TEST_F(Look, AboutWebAndMailLinesStartTheBrowserOncePerClickElseTheSystemHandler) {
    HWND about = OpenAbout();
    const std::wstring web = L"http://vornadel.example", mail = L"mailto:team@vornadel.example";
    const std::vector<std::pair<int, std::wstring>> clicks = {{IDC_ABOUT_WEB, web}, {IDC_ABOUT_WEB, web},
                                                               {IDC_ABOUT_AUTHOR, mail}};
    for (bool browserThere : {true, false}) {
        RecorderAsBrowser recorder(browserThere);
        ASSERT_TRUE(recorder.ok && (GetFileAttributesW(kBrowserFile) != INVALID_FILE_ATTRIBUTES) == browserThere);
        CommandRecord record;
        for (size_t i = 0; i < clicks.size(); ++i) {
            Click(AboutControl(clicks[i].first));
            auto lines = record.WaitForLines(i + 1);
            ASSERT_EQ(lines.size(), i + 1) << "one start per click";
            // Wine quotes the program path it found behind the spaces; Windows passes it on as given.
            lines[i].erase(std::remove(lines[i].begin(), lines[i].end(), L'"'), lines[i].end());
            if (browserThere)
                EXPECT_EQ(lines[i], L"C:\\\\Program Files\\\\Internet Explorer\\\\IEXPLORE.exe " + clicks[i].second);
            else
                EXPECT_NE(lines[i].find(clicks[i].second), std::wstring::npos) << "the system's handler: " << lines[i];
        }
        for (int id : {IDC_ABOUT_VERSION, IDC_ABOUT_SLOGAN, IDC_ABOUT_MESSENGER, IDC_ABOUT_FRAME}) Click(AboutControl(id));
        Click(about);
        PumpMessages(1500);
        EXPECT_EQ(record.Lines().size(), clicks.size()) << "the other lines start nothing";
        EXPECT_TRUE(IsWindow(about)) << "the About window stays open";
    }
}
