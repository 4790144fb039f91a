#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "platform/window.h"
#include "tests/updater/updater_test_support.h"
#include "test_update_key.h"
#include "updater/download_window.h"
#include "updater/file_replace.h"

using namespace updater_test;
using updater::DownloadWindow;

struct DownloadCase {
    const char* name;
    std::wstring url;
    const wchar_t* status;  // the status line holds it
    size_t saved;           // size of the program left in download\, 0: none
    bool keyed = false;     // test key A built in
    bool unwritable = false;
    bool versionInstalled = false;  // the installed dialer is the served stand-in (with a version), not a bare one
    friend void PrintTo(const DownloadCase& c, std::ostream* os) { *os << c.name; }
};

const wchar_t kMalformed[] = L"升级文件的签名格式不正确，已放弃安装。";
const wchar_t kTooLarge[] = L"过大";
const size_t kNewerSize = ReadFileBytes(TestProgram(L"versions\\newer\\vornadel.exe")).size();
const DownloadCase kCases[] = {
    {"NoLength", ServerUrl(L"/nolength/vornadel.exe"), L"文件已经下载完成！", 3000},
    {"NotFoundPage", ServerUrl(L"/missing/vornadel.exe"), L"服务器没有提供升级文件（HTTP 404）", 0},
    {"CutShort", ServerUrl(L"/short/vornadel.exe"), L"文件没有下载完整，请稍后再试", 0},
    {"NotAProgram", ServerUrl(L"/soft/updates/Vornadel/vornadel.exe.sig"), L"下载的文件不是有效的程序文件", 0},
    {"RefusedConnection", L"http://127.0.0.1:1/vornadel.exe", L"与主机通讯时出现了错误", 0},
    {"ForAnotherKindOfPC", ServerUrl(L"/otherkind/vornadel.exe"), L"下载的程序不适用于这种类型的电脑", 0},
    {"UntrustedCertificate", L"https://127.0.0.1:" + std::to_wstring(VORNADEL_TEST_HTTP_PORT + 1) + L"/nolength/x.exe",
     L"服务器的安全证书无效，已停止下载。", 0},
    {"UnwritableFolder", ServerUrl(L"/nolength/vornadel.exe"), L"程序所在的文件夹不能写入，无法升级", 0, false, true},
    {"DeclaredTooLarge", ServerUrl(L"/declared/" + std::to_wstring(updater::kMaxDownloadBytes + 1) + L"/vornadel.exe"),
     kTooLarge, 0},
    {"EndlessWithoutLength", ServerUrl(L"/endless/vornadel.exe"), kTooLarge, 0},
    {"SignatureValid", ServerUrl(L"/signed/valid/vornadel.exe"), L"文件已经下载完成！", 150000, true},
    {"SignedBodyChanged", ServerUrl(L"/signed/changed/vornadel.exe"), L"升级文件的签名无效，已放弃安装。", 0, true},
    {"SignatureOfOtherKey", ServerUrl(L"/signed/keyb/vornadel.exe"), L"升级文件的签名无效，已放弃安装。", 0, true},
    {"SignatureMissing", ServerUrl(L"/signed/missing/vornadel.exe"), L"找不到升级文件的签名，已放弃安装。", 0, true},
    {"SignatureTruncated", ServerUrl(L"/signed/truncated/vornadel.exe"), kMalformed, 0, true},
    {"SignatureOversized", ServerUrl(L"/signed/oversized/vornadel.exe"), kMalformed, 0, true},
    {"SignatureServerError", ServerUrl(L"/signed/servererror/vornadel.exe"),
     L"无法下载升级文件的签名（HTTP 500），已放弃安装。", 0, true},
    // Signed by the right key, yet no way back to an older program.
    {"SignedOlder", ServerUrl(L"/versions/older/vornadel.exe"),
     L"下载的程序版本 1.1.0.9 比已安装的 1.2.0.5 旧，已放弃安装。", 0, true, false, true},
    {"SignedSame", ServerUrl(L"/versions/same/vornadel.exe"), L"已经是最新版本 1.2.0.5，无需升级。", 0, true, false, true},
    {"SignedNewer", ServerUrl(L"/versions/newer/vornadel.exe"), L"文件已经下载完成！", kNewerSize, true, false, true},
    {"SignedWithoutVersion", ServerUrl(L"/versions/none/vornadel.exe"), L"下载的程序没有版本信息，已放弃安装。", 0, true,
     false, true},
};
class Download : public ::testing::TestWithParam<DownloadCase> {};

