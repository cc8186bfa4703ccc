// The portable parts of the transfer: how the read size follows the link,
// the percent shown while a body arrives, and the write-behind ring.
#include "download/decimal.h"
#include "download/read_size.h"
#include "download/transfer.h"
#include "download/write_behind.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Sizer = CReadSizer;

TEST(ReadSize, TakesWhatASlowLinkHoldsAndTheBlockWhenDataFlows) {
    const Sizer sizer;
    struct Case {
        std::size_t buffered, expected;
    } cases[] = {
        {512, 512}, // a trickle: read at once what is there
        {Sizer::kFlowingBytes - 1, Sizer::kFlowingBytes - 1},
        {Sizer::kFlowingBytes, Sizer::kFirstBlock}, // a full connection buffer: data flows
        {10 << 20, Sizer::kFirstBlock},
        {0, Sizer::kFirstBlock}, // nothing said (end of body, or no answer)
    };
    for (const Case& c : cases)
        EXPECT_EQ(sizer.Next(c.buffered), c.expected) << c.buffered;
}

TEST(ReadSize, BlockGrowsOnAFastLinkAndShrinksToTheTargetOnASlowOne) {
    Sizer sizer;
    // Quick full reads double the block up to the largest one.
    for (int i = 0; i < 20; ++i)
        sizer.Record(sizer.Block(), sizer.Block(), 1ms);
    EXPECT_EQ(sizer.Block(), Sizer::kMaxBlock);
    // A read that took 2 s for 4 MiB: ~2 MB/s, so about 200 KiB per 100 ms.
    sizer.Record(sizer.Block(), sizer.Block(), 2s);
    EXPECT_EQ(sizer.Block(), Sizer::kMaxBlock / 20 / 4096 * 4096);
    // A crawl never takes the block below its floor.
    sizer.Record(sizer.Block(), 100, 10s);
    EXPECT_EQ(sizer.Block(), Sizer::kMinBlock);
    // Only a full block read in good time means data is flowing.
    EXPECT_FALSE(sizer.Flowing());
    sizer.Record(sizer.Block(), sizer.Block(), 50ms);
    EXPECT_TRUE(sizer.Flowing());
    // Reads of what was already there, short reads and in-between times
    // teach nothing about the block.
    const std::size_t before = sizer.Block();
    sizer.Record(512, 512, 1ms);
    sizer.Record(before, before / 2, 1ms);
    EXPECT_FALSE(sizer.Flowing());
    sizer.Record(before, before, 50ms);
    EXPECT_EQ(sizer.Block(), before);
}

TEST(Percent, NeverReaches100BeforeTheEndAndCountsPast32Bits) {
    struct Case {
        std::uint64_t count;
        std::uint32_t size;
        std::int32_t running, final;
    } cases[] = {
        {1024, 2048, 50, 50},
        {2048, 2048, 99, 100},
        {2047, 2048, 99, 99},
        {4294967295ull, 4294967295u, 99, 100},
        {3000000000ull, 4294967295u, 69, 69}, // count x 100 needs 64 bits
        {5000, 2500, 99, 200},                // a size left from an earlier download
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RunningPercent(c.count, c.size), c.running) << c.count;
        EXPECT_EQ(FinalPercent(c.count, c.size), c.final) << c.count;
    }
}

TEST(ContentRange, OnlyAWholeByteRangeWithItsTotalIsTaken) {
    struct Case {
        const wchar_t* text;
        bool valid;
        std::uint64_t first, total;
    } cases[] = {
        {L"bytes 400-999/1000", true, 400, 1000},
        {L"bytes 0-0/1", true, 0, 1},
        {L"bytes 5000000000-5000000009/5000000010", true, 5000000000ull, 5000000010ull},
        {L"bytes 400-999/*", false, 0, 0},     // total unknown
        {L"bytes */1000", false, 0, 0},        // the answer to an unsatisfiable range
        {L"bytes 400-1000/1000", false, 0, 0}, // past the end
        {L"bytes 500-400/1000", false, 0, 0},
        {L"items 1-2/3", false, 0, 0},
        {L"", false, 0, 0},
    };
    for (const Case& c : cases) {
        const auto range = ParseContentRange(c.text);
        ASSERT_EQ(range.has_value(), c.valid) << std::wstring(c.text).size();
        if (range) {
            EXPECT_EQ(range->first, c.first);
            EXPECT_EQ(range->total, c.total);
        }
    }
}

