#include <winsock2.h>

#include "tests/soak/harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>

namespace soak {

int FuzzBudget(int ciCases) {
    const char* v = std::getenv("VORNADEL_FUZZ_BUDGET");
    return v && std::atoi(v) > 0 ? std::atoi(v) : ciCases;
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
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    return false;
}

RawServer::RawServer(int port) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{AF_INET, htons(static_cast<u_short>(port)), {}, {}};
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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

void RawServer::Serve() {
    for (SOCKET s; (s = accept(listener_, nullptr, nullptr)) != INVALID_SOCKET; ++served_) {
        DWORD limit = 2000;
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit));
        std::string request;
        char buf[4096];
        for (int n; request.find("\r\n\r\n") == std::string::npos && (n = recv(s, buf, sizeof(buf), 0)) > 0;)
            request.append(buf, static_cast<size_t>(n));
        const std::shared_ptr<const std::string> answer = std::atomic_load(&answer_);
        for (int at = 0, n = 0; at < static_cast<int>(answer->size()) && n >= 0; at += n)
            n = send(s, answer->data() + at, static_cast<int>(answer->size()) - at, 0);
        shutdown(s, SD_SEND);
        closesocket(s);
    }
}

}  // namespace soak
