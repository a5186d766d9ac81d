// The acquisition loop (see WorkThread.h).
#include "WorkThread.h"

#include "BlockRing.h"
#include "BoardRegisters.h"
#include "DeviceLock.h"
#include "DeviceState.h"
#include "KelPcieApi.h"

#include <QDebug>
#include <QRandomGenerator64>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

namespace {

constexpr quint32 kUnitBytes = 64;

constexpr unsigned long kBoardPauseMs = 10;
constexpr unsigned long kSimulationPauseMs = 30;
constexpr unsigned long kReplayPauseMs = 30;
constexpr unsigned long kRampPauseMs = 1;

} // namespace

namespace acquisition {

void fillSimulatedFrame(double* const channels[4], int n, QRandomGenerator& noise)
{
    // Uniform 0..29 from 32 random bits, by multiply and shift.
    auto draw = [&noise]() { return int((quint64(noise.generate()) * 30) >> 32); };
    double* ch0 = channels[0];
    double* ch1 = channels[1];
    double* ch2 = channels[2];
    double* ch3 = channels[3];
    for (int i = 0; i < n; ++i)
        ch0[i] = 200 * std::cos(i / 1e6 * 628312.52);
    for (int i = 0; i < n; ++i)
        ch2[i] = (i % 100 < 50 ? 350 : -350) + draw();
    for (int i = 0; i < n; ++i) {
        ch1[i] = 300 * std::sin(i * 0.01 * 12.5663704) + draw();
        ch3[i] = (i % 100 < 50 ? 230 : -230) + draw();
    }
}

void fillRampBlock(unsigned char* block8192)
{
    for (int i = 0; i < 4096; ++i)
        qToLittleEndian<qint16>(qint16(i), block8192 + 2 * i);
}

} // namespace acquisition

WorkThread::WorkThread(QObject* parent) : QThread(parent) {}

WorkThread::~WorkThread()
{
    // A thread object destroyed while its loop runs takes the process down;
    // whoever forgot to stop it, stop it here.
    if (isRunning()) {
        requestStop();
        wait();
    }
    std::lock_guard<std::mutex> lock(mutex);
    freeChannelBuffers();
}

void WorkThread::setParameters(int recordLength, int ddr4Address, int triggerMode,
                               qint16 triggerLevel, int triggerSlope, int triggerOffset)
{
    // Not needed while the thread is idle, but it orders these writes after
    // the previous run's last reads for every observer, ThreadSanitizer too.
    std::lock_guard<std::mutex> lock(mutex);
    recordLength_ = std::clamp(recordLength, 0, samplefile::kMaxRecordLength);
    this->ddr4Address = ddr4Address;
    triggerMode_ = triggerMode;
    this->triggerLevel = triggerLevel;
    this->triggerSlope = triggerSlope;
    this->triggerOffset = triggerOffset;
}

void WorkThread::allocateChannelBuffers()
{
    std::unique_lock<std::mutex> lock(mutex);
    freeChannelBuffers();
    for (double*& buffer : channelData)
        buffer = new double[std::size_t(recordLength_)]();
    // No run is active here, so a stale stop request cannot end the next one.
    stopRequested.store(false);
    streamStop.exchange(false);
}

void WorkThread::freeChannelBuffers()
{
    for (int k = 3; k >= 0; --k) {
        delete[] channelData[k];
        channelData[k] = nullptr;
    }
}

void WorkThread::setBlockRing(BlockRing* ring)
{
    blockRing = ring;
}

void WorkThread::requestStop()
{
    std::unique_lock<std::mutex> lock(mutex);
    // A request while idle would otherwise end the next run at once.
    if (!isRunning())
        return;
    stopRequested.store(true);
    streamStop.exchange(true);
}

void WorkThread::setLocalFilePath(const QString& path)
{
    std::lock_guard<std::mutex> lock(pathMutex);
    localFilePath_ = path;
}

QString WorkThread::localFilePath() const
{
    std::lock_guard<std::mutex> lock(pathMutex);
    return localFilePath_;
}

