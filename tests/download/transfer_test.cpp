// The WinInet transfer and whole runs against the stand-in site (under Wine).
#include "download/download_run.h"
#include "download/safe_name.h"
#include "download/wininet_transfer.h"
#include "standin/server.h"

#include "poll.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using tb::test::WaitUntil;

std::string Pattern(std::uint64_t offset, std::size_t count) {
    std::string s(count, '\0');
    for (std::size_t i = 0; i < count; ++i)
        s[i] = static_cast<char>((offset + i) * 7 + 3);
    return s;
}

standin::BodyFiller PatternFiller() {
    return [](std::uint64_t offset, char* out, std::size_t count) {
        const std::string s = Pattern(offset, count);
        std::copy(s.begin(), s.end(), out);
    };
}

standin::FaultSpec FaultOf(standin::Fault kind, std::uint64_t afterBytes = 0,
                           std::size_t pieceBytes = 1, std::chrono::milliseconds delay = 5ms) {
    standin::FaultSpec fault;
    fault.kind = kind;
    fault.afterBytes = afterBytes;
    fault.pieceBytes = pieceBytes;
    fault.delay = delay;
    return fault;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A fresh folder under the temporary folder, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        static std::atomic<int> counter{0};
        m_base = fs::temp_directory_path() / ("tb_dl_" + std::to_string(GetCurrentProcessId()) +
                                              "_" + std::to_string(++counter));
        fs::create_directories(m_base / "out");
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(m_base, ec);
    }
    const fs::path& Base() const { return m_base; }
    fs::path Out() const { return m_base / "out"; }

private:
    fs::path m_base;
};

class TransferTest : public ::testing::Test {
protected:
    std::wstring Url(const std::string& target) {
        return site.WideRoot() + std::wstring(target.begin(), target.end());
    }
    MoviePtr Movie(const std::string& target, const std::wstring& file = L"video.flv") {
        auto movie = std::make_shared<CYoutubeFile>();
        movie->m_strVideoUrl = Url(target);
        movie->m_strFilePath = (dir.Out() / file).wstring();
        return movie;
    }

    standin::Server site;
    TempFolder dir;
};

TEST_F(TransferTest, WholeBodyWithItsSizeAndFullProgress) {
    site.AddBody("/v", 2048, PatternFiller());
    MoviePtr movie = Movie("v");
    movie->m_nProgress = 77;
    EXPECT_EQ(DownloadVideo(*movie), 0);
    EXPECT_EQ(movie->m_dwSize.load(), 2048u);
    EXPECT_EQ(movie->m_nProgress.load(), 100);
    EXPECT_EQ(ReadAll(movie->m_strFilePath), Pattern(0, 2048));
    const auto log = site.Requests();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].method, "GET");
    EXPECT_EQ(log[0].Header("User-Agent"), "Torvane Brenlow");
    EXPECT_EQ(log[0].Header("Accept"), "*/*");
}

TEST_F(TransferTest, EmptyBodyGivesAnEmptyFile) {
    site.AddBody("/empty", 0, PatternFiller());
    MoviePtr movie = Movie("empty");
    movie->m_dwSize = 999;
    EXPECT_EQ(DownloadVideo(*movie), 0);
    EXPECT_EQ(movie->m_dwSize.load(), 0u);
    EXPECT_EQ(movie->m_nProgress.load(), 0);
    EXPECT_TRUE(fs::exists(movie->m_strFilePath));
    EXPECT_EQ(fs::file_size(movie->m_strFilePath), 0u);
}

TEST_F(TransferTest, ALongerOldFileIsReplacedByTheNewBody) {
    site.AddBody("/v", 2048, PatternFiller());
    MoviePtr movie = Movie("v");
    {
        std::ofstream old(fs::path(movie->m_strFilePath), std::ios::binary);
        old << std::string(5000, 'o');
    }
    EXPECT_EQ(DownloadVideo(*movie), 0);
    EXPECT_EQ(ReadAll(movie->m_strFilePath), Pattern(0, 2048));
}

