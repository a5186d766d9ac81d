// Continuous transfer (see BlockStream.h).
#include "BlockStream.h"

#include "BlockRing.h"
#include "BoardRegisters.h"
#include "BoardSettings.h"
#include "DeviceLock.h"
#include "DeviceState.h"
#include "KelPcieApi.h"

#include <QDebug>
#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

constexpr quint32 kUnitBytes = 64;

constexpr unsigned long kRampPauseMs = 1;

} // namespace

namespace acquisition {

void fillRampBlock(unsigned char* block, std::size_t bytes)
{
    for (std::size_t i = 0; i < bytes / 2; ++i)
        qToLittleEndian<quint16>(quint16(i), block + 2 * i);
}

bool BlockStream::validBlockBytes(qint64 bytes)
{
    return bytes >= qint64(kUnitBytes) && bytes <= (qint64(64) << 20) && (bytes & (bytes - 1)) == 0;
}

bool BlockStream::setBlockBytes(qint64 bytes)
{
    if (!validBlockBytes(bytes))
        return false;
    blockUnits_ = quint32(bytes / kUnitBytes);
    blockBuffer_.assign(std::size_t(bytes / 4), 0u);
    return true;
}

void BlockStream::endStream(int status, const char* what)
{
    boardError_.store(status);
    qDebug() << "continuous transfer: the board stopped answering (" << what << "status" << status
             << KelPcieStatusName(status) << "); the stream ends after the last good block";
}

void BlockStream::restart()
{
    readUnit_ = startUnit_ > ddrLastUnit_ ? 0 : startUnit_;
    boardError_.store(0);
    if (deviceHandle != 0) {
        const quint64 armings = streamArmings();
        if (streamedBefore_ && armings == armingOfLastRun_) {
            // The board kept streaming since the last run: what it wrote
            // meanwhile was never asked for, so begin where it writes now.
            quint32 writeUnit = 0;
            int status = 0;
            {
                std::lock_guard<std::mutex> device(deviceMutex());
                status = KelPcieReadData(deviceHandle, boardreg::WritePointer, &writeUnit);
            }
            if (status != 0)
                endStream(status, "write pointer");
            readUnit_ = writeUnit > ddrLastUnit_ ? 0 : writeUnit;
        }
        streamedBefore_ = true;
        armingOfLastRun_ = armings;
    }
    runStartUnit_ = readUnit_;
    failedBlocks_ = 0;
    std::fill(blockBuffer_.begin(), blockBuffer_.end(), 0u);
}

void BlockStream::run(const std::atomic<bool>& stop, BlockRing* ring)
{
    if (ring && ring->blockBytes() != blockBytes()) {
        qDebug() << "continuous transfer: the ring holds blocks of" << ring->blockBytes() << "bytes, not"
                 << blockBytes() << "; nothing is recorded";
        ring = nullptr;
    }
    const bool board = deviceHandle != 0;
    if (!board)
        fillRampBlock(reinterpret_cast<unsigned char*>(blockBuffer_.data()), blockBuffer_.size() * 4);
    while (!stop.load() && boardError_.load() == 0) {
        if (board) {
            streamBoardBlock(stop, ring);
        } else {
            if (ring)
                ring->push(blockBuffer_.data());
            QThread::msleep(kRampPauseMs);
        }
    }
}

bool BlockStream::blockWritten(quint32 writeUnit, quint32 lastUnit, bool wrapped) const
{
    const quint32 halfRing = ddrLastUnit_ / 2;
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
    const quint64 ringUnits = quint64(ddrLastUnit_) + 1;
    const quint64 behind = (quint64(lastUnit) + ringUnits - writeUnit) % ringUnits;
    return behind > halfRing;
}

void BlockStream::streamBoardBlock(const std::atomic<bool>& stop, BlockRing* ring)
{
    const quint32 start = readUnit_;
    quint32 last = start + blockUnits_ - 1;
    bool wrapped = false;
    quint32 tail = 0;
    if (last > ddrLastUnit_) {
        // The block's last `tail` units are the ring's first ones (units
        // 0 .. tail - 1), so `last` after the wrap equals the tail count.
        wrapped = true;
        last = last - ddrLastUnit_;
        tail = last;
    }
    // The block's own last unit: `last` itself, or after a wrap the unit
    // before `last` (the first one the block leaves unread).
    const quint32 lastRead = wrapped ? last - 1 : last;

    // Wait until the board's write pointer has passed the block. The device
    // lock is taken per read and kept only once the block is complete, so the
    // transfer follows that read as one sequence, while a stalled board never
    // keeps the GUI's register writes waiting. A stop request ends the wait.
    //
    // While it waits, the thread sleeps for half the time the board needs to
    // reach the block's end at the pace the pointer showed, when that is over
    // 200 µs, and at most 2 ms so that Stop answers at once; shorter waits
    // give the core away. Large blocks at a high rate left this thread
    // polling a whole core, which the recorder and the kernel's write-back
    // needed on a two-core machine.
    constexpr double kSleepAboveS = 200e-6;
    constexpr double kLongestSleepS = 2e-3;
    const quint64 ringUnits = quint64(ddrLastUnit_) + 1;
    std::unique_lock<std::mutex> device(acquisition::deviceMutex(), std::defer_lock);
    quint32 previous = 0;
    auto previousTime = std::chrono::steady_clock::now();
    for (bool first = true;; first = false) {
        if (stop.load())
            return;
        quint32 status = 0;
        device.lock();
        const int readStatus = KelPcieReadData(deviceHandle, boardreg::WritePointer, &status);
        if (readStatus != 0) {
            device.unlock();
            endStream(readStatus, "write pointer");
            return;
        }
        if (blockWritten(status, lastRead, wrapped))
            break;
        device.unlock();
        const auto now = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(now - previousTime).count();
        if (!first && status != previous && seconds > 0.0)
            unitsPerSecond_ = double((quint64(status) + ringUnits - previous) % ringUnits) / seconds;
        const double untilWritten
            = unitsPerSecond_ > 0.0 ? double((quint64(lastRead) + ringUnits - status) % ringUnits + 1) / unitsPerSecond_
                                    : 0.0;
        if (untilWritten > kSleepAboveS)
            std::this_thread::sleep_for(std::chrono::duration<double>(std::min(untilWritten / 2, kLongestSleepS)));
        else if (!first && status == previous)
            std::this_thread::yield();
        previous = status;
        previousTime = now;
    }

    // The next block starts at the first unit this one leaves unread: right
    // after its last unit, or at unit 0 when it ends on the ring's last unit.
    readUnit_ = wrapped ? last : (last == ddrLastUnit_ ? 0 : last + 1);
    // Straight into the ring's next slot; into the staging block, to be
    // dropped, when the ring is full.
    unsigned char* slot = ring ? ring->slotToFill() : nullptr;
    quint32* const into = slot ? reinterpret_cast<quint32*>(slot) : blockBuffer_.data();
    KelPcieWriteData(deviceHandle, boardreg::TransferStart, start);
    int dmaStatus = 0;
    if (!wrapped) {
        KelPcieWriteData(deviceHandle, boardreg::TransferUnits, blockUnits_);
        KelPcieWriteData(deviceHandle, boardreg::Command, boardreg::CommandTransfer);
        dmaStatus = KelPcieReadDMA(deviceHandle, 0, into, quint64(blockUnits_) * kUnitBytes);
    } else {
        // The block runs past the ring's last unit: its head comes from the end
        // of the ring, its tail from unit 0, both landing contiguously.
        const quint32 headUnits = blockUnits_ - tail;
        KelPcieWriteData(deviceHandle, boardreg::TransferUnits, headUnits);
        KelPcieWriteData(deviceHandle, boardreg::Command, boardreg::CommandTransfer);
        dmaStatus = KelPcieReadDMA(deviceHandle, 0, into, quint64(headUnits) * kUnitBytes);
        KelPcieWriteData(deviceHandle, boardreg::TransferStart, 0);
        KelPcieWriteData(deviceHandle, boardreg::TransferUnits, tail);
        KelPcieWriteData(deviceHandle, boardreg::Command, boardreg::CommandTransfer);
        const int tailStatus = KelPcieReadDMA(deviceHandle, 0, into + std::size_t(headUnits) * kUnitBytes / 4,
                                              quint64(tail) * kUnitBytes);
        if (dmaStatus == 0)
            dmaStatus = tailStatus;
    }
    device.unlock();
    if (dmaStatus != 0) {
        // Nothing is pushed for a failed transfer; say so rather than leave a
        // silent gap in the recording.
        ++failedBlocks_;
        if (failedBlocks_ == 1 || failedBlocks_ % 1000 == 0)
            qDebug() << "continuous transfer: block at unit" << start << "failed, status" << dmaStatus
                     << KelPcieStatusName(dmaStatus)
                     << "(" << failedBlocks_ << "so far)";
        return;
    }
    if (slot)
        ring->commitFill();
    else if (ring)
        ring->countDrop();
}

} // namespace acquisition
