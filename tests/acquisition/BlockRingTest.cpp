// BlockRing: the full and empty edges, wrap-around, the drop count, and a
// two-thread sequence check that fails on a lost, repeated or torn block.
#include "BlockRing.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

using testsupport::scaledMs;

namespace {

// A block whose every 8-byte word carries its sequence number mixed with the
// word's position, so a block torn between two writes fails the check.
void fillBlock(std::vector<uint64_t>& block, uint64_t seq)
{
    for (std::size_t w = 0; w < block.size(); ++w)
        block[w] = seq * 0x9E3779B97F4A7C15ull + w;
}

bool blockIs(const std::vector<uint64_t>& block, uint64_t seq)
{
    for (std::size_t w = 0; w < block.size(); ++w)
        if (block[w] != seq * 0x9E3779B97F4A7C15ull + w)
            return false;
    return true;
}

uint64_t stressBlocks(uint64_t base)
{
    const char* scale = std::getenv("H452_STRESS_SCALE");
    return base * uint64_t(scale ? std::max(1, std::atoi(scale)) : 1);
}

} // namespace

TEST(BlockRing, EmptyRingPopsNothing)
{
    BlockRing ring(8, 64);
    std::vector<unsigned char> out(64, 0xAB);
    EXPECT_TRUE(ring.empty());
    EXPECT_FALSE(ring.pop(out.data()));
    EXPECT_EQ(out[0], 0xAB);
    EXPECT_EQ(ring.droppedBlocks(), 0u);
}

TEST(BlockRing, HoldsOneBlockLessThanItsSlotsThenDrops)
{
    BlockRing ring(8, 64);
    ASSERT_EQ(ring.capacity(), 7u);
    std::vector<uint64_t> block(8);
    for (uint64_t i = 0; i < 7; ++i) {
        fillBlock(block, i);
        EXPECT_TRUE(ring.push(block.data())) << i;
    }
    EXPECT_EQ(ring.size(), 7u);
    fillBlock(block, 99);
    EXPECT_FALSE(ring.push(block.data()));
    EXPECT_FALSE(ring.push(block.data()));
    EXPECT_EQ(ring.droppedBlocks(), 2u);
    // The dropped blocks did not overwrite anything: 0..6 come out in order.
    for (uint64_t i = 0; i < 7; ++i) {
        ASSERT_TRUE(ring.pop(block.data()));
        EXPECT_TRUE(blockIs(block, i)) << i;
    }
    EXPECT_FALSE(ring.pop(block.data()));
    // A freed slot takes a block again.
    fillBlock(block, 7);
    EXPECT_TRUE(ring.push(block.data()));
    EXPECT_EQ(ring.droppedBlocks(), 2u);
}

TEST(BlockRing, WrapsAroundManyTimesInOrder)
{
    BlockRing ring(4, 32);
    std::vector<uint64_t> block(4);
    uint64_t next = 0, expect = 0;
    // Fill to 1, 2 or 3 blocks and drain again, crossing the end of the slot
    // array many times at every offset.
    for (int round = 0; round < 100; ++round) {
        const int depth = 1 + round % 3;
        for (int i = 0; i < depth; ++i) {
            fillBlock(block, next++);
            ASSERT_TRUE(ring.push(block.data()));
        }
        for (int i = 0; i < depth; ++i) {
            ASSERT_TRUE(ring.pop(block.data()));
            ASSERT_TRUE(blockIs(block, expect)) << expect;
            ++expect;
        }
        ASSERT_TRUE(ring.empty());
    }
}

// The recorder writes runs of blocks in one go: a run is what lies next to
// each other in the slots, no more than asked, and carries each block's
// drops; a release of the run frees all its slots.
TEST(BlockRing, RunsStopAtTheEndOfTheSlotsAndAtTheLimit)
{
    BlockRing ring(8, 64);
    std::vector<uint64_t> block(8);
    uint64_t next = 0;
    auto push = [&](int n) {
        for (int i = 0; i < n; ++i) {
            fillBlock(block, next++);
            ASSERT_TRUE(ring.push(block.data()));
        }
    };
    std::size_t count = 99;
    EXPECT_EQ(ring.oldestRun(4, &count), nullptr);
    EXPECT_EQ(count, 0u);
    push(5);              // slots 0..4
    ring.release(5);      // the next blocks start at slot 5
    push(5);              // slots 5, 6, 7, 0, 1: blocks 5..9
    const struct {
        std::size_t limit, count;
        uint64_t firstBlock;
    } runs[] = {{2, 2, 5}, {8, 1, 7}, {8, 2, 8}};  // limit, then the end of the slots
    for (const auto& r : runs) {
        const unsigned char* run = ring.oldestRun(r.limit, &count);
        ASSERT_NE(run, nullptr);
        ASSERT_EQ(count, r.count) << r.firstBlock;
        for (std::size_t i = 0; i < count; ++i) {
            std::memcpy(block.data(), run + i * 64, 64);
            EXPECT_TRUE(blockIs(block, r.firstBlock + i)) << r.firstBlock + i;
        }
        ring.release(count);
    }
    // A push that did not fit precedes the next block pushed.
    push(7);
    EXPECT_FALSE(ring.push(block.data()));
    ring.release(7);
    push(2);
    ASSERT_NE(ring.oldestRun(8, &count), nullptr);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(ring.dropsBeforeInRun(0), 1u);
    EXPECT_EQ(ring.dropsBeforeInRun(1), 0u);
}

