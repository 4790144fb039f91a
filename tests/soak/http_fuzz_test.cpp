// Hostile answers of a raw loopback server: no crash, no hang, and the whole program kept or nothing.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "platform/window.h"
#include "tests/soak/harness.h"
#include "tests/support/testing.h"
#include "updater/download_window.h"

namespace {

using testing_support::ReadFileBytes;
using Outcome = updater::DownloadWindow::Outcome;

std::string Head(const std::string& status, const std::string& lines) { return status + "\r\n" + lines + "\r\n"; }
std::string Length(size_t n) { return "Content-Length: " + std::to_string(n) + "\r\n"; }

TEST(HttpFuzz, HostileAnswersLeaveTheWholeProgramOrNothing) {
    plat::SetQuitWhenLastFormCloses(false);
    const std::string exe = ReadFileBytes(testing_support::TestBinFolder() + L"\\bench\\minimal_window.exe");
    const std::wstring folder = testing_support::TempFolder() + L"\\vornadel-httpfuzz";
    const std::wstring saved = folder + L"\\download\\vornadel.exe";
    // Many write blocks, ending on a whole piece; the tail is an overlay, which a program may carry.
    const std::string big = exe + std::string((5 << 20) - exe.size() % 1024, '\x5A');
    CreateDirectoryW(folder.c_str(), nullptr);
    soak::RawServer server;
    const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(server.port()) + L"/soft/vornadel.exe";
    // True when the download completed; what it kept must then be whole.
    const auto download = [&](const std::string& answer, const std::string& name) {
        server.Answer(answer);
        DeleteFileW(saved.c_str());
        bool complete = false;
        // The window lives on the watchdog's worker thread, with its own loop.
        soak::FinishesWithin(30000, [&] {
            updater::DownloadWindow* form = updater::DownloadWindow::Create({url, folder, false, {}});
            if (!form) return;
            EXPECT_TRUE(testing_support::PumpUntil([&] { return form->outcome() != Outcome::Running; }, 25000))
                << name << ": the download never ended";
            complete = form->outcome() == Outcome::Complete;
            DestroyWindow(form->hwnd());
        });
        const std::string kept = ReadFileBytes(saved);
        EXPECT_TRUE(kept.empty() || kept == exe || kept == big) << name << ": a program that is not whole was kept";
        EXPECT_EQ(complete, !kept.empty()) << name;
        return complete;
    };

    const std::string ok = "HTTP/1.1 200 OK", n = Length(exe.size());
    const std::string chunkedHead = Head(ok, "Transfer-Encoding: chunked\r\n");
    std::ostringstream chunks;  // pieces of 1000 bytes, so that reads end short of the piece size
    for (size_t at = 0; at < exe.size(); at += 1000)
        chunks << std::hex << exe.substr(at, 1000).size() << "\r\n" << exe.substr(at, 1000) << "\r\n";
    chunks << "0\r\n\r\n";
    const struct { const char* name; std::string answer; bool whole; } cases[] = {  // whole: must be kept
        {"several megabytes", Head(ok, Length(big.size())) + big, true},
        {"chunked", chunkedHead + chunks.str(), true},
        {"chunked, cut", chunkedHead + chunks.str().substr(0, chunks.str().size() / 2), false},
        {"negative length", Head(ok, "Content-Length: -5\r\n") + exe, false},
        {"absurd length", Head(ok, "Content-Length: 99999999999999999999999\r\n") + exe, false},
        {"length smaller than the body", Head(ok, Length(1000)) + exe, false},
        {"1 MB header block", Head(ok, "X-Fill: " + std::string(1 << 20, 'a') + "\r\n" + n) + exe, false},
        {"no status line", n + "\r\n" + exe, false},
        {"empty answer", "", false},
    };
    for (const auto& c : cases) EXPECT_TRUE(download(c.answer, c.name) || !c.whole) << c.name << " was not kept";
    // Bodies cut all over the program, with and without a length.
    for (int i = 0, budget = soak::FuzzBudget(80); i < budget; ++i) {
        const size_t cut = exe.size() * static_cast<size_t>(i) / static_cast<size_t>(budget);
        download(Head(ok, i % 2 ? n : "") + exe.substr(0, cut), "cut at " + std::to_string(cut));
    }
}

}  // namespace
