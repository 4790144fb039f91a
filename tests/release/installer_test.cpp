// The installer run for real, silently: install, an upgrade over the running dialer, uninstall.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "dialer/autostart.h"
#include "dialer/main_window.h"
#include "platform/controls.h"
#include "tests/support/testing.h"

namespace {

using namespace testing_support;

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vornadel";

std::wstring ShellFolder(int csidl) {
    wchar_t buf[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf);
    return buf;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool Ended(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

// One still running when the test ends would keep the test's output open.
struct Process {
    plat::UniqueHandle handle;
    ~Process() {
        if (handle && !Ended(handle.get())) TerminateProcess(handle.get(), 1);
    }
};

Process Start(std::wstring commandLine) { return Process{StartProgram(std::move(commandLine))}; }

// /D= must come last and unquoted.
DWORD Install(const std::wstring& folder) {
    auto setup = Start(L"\"" VORNADEL_SETUP L"\" /S" + (folder.empty() ? L"" : L" /D=" + folder));
    DWORD code = 9999;
    if (setup.handle && PumpUntil([&] { return Ended(setup.handle.get()); }, 90000))
        GetExitCodeProcess(setup.handle.get(), &code);
    return code;
}

std::wstring UninstallText(const wchar_t* name) {
    wchar_t buf[1024] = {};
    DWORD size = sizeof buf;
    RegGetValueW(HKEY_CURRENT_USER, kUninstallKey, name, RRF_RT_REG_SZ, nullptr, buf, &size);
    return buf;
}

struct Case {
    const char* name;
    const wchar_t* folder;     // /D=, or the default
    const wchar_t* runFolder;  // where the Run value points, nullptr: the install folder
};

class InstallCycle : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        // Shortcuts made in the prefix must not reach the host's desktop menus.
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", L"winemenubuilder.exe", REG_SZ, L"",
                        sizeof(wchar_t));
        // The prefix's desktop is the host user's home: the desktop shortcut goes to the prefix instead.
        const std::wstring desktop = ShellFolder(CSIDL_PROFILE) + L"\\TestDesktop";
        CreateDirectoryW(desktop.c_str(), nullptr);
        RegSetKeyValueW(HKEY_CURRENT_USER,
                        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", L"Desktop", REG_SZ,
                        desktop.c_str(), static_cast<DWORD>((desktop.size() + 1) * sizeof(wchar_t)));
        desktopLink_ = ShellFolder(CSIDL_DESKTOPDIRECTORY) + L"\\Vornadel.lnk";
        // An install left by a failed test would be where the next one goes.
        RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKey);
    }
    void TearDown() override {
        DeleteRunValue();
        RemoveSettingsFile();
    }
    const std::wstring programs_ = ShellFolder(CSIDL_PROGRAMS) + L"\\Vornadel";
    std::wstring desktopLink_;
};

TEST_P(InstallCycle, InstallsUpgradesOverTheRunningDialerAndUninstalls) {
    const Case& c = GetParam();
    ASSERT_NE(desktopLink_.find(L"TestDesktop"), std::wstring::npos) << desktopLink_;
    const std::wstring folder = *c.folder ? c.folder : ShellFolder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\Vornadel";
    const auto file = [&](const std::wstring& name) { return folder + L"\\" + name; };
    ASSERT_EQ(Install(c.folder), 0u);

    WriteSettingsFileBytes("[Option]\r\nText1=BeforeUpgrade\r\n");
    auto dialer = Start(L"\"" + file(L"vornadel.exe") + L"\"");
    const DWORD pid = GetProcessId(dialer.handle.get());
    HWND window = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(window = FindWindowOf(pid, L"Form", dialer::kMainCaption)); },
                          20000));
    HWND nameField = plat::FindControl(window, dialer::IDC_CONNECTION_NAME);
    ASSERT_TRUE(nameField);
    SendMessageW(nameField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"TypedBeforeUpgrade"));
    std::ofstream(file(L"update.exe").c_str(), std::ios::binary | std::ios::trunc) << "an older updater";

    // No /D=: an upgrade goes where the last install went.
    ASSERT_EQ(Install(L""), 0u);
    EXPECT_TRUE(Ended(dialer.handle.get()));
    EXPECT_NE(ReadSettingsFileBytes().find("Text1=TypedBeforeUpgrade"), std::string::npos);
    for (const std::wstring name : {L"vornadel.exe", L"update.exe", L"xptray.ico"})
        EXPECT_TRUE(ReadFileBytes(file(name)) == ReadFileBytes(VORNADEL_DIST L"/" + name)) << name;
    EXPECT_TRUE(ReadFileBytes(file(L"README-zh.txt")) == ReadFileBytes(VORNADEL_USAGE_TEXT));
    for (const std::wstring& link : {programs_ + L"\\Vornadel.lnk", programs_ + L"\\卸载 Vornadel.lnk", desktopLink_})
        EXPECT_TRUE(Exists(link)) << link;
    const std::wstring uninstaller = L"\"" + file(L"uninstall.exe") + L"\"";
    EXPECT_EQ(UninstallText(L"UninstallString"), uninstaller);

    const std::wstring runData = dialer::RunValueData(c.runFolder ? c.runFolder : folder, L"vornadel");
    ASSERT_TRUE(dialer::WriteRunValue(runData));
    const std::string settings = "[Option]\r\nText1=KeptConnection\r\nText2=user\r\n";
    WriteSettingsFileBytes(settings);
    // The uninstaller runs on as a copy of itself; the key goes last.
    auto uninstall = Start(uninstaller + L" /S");
    ASSERT_TRUE(PumpUntil([&] { return UninstallText(L"UninstallString").empty() && !Exists(folder); }, 60000));
    for (const std::wstring& gone : {programs_, desktopLink_}) EXPECT_FALSE(Exists(gone)) << gone;
    EXPECT_EQ(ReadRunValue().found, c.runFolder != nullptr) << runData;
    EXPECT_EQ(ReadSettingsFileBytes(), settings);
}

// For ctest's test names, which would otherwise hold the bytes of the pointers.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

INSTANTIATE_TEST_SUITE_P(
    Folders, InstallCycle,
    ::testing::Values(Case{"DefaultFolder", L"", nullptr},
                      Case{"FolderWithSpace", L"C:\\Vornadel Test\\拨号 程序", nullptr},
                      Case{"RunValueOfAnotherFolder", L"C:\\Vornadel Test\\拨号",
                           L"C:\\Vornadel Test\\拨号 程序"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
