// The fuzz cases' budget and bytes, a watchdog and a raw loopback server.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace soak {

int FuzzBudget(int ciCases);

// xorshift, so a failing seed can be replayed.
struct Random {
    explicit Random(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull | 1) {}
    uint64_t Next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 7;
        s_ ^= s_ << 17;
        return s_;
    }
    size_t Below(size_t n) { return n ? static_cast<size_t>(Next() % n) : 0; }
    std::string Bytes(size_t n);
    std::string Mutate(std::string s);  // flips, inserts, deletes or duplicates a few bytes
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
    void Answer(const std::string& bytes) { std::atomic_store(&answer_, std::make_shared<const std::string>(bytes)); }
    long served() const { return served_; }

private:
    void Serve();
    UINT_PTR listener_ = ~UINT_PTR{0};  // a SOCKET
    int port_ = 0;
    std::atomic<long> served_{0};
    std::thread thread_;
    std::shared_ptr<const std::string> answer_ = std::make_shared<const std::string>();
};

}  // namespace soak