void WorkThread::run()
{
    qDebug().noquote() << QStringLiteral("子线程开始执行，线程ID：")
                       << QThread::currentThreadId();
    // The stop flags are not cleared here: a stop requested between start()
    // and this point must still end the run. They are cleared on the way out.
    readUnit = streamStartUnit > ddrLastUnit ? 0 : streamStartUnit;
    failedBlocks = 0;
    failedFetches = 0;
    std::fill(blockBuffer.begin(), blockBuffer.end(), 0u);

    {
        // Run control normally hands over fresh buffers; a start without them
        // gets its own rather than a null dereference.
        std::unique_lock<std::mutex> lock(mutex);
        if (!channelData[0] || !channelData[1] || !channelData[2] || !channelData[3]) {
            freeChannelBuffers();
            for (double*& buffer : channelData)
                buffer = new double[std::size_t(recordLength_)]();
        }
    }

    // The replay's staging area lives in the reader, allocated at the first
    // record of this run and reused afterwards.
    samplefile::RecordReader reader;
    qint64 fileOffset = 0;

    while (!stopRequested.load()) {
        switch (triggerMode_) {
        case acquisition::kModeContinuous:
            continuousPass();
            break;
        case acquisition::kModeLocalFile:
            replayPass(reader, fileOffset);
            break;
        default:
            fetchPass();
            break;
        }
    }

    {
        std::unique_lock<std::mutex> lock(mutex);
        freeChannelBuffers();
        stopRequested.store(false);
        streamStop.exchange(false);
    }
    qDebug().noquote() << QStringLiteral("子线程结束");
}

void WorkThread::fetchPass()
{
    const bool board = deviceHandle != 0;
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (board) {
            // The whole fetch is one register sequence; the lock goes before
            // the emission, whose receiver takes dataMutex.
            std::unique_lock<std::mutex> device(acquisition::deviceMutex());
            const int status = KelPcieFetchData(deviceHandle, channelData[0], channelData[1],
                                                channelData[2], channelData[3], recordLength_,
                                                ddr4Address, triggerMode_, triggerOffset,
                                                triggerLevel, triggerSlope);
            device.unlock();
            if (status != 0) {
                ++failedFetches;
                if (failedFetches % 100 == 1)
                    qDebug() << "fetch failed, status" << status << KelPcieStatusName(status) << "(mode"
                             << triggerMode_ << "," << failedFetches << "in a row)";
                lock.unlock();
                QThread::msleep(kBoardPauseMs);
                return;
            }
            failedFetches = 0;
        } else {
            QRandomGenerator* noise = noiseSource ? noiseSource : QRandomGenerator64::global();
            acquisition::fillSimulatedFrame(channelData, recordLength_, *noise);
        }
        emit sigSendData(channelData[0], channelData[1], channelData[2], channelData[3]);
    }
    QThread::msleep(board ? kBoardPauseMs : kSimulationPauseMs);
}

void WorkThread::replayPass(samplefile::RecordReader& reader, qint64& fileOffset)
{
    const QString path = localFilePath();
    const samplefile::ReadResult result = reader.read(path, fileOffset, recordLength_, channelData);
    switch (result.status) {
    case samplefile::Status::Ok:
        emit sigSendData(channelData[0], channelData[1], channelData[2], channelData[3]);
        fileOffset = result.nextOffsetBytes;
        break;
    case samplefile::Status::OpenFailed:
        // Keep the offset: a file that comes back resumes where it was.
        qDebug().noquote() << "open failed" << path;
        break;
    case samplefile::Status::OffsetPastEnd:
        // The file was replaced by a shorter one: start over at its beginning.
        fileOffset = 0;
        break;
    default:
        qDebug().noquote() << "replay failed:" << samplefile::statusText(result.status) << path;
        fileOffset = 0;
        break;
    }
    QThread::msleep(kReplayPauseMs);
}

void WorkThread::continuousPass()
{
    const bool board = deviceHandle != 0;
    if (!board)
        acquisition::fillRampBlock(reinterpret_cast<unsigned char*>(blockBuffer.data()));
    while (!streamStop.load()) {
        if (board) {
            streamBoardBlock();
        } else {
            if (blockRing)
                blockRing->push(blockBuffer.data());
            QThread::msleep(kRampPauseMs);
        }
    }
}

