// Figures for the video transfer.
//
// Prints
//   download_nginx_mb_s: <our transfer, writing to disk> MB/s
//   download_readonly_mb_s: <our transfer, bytes discarded> MB/s
//   curl_nginx_mb_s: <curl, writing to disk> MB/s
//   download_vs_curl_ratio: <ours / curl> x
//   download_vs_readonly_ratio: <writing / discarding> x
//   download_standin_mb_s: <our transfer from the stand-in site> MB/s
//   slow_link_lag_ms: <largest lag of file and percent behind a 5 KiB/s body> ms
// (MB = 10^6 bytes.)
//
// The fast figures fetch one 256 MiB file from nginx on loopback (it sends
// from the page cache without copying, so the clients are what is measured;
// the stand-in site generates its bodies too slowly for that). The benchmark
// writes nginx's configuration into a temporary folder, starts it as the
// current user on a free loopback port and stops it again. The three clients
// take turns; the best of five rounds of each counts, as other work on the
// machine slows single rounds a lot.
//
// nginx and curl are Linux programs (TB_NGINX, default /usr/sbin/nginx;
// TB_CURL, default /usr/bin/curl), run from this Wine process through
// /bin/sh. Wine hands a Unix program neither our pipes nor a process handle,
// so each shell script ends by writing a marker file that we poll.
#include "download/wininet_transfer.h"
#include "model/movie.h"
#include "standin/server.h"

#include <winsock2.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::uint64_t kBytes = 256ull * 1024 * 1024;
constexpr int kRounds = 5;

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

std::string ReadText(const std::wstring& path) {
    std::ifstream in{std::filesystem::path(path)};
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string EnvOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

// The temporary folder of this benchmark: its Windows and Unix paths.
struct Scratch {
    std::wstring win;
    std::string unix;
};

// Runs `script` with /bin/sh and waits (at most `timeout`) for it to end;
// what it printed, or nothing when it could not run or did not end in time.
std::optional<std::string> RunShell(const Scratch& scratch, const std::string& script,
                                    std::chrono::seconds timeout) {
    static int serial = 0;
    const std::string name = "sh" + std::to_string(++serial);
    const std::wstring output = scratch.win + Widen(name) + L".out";
    const std::wstring marker = scratch.win + Widen(name) + L".end";
    {
        std::ofstream file{std::filesystem::path(scratch.win + Widen(name) + L".sh"),
                           std::ios::binary};
        file << "exec >'" << scratch.unix << name << ".out' 2>&1 </dev/null\n"
             << script << "\necho $? >'" << scratch.unix << name << ".end'\n";
        if (!file.flush()) {
            std::fprintf(stderr, "download bench: cannot write a helper script\n");
            return std::nullopt;
        }
    }
    // Windows quoting: the script's path is one argument in double quotes.
    std::wstring command = L"Z:\\bin\\sh \"" + Widen(scratch.unix + name) + L".sh\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        std::fprintf(stderr, "download bench: cannot start /bin/sh (%lu)\n", GetLastError());
        return std::nullopt;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        const std::string end = ReadText(marker);
        if (!end.empty() && end.back() == '\n') {
            const std::string text = ReadText(output);
            if (std::atoi(end.c_str()) != 0) {
                std::fprintf(stderr, "download bench: a helper failed (%s): %s\n",
                             end.substr(0, end.size() - 1).c_str(), text.c_str());
                return std::nullopt;
            }
            return text;
        }
        std::this_thread::sleep_for(20ms);
    }
    std::fprintf(stderr, "download bench: a helper did not end in time\n");
    return std::nullopt;
}

