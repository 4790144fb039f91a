#include "updater/download_window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/units.h"
#include "platform/window.h"
#include "tests/support/testing.h"
#include "tests/updater/updater_test_support.h"
#include "updater/resource.h"

using testing_support::PumpMessages;
using testing_support::PumpUntil;
using updater::Form1;
using namespace updater_test;

namespace {

const wchar_t kDownloading[] = L"正在下载所需文件，请耐心等待 ......";

// A download window over a throw-away program folder that holds an older
// dialer, as an installed updater's folder would.
class DownloadWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(WriteFileBytes(folder.File(L"vornadel.exe"), kOldProgram)); }
    void TearDown() override {
        if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
        PumpMessages(20);
        EXPECT_EQ(plat::OpenFormCount(), 0);
    }

    Form1* Open(const std::wstring& url, bool install = false) {
        updater::DownloadOptions options;
        options.url = url;
        options.programFolder = folder.path();
        options.showInstallWindow = install;
        form = Form1::Create(options);
        hwnd = form ? form->hwnd() : nullptr;
        return form;
    }
    bool WaitForOutcome(DWORD timeoutMs = 30000) {
        return PumpUntil([&] { return form->outcome() != Form1::Outcome::Running; }, timeoutMs);
    }
    std::wstring Status() const { return plat::WindowText(GetDlgItem(hwnd, updater::IDC_LABEL3)); }
    std::wstring DownloadFolder() const { return folder.File(L"download"); }
    std::wstring Downloaded() const { return folder.File(L"download\\vornadel.exe"); }
    int ProgressPos() const { return static_cast<int>(SendMessageW(Bar(), PBM_GETPOS, 0, 0)); }
    int ProgressMax() const { return static_cast<int>(SendMessageW(Bar(), PBM_GETRANGE, FALSE, 0)); }
    HWND Bar() const { return GetDlgItem(hwnd, updater::IDC_PROGRESSBAR1); }

    // Checks that the update came to nothing: no program in the download
    // folder, no leftovers, the old dialer untouched, no install window.
    void ExpectNothingInstalled() {
        EXPECT_EQ(form->outcome(), Form1::Outcome::Failed);
        EXPECT_EQ(FilesIn(DownloadFolder()), std::vector<std::wstring>{});
        EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), kOldProgram);
        EXPECT_EQ(plat::OpenFormCount(), 1);
        EXPECT_TRUE(IsWindowVisible(hwnd));
    }
    void ExpectDownloaded(size_t size) {
        EXPECT_EQ(form->outcome(), Form1::Outcome::Complete);
        EXPECT_EQ(Status(), updater::kTextDownloadDone);
        EXPECT_EQ(FilesIn(DownloadFolder()), std::vector<std::wstring>{L"vornadel.exe"});
        EXPECT_TRUE(ReadFileBytes(Downloaded()) == ExpectedBody(size)) << "content differs";
        EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), kOldProgram);
    }

    const std::string kOldProgram = "MZ old dialer";
    TempProgramFolder folder;
    Form1* form = nullptr;
    HWND hwnd = nullptr;
};

RECT ChildRect(HWND parent, int id) {
    RECT r{};
    HWND child = GetDlgItem(parent, id);
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void ExpectPlacement(HWND parent, int id, int left, int top, int width, int height) {
    RECT r = ChildRect(parent, id);
    EXPECT_EQ(r.left, plat::TwipsToPixelsX(left)) << id;
    EXPECT_EQ(r.top, plat::TwipsToPixelsY(top)) << id;
    EXPECT_EQ(r.right - r.left, plat::TwipsToPixelsX(width)) << id;
    EXPECT_EQ(r.bottom - r.top, plat::TwipsToPixelsY(height)) << id;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t buf[64] = {};
    GetClassNameW(hwnd, buf, 64);
    return buf;
}

}  // namespace

