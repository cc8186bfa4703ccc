#include "download/transfer.h"

#include <algorithm>
#include <cstdint>

void CRunGate::Close() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bClosed = true;
    }
    m_cv.notify_all();
}

bool CRunGate::IsClosed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bClosed;
}

bool CRunGate::WaitClosed(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, timeout, [this] { return m_bClosed; });
}

void CTransferControl::SetAbort(std::function<void()> abort) {
    std::lock_guard<std::mutex> lock(m_abortMutex);
    if (m_bAborted) {
        abort();
        return;
    }
    m_abort = std::move(abort);
}

void CTransferControl::ClearAbort() {
    std::lock_guard<std::mutex> lock(m_abortMutex);
    m_abort = nullptr;
}

void CTransferControl::Abort() {
    std::lock_guard<std::mutex> lock(m_abortMutex);
    m_bAborted = true;
    if (m_abort) {
        m_abort();
        m_abort = nullptr;
    }
}

std::int32_t FinalPercent(std::uint64_t count, std::uint32_t size) {
    const std::uint64_t percent = count * 100 / size;
    return percent > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(percent);
}

std::int32_t RunningPercent(std::uint64_t count, std::uint32_t size) {
    return std::min(FinalPercent(count, size), 99);
}
