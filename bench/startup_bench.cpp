// Prints the dialer's start-up time (process start until the tray icon is up
// and the start-up dial has been started) next to a bare window program's,
// measured the same way in the same run: both start the recording rasdial
// fixture, and the clock stops when its line lands. Runs alternate, so the
// ratio is also given as the median of each pair's ratio, which a machine
// busy with other work moves less. With each program's peak memory by then,
// and the updater's time until its window is up.
//   startup_bench.exe [DIALER.exe UPDATER.exe]   (default: bench\vornadel.exe, bench\update.exe)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring Folder() {
    wchar_t buf[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::wstring p(buf, n);
    return p.substr(0, p.find_last_of(L'\\'));
}

bool FileHasData(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA a{};
    return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a) && a.nFileSizeLow > 0;
}

struct FindShown {
    DWORD pid;
    bool found;
};

BOOL CALLBACK FindShownWindow(HWND hwnd, LPARAM param) {
    auto* find = reinterpret_cast<FindShown*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == find->pid && IsWindowVisible(hwnd)) find->found = true;
    return !find->found;
}

bool HasShownWindow(DWORD pid) {
    FindShown find{pid, false};
    EnumWindows(FindShownWindow, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

struct Run {
    double ms = -1;  // -1: the mark never came
    double privateKb = 0, workingSetKb = 0;
};

// Starts EXE and waits for the mark: the fixture's record, or (record empty)
// a shown window of the program. Its peak memory is read before it is ended.
Run TimeOne(const std::wstring& exe, const std::wstring& record) {
    if (!record.empty()) DeleteFileW(record.c_str());
    std::wstring cmd = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    Run run;
    const auto start = std::chrono::steady_clock::now();
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return run;
    auto marked = [&] { return record.empty() ? HasShownWindow(pi.dwProcessId) : FileHasData(record); };
    int waited = 0;
    for (; waited < 20000 && !marked(); ++waited) Sleep(1);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    if (waited < 20000) run.ms = took.count();
    PROCESS_MEMORY_COUNTERS pmc{};
    if (GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof(pmc))) {
        run.privateKb = pmc.PeakPagefileUsage / 1024.0;
        run.workingSetKb = pmc.PeakWorkingSetSize / 1024.0;
    }
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return run;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

template <typename F>
std::vector<double> Each(const std::vector<Run>& runs, F field) {
    std::vector<double> out;
    for (const Run& r : runs)
        if (r.ms >= 0) out.push_back(field(r));
    return out;
}

void PrintRuns(const char* name, const std::vector<Run>& runs) {
    const auto ms = Each(runs, [](const Run& r) { return r.ms; });
    std::printf("  %-16s %8.1f ms (%zu ok), peak private memory %6.0f KB, peak working set %6.0f KB\n", name,
                Median(ms), ms.size(), Median(Each(runs, [](const Run& r) { return r.privateKb; })),
                Median(Each(runs, [](const Run& r) { return r.workingSetKb; })));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring bin = Folder();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring record = std::wstring(temp) + L"vornadel-startup-bench.log";
    SetEnvironmentVariableW(L"VORNADEL_RECORD", record.c_str());
    // An account and a password, so the dialer dials at start-up.
    WritePrivateProfileStringA("Option", "Text1", "ADSL", "list.ini");
    WritePrivateProfileStringA("Option", "Text2", "bench", "list.ini");
    WritePrivateProfileStringA("Option", "Text3", "bench", "list.ini");

    const std::wstring dialer = argc > 2 ? argv[1] : bin + L"\\bench\\vornadel.exe";
    const std::wstring updater = argc > 2 ? argv[2] : bin + L"\\bench\\update.exe";
    const std::wstring minimal = bin + L"\\bench\\minimal_window.exe";
    const int runs = 21;
    std::vector<Run> d, m, u;
    std::vector<double> ratios;
    TimeOne(dialer, record);  // warm the file cache
    TimeOne(minimal, record);
    for (int i = 0; i < runs; ++i) {
        d.push_back(TimeOne(dialer, record));
        m.push_back(TimeOne(minimal, record));
        if (d.back().ms >= 0 && m.back().ms > 0) ratios.push_back(d.back().ms / m.back().ms);
    }
    for (int i = 0; i < 5; ++i) u.push_back(TimeOne(updater, L""));
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "list.ini");
    DeleteFileW(record.c_str());
    std::printf("start-up until tray icon up and dial started, median of %d runs\n", runs);
    PrintRuns("vornadel.exe", d);
    PrintRuns("minimal window", m);
    const double md = Median(Each(d, [](const Run& r) { return r.ms; }));
    const double mm = Median(Each(m, [](const Run& r) { return r.ms; }));
    if (mm > 0)
        std::printf("  ratio            %8.2fx of the medians, %.2fx median of the pairs (goal: at most 1.3x)\n",
                    md / mm, Median(ratios));
    std::printf("updater until its window is up, median of %zu runs\n", u.size());
    PrintRuns("update.exe", u);
    return ratios.empty() ? 1 : 0;
}