TEST(BlockRing, SlotCountRoundsUpToAPowerOfTwo)
{
    EXPECT_EQ(BlockRing(1000, 8).slotCount(), 1024u);
    EXPECT_EQ(BlockRing(0, 8).slotCount(), 2u);
    EXPECT_EQ(BlockRing().slotCount(), 1024u);
    EXPECT_EQ(BlockRing().blockBytes(), 8192u);
    EXPECT_EQ(BlockRing().capacity(), 1023u);
}

// One producer, one consumer, millions of small blocks. The producer retries
// a push into a full ring, so every block must arrive once and in order; the
// failed attempts must match the drop counter exactly.
TEST(BlockRingStress, TwoThreadsLoseAndTearNothing)
{
    const uint64_t total = stressBlocks(2000000);
    BlockRing ring(64, 64);
    std::atomic<bool> abort{false};
    uint64_t failedPushes = 0;

    std::thread producer([&]() {
        std::vector<uint64_t> block(8);
        for (uint64_t seq = 0; seq < total && !abort.load(); ++seq) {
            fillBlock(block, seq);
            while (!ring.push(block.data())) {
                ++failedPushes;
                if (abort.load())
                    return;
                std::this_thread::yield();
            }
        }
    });

    std::vector<uint64_t> block(8);
    uint64_t expect = 0;
    uint64_t bad = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(scaledMs(120000));
    while (expect < total) {
        if (ring.pop(block.data())) {
            if (!blockIs(block, expect))
                ++bad;
            ++expect;
        } else if (std::chrono::steady_clock::now() > deadline) {
            break;
        } else {
            std::this_thread::yield();
        }
    }
    abort.store(true);
    producer.join();
    EXPECT_EQ(expect, total) << "timed out";
    EXPECT_EQ(bad, 0u);
    EXPECT_FALSE(ring.pop(block.data()));
    EXPECT_EQ(ring.droppedBlocks(), failedPushes);
}

// The program's geometry: 8 KiB blocks through a 1024-slot ring, checked
// word by word.
TEST(BlockRingStress, FullSizeBlocksArriveIntact)
{
    const uint64_t total = stressBlocks(100000);
    BlockRing ring;
    std::atomic<bool> abort{false};
    std::thread producer([&]() {
        std::vector<uint64_t> block(1024);
        for (uint64_t seq = 0; seq < total && !abort.load(); ++seq) {
            fillBlock(block, seq);
            while (!ring.push(block.data()) && !abort.load())
                std::this_thread::yield();
        }
    });
    std::vector<uint64_t> block(1024);
    uint64_t expect = 0, bad = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(scaledMs(120000));
    while (expect < total && std::chrono::steady_clock::now() < deadline) {
        if (ring.pop(block.data())) {
            bad += blockIs(block, expect) ? 0 : 1;
            ++expect;
        } else {
            std::this_thread::yield();
        }
    }
    abort.store(true);
    producer.join();
    EXPECT_EQ(expect, total) << "timed out";
    EXPECT_EQ(bad, 0u);
}

TEST(BlockRingSlots, ARingOfLargerBlocksKeepsItsMemoryWithAtLeastFourSlots)
{
    struct Row {
        std::size_t blockBytes, memoryBytes, slotCount;
    };
    const Row rows[] = {
        {8192, BlockRing::kDefaultMemoryBytes, BlockRing::kDefaultSlotCount},  // the default ring
        {65536, 8 << 20, 128}, {1 << 20, 8 << 20, 8}, {4 << 20, 8 << 20, 4},
        {16 << 20, 8 << 20, 4}, {1 << 20, 64 << 20, 64}, {8192, 12 << 20, 1024},
    };
    for (const Row& r : rows)
        EXPECT_EQ(BlockRing::slotCountFor(r.blockBytes, r.memoryBytes), r.slotCount) << r.blockBytes << " in " << r.memoryBytes;
}
