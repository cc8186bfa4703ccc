// The scheduler, the workers and Stop with a fake transfer: ordering, one
// record per worker, the slot rules, and that nothing of a stopped run moves
// afterwards. Runs natively under ThreadSanitizer as well.
#include "download/download_run.h"
#include "fake_transfer.h"
#include "poll.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

namespace {

using namespace std::chrono_literals;

class TitleReader : public IWatchPageReader {
public:
    std::wstring GetVideoUrl(const std::wstring& url, std::wstring& title) override {
        title = url;
        return L"http://127.0.0.1/get_video?video_id=" + url;
    }
};

using tb::test::WaitUntil;

class DownloadRunTest : public ::testing::Test {
protected:
    DownloadRunTest() {
        run.SetTransfer(transfer);
        run.SetOutputFolder([] { return std::wstring(L"C:\\Out"); });
        run.SetTimings({2ms, 5ms, 10s});
    }
    MoviePtr Add(const std::wstring& title, bool checked = true) {
        MoviePtr movie = movies.AddMovie(title);
        movie->m_bChecked = checked ? 1 : 0;
        return movie;
    }
    // True when the run has ended by itself.
    bool RunEnds() {
        return WaitUntil([&] { return flag.load() == 0; }) &&
               WaitUntil([&] { return run.SchedulerEnded(); });
    }
    void ExpectNothingOfTheRunAlive() {
        EXPECT_TRUE(run.SchedulerEnded());
        EXPECT_EQ(transfer->Active(), 0);
        EXPECT_EQ(run.Stragglers(), 0u);
    }

