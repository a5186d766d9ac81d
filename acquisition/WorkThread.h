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
// Records come from a RecordSource (RecordSource.h) chosen once per run:
// the board or the simulation in the triggered modes, the replay file in
// local-file mode; continuous transfer is a BlockStream (BlockStream.h).
//
// Locks: `mutex` guards the frame buffers and the stop request; a board or
// simulated pass holds it for the whole frame, emission included (the lock
// order is stated once, beside dataMutex in DeviceState.h). A failed fetch (a
// trigger that never came within the library's time-out, a failed transfer)
// gives no frame and a log line ("fetch failed") for the first failure of a
// run of them and every 100th. The replay path has a small lock of its own
// (pathMutex_) that is never held while taking another lock, so the GUI may
// change the path from any context, even while holding dataMutex.
//
// Run control (GUI thread), per start: setParameters(), allocateChannelBuffers(),
// start(QThread::TimeCriticalPriority). Stop: stopAndWait() (or requestStop()
// from any thread, then stopAndWait()).
#pragma once

#include "BlockStream.h"
#include "RecordSource.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

class BlockRing;
class QRandomGenerator;

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
    // Sets both stop flags, cancels a board fetch waiting for its capture
    // (KelPcieCancelFetch), then takes mutex, so it waits for the frame in
    // hand but never for a trigger. The caller then wait()s. Must not be
    // called while holding dataMutex.
    // Does nothing while the thread is not running. A stop that comes right
    // after start(), before run() got going, still ends that run: run() leaves
    // the flags alone on entry and clears them on its way out.
    void requestStop();
    // requestStop(), then waits for the run to end; then takes `mutex`, the
    // hand-off run() ends with, so everything the run did (its last push
    // into the ring among them) is ordered before the caller's next step in
    // a way ThreadSanitizer can see: it sees neither QThread::wait nor a
    // thread that had ended before this call. GUI or owning thread.
    void stopAndWait();
    // The replay file; safe while a replay runs (taken at the next record).
    void setLocalFilePath(const QString& path);
    QString localFilePath() const;

    int recordLength() const { return recordLength_; }
    int triggerMode() const { return parameters_.triggerMode; }

    // Test seam: the noise source of the simulated frames (null: the
    // process-wide generator). Set while not running.
    void setNoiseSource(QRandomGenerator* source) { noiseSource_ = source; }
    // Test seam: the DDR unit at which a continuous run starts reading (0 in
    // the program), so that a block crossing the ring's end can be provoked.
    void setStreamStartUnit(quint32 unit) { blockStream_.setStartUnit(unit); }
    // Continuous transfer's block size (BlockStream::setBlockBytes): set
    // while not running; the block ring must have blocks of this size.
    bool setStreamBlockBytes(qint64 bytes) { return blockStream_.setBlockBytes(bytes); }
    // The driver status that ended the last continuous run early (0: none):
    // a board that vanished ends the run by itself, with this set. Read after
    // the run ended (isRunning() false) or from any thread as a snapshot.
    int streamBoardError() const { return blockStream_.boardError(); }

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
    // One pass with a record source: fetch, emit, pause. Board and
    // simulated frames are made and emitted under `mutex`, replayed ones not.
    void recordPass(acquisition::RecordSource& source, bool underMutex);
    void freeChannelBuffers();
    // Whether this run's records are board fetches (free, edge, external).
    bool fetchesFromBoard() const;

    std::atomic<bool> stopRequested_{false};
    mutable std::mutex pathMutex_;  // leaf lock for localFilePath_ only
    QString localFilePath_{QStringLiteral("samples.bin")};
    int recordLength_ = 0;
    h452::AcquisitionParameters parameters_;
    double* channelData_[4] = {nullptr, nullptr, nullptr, nullptr};
    std::atomic<bool> streamStop_{false};
    BlockRing* blockRing_ = nullptr;
    acquisition::BlockStream blockStream_;
    quint64 failedFetches_ = 0;  // consecutive failed fetches (logged)
    QRandomGenerator* noiseSource_ = nullptr;
};
