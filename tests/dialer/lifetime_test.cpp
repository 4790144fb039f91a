// Ending the real vornadel.exe, run from a folder whose path holds spaces.
#include <filesystem>
#include <memory>

#include "platform/controls.h"
#include "platform/window.h"
#include "tests/dialer/dialer_fixture.h"

using namespace testing_support;

namespace {

class InstalledDialer : public Dialer {
protected:
    void SetUp() override {
        Dialer::SetUp();
        folder_ = TempFolder() + L"\\Vornadel Test " + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder_.c_str(), nullptr);
        const std::wstring bin = TestBinFolder();
        ASSERT_TRUE(CopyFileW((bin + L"\\dialer\\vornadel.exe").c_str(), Exe().c_str(), FALSE));
        ASSERT_TRUE(CopyFileW((bin + L"\\rasdial.exe").c_str(), (folder_ + L"\\rasdial.exe").c_str(), FALSE));
    }
    void TearDown() override {
        if (process_) TerminateProcess(process_.get(), 0);
        WaitForExit(5000);
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
        Dialer::TearDown();
    }

    std::wstring Exe() const { return folder_ + L"\\vornadel.exe"; }
    // Started from another current directory, as the Run key does.
    plat::UniqueHandle Launch() { return StartProgram(L"\"" + Exe() + L"\"", TempFolder().c_str()); }

    HWND Find(const wchar_t* cls, const wchar_t* caption) {
        return FindWindowOf(GetProcessId(process_.get()), cls, caption);
    }
    bool WaitForExit(DWORD ms) { return WaitForSingleObject(process_.get(), ms) == WAIT_OBJECT_0; }

    std::wstring folder_;
    plat::UniqueHandle process_;
};

}  // namespace

// Closed as the updater closes it, with the tray menu and the About window open, which it outlives the main one for.
TEST_F(InstalledDialer, FromTheTrayToTheLastWindow) {
    const std::string settings = "[Option]\r\nText1=ADSL\r\nText2=u\r\nText3=p\r\nVornadel1=1\r\n";
    WriteSettingsFileBytes(settings);
    process_ = Launch();
    HWND main = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        main = Find(nullptr, dialer::kMainCaption);
        return main && IsIconic(main) && !IsWindowVisible(main);
    }, 15000)) << "hidden in the tray by the start-up dial";
    EXPECT_TRUE(PumpUntil([&] { return ReadRunValue().data == L"\"" + folder_ + L"\\vornadel.Exe\""; }));
    plat::UniqueHandle second = Launch();
    ASSERT_TRUE(second);
    const bool ended = WaitForSingleObject(second.get(), 10000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(second.get(), 1);
    ASSERT_TRUE(ended) << "the second start ends by itself";
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeProcess(second.get(), &code) && code == 0);
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(main) && !IsIconic(main); })) << "restored from the tray";
    SetWindowTextW(plat::FindControl(main, dialer::IDC_CONNECTION_NAME), L"新 连接");
    SetWindowTextW(plat::FindControl(main, dialer::IDC_ACCOUNT), L"user02");
    SetWindowTextW(plat::FindControl(main, dialer::IDC_PASSWORD), L"secret");
    EXPECT_EQ(ReadSettingsFileBytes(), settings) << "nothing saved before the close";
    // Posted: the click's handler runs a modal box in the dialer.
    PostMessageW(main, WM_COMMAND, dialer::IDM_UPDATE, 0);
    HWND box = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        box = Find(L"#32770", nullptr);
        return box && IsWindowVisible(box) && GetDlgItem(box, 0xFFFF);
    }));
    const std::wstring text = plat::WindowText(GetDlgItem(box, 0xFFFF));
    EXPECT_TRUE(text.find(L"无法启动升级程序 update.exe：") == 0 && text.find(L"（错误 2）") != text.npos) << text;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(box); }));
    PostMessageW(main, WM_COMMAND, dialer::IDM_ABOUT, 0);
    HWND about = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (about = Find(nullptr, L"关于 ... ...")) != nullptr; }));
    PostMessageW(main, kTrayCallbackMessage, dialer::kTrayIconId, WM_RBUTTONDOWN);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(Find(L"#32768", nullptr)); }));
    EXPECT_EQ(GetForegroundWindow(), main) << "the menu over its own window, so that a click elsewhere closes it";
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(main); }));
    EXPECT_FALSE(WaitForExit(500)) << "the About window keeps it alive";
    const std::string ini = ReadSettingsFileBytes();
    EXPECT_NE(ini.find("Text1=\xD0\xC2 \xC1\xAC\xBD\xD3"), std::string::npos) << ini;  // GBK
    EXPECT_NE(ini.find("Text2=user02"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Text3=secret"), std::string::npos);
    EXPECT_EQ(ini.find("Vornadel2"), std::string::npos) << "flags are not written at exit";
    PostMessageW(about, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitForExit(10000));
    EXPECT_TRUE(GetExitCodeProcess(process_.get(), &code) && code == 0);
}

TEST_F(InstalledDialer, ExitWithTheAboutWindowOpenLeavesTheNextStartItsOwnWorkingDialer) {
    process_ = Launch();
    HWND main = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(main = Find(nullptr, dialer::kMainCaption)); }, 15000));
    PostMessageW(main, WM_COMMAND, dialer::IDM_ABOUT, 0);
    ASSERT_TRUE(PumpUntil([&] { return Find(nullptr, dialer::kAboutCaption) != nullptr; }));
    PostMessageW(main, WM_COMMAND, dialer::IDM_EXIT, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(main); }));
    EXPECT_FALSE(WaitForExit(300)) << "the About window keeps it running";
    plat::UniqueHandle next = Launch();
    HWND nextMain = nullptr;
    EXPECT_TRUE(PumpUntil([&] {
        return IsWindowVisible(nextMain = FindWindowOf(GetProcessId(next.get()), nullptr, dialer::kMainCaption));
    }, 15000)) << "a main window of its own";
    PostMessageW(nextMain, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(next.get(), 10000) != WAIT_OBJECT_0) TerminateProcess(next.get(), 1);
}

