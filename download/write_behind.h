#pragma once
// Writes a transfer's blocks so that the disk costs the transfer next to
// nothing: at once while writing is cheap, and on a thread of their own,
// overlapping the next read, while it is not.
//
// A small ring of buffers goes round: the reading thread takes a free buffer
// (Acquire), fills it and hands it over (Submit); each filled buffer goes, in
// order, to the sink and is free again. When the sink fails, no later buffer
// is written, Acquire answers nullptr and `onFailure` runs once (the
// transfer uses it to cut a blocked read short).
//
// Where a block is written: a write into the file cache copies the block
// while it is still in the reading core's cache, with no handover, whereas
// the writing thread copies it cold and needs a processor of its own to
// gain anything. Which is cheaper depends on how busy the processors are
// (measured here under Wine, 4 MiB blocks from a loopback server on two
// processors, median of 10-15 transfers: on a busy machine writing at once
// kept 0.95 of the speed without writing and handing every block over 0.5;
// on a quiet one handing over moved 3.5 GB/s and writing at once 3.1). So a
// block is written at once by Submit when nothing is waiting for the
// writing thread and the last write took at most half as long per byte as
// this block took to arrive; otherwise, and for a disk slower than that (a
// busy or network drive), the write overlaps the next read.
//
// Finish waits until every buffer handed over has been written and tells
// whether all went well. Destruction without Finish drops what is not written
// yet; either way the writing thread has been joined when the object is gone.
// Buffers are not cleared, so only the pages actually used cost anything, and
// they can outlive the ring (CBlockBuffers): the first use of a page costs a
// page fault (about 10 us here, some 1,000 for each 4 MiB buffer), so the
// transfers of a run reuse the buffers the first one has touched.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Buffers kept from one ring to the next; one ring at a time uses them.
struct CBlockBuffers {
    std::size_t bytes = 0; // of each buffer
    std::vector<std::unique_ptr<char[]>> blocks;
};

class CWriteBehind {
public:
    using Sink = std::function<bool(const char* data, std::size_t size)>;

    CWriteBehind(std::size_t buffers, std::size_t bufferBytes, Sink sink,
                 std::function<void()> onFailure = {})
        : CWriteBehind(nullptr, buffers, bufferBytes, std::move(sink), std::move(onFailure)) {}
    // With the buffers of `keep` (added to it as needed), when not null.
    CWriteBehind(CBlockBuffers* keep, std::size_t buffers, std::size_t bufferBytes, Sink sink,
                 std::function<void()> onFailure = {});
    ~CWriteBehind();
    CWriteBehind(const CWriteBehind&) = delete;
    CWriteBehind& operator=(const CWriteBehind&) = delete;

    std::size_t BufferBytes() const { return m_bufferBytes; }
    // A free buffer of BufferBytes() to fill; waits while all are in use.
    // nullptr once a write has failed. Only one buffer is out at a time: a
    // buffer taken and not submitted is the one the next call returns.
    char* Acquire();
    // Hands the acquired buffer, holding `size` bytes that took `arrival` to
    // arrive, to be written (at once, or by the writing thread).
    void Submit(std::size_t size, std::chrono::nanoseconds arrival = {});
    // Waits for every submitted write; true when all of them succeeded.
    bool Finish();

private:
    void WriterLoop();
    // Passes one block to the sink (the lock is released meanwhile) and
    // frees its buffer; called with m_bWriting set.
    void Write(std::unique_lock<std::mutex>& lock, char* data, std::size_t size);

    const std::size_t m_bufferBytes;
    Sink m_sink;
    std::function<void()> m_onFailure;
    CBlockBuffers m_own; // when the caller keeps none

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<char*> m_free;
    std::deque<std::pair<char*, std::size_t>> m_filled;
    char* m_acquired = nullptr;
    bool m_bWriting = false;
    bool m_bFailed = false;
    bool m_bQuit = false;
    // How long the last write took per byte (nothing written yet: 0).
    double m_writeNsPerByte = 0;
    std::thread m_writer; // last: starts once everything above exists
};
