// The download window against the loopback server, one row per kind of answer.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/window.h"
#include "tests/updater/updater_test_support.h"
#include "test_update_key.h"
#include "updater/download_window.h"
#include "updater/file_replace.h"

using namespace updater_test;
using updater::DownloadWindow;

// Outside the anonymous namespace: gtest's parameterised factories name this type.
struct DownloadCase {
    const char* name;
    const wchar_t* path;    // on the server ("https:" first: its TLS port); a full address when it has "://"
    const wchar_t* status;  // the status line at the end
    size_t saved;           // size of the body found in download\, 0: nothing there
    bool keyed = false;     // the publisher's key (test key A) built in
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
    // Without a length only the program's own structure tells that it is whole.
    {"CutShortWithoutLength", L"/cutexe/vornadel.exe", L"文件没有下载完整，请稍后再试", 0},
    {"MZButNoProgram", L"/mzjunk/vornadel.exe", L"下载的文件不是有效的程序文件", 0},
    {"ForAnotherKindOfPC", L"/otherkind/vornadel.exe", L"下载的程序不适用于这种类型的电脑", 0},
    {"UnsignedWithoutKey", L"/signed/missing/vornadel.exe", kDone, 20000},
    {"UntrustedCertificate", L"https:/normal/vornadel.exe", L"服务器的安全证书无效，已停止下载。", 0},
};
const wchar_t kBadSignature[] = L"升级文件的签名无效，已放弃安装。";
const wchar_t kMalformedSignature[] = L"升级文件的签名格式不正确，已放弃安装。";
const DownloadCase kSignedCases[] = {
    {"Valid", L"/signed/valid/vornadel.exe", kDone, 20000, true},
    {"BodyChangedAfterSigning", L"/signed/changed/vornadel.exe", kBadSignature, 0, true},
    {"OtherKey", L"/signed/keyb/vornadel.exe", kBadSignature, 0, true},
    {"Missing", L"/signed/missing/vornadel.exe", L"找不到升级文件的签名，已放弃安装。", 0, true},
    {"Empty", L"/signed/empty/vornadel.exe", kMalformedSignature, 0, true},
    {"Truncated", L"/signed/truncated/vornadel.exe", kMalformedSignature, 0, true},
    {"Garbage", L"/signed/garbage/vornadel.exe", kMalformedSignature, 0, true},
    {"TrailingBytes", L"/signed/trailing/vornadel.exe", kMalformedSignature, 0, true},
    {"Oversized", L"/signed/oversized/vornadel.exe", kMalformedSignature, 0, true},
};
const updater::PublicKey kKeyA{{VORNADEL_UPDATE_KEY_BYTES}};

DownloadWindow* g_form = nullptr;
std::wstring g_finalName;
bool g_finalNameSeenEarly = false;

// Until the download is complete there is no program under its final name.
void CALLBACK Watch(HWND, UINT, UINT_PTR, DWORD) {
    g_finalNameSeenEarly |= g_form && g_form->outcome() == DownloadWindow::Outcome::Running &&
                            GetFileAttributesW(g_finalName.c_str()) != INVALID_FILE_ATTRIBUTES;
}
}  // namespace

class Download : public ::testing::TestWithParam<DownloadCase> {};

TEST_P(Download, SavesOnlyWholeProgramsAndSaysWhatHappened) {
    const DownloadCase& c = GetParam();
    TempProgramFolder folder;
    const std::wstring saved = g_finalName = folder.File(L"download\\vornadel.exe");
    UINT_PTR timer = SetTimer(nullptr, 0, 5, Watch);
    std::wstring url = wcsstr(c.path, L"://") ? c.path : ServerUrl(c.path);
    if (!wcsncmp(c.path, L"https:", 6))
        url = L"https://127.0.0.1:" + std::to_wstring(VORNADEL_TEST_HTTP_PORT + 1) + (c.path + 6);
    updater::DownloadOptions options{url, folder.path, true};
    if (c.keyed) options.publicKey = kKeyA;
    DownloadWindow* form = g_form = DownloadWindow::Create(options);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->Text(updater::IDC_LOCAL_PATH), saved);
    ASSERT_TRUE(PumpUntil([&] { return form->outcome() != DownloadWindow::Outcome::Running; }, 60000));
    KillTimer(nullptr, timer);

    EXPECT_EQ(plat::WindowText(form->Control(updater::IDC_STATUS)), c.status);
    EXPECT_EQ(form->outcome(), c.saved ? DownloadWindow::Outcome::Complete : DownloadWindow::Outcome::Failed);
    EXPECT_FALSE(g_finalNameSeenEarly);
    EXPECT_EQ(FilesIn(folder.File(L"download")), std::vector<std::wstring>(c.saved ? 1 : 0, L"vornadel.exe"));
    EXPECT_TRUE(ReadFileBytes(saved) == ExpectedBody(c.saved));  // nothing when nothing was saved
    // Only a whole program goes on to the (hidden) install window; the old
    // dialer is untouched until then.
    EXPECT_EQ(plat::OpenFormCount(), c.saved ? 2 : 1);
    EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), TempProgramFolder::kOldProgram);
    // The install step, when it started, is stopped before its copy is due.
    while (HWND w = testing_support::FindWindowOf(GetCurrentProcessId(), plat::kFormClassName, nullptr))
        if (!DestroyWindow(w)) break;
}

