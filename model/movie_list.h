#pragma once
// The movies of one project: a map from a 16-bit key to a record, whose
// enumeration order is the order of the list's rows, of the project file and
// of the scheduler's search.
//
// Threads: only the user-interface thread changes the collection; the
// scheduler thread walks it. One lock serialises changes and walks: every
// change takes it, and a walk from another thread holds `Lock()` for its whole
// length, so no walk ever reads a freed entry.
#include "model/movie.h"
#include "model/word_map.h"

#include <cstdint>
#include <mutex>
#include <string>

class CArchive;

// Reads one watch page: returns the video address and delivers the title.
// The real reader fetches the page over the network; tests give a fake.
class IWatchPageReader {
public:
    virtual ~IWatchPageReader() = default;
    virtual std::wstring GetVideoUrl(const std::wstring& url, std::wstring& title) = 0;
};

class CYoutubeFileList {
public:
    using POSITION = WordKeyedMap<MoviePtr>::POSITION;
    static constexpr std::size_t kMaxMovies = 65536;

    CYoutubeFileList() = default;
    explicit CYoutubeFileList(IWatchPageReader* reader) : m_pReader(reader) {}
    CYoutubeFileList(const CYoutubeFileList&) = delete;
    CYoutubeFileList& operator=(const CYoutubeFileList&) = delete;

    void SetPageReader(IWatchPageReader* reader) { m_pReader = reader; }

    // Reads the watch page, then inserts a new Ready record at the lowest free
    // key. A reader error propagates and nothing is inserted; a full list
    // raises a CException with the user's text and reads nothing.
    MoviePtr AddMovie(const std::wstring& url);
    // AddMovie in two halves, so that a page can be read away from the thread
    // that changes the collection. ReadMovie checks for room and reads the page
    // into a new Ready record, inserting nothing (the full list raises before
    // anything is read); InsertMovie stores a record read so at the lowest free
    // key, or raises the full-list CException.
    MoviePtr ReadMovie(const std::wstring& url) const;
    void InsertMovie(MoviePtr movie);
    // The reading half on its own: needs nothing of any collection.
    static MoviePtr ReadMovie(IWatchPageReader& reader, const std::wstring& url);
    // Removes (and releases) every record whose address equals `url` exactly.
    void RemoveByUrl(const std::wstring& url);
    int CountByStatus(std::int32_t status) const;
    // true: queue every checked record (Waiting, former status saved);
    // false: un-queue them after a stop (Downloading -> Cancelled, Waiting -> saved).
    void MarkForDownload(bool bStart);
    // Drops every entry; records still held by rows or a worker live on.
    void RemoveAll();

    bool Lookup(std::uint16_t key, MoviePtr& movie) const;
    std::size_t GetCount() const;
    POSITION GetStartPosition() const { return m_map.GetStartPosition(); }
    void GetNextAssoc(POSITION& pos, std::uint16_t& key, MoviePtr& movie) const {
        m_map.GetNextAssoc(pos, key, movie);
    }

    // Stores every record in enumeration order, or replaces the contents with
    // the records of a stream (keys renumbered 0, 1, 2 ... in file order).
    void Serialize(CArchive& ar);

    // Held by a walk on another thread for the walk's whole length.
    std::unique_lock<std::recursive_mutex> Lock() const {
        return std::unique_lock<std::recursive_mutex>(m_mutex);
    }
    // A walk in enumeration order under the lock: `visit(movie)` for every
    // record until it returns false. Safe from any thread.
    template <class Visit> void Walk(Visit&& visit) const {
        auto lock = Lock();
        for (auto pos = GetStartPosition(); pos;) {
            std::uint16_t key = 0;
            MoviePtr movie;
            GetNextAssoc(pos, key, movie);
            if (movie && !visit(movie))
                return;
        }
    }

private:
    WordKeyedMap<MoviePtr> m_map;
    IWatchPageReader* m_pReader = nullptr;
    mutable std::recursive_mutex m_mutex;
};

// What the user reads when the list has no free key left.
inline constexpr wchar_t kMovieListFull[] =
    L"The movie list is full: one project holds at most 65,536 movies. "
    L"Remove some movies before adding more.";
