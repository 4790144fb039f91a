// What a process holds, how big a run is, the line each run prints for
// scripts/soak.sh, the fuzz cases' bytes and a raw loopback server.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace soak {

struct Usage {
    long handles = 0, gdi = 0, privateKb = 0;  // negative: cannot be taken
};
// GDI objects by the program's own counting, so for this process only.
Usage Measure(DWORD pid = GetCurrentProcessId());
// 1/20 of full unless VORNADEL_SOAK_FULL is set.
int Scaled(int full);
// ciCases unless VORNADEL_FUZZ_BUDGET names another count.
int FuzzBudget(int ciCases);
// Prints "SOAK|run|work|start|end" and fails the test on growth.
void Report(const char* run, const std::string& work, const Usage& start, const Usage& end);

// xorshift, so a failing seed can be replayed.
class Random {
public:
    explicit Random(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull | 1) {}
    uint64_t Next() {
        s_ ^= s_ << 13, s_ ^= s_ >> 7, s_ ^= s_ << 17;
        return s_;
    }
    size_t Below(size_t n) { return n ? static_cast<size_t>(Next() % n) : 0; }
    std::string Bytes(size_t n);
    std::string Mutate(std::string s);  // flips, inserts, deletes or duplicates a few bytes

private:
    uint64_t s_;
};

// A hang fails and ends the process rather than stick the suite.
bool FinishesWithin(DWORD limitMs, const std::function<void()>& body);

// Each connection gets the answer given last, byte for byte, then is closed.
class RawServer {
public:
    explicit RawServer(int port = 0);  // 0: any free port; port() is 0 when it cannot listen
    ~RawServer();
    int port() const { return port_; }
    void Answer(const std::string& bytes);
    long served() const { return served_; }

private:
    void Serve();
    UINT_PTR listener_ = ~UINT_PTR{0};  // a SOCKET
    int port_ = 0;
    std::atomic<long> served_{0};
    std::thread thread_;
    std::mutex mutex_;
    std::string answer_;
};

}  // namespace soak