TEST_F(TransferTest, WithoutContentLengthTheEndOfTheDataIsSuccess) {
    site.AddBody("/nocl", 5000, PatternFiller());
    site.SetFault("/nocl", FaultOf(standin::Fault::NoContentLength));
    struct Case {
        std::uint32_t sizeBefore;
        std::int32_t progressAfter;
    };
    // A fresh record keeps size and percent at 0; one downloaded before keeps
    // its old size, against which the percent is then counted.
    for (const Case c : {Case{0, 0}, Case{10000, 50}}) {
        MoviePtr movie = Movie("nocl");
        movie->m_dwSize = c.sizeBefore;
        EXPECT_EQ(DownloadVideo(*movie), 0);
        EXPECT_EQ(movie->m_dwSize.load(), c.sizeBefore);
        EXPECT_EQ(movie->m_nProgress.load(), c.progressAfter);
        EXPECT_EQ(ReadAll(movie->m_strFilePath), Pattern(0, 5000));
    }
}

TEST_F(TransferTest, OnlyStatus200IsAccepted) {
    MoviePtr missing = Movie("nothing-here");
    EXPECT_EQ(DownloadVideo(*missing), 1);
    EXPECT_EQ(fs::file_size(missing->m_strFilePath), 0u);
    site.AddPage("/auth", "no", "text/plain", 401);
    EXPECT_EQ(DownloadVideo(*Movie("auth")), 1);
    EXPECT_EQ(site.RequestCount("/auth"), 1u); // no retry
}

TEST_F(TransferTest, FollowsARedirectToASecondServer) {
    standin::Server other;
    other.AddBody("/moved", 3000, PatternFiller());
    site.AddRedirect("/r", other.Root() + "moved");
    MoviePtr movie = Movie("r");
    EXPECT_EQ(DownloadVideo(*movie), 0);
    EXPECT_EQ(ReadAll(movie->m_strFilePath), Pattern(0, 3000));
    EXPECT_EQ(other.RequestCount("/moved"), 1u);
}

TEST_F(TransferTest, PercentOfALargeBodyNeverGoesBackAndEndsAt100) {
    // Past 42,949,672 bytes a 32-bit count x 100 would wrap.
    const std::uint64_t size = 48ull << 20;
    site.AddBody("/big", size, [](std::uint64_t offset, char* out, std::size_t count) {
        std::fill(out, out + count, static_cast<char>(offset >> 20));
    });
    MoviePtr movie = Movie("big");
    std::atomic<bool> done{false};
    std::vector<std::int32_t> seen;
    std::thread watcher([&] {
        while (!done)
            seen.push_back(movie->m_nProgress.load());
    });
    EXPECT_EQ(DownloadVideo(*movie), 0);
    done = true;
    watcher.join();
    seen.push_back(movie->m_nProgress.load());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 100);
    EXPECT_EQ(fs::file_size(movie->m_strFilePath), size);
}

// The transfer as a run uses it, with short waits before retries.
int Download(CYoutubeFile& movie, std::chrono::milliseconds firstWait = 5ms) {
    CRunGate gate;
    CTransferControl control(gate);
    CWinInetTransfer transfer;
    transfer.SetFirstRetryWait(firstWait);
    return transfer.DownloadVideo(movie, control);
}

TEST_F(TransferTest, ACutOffBodyIsAskedForAgainFromWhereItStopped) {
    site.AddBody("/v", 200000, PatternFiller());
    for (auto kind : {standin::Fault::EarlyClose, standin::Fault::Reset}) {
        site.ClearRequests();
        site.SetFault("/v", [&] {
            auto f = FaultOf(kind, 80000);
            f.times = 1;
            return f;
        }());
        MoviePtr movie = Movie("v");
        EXPECT_EQ(Download(*movie), 0);
        EXPECT_EQ(movie->m_nProgress.load(), 100);
        EXPECT_TRUE(ReadAll(movie->m_strFilePath) == Pattern(0, 200000));
        const auto log = site.Requests();
        ASSERT_EQ(log.size(), 2u);
        EXPECT_FALSE(log[0].HasHeader("Range"));
        // After an orderly early close the client holds every byte sent; a
        // reset may lose what it had not read yet, and asks from there.
        if (kind == standin::Fault::EarlyClose) {
            EXPECT_EQ(log[1].Header("Range"), "bytes=80000-");
        }
    }
}