    TitleReader reader;
    CYoutubeFileList movies{&reader};
    std::atomic<std::int32_t> flag{0};
    std::shared_ptr<FakeTransfer> transfer = std::make_shared<FakeTransfer>();
    CDownloadRun run{movies, flag};
};

std::vector<std::wstring> TitlesInOrder(const CYoutubeFileList& movies, std::int32_t status) {
    std::vector<std::wstring> titles;
    auto lock = movies.Lock();
    for (auto pos = movies.GetStartPosition(); pos;) {
        std::uint16_t key;
        MoviePtr movie;
        movies.GetNextAssoc(pos, key, movie);
        if (movie->m_nStatus == status)
            titles.push_back(movie->m_strTitle);
    }
    return titles;
}

TEST_F(DownloadRunTest, CheckedMoviesOneAfterTheOtherInEnumerationOrder) {
    // Keys 0..19 land in two buckets, so enumeration order differs from insertion order.
    for (int i = 0; i < 20; ++i)
        Add(L"m" + std::to_wstring(i), i % 3 != 0);
    const auto expected = TitlesInOrder(movies, Ready);
    std::vector<std::wstring> checked;
    for (const auto& t : expected) {
        if (std::stoi(t.substr(1)) % 3 != 0)
            checked.push_back(t);
    }
    run.OnDownload();
    EXPECT_EQ(flag.load(), 1);
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(transfer->Started(), checked);
    EXPECT_EQ(transfer->maxActive, 1);
    EXPECT_EQ(TitlesInOrder(movies, Completed), checked);
    MoviePtr movie;
    ASSERT_TRUE(movies.Lookup(1, movie));
    EXPECT_EQ(movie->m_bChecked.load(), 0);
    EXPECT_EQ(movie->m_nProgress.load(), 100);
    EXPECT_EQ(movie->m_strFolder, L"C:\\Out");
    EXPECT_EQ(movie->m_strFilePath, L"C:\\Out\\m1.flv");
}

TEST_F(DownloadRunTest, FailureDeletesTheFileAndKeepsTheCheckMark) {
    MoviePtr bad = Add(L"bad");
    MoviePtr good = Add(L"good");
    transfer->failTitles = {L"bad"};
    run.OnDownload();
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(bad->m_nStatus.load(), Failed);
    EXPECT_EQ(bad->m_bChecked.load(), 1);
    EXPECT_EQ(transfer->deleted, std::vector<std::wstring>{L"C:\\Out\\bad.flv"});
    EXPECT_EQ(good->m_nStatus.load(), Completed);
    EXPECT_EQ(transfer->Files().count(L"C:\\Out\\good.flv"), 1u);
}

TEST_F(DownloadRunTest, WaitingRecordsRunWhateverTheirCheckMarkAndOrphanDownloadingNever) {
    MoviePtr waiting = Add(L"waiting", false);
    waiting->m_nStatus = Waiting; // as loaded from a project saved during a run
    MoviePtr orphan = Add(L"orphan", false);
    orphan->m_nStatus = Downloading; // likewise: shown as downloading, but no worker has it
    run.OnDownload();
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(waiting->m_nStatus.load(), Completed);
    EXPECT_EQ(orphan->m_nStatus.load(), Downloading);
    for (const auto& t : transfer->Started())
        EXPECT_NE(t, L"orphan");
}

TEST_F(DownloadRunTest, NoPauseStillStartsEachRecordOnce) {
    run.SetTimings({0ms, 0ms, 10s});
    for (int i = 0; i < 5; ++i)
        Add(L"m" + std::to_wstring(i));
    transfer->blockTime = 3ms;
    run.OnDownload();
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(transfer->Started().size(), 5u);
    EXPECT_FALSE(transfer->sameRecordTwice);
}

TEST_F(DownloadRunTest, AllWorkersEndedEmptiesTheLastSlotThenAnswersTrue) {
    // A long pause keeps the scheduler out of the slots while the test visits them.
    run.SetTimings({1h, 1h, 10s});
    MoviePtr movie = Add(L"one");
    transfer->Hold(L"one");
    EXPECT_EQ(run.FindFreeSlot(), 0);
    run.OnDownload();
    ASSERT_TRUE(WaitUntil([&] { return transfer->Active() == 1; }));
    EXPECT_EQ(run.FindFreeSlot(), -1);
    EXPECT_FALSE(run.AllWorkersEnded());
    transfer->Release(L"one");
    ASSERT_TRUE(WaitUntil([&] { return movie->m_nStatus == Completed; }));
    // Every visit that finds the slot held answers false, including the one
    // that empties it.
    ASSERT_TRUE(WaitUntil([&] {
        EXPECT_FALSE(run.AllWorkersEnded());
        return run.FindFreeSlot() == 0;
    }));
    EXPECT_TRUE(run.AllWorkersEnded());
    run.StopDownload();
    ExpectNothingOfTheRunAlive();
}

TEST_F(DownloadRunTest, StopCancelsTheTransferRestoresTheQueueAndLeavesThePartialFile) {
    // Within a bucket the newest entry comes first.
    MoviePtr second = Add(L"second");
    MoviePtr first = Add(L"first");
    second->m_nStatus = Failed; // its status before the run
    transfer->blocks = 100;
    transfer->Hold(L"first");
    run.OnDownload();
    // Started, with its (partial) file created.
    ASSERT_TRUE(WaitUntil([&] { return transfer->Files().count(L"C:\\Out\\first.flv") == 1; }));
    ASSERT_EQ(first->m_nStatus.load(), Downloading);
    ASSERT_EQ(second->m_nStatus.load(), Waiting);
    run.StopDownload();
    EXPECT_EQ(flag.load(), 0);
    ExpectNothingOfTheRunAlive();
    EXPECT_EQ(first->m_nStatus.load(), Cancelled);
    EXPECT_EQ(second->m_nStatus.load(), Failed);
    EXPECT_TRUE(transfer->deleted.empty());
    EXPECT_EQ(transfer->Files().count(L"C:\\Out\\first.flv"), 1u);
    // A new run starts afresh, with the slots of the stopped one emptied.
    transfer->Release(L"first");
    transfer->blocks = 2;
    run.OnDownload();
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(first->m_nStatus.load(), Completed);
    EXPECT_EQ(second->m_nStatus.load(), Completed);
}

TEST_F(DownloadRunTest, AWorkerThatOutlivesAStopChangesNothingAndNoRunStartsBesideIt) {
    // The output folder is missing and answers slowly (an unreachable network
    // folder): the worker is still looking at it when the stop's deadline ends.
    run.SetTimings({2ms, 5ms, 50ms});
    MoviePtr movie = Add(L"late");
    transfer->HoldFolder(true);
    EXPECT_TRUE(run.OnDownload());
    ASSERT_TRUE(transfer->WaitFolderLooks(1));
    run.StopDownload();
    EXPECT_EQ(run.Stragglers(), 1u);
    EXPECT_EQ(movie->m_nStatus.load(), Cancelled);
    // No second run beside the old worker: refused, and nothing changed.
    EXPECT_FALSE(run.OnDownload());
    EXPECT_EQ(flag.load(), 0);
    EXPECT_EQ(movie->m_nStatus.load(), Cancelled);
    // The folder answers; the old worker goes without creating the folder,
    // naming or opening a file or touching its record.
    transfer->HoldFolder(false);
    ASSERT_TRUE(WaitUntil([&] { return run.OnDownload(); }));
    // That Download was the new run: it creates the folder and downloads.
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(movie->m_nStatus.load(), Completed);
    EXPECT_EQ(transfer->Started(), std::vector<std::wstring>{L"late"});
    EXPECT_EQ(transfer->CreatedFolders(), std::vector<std::wstring>{L"C:\\Out"});
    ExpectNothingOfTheRunAlive();
    EXPECT_EQ(transfer->folderLooks, 2);
}

// The program ends (its run object goes) while a worker is stuck in a call
// that nothing interrupts: the end is not held up, and the worker, left to
// itself, later ends without touching anything and lets its record go.
TEST_F(DownloadRunTest, AWorkerStuckPastEveryDeadlineDoesNotHoldUpTheEnd) {
    auto ending = std::make_unique<CDownloadRun>(movies, flag);
    ending->SetTransfer(transfer);
    ending->SetOutputFolder([] { return std::wstring(L"C:\\Out"); });
    ending->SetTimings({2ms, 5ms, 50ms});
    MoviePtr movie = Add(L"stuck");
    transfer->HoldFolder(true); // for up to 30 s
    ASSERT_TRUE(ending->OnDownload());
    ASSERT_TRUE(transfer->WaitFolderLooks(1));
    std::atomic<bool> gone{false};
    std::thread closing([&] {
        ending.reset();
        gone = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return gone.load(); }, 5s));
    EXPECT_GE(movie.use_count(), 3); // the list, this test and the stuck worker
    transfer->HoldFolder(false);
    closing.join();
    EXPECT_TRUE(WaitUntil([&] { return movie.use_count() == 2; }));
    EXPECT_TRUE(transfer->CreatedFolders().empty());
    EXPECT_TRUE(transfer->Started().empty());
}

