// Downloads URL with the updater's download window (no install step) and
// prints its throughput and this process's peak memory. WARMUP_URL, fetched
// first, takes WinINet's one-time setup out of the measured run.
//   download_bench.exe URL WARMUP_URL
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "updater/download_window.h"

namespace {

// Seconds from creating the window to its outcome, and the bytes saved; negative when it failed.
double Download(const std::wstring& url, const std::wstring& folder, long long* bytes) {
    const auto start = std::chrono::steady_clock::now();
    auto* form = updater::DownloadWindow::Create({url, folder, false});
    MSG msg;
    while (form && form->outcome() == updater::DownloadWindow::Outcome::Running && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    if (!form || form->outcome() != updater::DownloadWindow::Outcome::Complete) return -1;
    const std::wstring saved = form->Text(updater::IDC_LOCAL_PATH);
    std::error_code ec;
    *bytes = static_cast<long long>(std::filesystem::file_size(saved, ec));
    std::filesystem::remove(saved, ec);
    DestroyWindow(form->hwnd());
    return seconds.count();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return std::fprintf(stderr, "usage: updater_benchmark URL WARMUP_URL\n"), 2;
    wchar_t temp[MAX_PATH];
    const std::wstring folder(temp, GetTempPathW(MAX_PATH, temp) - 1);  // without its last backslash
    long long bytes = 0;
    Download(argv[2], folder, &bytes);
    const double seconds = Download(argv[1], folder, &bytes);
    PROCESS_MEMORY_COUNTERS pmc{};
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    std::printf("updater: %s, %lld bytes in %.3f s = %.1f MB/s; peak working set %.1f MB, peak private %.1f MB\n",
                seconds > 0 ? "complete" : "FAILED", bytes, seconds, seconds > 0 ? bytes / seconds / 1e6 : 0.0,
                pmc.PeakWorkingSetSize / 1048576.0, pmc.PeakPagefileUsage / 1048576.0);
    return seconds > 0 ? 0 : 1;
}