TEST_F(TransferTest, CutOffThreeTimesMoreFailsAndHttpErrorsAreNotRetried) {
    site.AddBody("/v", 200000, PatternFiller());
    // Without ranges every retry starts over and is cut again.
    site.SetRangeSupport(false);
    for (auto kind : {standin::Fault::EarlyClose, standin::Fault::Reset}) {
        site.ClearRequests();
        site.SetFault("/v", FaultOf(kind, 50000));
        EXPECT_EQ(Download(*Movie("v")), 1);
        EXPECT_EQ(site.RequestCount("/v"), 4u);
    }
    site.AddPage("/broken", "no", "text/plain", 500);
    EXPECT_EQ(Download(*Movie("broken")), 1);
    EXPECT_EQ(site.RequestCount("/broken"), 1u);
}

TEST_F(TransferTest, AStoppedDownloadContinuesOnlyFromTheRestOfTheSameBody) {
    constexpr std::size_t kSize = 300000, kHave = 120000;
    struct Case {
        const char* what;
        bool ranges;
        std::size_t servedSize;
        std::size_t requests;
        standin::Fault fault = standin::Fault::None;
        std::uint64_t rangeStart = 0;
    } cases[] = {
        {"continues", true, kSize, 1},
        {"server ignores ranges", false, kSize, 1},
        {"size changed", true, kSize + 5, 2},
        {"range starts earlier", true, kSize, 2, standin::Fault::RangeStart, kHave - 4096},
        {"range starts later", true, kSize, 2, standin::Fault::RangeStart, kHave + 1},
        {"size shrank below the file", true, kHave - 1000, 2},
    };
    for (const Case& c : cases) {
        site.ClearRequests();
        site.ClearFaults();
        if (c.fault != standin::Fault::None)
            site.SetFault("/v", FaultOf(c.fault, c.rangeStart));
        site.SetRangeSupport(c.ranges);
        site.AddBody("/v", c.servedSize, PatternFiller());
        MoviePtr movie = Movie("v");
        movie->m_nStatus = Waiting;
        movie->m_nPrevStatus = Cancelled;
        movie->m_dwSize = kSize;
        movie->m_nProgress = 40;
        {
            std::ofstream partial(fs::path(movie->m_strFilePath),
                                  std::ios::binary | std::ios::trunc);
            partial << Pattern(0, kHave);
        }
        EXPECT_EQ(Download(*movie), 0) << c.what;
        EXPECT_TRUE(ReadAll(movie->m_strFilePath) == Pattern(0, c.servedSize)) << c.what;
        EXPECT_EQ(movie->m_dwSize.load(), c.servedSize) << c.what;
        EXPECT_EQ(movie->m_nProgress.load(), 100) << c.what;
        const auto log = site.Requests();
        ASSERT_EQ(log.size(), c.requests) << c.what;
        EXPECT_EQ(log[0].Header("Range"), "bytes=120000-") << c.what;
        if (c.requests == 2) {
            EXPECT_FALSE(log[1].HasHeader("Range")) << c.what;
        }
    }
    // A record that was not stopped starts afresh, whatever the file holds.
    site.ClearRequests();
    site.ClearFaults();
    MoviePtr fresh = Movie("v");
    fresh->m_dwSize = kSize + 5;
    fresh->m_nPrevStatus = Completed;
    EXPECT_EQ(Download(*fresh), 0);
    EXPECT_FALSE(site.Requests().at(0).HasHeader("Range"));
}

