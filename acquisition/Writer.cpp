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
#include <cstring>

Writer::Writer(BlockRing* ring, const QString& baseFileName, int blockBytes, QObject* parent)
    : QThread(parent),
      blockRing_(ring),
      baseFileName_(baseFileName),
      blockBytes_(blockBytes),
      // Room for the largest block the ring can hand over, at least the
      // customary 64 KiB, so a pop can never run past the buffer.
      writeBuffer_(new unsigned char[std::size_t(
          std::max<std::size_t>(kWriteBufferBytes, ring ? ring->blockBytes() : 0))]())
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
    while (blockRing_->pop(writeBuffer_.get()))
        ++discarded;
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
                           << (current.failed ? "(failed)" : "");
    };

    if (!blockRing_) {
        current.failed = true;
        finish();
        return;
    }

    QString name = nextFileName();
    // Unbuffered: every block is one write() from writeBuffer_, and a full
    // disk is reported by the write of the block that did not fit.
    auto file = std::make_unique<QFile>(name);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        qDebug().noquote() << "open failed" << name;
        current.failed = true;
        finish();
        return;
    }
    current.files << name;
    WriteBehind behind(writeBehind_ ? file->handle() : -1);

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

    auto fail = [&](const char* what) {
        qDebug().noquote() << what << name << file->errorString();
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
    while (true) {
        if (drainLeft < 0 && !writing_.load())
            drainLeft = qint64(blockRing_->size());
        if (drainLeft == 0) {
            if (!file->flush()) {
                fail("flush failed");
                break;
            }
            file->close();
            closeMeta();
            break;
        }
        std::uint64_t dropsBefore = 0;
        // Written from its slot in the ring, which is given back after the
        // write: one copy less per block than staging it.
        if (const unsigned char* block = blockRing_->oldest(&dropsBefore)) {
            if (drainLeft > 0)
                --drainLeft;
            if (dropsBefore > 0) {
                droppedGroups += qint64(dropsBefore) * groupsPerBlock;
                gapBlocks += dropsBefore;
                part.droppedBlocks += dropsBefore;
                part.gaps.push_back({groupsInPart(), current.blocksWritten * groupsPerBlock + droppedGroups,
                                     dropsBefore});
            }
            const qint64 written = file->write(reinterpret_cast<const char*>(block), blockBytes_);
            blockRing_->release();
            if (written != blockBytes_) {
                fail("write failed");
                break;
            }
            ++current.blocksWritten;
            const qint64 total = blocksWritten_.fetch_add(1) + 1;
            if (const int error = behind.appended(blockBytes_)) {
                qDebug().noquote() << "write-back failed" << name << std::strerror(error);
                fail("write failed");
                break;
            }
            if (total % rotationCheckBlocks_ == 0 && file->size() > rotationBytes_) {
                if (!file->flush()) {
                    fail("flush failed");
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
                behind.reset(writeBehind_ ? file->handle() : -1);
                openMeta();
            }
        } else if (drainLeft > 0) {
            drainLeft = 0;  // fewer than counted: the ring is empty
        } else {
            if (!file->flush()) {
                fail("flush failed");
                break;
            }
            QThread::msleep(1);
        }
    }
    finish();
}
