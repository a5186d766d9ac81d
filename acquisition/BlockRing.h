// BlockRing: the lock-free single-producer, single-consumer ring of fixed-size
// byte blocks that carries the continuous stream from the acquisition thread
// (the only producer) to the recorder (the only consumer).
//
// The ring has a power-of-two number of slots and keeps one free, so it holds
// at most slotCount - 1 blocks (1023 blocks, 8 MiB less one block, in the
// program). A push into a full ring drops the block: the stream must never
// wait for the disk. Dropped blocks are counted so that a recording can say
// how much it lost, and each block remembers how many were dropped right
// before it was pushed, so the recorder can place every gap exactly.
//
// The slots start on 4 KiB boundaries, so that blocks of a multiple of 4 KiB
// can go from their slot to the disk by direct I/O.
//
// Memory ordering: each index is written by one side only and only after that
// side's copy is complete. The owner loads its own index relaxed, loads the
// other side's index with acquire and publishes its own with release, so the
// bytes of a slot are visible before the index that hands the slot over.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

class BlockRing {
public:
    static constexpr std::size_t kDefaultSlotCount = 1024;
    static constexpr std::size_t kDefaultSlotBytes = 8192;
    static constexpr std::size_t kDefaultMemoryBytes = kDefaultSlotCount * kDefaultSlotBytes;  // 8 MiB

    // The slot count of a ring of `blockBytes` blocks in at most
    // `memoryBytes` of slots: the largest power of two that fits, but at
    // least 4, so that with blocks larger than a quarter of the budget the
    // stream can still fill a block while the recorder writes two (the ring
    // then takes 4 blocks). 8 KiB blocks in 8 MiB: the 1024 slots of the
    // default ring; 1 MiB blocks: 8 slots.
    static std::size_t slotCountFor(std::size_t blockBytes, std::size_t memoryBytes = kDefaultMemoryBytes)
    {
        std::size_t count = 4;
        while (blockBytes > 0 && count <= memoryBytes / blockBytes / 2)
            count <<= 1;
        return count;
    }

    static constexpr std::size_t kSlotAlignment = 4096;

    // slotCount must be a power of two of at least 2 (other values are
    // rounded up to one); all slots are allocated here, once (std::bad_alloc
    // when the memory is not there).
    explicit BlockRing(std::size_t slotCount = kDefaultSlotCount,
                       std::size_t slotBytes = kDefaultSlotBytes)
        : slotCount_(roundUpToPowerOfTwo(slotCount)),
          mask_(std::int64_t(slotCount_) - 1),
          slotBytes_(std::int64_t(slotBytes)),
          storage_(allocateStorage(slotCount_ * slotBytes)),
          dropsBefore_(new std::uint64_t[slotCount_]())
    {
    }

    BlockRing(const BlockRing&) = delete;
    BlockRing& operator=(const BlockRing&) = delete;

    // Producer side. Copies blockBytes() bytes from block into the ring; returns
    // false (and counts a drop) when the ring is full.
    bool push(const void* block)
    {
        unsigned char* to = slotToFill();
        if (!to) {
            countDrop();
            return false;
        }
        std::memcpy(to, block, std::size_t(slotBytes_));
        commitFill();
        return true;
    }

