// BlockStream: continuous transfer, the board's DDR ring streamed block by
// block into the BlockRing for the recorder (no frames are made of it).
//
// Each block of 128 units (8192 bytes) starts at the first unit the previous
// block left unread, so a recording is the board's stream without a repeated
// or skipped unit; a block that runs past the ring's last unit is read in two
// transfers (up to the end, then from unit 0) that land contiguous. The
// stream waits for the board's write pointer to pass a block before reading
// it; a stop request ends that wait at once, even when the pointer no longer
// moves. A failed transfer pushes nothing and is logged ("continuous
// transfer: block ... failed"). Without a board it pushes a ramp block (0 ..
// 4095) about once a millisecond.
//
// Each streamed block (the read of the write pointer that finds it complete,
// the transfer registers and the DMA) runs under the device lock
// (DeviceLock.h); the lock is let go between reads of a pointer that has not
// yet passed the block, so a stalled board never keeps it.
//
// Where a run starts: the first run after the board's continuous capture was
// armed starts at the unit it was armed at (the start unit, 0), so the
// recording holds the stream from its beginning. A later run on the same
// armed stream (streamArmings() unchanged, BoardSettings.h) starts at the
// unit the board is writing at that moment: the units between belong to no
// recording, and no unit an earlier recording holds is read again.
//
// Used by the acquisition thread only; one run at a time.
#pragma once

#include <QtGlobal>

#include <atomic>
#include <vector>

class BlockRing;

namespace acquisition {

// The board-less continuous pattern: the 4096 int16 codes 0, 1, ..., 4095,
// little-endian, filling one 8192-byte block.
void fillRampBlock(unsigned char* block8192);

class BlockStream {
public:
    // Prepares a new run: reading restarts at the start unit or, on a stream
    // already read from, at the board's write pointer (see above); the
    // staging block is cleared and the failure count restarts.
    void restart();
    // The unit the current run started reading at.
    quint32 runStartUnit() const { return runStartUnit_; }
    // Streams blocks into `ring` (may be null: blocks are dropped) until
    // `stop` is set; tested before the first block and after each one.
    void run(const std::atomic<bool>& stop, BlockRing* ring);

    // Test seam: the DDR unit at which a run starts reading (0 in the
    // program), so that a block crossing the ring's end can be provoked.
    void setStartUnit(quint32 unit) { startUnit_ = unit; }

private:
    void streamBoardBlock(const std::atomic<bool>& stop, BlockRing* ring);
    // Whether the board's write unit has passed `lastUnit`, the last unit of
    // the block; `wrapped`: the block crosses the ring's end.
    bool blockWritten(quint32 writeUnit, quint32 lastUnit, bool wrapped) const;

    quint32 ddrLastUnit_ = 0x3ffffff;
    int blockGroups_ = 256;
    quint32 blockUnits_ = 128;
    quint32 readUnit_ = 0;
    quint32 startUnit_ = 0;
    quint32 runStartUnit_ = 0;
    bool streamedBefore_ = false;  // a run of this stream has read the board
    quint64 armingOfLastRun_ = 0;  // streamArmings() at that run
    quint64 failedBlocks_ = 0;  // failed transfers of this run (logged)
    // 8192 bytes as 32-bit words: the DMA moves words.
    std::vector<quint32> blockBuffer_ = std::vector<quint32>(2048, 0);
};

} // namespace acquisition
