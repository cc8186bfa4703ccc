#include "download/download_run.h"

#include "download/safe_name.h"

#include <algorithm>
#include <system_error>

// ---- CRunThread ----

CRunThread::CRunThread(std::function<void()> body)
    : m_thread([this, body = std::move(body)] {
          body();
          {
              std::lock_guard<std::mutex> lock(m_mutex);
              m_bEnded = true;
          }
          m_cv.notify_all();
      }) {}

CRunThread::~CRunThread() {
    if (m_thread.joinable())
        m_thread.join();
}

void CRunThread::Detach() {
    if (m_thread.joinable())
        m_thread.detach();
}

bool CRunThread::WaitEnded(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, timeout, [this] { return m_bEnded.load(); });
}

// ---- The run ----

struct CDownloadRun::Run {
    CRunGate gate;
    std::shared_ptr<ITransferEngine> transfer;
    std::function<std::wstring()> outputFolder;
    CRunTimings timings;
    // The count outlives its object when a stuck worker does.
    std::shared_ptr<std::atomic<std::uint64_t>> received;
};

struct CDownloadRun::Worker {
    Worker(std::shared_ptr<Run> run, MoviePtr movie)
        : control(run->gate, run->received.get()),
          thread([this, run = std::move(run), movie = std::move(movie)] {
              WorkerThreadProc(*run, *movie, control);
          }) {}
    CTransferControl control;
    CRunThread thread;
};

CDownloadRun::CDownloadRun(CYoutubeFileList& movies, std::atomic<std::int32_t>& runFlag)
    : m_movies(movies), m_bDownloading(runFlag) {}

CDownloadRun::~CDownloadRun() {
    EndRun();
    // Threads that outlived every deadline. A scheduler reaches this object,
    // so it must be gone before it is; with its gate closed it is on its way
    // out. A worker uses only what its run shares, so one still stuck (in a
    // read that closing its handles did not end) is left behind instead of
    // holding the program's end up for as long as its server stays silent.
    std::vector<std::unique_ptr<Worker>> workers;
    std::vector<std::unique_ptr<CRunThread>> threads;
    {
        std::lock_guard<std::mutex> lock(m_slotMutex);
        workers.swap(m_stragglerWorkers);
        threads.swap(m_stragglers);
    }
    threads.clear(); // the scheduler may still want the slot lock on its way out
    for (auto& worker : workers) {
        if (!worker->thread.HasEnded())
            KeepUntilExit(std::move(worker));
    }
    workers.clear();
}

void CDownloadRun::KeepUntilExit(std::unique_ptr<Worker> worker) {
    // Never freed, so a kept worker can always finish (and the leak checker
    // sees it as reachable); the process's end takes what is still here.
    struct Kept {
        std::mutex mutex;
        std::vector<std::unique_ptr<Worker>> workers;
    };
    static Kept* const kept = new Kept;
    worker->thread.Detach();
    std::lock_guard<std::mutex> lock(kept->mutex);
    kept->workers.push_back(std::move(worker));
}

std::size_t CDownloadRun::Stragglers() const {
    std::lock_guard<std::mutex> lock(m_slotMutex);
    return m_stragglers.size() + m_stragglerWorkers.size();
}

bool CDownloadRun::OnDownload() {
    if (m_hScheduler && !m_hScheduler->HasEnded())
        StopDownload();
    EndRun(); // releases the ended scheduler of the last run
    if (Stragglers() > 0)
        return false;
    m_bDownloading = 1;
    m_movies.MarkForDownload(true);
    m_runMovies.clear();
    m_movies.Walk([this](const MoviePtr& movie) {
        if (movie->m_nStatus.load() == Waiting)
            m_runMovies.push_back(movie);
        return true;
    });
    auto run = std::make_shared<Run>();
    run->received = m_received;
    run->transfer = m_transfer;
    run->outputFolder = m_outputFolder;
    run->timings = m_timings;
    m_run = run;
    try {
        m_hScheduler = std::make_unique<CRunThread>([this, run] { SchedulerThreadProc(run); });
    } catch (const std::system_error&) {
        // As when the scheduler cannot be created: the run stays set with its
        // records Waiting until the user stops it.
        m_hScheduler.reset();
    }
    return true;
}

