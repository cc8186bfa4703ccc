#pragma once
// The state of a download run, as the project document embeds it, and the
// scheduler and worker threads that do the work.
//
// How a document uses it:
//
//   CYoutubeFileList m_movies;
//   std::atomic<std::int32_t> m_bDownloading{0};
//   CDownloadRun m_run{m_movies, m_bDownloading};   // declared after both
//   ...
//   m_run.SetTransfer(std::make_shared<CWinInetTransfer>());
//   m_run.SetOutputFolder([] { return ResolveOutputFolder(); });
//   Download command:  if m_run.OnDownload(), the view sets its m_bRunning
//   Stop command:      m_run.StopDownload(); UpdateAllViews(); the view clears m_bRunning
//
// One scheduler thread per run walks the collection in enumeration order and
// hands the first Waiting record to a worker in a free slot (16 slots, one in
// use); the worker resolves the output folder, names the file after the title
// and runs the transfer. When nothing is Waiting and no worker is left, the
// scheduler clears the run flag after a pause and ends.
//
// Threads belong to this object; none is ever killed. Stop closes the run's
// gate (see download/transfer.h), aborts the transfer and waits, with a
// deadline, for the run's threads to end, so when it returns no thread of the
// run changes a record, a slot or a file any more. A worker stuck past every
// deadline does not hold the program's end up either: when this object goes,
// it is left to end by itself. Records are shared
// pointers: a worker keeps its record alive even when the movie is removed or
// the collection emptied (New, Open) during the run.
//
// All member functions are for the user-interface thread, except that
// FindFreeSlot and AllWorkersEnded are also what the scheduler calls.
#include "download/run_summary.h"
#include "download/transfer.h"
#include "model/movie_list.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The run's fixed pauses; tests of the thread logic may shorten them.
struct CRunTimings {
    std::chrono::milliseconds pause{100};       // after a start, between polls
    std::chrono::milliseconds finalPause{1000}; // before the run flag clears
    std::chrono::milliseconds stopDeadline{10000};
};

// A thread owned by an object: it records its own end, which can be waited
// for with a deadline. Destroying it joins the thread.
class CRunThread {
public:
    // Throws std::system_error when no thread could be created.
    explicit CRunThread(std::function<void()> body);
    ~CRunThread();
    CRunThread(const CRunThread&) = delete;
    CRunThread& operator=(const CRunThread&) = delete;

    // The body has returned (the thread's exit code is no longer "still active").
    bool HasEnded() const { return m_bEnded.load(); }
    bool WaitEnded(std::chrono::milliseconds timeout);
    // Lets the thread run on by itself; this object must then outlive it.
    void Detach();

private:
    std::atomic<bool> m_bEnded{false};
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::thread m_thread; // last: starts once everything above exists
};

class CDownloadRun {
public:
    static constexpr int kWorkerSlots = 16;

    CDownloadRun(CYoutubeFileList& movies, std::atomic<std::int32_t>& runFlag);
    // A run still going is ended like a stop, but no status is rewritten: the
    // document has already saved what the records showed.
    ~CDownloadRun();
    CDownloadRun(const CDownloadRun&) = delete;
    CDownloadRun& operator=(const CDownloadRun&) = delete;

    void SetTransfer(std::shared_ptr<ITransferEngine> transfer) {
        m_transfer = std::move(transfer);
    }
    // Resolves the output folder afresh for each movie (on the worker's
    // thread), without creating it: the worker creates a missing folder
    // through the run's gate.
    void SetOutputFolder(std::function<std::wstring()> folder) {
        m_outputFolder = std::move(folder);
    }
    void SetTimings(const CRunTimings& timings) { m_timings = timings; }

    // The Download command: sets the run flag, queues the checked records and
    // starts the scheduler. A run still going is stopped first. False, with
    // nothing changed, while a thread of an earlier run that outlived its
    // stop is still alive: a new run starts only once it has ended.
    bool OnDownload();
    // The Stop command: clears the run flag, closes the run's gate, rewrites
    // the statuses (Downloading -> Cancelled, Waiting -> saved status), aborts
    // the transfer and waits for the run's threads. The stopped transfer's
    // partial file stays; its file and connection are released.
    void StopDownload();

    // The lowest empty slot below m_nMaxWorkers, or -1.
    int FindFreeSlot() const;
    // Empties each slot whose worker has ended; true only when no slot held a
    // worker at the time of the visit (the call that empties the last slot
    // still answers false, the next one true).
    bool AllWorkersEnded();

    // The run as the window's timer sees it: position, failures, progress,
    // bytes received and bytes still to come (see download/run_summary.h).
    // The movies counted are those the last Download command queued; one
    // removed from the list since counts as done.
    CRunFigures Figures() const;
    // Bytes received by every transfer of this object's runs so far.
    std::uint64_t ReceivedBytes() const { return m_received->load(std::memory_order_relaxed); }

    // For tests: the scheduler of the last run has ended (or none was started).
    bool SchedulerEnded() const;
    // For tests: threads that outlived a stop's deadline (normally none).
    std::size_t Stragglers() const;

    const int m_nMaxWorkers = 1;

private:
    struct Run;
    struct Worker;

    void SchedulerThreadProc(const std::shared_ptr<Run>& run);
    static void WorkerThreadProc(Run& run, CYoutubeFile& movie, CTransferControl& control);
    MoviePtr FirstWaiting() const;
    void StartWorker(const std::shared_ptr<Run>& run, int slot, const MoviePtr& movie);
    // Empties the slots whose worker has ended; true when any slot held one.
    bool ReapEndedWorkers();
    // Closes the gate, aborts the transfers and waits for the run's threads.
    void EndRun();
    // A worker still stuck when this object goes (a call that nothing could
    // interrupt): it can change nothing, and it is left to end by itself or
    // with the process, instead of holding the program's end up.
    static void KeepUntilExit(std::unique_ptr<Worker> worker);

    CYoutubeFileList& m_movies;
    std::atomic<std::int32_t>& m_bDownloading;
    std::shared_ptr<ITransferEngine> m_transfer;
    std::function<std::wstring()> m_outputFolder;
    CRunTimings m_timings;

    std::shared_ptr<Run> m_run;
    // The records the last Download command queued, in enumeration order.
    // Not owned: a movie removed meanwhile goes as it would without a run,
    // and counts as done.
    std::vector<std::weak_ptr<CYoutubeFile>> m_runMovies;
    std::shared_ptr<std::atomic<std::uint64_t>> m_received =
        std::make_shared<std::atomic<std::uint64_t>>(0);
    std::unique_ptr<CRunThread> m_hScheduler;
    mutable std::mutex m_slotMutex;
    std::array<std::unique_ptr<Worker>, kWorkerSlots> m_hWorkers;
    // Threads that did not end within a stop's deadline; they can change
    // nothing (their gate is closed) and are joined later, or, when this
    // object goes first, kept until the process ends (KeepUntilExit).
    std::vector<std::unique_ptr<Worker>> m_stragglerWorkers;
    std::vector<std::unique_ptr<CRunThread>> m_stragglers;
};
