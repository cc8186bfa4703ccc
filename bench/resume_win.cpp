// What resuming a stopped download saves.
//
// Prints
//   resume_saved_bytes_pct: <bytes of the movie not fetched again> %
//
// A 64 MiB movie from the stand-in site, at about 12 MB/s so that its
// progress can be watched, is downloaded in a real run and stopped as soon as
// its progress shows half; the next run continues it. The figure is the part
// of the movie that the second run did not fetch again, from the bytes the
// site sent for it (its send log), checked against the file, which must hold
// exactly the movie's bytes. Every wait has a deadline: whatever goes wrong,
// the benchmark says what and ends with status 1 instead of a figure.
#include "download/download_run.h"
#include "download/wininet_transfer.h"
#include "standin/server.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr std::uint64_t kSize = 64ull * 1024 * 1024;
constexpr char kId[] = "resume64MiB";
constexpr int kStopPercent = 50;

class AddressReader : public IWatchPageReader {
public:
    std::wstring GetVideoUrl(const std::wstring& url, std::wstring& title) override {
        title = L"resume";
        return url;
    }
};

bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

int Fail(const char* what) {
    std::fprintf(stderr, "resume bench: %s\n", what);
    return 1;
}

// Bytes the site sent for `path` since its log was cleared: each response
// counts from its own first byte, so a mark below the one before starts the
// next response.
std::uint64_t BytesSent(const standin::Server& site, const std::string& path) {
    std::uint64_t total = 0, last = 0;
    for (const standin::SentMark& mark : site.SendLog(path)) {
        if (mark.bytes <= last)
            total += last;
        last = mark.bytes;
    }
    return total + last;
}

bool FileHoldsTheMovie(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> have(1 << 20), want(1 << 20);
    std::uint64_t at = 0;
    while (in) {
        in.read(have.data(), static_cast<std::streamsize>(have.size()));
        const auto n = static_cast<std::size_t>(in.gcount());
        if (n == 0)
            break;
        standin::FillVideoBytes(kId, at, want.data(), n);
        if (!std::equal(have.begin(), have.begin() + static_cast<std::ptrdiff_t>(n), want.begin()))
            return false;
        at += n;
    }
    return at == kSize;
}

struct TempFolder {
    TempFolder() {
        path = fs::temp_directory_path() /
               ("tb_resume_bench_" + std::to_string(GetCurrentProcessId()));
        fs::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

} // namespace

int main() {
    TempFolder folder;
    standin::Server site;
    site.AddBody("/movie", kSize, [](std::uint64_t offset, char* out, std::size_t count) {
        standin::FillVideoBytes(kId, offset, out, count);
    });
    standin::FaultSpec rate;
    rate.kind = standin::Fault::Trickle;
    rate.pieceBytes = 64 * 1024;
    rate.delay = 5ms;
    site.SetFault("/movie", rate);

    AddressReader reader;
    CYoutubeFileList movies(&reader);
    std::atomic<std::int32_t> flag{0};
    CDownloadRun run(movies, flag);
    run.SetTransfer(std::make_shared<CWinInetTransfer>());
    const std::wstring out = folder.path.wstring();
    run.SetOutputFolder([out] { return out; });

    MoviePtr movie = movies.AddMovie(site.WideRoot() + L"movie");
    movie->m_bChecked = 1;
    if (!run.OnDownload())
        return Fail("the first run did not start");
    if (!PollUntil([&] { return movie->m_nProgress.load() >= kStopPercent; }, 60s))
        return Fail("the first run did not reach half within 60 s");
    run.StopDownload();
    const fs::path file = movie->m_strFilePath;
    std::error_code ec;
    const std::uint64_t kept = fs::file_size(file, ec);
    if (movie->m_nStatus.load() != Cancelled || ec || kept == 0 || kept >= kSize)
        return Fail("the stop did not leave a cancelled movie with a partial file");

    // The stopped response goes on sending until the site sees the closed
    // connection; what it sends meanwhile belongs to the first run.
    if (!PollUntil([&] { return site.OpenConnections() == 0; }, 10s))
        return Fail("the stopped connection stayed open for 10 s");
    site.ClearFaults();
    site.ClearRequests();
    if (!run.OnDownload())
        return Fail("the second run did not start");
    if (!PollUntil([&] { return flag.load() == 0 && run.SchedulerEnded(); }, 120s)) {
        run.StopDownload();
        return Fail("the second run did not end within 120 s");
    }
    if (movie->m_nStatus.load() != Completed)
        return Fail("the resumed download did not complete");
    if (!FileHoldsTheMovie(file))
        return Fail("the resumed file differs from the movie");
    const auto log = site.Requests();
    if (log.size() != 1 || log[0].Header("Range") != "bytes=" + std::to_string(kept) + "-")
        return Fail("the second run did not ask for just the rest of the file");
    const std::uint64_t refetched = BytesSent(site, "/movie");
    if (refetched > kSize)
        return Fail("the site sent more than the movie");

    std::printf("resume_saved_bytes_pct: %.1f %%\n",
                100.0 * static_cast<double>(kSize - refetched) / static_cast<double>(kSize));
    std::fprintf(stderr, "resume bench: %llu bytes on disk at the stop, %llu sent again\n",
                 static_cast<unsigned long long>(kept), static_cast<unsigned long long>(refetched));
    return 0;
}