void CDownloadRun::StopDownload() {
    m_bDownloading = 0;
    if (m_run)
        m_run->gate.Close();
    m_movies.MarkForDownload(false);
    EndRun();
}

void CDownloadRun::EndRun() {
    if (m_run)
        m_run->gate.Close();
    {
        std::lock_guard<std::mutex> lock(m_slotMutex);
        for (auto& worker : m_hWorkers) {
            if (worker)
                worker->control.Abort();
        }
    }
    const auto deadline = m_timings.stopDeadline;
    // The scheduler first: once it has ended, nothing else fills a slot.
    if (m_hScheduler) {
        if (!m_hScheduler->WaitEnded(deadline)) {
            std::lock_guard<std::mutex> lock(m_slotMutex);
            m_stragglers.push_back(std::move(m_hScheduler));
        }
        m_hScheduler.reset();
    }
    std::array<std::unique_ptr<Worker>, kWorkerSlots> workers;
    {
        std::lock_guard<std::mutex> lock(m_slotMutex);
        workers.swap(m_hWorkers);
        for (auto& worker : workers) {
            if (worker)
                worker->control.Abort(); // a worker the scheduler started meanwhile
        }
    }
    for (auto& worker : workers) {
        if (worker && !worker->thread.WaitEnded(deadline)) {
            std::lock_guard<std::mutex> lock(m_slotMutex);
            m_stragglerWorkers.push_back(std::move(worker));
        }
    }
    // Leftovers from an earlier stop that have ended by now are released.
    std::lock_guard<std::mutex> lock(m_slotMutex);
    std::erase_if(m_stragglerWorkers, [](const auto& w) { return w->thread.HasEnded(); });
    std::erase_if(m_stragglers, [](const auto& t) { return t->HasEnded(); });
    m_run.reset();
}

CRunFigures CDownloadRun::Figures() const {
    CRunFigures f;
    f.nTotal = static_cast<int>(m_runMovies.size());
    f.received = ReceivedBytes();
    for (const auto& entry : m_runMovies) {
        const MoviePtr movie = entry.lock();
        if (!movie) {
            ++f.nPosition;
            f.percentDone += 100;
            continue;
        }
        const std::int32_t status = movie->m_nStatus.load();
        const std::uint64_t size = movie->m_dwSize.load();
        if (status == Waiting) {
            if (size > 0) {
                f.remaining += size;
                ++f.nRemainingKnown;
            }
            continue;
        }
        ++f.nPosition;
        if (status == Downloading) {
            const std::int32_t percent = std::clamp(movie->m_nProgress.load(), 0, 100);
            f.percentDone += static_cast<std::uint64_t>(percent);
            if (size > 0) {
                f.remaining += size - size * static_cast<std::uint64_t>(percent) / 100;
                ++f.nRemainingKnown;
            }
            continue;
        }
        f.percentDone += 100;
        if (status == Failed)
            ++f.nFailed;
    }
    return f;
}

bool CDownloadRun::SchedulerEnded() const {
    return !m_hScheduler || m_hScheduler->HasEnded();
}

int CDownloadRun::FindFreeSlot() const {
    std::lock_guard<std::mutex> lock(m_slotMutex);
    for (int i = 0; i < m_nMaxWorkers; ++i) {
        if (!m_hWorkers[i])
            return i;
    }
    return -1;
}

bool CDownloadRun::ReapEndedWorkers() {
    bool held = false;
    std::unique_ptr<Worker> ended[kWorkerSlots];
    {
        std::lock_guard<std::mutex> lock(m_slotMutex);
        for (int i = 0; i < m_nMaxWorkers; ++i) {
            if (!m_hWorkers[i])
                continue;
            held = true;
            if (m_hWorkers[i]->thread.HasEnded())
                ended[i] = std::move(m_hWorkers[i]);
        }
    }
    // Joined outside the lock; each has already returned from its body.
    return held;
}

