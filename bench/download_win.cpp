// One video file of 256 MiB from the stand-in site into a file, by our
// transfer and by curl against the same server in the same run.
//
// Prints
//   download_256mib_mb_s: <our transfer> MB/s
//   curl_256mib_mb_s: <curl> MB/s
//   download_vs_curl_ratio: <ours / curl> x
// (MB = 10^6 bytes; the two clients take turns, and the best round of each counts.)
//
// curl is the Linux program (TB_CURL, default /usr/bin/curl), started from
// this Wine process through /bin/sh; its figure is the transfer time curl
// itself measures.
#include "download/wininet_transfer.h"
#include "model/movie.h"
#include "standin/server.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

constexpr std::uint64_t kBytes = 256ull * 1024 * 1024;
// Other work on the machine slows single runs a lot; the best of a few
// alternating rounds shows what each client can do.
constexpr int kRounds = 5;

// Addresses and Wine's Unix paths are UTF-8.
std::wstring Widen(const std::string& text) {
    if (text.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::uint64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The Unix path of a Windows path, through Wine's own export.
std::string UnixPath(const std::wstring& path) {
    using Fn = char*(__cdecl*)(const wchar_t*);
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!fn)
        return {};
    char* unix = fn(path.c_str());
    if (!unix)
        return {};
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Seconds our transfer took, or a negative value when it failed.
double TimeOurs(const std::string& url, const std::wstring& path) {
    CYoutubeFile movie;
    movie.m_strVideoUrl = Widen(url);
    movie.m_strFilePath = path;
    const auto start = std::chrono::steady_clock::now();
    const int rc = DownloadVideo(movie);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (rc != 0 || FileSize(path) != kBytes || movie.m_nProgress.load() != 100) {
        std::fprintf(stderr, "download bench: our transfer failed (rc %d, %llu bytes)\n", rc,
                     static_cast<unsigned long long>(FileSize(path)));
        return -1;
    }
    return took.count();
}

// Seconds curl reported for the transfer, or a negative value on failure.
double TimeCurl(const std::string& url, const std::wstring& folder) {
    const char* env = std::getenv("TB_CURL");
    const std::string curl = env && *env ? env : "/usr/bin/curl";
    const std::wstring outPath = folder + L"curl.flv";
    const std::wstring timingPath = folder + L"curl-timing.txt";
    DeleteFileW(outPath.c_str());
    DeleteFileW(timingPath.c_str());
    const std::string unixFolder = UnixPath(folder);
    if (unixFolder.empty() || unixFolder.find('\'') != std::string::npos) {
        std::fprintf(stderr, "download bench: no usable Unix path for the curl comparison\n");
        return -1;
    }
    // Wine hands a Unix program neither our pipes nor a process handle, so a
    // shell sends curl's one line of figures (written after the transfer) into
    // a file that we poll.
    const std::string command = "Z:\\bin\\sh -c \"'" + curl + "' -s -o '" + unixFolder +
                                "curl.flv' -w '%{time_total} %{size_download}\\n' '" + url +
                                "' > '" + unixFolder + "curl-timing.txt'; echo end >> '" +
                                unixFolder + "curl-timing.txt'\"";
    std::wstring wide = Widen(command);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        std::fprintf(stderr, "download bench: could not start %s (%lu)\n", curl.c_str(),
                     GetLastError());
        return -1;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // The shell adds "end" once curl is over, also when curl could not run.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(3);
    std::string line;
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream in{std::filesystem::path(timingPath)};
        std::stringstream text;
        text << in.rdbuf();
        line = text.str();
        if (line.size() >= 4 && line.compare(line.size() - 4, 4, "end\n") == 0)
            break;
        line.clear();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    double seconds = -1;
    unsigned long long bytes = 0;
    if (line.empty() || std::sscanf(line.c_str(), "%lf %llu", &seconds, &bytes) != 2 ||
        bytes != kBytes || FileSize(outPath) != kBytes || seconds <= 0) {
        std::fprintf(stderr, "download bench: curl failed (%s)\n", line.c_str());
        return -1;
    }
    return seconds;
}

} // namespace

int main() {
    // The body is cut from one precomputed pattern so that the server side
    // costs little and the figures are those of the two clients.
    standin::Server site;
    const std::string pattern = standin::VideoBytes("bench256MiB", 1 << 20);
    const std::string target = "/bench.flv";
    site.AddBody(target, kBytes, [&pattern](std::uint64_t offset, char* out, std::size_t count) {
        while (count > 0) {
            const std::size_t at = static_cast<std::size_t>(offset % pattern.size());
            const std::size_t n = std::min(count, pattern.size() - at);
            std::memcpy(out, pattern.data() + at, n);
            out += n;
            offset += n;
            count -= n;
        }
    });
    const std::string url = site.Root() + target.substr(1);

    wchar_t temp[MAX_PATH + 1] = {};
    if (!GetTempPathW(MAX_PATH + 1, temp))
        return 1;
    const std::wstring folder = std::wstring(temp) + L"tb-download-bench\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring ourPath = folder + L"ours.flv";

    double ours = -1, curl = -1;
    bool failed = false;
    for (int round = 0; round < kRounds && !failed; ++round) {
        const double a = TimeOurs(url, ourPath);
        const double b = a < 0 ? -1 : TimeCurl(url, folder);
        failed = a < 0 || b < 0;
        ours = ours < 0 ? a : std::min(ours, a);
        curl = curl < 0 ? b : std::min(curl, b);
    }
    // 256 MiB files are not left behind, whatever happened.
    DeleteFileW(ourPath.c_str());
    DeleteFileW((folder + L"curl.flv").c_str());
    DeleteFileW((folder + L"curl-timing.txt").c_str());
    RemoveDirectoryW(folder.c_str());
    if (failed)
        return 1;

    const double oursMb = kBytes / ours / 1e6;
    const double curlMb = kBytes / curl / 1e6;
    std::printf("download_256mib_mb_s: %.0f MB/s\n", oursMb);
    std::printf("curl_256mib_mb_s: %.0f MB/s\n", curlMb);
    std::printf("download_vs_curl_ratio: %.2f x\n", oursMb / curlMb);
    return 0;
}