TEST(DownloadWindowUrl, FileNameIsWhatFollowsTheLastSlash) {
    EXPECT_EQ(Form1::FileNameOfUrl(L"http://update.vornadel.example/soft/updates/Vornadel/vornadel.exe"),
              L"vornadel.exe");
    EXPECT_EQ(Form1::FileNameOfUrl(L"vornadel.exe"), L"vornadel.exe");
    EXPECT_EQ(Form1::FileNameOfUrl(L"http://host/dir/"), L"");
}

TEST_F(DownloadWindowTest, LayoutCaptionsAndDesignValues) {
    const std::wstring url = ServerUrl(L"/hold/vornadel.exe");
    ASSERT_TRUE(Open(url));
    EXPECT_EQ(plat::WindowText(hwnd), L"Vornadel升级程序");
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, plat::TwipsToPixelsX(5565));
    EXPECT_EQ(client.bottom, plat::TwipsToPixelsY(720));
    EXPECT_TRUE(IsWindowVisible(hwnd));

    using namespace updater;
    ExpectPlacement(hwnd, IDC_PROGRESSBAR1, 240, 120, 4575, 255);
    ExpectPlacement(hwnd, IDC_LABEL3, 240, 480, 4575, 255);
    ExpectPlacement(hwnd, IDC_TEXT1, 120, 360, 5295, 270);
    ExpectPlacement(hwnd, IDC_TEXT2, 3120, 3000, 3495, 270);
    ExpectPlacement(hwnd, IDC_COMMAND2, 4800, 3480, 975, 495);
    ExpectPlacement(hwnd, IDC_LABEL1, 2040, 2640, 855, 255);
    ExpectPlacement(hwnd, IDC_LABEL2, 2040, 3000, 855, 255);
    EXPECT_EQ(ClassOf(Bar()), PROGRESS_CLASSW);
    EXPECT_EQ(ProgressMax(), 100);
    EXPECT_EQ(SendMessageW(Bar(), PBM_GETRANGE, TRUE, 0), 0);

    EXPECT_FALSE(IsWindowVisible(GetDlgItem(hwnd, IDC_TEXT1)));
    EXPECT_EQ(form->Text(IDC_TEXT1), url);
    EXPECT_EQ(form->Text(IDC_TEXT2), folder.path() + L"\\download\\vornadel.exe");
    EXPECT_EQ(form->Text(IDC_COMMAND2), L"取消下载");
    EXPECT_EQ(form->Text(IDC_LABEL1), L"下载地址:");
    EXPECT_EQ(form->Text(IDC_LABEL2), L"保存路径:");
    // The field and the button lie below the visible client area.
    EXPECT_GE(ChildRect(hwnd, IDC_TEXT2).top, client.bottom);
    EXPECT_GE(ChildRect(hwnd, IDC_COMMAND2).top, client.bottom);

    // The window carries the program icon whenever the build has one.
    if (FindResourceW(nullptr, MAKEINTRESOURCEW(IDI_UPDATER), RT_GROUP_ICON)) {
        EXPECT_NE(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0), 0);
    }
}

TEST_F(DownloadWindowTest, StatusLineFollowsTheStateNumbers) {
    ASSERT_TRUE(Open(ServerUrl(L"/hold/vornadel.exe")));
    // The request waits for an answer that does not come: states are ours.
    ASSERT_TRUE(PumpUntil([&] { return Status() == kDownloading; }, 15000)) << plat::ToAnsi(Status());
    const std::pair<int, const wchar_t*> table[] = {
        {1, L"正在连接服务器"},       {2, L"成功连接到服务器"},     {3, L"正在与服务器连接"},
        {4, L"已与服务器连接成功"},   {5, L"正在向服务器发送请求"}, {6, L"发送请求已成功"},
        {7, kDownloading},            {8, kDownloading},            {9, L"正在解除与服务器的连接"},
        {10, L"文件下载完成..."},
    };
    for (auto [state, text] : table) {
        SendMessageW(hwnd, updater::WM_INET1_STATECHANGED, static_cast<WPARAM>(state), 0);
        EXPECT_EQ(Status(), text) << state;
    }
    // Numbers outside the table change nothing.
    for (int other : {0, 13, -1, 100, 32767}) {
        SendMessageW(hwnd, updater::WM_INET1_STATECHANGED, static_cast<WPARAM>(static_cast<short>(other)), 0);
        EXPECT_EQ(Status(), L"文件下载完成...") << other;
    }
    // The error state stays on the line: later notifications leave it.
    SendMessageW(hwnd, updater::WM_INET1_STATECHANGED, 11, 0);
    EXPECT_EQ(Status(), updater::kTextCommunicationError);
    EXPECT_EQ(form->outcome(), Form1::Outcome::Failed);
    SendMessageW(hwnd, updater::WM_INET1_STATECHANGED, 10, 0);
    EXPECT_EQ(Status(), updater::kTextCommunicationError);
    EXPECT_EQ(FilesIn(DownloadFolder()), std::vector<std::wstring>{});
}