// The Restart Manager's close ends the program; a log-off leaves the ending to the system. Both save the fields
// and dial no more.
TEST_F(InstalledDialer, SessionEndsSaveTheFieldsAndStopTheDialsAndACloseForTheRestartManagerEndsIt) {
    for (const UINT how : {UINT{ENDSESSION_CLOSEAPP}, UINT{ENDSESSION_LOGOFF}}) {
        SCOPED_TRACE(how);
        WriteSettingsFileBytes("[Option]\r\nText1=ADSL\r\nText2=u\r\nText3=p\r\nVornadel2=1\r\n");
        const size_t before = record_.Lines().size();
        process_ = Launch();
        HWND main = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (main = Find(nullptr, dialer::kMainCaption)) && !IsWindowVisible(main); },
                              15000));
        const size_t dials = record_.WaitForLines(before + 1).size();
        SetWindowTextW(plat::FindControl(main, dialer::IDC_ACCOUNT), L"user03");
        DWORD_PTR answer = 0;
        ASSERT_TRUE(SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, how, SMTO_BLOCK, 5000, &answer));
        EXPECT_TRUE(answer);
        ASSERT_TRUE(SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, how, SMTO_BLOCK, 5000, &answer));
        EXPECT_NE(ReadSettingsFileBytes().find("Text2=user03"), std::string::npos);
        EXPECT_EQ(WaitForExit(5000), how == ENDSESSION_CLOSEAPP);
        PumpMessages(dialer::kRedialInterval + 500);
        EXPECT_EQ(record_.Lines().size(), dials) << "no dial after it";
        TerminateProcess(process_.get(), 0);
        WaitForExit(5000);
    }
}

// Refuses to be made after its window exists, as when a control fails.
struct RefusingForm : plat::Window {
    static inline int alive = 0;
    RefusingForm() { ++alive; }
    ~RefusingForm() override { --alive; }
    bool OnCreate() override { return false; }
    using plat::Window::OpenForm;
};

// The window owns the object from its first message on: a late failure frees it once.
TEST(WindowLifetime, LateCreationFailureFreesTheObjectOnce) {
    const int forms = plat::OpenFormCount();
    EXPECT_EQ(RefusingForm::OpenForm(std::make_unique<RefusingForm>(), {L"x", WS_OVERLAPPED, 0, {0, 0, 50, 50}}),
              nullptr);
    EXPECT_EQ(RefusingForm::alive, 0);
    EXPECT_EQ(plat::OpenFormCount(), forms);
}
