// The acquisition loop (see WorkThread.h).
#include "WorkThread.h"

#include "DeviceState.h"
#include "KelPcieApi.h"

#include <QDebug>

#include <algorithm>
#include <memory>

WorkThread::WorkThread(QObject* parent) : QThread(parent) {}

WorkThread::~WorkThread()
{
    // A thread object destroyed while its loop runs takes the process down;
    // whoever forgot to stop it, stop it here.
    stopAndWait();
    std::lock_guard<std::mutex> lock(mutex);
    freeChannelBuffers();
}

void WorkThread::stopAndWait()
{
    if (isRunning()) {
        requestStop();
        wait();
    }
    std::lock_guard<std::mutex> handOff(mutex);
}

void WorkThread::setParameters(int recordLength, int ddr4Address, int triggerMode,
                               qint16 triggerLevel, int triggerSlope, int triggerOffset)
{
    // Not needed while the thread is idle, but it orders these writes after
    // the previous run's last reads for every observer, ThreadSanitizer too.
    std::lock_guard<std::mutex> lock(mutex);
    recordLength_ = std::clamp(recordLength, 0, samplefile::kMaxRecordLength);
    parameters_.recordLength = recordLength_;
    parameters_.ddr4Address = ddr4Address;
    parameters_.triggerMode = triggerMode;
    parameters_.triggerLevel = triggerLevel;
    parameters_.triggerSlope = triggerSlope;
    parameters_.triggerOffset = triggerOffset;
}

void WorkThread::allocateChannelBuffers()
{
    std::unique_lock<std::mutex> lock(mutex);
    freeChannelBuffers();
    for (double*& buffer : channelData_)
        buffer = new double[std::size_t(recordLength_)]();
    // No run is active here, so a stale stop request cannot end the next one.
    stopRequested_.store(false);
    streamStop_.exchange(false);
}

void WorkThread::freeChannelBuffers()
{
    for (int k = 3; k >= 0; --k) {
        delete[] channelData_[k];
        channelData_[k] = nullptr;
    }
}

void WorkThread::setBlockRing(BlockRing* ring)
{
    blockRing_ = ring;
}

void WorkThread::requestStop()
{
    // A request while idle would otherwise end the next run at once.
    if (!isRunning())
        return;
    stopRequested_.store(true);
    streamStop_.exchange(true);
    // A board pass holds `mutex` while its fetch waits for a trigger that
    // may never come. Cancel that fetch, or the one the thread is about to
    // start (the cancel stays pending until a fetch sees it), before taking
    // `mutex`: the thread looks at the stop flags after every cancelled
    // fetch, so the lock below waits for a few milliseconds at most.
    if (deviceHandle != 0 && fetchesFromBoard())
        KelPcieCancelFetch(deviceHandle);
    std::unique_lock<std::mutex> lock(mutex);
}

bool WorkThread::fetchesFromBoard() const
{
    const int mode = parameters_.triggerMode;
    return mode != acquisition::kModeContinuous && mode != acquisition::kModeLocalFile;
}

void WorkThread::setLocalFilePath(const QString& path)
{
    std::lock_guard<std::mutex> lock(pathMutex_);
    localFilePath_ = path;
}

QString WorkThread::localFilePath() const
{
    std::lock_guard<std::mutex> lock(pathMutex_);
    return localFilePath_;
}

void WorkThread::run()
{
    qDebug().noquote() << QStringLiteral("子线程开始执行，线程ID：")
                       << QThread::currentThreadId();
    // The stop flags are not cleared here: a stop requested between start()
    // and this point must still end the run. They are cleared on the way out.
    blockStream_.restart();
    failedFetches_ = 0;

    {
        // Run control normally hands over fresh buffers; a start without them
        // gets its own rather than a null dereference.
        std::unique_lock<std::mutex> lock(mutex);
        if (!channelData_[0] || !channelData_[1] || !channelData_[2] || !channelData_[3]) {
            freeChannelBuffers();
            for (double*& buffer : channelData_)
                buffer = new double[std::size_t(recordLength_)]();
        }
    }

    // The mode is fixed for a run, so is its source. The replay restarts at
    // byte 0 with every run; its staging area is allocated at the first
    // record and reused afterwards.
    const int mode = parameters_.triggerMode;
    std::unique_ptr<acquisition::RecordSource> source;
    if (mode == acquisition::kModeLocalFile)
        source = std::make_unique<acquisition::ReplaySource>([this] { return localFilePath(); });
    else if (mode != acquisition::kModeContinuous)
        source = acquisition::makeTriggeredSource(parameters_, acquisition::Simulation::Running, noiseSource_);

    while (!stopRequested_.load()) {
        if (source)
            recordPass(*source, mode != acquisition::kModeLocalFile);
        else {
            blockStream_.run(streamStop_, blockRing_);
            // A board that stopped answering ends the run: the recorder
            // drains what it has and closes the file.
            if (blockStream_.boardError() != 0)
                break;
        }
    }

    {
        std::unique_lock<std::mutex> lock(mutex);
        freeChannelBuffers();
        stopRequested_.store(false);
        streamStop_.exchange(false);
    }
    qDebug().noquote() << QStringLiteral("子线程结束");
}

void WorkThread::recordPass(acquisition::RecordSource& source, bool underMutex)
{
    std::unique_lock<std::mutex> lock(mutex, std::defer_lock);
    if (underMutex)
        lock.lock();
    auto* board = dynamic_cast<acquisition::BoardSource*>(&source);
    if (source.next(channelData_, recordLength_)) {
        failedFetches_ = 0;
        emit sigSendData(channelData_[0], channelData_[1], channelData_[2], channelData_[3]);
    } else if (board && board->lastStatus() == KELPCIE_ERR_CANCELLED) {
        // Stop or a register change took the fetch back; not a failure.
        // The loop looks at the stop request next.
    } else if (board) {
        ++failedFetches_;
        if (failedFetches_ % 100 == 1)
            qDebug() << "fetch failed, status" << board->lastStatus()
                     << KelPcieStatusName(board->lastStatus()) << "(mode"
                     << parameters_.triggerMode << "," << failedFetches_ << "in a row)";
    }
    if (lock.owns_lock())
        lock.unlock();
    QThread::msleep(source.pauseMs());
}