TEST_F(DownloadRunTest, DeletingTheDownloadingMovieAndEmptyingTheListAreSafe) {
    Add(L"next");
    MoviePtr movie = Add(L"gone"); // newest: enumerated first
    transfer->Hold(L"gone");
    run.OnDownload();
    ASSERT_TRUE(WaitUntil([&] { return transfer->Active() == 1; }));
    std::weak_ptr<CYoutubeFile> watch = movie;
    movies.RemoveByUrl(L"gone");
    movie.reset();
    EXPECT_FALSE(watch.expired()); // the worker still holds it
    movies.RemoveAll();            // New or Open
    transfer->Release(L"gone");
    ASSERT_TRUE(RunEnds());
    // The record goes when the worker lets go of it, which may be a moment
    // after the run's end was seen.
    EXPECT_TRUE(WaitUntil([&] { return watch.expired(); }));
    // The list was emptied before "next" could start.
    EXPECT_EQ(transfer->Started(), std::vector<std::wstring>{L"gone"});
}

// Stops, restarts, deletes and adds at random moments while runs go on; the
// sanitizers watch the threads, the checks watch the end of each stop.
TEST_F(DownloadRunTest, RandomStopsAndChangesDuringRuns) {
    std::mt19937 rng(12345);
    transfer->blocks = 3;
    for (int i = 0; i < 12; ++i)
        Add(L"m" + std::to_wstring(i));
    for (int round = 0; round < 40; ++round) {
        {
            auto lock = movies.Lock();
            for (auto pos = movies.GetStartPosition(); pos;) {
                std::uint16_t key;
                MoviePtr m;
                movies.GetNextAssoc(pos, key, m);
                m->m_bChecked = 1;
            }
        }
        run.OnDownload();
        // On a busy machine forty quick rounds could all stop before any
        // transfer starts; the first round waits for one, so the check of
        // one-at-a-time below always has a run to speak of.
        if (round == 0) {
            ASSERT_TRUE(WaitUntil([&] { return !transfer->Started().empty(); }));
        }
        const int steps = static_cast<int>(rng() % 6);
        for (int s = 0; s < steps; ++s) {
            std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 4));
            switch (rng() % 3) {
            case 0:
                movies.RemoveByUrl(L"m" + std::to_wstring(rng() % 12));
                break;
            case 1:
                if (movies.GetCount() < 12)
                    movies.AddMovie(L"m" + std::to_wstring(rng() % 12))->m_bChecked = 1;
                break;
            default:
                if (rng() % 4 == 0)
                    movies.RemoveAll();
                break;
            }
        }
        run.StopDownload();
        ExpectNothingOfTheRunAlive();
        EXPECT_EQ(flag.load(), 0);
        EXPECT_FALSE(transfer->sameRecordTwice);
        // Every record was checked when queued: none is left queued or running.
        EXPECT_TRUE(TitlesInOrder(movies, Waiting).empty());
        EXPECT_TRUE(TitlesInOrder(movies, Downloading).empty());
    }
    EXPECT_EQ(transfer->maxActive, 1);
}

} // namespace

