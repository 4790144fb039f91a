// The About window; what its lines start is seen in the command lines a recorder receives.
#include <algorithm>

#include "tests/dialer/dialer_fixture.h"
#include "tests/dialer/look_support.h"

using namespace look_testing;
using namespace dialer;

namespace {

const wchar_t kBrowserFile[] = L"C:\\Program Files\\Internet Explorer\\iexplore.exe";  // the prefix's own name
const wchar_t kBrowserAside[] = L"C:\\Program Files\\Internet Explorer\\iexplore.exe.vornadel-test";

// The recorder at the browser's place or, with none there, as the http and mailto handler; all put back after.
struct RecorderAsBrowser {
    const std::wstring recorder = testing_support::TestBinFolder() + L"\\update.exe";
    std::vector<std::pair<std::wstring, std::wstring>> handlers;  // key, old command
    explicit RecorderAsBrowser(bool atBrowserPlace) {
        if (GetFileAttributesW(kBrowserAside) == INVALID_FILE_ATTRIBUTES) MoveFileExW(kBrowserFile, kBrowserAside, 0);
        DeleteFileW(kBrowserFile);  // a recorder left by an earlier run
        EXPECT_TRUE(atBrowserPlace ? CopyFileW(recorder.c_str(), kBrowserFile, FALSE)
                                   : Handle(L"http") && Handle(L"mailto"));
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
        MoveFileExW(kBrowserAside, kBrowserFile, 0);
        for (const auto& [key, old] : handlers)
            if (old.empty()) RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr);
            else Set(key, old);
    }
};

}  // namespace

TEST_F(Look, AboutIsOneInstanceAtItsPlaceAndTwoLinesStartTheBrowser) {
    ShowAboutWindow();
    HWND about = AboutWindowHandle();
    ExpectRect(RectOf(about, true), {341, 187, 248, 127});
    ExpectIconsAt(about, Dpi());
    ShowWindow(about, SW_MINIMIZE);
    SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(IDC_ABOUT, BN_CLICKED), reinterpret_cast<LPARAM>(C(IDC_ABOUT)));
    EXPECT_TRUE(AboutWindowHandle() == about && !IsIconic(about)) << "the About button shows the open one again";
    EXPECT_EQ(FindWindowExW(nullptr, about, nullptr, kAboutCaption), nullptr) << "no second one";

    const std::pair<int, std::wstring> clicks[] = {{IDC_ABOUT_WEB, L"http://vornadel.example"},
                                                   {IDC_ABOUT_AUTHOR, L"mailto:team@vornadel.example"}};
    for (bool browserThere : {true, false}) {
        RecorderAsBrowser recorder(browserThere);
        testing_support::CommandRecord record;
        for (size_t i = 0; i < std::size(clicks); ++i) {
            SendMessageW(AboutControl(clicks[i].first), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
            SendMessageW(AboutControl(clicks[i].first), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
            auto lines = record.WaitForLines(i + 1);
            ASSERT_EQ(lines.size(), i + 1) << "one start per click";
            // Wine quotes the program path it found behind the spaces; Windows passes it on as given.
            lines[i].erase(std::remove(lines[i].begin(), lines[i].end(), L'"'), lines[i].end());
            if (browserThere)
                EXPECT_EQ(lines[i], L"C:\\\\Program Files\\\\Internet Explorer\\\\IEXPLORE.exe " + clicks[i].second);
            else
                EXPECT_NE(lines[i].find(clicks[i].second), std::wstring::npos) << "the system's handler: " << lines[i];
        }
    }
}