TEST_F(DownloadWindowTest, NormalBodyIsSavedWhole) {
    ASSERT_TRUE(Open(ServerUrl(L"/normal/vornadel.exe")));
    ASSERT_TRUE(WaitForOutcome());
    ExpectDownloaded(10000);
    EXPECT_EQ(ProgressMax(), 10000);
    EXPECT_EQ(ProgressPos(), 10000);
    // Notifications that arrive after the end leave the final text.
    SendMessageW(hwnd, updater::WM_INET1_STATECHANGED, 9, 0);
    SendMessageW(hwnd, updater::WM_INET1_STATECHANGED, 10, 0);
    PumpMessages(100);
    EXPECT_EQ(Status(), updater::kTextDownloadDone);
}

TEST_F(DownloadWindowTest, BodyShorterThanOnePieceIsSavedInOnePass) {
    ASSERT_TRUE(Open(ServerUrl(L"/small/vornadel.exe")));
    ASSERT_TRUE(WaitForOutcome());
    ExpectDownloaded(500);
    EXPECT_EQ(ProgressMax(), 500);
    EXPECT_EQ(ProgressPos(), 500);
}

TEST_F(DownloadWindowTest, BodyOfWholePiecesEndsAfterTheLastPiece) {
    ASSERT_TRUE(Open(ServerUrl(L"/multiple/vornadel.exe")));
    ASSERT_TRUE(WaitForOutcome());
    ExpectDownloaded(4096);
    EXPECT_EQ(ProgressPos(), 4096);
}

TEST_F(DownloadWindowTest, BodyWithoutLengthIsReadUntilItEnds) {
    ASSERT_TRUE(Open(ServerUrl(L"/nolength/vornadel.exe")));
    ASSERT_TRUE(WaitForOutcome());
    // Not cut off at the bar's 100: the whole body is there.
    ExpectDownloaded(3000);
    EXPECT_EQ(ProgressMax(), 100);
    EXPECT_EQ(ProgressPos(), 100);
}

TEST_F(DownloadWindowTest, SlowDripIsSavedWhole) {
    ASSERT_TRUE(Open(ServerUrl(L"/drip/vornadel.exe")));
    ASSERT_TRUE(WaitForOutcome());
    ExpectDownloaded(3000);
}

TEST_F(DownloadWindowTest, SeveralMegabytesAreSavedWhole) {
    ASSERT_TRUE(Open(ServerUrl(L"/big/vornadel.exe")));
    ASSERT_TRUE(WaitForOutcome(60000));
    ExpectDownloaded(5 * 1024 * 1024 + 123);
    EXPECT_EQ(ProgressPos(), 5 * 1024 * 1024 + 123);
}

TEST_F(DownloadWindowTest, NotFoundPageIsNotInstalled) {
    ASSERT_TRUE(Open(ServerUrl(L"/missing/vornadel.exe"), true));
    ASSERT_TRUE(WaitForOutcome());
    EXPECT_EQ(Status(), L"服务器没有提供升级文件（HTTP 404）");
    ExpectNothingInstalled();
}

