// Whole updates, each with the install step's real three-second wait: few
// runs, each checking everything it shows.
#include <gtest/gtest.h>

#include <map>

#include "platform/window.h"
#include "tests/updater/updater_test_support.h"
#include "updater/download_window.h"
#include "updater/file_replace.h"
#include "updater/process_kill.h"

using namespace updater_test;

namespace {

const std::vector<BoxRecord> kSuccessBoxes = {{L"提示： ", L"恭喜你！程序已经升级成功，谢谢你的使用！", {IDOK}, true},
                                              {L"提示", L"现在是否运行VornadelZembrel？", {IDYES, IDNO}, false}};
std::vector<BoxRecord> FailureBox(const wchar_t* text) { return {{L"提示", text, {IDOK}, true}}; }

class Install : public ::testing::Test {
protected:
    void TearDown() override {
        SetFileAttributesW(folder.File(L"vornadel.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
        updater::KillProcess(L"vornadel.exe");  // a dialer the update started
    }
    // One update in this thread, answering its boxes in order, until its windows are all gone.
    std::vector<BoxRecord> RunUpdate(std::vector<int> answers) {
        auto* form = updater::DownloadWindow::Create({ServerUrl(L"/soft/updates/Vornadel/vornadel.exe"), folder.path, true});
        if (!form) return ADD_FAILURE() << "no download window", std::vector<BoxRecord>{};
        MessageBoxAnswerer answerer(std::move(answers), GetCurrentProcessId());
        EXPECT_TRUE(PumpUntil([&] { return form->outcome() == updater::DownloadWindow::Outcome::Complete; }, 30000));
        EXPECT_TRUE(PumpUntil([&] { return plat::OpenFormCount() == 0; }, 30000));
        return answerer.boxes;
    }
    TempProgramFolder folder;
};

}  // namespace

TEST_F(Install, EndsTheDialersReplacesTheProgramAndStartsItOnYes) {
    Standin polite(L"standin\\vornadel.exe", false), deaf(L"standin\\vornadel.exe", true);
    Standin upper(L"upper\\VORNADEL.EXE", true), other(L"other\\xvornadel.exe", false);
    ASSERT_TRUE(polite.Running() && deaf.Running() && upper.Running() && other.Running());
    EXPECT_EQ(RunUpdate({IDOK, IDYES}), kSuccessBoxes);

    // The one that listens closed itself and saved its fields; the others
    // were ended; a name that merely contains the dialer's was left alone.
    EXPECT_EQ(polite.WaitForExit(5000), 7u);  // the stand-in after WM_CLOSE
    EXPECT_EQ(ReadFileBytes(polite.log), "start\nsaved Text1=宽带连接 Text2=user Text3=secret\n");
    EXPECT_EQ(deaf.WaitForExit(5000), 0u);  // what the updater ends processes with
    EXPECT_EQ(upper.WaitForExit(5000), 0u);
    EXPECT_TRUE(other.Running());

    // The new program in place, nothing left beside it, and Yes started it from there.
    EXPECT_TRUE(ReadFileBytes(folder.File(L"vornadel.exe")) == ReadFileBytes(ServedProgram()));
    EXPECT_EQ(FilesIn(folder.path), (std::vector<std::wstring>{L"download", L"vornadel.exe"}));
    std::vector<DWORD> started;
    ASSERT_TRUE(PumpUntil([&] { return (started = updater::FindProcesses(L"vornadel.exe")).size() == 1; }, 10000));
    plat::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, started[0]));
    wchar_t image[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    ASSERT_TRUE(process && QueryFullProcessImageNameW(process.get(), 0, image, &size));
    EXPECT_EQ(CompareStringOrdinal(image, -1, folder.File(L"vornadel.exe").c_str(), -1, TRUE), CSTR_EQUAL);
}

// Ways an install fails, each with a polite dialer running: afterwards the
// old program is where the message says, and the dialer runs again unless the
// message asks the user to act.
struct FailureCase {
    const char* name;
    // Makes the update fail; may keep the program file open until it ended.
    plat::UniqueFile (*prepare)(const TempProgramFolder& folder);
    const wchar_t* text;  // {folder}: the program folder
    const wchar_t* oldProgramIn;
    bool dialerEnded, dialerRestarted;
    std::vector<std::wstring> files;
    friend void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }
};

