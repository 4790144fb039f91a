// The download window against the loopback server, one row per kind of answer.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include "platform/window.h"
#include "tests/updater/updater_test_support.h"
#include "updater/download_window.h"

using namespace updater_test;
using updater::Form1;

// Outside the anonymous namespace: gtest's parameterised factories name these types.
struct DownloadCase {
    const char* name;
    const wchar_t* path;    // on the server; a full address when it has a scheme
    const wchar_t* status;  // the status line at the end
    size_t saved;           // size of the body found in download\, 0: nothing there
    int barEnd;             // the progress bar's final position
    friend void PrintTo(const DownloadCase& c, std::ostream* os) { *os << c.name; }
};

namespace {
const DownloadCase kCases[] = {
    {"Normal", L"/normal/vornadel.exe", L"文件已经下载完成！", 10000, 10000},
    {"Small", L"/small/vornadel.exe", L"文件已经下载完成！", 500, 500},
    {"WholePieces", L"/multiple/vornadel.exe", L"文件已经下载完成！", 4096, 4096},
    {"NoLength", L"/nolength/vornadel.exe", L"文件已经下载完成！", 3000, 100},  // read to its end, not to the bar's 100
    {"SlowDrip", L"/drip/vornadel.exe", L"文件已经下载完成！", 3000, 3000},
    {"SeveralMegabytes", L"/big/vornadel.exe", L"文件已经下载完成！", 5 * 1024 * 1024 + 123, 5 * 1024 * 1024 + 123},
    {"NotFoundPage", L"/missing/vornadel.exe", L"服务器没有提供升级文件（HTTP 404）", 0, 0},
    {"CutShort", L"/short/vornadel.exe", L"文件没有下载完整，请稍后再试", 0, 0},
    {"NotAProgram", L"/notexe/vornadel.exe", L"下载的文件不是有效的程序文件", 0, 0},
    {"RefusedConnection", L"http://127.0.0.1:1/refused/vornadel.exe", L"与主机通讯时出现了错误", 0, 0},
};
}  // namespace

class DownloadWindow : public ::testing::Test {
protected:
    void TearDown() override {
        // The install step, when it started, is stopped before its copy is due.
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, plat::kFormClassName, nullptr));) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == GetCurrentProcessId() && DestroyWindow(w)) w = nullptr;
        }
        PumpMessages(20);
        EXPECT_EQ(plat::OpenFormCount(), 0);
    }
    bool Finish() { return PumpUntil([&] { return form->outcome() != Form1::Outcome::Running; }, 60000); }
    std::wstring Status() const { return plat::WindowText(form->Control(updater::IDC_LABEL3)); }
    TempProgramFolder folder;
    Form1* form = nullptr;
};

class Download : public DownloadWindow, public ::testing::WithParamInterface<DownloadCase> {
protected:
    static void CALLBACK Watch(HWND, UINT, UINT_PTR, DWORD);
    static inline Download* watched = nullptr;
    bool finalNameSeenEarly = false;
};

// Until the download is complete there is no program under its final name.
void CALLBACK Download::Watch(HWND, UINT, UINT_PTR, DWORD) {
    if (watched && watched->form && watched->form->outcome() == Form1::Outcome::Running &&
        GetFileAttributesW(watched->folder.File(L"download\\vornadel.exe").c_str()) != INVALID_FILE_ATTRIBUTES)
        watched->finalNameSeenEarly = true;
}

TEST_P(Download, SavesOnlyWholeProgramsAndSaysWhatHappened) {
    const DownloadCase& c = GetParam();
    updater::DownloadOptions options;
    options.url = wcsstr(c.path, L"://") ? c.path : ServerUrl(c.path);
    options.programFolder = folder.path();
    watched = this;
    UINT_PTR timer = SetTimer(nullptr, 0, 5, Watch);
    form = Form1::Create(options);
    ASSERT_NE(form, nullptr);
    HWND hwnd = form->hwnd();
    EXPECT_EQ(form->Text(updater::IDC_TEXT2), folder.path() + L"\\download\\vornadel.exe");
    ASSERT_TRUE(Finish());
    KillTimer(nullptr, timer);
    watched = nullptr;

    EXPECT_EQ(Status(), c.status);
    EXPECT_EQ(form->outcome(), c.saved ? Form1::Outcome::Complete : Form1::Outcome::Failed);
    EXPECT_FALSE(finalNameSeenEarly);
    EXPECT_EQ(FilesIn(folder.File(L"download")),
              c.saved ? std::vector<std::wstring>{L"vornadel.exe"} : std::vector<std::wstring>{});
    if (c.saved) {
        EXPECT_TRUE(ReadFileBytes(folder.File(L"download\\vornadel.exe")) == ExpectedBody(c.saved));
        EXPECT_EQ(SendMessageW(GetDlgItem(hwnd, updater::IDC_PROGRESSBAR1), PBM_GETPOS, 0, 0), c.barEnd);
    }
    // Only a whole program goes on to the (hidden) install window; the old
    // dialer is untouched until then.
    EXPECT_EQ(plat::OpenFormCount(), c.saved ? 2 : 1);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), TempProgramFolder::kOldProgram);
}

