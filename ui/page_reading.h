#pragma once
// The page reads of an Add or a Batch Add, done on a worker thread so that the
// window keeps answering while a slow site is read and the user can cancel.
// The worker only reads: it touches no window and no collection. The
// user-interface thread waits for it (reading_dlg.h) and then inserts the
// movies it read, in the order they were read, with the error that ended the
// reading, exactly as adding them one by one would have.
#include "model/movie_list.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CPageReading {
public:
    // Fills `links` with the watch addresses found on the page at `url`.
    using LinkHarvester =
        std::function<void(const std::wstring& url, std::vector<std::wstring>& links)>;

    // Add (no harvester): reads the watch page at `address`. Batch Add: reads
    // the page at `address` with `harvester`, then every watch page it found,
    // one after the other, up to the first error. `room`: how many movies the
    // collection can still take; reading goes no further than adding one by
    // one could and ends there with the full-list error. The worker keeps
    // `reader` and `harvester` alive for as long as it runs.
    CPageReading(std::shared_ptr<IWatchPageReader> reader, LinkHarvester harvester,
                 std::wstring address, std::size_t room);
    // Cancels, and lets a worker still reading go (see Finish).
    ~CPageReading();
    CPageReading(const CPageReading&) = delete;
    CPageReading& operator=(const CPageReading&) = delete;

    // Ends the reading for the user: the movies read so far are kept, a page
    // still being read is dropped when it arrives, and no error is reported.
    void Cancel();
    bool IsCancelled() const { return m_state->bCancelled.load(); }

    // Signalled when the worker has ended; valid for this object's life.
    HANDLE DoneEvent() const { return m_state->done.Get(); }
    bool IsDone() const;

    // Ends the worker's part: joins a worker that has ended (or waits for one
    // that was not cancelled). A cancelled worker still blocked in a read is
    // let go: a read stalled on a silent server cannot be cut short from here,
    // and the user must not wait for it. It owns everything it still touches
    // and drops what it reads. The results below are final afterwards.
    void Finish();

    struct Progress {
        bool bLinkPage = false; // the page of links is being read
        int nPage = 0;          // the watch page being read, from 1
        int nPages = 0;         // watch pages to read
    };
    Progress GetProgress() const;

    // After Finish: the movies read, in order; the error that ended the
    // reading (none when it completed or was cancelled); whether the link
    // page of a Batch Add was read (its harvest completed).
    std::vector<MoviePtr> TakeMovies();
    std::exception_ptr Error() const;
    bool LinksRead() const;

private:
    // A manual-reset event owned by the state.
    class CEvent {
    public:
        CEvent();
        ~CEvent();
        CEvent(const CEvent&) = delete;
        CEvent& operator=(const CEvent&) = delete;
        HANDLE Get() const { return m_h; }

    private:
        HANDLE m_h = nullptr;
    };

    // What the worker shares with this object; a worker that was let go keeps
    // it alive until it ends.
    struct State {
        std::atomic<bool> bCancelled{false};
        mutable std::mutex mutex; // guards the fields below
        Progress progress;
        bool bLinksRead = false;
        std::vector<MoviePtr> results;
        std::exception_ptr error;
        CEvent done;
    };
    static void Run(State& state, IWatchPageReader& reader, const LinkHarvester& harvester,
                    const std::wstring& address, std::size_t room);

    std::shared_ptr<State> m_state;
    std::thread m_worker;
};
