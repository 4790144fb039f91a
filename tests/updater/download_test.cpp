// The download window against the loopback server, one row per kind of answer.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "platform/window.h"
#include "tests/updater/updater_test_support.h"
#include "updater/download_window.h"

using namespace updater_test;
using updater::Form1;

// Outside the anonymous namespace: gtest's parameterised factories name this type.
struct DownloadCase {
    const char* name;
    const wchar_t* path;    // on the server; a full address when it has a scheme
    const wchar_t* status;  // the status line at the end
    size_t saved;           // size of the body found in download\, 0: nothing there
    friend void PrintTo(const DownloadCase& c, std::ostream* os) { *os << c.name; }
};

namespace {
const wchar_t kDone[] = L"文件已经下载完成！";
const DownloadCase kCases[] = {
    {"Normal", L"/normal/vornadel.exe", kDone, 10000},
    {"Small", L"/small/vornadel.exe", kDone, 500},
    {"WholePieces", L"/multiple/vornadel.exe", kDone, 4096},
    {"NoLength", L"/nolength/vornadel.exe", kDone, 3000},
    {"SlowDrip", L"/drip/vornadel.exe", kDone, 3000},
    {"SeveralMegabytes", L"/big/vornadel.exe", kDone, 5 * 1024 * 1024 + 123},
    {"NotFoundPage", L"/missing/vornadel.exe", L"服务器没有提供升级文件（HTTP 404）", 0},
    {"CutShort", L"/short/vornadel.exe", L"文件没有下载完整，请稍后再试", 0},
    {"NotAProgram", L"/notexe/vornadel.exe", L"下载的文件不是有效的程序文件", 0},
    {"RefusedConnection", L"http://127.0.0.1:1/refused/vornadel.exe", L"与主机通讯时出现了错误", 0},
};

Form1* g_form = nullptr;
std::wstring g_finalName;
bool g_finalNameSeenEarly = false;

// Until the download is complete there is no program under its final name.
void CALLBACK Watch(HWND, UINT, UINT_PTR, DWORD) {
    g_finalNameSeenEarly |= g_form && g_form->outcome() == Form1::Outcome::Running &&
                            GetFileAttributesW(g_finalName.c_str()) != INVALID_FILE_ATTRIBUTES;
}
}  // namespace

class Download : public ::testing::TestWithParam<DownloadCase> {};

TEST_P(Download, SavesOnlyWholeProgramsAndSaysWhatHappened) {
    const DownloadCase& c = GetParam();
    TempProgramFolder folder;
    const std::wstring saved = g_finalName = folder.File(L"download\\vornadel.exe");
    UINT_PTR timer = SetTimer(nullptr, 0, 5, Watch);
    Form1* form = g_form = Form1::Create({wcsstr(c.path, L"://") ? c.path : ServerUrl(c.path), folder.path, true});
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->Text(updater::IDC_TEXT2), saved);
    ASSERT_TRUE(PumpUntil([&] { return form->outcome() != Form1::Outcome::Running; }, 60000));
    KillTimer(nullptr, timer);

    EXPECT_EQ(plat::WindowText(form->Control(updater::IDC_LABEL3)), c.status);
    EXPECT_EQ(form->outcome(), c.saved ? Form1::Outcome::Complete : Form1::Outcome::Failed);
    EXPECT_FALSE(g_finalNameSeenEarly);
    EXPECT_EQ(FilesIn(folder.File(L"download")), std::vector<std::wstring>(c.saved ? 1 : 0, L"vornadel.exe"));
    EXPECT_TRUE(ReadFileBytes(saved) == ExpectedBody(c.saved));  // nothing when nothing was saved
    // Only a whole program goes on to the (hidden) install window; the old
    // dialer is untouched until then.
    EXPECT_EQ(plat::OpenFormCount(), c.saved ? 2 : 1);
    EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), TempProgramFolder::kOldProgram);
    // The install step, when it started, is stopped before its copy is due.
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, plat::kFormClassName, nullptr));) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId() && DestroyWindow(w)) w = nullptr;
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, Download, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DownloadCase>& info) { return info.param.name; });

namespace {
HWND g_cancel = nullptr;
// What a click on 取消下载 sends, once the receive loop is running.
void CALLBACK CancelWhenReceiving(HWND, UINT, UINT_PTR, DWORD) {
    if (g_cancel && IsWindow(g_cancel) && SendMessageW(GetDlgItem(g_cancel, updater::IDC_PROGRESSBAR1), PBM_GETPOS, 0, 0)) {
        PostMessageW(g_cancel, WM_COMMAND, MAKEWPARAM(updater::IDC_COMMAND2, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(g_cancel, updater::IDC_COMMAND2)));
        g_cancel = nullptr;
    }
}
}  // namespace

TEST(DownloadCancel, WhileReceivingLeavesNoPartialFile) {
    TempProgramFolder folder;
    HWND hwnd = g_cancel = Form1::Create({ServerUrl(L"/drip/vornadel.exe"), folder.path, true})->hwnd();
    UINT_PTR timer = SetTimer(nullptr, 0, 20, CancelWhenReceiving);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd); }, 20000));
    KillTimer(nullptr, timer);
    EXPECT_EQ(g_cancel, nullptr) << "closed before the receive loop ran";
    testing_support::PumpMessages(200);
    EXPECT_EQ(plat::OpenFormCount(), 0);
    EXPECT_EQ(FilesIn(folder.File(L"download")), std::vector<std::wstring>{});
    EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), TempProgramFolder::kOldProgram);
}