namespace {

TEST_F(DownloadRunTest, FiguresFollowTheQueuedMoviesAndTheBytesReceived) {
    // Enumeration order is newest first: a, b, c.
    MoviePtr c = Add(L"c");
    MoviePtr b = Add(L"b");
    MoviePtr a = Add(L"a");
    Add(L"unchecked", false)->m_dwSize = 999;
    c->m_dwSize = 1000; // known from an earlier download
    transfer->failTitles = {L"a"};
    transfer->Hold(L"b");
    const std::uint64_t before = run.ReceivedBytes();
    run.OnDownload();
    ASSERT_TRUE(WaitUntil([&] { return b->m_nStatus.load() == Downloading && b->m_dwSize == 4; }));
    CRunFigures f = run.Figures();
    EXPECT_EQ(f.nTotal, 3);
    EXPECT_EQ(f.nPosition, 2);
    EXPECT_EQ(f.nFailed, 1);
    EXPECT_EQ(f.percentDone, 100u);
    EXPECT_EQ(f.remaining, 4u + 1000u);
    EXPECT_EQ(f.nRemainingKnown, 2);
    EXPECT_EQ(f.received - before, 4u); // the failed movie's blocks

    // A waiting movie removed from the list will not come: it counts as done.
    // (The scheduler may be looking at it for a moment as it goes.)
    std::weak_ptr<CYoutubeFile> removed = c;
    c.reset();
    movies.RemoveByUrl(L"c");
    ASSERT_TRUE(WaitUntil([&] { return removed.expired(); }));
    f = run.Figures();
    EXPECT_EQ(f.nPosition, 3);
    EXPECT_EQ(f.percentDone, 200u);
    EXPECT_EQ(f.remaining, 4u);

    transfer->Release(L"b");
    ASSERT_TRUE(RunEnds());
    f = run.Figures();
    EXPECT_EQ(f.nPosition, 3);
    EXPECT_EQ(f.percentDone, 300u);
    EXPECT_EQ(f.remaining, 0u);
    EXPECT_EQ(f.nRemainingKnown, 0);
    EXPECT_EQ(f.received - before, 8u); // a and b; c never came
}

} // namespace
