// One harness for the long runs and the fuzzing: what the process holds,
// how big a run is, and the line each run prints for scripts/soak.sh.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "platform/handles.h"

namespace soak {

struct Usage {
    long handles = 0;     // kernel handles of this process
    long gdi = 0;         // GDI objects the skin engine and the windows' owners hold
    long privateKb = 0;   // private memory
};
Usage Measure();
// Kernel handles of any process (NtQuerySystemInformation: GetProcessHandleCount
// answers 0 under Wine).
long KernelHandles(DWORD pid);

// Work of a run: the full count with VORNADEL_SOAK_FULL set, else 1/20 of it.
int Scaled(int full);
// Fuzz cases: ciCases unless VORNADEL_FUZZ_BUDGET names another count.
int FuzzBudget(int ciCases);

// Growth allowed between the start and the end of a run.
struct Margin {
    long handles = 8, gdi = 2, privateKb = 2048;
};

// Prints "SOAK|run|work|start|end" for scripts/soak.sh and fails the
// current test when the end is more than the margin above the start.
void Report(const char* run, const std::string& work, const Usage& start, const Usage& end, Margin margin = {});

// Deterministic bytes for the fuzz cases (xorshift), so a failing seed can
// be replayed.
class Random {
public:
    explicit Random(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull | 1) {}
    uint64_t Next() {
        s_ ^= s_ << 13, s_ ^= s_ >> 7, s_ ^= s_ << 17;
        return s_;
    }
    size_t Below(size_t n) { return n ? static_cast<size_t>(Next() % n) : 0; }
    std::string Bytes(size_t n);
    // Flips, inserts, deletes or duplicates a few bytes of a valid input.
    std::string Mutate(std::string s);

private:
    uint64_t s_;
};

// Runs body on a worker thread and fails the test when it does not return
// within limitMs (a hang is a failure, not a stuck suite).
bool FinishesWithin(DWORD limitMs, const std::function<void()>& body);

// A loopback HTTP server of raw bytes: every connection gets the answer
// given last, byte for byte, and is closed after it.
class RawServer {
public:
    explicit RawServer(int port = 0);  // 0: any free port
    ~RawServer();
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;
    int port() const { return port_; }
    bool listening() const { return static_cast<bool>(thread_); }
    void Answer(const std::string& bytes);
    long served() const { return served_; }

private:
    static DWORD WINAPI Serve(LPVOID param);
    UINT_PTR listener_ = ~UINT_PTR{0};  // a SOCKET
    int port_ = 0;
    std::atomic<long> served_{0};
    plat::UniqueHandle thread_;
    std::mutex mutex_;
    std::string answer_;
};

}  // namespace soak
