#include <winsock2.h>

#include "tests/soak/harness.h"

#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "platform/handles.h"
#include "skin/gdi_objects.h"

namespace soak {

namespace {

struct HandleEntry {
    ULONG ownerPid;
    BYTE objectType, flags;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
};
struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};
using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);

long EnvNumber(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? std::strtol(v, nullptr, 10) : 0;
}

}  // namespace

long KernelHandles(DWORD pid) {
    static auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return -1;
    std::vector<BYTE> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        LONG status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == kInfoLengthMismatch) {
            buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
            continue;
        }
        if (status < 0) return -1;
        const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
        long n = 0;
        for (ULONG i = 0; i < table->count; ++i) n += table->entries[i].ownerPid == pid;
        return n;
    }
}

Usage Measure() {
    Usage u;
    u.handles = KernelHandles(GetCurrentProcessId());
    u.gdi = skin::gdi::Live() + plat::HeldGdiObjects();
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof(pmc);
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof(pmc)))
        // Wine fills in the commit charge only; on Windows the two are the same.
        u.privateKb = static_cast<long>(std::max(pmc.PrivateUsage, pmc.PagefileUsage) / 1024);
    return u;
}

int Scaled(int full) { return EnvNumber("VORNADEL_SOAK_FULL") ? full : std::max(1, full / 20); }

int FuzzBudget(int ciCases) {
    const long n = EnvNumber("VORNADEL_FUZZ_BUDGET");
    return n > 0 ? static_cast<int>(n) : ciCases;
}

void Report(const char* run, const std::string& work, const Usage& start, const Usage& end, Margin margin) {
    std::printf("SOAK|%s|%s|%ld|%ld|%ld|%ld|%ld|%ld\n", run, work.c_str(), start.handles, end.handles, start.gdi,
                end.gdi, start.privateKb, end.privateKb);
    std::fflush(stdout);
    EXPECT_GE(start.handles, 0) << "handle count unavailable";
    EXPECT_LE(end.handles - start.handles, margin.handles) << run << ": kernel handles grew";
    EXPECT_LE(end.gdi - start.gdi, margin.gdi) << run << ": GDI objects grew";
    EXPECT_LE(end.privateKb - start.privateKb, margin.privateKb) << run << ": private memory grew";
}

std::string Random::Bytes(size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(Next());
    return s;
}

std::string Random::Mutate(std::string s) {
    for (size_t k = 1 + Below(4); k > 0; --k) {
        const size_t at = Below(s.size() + 1);
        switch (Below(4)) {
        case 0: if (at < s.size()) s[at] = static_cast<char>(s[at] ^ (1u << Below(8))); break;
        case 1: s.insert(at, 1, static_cast<char>(Next())); break;
        case 2: if (at < s.size()) s.erase(at, 1 + Below(4)); break;
        default: s.insert(at, s.substr(Below(s.size() + 1), 1 + Below(8))); break;
        }
    }
    return s;
}

namespace {
DWORD WINAPI RunBody(LPVOID param) {
    (*static_cast<const std::function<void()>*>(param))();
    return 0;
}
}  // namespace

bool FinishesWithin(DWORD limitMs, const std::function<void()>& body) {
    plat::UniqueHandle thread(CreateThread(nullptr, 0, RunBody, const_cast<std::function<void()>*>(&body), 0, nullptr));
    if (!thread) return false;
    if (WaitForSingleObject(thread.get(), limitMs) == WAIT_OBJECT_0) return true;
    ADD_FAILURE() << "no answer within " << limitMs << " ms";
    // The case hangs: leave the process rather than the thread's stack.
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    return false;
}

RawServer::RawServer(int port) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<u_short>(port));
    int len = sizeof(a);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&a), len) || listen(listener_, 8)) return;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_.reset(CreateThread(nullptr, 0, Serve, this, 0, nullptr));
}

RawServer::~RawServer() {
    closesocket(listener_);
    if (thread_) WaitForSingleObject(thread_.get(), 5000);
    WSACleanup();
}

void RawServer::Answer(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    answer_ = bytes;
}

DWORD WINAPI RawServer::Serve(LPVOID param) {
    auto* me = static_cast<RawServer*>(param);
    for (SOCKET s; (s = accept(me->listener_, nullptr, nullptr)) != INVALID_SOCKET;) {
        DWORD limit = 2000;
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit));
        std::string request;
        char buf[4096];
        for (int n; request.find("\r\n\r\n") == std::string::npos && (n = recv(s, buf, sizeof(buf), 0)) > 0;)
            request.append(buf, static_cast<size_t>(n));
        std::string answer;
        {
            std::lock_guard<std::mutex> lock(me->mutex_);
            answer = me->answer_;
        }
        for (size_t at = 0; at < answer.size();) {
            const int n = send(s, answer.data() + at, static_cast<int>(std::min<size_t>(answer.size() - at, 65536)), 0);
            if (n <= 0) break;
            at += static_cast<size_t>(n);
        }
        shutdown(s, SD_SEND);
        closesocket(s);
        ++me->served_;
    }
    return 0;
}

}  // namespace soak