// The bytes already on disk count as soon as the server has agreed to send
// the rest, not only once the first new block is written: a stalled link
// shows where the movie stands instead of 0 %.
TEST_F(TransferTest, AContinuedDownloadShowsItsBytesOnDiskBeforeNewOnesArrive) {
    constexpr std::size_t kSize = 300000, kHave = 120000; // 40 %
    site.AddBody("/v", kSize, PatternFiller());
    site.SetFault("/v", FaultOf(standin::Fault::Stall, 0));
    MoviePtr movie = Movie("v");
    movie->m_nPrevStatus = Cancelled;
    movie->m_dwSize = kSize;
    movie->m_nProgress = 0; // as a run sets it when the movie is taken
    {
        std::ofstream partial(fs::path(movie->m_strFilePath), std::ios::binary | std::ios::trunc);
        partial << Pattern(0, kHave);
    }
    std::atomic<int> result{-1};
    std::thread transfer([&] { result = Download(*movie); });
    EXPECT_TRUE(WaitUntil([&] { return movie->m_nProgress.load() == 40; }, 10s))
        << movie->m_nProgress.load();
    EXPECT_EQ(fs::file_size(fs::path(movie->m_strFilePath)), kHave); // nothing new yet
    site.ReleaseStalls();
    transfer.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_TRUE(ReadAll(movie->m_strFilePath) == Pattern(0, kSize));
}

TEST_F(TransferTest, UncreatableFileFailsBeforeAnyRequest) {
    site.AddBody("/v", 100, PatternFiller());
    MoviePtr movie = Movie("v");
    movie->m_strFilePath = (dir.Base() / "gone" / "out" / "x.flv").wstring();
    EXPECT_EQ(DownloadVideo(*movie), 1);
    movie->m_strVideoUrl.clear();
    movie->m_strFilePath = (dir.Out() / "y.flv").wstring();
    EXPECT_EQ(DownloadVideo(*movie), 1); // an empty address cannot be split
    EXPECT_EQ(site.RequestCount(), 0u);
}

// ---- Whole runs ----

class RunTest : public TransferTest {
protected:
    RunTest() {
        transfer->SetFirstRetryWait(5ms);
        run.SetTransfer(transfer);
        run.SetOutputFolder([this] { return folder; });
    }
    ~RunTest() override { run.StopDownload(); }
    MoviePtr Add(const std::string& target, const std::wstring& title) {
        MoviePtr movie = movies.AddMovie(Url(target));
        movie->m_strTitle = title;
        movie->m_bChecked = 1;
        return movie;
    }
    bool RunEnds() {
        return WaitUntil([&] { return flag.load() == 0; }) &&
               WaitUntil([&] { return run.SchedulerEnded(); });
    }

    class UrlReader : public IWatchPageReader {
    public:
        std::wstring GetVideoUrl(const std::wstring& url, std::wstring& title) override {
            title.clear();
            return url;
        }
    } reader;
    std::shared_ptr<CWinInetTransfer> transfer = std::make_shared<CWinInetTransfer>();
    std::wstring folder = dir.Out().wstring();
    CYoutubeFileList movies{&reader};
    std::atomic<std::int32_t> flag{0};
    CDownloadRun run{movies, flag};
};

TEST_F(RunTest, EarlyCloseEndsFailedWithNoFile) {
    site.AddBody("/v", 200000, PatternFiller());
    site.SetFault("/v", FaultOf(standin::Fault::EarlyClose, 1000));
    MoviePtr movie = Add("v", L"short");
    run.OnDownload();
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(movie->m_nStatus.load(), Failed);
    EXPECT_EQ(movie->m_bChecked.load(), 1);
    EXPECT_FALSE(fs::exists(dir.Out() / "short.flv"));
}

TEST_F(RunTest, FolderWhoseParentIsGoneFailsWithoutARequest) {
    site.AddBody("/v", 100, PatternFiller());
    folder = (dir.Base() / "gone" / "out").wstring();
    MoviePtr movie = Add("v", L"t");
    run.OnDownload();
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(movie->m_nStatus.load(), Failed);
    EXPECT_EQ(site.RequestCount(), 0u);
}

