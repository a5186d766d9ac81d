// BlockStream: continuous transfer, the board's DDR ring streamed block by
// block into the BlockRing for the recorder (no frames are made of it).
//
// Each block of 128 units (8192 bytes; setBlockBytes() chooses another power
// of two, the register sequence per block staying the same with the larger
// unit count) starts at the first unit the previous
// block left unread, so a recording is the board's stream without a repeated
// or skipped unit; a block that runs past the ring's last unit is read in two
// transfers (up to the end, then from unit 0) that land contiguous. The
// stream waits for the board's write pointer to pass a block before reading
// it; a stop request ends that wait at once, even when the pointer no longer
// moves. A failed transfer pushes nothing and is logged ("continuous
// transfer: block ... failed"). A read of the write pointer that fails (the
// driver's error: a board that vanished, a lost handle) ends the stream: it
// is logged once, run() returns and boardError() keeps the status until the
// next restart(), so the caller ends the recording after the last good
// block rather than poll a board that is gone. Without a board it pushes a
// ramp block (0, 1, 2, ... as int16) about once a millisecond.
//
// A block goes straight from the DMA into the ring's next free slot (no
// copy); when the ring is full it is read into a staging block and dropped,
// so the board's ring is read on regardless.
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
#include <cstddef>
#include <vector>

class BlockRing;

namespace acquisition {

// The board-less continuous pattern: the int16 codes 0, 1, 2, ... (modulo
// 65536), little-endian, filling a block of `bytes` bytes (even).
void fillRampBlock(unsigned char* block, std::size_t bytes = 8192);

class BlockStream {
public:
    static constexpr quint32 kDefaultBlockBytes = 8192;
    // Whether `bytes` can be a block: a power of two from one 64-byte unit
    // to 64 MiB.
    static bool validBlockBytes(qint64 bytes);
    // The block size of the next runs (while not running); an invalid one is
    // refused (false) and the size kept. The ring handed to run() must have
    // blocks of this size.
    bool setBlockBytes(qint64 bytes);
    quint32 blockBytes() const { return blockUnits_ * 64; }

    // Prepares a new run: reading restarts at the start unit or, on a stream
    // already read from, at the board's write pointer (see above); the
    // staging block is cleared and the failure count restarts.
    void restart();
    // The unit the current run started reading at.
    quint32 runStartUnit() const { return runStartUnit_; }
    // Streams blocks into `ring` (may be null: blocks are dropped) until
    // `stop` is set, tested before the first block and after each one, or
    // until the board fails (boardError()). A ring whose blocks are not
    // blockBytes() long gets nothing (logged once).
    void run(const std::atomic<bool>& stop, BlockRing* ring);
    // The driver status that ended this run's stream (0: none).
    int boardError() const { return boardError_.load(); }

    // Test seam: the DDR unit at which a run starts reading (0 in the
    // program), so that a block crossing the ring's end can be provoked.
    void setStartUnit(quint32 unit) { startUnit_ = unit; }

private:
    // Keeps `status` as boardError() and logs why the stream ends.
    void endStream(int status, const char* what);
    void streamBoardBlock(const std::atomic<bool>& stop, BlockRing* ring);
    // Whether the board's write unit has passed `lastUnit`, the last unit of
    // the block; `wrapped`: the block crosses the ring's end.
    bool blockWritten(quint32 writeUnit, quint32 lastUnit, bool wrapped) const;

    quint32 ddrLastUnit_ = 0x3ffffff;
    quint32 blockUnits_ = kDefaultBlockBytes / 64;
    std::atomic<int> boardError_{0};
    quint32 readUnit_ = 0;
    quint32 startUnit_ = 0;
    quint32 runStartUnit_ = 0;
    bool streamedBefore_ = false;  // a run of this stream has read the board
    quint64 armingOfLastRun_ = 0;  // streamArmings() at that run
    quint64 failedBlocks_ = 0;  // failed transfers of this run (logged)
    // The board's pace as the write pointer last showed it, in units per
    // second (0: not seen yet); see the wait in streamBoardBlock().
    double unitsPerSecond_ = 0.0;
    // One block as 32-bit words (the DMA moves words): the block pushed
    // without a board, and the landing place of a block the full ring drops.
    std::vector<quint32> blockBuffer_ = std::vector<quint32>(kDefaultBlockBytes / 4, 0);
};

} // namespace acquisition
