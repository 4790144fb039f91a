#include "platform/remote_access.h"

#include <windows.h>

#include <ras.h>
#include <raserror.h>

#include <vector>

#include "platform/library.h"

namespace plat {

namespace {

using EnumConnectionsFn = RasEnumConnectionsFunction;
using GetConnectStatusFn = RasGetConnectStatusFunction;

struct RasApi {
    EnumConnectionsFn enumConnections = nullptr;
    GetConnectStatusFn getConnectStatus = nullptr;
};
RasApi g_replaced;

// Loaded by its full path in the system folder, so that a file of that name
// planted beside the program or in the current folder is never run. Kept
// for the rest of the run once loaded.
const RasApi& Api() {
    if (g_replaced.enumConnections) return g_replaced;
    static const RasApi api = [] {
        RasApi a;
        wchar_t folder[MAX_PATH];
        const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return a;
        HMODULE module = LoadLibraryExW((std::wstring(folder, n) + L"\\rasapi32.dll").c_str(), nullptr,
                                        LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!module) return a;
        a.enumConnections = LibraryFunction<EnumConnectionsFn>(module, "RasEnumConnectionsW");
        a.getConnectStatus = LibraryFunction<GetConnectStatusFn>(module, "RasGetConnectStatusW");
        return a;
    }();
    return api;
}

bool SameEntryName(const wchar_t* a, const std::wstring& b) {
    return CompareStringOrdinal(a, -1, b.c_str(), static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

void SetRasFunctions(RasEnumConnectionsFunction enumConnections, RasGetConnectStatusFunction getConnectStatus) {
    g_replaced = {enumConnections, getConnectStatus};
}

LinkState RasEntryLinkState(const std::wstring& entry) {
    const RasApi& api = Api();
    if (!api.enumConnections || !api.getConnectStatus) return LinkState::Unknown;
    std::vector<RASCONNW> connections(1);
    connections[0].dwSize = sizeof(RASCONNW);
    DWORD bytes = sizeof(RASCONNW), count = 0;
    DWORD error = api.enumConnections(connections.data(), &bytes, &count);
    // More connections than room: the service says how many bytes it needs.
    for (int tries = 0; error == ERROR_BUFFER_TOO_SMALL && tries < 3; ++tries) {
        if (bytes < sizeof(RASCONNW) || bytes > 1024 * sizeof(RASCONNW)) return LinkState::Unknown;
        connections = std::vector<RASCONNW>(bytes / sizeof(RASCONNW) + 1);
        connections[0].dwSize = sizeof(RASCONNW);
        bytes = static_cast<DWORD>(connections.size() * sizeof(RASCONNW));
        error = api.enumConnections(connections.data(), &bytes, &count);
    }
    if (error != ERROR_SUCCESS || count > connections.size()) return LinkState::Unknown;
    for (DWORD i = 0; i < count; ++i) {
        if (!SameEntryName(connections[i].szEntryName, entry)) continue;
        RASCONNSTATUSW status{};
        status.dwSize = sizeof(status);
        if (api.getConnectStatus(connections[i].hrasconn, &status) != ERROR_SUCCESS) return LinkState::Unknown;
        if (status.rasconnstate == RASCS_Connected) return LinkState::Up;
    }
    return LinkState::Down;
}

}  // namespace plat