const auto kCaseName = [](const ::testing::TestParamInfo<DownloadCase>& info) { return info.param.name; };
INSTANTIATE_TEST_SUITE_P(Answers, Download, ::testing::ValuesIn(kCases), kCaseName);
INSTANTIATE_TEST_SUITE_P(Signatures, Download, ::testing::ValuesIn(kSignedCases), kCaseName);

// A server that goes silent after half the body: the window keeps answering
// (asked from another thread, as the system and other programs ask), and
// 取消下载 (true) or the close box (false) ends the transfer at once and
// leaves no partial file.
class DownloadStall : public ::testing::TestWithParam<bool> {};

TEST_P(DownloadStall, WindowKeepsAnsweringAndCancelEndsTheTransferAtOnce) {
    using Clock = std::chrono::steady_clock;
    const auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    TempProgramFolder folder;
    DownloadWindow* form = DownloadWindow::Create({ServerUrl(L"/stall/vornadel.exe"), folder.path, true});
    ASSERT_NE(form, nullptr);
    const HWND hwnd = form->hwnd(), bar = form->Control(updater::IDC_PROGRESS);
    // The bar shows what is written; the last piece waits for the one after it.
    if (!PumpUntil([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) >= 255 * 1024; }, 20000)) {
        DestroyWindow(hwnd);
        FAIL() << "the first half never arrived";
    }

    std::atomic<bool> pinging{true};
    int unanswered = 0, pings = 0;
    double worst = 0;
    std::thread pinger([&] {
        for (const auto end = Clock::now() + std::chrono::seconds(3); Clock::now() < end; ++pings, Sleep(20)) {
            const auto start = Clock::now();
            DWORD_PTR result = 0;
            unanswered += !SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 100, &result);
            worst = std::max(worst, ms(Clock::now() - start));
        }
        pinging = false;
    });
    PumpUntil([&] { return !pinging; }, 10000);
    pinger.join();
    std::printf("stalled transfer: worst answer of %d in %.1f ms\n", pings, worst);
    EXPECT_EQ(unanswered, 0);
    EXPECT_EQ(form->outcome(), DownloadWindow::Outcome::Running);
    EXPECT_EQ(form->Text(updater::IDC_STATUS), L"正在下载所需文件，请耐心等待 ......");
    EXPECT_EQ(FilesIn(folder.File(L"download")), std::vector<std::wstring>{L"vornadel.exe.part"});

    const auto cancelled = Clock::now();
    if (GetParam())
        PostMessageW(form->Control(updater::IDC_CANCEL), BM_CLICK, 0, 0);
    else
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(hwnd) && FilesIn(folder.File(L"download")).empty(); }, 1000));
    std::printf("stalled transfer: ended %.1f ms after the %s\n", ms(Clock::now() - cancelled),
                GetParam() ? "click" : "close");
    EXPECT_EQ(plat::OpenFormCount(), 0);
    EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), TempProgramFolder::kOldProgram);
}

INSTANTIATE_TEST_SUITE_P(CancelOrClose, DownloadStall, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Cancel" : "CloseBox"; });

// A copy in a folder the user cannot write to fetches nothing and says why.
TEST(DownloadStart, UnwritableFolderIsNamedAndNothingIsFetched) {
    TempProgramFolder folder;
    // Wine as root writes anywhere; a directory under the probe's name really refuses.
    ASSERT_TRUE(CreateDirectoryW(folder.File(updater::kWriteProbeName).c_str(), nullptr));
    Standin dialer(L"standin\\vornadel.exe", false);
    MessageBoxAnswerer answerer({IDOK}, GetCurrentProcessId());
    DownloadWindow* form = DownloadWindow::Create({ServerUrl(L"/normal/vornadel.exe"), folder.path, true});
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->outcome(), DownloadWindow::Outcome::Failed);
    EXPECT_EQ(plat::WindowText(form->Control(updater::IDC_STATUS)), L"程序所在的文件夹不能写入，无法升级");
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_NE(answerer.boxes[0].text.find(L"不能写入（错误 5）"), std::wstring::npos) << plat::ToAnsi(answerer.boxes[0].text);
    EXPECT_NE(answerer.boxes[0].text.find(L"%LOCALAPPDATA%\\Programs\\Vornadel"), std::wstring::npos);
    EXPECT_TRUE(FilesIn(folder.File(L"download")).empty());
    EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), TempProgramFolder::kOldProgram);
    EXPECT_TRUE(dialer.Running());
    DestroyWindow(form->hwnd());
}
