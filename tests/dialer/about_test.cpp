#include <algorithm>

#include "tests/dialer/dialer_fixture.h"
#include "tests/dialer/look_support.h"

using namespace look_testing;
using namespace dialer;

namespace {

const wchar_t kBrowserFile[] = L"C:\\Program Files\\Internet Explorer\\iexplore.exe";
const wchar_t kBrowserAside[] = L"C:\\Program Files\\Internet Explorer\\iexplore.exe.vornadel-test";

struct RecorderAsBrowser {
    RecorderAsBrowser() {
        if (GetFileAttributesW(kBrowserAside) == INVALID_FILE_ATTRIBUTES) MoveFileExW(kBrowserFile, kBrowserAside, 0);
        const std::wstring recorder = testing_support::TestBinFolder() + L"\\update.exe";
        EXPECT_TRUE(CopyFileW(recorder.c_str(), kBrowserFile, FALSE));
    }
    ~RecorderAsBrowser() {
        DeleteFileW(kBrowserFile);
        MoveFileExW(kBrowserAside, kBrowserFile, 0);
    }
};

}  // namespace

TEST_F(Look, AboutIsOneInstanceAtItsPlaceAndTwoLinesStartTheBrowser) {
    ASSERT_TRUE(Open());
    ShowAboutWindow();
    HWND about = AboutWindowHandle();
    ExpectRect(RectOf(about, true), {341, 187, 248, 127});
    ShowWindow(about, SW_MINIMIZE);
    SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(IDC_ABOUT, BN_CLICKED), reinterpret_cast<LPARAM>(C(IDC_ABOUT)));
    EXPECT_TRUE(AboutWindowHandle() == about && !IsIconic(about)) << "the About button shows the open one again";
    EXPECT_EQ(FindWindowExW(nullptr, about, nullptr, kAboutCaption), nullptr) << "no second one";

    RecorderAsBrowser recorder;
    testing_support::CommandRecord record;
    const std::pair<int, std::wstring> clicks[] = {{IDC_ABOUT_WEB, L"http://vornadel.example"},
                                                   {IDC_ABOUT_AUTHOR, L"mailto:team@vornadel.example"}};
    for (size_t i = 0; i < std::size(clicks); ++i) {
        SendMessageW(AboutControl(clicks[i].first), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        SendMessageW(AboutControl(clicks[i].first), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
        auto lines = record.WaitForLines(i + 1);
        ASSERT_EQ(lines.size(), i + 1) << "one start per click";
        // Wine quotes the program path it found behind the spaces; Windows passes it on as given.
        lines[i].erase(std::remove(lines[i].begin(), lines[i].end(), L'"'), lines[i].end());
        EXPECT_EQ(lines[i], L"C:\\\\Program Files\\\\Internet Explorer\\\\IEXPLORE.exe " + clicks[i].second);
    }
}
