// Ending the dialer: closing saves the connection fields, an outside kill
// saves nothing; a second window keeps the program alive. These run the
// real vornadel.exe from a folder whose path holds spaces.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>

#include "dialer/main_window.h"
#include "dialer/tray.h"
#include "platform/controls.h"
#include "platform/handles.h"
#include "platform/text.h"
#include "platform/window.h"
#include "tests/support/testing.h"

using namespace testing_support;

namespace {

std::wstring DialerExe() { return TestBinFolder() + L"\\dialer\\vornadel.exe"; }

class InstalledDialer : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveSettingsFile();
        DeleteRunValue();
        // A copy in a folder with spaces, with its fixtures beside it.
        folder_ = TempFolder() + L"\\Vornadel Test " + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder_.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(DialerExe().c_str(), (folder_ + L"\\vornadel.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW((TestBinFolder() + L"\\rasdial.exe").c_str(), (folder_ + L"\\rasdial.exe").c_str(),
                              FALSE));
    }
    void TearDown() override {
        if (process_) {
            TerminateProcess(process_.get(), 0);
            WaitForSingleObject(process_.get(), 5000);
        }
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
        RemoveSettingsFile();
        DeleteRunValue();
    }

    // Started from another current directory, as the Run key does.
    plat::UniqueHandle Launch() { return StartProgram(L"\"" + folder_ + L"\\vornadel.exe\"", TempFolder().c_str()); }

    // The main window once its start-up has run: shown, or (after the
    // start-up dial) hidden in the tray.
    HWND Start(bool hiddenInTray = false) {
        process_ = Launch();
        pid_ = GetProcessId(process_.get());
        HWND main = nullptr;
        PumpUntil([&] {
            main = FindWindowOf(pid_, nullptr, dialer::kMainCaption);
            return main && (hiddenInTray ? IsIconic(main) && !IsWindowVisible(main) : IsWindowVisible(main) != 0);
        }, 15000);
        return main;
    }

    bool WaitForExit(DWORD ms) { return WaitForSingleObject(process_.get(), ms) == WAIT_OBJECT_0; }

    std::wstring folder_;
    plat::UniqueHandle process_;
    DWORD pid_ = 0;
};

DWORD ExitCode(HANDLE process) {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    return code;
}

void SetField(HWND main, int id, const wchar_t* text) { SetWindowTextW(plat::FindControl(main, id), text); }

}  // namespace

TEST_F(InstalledDialer, KilledFromOutsideSavesNothing) {
    WriteSettingsFileBytes("[Option]\r\nText1=ADSL\r\n");
    HWND main = Start();
    ASSERT_TRUE(main);
    SetField(main, dialer::IDC_ACCOUNT, L"user02");
    TerminateProcess(process_.get(), 0);
    ASSERT_TRUE(WaitForExit(5000));
    EXPECT_EQ(ReadSettingsFileBytes(), "[Option]\r\nText1=ADSL\r\n");
}

TEST_F(InstalledDialer, RunValueQuotesAPathWithSpaces) {
    WriteSettingsFileBytes("[Option]\r\nVornadel1=1\r\n");
    ASSERT_TRUE(Start());
    RegValue v;
    PumpUntil([&] { return (v = ReadRunValue()).found; });
    ASSERT_TRUE(v.found);
    EXPECT_EQ(v.data, L"\"" + folder_ + L"\\vornadel.Exe\"");
}

TEST_F(InstalledDialer, OpenAboutWindowKeepsTheProgramRunning) {
    HWND main = Start();
    ASSERT_TRUE(main);
    PostMessageW(main, WM_COMMAND, dialer::IDM_ABOUT, 0);
    HWND about = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (about = FindWindowOf(pid_, nullptr, L"关于 ... ...")) != nullptr; }));
    PostMessageW(main, WM_COMMAND, dialer::IDM_EXIT, 0);
    PumpUntil([&] { return !IsWindow(main); });
    EXPECT_FALSE(IsWindow(main));
    EXPECT_FALSE(WaitForExit(500)) << "the About window keeps it alive";
    PostMessageW(about, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitForExit(10000));
}

