#pragma once
// How many bytes the transfer asks for in its next read.
//
// A read returns only when its buffer is full or the body ends, and each read
// call has a fixed cost. So on a fast link reads must be large (megabytes),
// and on a slow link they must be small, or the file and the progress stand
// still until a large buffer fills. The connection reports how many bytes it
// holds already (blocking until at least one has arrived):
//   - little, below one connection buffer: the link is slower than we read,
//     so exactly that is read and the read returns at once;
//   - a full connection buffer or more: data is flowing, so the adaptive
//     block is read. The block doubles while reads finish quickly and shrinks
//     to what the link delivers in kReadTarget when a read took too long.
// While full blocks keep arriving in good time the connection is not asked
// (each question costs about as much as a small read under Wine).
#include <chrono>
#include <cstddef>

class CReadSizer {
public:
    static constexpr std::size_t kMinBlock = 8 * 1024;
    static constexpr std::size_t kFirstBlock = 64 * 1024;
    static constexpr std::size_t kMaxBlock = 4 * 1024 * 1024;
    // What the connection holds when data is flowing: at least this much
    // (Wine's connection buffer; Windows reports more).
    static constexpr std::size_t kFlowingBytes = 8 * 1024;
    // How long a read may keep the file and the progress still.
    static constexpr std::chrono::milliseconds kReadTarget{100};
    // A full read faster than this lets the block grow.
    static constexpr std::chrono::milliseconds kQuickRead{25};

    // The size of the next read, given the bytes the connection holds now.
    std::size_t Next(std::size_t buffered) const;
    // The last read filled the whole block quickly: data is flowing, and
    // asking the connection what it holds would only cost time.
    bool Flowing() const { return m_bFlowing; }
    // Learns from a read of `bytes` (asked: `asked`) that took `took`.
    void Record(std::size_t asked, std::size_t bytes, std::chrono::nanoseconds took);
    std::size_t Block() const { return m_block; }

private:
    std::size_t m_block = kFirstBlock;
    bool m_bFlowing = false;
};