// Writes everything in order through a few buffers while the reader runs ahead.
TEST(WriteBehind, WritesEveryBlockInOrder) {
    std::string out;
    std::string expected;
    {
        CWriteBehind writer(3, 64, [&](const char* data, std::size_t size) {
            std::this_thread::sleep_for(100us); // a disk slower than the reader
            out.append(data, size);
            return true;
        });
        for (int i = 0; i < 200; ++i) {
            char* buffer = writer.Acquire();
            ASSERT_NE(buffer, nullptr);
            const std::string block(static_cast<std::size_t>(i % 64 + 1),
                                    static_cast<char>('a' + i % 26));
            std::memcpy(buffer, block.data(), block.size());
            expected += block;
            writer.Submit(block.size());
        }
        EXPECT_TRUE(writer.Finish());
        EXPECT_EQ(out, expected);
    }
}

// Blocks go to the disk at once while writing is quick next to their
// arrival, to the writing thread while the disk is slow, and back; the file
// gets them in order throughout.
TEST(WriteBehind, QuickWritesAreMadeAtOnceAndASlowDiskOverlapsTheReads) {
    constexpr int kBlocks = 50;
    std::vector<std::pair<int, std::thread::id>> written; // block, writing thread
    auto slow = [](int block) { return block >= 20 && block < 30; };
    CWriteBehind writer(3, 8, [&](const char* data, std::size_t) {
        const int block = static_cast<unsigned char>(data[0]);
        if (slow(block))
            std::this_thread::sleep_for(50ms); // longer than a block takes to arrive
        written.emplace_back(block, std::this_thread::get_id());
        return true;
    });
    for (int block = 0; block < kBlocks; ++block) {
        char* buffer = writer.Acquire();
        ASSERT_NE(buffer, nullptr);
        buffer[0] = static_cast<char>(block);
        writer.Submit(8, 20ms);
        // The first quick write after the slow ones goes to the writing
        // thread; once it is done, writing is known to be quick again.
        if (block == 29 || block == 30) {
            ASSERT_TRUE(writer.Finish());
        }
    }
    ASSERT_TRUE(writer.Finish());
    ASSERT_EQ(written.size(), static_cast<std::size_t>(kBlocks));
    const std::thread::id reader = std::this_thread::get_id();
    for (int block = 0; block < kBlocks; ++block) {
        EXPECT_EQ(written[block].first, block);
        // Block 20 is the write that shows the disk has become slow.
        const bool atOnce = block <= 20 || block > 30;
        EXPECT_EQ(written[block].second == reader, atOnce) << "block " << block;
    }
}

TEST(WriteBehind, TheNextRingStartsWithTheBufferTheLastOneUsed) {
    CBlockBuffers kept;
    auto sink = [](const char*, std::size_t) { return true; };
    char* first = nullptr;
    {
        CWriteBehind writer(&kept, 3, 16, sink);
        first = writer.Acquire();
        first[0] = 'x';
        writer.Submit(1);
        EXPECT_TRUE(writer.Finish());
    }
    {
        CWriteBehind writer(&kept, 3, 16, sink);
        EXPECT_EQ(writer.Acquire(), first);
    }
    EXPECT_EQ(kept.blocks.size(), 3u);
    // Buffers of another size are not handed out as if they were large enough.
    CWriteBehind larger(&kept, 2, 32, sink);
    EXPECT_EQ(kept.bytes, 32u);
    EXPECT_EQ(kept.blocks.size(), 2u);
}

TEST(WriteBehind, ABufferTakenAndNotHandedOverIsTakenAgain) {
    // Each read that ends a body takes a buffer and submits nothing; a
    // transfer that retries must not run out of buffers that way.
    CWriteBehind writer(2, 16, [](const char*, std::size_t) { return true; });
    char* first = writer.Acquire();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(writer.Acquire(), first);
    writer.Submit(1);
    EXPECT_NE(writer.Acquire(), nullptr);
    EXPECT_TRUE(writer.Finish());
}

TEST(WriteBehind, AFailedWriteStopsTheRingAndCallsForTheReadToEnd) {
    std::atomic<int> writes{0};
    std::atomic<int> failures{0};
    CWriteBehind writer(
        2, 16, [&](const char*, std::size_t) { return ++writes < 3; }, [&] { ++failures; });
    // The reader keeps going until the ring refuses it.
    int submitted = 0;
    while (char* buffer = writer.Acquire()) {
        buffer[0] = 'x';
        writer.Submit(1);
        ASSERT_LT(++submitted, 1000);
    }
    EXPECT_FALSE(writer.Finish());
    EXPECT_EQ(writes.load(), 3); // nothing written after the failure
    EXPECT_EQ(failures.load(), 1);
}

} // namespace