TEST_F(InstalledDialer, MissingUpdaterIsReportedInChinese) {
    HWND main = Start();
    ASSERT_TRUE(main);
    // Posted: the click's handler runs a modal box in the dialer.
    PostMessageW(main, WM_COMMAND, dialer::IDM_UPDATE, 0);
    HWND box = nullptr;
    // Only once it is up and filled in.
    ASSERT_TRUE(PumpUntil([&] {
        box = FindWindowOf(pid_, L"#32770", nullptr);
        return box && IsWindowVisible(box) && GetDlgItem(box, 0xFFFF);
    }));
    EXPECT_EQ(plat::WindowText(box), L"提示");
    std::wstring text = plat::WindowText(GetDlgItem(box, 0xFFFF));
    // The system's reason with its number, not a guess.
    EXPECT_EQ(text.find(L"无法启动升级程序 update.exe："), 0u) << text;
    EXPECT_NE(text.find(L"（错误 2）"), std::wstring::npos) << text;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(box); }));
    EXPECT_TRUE(IsWindow(main));
}

TEST_F(InstalledDialer, SecondStartShowsTheFirstFromTheTrayAndEnds) {
    WriteSettingsFileBytes("[Option]\r\nText1=ADSL\r\nText2=u\r\nText3=p\r\n");
    HWND main = Start(true);
    ASSERT_TRUE(main);
    plat::UniqueHandle second = Launch();
    ASSERT_TRUE(second);
    const bool ended = WaitForSingleObject(second.get(), 10000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(second.get(), 1);
    ASSERT_TRUE(ended) << "the second start ends by itself";
    EXPECT_EQ(ExitCode(second.get()), 0u);
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(main) && !IsIconic(main); })) << "restored from the tray";
    EXPECT_EQ(RunningProcesses(L"vornadel.exe"), 1);
    EXPECT_FALSE(WaitForExit(0));
}

// Closed as the updater closes it, with the tray menu open (true) or not:
// the menu's loop ends first, then the fields are saved and it ends.
class ClosedDialer : public InstalledDialer, public ::testing::WithParamInterface<bool> {};

TEST_P(ClosedDialer, SavesTheFieldsAndEnds) {
    WriteSettingsFileBytes("[Option]\r\nText1=ADSL\r\n");
    HWND main = Start();
    ASSERT_TRUE(main);
    SetField(main, dialer::IDC_CONNECTION_NAME, L"新 连接");
    SetField(main, dialer::IDC_ACCOUNT, L"user02");
    SetField(main, dialer::IDC_PASSWORD, L"secret");
    if (GetParam()) {
        PostMessageW(main, kTrayCallbackMessage, dialer::kTrayIconId, WM_RBUTTONDOWN);
        ASSERT_TRUE(PumpUntil([&] {
            HWND menu = FindWindowOf(pid_, L"#32768", nullptr);
            return menu && IsWindowVisible(menu);
        }));
    }
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitForExit(10000));
    EXPECT_EQ(ExitCode(process_.get()), 0u);
    std::string ini = ReadSettingsFileBytes();
    EXPECT_NE(ini.find("Text1=\xD0\xC2 \xC1\xAC\xBD\xD3"), std::string::npos) << ini;  // GBK
    EXPECT_NE(ini.find("Text2=user02"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Text3=secret"), std::string::npos);
    EXPECT_EQ(ini.find("Vornadel"), std::string::npos) << "flags are not written at exit";
}

INSTANTIATE_TEST_SUITE_P(TrayMenu, ClosedDialer, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Open" : "Closed"; });

namespace {
// A form that refuses to be made after its window exists, as one whose
// controls cannot be created does.
struct RefusingForm : plat::Window {
    static inline int alive = 0;
    RefusingForm() { ++alive; }
    ~RefusingForm() override { --alive; }
    bool OnCreate() override { return false; }
    static Window* Open() { return OpenForm(std::make_unique<RefusingForm>(), {L"x", WS_OVERLAPPED, 0, {0, 0, 50, 50}}); }
};
}  // namespace

// The window owns the object from its first message on: a late failure
// frees it exactly once and leaves no form behind.
TEST(WindowLifetime, LateCreationFailureFreesTheObjectOnce) {
    const int forms = plat::OpenFormCount();
    EXPECT_EQ(RefusingForm::Open(), nullptr);
    EXPECT_EQ(RefusingForm::alive, 0);
    EXPECT_EQ(plat::OpenFormCount(), forms);
}