TEST_F(DownloadWindowTest, BodyCutShortIsNotInstalled) {
    ASSERT_TRUE(Open(ServerUrl(L"/short/vornadel.exe"), true));
    ASSERT_TRUE(WaitForOutcome());
    EXPECT_EQ(Status(), L"文件没有下载完整，请稍后再试");
    ExpectNothingInstalled();
}

TEST_F(DownloadWindowTest, BodyThatIsNoProgramIsNotInstalled) {
    ASSERT_TRUE(Open(ServerUrl(L"/notexe/vornadel.exe"), true));
    ASSERT_TRUE(WaitForOutcome());
    EXPECT_EQ(Status(), L"下载的文件不是有效的程序文件");
    ExpectNothingInstalled();
}

TEST_F(DownloadWindowTest, RefusedConnectionShowsTheCommunicationError) {
    ASSERT_TRUE(Open(RefusedUrl(), true));
    ASSERT_TRUE(WaitForOutcome());
    EXPECT_EQ(Status(), L"与主机通讯时出现了错误");
    ExpectNothingInstalled();
}

TEST_F(DownloadWindowTest, AddressWithoutSlashIsItsOwnFileNameAndFails) {
    ASSERT_TRUE(Open(L"vornadel.exe", true));
    EXPECT_EQ(form->Text(updater::IDC_TEXT2), folder.path() + L"\\download\\vornadel.exe");
    ASSERT_TRUE(WaitForOutcome());
    EXPECT_EQ(Status(), L"与主机通讯时出现了错误");
    ExpectNothingInstalled();
}

TEST_F(DownloadWindowTest, ExistingDownloadFolderIsReusedAndOlderLongerFileReplaced) {
    ASSERT_TRUE(CreateDirectoryW(DownloadFolder().c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(Downloaded(), std::string(50000, 'x')));
    ASSERT_TRUE(Open(ServerUrl(L"/small/vornadel.exe")));
    ASSERT_TRUE(WaitForOutcome());
    ExpectDownloaded(500);
}

TEST_F(DownloadWindowTest, UnwritableDownloadFolderIsReported) {
    // A file where the folder should be: nothing can be saved.
    ASSERT_TRUE(WriteFileBytes(DownloadFolder(), "in the way"));
    ASSERT_TRUE(Open(ServerUrl(L"/small/vornadel.exe"), true));
    ASSERT_TRUE(WaitForOutcome());
    EXPECT_EQ(Status(), L"无法保存下载的文件");
    EXPECT_EQ(form->outcome(), Form1::Outcome::Failed);
    EXPECT_EQ(ReadFileBytes(DownloadFolder()), "in the way");
    EXPECT_EQ(plat::OpenFormCount(), 1);
}

namespace {
HWND g_closeDuringReceive = nullptr;
void CALLBACK CloseWhenReceiving(HWND, UINT, UINT_PTR id, DWORD) {
    HWND form = g_closeDuringReceive;
    if (!form || !IsWindow(form)) return;
    if (SendMessageW(GetDlgItem(form, updater::IDC_PROGRESSBAR1), PBM_GETPOS, 0, 0) > 0) {
        g_closeDuringReceive = nullptr;
        KillTimer(nullptr, id);
        // What a click on 取消下载 sends to the form.
        HWND button = GetDlgItem(form, updater::IDC_COMMAND2);
        PostMessageW(form, WM_COMMAND, MAKEWPARAM(updater::IDC_COMMAND2, BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
    }
}
}  // namespace

TEST_F(DownloadWindowTest, CancellingWhileReceivingLeavesNoPartialFile) {
    ASSERT_TRUE(Open(ServerUrl(L"/drip/vornadel.exe"), true));
    g_closeDuringReceive = hwnd;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, CloseWhenReceiving);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd); }, 20000));
    KillTimer(nullptr, timer);
    EXPECT_EQ(g_closeDuringReceive, nullptr) << "closed before the receive loop ran";
    PumpMessages(200);
    EXPECT_EQ(plat::OpenFormCount(), 0);
    EXPECT_EQ(FilesIn(DownloadFolder()), std::vector<std::wstring>{});
    EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), kOldProgram);
}
