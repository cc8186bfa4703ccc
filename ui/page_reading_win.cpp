#include "ui/page_reading.h"

#include "framework/errors.h"

CPageReading::CEvent::CEvent() : m_h(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!m_h)
        throw CException(L"The pages cannot be read: the system refused to create an event.");
}

CPageReading::CEvent::~CEvent() {
    CloseHandle(m_h);
}

CPageReading::CPageReading(std::shared_ptr<IWatchPageReader> reader, LinkHarvester harvester,
                           std::wstring address, std::size_t room)
    : m_state(std::make_shared<State>()) {
    // Pages are decoded in the ANSI code page of the reading thread's locale:
    // the worker takes the locale of the thread that asked for the pages, so
    // the text is the same as if they were read there.
    const LCID locale = GetThreadLocale();
    // The worker holds its own references to all it uses, so it depends on
    // nothing of this object or of the document.
    m_worker =
        std::thread([state = m_state, reader = std::move(reader), harvester = std::move(harvester),
                     address = std::move(address), room, locale] {
            SetThreadLocale(locale);
            Run(*state, *reader, harvester, address, room);
            SetEvent(state->done.Get());
        });
}

CPageReading::~CPageReading() {
    Cancel();
    Finish();
}

void CPageReading::Cancel() {
    m_state->bCancelled = true;
}

bool CPageReading::IsDone() const {
    return WaitForSingleObject(m_state->done.Get(), 0) == WAIT_OBJECT_0;
}

void CPageReading::Finish() {
    if (!m_worker.joinable())
        return;
    if (IsDone() || !IsCancelled())
        m_worker.join();
    else
        m_worker.detach();
}

CPageReading::Progress CPageReading::GetProgress() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->progress;
}

std::vector<MoviePtr> CPageReading::TakeMovies() {
    std::lock_guard lock(m_state->mutex);
    return std::move(m_state->results);
}

std::exception_ptr CPageReading::Error() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->error;
}

bool CPageReading::LinksRead() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->bLinksRead;
}

void CPageReading::Run(State& state, IWatchPageReader& reader, const LinkHarvester& harvester,
                       const std::wstring& address, std::size_t room) {
    try {
        std::vector<std::wstring> links;
        if (harvester) {
            {
                std::lock_guard lock(state.mutex);
                state.progress.bLinkPage = true;
            }
            harvester(address, links);
        } else {
            links.push_back(address);
        }
        {
            std::lock_guard lock(state.mutex);
            state.bLinksRead = true;
            state.progress.bLinkPage = false;
            state.progress.nPages = static_cast<int>(links.size());
        }
        for (std::size_t i = 0; i < links.size() && !state.bCancelled; ++i) {
            {
                std::lock_guard lock(state.mutex);
                state.progress.nPage = static_cast<int>(i + 1);
            }
            // The movies read so far are not in the collection yet: a full
            // list stops the reading where adding one by one would, before
            // the page is read.
            if (i >= room)
                throw CException(kMovieListFull);
            MoviePtr movie = CYoutubeFileList::ReadMovie(reader, links[i]);
            std::lock_guard lock(state.mutex);
            // A page that arrives after Cancel is not kept: the user has
            // already been given the movies read before it.
            if (state.bCancelled)
                break;
            state.results.push_back(std::move(movie));
        }
    } catch (...) {
        std::lock_guard lock(state.mutex);
        // After Cancel the user has left the reading: nothing to report.
        if (!state.bCancelled)
            state.error = std::current_exception();
    }
}
