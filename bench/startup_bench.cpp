// Prints the dialer's start-up time (process start until the tray icon is up
// and the start-up dial has been started) next to a bare window program's,
// measured the same way in the same run: both start the recording rasdial
// fixture, and the clock stops when its line lands.
#include <windows.h>

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

// Milliseconds from process start to the fixture's record, or -1.
double TimeOne(const std::wstring& exe, const std::wstring& record) {
    DeleteFileW(record.c_str());
    std::wstring cmd = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    const auto start = std::chrono::steady_clock::now();
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    int waited = 0;
    for (; waited < 20000 && !FileHasData(record); ++waited) Sleep(1);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    const double ms = waited < 20000 ? took.count() : -1;
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return ms;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main() {
    const std::wstring bin = Folder();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring record = std::wstring(temp) + L"vornadel-startup-bench.log";
    SetEnvironmentVariableW(L"VORNADEL_RECORD", record.c_str());
    // An account and a password, so the dialer dials at start-up.
    WritePrivateProfileStringA("Option", "Text1", "ADSL", "list.ini");
    WritePrivateProfileStringA("Option", "Text2", "bench", "list.ini");
    WritePrivateProfileStringA("Option", "Text3", "bench", "list.ini");

    const std::wstring dialer = bin + L"\\bench\\vornadel.exe";
    const std::wstring minimal = bin + L"\\bench\\minimal_window.exe";
    const int runs = 15;
    std::vector<double> d, m;
    TimeOne(dialer, record);  // warm the file cache
    TimeOne(minimal, record);
    for (int i = 0; i < runs; ++i) {
        if (const double a = TimeOne(dialer, record); a >= 0) d.push_back(a);
        if (const double b = TimeOne(minimal, record); b >= 0) m.push_back(b);
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "list.ini");
    DeleteFileW(record.c_str());
    std::printf("start-up until tray icon up and dial started, median of %d runs\n", runs);
    std::printf("  vornadel.exe     %8.1f ms (%zu ok)\n", Median(d), d.size());
    std::printf("  minimal window   %8.1f ms (%zu ok)\n", Median(m), m.size());
    if (!m.empty() && Median(m) > 0) std::printf("  ratio            %8.2fx (goal: at most 1.5x)\n", Median(d) / Median(m));
    return (d.empty() || m.empty()) ? 1 : 0;
}
