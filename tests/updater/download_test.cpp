#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

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
    const wchar_t* status;
    size_t saved;          // size of the program left in download\, 0: none
    bool keyed = false;    // test key A built in
    bool unwritable = false;
    friend void PrintTo(const DownloadCase& c, std::ostream* os) { *os << c.name; }
};

const wchar_t kMalformed[] = L"升级文件的签名格式不正确，已放弃安装。";
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
    {"SignatureValid", ServerUrl(L"/signed/valid/vornadel.exe"), L"文件已经下载完成！", 150000, true},
    {"SignedBodyChanged", ServerUrl(L"/signed/changed/vornadel.exe"), L"升级文件的签名无效，已放弃安装。", 0, true},
    {"SignatureOfOtherKey", ServerUrl(L"/signed/keyb/vornadel.exe"), L"升级文件的签名无效，已放弃安装。", 0, true},
    {"SignatureMissing", ServerUrl(L"/signed/missing/vornadel.exe"), L"找不到升级文件的签名，已放弃安装。", 0, true},
    {"SignatureTruncated", ServerUrl(L"/signed/truncated/vornadel.exe"), kMalformed, 0, true},
    {"SignatureOversized", ServerUrl(L"/signed/oversized/vornadel.exe"), kMalformed, 0, true},
};

class Download : public ::testing::TestWithParam<DownloadCase> {};

TEST_P(Download, SavesOnlyWholeProgramsAndSaysWhatHappened) {
    const DownloadCase& c = GetParam();
    TempProgramFolder folder;
    // Wine as root writes anywhere; a directory under the probe's name really refuses.
    ASSERT_TRUE(!c.unwritable || CreateDirectoryW(folder.File(updater::kWriteProbeName).c_str(), nullptr));
    MessageBoxAnswerer answerer({IDOK}, GetCurrentProcessId());
    updater::DownloadOptions options{c.url, folder.path, true};
    if (c.keyed) options.publicKey = updater::PublicKey{{VORNADEL_UPDATE_KEY_BYTES}};
    DownloadWindow* form = DownloadWindow::Create(options);
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return form->outcome() != DownloadWindow::Outcome::Running; }, 60000));

    EXPECT_EQ(plat::WindowText(form->Control(updater::IDC_STATUS)), c.status);
    EXPECT_EQ(FilesIn(folder.File(L"download")), std::vector<std::wstring>(c.saved ? 1 : 0, L"vornadel.exe"));
    EXPECT_EQ(ReadFileBytes(folder.File(L"download\\vornadel.exe")).size(), c.saved);
    EXPECT_EQ(answerer.boxes.size(), c.unwritable ? 1u : 0u);
    for (const std::wstring& box : answerer.boxes)
        EXPECT_NE(box.find(L"不能写入（错误 5）"), std::wstring::npos) << plat::ToAnsi(box);
    // Only a whole program goes on to the (hidden) install window, stopped here before its copy is due.
    EXPECT_EQ(plat::OpenFormCount(), c.saved ? 2 : 1);
    EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), TempProgramFolder::kOldProgram);
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