// A loopback port nobody listens on at the moment.
int FreePort() {
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return 0;
    int port = 0;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof addr;
    if (s != INVALID_SOCKET && bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    if (s != INVALID_SOCKET)
        closesocket(s);
    WSACleanup();
    return port;
}

// nginx serving the scratch folder's www/ on a loopback port, for the
// lifetime of this object.
class Nginx {
public:
    explicit Nginx(const Scratch& scratch) : m_scratch(scratch) {
        m_port = FreePort();
        const std::string& u = scratch.unix;
        CreateDirectoryW((scratch.win + L"nginx").c_str(), nullptr);
        std::ofstream conf{std::filesystem::path(scratch.win + L"nginx\\nginx.conf"),
                           std::ios::binary};
        conf << "worker_processes 1;\ndaemon on;\npid " << u << "nginx/nginx.pid;\n"
             << "error_log " << u << "nginx/error.log;\n"
             << "events { worker_connections 64; }\n"
             << "http {\n  access_log off;\n  sendfile on;\n"
             << "  client_body_temp_path " << u << "nginx;\n"
             << "  proxy_temp_path " << u << "nginx;\n  fastcgi_temp_path " << u << "nginx;\n"
             << "  uwsgi_temp_path " << u << "nginx;\n  scgi_temp_path " << u << "nginx;\n"
             << "  server { listen 127.0.0.1:" << m_port << "; root " << u << "www; }\n}\n";
        conf.close();
        m_ok = m_port != 0 && RunShell(scratch, Command(""), 30s).has_value();
        if (!m_ok)
            std::fprintf(stderr, "download bench: nginx did not start (%s)\n", m_nginx.c_str());
    }
    ~Nginx() {
        if (m_ok)
            RunShell(m_scratch, Command("-s stop"), 30s);
    }
    bool Ok() const { return m_ok; }
    int Port() const { return m_port; }

private:
    std::string Command(const std::string& signal) const {
        return "'" + m_nginx + "' -q -p '" + m_scratch.unix + "nginx' -c '" + m_scratch.unix +
               "nginx/nginx.conf' " + signal;
    }
    const Scratch& m_scratch;
    std::string m_nginx = EnvOr("TB_NGINX", "/usr/sbin/nginx");
    int m_port = 0;
    bool m_ok = false;
};

// Seconds our transfer took for `bytes` into `path`, or a negative value.
double TimeOurs(const std::string& url, const std::wstring& path, std::uint64_t bytes,
                bool checkFile) {
    CYoutubeFile movie;
    movie.m_strVideoUrl = Widen(url);
    movie.m_strFilePath = path;
    CRunGate gate;
    CTransferControl control(gate);
    CWinInetTransfer transfer(checkFile ? CWinInetTransfer::Output::File
                                        : CWinInetTransfer::Output::Discard);
    // A new file, as for curl: emptying the last round's 256 MiB is not part
    // of a download.
    DeleteFileW(path.c_str());
    const auto start = Clock::now();
    const int rc = transfer.DownloadVideo(movie, control);
    const std::chrono::duration<double> took = Clock::now() - start;
    if (rc != 0 || movie.m_dwSize.load() != bytes % (1ull << 32) ||
        movie.m_nProgress.load() != 100 || (checkFile && FileSize(path) != bytes)) {
        std::fprintf(stderr, "download bench: our transfer failed (rc %d, %llu bytes)\n", rc,
                     static_cast<unsigned long long>(FileSize(path)));
        return -1;
    }
    return took.count();
}

// Seconds curl reported for the transfer into the scratch folder, or a
// negative value on failure.
double TimeCurl(const Scratch& scratch, const std::string& url) {
    const std::string curl = EnvOr("TB_CURL", "/usr/bin/curl");
    const std::wstring outPath = scratch.win + L"curl.flv";
    DeleteFileW(outPath.c_str());
    const auto text = RunShell(scratch,
                               "'" + curl + "' -s -o '" + scratch.unix +
                                   "curl.flv' -w '%{time_total} %{size_download}\\n' '" + url + "'",
                               3min);
    double seconds = -1;
    unsigned long long bytes = 0;
    if (!text || std::sscanf(text->c_str(), "%lf %llu", &seconds, &bytes) != 2 || bytes != kBytes ||
        FileSize(outPath) != kBytes || seconds <= 0) {
        std::fprintf(stderr, "download bench: curl failed (%s)\n", text ? text->c_str() : "");
        return -1;
    }
    return seconds;
}

// Fills a file of kBytes with a pattern that no compression or sparse file
// could shortcut.
bool WriteBigFile(const std::wstring& path) {
    const std::string pattern = standin::VideoBytes("bench256MiB", 1 << 20);
    std::ofstream out{std::filesystem::path(path), std::ios::binary};
    for (std::uint64_t at = 0; at < kBytes && out; at += pattern.size())
        out.write(pattern.data(), static_cast<std::streamsize>(pattern.size()));
    out.close();
    return FileSize(path) == kBytes;
}

double MbPerS(double seconds) {
    return kBytes / seconds / 1e6;
}

// Our transfer against a body that arrives at 5 KiB/s: every 50 ms for 5 s,
// how long ago the server had sent bytes that are not yet in the file, or not
// yet in the record's size x percent. The largest such lag, or a negative
// value when the transfer did not run.
double SlowLinkLagMs(const Scratch& scratch) {
    // 1 % of the body is 300 bytes, less than one piece of the trickle.
    constexpr std::uint64_t kSize = 30000;
    standin::Server site;
    site.AddBody("/slow", kSize, [](std::uint64_t offset, char* out, std::size_t count) {
        standin::FillVideoBytes("slowlink", offset, out, count);
    });
    standin::FaultSpec trickle;
    trickle.kind = standin::Fault::Trickle;
    trickle.pieceBytes = 512;
    trickle.delay = 100ms;
    site.SetFault("/slow", trickle);

    CYoutubeFile movie;
    movie.m_strVideoUrl = site.WideRoot() + L"slow";
    movie.m_strFilePath = scratch.win + L"slow.flv";
    CRunGate gate;
    CTransferControl control(gate);
    CWinInetTransfer transfer;
    std::thread worker([&] { transfer.DownloadVideo(movie, control); });

    struct Sample {
        Clock::time_point at;
        std::uint64_t file, shown;
    };
    std::vector<Sample> samples;
    site.WaitForRequests(1, 20s);
    const auto start = Clock::now();
    for (auto next = start; next - start < 5s; next += 50ms) {
        std::this_thread::sleep_until(next);
        const std::uint64_t shown = std::uint64_t(movie.m_dwSize.load()) * movie.m_nProgress / 100;
        samples.push_back({Clock::now(), FileSize(movie.m_strFilePath), shown});
    }
    gate.Close();
    control.Abort();
    worker.join();
    DeleteFileW(movie.m_strFilePath.c_str());

    const auto log = site.SendLog("/slow");
    if (log.empty() || log.back().bytes < 20000)
        return -1;
    // Lag of `have` bytes at `at`: since when the server had sent more.
    auto lag = [&](Clock::time_point at, std::uint64_t have) {
        for (const auto& mark : log) {
            if (mark.at > at)
                break;
            if (mark.bytes > have)
                return std::chrono::duration<double, std::milli>(at - mark.at).count();
        }
        return 0.0;
    };
    double worst = 0;
    for (const Sample& s : samples)
        worst = std::max({worst, lag(s.at, s.file), lag(s.at, s.shown)});
    return worst;
}

} // namespace

