// The installer run for real, silently: install, the installed dialer, an
// upgrade over a running dialer, uninstall.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "dialer/autostart.h"
#include "dialer/main_window.h"
#include "platform/controls.h"
#include "platform/handles.h"
#include "tests/support/testing.h"

namespace {

using namespace testing_support;

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vornadel";
const wchar_t* const kPayload[] = {L"vornadel.exe", L"update.exe", L"xptray.ico", L"README-zh.txt"};

// Wine's Z: drive is the host's root; host paths are UTF-8.
std::wstring DosPath(const char* unixPath) {
    wchar_t buf[MAX_PATH] = {};
    MultiByteToWideChar(CP_UTF8, 0, unixPath, -1, buf, MAX_PATH);
    std::wstring p = std::wstring(L"Z:") + buf;
    for (wchar_t& c : p)
        if (c == L'/') c = L'\\';
    return p;
}

std::wstring ShellFolder(int csidl) {
    wchar_t buf[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf);
    return buf;
}

// The prefix's desktop is the host user's home; the installer's desktop
// shortcut goes to a folder of the prefix instead.
std::wstring TestDesktop() {
    wchar_t profile[MAX_PATH] = {};
    GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    const std::wstring folder = std::wstring(profile) + L"\\TestDesktop";
    CreateDirectoryW(folder.c_str(), nullptr);
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                    L"Desktop", REG_SZ, folder.c_str(), static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    return ShellFolder(CSIDL_DESKTOPDIRECTORY);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A started program; one still running when the test ends is ended, as it
// would otherwise keep the test's output open.
struct Process {
    plat::UniqueHandle handle;
    ~Process() {
        if (handle && WaitForSingleObject(handle.get(), 0) == WAIT_TIMEOUT) TerminateProcess(handle.get(), 1);
    }
    HANDLE get() const { return handle.get(); }
    explicit operator bool() const { return static_cast<bool>(handle); }
};

Process Start(std::wstring commandLine) { return Process{StartProgram(std::move(commandLine))}; }

bool Ended(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

// Runs the installer silently; /D= must come last and unquoted.
DWORD Install(const std::wstring& folder) {
    auto setup = Start(L"\"" + DosPath(VORNADEL_SETUP) + L"\" /S" + (folder.empty() ? L"" : L" /D=" + folder));
    if (!setup || !PumpUntil([&] { return Ended(setup.get()); }, 90000)) return 9999;
    DWORD code = 9999;
    GetExitCodeProcess(setup.get(), &code);
    return code;
}

bool KeyExists(const wchar_t* key) {
    HKEY raw = nullptr;
    const bool found = RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &raw) == ERROR_SUCCESS;
    plat::UniqueRegKey owner(raw);
    return found;
}

// The uninstaller runs on as a copy of itself; the key goes last.
bool Uninstall(const std::wstring& folder) {
    auto uninstaller = Start(L"\"" + folder + L"\\uninstall.exe\" /S");
    if (!uninstaller) return false;
    return PumpUntil([&] { return !KeyExists(kUninstallKey) && !Exists(folder); }, 60000);
}

std::wstring UninstallText(const wchar_t* name) {
    wchar_t buf[1024] = {};
    DWORD size = sizeof buf;
    if (RegGetValueW(HKEY_CURRENT_USER, kUninstallKey, name, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return buf;
}

DWORD UninstallNumber(const wchar_t* name) {
    DWORD value = 0xFFFFFFFF, size = sizeof value;
    RegGetValueW(HKEY_CURRENT_USER, kUninstallKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

std::wstring ShortcutTarget(const std::wstring& lnk) {
    plat::ComRef<IShellLinkW> link;
    plat::ComRef<IPersistFile> file;
    wchar_t target[MAX_PATH] = L"<unreadable>";
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(link.put()))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) &&
        SUCCEEDED(file->Load(lnk.c_str(), STGM_READ)))
        link->GetPath(target, MAX_PATH, nullptr, 0);
    return target;
}

HWND DialerWindowOf(HANDLE process) { return FindWindowOf(GetProcessId(process), L"Form", L"VornadelZembrel V1.0"); }

struct Installed {
    std::wstring folder;
    std::wstring file(const wchar_t* name) const { return folder + L"\\" + name; }
};

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        // Shortcuts made in the prefix must not reach the host's desktop menus.
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", L"winemenubuilder.exe", REG_SZ, L"", sizeof(wchar_t));
        DeleteRunValue();
        RemoveSettingsFile();
        // An install left by a failed test would be where the next one goes.
        RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKey);
    }
    void TearDown() override {
        DeleteRunValue();
        RemoveSettingsFile();
        CoUninitialize();
    }
    const std::wstring programs_ = ShellFolder(CSIDL_PROGRAMS) + L"\\Vornadel";
    const std::wstring desktopLink_ = TestDesktop() + L"\\Vornadel.lnk";
};

struct Case {
    const char* name;
    const wchar_t* folder;     // /D=, or the default
    const wchar_t* runFolder;  // where the Run value points, nullptr: the install folder
};

class InstallCycle : public InstallerTest, public ::testing::WithParamInterface<Case> {};

