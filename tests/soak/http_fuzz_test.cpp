// The download window against hostile HTTP answers from a raw loopback
// server in this process: whatever the answer, no crash, no hang, and the
// download folder holds the whole program or nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/handles.h"
#include "platform/window.h"
#include "tests/soak/harness.h"
#include "tests/support/testing.h"
#include "updater/download_window.h"

namespace {

std::string Chunked(const std::string& body, size_t piece) {
    std::string out;
    for (size_t at = 0; at < body.size(); at += piece) {
        char size[20];
        snprintf(size, sizeof(size), "%zx\r\n", std::min(piece, body.size() - at));
        out += size + body.substr(at, piece) + "\r\n";
    }
    return out + "0\r\n\r\n";
}

class HttpFuzz : public ::testing::Test {
protected:
    void SetUp() override {
        plat::SetQuitWhenLastFormCloses(false);
        ASSERT_GT(exe_.size(), 9000u);  // the cut below lands inside it
    }
    // Serves the answer to one download; the folder must then hold the whole
    // program (exe_ unless told) or nothing, within the time bound.
    void Download(const std::string& answer, const std::string& name, const std::string* program = nullptr) {
        SCOPED_TRACE(name);
        server_.Answer(answer);
        const std::wstring folder = testing_support::TempFolder() + L"\\vornadel-httpfuzz";
        const std::wstring saved = folder + L"\\download\\vornadel.exe";
        DeleteFileW(saved.c_str());
        CreateDirectoryW(folder.c_str(), nullptr);
        bool ended = false, complete = false;
        // The window lives on the watchdog's worker thread, with its own loop.
        soak::FinishesWithin(30000, [&] {
            const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(server_.port()) + L"/soft/vornadel.exe";
            updater::DownloadWindow* form = updater::DownloadWindow::Create({url, folder, false, {}});
            if (!form) return;
            const HWND hwnd = form->hwnd();
            ended = testing_support::PumpUntil([&] { return form->outcome() != updater::DownloadWindow::Outcome::Running; },
                                               25000);
            complete = form->outcome() == updater::DownloadWindow::Outcome::Complete;
            DestroyWindow(hwnd);
        });
        EXPECT_TRUE(ended) << "the download never ended";
        const bool exists = GetFileAttributesW(saved.c_str()) != INVALID_FILE_ATTRIBUTES;
        EXPECT_TRUE(!exists || testing_support::ReadFileBytes(saved) == (program ? *program : exe_)) << "a program that is not whole was kept";
        EXPECT_EQ(complete, exists);
        ++cases_;
        whole_ += exists;
    }
    std::string Head(const std::string& status, const std::string& headers) {
        return status + "\r\nContent-Type: application/octet-stream\r\n" + headers + "\r\n";
    }
    std::string Length(size_t n) { return "Content-Length: " + std::to_string(n) + "\r\n"; }

    const std::string exe_ = testing_support::ReadFileBytes(testing_support::TestBinFolder() + L"\\bench\\minimal_window.exe");
    soak::RawServer server_;
    int cases_ = 0, whole_ = 0;
};

TEST_F(HttpFuzz, HeadersStatusLinesAndChunking) {
    const std::string ok = "HTTP/1.1 200 OK", n = Length(exe_.size());
    const struct {
        const char* name;
        std::string answer;
        bool whole;  // must end with the program saved
    } cases[] = {
        {"plain", Head(ok, n) + exe_, true},
        {"chunked", Head(ok, "Transfer-Encoding: chunked\r\n") + Chunked(exe_, 1000), true},
        {"chunked, cut", Head(ok, "Transfer-Encoding: chunked\r\n") + Chunked(exe_, 1000).substr(0, 9000), false},
        {"chunked, sizes lie", Head(ok, "Transfer-Encoding: chunked\r\n") + "ffffff\r\n" + exe_, false},
        {"negative length", Head(ok, "Content-Length: -5\r\n") + exe_, false},
        {"absurd length", Head(ok, "Content-Length: 99999999999999999999999\r\n") + exe_, false},
        // 2^32 more than the body: a length kept in 32 bits would match it.
        {"length past 4 GB", Head(ok, "Content-Length: " + std::to_string((1ULL << 32) + exe_.size()) + "\r\n") + exe_, false},
        {"two lengths", Head(ok, n + Length(100)) + exe_, false},
        {"length smaller than the body", Head(ok, Length(1000)) + exe_, false},
        {"1 MB header block", Head(ok, "X-Fill: " + std::string(1 << 20, 'a') + "\r\n" + n) + exe_, false},
        {"many headers", Head(ok, [] { std::string h; for (int i = 0; i < 20000; ++i) h += "X-" + std::to_string(i) + ": v\r\n"; return h; }() + n) + exe_, false},
        {"no status line", n + "\r\n" + exe_, false},
        {"status 999", Head("HTTP/1.1 999 Odd", n) + exe_, false},
        {"status 500", Head("HTTP/1.1 500 Internal Server Error", n) + exe_, false},
        {"HTTP/1.0, no length", Head("HTTP/1.0 200 OK", "") + exe_, false},
        {"empty answer", "", false},
        {"garbage", "\x01\x02 not http at all\r\n\r\n", false},
    };
    for (const auto& c : cases) {
        Download(c.answer, c.name);
        EXPECT_TRUE(!c.whole || whole_ == cases_) << c.name << " was not saved";
    }
}

TEST_F(HttpFuzz, BodiesCutAndRandomAnswers) {
    const std::string ok = "HTTP/1.1 200 OK";
    const int budget = soak::FuzzBudget(40);
    // Cuts spread over the whole program, with and without a length.
    for (int i = 0; i < budget; ++i) {
        const size_t cut = exe_.size() * static_cast<size_t>(i) / static_cast<size_t>(budget);
        Download(Head(ok, i % 2 ? Length(exe_.size()) : "") + exe_.substr(0, cut), "cut at " + std::to_string(cut));
    }
    const char* const statuses[] = {"HTTP/1.1 200 OK", "HTTP/1.1 206 Partial", "HTTP/1.1 301 Moved", "HTTP/1.1 200",
                                    "HTTP/9.9 200 OK", "HTTP/1.1 -1 X", "http/1.1 200 ok"};
    for (int seed = 1; seed <= budget; ++seed) {
        soak::Random r(seed);
        std::string headers;
        for (size_t k = r.Below(5); k > 0; --k) {
            switch (r.Below(4)) {
            case 0: headers += Length(r.Below(2 * exe_.size())); break;
            case 1: headers += "Content-Length: " + std::to_string(static_cast<long long>(r.Next())) + "\r\n"; break;
            case 2: headers += "Transfer-Encoding: chunked\r\n"; break;
            default: headers += r.Bytes(r.Below(40)) + "\r\n"; break;
            }
        }
        // A changed program sent in full may pass as whole: it is what was sent.
        const bool changed = r.Below(2);
        const std::string body = changed ? r.Mutate(exe_) : exe_.substr(0, r.Below(exe_.size() + 1));
        Download(Head(statuses[r.Below(7)], headers) + body, "seed " + std::to_string(seed), changed ? &body : nullptr);
    }
    std::printf("%d answers, %d saved whole\n", cases_, whole_);
}

}  // namespace
