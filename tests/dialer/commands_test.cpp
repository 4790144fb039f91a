// Command lines and Run value data: plain values give the classic text,
// anything the command-line rules would split or lose is quoted.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include "dialer/autostart.h"
#include "dialer/commands.h"
#include "platform/process.h"

namespace {

using Args = std::vector<std::wstring>;
// How a started program would see its arguments.
Args Split(const std::wstring& cmdline) {
    int n = 0;
    LPWSTR* argv = CommandLineToArgvW(cmdline.c_str(), &n);
    std::vector<std::wstring> out(argv, argv + n);
    LocalFree(argv);
    return out;
}

}  // namespace

TEST(CommandLines, PlainValuesGiveTheClassicLines) {
    EXPECT_EQ(dialer::DialCommandLine(L"宽带连接", L"user01", L"pw"), L"Rasdial 宽带连接 user01 pw");
    EXPECT_EQ(dialer::DisconnectCommandLine(L"宽带连接"), L"rasdial.exe 宽带连接 /disconnect");
}

TEST(CommandLines, EveryValueReachesRasdialAsOneArgument) {
    const std::wstring tricky[] = {L"", L"My Link", L"tab\there", L"say \"hi\"", L"back\\slash\\", L"a\\\"b",
                                   L"end space ", L"\\\\server\\x y\\"};
    for (const auto& v : tricky) {
        SCOPED_TRACE(std::string(v.begin(), v.end()));
        EXPECT_EQ(Split(dialer::DialCommandLine(v, L"user", v)), (Args{L"Rasdial", v, L"user", v}));
        EXPECT_EQ(Split(dialer::DisconnectCommandLine(v)), (Args{L"rasdial.exe", v, L"/disconnect"}));
    }
    EXPECT_EQ(plat::QuoteArgument(L"a\\b"), L"a\\b") << "backslashes alone need no quoting";
}

TEST(RunValue, DataFollowsTheProgramsLocation) {
    EXPECT_EQ(dialer::RunValueData(L"C:\\", L"x"), L"C:\\x.Exe");
    EXPECT_EQ(dialer::RunValueData(L"C:\\Tools", L"x"), L"C:\\Tools\\x.Exe");
    // With a space the path is quoted, or "C:\Program" would be started.
    EXPECT_EQ(dialer::RunValueData(L"C:\\Program Files\\Vornadel", L"vornadel"),
              L"\"C:\\Program Files\\Vornadel\\vornadel.Exe\"");
    EXPECT_EQ(dialer::RunValueData(L"C:\\Tools", L"my dialer"), L"\"C:\\Tools\\my dialer.Exe\"");
}
