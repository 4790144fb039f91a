// Downloads URL with the updater's download window (no install step) and
// prints its throughput and this process's peak memory. WARMUP_URL, fetched
// first, takes WinINet's one-time setup out of the measured run.
//   updater_benchmark.exe URL WARMUP_URL
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "updater/download_window.h"

namespace {

// Seconds from creating the window to its outcome; negative when it failed.
double Download(const std::wstring& url, const std::wstring& folder, long long* bytes) {
    LARGE_INTEGER freq, start, end;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&start);
    auto* form = updater::Form1::Create({url, folder, false});
    MSG msg;
    while (form && form->outcome() == updater::Form1::Outcome::Running && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    QueryPerformanceCounter(&end);
    if (!form || form->outcome() != updater::Form1::Outcome::Complete) return -1;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(form->Text(updater::IDC_TEXT2).c_str(), GetFileExInfoStandard, &data);
    *bytes = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    DeleteFileW(form->Text(updater::IDC_TEXT2).c_str());
    DestroyWindow(form->hwnd());
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(freq.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return std::fprintf(stderr, "usage: updater_benchmark URL WARMUP_URL\n"), 2;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"vornadel-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    long long bytes = 0;
    Download(argv[2], folder, &bytes);
    const double seconds = Download(argv[1], folder, &bytes);
    PROCESS_MEMORY_COUNTERS pmc{};
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    std::printf("updater: %s, %lld bytes in %.3f s = %.1f MB/s; peak working set %.1f MB, peak private %.1f MB\n",
                seconds > 0 ? "complete" : "FAILED", bytes, seconds, seconds > 0 ? bytes / seconds / 1e6 : 0.0,
                pmc.PeakWorkingSetSize / 1048576.0, pmc.PeakPagefileUsage / 1048576.0);
    RemoveDirectoryW((folder + L"\\download").c_str());
    RemoveDirectoryW(folder.c_str());
    return seconds > 0 ? 0 : 1;
}