INSTANTIATE_TEST_SUITE_P(Answers, Download, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DownloadCase>& info) { return info.param.name; });

namespace {
HWND g_cancelWhenReceiving = nullptr;
void CALLBACK CancelWhenReceiving(HWND, UINT, UINT_PTR, DWORD) {
    HWND form = g_cancelWhenReceiving;
    if (form && IsWindow(form) && SendMessageW(GetDlgItem(form, updater::IDC_PROGRESSBAR1), PBM_GETPOS, 0, 0) > 0) {
        g_cancelWhenReceiving = nullptr;  // what a click on 取消下载 sends
        PostMessageW(form, WM_COMMAND, MAKEWPARAM(updater::IDC_COMMAND2, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(form, updater::IDC_COMMAND2)));
    }
}
}  // namespace

TEST(DownloadCancel, WhileReceivingLeavesNoPartialFile) {
    TempProgramFolder folder;
    updater::DownloadOptions options{ServerUrl(L"/drip/vornadel.exe"), folder.path(), true};
    HWND hwnd = Form1::Create(options)->hwnd();
    g_cancelWhenReceiving = hwnd;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, CancelWhenReceiving);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd); }, 20000));
    KillTimer(nullptr, timer);
    EXPECT_EQ(g_cancelWhenReceiving, nullptr) << "closed before the receive loop ran";
    PumpMessages(200);
    EXPECT_EQ(plat::OpenFormCount(), 0);
    EXPECT_EQ(FilesIn(folder.File(L"download")), std::vector<std::wstring>{});
    EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), TempProgramFolder::kOldProgram);
}

TEST_F(DownloadWindow, StatusLineFollowsTheStateNumbers) {
    form = Form1::Create({ServerUrl(L"/hold/vornadel.exe"), folder.path(), true});
    const wchar_t* texts[] = {L"正在连接服务器", L"成功连接到服务器", L"正在与服务器连接", L"已与服务器连接成功",
                              L"正在向服务器发送请求", L"发送请求已成功", L"正在下载所需文件，请耐心等待 ......",
                              L"正在下载所需文件，请耐心等待 ......", L"正在解除与服务器的连接", L"文件下载完成..."};
    ASSERT_TRUE(PumpUntil([&] { return Status() == texts[6]; }, 15000));
    for (int state = 1; state <= 10; ++state) {
        SendMessageW(form->hwnd(), updater::WM_INET1_STATECHANGED, static_cast<WPARAM>(state), 0);
        EXPECT_EQ(Status(), texts[state - 1]) << state;
    }
    SendMessageW(form->hwnd(), updater::WM_INET1_STATECHANGED, 13, 0);  // no text of its own
    EXPECT_EQ(Status(), texts[9]);
    // The error stays on the line whatever comes after it.
    SendMessageW(form->hwnd(), updater::WM_INET1_STATECHANGED, 11, 0);
    SendMessageW(form->hwnd(), updater::WM_INET1_STATECHANGED, 10, 0);
    EXPECT_EQ(Status(), L"与主机通讯时出现了错误");
    EXPECT_EQ(form->outcome(), Form1::Outcome::Failed);
}

TEST_F(DownloadWindow, OlderLongerDownloadIsReplacedWhole) {
    ASSERT_TRUE(CreateDirectoryW(folder.File(L"download").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(folder.File(L"download\\vornadel.exe"), std::string(50000, 'x')));
    form = Form1::Create({ServerUrl(L"/small/vornadel.exe"), folder.path(), false});
    ASSERT_TRUE(Finish());
    EXPECT_TRUE(ReadFileBytes(folder.File(L"download\\vornadel.exe")) == ExpectedBody(500));
}

TEST_F(DownloadWindow, UnwritableDownloadFolderIsReported) {
    ASSERT_TRUE(WriteFileBytes(folder.File(L"download"), "in the way"));  // a file where the folder goes
    form = Form1::Create({ServerUrl(L"/small/vornadel.exe"), folder.path(), true});
    ASSERT_TRUE(Finish());
    EXPECT_EQ(Status(), L"无法保存下载的文件");
    EXPECT_EQ(form->outcome(), Form1::Outcome::Failed);
    EXPECT_EQ(ReadFileBytes(folder.File(L"download")), "in the way");
    EXPECT_EQ(plat::OpenFormCount(), 1);
}