    // Producer side, without a copy: the slot the next block goes into, to be
    // filled in place (for example by a DMA) and handed over with commitFill();
    // null when the ring is full, in which case the block is the caller's
    // to drop with countDrop(). The slot stays the producer's until
    // commitFill(); asking again before that returns the same slot.
    unsigned char* slotToFill()
    {
        const std::int64_t h = head_.load(std::memory_order_relaxed);  // own index
        const std::int64_t next = (h + 1) & mask_;
        // Look at the consumer's index only when the cached copy says full,
        // so the two cores do not trade the index's cache line every block.
        if (next == tailCache_)
            tailCache_ = tail_.load(std::memory_order_acquire);  // consumer's index
        return next == tailCache_ ? nullptr : slot(h);
    }
    void commitFill()
    {
        const std::int64_t h = head_.load(std::memory_order_relaxed);
        dropsBefore_[std::size_t(h)] = pendingDrops_;  // handed over with the slot
        pendingDrops_ = 0;
        head_.store((h + 1) & mask_, std::memory_order_release);  // hand the filled slot over
    }
    // A block the full ring could not take.
    void countDrop()
    {
        // Only the producer writes the counter; relaxed is enough for a
        // statistic read by others.
        dropped_.store(dropped_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        ++pendingDrops_;
    }

    // Consumer side. Copies the oldest block into block (blockBytes() bytes);
    // returns false when the ring is empty.
    bool pop(void* block) { return pop(block, nullptr); }

    // As above; *dropsBefore (when not null) receives the blocks the ring
    // dropped between the previous pushed block and this one.
    bool pop(void* block, std::uint64_t* dropsBefore)
    {
        const unsigned char* from = oldest(dropsBefore);
        if (!from)
            return false;
        std::memcpy(block, from, std::size_t(slotBytes_));
        release();
        return true;
    }

    // Consumer side, without a copy: the oldest block in place (blockBytes()
    // bytes), or null when the ring is empty; *dropsBefore as for pop(). The
    // block stays valid until release() gives its slot back.
    const unsigned char* oldest(std::uint64_t* dropsBefore = nullptr)
    {
        const std::int64_t t = tail_.load(std::memory_order_relaxed);  // own index
        if (t == headCache_) {
            headCache_ = head_.load(std::memory_order_acquire);  // producer's index
            if (t == headCache_)
                return nullptr;
        }
        if (dropsBefore)
            *dropsBefore = dropsBefore_[std::size_t(t)];
        return slot(t);
    }
    // Gives the slot oldest() returned back to the producer.
    void release() { release(1); }

    // Consumer side, without a copy: up to maxBlocks of the oldest blocks
    // that lie one after another in memory (a run stops at the end of the
    // slots), so that one write can take them all; *count receives how many,
    // and null is returned when the ring is empty. dropsBeforeInRun(i) is
    // the dropsBefore of the run's i-th block. The blocks stay valid until
    // release(count) gives their slots back.
    const unsigned char* oldestRun(std::size_t maxBlocks, std::size_t* count)
    {
        *count = 0;
        const unsigned char* first = oldest();
        if (!first || maxBlocks == 0)
            return nullptr;
        const std::int64_t t = tail_.load(std::memory_order_relaxed);
        const std::int64_t wanted = std::min<std::int64_t>(std::int64_t(slotCount_) - t, std::int64_t(maxBlocks));
        // The cached head may be behind: look again when it would cut the
        // run short (once per run, not per block).
        if (((headCache_ - t) & mask_) < wanted)
            headCache_ = head_.load(std::memory_order_acquire);  // producer's index
        *count = std::size_t(std::min<std::int64_t>((headCache_ - t) & mask_, wanted));
        return first;
    }
    std::uint64_t dropsBeforeInRun(std::size_t i) const
    {
        const std::int64_t t = tail_.load(std::memory_order_relaxed);
        return dropsBefore_[std::size_t((t + std::int64_t(i)) & mask_)];
    }
    // Gives the oldest `blocks` slots back to the producer (at most the
    // blocks waiting).
    void release(std::size_t blocks)
    {
        const std::int64_t t = tail_.load(std::memory_order_relaxed);
        tail_.store((t + std::int64_t(blocks)) & mask_, std::memory_order_release);  // give the slots back
    }

    // Blocks waiting; exact when called from either side while the other is
    // idle, a snapshot otherwise.
    std::size_t size() const
    {
        const std::int64_t h = head_.load(std::memory_order_acquire);
        const std::int64_t t = tail_.load(std::memory_order_acquire);
        return std::size_t((h - t) & mask_);
    }
    bool empty() const { return size() == 0; }

    // Blocks dropped because the ring was full, since construction.
    std::uint64_t droppedBlocks() const { return dropped_.load(std::memory_order_relaxed); }

    std::size_t slotCount() const { return slotCount_; }
    std::size_t capacity() const { return slotCount_ - 1; }
    std::size_t blockBytes() const { return std::size_t(slotBytes_); }

private:
    static std::size_t roundUpToPowerOfTwo(std::size_t n)
    {
        std::size_t p = 2;
        while (p < n)
            p <<= 1;
        return p;
    }
    struct FreeStorage {
        void operator()(unsigned char* p) const { std::free(p); }
    };
    static unsigned char* allocateStorage(std::size_t bytes)
    {
        // Whole pages, so that every slot of a size in whole pages starts on
        // a page; zeroed, which also touches every page now rather than
        // while the stream runs.
        const std::size_t rounded = (bytes + kSlotAlignment - 1) / kSlotAlignment * kSlotAlignment;
        void* p = std::aligned_alloc(kSlotAlignment, rounded == 0 ? kSlotAlignment : rounded);
        if (!p)
            throw std::bad_alloc();
        std::memset(p, 0, rounded);
        return static_cast<unsigned char*>(p);
    }

    unsigned char* slot(std::int64_t index) const
    {
        return storage_.get() + std::size_t(index) * std::size_t(slotBytes_);
    }

    const std::size_t slotCount_;
    const std::int64_t mask_;
    const std::int64_t slotBytes_;
    std::unique_ptr<unsigned char, FreeStorage> storage_;
    std::unique_ptr<std::uint64_t[]> dropsBefore_;  // per slot, written with its bytes

    // Each index on a cache line of its own so that the two threads do not
    // invalidate each other's line on every block.
    // The cached copies are plain: each is touched by its own side only.
    alignas(64) std::atomic<std::int64_t> head_{0};  // next slot to fill; producer writes
    std::int64_t tailCache_ = 0;                     // producer's last view of tail_
    std::uint64_t pendingDrops_ = 0;                 // producer's drops since its last push
    std::atomic<std::uint64_t> dropped_{0};          // producer writes
    alignas(64) std::atomic<std::int64_t> tail_{0};  // next slot to drain; consumer writes
    std::int64_t headCache_ = 0;                     // consumer's last view of head_
    alignas(64) char padding_[64 - sizeof(std::int64_t)] = {};
};
