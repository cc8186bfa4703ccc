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
#include "tests/download/unix_helpers_win.h"

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

using namespace unixside;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::uint64_t kBytes = 256ull * 1024 * 1024;
constexpr int kRounds = 5;

// Seconds `transfer` took for `bytes` into `path`, or a negative value. The
// transfers of a run share one engine, as in the program: each variant keeps
// its own across the rounds.
double TimeOurs(CWinInetTransfer& transfer, const std::string& url, const std::wstring& path,
                std::uint64_t bytes, bool checkFile) {
    CYoutubeFile movie;
    movie.m_strVideoUrl = Widen(url);
    movie.m_strFilePath = path;
    CRunGate gate;
    CTransferControl control(gate);
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
    Scratch scratch(L"tb-download-bench");
    if (!scratch.Ok()) {
        std::fprintf(stderr, "download bench: no usable Unix path for the helpers\n");
        return 1;
    }
    const std::wstring bigFile = scratch.win + L"www\\bench.flv";
    const std::wstring ourPath = scratch.win + L"ours.flv";

    CreateDirectoryW((scratch.win + L"www").c_str(), nullptr);
    bool failed = !WriteBigFile(bigFile);
    if (failed)
        std::fprintf(stderr, "download bench: cannot write the 256 MiB file\n");
    double ours = -1, readonly = -1, curl = -1, standinSeconds = -1, lag = -1;
    auto best = [&failed](double& keep, double took) {
        failed = failed || took < 0;
        keep = keep < 0 ? took : std::min(keep, took);
    };
    if (!failed) {
        Nginx nginx(scratch); // its files and the 256 MiB go with the scratch folder
        failed = !nginx.Ok();
        const std::string url = "http://127.0.0.1:" + std::to_string(nginx.Port()) + "/bench.flv";
        CWinInetTransfer writing(CWinInetTransfer::Output::File);
        // The same transfer, its bytes discarded.
        CWinInetTransfer discarding(CWinInetTransfer::Output::Discard);
        for (int round = 0; round < kRounds && !failed; ++round) {
            best(ours, TimeOurs(writing, url, ourPath, kBytes, true));
            best(readonly, TimeOurs(discarding, url, ourPath, kBytes, false));
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
        CWinInetTransfer transfer;
        for (int round = 0; round < 3 && !failed; ++round)
            best(standinSeconds,
                 TimeOurs(transfer, site.Root() + "bench.flv", ourPath, kBytes, true));
    }
    if (!failed) {
        lag = SlowLinkLagMs(scratch);
        failed = lag < 0;
    }

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
