// Writer: the recorder thread of continuous transfer. It drains the BlockRing
// into time-stamped sample files, straight from the ring's slots (given back
// after the write; see Writes below), whatever the ring's block size, and
// starts a new file once the current one has grown past
// 10 GiB (checked every 10000 blocks of 8 KiB, that is every 80 MiB or so
// whatever the block size, so a file closes at the first such check after
// the limit).
//
// File names: "_" and the local time "yyyyMMddhhmmsszzz" inserted before the
// last four characters of the base name ("samples.bin" ->
// "samples_20261207102512345.bin"). A base name with a directory records into
// that directory. The base name itself is never written. Should a name already
// exist (two recordings in one millisecond), the time stamp moves on by a
// millisecond until the name is free, so a recording never truncates another.
//
// Metadata: beside every file (each roll-over part too) a SigMF metadata
// file (RecordingMeta.h), written atomically when the file opens and again
// when it closes; every run of blocks the full ring dropped becomes a gap
// segment at the exact group where it happened.
//
// Writes: one block per write straight from its slot in the ring (no copy
// on the way), except direct writes (below), which take a run of the blocks
// waiting (those next to each other in the ring's memory, up to 4 MiB and a
// quarter of the ring): a direct write waits for the disk, and small ones
// would leave it idle in between. Into the cache one block per write
// measured faster than runs: a block just filled is still in the processor's
// caches, a run of several is not. How they reach the disk (DiskWrites):
//   Behind   (the default) through the kernel's cache, with the disk kept
//            writing behind the recording and at most about 40 MiB waiting
//            (WriteBehind.h).
//   Direct   straight from the ring to the disk, past the cache (O_DIRECT;
//            the ring's slots are page-aligned and every block size is a
//            whole number of pages). No copy into the cache: half the CPU
//            time per GB, and the rest of the machine keeps its cache. It
//            needs a ring that rides out the disk's pauses on its own (the
//            cache's 40 MiB no longer help), and on a disk whose direct
//            writes are slower than its cached ones (some virtual disks) it
//            records slower. Where the file system refuses direct I/O, or
//            refuses a write made that way, the file goes on as Behind.
//   Cached   through the cache alone, as any other program's writes.
// Every way, a recording runs at the disk's own pace from its first block; a
// write-back the disk fails ends the recording as a failed write.
//
// Every recording ends with one log line naming its files, the blocks
// written, the blocks the full ring dropped meanwhile, the mean rate written
// and the longest single write.
//
// Failures: a file that cannot be created ("open failed", "reopen failed"), a
// write that does not take the whole block or a failed flush is logged and
// ends the recording; the file is cut back to its last whole block.
//
// Start and stop: startRecording() (or QThread::start) runs a recording;
// requestStop() clears `writing_`, and the caller then wait()s. `writing_` is
// raised at construction and again when a recording ends, not when run()
// begins, so a stop that comes before the thread got going is never
// overwritten and wait() cannot hang on it. A stop while idle is ignored.
// The end of a run is published under the summary's mutex, which
// lastSummary(), startRecording() and the destructor take: after wait(), any
// of them orders the whole run before what follows.
// Stop is asked for once the producer has stopped: the blocks still in the
// ring when the request is seen are written to the file they belong to
// before it closes (the caller need not wait: a new start waits for
// isRunning() to end). A recording takes what the ring holds when it
// starts; discardLeftovers(), called before starting the producer, empties
// it of what a failed recording left, so a recording holds only its own
// blocks.
#pragma once

#include "RecordingMeta.h"

#include <QString>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class BlockRing;
class QDateTime;

class Writer : public QThread {
    Q_OBJECT

public:
    static constexpr qint64 kDefaultRotationBytes = 10LL * 1024 * 1024 * 1024;
    static constexpr qint64 kDefaultRotationCheckBlocks = 10000;

    // Not started here. `ring` is not owned and must outlive the recorder.
    explicit Writer(BlockRing* ring, const QString& baseFileName = QStringLiteral("samples.bin"),
                    int blockBytes = 8192, QObject* parent = nullptr);
    // Stops a running recording and waits for it, so its file is complete.
    ~Writer() override;

    void startRecording(QThread::Priority priority = QThread::TimeCriticalPriority);
    void requestStop();
    // While neither the recorder nor the producer runs: empties the ring
    // (logged when it held anything). Returns the blocks thrown away.
    qint64 discardLeftovers();

    // Blocks written since construction (never reset).
    qint64 blocksWritten() const { return blocksWritten_.load(); }

    struct Summary {
        QStringList files;          // in the order they were written
        qint64 blocksWritten = 0;   // this recording
        std::uint64_t blocksDropped = 0;  // by the full ring during this recording
        bool failed = false;        // ended by an open, write or flush failure
        // The longest a single write kept the recorder from the ring: the
        // disk's longest pause, which the ring has to ride out (the ring's
        // memory should hold at least that long of the stream).
        double longestWriteMs = 0;
    };
    // The last finished recording (safe from any thread).
    Summary lastSummary() const;

    // Blocks between two looks at the file's size: 10000 blocks of 8 KiB, as
    // many bytes at other sizes (at least one block), so that a file of 4 MiB
    // blocks still rolls over near 10 GiB rather than at 40 GB.
    static qint64 rotationCheckBlocksFor(int blockBytes)
    {
        return std::max<qint64>(1, kDefaultRotationCheckBlocks * 8192 / std::max(1, blockBytes));
    }

    // "_" + local time inserted before the last four characters of base.
    static QString timestampedName(const QString& base, const QDateTime& when);

    // Test seams: a small rotation threshold, and a namer that replaces the
    // time-stamped names (for example to point a recording at a full device).
    // Set while not running.
    void setRotation(qint64 thresholdBytes, qint64 checkEveryBlocks);
    void setFileNamer(std::function<QString()> namer) { fileNamer_ = std::move(namer); }

    enum class DiskWrites { Behind, Direct, Cached };
    // How the files are written (see the top of this file). Set while not
    // running.
    void setDiskWrites(DiskWrites how) { diskWrites_ = how; }

    // What the metadata beside each file says of the recording (rate,
    // registers, trigger, hardware); file name, start time, offset, gaps,
    // drops and completeness are filled in per file. Set while not running.
    void setMetadata(const recordingmeta::Recording& metadata) { metadata_ = metadata; }

protected:
    void run() override;

private:
    QString nextFileName() const;
    // One recording into current, with its closing log line; run() then
    // publishes current.
    void record(Summary& current);

    BlockRing* blockRing_;
    QString baseFileName_;
    std::atomic<qint64> blocksWritten_{0};
    std::atomic<bool> writing_{true};
    int blockBytes_;
    qint64 rotationBytes_ = kDefaultRotationBytes;
    qint64 rotationCheckBlocks_ = kDefaultRotationCheckBlocks;
    std::function<QString()> fileNamer_;
    DiskWrites diskWrites_ = DiskWrites::Behind;
    recordingmeta::Recording metadata_;
    mutable std::mutex summaryMutex_;
    Summary summary_;
};
