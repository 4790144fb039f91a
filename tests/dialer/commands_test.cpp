#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <ras.h>
#include <raserror.h>

#include <cwchar>
#include <vector>

#include "dialer/autostart.h"
#include "dialer/commands.h"
#include "platform/remote_access.h"
#include "platform/errors.h"

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

namespace {

struct Connection {
    const wchar_t* entry;
    RASCONNSTATE state;
};
std::vector<Connection> g_connections;
DWORD g_enumError = 0;

// As the service answers: the size it needs when the caller's room is short.
DWORD WINAPI ListConnections(RASCONNW* out, DWORD* bytes, DWORD* count) {
    const DWORD needed = static_cast<DWORD>(g_connections.size() * sizeof(RASCONNW));
    if (g_enumError || out->dwSize != sizeof(RASCONNW)) return g_enumError ? g_enumError : ERROR_INVALID_SIZE;
    if (*bytes < needed) return *bytes = needed, ERROR_BUFFER_TOO_SMALL;
    for (size_t i = 0; i < g_connections.size(); ++i) {
        out[i].hrasconn = reinterpret_cast<HRASCONN>(i + 1);
        wcscpy(out[i].szEntryName, g_connections[i].entry);
    }
    *count = static_cast<DWORD>(g_connections.size());
    return ERROR_SUCCESS;
}

DWORD WINAPI ConnectionStatus(HRASCONN connection, RASCONNSTATUSW* status) {
    status->rasconnstate = g_connections[reinterpret_cast<size_t>(connection) - 1].state;
    return ERROR_SUCCESS;
}

}  // namespace

TEST(LinkState, UpOnlyForAConnectedEntryOfTheNameInAnyCaseUnknownWhenTheServiceFails) {
    plat::SetRasFunctions(ListConnections, ConnectionStatus);
    using plat::LinkState;
    const struct {
        std::vector<Connection> connections;
        DWORD error;
        const wchar_t* entry;
        LinkState expected;
    } rows[] = {
        {{}, 0, L"宽带连接", LinkState::Down},
        {{{L"宽带连接", RASCS_Connected}}, 0, L"宽带连接", LinkState::Up},
        {{{L"Other", RASCS_Connected}, {L"宽带连接", RASCS_Authenticate}}, 0, L"宽带连接", LinkState::Down},
        {{{L"A", RASCS_Connected}, {L"B", RASCS_Connected}, {L"宽带连接 ", RASCS_Connected}}, 0, L"宽带连接",
         LinkState::Down},
        {{{L"A", RASCS_Disconnected}, {L"B", RASCS_Connected}, {L"ADSL", RASCS_Connected}}, 0, L"adsl", LinkState::Up},
        {{{L"宽带连接", RASCS_Connected}}, ERROR_INVALID_SIZE, L"宽带连接", LinkState::Unknown},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        g_connections = row.connections;
        g_enumError = row.error;
        EXPECT_EQ(plat::RasEntryLinkState(row.entry), row.expected);
    }
    plat::SetRasFunctions(nullptr, nullptr);
}

TEST(ErrorTexts, NumbersAreWholeDecimalsAndFixedWidthHexAndNoErrorAddsNothing) {
    const std::pair<unsigned long, const wchar_t*> numbers[] = {
        {0, L"0"}, {5, L"5"}, {10, L"10"}, {404, L"404"}, {4294967295UL, L"4294967295"}};
    for (const auto& [value, text] : numbers) EXPECT_EQ(plat::DecimalText(value), text) << value;
    EXPECT_EQ(plat::ErrorSuffix(0), L"");
    EXPECT_EQ(plat::ErrorSuffix(1223), L"（错误 1223）");
    EXPECT_EQ(plat::HexText(0xC000A000UL, 8), L"C000A000");
    EXPECT_EQ(plat::HexText(0x1F, 8), L"0000001F");
    EXPECT_EQ(plat::HexText(0x12345, 4), L"2345") << "the last digits";
}