bool CDownloadRun::AllWorkersEnded() {
    return !ReapEndedWorkers();
}

MoviePtr CDownloadRun::FirstWaiting() const {
    MoviePtr first;
    m_movies.Walk([&first](const MoviePtr& movie) {
        if (movie->m_nStatus.load() != Waiting)
            return true;
        first = movie;
        return false;
    });
    return first;
}

void CDownloadRun::StartWorker(const std::shared_ptr<Run>& run, int slot, const MoviePtr& movie) {
    run->gate.Apply([&] {
        // The record is taken here, before the scheduler walks again, so no
        // second worker can ever get it.
        std::int32_t expected = Waiting;
        if (!movie->m_nStatus.compare_exchange_strong(expected, Downloading))
            return;
        movie->m_nProgress = 0;
        try {
            auto worker = std::make_unique<Worker>(run, movie);
            std::lock_guard<std::mutex> lock(m_slotMutex);
            m_hWorkers[slot] = std::move(worker);
        } catch (const std::system_error&) {
            // No thread: the record waits for the next walk.
            movie->m_nStatus = Waiting;
        }
    });
}

void CDownloadRun::SchedulerThreadProc(const std::shared_ptr<Run>& run) {
    const CRunTimings& t = run->timings;
    {
        // Slots left by an earlier run (normally already released).
        std::lock_guard<std::mutex> lock(m_slotMutex);
        for (auto& worker : m_hWorkers) {
            if (worker && worker->thread.HasEnded())
                worker.reset();
        }
    }
    if (m_movies.CountByStatus(Waiting) > 0) {
        for (;;) {
            if (run->gate.IsClosed())
                return;
            // Only asks whether one waits: the record is not held while the
            // slot is awaited, so one removed meanwhile goes at once.
            if (!FirstWaiting())
                break;
            int slot = FindFreeSlot();
            while (slot < 0) {
                ReapEndedWorkers();
                if (run->gate.WaitClosed(t.pause))
                    return;
                slot = FindFreeSlot();
            }
            // The wait may have been long: a movie removed (or un-queued)
            // meanwhile is not started; the first Waiting one now is.
            const MoviePtr next = FirstWaiting();
            if (!next)
                break;
            StartWorker(run, slot, next);
            if (run->gate.WaitClosed(t.pause))
                return;
        }
        while (!AllWorkersEnded()) {
            if (run->gate.WaitClosed(t.pause))
                return;
        }
    }
    if (run->gate.WaitClosed(t.finalPause))
        return;
    run->gate.Apply([&] { m_bDownloading = 0; });
}

void CDownloadRun::WorkerThreadProc(Run& run, CYoutubeFile& movie, CTransferControl& control) {
    // Downloading and 0 % were set when the scheduler took the record.
    const std::wstring folder = run.outputFolder ? run.outputFolder() : std::wstring();
    const std::wstring path = OutputFilePath(folder, movie.m_strTitle);
    // Looked at outside the gate (it may take long and changes nothing), then
    // created inside it, so a worker that outlived a stop creates nothing.
    if (run.transfer && !run.transfer->FolderExists(folder) &&
        !control.Apply([&] { run.transfer->CreateOutputFolder(folder); }))
        return;
    if (!control.Apply([&] {
            movie.m_strFolder = folder;
            movie.m_strFilePath = path;
        }))
        return;
    const int result = run.transfer ? run.transfer->DownloadVideo(movie, control) : 1;
    control.Apply([&] {
        if (result == 0) {
            movie.m_nStatus = Completed;
            movie.m_bChecked = 0;
        } else {
            movie.m_nStatus = Failed;
            if (run.transfer)
                run.transfer->DeleteOutputFile(path);
        }
    });
}
