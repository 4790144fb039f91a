// Downloads one address with the updater's download window (no install
// step) and prints its throughput and the process's peak memory.
//   updater_benchmark.exe URL [WARMUP_URL]
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "platform/module_path.h"
#include "platform/text.h"
#include "platform/window.h"
#include "updater/download_window.h"

namespace {

void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    const std::wstring download = folder + L"\\download";
    HANDLE find = FindFirstFileW((download + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileW((download + L"\\" + data.cFileName).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(download.c_str());
    RemoveDirectoryW(folder.c_str());
}

long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

struct Result {
    bool ok = false;
    long long bytes = 0;
    double seconds = 0;
};

// One download window run from creation to its outcome.
Result Download(updater::DownloadOptions options, const std::wstring& url) {
    options.url = url;
    Result r;
    LARGE_INTEGER freq, start, end;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&start);
    auto* form = updater::Form1::Create(options);
    if (!form) return r;
    while (form->outcome() == updater::Form1::Outcome::Running) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (form->outcome() != updater::Form1::Outcome::Running) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    QueryPerformanceCounter(&end);
    r.ok = form->outcome() == updater::Form1::Outcome::Complete;
    r.bytes = FileSize(form->Text(updater::IDC_TEXT2));
    r.seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(freq.QuadPart);
    DestroyWindow(form->hwnd());
    return r;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: updater_benchmark URL [WARMUP_URL]\n");
        return 2;
    }
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"vornadel-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);

    updater::DownloadOptions options;
    options.programFolder = folder;
    options.showInstallWindow = false;

    // The first request of a process also pays for setting WinINet up; a
    // small download first leaves the measured one with the transfer alone.
    Result warmup;
    if (argc > 2) warmup = Download(options, argv[2]);
    Result r = Download(options, argv[1]);
    const bool ok = r.ok;
    const long long bytes = r.bytes;
    const double seconds = r.seconds;
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    std::printf("updater: %s, %lld bytes in %.3f s = %.1f MB/s (first request of the process: %.3f s); "
                "peak working set %.1f MB, peak private %.1f MB\n",
                ok ? "complete" : "FAILED", bytes, seconds, bytes > 0 ? bytes / seconds / 1e6 : 0.0, warmup.seconds,
                pmc.PeakWorkingSetSize / 1048576.0, pmc.PeakPagefileUsage / 1048576.0);
    RemoveFolder(folder);
    return ok ? 0 : 1;
}
