#include <winsock2.h>

#include "tests/soak/harness.h"

#include <psapi.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <vector>

#include "platform/handles.h"
#include "skin/gdi_objects.h"

namespace soak {

namespace {

long EnvNumber(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? std::strtol(v, nullptr, 10) : 0;
}

// GetProcessHandleCount answers 0 under Wine.
long KernelHandles(DWORD pid) {
    std::vector<BYTE> buffer(1 << 20);
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(SystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                                              nullptr)) == static_cast<NTSTATUS>(0xC0000004))  // length mismatch
        buffer.resize(buffer.size() * 2);
    if (status < 0) return -1;
    const auto* table = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
    return static_cast<long>(std::count_if(table->Handle, table->Handle + table->Count,
                                           [pid](const SYSTEM_HANDLE_ENTRY& e) { return e.OwnerPid == pid; }));
}

}  // namespace

Usage Measure(DWORD pid) {
    const bool self = pid == GetCurrentProcessId();
    Usage u{KernelHandles(pid), self ? skin::gdi::Live() + plat::HeldGdiObjects() : -1, -1};
    plat::UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    if (GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof(pmc)))
        // Wine fills in the commit charge only; on Windows the two are the same.
        u.privateKb = static_cast<long>(std::max(pmc.PrivateUsage, pmc.PagefileUsage) / 1024);
    return u;
}

int Scaled(int full) { return EnvNumber("VORNADEL_SOAK_FULL") ? full : std::max(1, full / 20); }

int FuzzBudget(int ciCases) {
    const long n = EnvNumber("VORNADEL_FUZZ_BUDGET");
    return n > 0 ? static_cast<int>(n) : ciCases;
}

void Report(const char* run, const std::string& work, const Usage& start, const Usage& end) {
    std::printf("SOAK|%s|%s|%ld|%ld|%ld|%ld|%ld|%ld\n", run, work.c_str(), start.handles, end.handles, start.gdi,
                end.gdi, start.privateKb, end.privateKb);
    std::fflush(stdout);
    EXPECT_GE(start.handles, 0) << "handle count unavailable";
    EXPECT_LE(end.handles - start.handles, 8) << run << ": kernel handles grew";
    EXPECT_LE(end.gdi - start.gdi, 2) << run << ": GDI objects grew";
    EXPECT_LE(end.privateKb - start.privateKb, 2048) << run << ": private memory grew";
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

bool FinishesWithin(DWORD limitMs, const std::function<void()>& body) {
    auto done = std::async(std::launch::async, body);
    if (done.wait_for(std::chrono::milliseconds(limitMs)) == std::future_status::ready) return true;
    ADD_FAILURE() << "no answer within " << limitMs << " ms";
    // Leave the process rather than wait for the hung thread.
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
    thread_ = std::thread(&RawServer::Serve, this);
}

RawServer::~RawServer() {
    closesocket(listener_);
    if (thread_.joinable()) thread_.join();
    WSACleanup();
}

void RawServer::Answer(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    answer_ = bytes;
}

void RawServer::Serve() {
    for (SOCKET s; (s = accept(listener_, nullptr, nullptr)) != INVALID_SOCKET; ++served_) {
        DWORD limit = 2000;
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit));
        std::string request;
        char buf[4096];
        for (int n; request.find("\r\n\r\n") == std::string::npos && (n = recv(s, buf, sizeof(buf), 0)) > 0;)
            request.append(buf, static_cast<size_t>(n));
        std::unique_lock<std::mutex> lock(mutex_);
        const std::string answer = answer_;
        lock.unlock();
        for (int at = 0, n = 0; at < static_cast<int>(answer.size()) && n >= 0; at += n)
            n = send(s, answer.data() + at, static_cast<int>(answer.size()) - at, 0);
        shutdown(s, SD_SEND);
        closesocket(s);
    }
}

}  // namespace soak