TEST_F(RunTest, HostileTitlesLandAsSafeNamesInsideTheOutputFolder) {
    site.AddBody("/v", 64, PatternFiller());
    const std::wstring titles[] = {L"..\\..\\x", L"CON", L"a:b?", std::wstring(300, L't')};
    std::vector<MoviePtr> added;
    for (const auto& t : titles)
        added.push_back(Add("v", t));
    run.OnDownload();
    ASSERT_TRUE(RunEnds());
    for (const MoviePtr& m : added) {
        EXPECT_EQ(m->m_nStatus.load(), Completed) << m->m_strFilePath;
        EXPECT_EQ(fs::path(m->m_strFilePath).parent_path(), dir.Out());
        EXPECT_LE(m->m_strFilePath.size(), kMaxPathChars);
    }
    EXPECT_TRUE(fs::exists(dir.Out() / ".._.._x.flv"));
    EXPECT_TRUE(fs::exists(dir.Out() / "_CON.flv"));
    EXPECT_TRUE(fs::exists(dir.Out() / "a_b_.flv"));
    // Nothing outside the output folder.
    std::vector<fs::path> outside;
    for (const auto& e : fs::directory_iterator(dir.Base()))
        outside.push_back(e.path());
    EXPECT_EQ(outside, std::vector<fs::path>{dir.Out()});
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Out()), fs::directory_iterator()), 4);
}

TEST_F(RunTest, StopDuringATrickleCancelsKeepsThePartialFileAndReleasesEverything) {
    site.AddBody("/slow", 10 << 20, PatternFiller());
    site.SetFault("/slow", FaultOf(standin::Fault::Trickle, 0, 4096, 20ms));
    site.AddBody("/v", 64, PatternFiller());
    MoviePtr queued = Add("v", L"queued");
    queued->m_nStatus = Completed;        // its status before the run
    MoviePtr slow = Add("slow", L"slow"); // newest: enumerated first
    run.OnDownload();
    ASSERT_TRUE(site.WaitForRequests(1, 20s));
    ASSERT_TRUE(WaitUntil([&] { return site.OpenConnections() == 1; }));
    ASSERT_EQ(slow->m_nStatus.load(), Downloading);
    run.StopDownload();
    EXPECT_EQ(flag.load(), 0);
    EXPECT_EQ(slow->m_nStatus.load(), Cancelled);
    EXPECT_EQ(queued->m_nStatus.load(), Completed);
    EXPECT_TRUE(run.SchedulerEnded());
    EXPECT_EQ(run.Stragglers(), 0u);
    // The partial file stays, and nobody holds it any more.
    const fs::path partial = dir.Out() / "slow.flv";
    ASSERT_TRUE(fs::exists(partial));
    HANDLE h = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    EXPECT_TRUE(WaitUntil([&] { return site.OpenConnections() == 0; }));
    EXPECT_EQ(site.RequestCount("/v"), 0u);
}

// The server's bytes sent by `at`, from its send log.
std::uint64_t SentBy(const std::vector<standin::SentMark>& log,
                     std::chrono::steady_clock::time_point at) {
    std::uint64_t bytes = 0;
    for (const auto& mark : log) {
        if (mark.at <= at)
            bytes = std::max(bytes, mark.bytes);
    }
    return bytes;
}

TEST_F(RunTest, ASlowLinkShowsEveryByteWithinASecondAndStopKeepsThem) {
    // 5 KiB/s; 1 % of the body is 512 bytes, a tenth of a second.
    constexpr std::uint64_t kSize = 51200;
    site.AddBody("/slow", kSize, PatternFiller());
    site.SetFault("/slow", FaultOf(standin::Fault::Trickle, 0, 512, 100ms));
    MoviePtr movie = Add("slow", L"slow");
    const fs::path file = dir.Out() / "slow.flv";
    struct Sample {
        std::chrono::steady_clock::time_point at;
        std::uint64_t fileBytes, shownBytes;
    };
    std::vector<Sample> samples;
    run.OnDownload();
    ASSERT_TRUE(site.WaitForRequests(1, 20s));
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < 3s) {
        std::error_code ec;
        const std::uint64_t onDisk = fs::file_size(file, ec);
        const std::uint64_t shown =
            std::uint64_t(movie->m_dwSize.load()) * movie->m_nProgress / 100;
        samples.push_back({std::chrono::steady_clock::now(), ec ? 0 : onDisk, shown});
        std::this_thread::sleep_for(50ms);
    }
    const auto stopAt = std::chrono::steady_clock::now();
    run.StopDownload();
    const auto log = site.SendLog("/slow");
    ASSERT_GT(SentBy(log, stopAt), 10000u); // the trickle really ran
    for (const Sample& s : samples) {
        const std::uint64_t due = SentBy(log, s.at - 1s);
        EXPECT_GE(s.fileBytes, due);
        EXPECT_GE(s.shownBytes + 512, due);
        EXPECT_LT(s.shownBytes, kSize); // 100 % only at the end
    }
    EXPECT_EQ(movie->m_nStatus.load(), Cancelled);
    EXPECT_GE(fs::file_size(file), SentBy(log, stopAt - 2s));
    EXPECT_EQ(ReadAll(file), Pattern(0, static_cast<std::size_t>(fs::file_size(file))));
}