TEST_P(Download, SavesOnlyWholeProgramsAndSaysWhatHappened) {
    const DownloadCase& c = GetParam();
    TempProgramFolder folder;
    // Wine as root writes anywhere; a directory under the probe's name really refuses.
    ASSERT_TRUE(!c.unwritable || CreateDirectoryW(folder.File(updater::kWriteProbeName).c_str(), nullptr));
    ASSERT_TRUE(!c.versionInstalled || CopyFileW(ServedProgram().c_str(), folder.File(L"vornadel.exe").c_str(), FALSE));
    const std::string installed = ReadFileBytes(folder.File(L"vornadel.exe"));
    MessageBoxAnswerer answerer({IDOK}, GetCurrentProcessId());
    updater::DownloadOptions options{c.url, folder.path, true};
    if (c.keyed) options.publicKey = updater::PublicKey{{VORNADEL_UPDATE_KEY_BYTES}};
    DownloadWindow* form = DownloadWindow::Create(options);
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return form->outcome() != DownloadWindow::Outcome::Running; }, 60000));

    const std::wstring status = plat::WindowText(form->Control(updater::IDC_STATUS));
    EXPECT_NE(status.find(c.status), std::wstring::npos) << plat::ToAnsi(status);
    EXPECT_EQ(FilesIn(folder.File(L"download")), std::vector<std::wstring>(c.saved ? 1 : 0, L"vornadel.exe"));
    EXPECT_EQ(ReadFileBytes(folder.File(L"download\\vornadel.exe")).size(), c.saved);
    EXPECT_EQ(answerer.boxes.size(), c.unwritable ? 1u : 0u);
    for (const std::wstring& box : answerer.boxes)
        EXPECT_NE(box.find(L"不能写入（错误 5）"), std::wstring::npos) << plat::ToAnsi(box);
    // Only a whole program goes on to the (hidden) install window, stopped here before its copy is due.
    EXPECT_EQ(plat::OpenFormCount(), c.saved ? 2 : 1);
    EXPECT_TRUE(ReadFileBytes(folder.File(L"vornadel.exe")) == installed);
    // From then on neither 取消下载 nor the close box can take the window from under the install.
    EXPECT_EQ(IsWindowEnabled(form->Control(updater::IDC_CANCEL)) == FALSE, c.saved > 0);
    SendMessageW(form->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(plat::OpenFormCount(), c.saved ? 2 : 0);
    while (HWND w = testing_support::FindWindowOf(GetCurrentProcessId(), plat::kFormClassName, nullptr))
        if (!DestroyWindow(w)) break;
}

INSTANTIATE_TEST_SUITE_P(Answers, Download, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DownloadCase>& info) { return info.param.name; });

// A server gone silent after half the body: 取消下载 or the close box ends it at once, leaving no partial file.
class DownloadStall : public ::testing::TestWithParam<bool> {};

TEST_P(DownloadStall, WindowKeepsAnsweringAndCancelEndsTheTransferAtOnce) {
    TempProgramFolder folder;
    DownloadWindow* form = DownloadWindow::Create({ServerUrl(L"/stall/vornadel.exe"), folder.path, true});
    ASSERT_NE(form, nullptr);
    const HWND hwnd = form->hwnd(), bar = form->Control(updater::IDC_PROGRESS);
    // The bar shows what is written; the last piece waits for the one after it.
    ASSERT_TRUE(PumpUntil([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) >= 255 * 1024; }, 20000));
    // A read waiting on the silent server in a handler would hold this loop up.
    const DWORD start = GetTickCount();
    PumpUntil([] { return false; }, 1500);
    EXPECT_LT(GetTickCount() - start, 4000u);
    EXPECT_EQ(form->outcome(), DownloadWindow::Outcome::Running);
    EXPECT_EQ(FilesIn(folder.File(L"download")), std::vector<std::wstring>{L"vornadel.exe.part"});

    if (GetParam())
        PostMessageW(form->Control(updater::IDC_CANCEL), BM_CLICK, 0, 0);
    else
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(hwnd) && FilesIn(folder.File(L"download")).empty(); }, 1000));
}

INSTANTIATE_TEST_SUITE_P(CancelOrClose, DownloadStall, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Cancel" : "CloseBox"; });

// Bodies against the slow-retrieval rule, all at once, each in its own folder: fewer than kSlowBodyMinBytes in any
// kSlowBodyWindowMs end the transfer, however fast it began; a slow but steady body completes.
TEST(DownloadSlowBody, TooLittleInAnyWindowTimesOutASteadyTrickleCompletes) {
    using updater::kSlowBodyMinBytes;
    using updater::kSlowBodyWindowMs;
    const long long least = kSlowBodyMinBytes * 1000 / static_cast<long long>(kSlowBodyWindowMs);  // bytes a second
    const auto slow = [&](long long burst, long long rate, long long seconds) {
        return L"/slow/" + std::to_wstring(burst) + L"/" + std::to_wstring(rate) + L"/" +
               std::to_wstring(burst + rate * seconds) + L"/vornadel.exe";
    };
    const long long lasting = static_cast<long long>(kSlowBodyWindowMs) / 1000 * 5 / 4;  // longer than one window
    const struct { const char* name; std::wstring path; bool completes; } rows[] = {
        {"ATrickle", slow(0, least / 3, lasting * 4), false},
        {"ATrickleAfterABurst", slow(256 * 1024, least / 3, lasting * 4), false},
        {"SilentAfterHalf", L"/stall/vornadel.exe", false},
        {"AFewHundredBytesASecond", slow(0, least * 2, lasting), true},
        {"AFewKilobytesASecond", slow(0, 2048, lasting), true},
    };
    std::vector<std::unique_ptr<TempProgramFolder>> folders;
    std::vector<DownloadWindow*> forms;
    for (const auto& row : rows) {
        folders.push_back(std::make_unique<TempProgramFolder>(L"vornadel-slow-" + std::to_wstring(folders.size())));
        forms.push_back(DownloadWindow::Create({ServerUrl(row.path), folders.back()->path, false}));
        ASSERT_NE(forms.back(), nullptr);
    }
    // Well before WinINet's own 60 s wait would end the silent one.
    EXPECT_TRUE(PumpUntil([&] {
        return std::all_of(forms.begin(), forms.end(), [](auto* f) { return f->outcome() != DownloadWindow::Outcome::Running; });
    }, 50000));
    for (size_t i = 0; i < forms.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        const std::wstring status = plat::WindowText(forms[i]->Control(updater::IDC_STATUS));
        EXPECT_NE(status.find(rows[i].completes ? L"文件已经下载完成！" : L"太慢"), std::wstring::npos) << plat::ToAnsi(status);
        EXPECT_EQ(FilesIn(folders[i]->File(L"download")), std::vector<std::wstring>(rows[i].completes, L"vornadel.exe"));
        DestroyWindow(forms[i]->hwnd());
    }
}
