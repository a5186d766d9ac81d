// The recorder loop (see Writer.h).
#include "Writer.h"

#include "BlockRing.h"
#include "WriteBehind.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <QDateTime>
#include <QDebug>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The writes of one file, made as Writer::DiskWrites asks (see Writer.h).
class FileWrites {
public:
    FileWrites(int fd, Writer::DiskWrites how, const QString& name) : fd_(fd), name_(name)
    {
        direct_ = how == Writer::DiskWrites::Direct && setDirect(true);
        behind_.reset(!direct_ && how != Writer::DiskWrites::Cached ? fd : -1);
    }

    // Appends `bytes` from data; *written receives how many bytes went.
    // Returns 0, or the errno of the failure (ENOSPC for a write that took
    // nothing).
    int write(const unsigned char* data, qint64 bytes, qint64* written)
    {
        *written = 0;
        while (*written < bytes) {
            const ssize_t n = ::write(fd_, data + *written, std::size_t(bytes - *written));
            if (n > 0) {
                *written += n;
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && errno == EINVAL && direct_) {
                // The file system took the flag but not the write (its
                // blocks are larger than a page, say): the rest of the file
                // goes through the cache.
                qDebug().noquote() << "direct writes refused for" << name_ << "- writing through the cache";
                setDirect(false);
                direct_ = false;
                behind_.reset(fd_, ::lseek(fd_, 0, SEEK_CUR));
            } else {
                return n < 0 ? errno : ENOSPC;
            }
        }
        return behind_.appended(bytes);
    }

private:
    bool setDirect(bool on) const
    {
#ifdef O_DIRECT
        const int flags = ::fcntl(fd_, F_GETFL);
        return flags >= 0 && ::fcntl(fd_, F_SETFL, on ? flags | O_DIRECT : flags & ~O_DIRECT) == 0;
#else
        (void)on;
        return false;
#endif
    }

    int fd_;
    QString name_;
    bool direct_ = false;
    WriteBehind behind_;
};

// Blocks per direct write: up to 4 MiB of them, at most a quarter of the ring
// (so the stream has room while a write runs), at least one.
std::size_t directRunBlocks(std::size_t blockBytes, std::size_t ringCapacity)
{
    const std::size_t byBytes = (std::size_t(4) << 20) / std::max<std::size_t>(1, blockBytes);
    return std::max<std::size_t>(1, std::min(byBytes, ringCapacity / 4));
}

} // namespace

Writer::Writer(BlockRing* ring, const QString& baseFileName, int blockBytes, QObject* parent)
    : QThread(parent),
      blockRing_(ring),
      baseFileName_(baseFileName),
      blockBytes_(blockBytes)
{
    if (ring)
        blockBytes_ = std::clamp(blockBytes, 0, int(ring->blockBytes()));
    rotationCheckBlocks_ = rotationCheckBlocksFor(blockBytes_);
}

Writer::~Writer()
{
    if (isRunning()) {
        requestStop();
        wait();
    }
    // run() takes this lock last; taking it here orders everything it did
    // before the members go, in a way ThreadSanitizer can see (it cannot see
    // QThread::wait).
    std::lock_guard<std::mutex> lock(summaryMutex_);
}

void Writer::startRecording(QThread::Priority priority)
{
    if (isRunning())
        return;
    {
        // Acquires the previous run's closing hand-off (see run()), so that
        // run and the next one are ordered for ThreadSanitizer, too.
        std::lock_guard<std::mutex> lock(summaryMutex_);
        writing_.store(true);
    }
    start(priority);
}

qint64 Writer::discardLeftovers()
{
    if (isRunning() || !blockRing_)
        return 0;
    // Ordered after the previous run's last pop by its closing hand-off.
    std::lock_guard<std::mutex> lock(summaryMutex_);
    qint64 discarded = 0;
    while (blockRing_->oldest()) {
        blockRing_->release();
        ++discarded;
    }
    if (discarded > 0)
        qDebug() << "recording: discarded" << discarded << "blocks left from before";
    return discarded;
}

void Writer::requestStop()
{
    // A request while idle would otherwise end the next recording at once.
    if (!isRunning())
        return;
    writing_.exchange(false);
}

Writer::Summary Writer::lastSummary() const
{
    std::lock_guard<std::mutex> lock(summaryMutex_);
    return summary_;
}

