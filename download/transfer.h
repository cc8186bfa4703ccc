#pragma once
// The HTTP transfer as the download run sees it, and the gate through which
// every change of a run passes.
//
// A stop closes the run's gate: from then on no thread of the run changes a
// record, a slot or a file, because each such change is made inside
// CRunGate::Apply. It also aborts the running transfer (closing its
// connection makes a blocked read return) so its thread ends soon after.
#include "model/movie.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

class CRunGate {
public:
    // Runs `change` unless the gate is closed; true when it ran.
    template <class F> bool Apply(F&& change) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bClosed)
            return false;
        change();
        return true;
    }
    // Waits for a change in progress, then refuses every later one and wakes
    // every waiter.
    void Close();
    bool IsClosed() const;
    // The run's pauses: true as soon as the gate closes, false after `timeout`.
    bool WaitClosed(std::chrono::milliseconds timeout);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bClosed = false;
};

// What one transfer shares with the run that started it.
class CTransferControl {
public:
    // `received`, when given, is the run's count of bytes received.
    explicit CTransferControl(CRunGate& gate, std::atomic<std::uint64_t>* received = nullptr)
        : m_gate(gate), m_received(received) {}
    CTransferControl(const CTransferControl&) = delete;
    CTransferControl& operator=(const CTransferControl&) = delete;

    // Every change of the record or the output file goes through here.
    template <class F> bool Apply(F&& change) { return m_gate.Apply(std::forward<F>(change)); }
    bool Stopped() const { return m_gate.IsClosed(); }
    // A pause that a stop cuts short: true as soon as the run is stopped.
    bool WaitStopped(std::chrono::milliseconds timeout) { return m_gate.WaitClosed(timeout); }

    // Installs how to cut the transfer short (from another thread); when the
    // run has already been stopped it is called at once. ClearAbort removes it
    // and returns only when no call of it is in progress, so the transfer can
    // then release what the abort would have touched.
    void SetAbort(std::function<void()> abort);
    void ClearAbort();
    // Called by the stop: runs the installed abort once.
    void Abort();
    // Adds bytes just read from the network to the run's count, from which
    // the window works out the run's speed.
    void CountReceived(std::uint64_t bytes) {
        if (m_received)
            m_received->fetch_add(bytes, std::memory_order_relaxed);
    }

private:
    CRunGate& m_gate;
    std::atomic<std::uint64_t>* m_received;
    std::mutex m_abortMutex;
    std::function<void()> m_abort;
    bool m_bAborted = false;
};

// The percent done of `count` bytes of a `size`-byte body (size not 0),
// counted in 64 bits so large files cannot wrap. While the transfer runs it
// stops at 99: 100 means the file is complete, which only the end can say.
std::int32_t RunningPercent(std::uint64_t count, std::uint32_t size);
// The percent once the transfer has succeeded (above 100 for a body longer
// than a size left from an earlier download).
std::int32_t FinalPercent(std::uint64_t count, std::uint32_t size);

// One implementation per platform (WinInet on Windows); tests give fakes.
class ITransferEngine {
public:
    virtual ~ITransferEngine() = default;
    // Downloads the record's video address into its m_strFilePath, keeping
    // m_dwSize and m_nProgress up to date. 0 on success, 1 on failure. Must
    // not throw.
    virtual int DownloadVideo(CYoutubeFile& movie, CTransferControl& control) = 0;
    // Removes the output file of a failed transfer; the result is not used.
    virtual void DeleteOutputFile(const std::wstring& path) = 0;
    // Whether the output folder exists. It changes nothing, so the run asks
    // it outside its gate: on an unreachable network folder this is where a
    // worker waits, and a stop need not wait with it.
    virtual bool FolderExists(const std::wstring& folder) = 0;
    // Creates the last level of the output folder; failures are not reported
    // (the file creation that follows fails instead).
    virtual void CreateOutputFolder(const std::wstring& folder) = 0;
};
