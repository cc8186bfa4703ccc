#include "download/transfer.h"

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