int main() {
    wchar_t temp[MAX_PATH + 1] = {};
    if (!GetTempPathW(MAX_PATH + 1, temp))
        return 1;
    Scratch scratch;
    scratch.win = std::wstring(temp) + L"tb-download-bench\\";
    CreateDirectoryW(scratch.win.c_str(), nullptr);
    CreateDirectoryW((scratch.win + L"www").c_str(), nullptr);
    scratch.unix = UnixPath(scratch.win);
    if (scratch.unix.empty() || scratch.unix.find('\'') != std::string::npos) {
        std::fprintf(stderr, "download bench: no usable Unix path for the helpers\n");
        return 1;
    }
    if (scratch.unix.back() != '/')
        scratch.unix += '/';
    const std::wstring bigFile = scratch.win + L"www\\bench.flv";
    const std::wstring ourPath = scratch.win + L"ours.flv";

    bool failed = !WriteBigFile(bigFile);
    double ours = -1, readonly = -1, curl = -1, standinSeconds = -1, lag = -1;
    auto best = [&failed](double& keep, double took) {
        failed = failed || took < 0;
        keep = keep < 0 ? took : std::min(keep, took);
    };
    if (!failed) {
        Nginx nginx(scratch);
        failed = !nginx.Ok();
        const std::string url = "http://127.0.0.1:" + std::to_string(nginx.Port()) + "/bench.flv";
        for (int round = 0; round < kRounds && !failed; ++round) {
            best(ours, TimeOurs(url, ourPath, kBytes, true));
            // The same transfer, its bytes discarded.
            best(readonly, TimeOurs(url, ourPath, kBytes, false));
            best(curl, TimeCurl(scratch, url));
        }
    }
    if (!failed) {
        standin::Server site;
        const std::string pattern = standin::VideoBytes("bench256MiB", 1 << 20);
        site.AddBody("/bench.flv", kBytes,
                     [&pattern](std::uint64_t offset, char* out, std::size_t count) {
                         while (count > 0) {
                             const auto at = static_cast<std::size_t>(offset % pattern.size());
                             const std::size_t n = std::min(count, pattern.size() - at);
                             std::memcpy(out, pattern.data() + at, n);
                             out += n;
                             offset += n;
                             count -= n;
                         }
                     });
        for (int round = 0; round < 3 && !failed; ++round)
            best(standinSeconds, TimeOurs(site.Root() + "bench.flv", ourPath, kBytes, true));
    }
    if (!failed) {
        lag = SlowLinkLagMs(scratch);
        failed = lag < 0;
    }

    // 256 MiB files are not left behind, whatever happened.
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(scratch.win), ec);
    if (failed)
        return 1;

    std::printf("download_nginx_mb_s: %.0f MB/s\n", MbPerS(ours));
    std::printf("download_readonly_mb_s: %.0f MB/s\n", MbPerS(readonly));
    std::printf("curl_nginx_mb_s: %.0f MB/s\n", MbPerS(curl));
    std::printf("download_vs_curl_ratio: %.2f x\n", curl / ours);
    std::printf("download_vs_readonly_ratio: %.2f x\n", readonly / ours);
    std::printf("download_standin_mb_s: %.0f MB/s\n", MbPerS(standinSeconds));
    std::printf("slow_link_lag_ms: %.0f ms\n", lag);
    return 0;
}
