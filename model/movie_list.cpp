#include "model/movie_list.h"

#include "framework/archive.h"
#include "framework/errors.h"

#include <stdexcept>

MoviePtr CYoutubeFileList::AddMovie(const std::wstring& url) {
    MoviePtr movie = ReadMovie(url);
    InsertMovie(movie);
    return movie;
}

MoviePtr CYoutubeFileList::ReadMovie(const std::wstring& url) const {
    if (GetCount() >= kMaxMovies)
        throw CException(kMovieListFull);
    if (!m_pReader)
        throw std::logic_error("CYoutubeFileList: no watch-page reader");
    // The page is read without the lock: the scheduler must not wait for the
    // network. A reader error leaves the collection untouched.
    return ReadMovie(*m_pReader, url);
}

MoviePtr CYoutubeFileList::ReadMovie(IWatchPageReader& reader, const std::wstring& url) {
    auto movie = std::make_shared<CYoutubeFile>();
    movie->m_strUrl = url;
    movie->m_strVideoUrl = reader.GetVideoUrl(url, movie->m_strTitle);
    return movie;
}

void CYoutubeFileList::InsertMovie(MoviePtr movie) {
    auto lock = Lock();
    // Only the user-interface thread adds, so a key found free stays free.
    const auto key = m_map.LowestFreeKey();
    if (!key)
        throw CException(kMovieListFull);
    m_map.SetAt(*key, std::move(movie));
}

void CYoutubeFileList::RemoveByUrl(const std::wstring& url) {
    auto lock = Lock();
    for (POSITION pos = m_map.GetStartPosition(); pos;) {
        std::uint16_t key;
        MoviePtr movie;
        m_map.GetNextAssoc(pos, key, movie);
        if (movie->m_strUrl == url)
            m_map.RemoveKey(key);
    }
}

int CYoutubeFileList::CountByStatus(std::int32_t status) const {
    auto lock = Lock();
    int count = 0;
    for (POSITION pos = m_map.GetStartPosition(); pos;) {
        std::uint16_t key;
        MoviePtr movie;
        m_map.GetNextAssoc(pos, key, movie);
        if (movie->m_nStatus == status)
            ++count;
    }
    return count;
}

void CYoutubeFileList::MarkForDownload(bool bStart) {
    auto lock = Lock();
    for (POSITION pos = m_map.GetStartPosition(); pos;) {
        std::uint16_t key;
        MoviePtr movie;
        m_map.GetNextAssoc(pos, key, movie);
        if (!movie->m_bChecked)
            continue;
        const std::int32_t status = movie->m_nStatus;
        if (bStart) {
            movie->m_nPrevStatus = status;
            movie->m_nStatus = Waiting;
        } else if (status == Downloading) {
            movie->m_nStatus = Cancelled;
        } else if (status == Waiting) {
            movie->m_nStatus = movie->m_nPrevStatus;
        }
    }
}

void CYoutubeFileList::RemoveAll() {
    auto lock = Lock();
    m_map.RemoveAll();
}

bool CYoutubeFileList::Lookup(std::uint16_t key, MoviePtr& movie) const {
    auto lock = Lock();
    if (const MoviePtr* found = m_map.Find(key)) {
        movie = *found;
        return true;
    }
    return false;
}

std::size_t CYoutubeFileList::GetCount() const {
    auto lock = Lock();
    return m_map.GetCount();
}

void CYoutubeFileList::Serialize(CArchive& ar) {
    auto lock = Lock();
    if (ar.IsStoring()) {
        ar << static_cast<std::int32_t>(m_map.GetCount());
        for (POSITION pos = m_map.GetStartPosition(); pos;) {
            std::uint16_t key;
            MoviePtr movie;
            m_map.GetNextAssoc(pos, key, movie);
            ar << static_cast<std::uint32_t>(key);
            movie->Serialize(ar);
        }
        return;
    }

    m_map.RemoveAll();
    std::int32_t count;
    ar >> count;
    if (count <= 0)
        return;
    // No stream we write holds more entries than there are keys; renumbering
    // more would reuse keys and silently drop movies. The loop itself needs no
    // other bound: every entry consumes bytes or ends the load.
    if (static_cast<std::uint64_t>(count) > kMaxMovies)
        throw CArchiveException(CArchiveException::endOfFile);
    for (std::int32_t i = 0; i < count; ++i) {
        auto movie = std::make_shared<CYoutubeFile>();
        std::uint32_t storedKey;
        ar >> storedKey; // keys are renumbered in file order
        movie->Serialize(ar);
        m_map.SetAt(static_cast<std::uint16_t>(i), std::move(movie));
    }
}