QString Writer::timestampedName(const QString& base, const QDateTime& when)
{
    const int cut = std::max(0, base.size() - 4);
    return base.left(cut) + QLatin1Char('_') + when.toString(QStringLiteral("yyyyMMddhhmmsszzz"))
        + base.mid(cut);
}

void Writer::setRotation(qint64 thresholdBytes, qint64 checkEveryBlocks)
{
    rotationBytes_ = thresholdBytes;
    rotationCheckBlocks_ = std::max<qint64>(1, checkEveryBlocks);
}

QString Writer::nextFileName() const
{
    if (fileNamer_)
        return fileNamer_();
    QDateTime when = QDateTime::currentDateTime();
    QString name = timestampedName(baseFileName_, when);
    while (QFile::exists(name)) {
        when = when.addMSecs(1);
        name = timestampedName(baseFileName_, when);
    }
    return name;
}

void Writer::run()
{
    Summary current;
    record(current);
    // The closing hand-off, the last thing this thread does with the
    // recorder: the summary and the re-armed flag are published under
    // summaryMutex_, which lastSummary(), startRecording() and the destructor
    // take, so everything the run did happens before them in a way
    // ThreadSanitizer can see (it cannot see QThread::wait).
    std::lock_guard<std::mutex> lock(summaryMutex_);
    summary_ = std::move(current);
    // Re-arm for the next start (see requestStop).
    writing_.store(true);
}

