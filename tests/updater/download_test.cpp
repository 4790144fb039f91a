// The download window against the loopback server, one row per kind of answer.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <future>

#include "platform/window.h"
#include "tests/updater/updater_test_support.h"
#include "test_update_key.h"
#include "updater/download_window.h"
#include "updater/file_replace.h"

using namespace updater_test;
using updater::DownloadWindow;
using Outcome = DownloadWindow::Outcome;

// Outside the anonymous namespace: gtest's parameterised factories name this type.
struct DownloadCase {
    const char* name;
    const wchar_t* path;  // on the server ("https:" first: its TLS port); a full address when it has "://"
    const wchar_t* status;
    size_t saved;          // size of the program left in download\, 0: none
    bool keyed = false;    // test key A built in
    friend void PrintTo(const DownloadCase& c, std::ostream* os) { *os << c.name; }
};

namespace {
const wchar_t kDone[] = L"文件已经下载完成！";
const wchar_t kMalformed[] = L"升级文件的签名格式不正确，已放弃安装。";
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
    {"UntrustedCertificate", L"https:/normal/vornadel.exe", L"服务器的安全证书无效，已停止下载。", 0},
    {"UnsignedWithoutKey", L"/signed/missing/vornadel.exe", kDone, 20000},
    {"SignatureValid", L"/signed/valid/vornadel.exe", kDone, 20000, true},
    {"SignedBodyChanged", L"/signed/changed/vornadel.exe", L"升级文件的签名无效，已放弃安装。", 0, true},
    {"SignatureOfOtherKey", L"/signed/keyb/vornadel.exe", L"升级文件的签名无效，已放弃安装。", 0, true},
    {"SignatureMissing", L"/signed/missing/vornadel.exe", L"找不到升级文件的签名，已放弃安装。", 0, true},
    {"SignatureEmpty", L"/signed/empty/vornadel.exe", kMalformed, 0, true},
    {"SignatureTruncated", L"/signed/truncated/vornadel.exe", kMalformed, 0, true},
    {"SignatureGarbage", L"/signed/garbage/vornadel.exe", kMalformed, 0, true},
    {"SignatureTrailingBytes", L"/signed/trailing/vornadel.exe", kMalformed, 0, true},
    {"SignatureOversized", L"/signed/oversized/vornadel.exe", kMalformed, 0, true},
};

}  // namespace

class Download : public ::testing::TestWithParam<DownloadCase> {};

TEST_P(Download, SavesOnlyWholeProgramsAndSaysWhatHappened) {
    const DownloadCase& c = GetParam();
    TempProgramFolder folder;
    const std::wstring saved = folder.File(L"download\\vornadel.exe");
    std::wstring url = wcsstr(c.path, L"://") ? c.path : ServerUrl(c.path);
    if (!wcsncmp(c.path, L"https:", 6))
        url = L"https://127.0.0.1:" + std::to_wstring(VORNADEL_TEST_HTTP_PORT + 1) + (c.path + 6);
    updater::DownloadOptions options{url, folder.path, true};
    if (c.keyed) options.publicKey = updater::PublicKey{{VORNADEL_UPDATE_KEY_BYTES}};
    DownloadWindow* form = DownloadWindow::Create(options);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->Text(updater::IDC_LOCAL_PATH), saved);
    // Until the download is complete there is no program under its final name.
    bool finalNameSeenEarly = false;
    ASSERT_TRUE(PumpUntil([&] {
        finalNameSeenEarly |= form->outcome() == Outcome::Running && fs::exists(saved);
        return form->outcome() != Outcome::Running;
    }, 60000));

    EXPECT_EQ(plat::WindowText(form->Control(updater::IDC_STATUS)), c.status);
    EXPECT_EQ(form->outcome(), c.saved ? Outcome::Complete : Outcome::Failed);
    EXPECT_FALSE(finalNameSeenEarly);
    EXPECT_EQ(FilesIn(folder.File(L"download")), std::vector<std::wstring>(c.saved ? 1 : 0, L"vornadel.exe"));
    // As served: the server leaves each generated program in the key folder.
    const std::wstring served = std::wstring(VORNADEL_TEST_KEY_DIR) + L"\\served-" + std::to_wstring(c.saved) + L".bin";
    EXPECT_TRUE(ReadFileBytes(saved) == (c.saved ? ReadFileBytes(served) : ""));
    // Only a whole program goes on to the (hidden) install window, which is
    // stopped here before its copy is due.
    EXPECT_EQ(plat::OpenFormCount(), c.saved ? 2 : 1);
    EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), TempProgramFolder::kOldProgram);
    while (HWND w = testing_support::FindWindowOf(GetCurrentProcessId(), plat::kFormClassName, nullptr))
        if (!DestroyWindow(w)) break;
}