TEST_F(RunTest, StopDuringARetryWaitEndsAtOnceAndDownloadResumesTheFile) {
    site.AddBody("/v", 400000, PatternFiller());
    site.SetFault("/v", FaultOf(standin::Fault::EarlyClose, 150000));
    transfer->SetFirstRetryWait(60s);
    run.SetTimings({100ms, 1000ms, 3s});
    MoviePtr movie = Add("v", L"v");
    run.OnDownload();
    ASSERT_TRUE(site.WaitForRequests(1, 20s));
    ASSERT_TRUE(WaitUntil([&] { return site.OpenConnections() == 0; }));
    std::this_thread::sleep_for(100ms); // well into the minute's wait
    run.StopDownload();
    // The wait was cut short: nothing of the run outlived the stop.
    EXPECT_EQ(run.Stragglers(), 0u);
    EXPECT_EQ(movie->m_nStatus.load(), Cancelled);
    const fs::path file = dir.Out() / "v.flv";
    EXPECT_EQ(fs::file_size(file), 150000u);
    // The next Download continues from there.
    site.ClearFaults();
    site.ClearRequests();
    transfer->SetFirstRetryWait(5ms);
    movie->m_bChecked = 1;
    run.OnDownload();
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(movie->m_nStatus.load(), Completed);
    EXPECT_TRUE(ReadAll(file) == Pattern(0, 400000));
    const auto log = site.Requests();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].Header("Range"), "bytes=150000-");
}

TEST_F(RunTest, NothingCheckedClearsTheRunFlagAboutASecondLater) {
    const auto start = std::chrono::steady_clock::now();
    run.OnDownload();
    EXPECT_EQ(flag.load(), 1);
    ASSERT_TRUE(WaitUntil([&] { return flag.load() == 0; }, 10s));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 900ms);
    EXPECT_EQ(site.RequestCount(), 0u);
}

TEST_F(RunTest, TwoMoviesStrictlyOneAfterTheOtherInEnumerationOrder) {
    site.AddBody("/a", 400000, PatternFiller());
    site.SetFault("/a", FaultOf(standin::Fault::Trickle, 0, 65536, 10ms));
    site.AddBody("/b", 1000, PatternFiller());
    MoviePtr b = Add("b", L"b");
    MoviePtr a = Add("a", L"a"); // newest: enumerated first
    run.OnDownload();
    bool overlap = false;
    ASSERT_TRUE(WaitUntil([&] {
        if (a->m_nStatus == Downloading && b->m_nStatus == Downloading)
            overlap = true;
        if (b->m_nStatus != Waiting && a->m_nStatus != Completed)
            overlap = true;
        return a->m_nStatus == Completed && b->m_nStatus == Completed;
    }));
    EXPECT_FALSE(overlap);
    const auto log = site.Requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].path, "/a");
    EXPECT_EQ(log[1].path, "/b");
    EXPECT_EQ(ReadAll(dir.Out() / "a.flv"), Pattern(0, 400000));
    EXPECT_EQ(a->m_bChecked.load(), 0);
    ASSERT_TRUE(RunEnds());
}

} // namespace
