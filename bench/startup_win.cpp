// Start-up time of the program under Wine: from process start until its main
// window is shown, with no project and with a default project of 10,000 movies.
// Prints `startup_empty_ms` and `startup_10000_movies_ms` (median of five runs).
#include "framework/archive.h"
#include "framework/disk_file.h"
#include "model/movie_list.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::wstring ModuleFolder() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L"\\/") + 1);
}

struct Find {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindMain(HWND hwnd, LPARAM lParam) {
    auto* f = reinterpret_cast<Find*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == f->pid && IsWindowVisible(hwnd) &&
        (GetWindowLongW(hwnd, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) {
        wchar_t cls[64] = {};
        GetClassNameW(hwnd, cls, 64);
        if (std::wstring(cls) != L"#32770") {
            f->found = hwnd;
            return FALSE;
        }
    }
    return TRUE;
}

// Movies as the reader would give them for the stand-in site's addresses.
struct ListedReader : IWatchPageReader {
    std::wstring GetVideoUrl(const std::wstring& url, std::wstring& title) override {
        const std::wstring id = url.substr(url.find(L"movie") + 5);
        title = L"Movie number " + id;
        return L"http://127.0.0.1:8080/get_video?video_id=movie" + id + L"&t=abc%3d";
    }
};

// A default project of `movies` entries, written the way the program writes it.
void WriteProject(const std::wstring& path, int movies) {
    ListedReader reader;
    CYoutubeFileList list(&reader);
    for (int i = 0; i < movies; ++i) {
        MoviePtr movie =
            list.AddMovie(L"http://127.0.0.1:8080/watch?v=movie" + std::to_wstring(100000 + i));
        movie->m_dwSize = 1000000u + static_cast<std::uint32_t>(i);
        movie->m_bChecked = i % 2;
    }
    SaveToFile(path, [&](CArchive& ar) { list.Serialize(ar); });
}

// One start: milliseconds until the main window is visible, or -1.
double StartOnce(const std::wstring& exe, const std::wstring& folder) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exe + L"\"";
    auto start = Clock::now();
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &si, &pi))
        return -1;
    Find f{pi.dwProcessId, nullptr};
    double ms = -1;
    while (Clock::now() - start < std::chrono::seconds(30)) {
        EnumWindows(FindMain, reinterpret_cast<LPARAM>(&f));
        if (f.found) {
            ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Ended without the close-time save, so every run starts from the same files.
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return ms;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"tb_bench_startup\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring exe = folder + L"TorvaneBrenlow.exe";
    std::wstring project = folder + L"Default.torvane";
    if (!CopyFileW((ModuleFolder() + L"..\\app\\TorvaneBrenlow.exe").c_str(), exe.c_str(), FALSE)) {
        std::fprintf(stderr, "startup: program not found next to the benchmarks\n");
        return 1;
    }
    struct Case {
        const char* name;
        int movies; // -1: no default project
    };
    for (Case c : {Case{"startup_empty_ms", -1}, Case{"startup_10000_movies_ms", 10000}}) {
        DeleteFileW(project.c_str());
        if (c.movies >= 0)
            WriteProject(project, c.movies);
        StartOnce(exe, folder); // warm-up: Wine maps the program for the first time
        std::vector<double> runs;
        for (int i = 0; i < 5; ++i)
            runs.push_back(StartOnce(exe, folder));
        if (*std::min_element(runs.begin(), runs.end()) < 0) {
            std::fprintf(stderr, "startup: the main window did not appear\n");
            return 1;
        }
        std::printf("%s: %.0f ms\n", c.name, Median(runs));
        std::fflush(stdout);
    }
    DeleteFileW(project.c_str());
    DeleteFileW(exe.c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
