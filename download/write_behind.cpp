#include "download/write_behind.h"

CWriteBehind::CWriteBehind(CBlockBuffers* keep, std::size_t buffers, std::size_t bufferBytes,
                           Sink sink, std::function<void()> onFailure)
    : m_bufferBytes(bufferBytes), m_sink(std::move(sink)), m_onFailure(std::move(onFailure)) {
    CBlockBuffers& store = keep ? *keep : m_own;
    if (store.bytes != bufferBytes) {
        store.blocks.clear();
        store.bytes = bufferBytes;
    }
    if (buffers == 0)
        buffers = 1;
    while (store.blocks.size() < buffers)
        store.blocks.emplace_back(new char[bufferBytes]);
    // Taken in the order of the store, so a ring that needs one buffer gets
    // the one its predecessors used.
    for (std::size_t i = buffers; i-- > 0;)
        m_free.push_back(store.blocks[i].get());
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
    // The buffer freed last is taken first: while blocks are written at once
    // it is the same one each time, still in the processor's cache.
    m_acquired = m_free.back();
    m_free.pop_back();
    return m_acquired;
}

void CWriteBehind::Submit(std::size_t size, std::chrono::nanoseconds arrival) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_acquired)
        return;
    char* const data = m_acquired;
    m_acquired = nullptr;
    if (size > m_bufferBytes)
        size = m_bufferBytes;
    const double arrivalNsPerByte =
        size ? static_cast<double>(arrival.count()) / static_cast<double>(size) : 0;
    if (m_bFailed) {
        m_free.push_back(data); // filled while a write failed: never written
        return;
    }
    if (!m_filled.empty() || m_bWriting || m_writeNsPerByte * 2 > arrivalNsPerByte) {
        m_filled.emplace_back(data, size);
        lock.unlock();
        m_cv.notify_all();
        return;
    }
    // Nothing is waiting and the disk keeps up: no other thread writes until
    // m_bWriting is cleared, so the order holds.
    m_bWriting = true;
    Write(lock, data, size);
}

bool CWriteBehind::Finish() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait(lock, [this] { return m_bFailed || (m_filled.empty() && !m_bWriting); });
    return !m_bFailed;
}

void CWriteBehind::Write(std::unique_lock<std::mutex>& lock, char* data, std::size_t size) {
    lock.unlock();
    const auto start = std::chrono::steady_clock::now();
    const bool ok = m_sink(data, size);
    const std::chrono::nanoseconds took = std::chrono::steady_clock::now() - start;
    // The failure is handled before anyone can see it, so a reader told
    // "failed" knows its blocked read has been cut short already.
    if (!ok && m_onFailure)
        m_onFailure();
    lock.lock();
    if (size)
        m_writeNsPerByte = static_cast<double>(took.count()) / static_cast<double>(size);
    m_bWriting = false;
    m_free.push_back(data);
    if (!ok) {
        m_bFailed = true;
        m_filled.clear();
    }
    m_cv.notify_all();
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
        Write(lock, data, size);
    }
}