bool WorkThread::blockWritten(quint32 writeUnit, quint32 lastUnit, bool wrapped) const
{
    const quint32 halfRing = ddrLastUnit / 2;
    if (!wrapped) {
        // Still waiting while the pointer is at or before the last unit and
        // less than half a ring behind it; more than half a ring "behind"
        // means it has wrapped past it.
        return !(writeUnit <= lastUnit && lastUnit - writeUnit <= halfRing);
    }
    // The block ends in the ring's first units while the pointer may still be
    // near the ring's end: measure how far it lies behind the last unit
    // around the ring, so a pointer that has not yet wrapped is not taken for
    // one that has passed the block.
    const quint64 ringUnits = quint64(ddrLastUnit) + 1;
    const quint64 behind = (quint64(lastUnit) + ringUnits - writeUnit) % ringUnits;
    return behind > halfRing;
}

void WorkThread::streamBoardBlock()
{
    const quint32 start = readUnit;
    quint32 last = start + blockUnits - 1;
    bool wrapped = false;
    quint32 tail = 0;
    if (last > ddrLastUnit) {
        // The block's last `tail` units are the ring's first ones (units
        // 0 .. tail - 1), so `last` after the wrap equals the tail count.
        wrapped = true;
        last = last - ddrLastUnit;
        tail = last;
    }
    // The block's own last unit: `last` itself, or after a wrap the unit
    // before `last` (the first one the block leaves unread).
    const quint32 lastRead = wrapped ? last - 1 : last;

    // Wait until the board's write pointer has passed the block. The device
    // lock is taken per read and kept only once the block is complete, so the
    // transfer follows that read as one sequence, while a stalled board never
    // keeps the GUI's register writes waiting. A stop request ends the wait.
    std::unique_lock<std::mutex> device(acquisition::deviceMutex(), std::defer_lock);
    quint32 previous = 0;
    for (bool first = true;; first = false) {
        if (streamStop.load())
            return;
        quint32 status = 0;
        device.lock();
        KelPcieReadData(deviceHandle, boardreg::WritePointer, &status);
        if (blockWritten(status, lastRead, wrapped))
            break;
        device.unlock();
        // A pointer that did not move: give the other threads the core
        // rather than spin on it.
        if (!first && status == previous)
            std::this_thread::yield();
        previous = status;
    }

    // The next block starts at the first unit this one leaves unread: right
    // after its last unit, or at unit 0 when it ends on the ring's last unit.
    readUnit = wrapped ? last : (last == ddrLastUnit ? 0 : last + 1);
    KelPcieWriteData(deviceHandle, boardreg::TransferStart, start);
    int dmaStatus = 0;
    if (!wrapped) {
        KelPcieWriteData(deviceHandle, boardreg::TransferUnits, blockUnits);
        KelPcieWriteData(deviceHandle, boardreg::Command, boardreg::CommandTransfer);
        dmaStatus = KelPcieReadDMA(deviceHandle, 0, blockBuffer.data(), quint64(blockGroups) * 32);
    } else {
        // The block runs past the ring's last unit: its head comes from the end
        // of the ring, its tail from unit 0, both landing contiguously.
        const quint32 headUnits = blockUnits - tail;
        KelPcieWriteData(deviceHandle, boardreg::TransferUnits, headUnits);
        KelPcieWriteData(deviceHandle, boardreg::Command, boardreg::CommandTransfer);
        KelPcieReadDMA(deviceHandle, 0, blockBuffer.data(), quint64(headUnits) * kUnitBytes);
        KelPcieWriteData(deviceHandle, boardreg::TransferStart, 0);
        KelPcieWriteData(deviceHandle, boardreg::TransferUnits, tail);
        KelPcieWriteData(deviceHandle, boardreg::Command, boardreg::CommandTransfer);
        dmaStatus = KelPcieReadDMA(deviceHandle, 0, blockBuffer.data() + std::size_t(headUnits) * kUnitBytes / 4,
                                   quint64(tail) * kUnitBytes);
    }
    device.unlock();
    if (dmaStatus != 0) {
        // Nothing is pushed for a failed transfer; say so rather than leave a
        // silent gap in the recording.
        ++failedBlocks;
        if (failedBlocks == 1 || failedBlocks % 1000 == 0)
            qDebug() << "continuous transfer: block at unit" << start << "failed, status" << dmaStatus
                     << KelPcieStatusName(dmaStatus) << "(" << failedBlocks << "so far)";
        return;
    }
    if (blockRing)
        blockRing->push(blockBuffer.data());
}
