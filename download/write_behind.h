#pragma once
// Writes a transfer's blocks on a thread of their own while the next block is
// being read, so the disk costs the transfer next to nothing.
//
// A small ring of buffers goes round: the reading thread takes a free buffer
// (Acquire), fills it and hands it over (Submit); the writing thread passes
// each filled buffer, in order, to the sink and frees it again. When the sink
// fails, no later buffer is written, Acquire answers nullptr and `onFailure`
// runs once (the transfer uses it to cut a blocked read short).
//
// Finish waits until every buffer handed over has been written and tells
// whether all went well. Destruction without Finish drops what is not written
// yet; either way the writing thread has been joined when the object is gone.
// Buffers are allocated once and not cleared, so only the pages actually used
// cost anything.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CWriteBehind {
public:
    using Sink = std::function<bool(const char* data, std::size_t size)>;

    CWriteBehind(std::size_t buffers, std::size_t bufferBytes, Sink sink,
                 std::function<void()> onFailure = {});
    ~CWriteBehind();
    CWriteBehind(const CWriteBehind&) = delete;
    CWriteBehind& operator=(const CWriteBehind&) = delete;

    std::size_t BufferBytes() const { return m_bufferBytes; }
    // A free buffer of BufferBytes() to fill; waits while all are in use.
    // nullptr once a write has failed. Only one buffer is out at a time: a
    // buffer taken and not submitted is the one the next call returns.
    char* Acquire();
    // Hands the acquired buffer, holding `size` bytes, to the writer.
    void Submit(std::size_t size);
    // Waits for every submitted write; true when all of them succeeded.
    bool Finish();

private:
    void WriterLoop();

    const std::size_t m_bufferBytes;
    Sink m_sink;
    std::function<void()> m_onFailure;
    std::vector<std::unique_ptr<char[]>> m_buffers;

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<char*> m_free;
    std::deque<std::pair<char*, std::size_t>> m_filled;
    char* m_acquired = nullptr;
    bool m_bWriting = false;
    bool m_bFailed = false;
    bool m_bQuit = false;
    std::thread m_writer; // last: starts once everything above exists
};