plat::UniqueFile LockTarget(const TempProgramFolder& f) {
    // Moving the file needs delete sharing; starting it only read sharing.
    return plat::UniqueFile(CreateFileW(f.File(L"vornadel.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
}
plat::UniqueFile MakeTargetReadOnly(const TempProgramFolder& f) {
    SetFileAttributesW(f.File(L"vornadel.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    return {};
}
void OccupyWithFolder(const std::wstring& target) { CreateDirectoryW(target.c_str(), nullptr); }
plat::UniqueFile BlockTheWayBack(const TempProgramFolder&) {
    updater::SetAfterBackupHookForTesting(OccupyWithFolder);
    return {};
}

const FailureCase kFailures[] = {
    {"Locked", LockTarget, L"升级失败：原程序文件正在被使用，无法替换（错误 32）。\n原来的程序没有改动。",
     L"vornadel.exe", true, true, {L"download", L"standin.log", L"vornadel.exe"}},
    {"ReadOnly", MakeTargetReadOnly, L"升级失败：原程序文件是只读的，无法替换。\n原来的程序没有改动。",
     L"vornadel.exe", true, true, {L"download", L"standin.log", L"vornadel.exe"}},
    {"NoWayBack", BlockTheWayBack,
     L"升级失败：无法替换原程序文件（错误 183）。\n原来的程序无法放回原处，已保存为 {folder}\\vornadel.exe.old，"
     L"请手动改回 vornadel.exe。",
     L"vornadel.exe.old", true, false, {L"download", L"vornadel.exe", L"vornadel.exe.old"}},
};

class InstallFailure : public Install, public ::testing::WithParamInterface<FailureCase> {
protected:
    void TearDown() override {
        updater::SetAfterBackupHookForTesting(nullptr);
        Install::TearDown();
    }
};

TEST_P(InstallFailure, LeavesTheUserAsTheyWere) {
    const FailureCase& c = GetParam();
    // A real program, so that it can be started again, told apart from the new one.
    const std::string oldProgram = ReadFileBytes(ServedProgram()) + "the old dialer";
    std::ofstream(fs::path(folder.File(L"vornadel.exe")), std::ios::binary) << oldProgram;
    Standin dialer(L"standin\\vornadel.exe", false);
    ASSERT_TRUE(dialer.Running());
    plat::UniqueFile hold = c.prepare(folder);
    std::wstring text = c.text;
    if (size_t at = text.find(L"{folder}"); at != std::wstring::npos) text.replace(at, 8, folder.path);

    EXPECT_EQ(RunUpdate({IDOK}), FailureBox(text.c_str()));
    hold.reset();
    EXPECT_EQ(ReadFileBytes(folder.File(c.oldProgramIn)), oldProgram);
    EXPECT_EQ(dialer.WaitForExit(c.dialerEnded ? 5000 : 0), c.dialerEnded ? 7u : STILL_ACTIVE);
    // Started again from its folder as Yes starts the new one: it logs there.
    const std::wstring restartLog = folder.File(L"standin.log");
    EXPECT_EQ(PumpUntil([&] { return fs::exists(restartLog); }, c.dialerRestarted ? 10000 : 1000), c.dialerRestarted);
    EXPECT_EQ(updater::FindProcesses(L"vornadel.exe").size(), size_t{!c.dialerEnded} + c.dialerRestarted);
    EXPECT_EQ(FilesIn(folder.path), c.files);
}

INSTANTIATE_TEST_SUITE_P(Cases, InstallFailure, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

// The program as built (unsigned, and signed with key A), from another
// current directory, with no dialer running, its boxes answered from outside.
class BuiltUpdater : public Install, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(BuiltUpdater, UpdatesItsOwnFolder) {
    const std::wstring updater = folder.File(L"update.exe"), elsewhere = testing_support::TempFolder();
    ASSERT_TRUE(CopyFileW((testing_support::TestBinFolder() + L"\\updater\\" + GetParam() + L"\\update.exe").c_str(),
                          updater.c_str(), FALSE));
    plat::UniqueHandle process = testing_support::StartProgram(L"\"" + updater + L"\"", elsewhere.c_str());
    ASSERT_TRUE(process);
    {
        MessageBoxAnswerer answerer({IDOK, IDNO}, GetProcessId(process.get()));
        ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 40000));
        EXPECT_EQ(answerer.boxes, kSuccessBoxes);
    }
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeProcess(process.get(), &code) && code == 0);
    EXPECT_TRUE(ReadFileBytes(folder.File(L"vornadel.exe")) == ReadFileBytes(ServedProgram()));
    EXPECT_EQ(FilesIn(folder.File(L"download")), std::vector<std::wstring>{L"vornadel.exe"});
    EXPECT_FALSE(fs::exists(elsewhere + L"\\download\\vornadel.exe"));
    testing_support::PumpMessages(1000);
    EXPECT_TRUE(updater::FindProcesses(L"vornadel.exe").empty());  // No started nothing
}

INSTANTIATE_TEST_SUITE_P(Keys, BuiltUpdater, ::testing::Values(L"loopback", L"loopback_signed"),
                         [](const auto& info) { return info.index ? "Signed" : "Unsigned"; });

TEST(ProcessSession, OnlyProcessesOfThisSessionCount) {
    Standin dialer(L"standin\\vornadel.exe", false);
    const std::vector<DWORD> found = updater::FindProcesses(L"vornadel.exe");
    ASSERT_FALSE(found.empty());
    std::vector<std::pair<DWORD, bool>> cases = {{GetCurrentProcessId(), true}, {0xFFFFFFF0, false}};
    for (DWORD pid : found) cases.emplace_back(pid, true);
    for (const auto& [pid, ours] : cases) EXPECT_EQ(updater::InOwnSession(pid), ours) << pid;
}

namespace {

BOOL CALLBACK CollectManifest(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param) {
    HRSRC resource = FindResourceW(module, name, type);
    HGLOBAL data = resource ? LoadResource(module, resource) : nullptr;
    if (data)
        reinterpret_cast<std::map<UINT_PTR, std::string>*>(param)->emplace(
            IS_INTRESOURCE(name) ? reinterpret_cast<UINT_PTR>(name) : 0,
            std::string(static_cast<const char*>(LockResource(data)), SizeofResource(module, resource)));
    return TRUE;
}

// The manifests of a built program by resource id (0 for a named one).
std::map<UINT_PTR, std::string> Manifests(const std::wstring& exe) {
    std::map<UINT_PTR, std::string> found;
    plat::UniqueModule module(LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return ADD_FAILURE() << "cannot read " << plat::ToAnsi(exe), found;
    EnumResourceNamesW(module.get(), RT_MANIFEST, CollectManifest, reinterpret_cast<LONG_PTR>(&found));
    return found;
}

}  // namespace

// UAC must not take the updater for an installer, and must go on
// virtualising the dialer's writes to the Windows folder.
TEST(ShippedPrograms, OnlyTheUpdaterAsksToRunAsTheInvoker) {
    const std::wstring shipped = testing_support::TestBinFolder() + L"\\updater\\shipped\\";
    auto updater = Manifests(shipped + L"update.exe");
    ASSERT_EQ(updater.size(), 1u);
    EXPECT_NE(updater[1].find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), std::string::npos);

    for (const auto& [id, text] : Manifests(shipped + L"vornadel.exe"))
        EXPECT_EQ(text.find("trustInfo"), std::string::npos) << "manifest " << id;
}