TEST_P(InstallCycle, InstallsStartsAndUninstallsCleanly) {
    const Case& c = GetParam();
    ASSERT_NE(desktopLink_.find(L"TestDesktop"), std::wstring::npos) << desktopLink_;
    const Installed in{*c.folder ? c.folder : ShellFolder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\Vornadel"};
    ASSERT_EQ(Install(c.folder), 0u);

    for (const wchar_t* name : kPayload) {
        const std::wstring source = std::wstring(name) == L"README-zh.txt" ? DosPath(VORNADEL_USAGE_TEXT)
                                                                          : DosPath(VORNADEL_DIST) + L"\\" + name;
        EXPECT_TRUE(ReadFileBytes(in.file(name)) == ReadFileBytes(source)) << name;
    }
    EXPECT_TRUE(Exists(in.file(L"uninstall.exe")));
    EXPECT_EQ(ShortcutTarget(programs_ + L"\\Vornadel.lnk"), in.file(L"vornadel.exe"));
    EXPECT_EQ(ShortcutTarget(programs_ + L"\\卸载 Vornadel.lnk"), in.file(L"uninstall.exe"));
    EXPECT_EQ(ShortcutTarget(desktopLink_), in.file(L"vornadel.exe"));

    const std::wstring uninstaller = L"\"" + in.file(L"uninstall.exe") + L"\"";
    const struct { const wchar_t* name; std::wstring value; } texts[] = {
        {L"DisplayName", L"Vornadel"},
        {L"DisplayVersion", VORNADEL_VERSION},
        {L"Publisher", L"Vornadel"},
        {L"DisplayIcon", in.file(L"vornadel.exe")},
        {L"InstallLocation", in.folder},
        {L"UninstallString", uninstaller},
        {L"QuietUninstallString", uninstaller + L" /S"},
    };
    for (const auto& t : texts) EXPECT_EQ(UninstallText(t.name), t.value) << t.name;
    EXPECT_EQ(UninstallNumber(L"NoModify"), 1u);
    EXPECT_EQ(UninstallNumber(L"NoRepair"), 1u);
    size_t bytes = 0;
    for (const wchar_t* name : {L"vornadel.exe", L"update.exe", L"xptray.ico", L"README-zh.txt", L"uninstall.exe"})
        bytes += ReadFileBytes(in.file(name)).size();
    EXPECT_NEAR(static_cast<double>(UninstallNumber(L"EstimatedSize")), bytes / 1024.0, 8.0);

    // The installed dialer starts (no settings: its window stays up).
    {
        auto dialer = Start(L"\"" + in.file(L"vornadel.exe") + L"\"");
        ASSERT_TRUE(dialer);
        EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(DialerWindowOf(dialer.get())) != FALSE; }, 20000));
        TerminateProcess(dialer.get(), 0);
        PumpUntil([&] { return Ended(dialer.get()); }, 10000);
    }

    const std::wstring runData = dialer::RunValueData(c.runFolder ? c.runFolder : in.folder, L"vornadel");
    ASSERT_TRUE(dialer::WriteRunValue(runData));
    const std::string settings = "[Option]\r\nText1=KeptConnection\r\nText2=user\r\n";
    WriteSettingsFileBytes(settings);

    ASSERT_TRUE(Uninstall(in.folder));
    for (const std::wstring& gone : {programs_, desktopLink_}) EXPECT_FALSE(Exists(gone)) << gone;
    EXPECT_EQ(ReadRunValue().found, c.runFolder != nullptr) << runData;
    EXPECT_EQ(ReadSettingsFileBytes(), settings);
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

INSTANTIATE_TEST_SUITE_P(
    Folders, InstallCycle,
    ::testing::Values(Case{"DefaultFolder", L"", nullptr},
                      Case{"FolderWithSpace", L"C:\\Vornadel Test\\拨号 程序", nullptr},
                      Case{"RunValueOfAnotherFolder", L"C:\\Vornadel Test\\拨号", L"C:\\Vornadel Test\\拨号 程序"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST_F(InstallerTest, UpgradeClosesTheRunningDialerAndReplacesItsFiles) {
    const Installed in{ShellFolder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\Vornadel"};
    ASSERT_EQ(Install(L""), 0u);
    WriteSettingsFileBytes("[Option]\r\nText1=BeforeUpgrade\r\n");
    auto dialer = Start(L"\"" + in.file(L"vornadel.exe") + L"\"");
    HWND window = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(window = DialerWindowOf(dialer.get())); }, 20000));
    HWND nameField = plat::FindControl(window, dialer::IDC_CONNECTION_NAME);
    ASSERT_TRUE(nameField);
    SendMessageW(nameField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"TypedBeforeUpgrade"));
    std::ofstream(in.file(L"update.exe").c_str(), std::ios::binary | std::ios::trunc) << "an older updater";

    ASSERT_EQ(Install(L""), 0u);
    EXPECT_TRUE(Ended(dialer.get()));
    EXPECT_NE(ReadSettingsFileBytes().find("Text1=TypedBeforeUpgrade"), std::string::npos);
    for (const wchar_t* name : {L"vornadel.exe", L"update.exe"})
        EXPECT_TRUE(ReadFileBytes(in.file(name)) == ReadFileBytes(DosPath(VORNADEL_DIST) + L"\\" + name)) << name;
    ASSERT_TRUE(Uninstall(in.folder));
}

}  // namespace
