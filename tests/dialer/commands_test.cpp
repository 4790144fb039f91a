#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include "dialer/autostart.h"
#include "dialer/commands.h"

using Args = std::vector<std::wstring>;

// How a started program would see its arguments.
static Args Split(const std::wstring& cmdline) {
    int n = 0;
    LPWSTR* argv = CommandLineToArgvW(cmdline.c_str(), &n);
    Args out(argv, argv + n);
    LocalFree(argv);
    return out;
}

TEST(CommandLines, PlainValuesGiveTheClassicLinesEveryValueReachesRasdialAsOneArgumentAndTheRunValueIsQuoted) {
    EXPECT_EQ(dialer::DialCommandLine(L"宽带连接", L"user01", L"a\\b"), L"Rasdial 宽带连接 user01 a\\b");
    EXPECT_EQ(dialer::DisconnectCommandLine(L"宽带连接"), L"rasdial.exe 宽带连接 /disconnect");
    for (const std::wstring v : {L"", L"My Link", L"tab\there", L"say \"hi\"", L"back\\slash\\", L"a\\\"b",
                                 L"end space ", L"\\\\server\\x y\\"}) {
        SCOPED_TRACE(std::string(v.begin(), v.end()));
        EXPECT_EQ(Split(dialer::DialCommandLine(v, L"user", v)), (Args{L"Rasdial", v, L"user", v}));
        EXPECT_EQ(Split(dialer::DisconnectCommandLine(v)), (Args{L"rasdial.exe", v, L"/disconnect"}));
    }
    EXPECT_EQ(dialer::RunValueData(L"C:\\", L"x"), L"C:\\x.Exe");
    EXPECT_EQ(dialer::RunValueData(L"C:\\Tools", L"x"), L"C:\\Tools\\x.Exe");
}
