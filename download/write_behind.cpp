#include "download/write_behind.h"

CWriteBehind::CWriteBehind(std::size_t buffers, std::size_t bufferBytes, Sink sink,
                           std::function<void()> onFailure)
    : m_bufferBytes(bufferBytes), m_sink(std::move(sink)), m_onFailure(std::move(onFailure)) {
    for (std::size_t i = 0; i < (buffers ? buffers : 1); ++i) {
        m_buffers.emplace_back(new char[bufferBytes]);
        m_free.push_back(m_buffers.back().get());
    }
    m_writer = std::thread([this] { WriterLoop(); });
}

CWriteBehind::~CWriteBehind() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bQuit = true;
        m_filled.clear();
    }
    m_cv.notify_all();
    m_writer.join();
}

char* CWriteBehind::Acquire() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_acquired && !m_bFailed)
        return m_acquired; // taken but not handed over (a read that ended): still free
    m_cv.wait(lock, [this] { return m_bFailed || !m_free.empty(); });
    if (m_bFailed)
        return nullptr;
    m_acquired = m_free.back();
    m_free.pop_back();
    return m_acquired;
}

void CWriteBehind::Submit(std::size_t size) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_acquired)
            return;
        m_filled.emplace_back(m_acquired, size < m_bufferBytes ? size : m_bufferBytes);
        m_acquired = nullptr;
    }
    m_cv.notify_all();
}

bool CWriteBehind::Finish() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait(lock, [this] { return m_bFailed || (m_filled.empty() && !m_bWriting); });
    return !m_bFailed;
}

void CWriteBehind::WriterLoop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_cv.wait(lock, [this] { return m_bQuit || !m_filled.empty(); });
        if (m_bQuit)
            return;
        const auto [data, size] = m_filled.front();
        m_filled.pop_front();
        m_bWriting = true;
        lock.unlock();
        const bool ok = m_sink(data, size);
        // The failure is handled before anyone can see it, so a reader told
        // "failed" knows its blocked read has been cut short already.
        if (!ok && m_onFailure)
            m_onFailure();
        lock.lock();
        m_bWriting = false;
        m_free.push_back(data);
        if (!ok) {
            m_bFailed = true;
            m_filled.clear();
        }
        m_cv.notify_all();
    }
}