INSTANTIATE_TEST_SUITE_P(Answers, Download, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DownloadCase>& info) { return info.param.name; });

// A server gone silent after half the body: the window keeps answering other
// threads, and 取消下载 (true) or the close box (false) ends the transfer at
// once and leaves no partial file.
class DownloadStall : public ::testing::TestWithParam<bool> {};

TEST_P(DownloadStall, WindowKeepsAnsweringAndCancelEndsTheTransferAtOnce) {
    TempProgramFolder folder;
    DownloadWindow* form = DownloadWindow::Create({ServerUrl(L"/stall/vornadel.exe"), folder.path, true});
    ASSERT_NE(form, nullptr);
    const HWND hwnd = form->hwnd(), bar = form->Control(updater::IDC_PROGRESS);
    // The bar shows what is written; the last piece waits for the one after it.
    if (!PumpUntil([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) >= 255 * 1024; }, 20000)) {
        DestroyWindow(hwnd);
        FAIL() << "the first half never arrived";
    }
    auto unanswered = std::async(std::launch::async, [hwnd] {
        int count = 0;
        for (int i = 0; i < 150; ++i, Sleep(20)) {
            DWORD_PTR result = 0;
            count += !SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 100, &result);
        }
        return count;
    });
    PumpUntil([&] { return unanswered.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 20000);
    EXPECT_EQ(unanswered.get(), 0);
    EXPECT_EQ(form->outcome(), Outcome::Running);
    EXPECT_EQ(form->Text(updater::IDC_STATUS), L"正在下载所需文件，请耐心等待 ......");
    EXPECT_EQ(FilesIn(folder.File(L"download")), std::vector<std::wstring>{L"vornadel.exe.part"});

    if (GetParam())
        PostMessageW(form->Control(updater::IDC_CANCEL), BM_CLICK, 0, 0);
    else
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(hwnd) && FilesIn(folder.File(L"download")).empty(); }, 1000));
    EXPECT_EQ(plat::OpenFormCount(), 0);
    EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), TempProgramFolder::kOldProgram);
}

INSTANTIATE_TEST_SUITE_P(CancelOrClose, DownloadStall, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Cancel" : "CloseBox"; });

TEST(DownloadStart, UnwritableFolderIsNamedAndNothingIsFetched) {
    TempProgramFolder folder;
    // Wine as root writes anywhere; a directory under the probe's name really refuses.
    ASSERT_TRUE(CreateDirectoryW(folder.File(updater::kWriteProbeName).c_str(), nullptr));
    Standin dialer(L"standin\\vornadel.exe", false);
    MessageBoxAnswerer answerer({IDOK}, GetCurrentProcessId());
    DownloadWindow* form = DownloadWindow::Create({ServerUrl(L"/normal/vornadel.exe"), folder.path, true});
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->outcome(), Outcome::Failed);
    EXPECT_EQ(plat::WindowText(form->Control(updater::IDC_STATUS)), L"程序所在的文件夹不能写入，无法升级");
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_NE(answerer.boxes[0].find(L"不能写入（错误 5）"), std::wstring::npos) << plat::ToAnsi(answerer.boxes[0]);
    EXPECT_NE(answerer.boxes[0].find(L"%LOCALAPPDATA%\\Programs\\Vornadel"), std::wstring::npos);
    EXPECT_TRUE(FilesIn(folder.File(L"download")).empty());
    EXPECT_EQ(ReadFileBytes(folder.File(L"vornadel.exe")), TempProgramFolder::kOldProgram);
    EXPECT_TRUE(dialer.Running());
    DestroyWindow(form->hwnd());
}
