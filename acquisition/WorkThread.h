// WorkThread: the one thread that produces sample data.
//
// Each start runs one acquisition loop in the mode chosen by the trigger
// source: 0 free trigger, 1 edge trigger, 3 external trigger (one record per
// pass from the board, or a simulated frame without one), 2 continuous
// transfer (the board's DDR ring, or a ramp pattern without a board, streamed
// into the BlockRing for the recorder; no frames), 4 local file (records of a
// sample file replayed as frames).
//
// Frames leave through sigSendData, which the window connects with
// Qt::DirectConnection: the receiver runs on this thread, inside the emission,
// while the four arrays are valid, and copies what it keeps.
//
// Continuous transfer from the board: each block of 128 units (8192 bytes)
// starts at the first unit the previous block left unread, so a recording is
// the board's stream without a repeated or skipped unit; a block that runs
// past the ring's last unit is read in two transfers (up to the end, then from
// unit 0) that land contiguous. The thread waits for the board's write pointer
// to pass a block before reading it; a stop request ends that wait at once,
// even when the pointer no longer moves. A failed transfer pushes nothing and
// is logged ("continuous transfer: block ... failed").
//
// Locks: `mutex` guards the frame buffers and the stop request; a board or
// simulated pass holds it for the whole frame, emission included, and the
// receiver takes dataMutex inside, so the order is always mutex, then
// dataMutex. Each fetch and each streamed block runs under the device lock
// (DeviceLock.h), which comes last in that order and is let go before a
// frame is emitted. A failed fetch (a trigger that never came within the
// library's time-out, a failed transfer) gives no frame and a log line
// ("fetch failed") for the first failure of a run of them and every 100th. The replay path has a small lock of its own (pathMutex) that is
// never held while taking another lock, so the GUI may change the path from
// any context, even while holding dataMutex.
//
// Run control (GUI thread), per start: setParameters(), allocateChannelBuffers(),
// start(QThread::TimeCriticalPriority). Stop: requestStop(), wait().
#pragma once

#include "SampleFile.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

class BlockRing;
class QRandomGenerator;

namespace acquisition {

constexpr int kModeFreeTrigger = 0;
constexpr int kModeEdgeTrigger = 1;
constexpr int kModeContinuous = 2;
constexpr int kModeExternalTrigger = 3;
constexpr int kModeLocalFile = 4;

// The simulated frame of the board-less trigger modes: channel 0 a noiseless
// cosine of 200 codes and period 10 samples; channel 1 a sine of 300 codes and
// period 50; channels 2 and 3 square waves of +-350 and +-230 codes, period
// 100; channels 1 to 3 carry a uniform integer noise 0..29. Fill and draw
// order: all of channel 0, all of channel 2, then per sample channel 1 and
// channel 3. Each noise value is (x * 30) >> 32 of 32 bits x from `noise`.
// `channels`: four caller-owned arrays of n doubles.
void fillSimulatedFrame(double* const channels[4], int n, QRandomGenerator& noise);

// The board-less continuous pattern: the 4096 int16 codes 0, 1, ..., 4095,
// little-endian, filling one 8192-byte block.
void fillRampBlock(unsigned char* block8192);

} // namespace acquisition

class WorkThread : public QThread {
    Q_OBJECT

public:
    explicit WorkThread(QObject* parent = nullptr);
    // Stops and waits for a running loop first, then frees what it owns.
    ~WorkThread() override;

    // ---- Run control, GUI thread, while the thread is not running ---------
    // recordLength is clamped to 0 .. samplefile::kMaxRecordLength.
    void setParameters(int recordLength, int ddr4Address, int triggerMode, qint16 triggerLevel,
                       int triggerSlope, int triggerOffset);
    // Replaces the four frame buffers by fresh zeroed ones of recordLength
    // doubles each (under mutex) and clears the stop flags for the next run.
    void allocateChannelBuffers();
    void setBlockRing(BlockRing* ring);

    // ---- Any thread --------------------------------------------------------
    // Sets both stop flags under mutex, so it waits for the frame in hand.
    // The caller then wait()s. Must not be called while holding dataMutex.
    // Does nothing while the thread is not running. A stop that comes right
    // after start(), before run() got going, still ends that run: run() leaves
    // the flags alone on entry and clears them on its way out.
    void requestStop();
    // The replay file; safe while a replay runs (taken at the next record).
    void setLocalFilePath(const QString& path);
    QString localFilePath() const;

    int recordLength() const { return recordLength_; }
    int triggerMode() const { return triggerMode_; }

    // Test seam: the noise source of the simulated frames (null: the
    // process-wide generator). Set while not running.
    void setNoiseSource(QRandomGenerator* source) { noiseSource = source; }
    // Test seam: the DDR unit at which a continuous run starts reading (0 in
    // the program), so that a block crossing the ring's end can be provoked.
    void setStreamStartUnit(quint32 unit) { streamStartUnit = unit; }

    // Guards the frame buffers and the stop request (see above). A std::mutex
    // rather than a QMutex so that ThreadSanitizer sees the hand-over of the
    // buffers, including the last one when run() ends (QThread::wait itself
    // is invisible to it).
    std::mutex mutex;

signals:
    void sigSendData(double* dDataCh0, double* dDataCh1, double* dDataCh2, double* dDataCh3);

protected:
    void run() override;

private:
    void fetchPass();
    void replayPass(samplefile::RecordReader& reader, qint64& fileOffset);
    void continuousPass();
    void streamBoardBlock();
    // Whether the board's write unit has passed `lastUnit`, the last unit of
    // the block; `wrapped`: the block crosses the ring's end.
    bool blockWritten(quint32 writeUnit, quint32 lastUnit, bool wrapped) const;
    void freeChannelBuffers();

    std::atomic<bool> stopRequested{false};
    mutable std::mutex pathMutex;  // leaf lock for localFilePath_ only
    QString localFilePath_{QStringLiteral("samples.bin")};
    int recordLength_ = 0;
    int ddr4Address = 0;
    int triggerMode_ = 0;
    qint16 triggerLevel = 0;
    int triggerSlope = 0;
    int triggerOffset = 0;
    double* channelData[4] = {nullptr, nullptr, nullptr, nullptr};
    std::atomic<bool> streamStop{false};
    BlockRing* blockRing = nullptr;
    quint32 ddrLastUnit = 0x3ffffff;
    int blockGroups = 256;
    quint32 blockUnits = 128;
    quint32 readUnit = 0;
    quint32 streamStartUnit = 0;
    quint64 failedBlocks = 0;   // failed transfers of this run (logged)
    quint64 failedFetches = 0;  // consecutive failed fetches (logged)
    // 8192 bytes as 32-bit words: the DMA moves words.
    std::vector<quint32> blockBuffer = std::vector<quint32>(2048, 0);
    QRandomGenerator* noiseSource = nullptr;
};