void Writer::record(Summary& current)
{
    const std::uint64_t droppedAtStart = blockRing_ ? blockRing_->droppedBlocks() : 0;
    QElapsedTimer clock;
    clock.start();
    auto finish = [&]() {
        current.blocksDropped = blockRing_ ? blockRing_->droppedBlocks() - droppedAtStart : 0;
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        const double meanMbPerS = seconds > 0 ? double(current.blocksWritten) * blockBytes_ / 1e6 / seconds : 0.0;
        qDebug().noquote() << "recording ended:" << current.files.join(QStringLiteral(", "))
                           << "blocks written" << current.blocksWritten << "blocks dropped"
                           << current.blocksDropped << "mean" << QString::number(meanMbPerS, 'f', 1) << "MB/s"
                           << "longest write" << QString::number(current.longestWriteMs, 'f', 1) << "ms"
                           << (current.failed ? "(failed)" : "");
    };

    if (!blockRing_) {
        current.failed = true;
        finish();
        return;
    }

    QString name = nextFileName();
    // Unbuffered: the blocks are written by write() on the file's descriptor
    // straight from the ring, and a full disk is reported by the write that
    // did not fit.
    auto file = std::make_unique<QFile>(name);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        qDebug().noquote() << "open failed" << name;
        current.failed = true;
        finish();
        return;
    }
    current.files << name;
    FileWrites out(file->handle(), diskWrites_, name);

    // The metadata of the part being written: once when it opens (marked
    // incomplete), once when it closes. A metadata failure is logged once
    // and never ends the recording: the samples matter more.
    const qint64 groupsPerBlock = blockBytes_ / recordingmeta::kGroupBytes;
    // The metadata states the block size the file was really written in.
    metadata_.blockBytes = blockBytes_;
    recordingmeta::Recording part = metadata_;
    qint64 groupsBefore = 0;       // in earlier parts
    qint64 droppedGroups = 0;      // dropped so far in the whole recording
    quint64 gapBlocks = 0;         // dropped blocks placed as gaps
    bool metaFailed = false;
    auto writeMeta = [&](bool complete) {
        part.complete = complete;
        QString error;
        if (!recordingmeta::write(recordingmeta::metaPathFor(name), part, &error) && !metaFailed) {
            metaFailed = true;
            qDebug().noquote() << "metadata write failed" << recordingmeta::metaPathFor(name) << error;
        }
    };
    auto openMeta = [&]() {
        part = metadata_;
        part.dataFileName = QFileInfo(name).fileName();
        part.startUtc = QDateTime::currentDateTimeUtc();
        part.offsetGroups = groupsBefore;
        part.gaps.clear();
        part.droppedBlocks = 0;
        writeMeta(false);
    };
    auto groupsInPart = [&]() { return current.blocksWritten * groupsPerBlock - groupsBefore; };
    auto closeMeta = [&]() {
        if (!writing_.load() || current.failed) {
            // Blocks dropped after the last pushed one have no block to
            // precede; they count for the part that was open.
            const std::uint64_t all = blockRing_->droppedBlocks() - droppedAtStart;
            part.droppedBlocks += all > gapBlocks ? all - gapBlocks : 0;
            gapBlocks = all;
        }
        writeMeta(true);
    };
    openMeta();

    auto fail = [&](const char* what, const QString& why) {
        qDebug().noquote() << what << name << why;
        current.failed = true;
        // Keep the file whole up to the last good block.
        file->resize(groupsInPart() * recordingmeta::kGroupBytes);
        file->close();
        closeMeta();
    };

    // After a stop request the blocks then waiting in the ring still belong
    // to this recording: drain that many (the producer has stopped, so no
    // more come), then close.
    qint64 drainLeft = -1;  // -1: recording; otherwise blocks still to drain
    // Runs for direct writes only (see Writer.h); a run is written as one
    // stretch of memory, so it needs blocks that fill their slots.
    const std::size_t maxRun = diskWrites_ == DiskWrites::Direct && std::size_t(blockBytes_) == blockRing_->blockBytes()
                                   ? directRunBlocks(std::size_t(blockBytes_), blockRing_->capacity())
                                   : 1;
    while (true) {
        if (drainLeft < 0 && !writing_.load())
            drainLeft = qint64(blockRing_->size());
        if (drainLeft == 0) {
            if (!file->flush()) {
                fail("flush failed", file->errorString());
                break;
            }
            file->close();
            closeMeta();
            break;
        }
        // A run stops at the next look at the file's size, so that files
        // roll over where they would block by block.
        const qint64 total = blocksWritten_.load();
        std::size_t limit = std::min<std::size_t>(maxRun, std::size_t(rotationCheckBlocks_ - total % rotationCheckBlocks_));
        if (drainLeft > 0)
            limit = std::min<std::size_t>(limit, std::size_t(drainLeft));
        std::size_t count = 0;
        // Written from their slots in the ring, which are given back after
        // the write: no copy on the way.
        if (const unsigned char* run = blockRing_->oldestRun(limit, &count)) {
            // Drops can only precede a run's first block, so that each gap
            // is placed at the block it came before.
            for (std::size_t i = 1; i < count; ++i) {
                if (blockRing_->dropsBeforeInRun(i) > 0) {
                    count = i;
                    break;
                }
            }
            if (drainLeft > 0)
                drainLeft -= qint64(count);
            if (const std::uint64_t dropsBefore = blockRing_->dropsBeforeInRun(0)) {
                droppedGroups += qint64(dropsBefore) * groupsPerBlock;
                gapBlocks += dropsBefore;
                part.droppedBlocks += dropsBefore;
                part.gaps.push_back({groupsInPart(), current.blocksWritten * groupsPerBlock + droppedGroups,
                                     dropsBefore});
            }
            const qint64 bytes = qint64(count) * blockBytes_;
            qint64 written = 0;
            const qint64 writeStart = clock.nsecsElapsed();
            const int error = out.write(run, bytes, &written);
            current.longestWriteMs = std::max(current.longestWriteMs, double(clock.nsecsElapsed() - writeStart) / 1e6);
            blockRing_->release(count);
            // The whole blocks of a write cut short still count: the file
            // is cut back to them.
            const qint64 whole = blockBytes_ > 0 ? written / blockBytes_ : qint64(count);
            current.blocksWritten += whole;
            blocksWritten_.fetch_add(whole);
            if (error != 0 || written != bytes) {
                fail("write failed", QString::fromLocal8Bit(std::strerror(error != 0 ? error : ENOSPC)));
                break;
            }
            if ((total + qint64(count)) % rotationCheckBlocks_ == 0 && file->size() > rotationBytes_) {
                if (!file->flush()) {
                    fail("flush failed", file->errorString());
                    break;
                }
                file->close();
                closeMeta();
                groupsBefore = current.blocksWritten * groupsPerBlock;
                name = nextFileName();
                file = std::make_unique<QFile>(name);
                if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
                    qDebug().noquote() << "reopen failed" << name;
                    current.failed = true;
                    break;
                }
                current.files << name;
                out = FileWrites(file->handle(), diskWrites_, name);
                openMeta();
            }
        } else if (drainLeft > 0) {
            drainLeft = 0;  // fewer than counted: the ring is empty
        } else {
            if (!file->flush()) {
                fail("flush failed", file->errorString());
                break;
            }
            QThread::msleep(1);
        }
    }
    finish();
}
