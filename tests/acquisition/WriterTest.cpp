// The recorder: file names, whole blocks in order, a ramp recording that
// replays sample-exact, failures that end a recording with a log line, the
// size rotation through its test seam, and start/stop races.
#include "BlockRing.h"
#include "SampleFile.h"
#include "TestSupport.h"
#include "WorkThread.h"
#include "WriteBehind.h"
#include "Writer.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <unistd.h>

using namespace testsupport;

namespace {

constexpr int kBlock = 8192;

std::vector<unsigned char> numberedBlock(uint32_t seq)
{
    std::vector<unsigned char> block(kBlock);
    for (int i = 0; i < kBlock; i += 4) {
        const uint32_t v = seq * 100003u + uint32_t(i);
        std::memcpy(block.data() + i, &v, 4);
    }
    return block;
}

bool finish(Writer& w, int timeoutMs = 10000)
{
    return w.wait(QDeadlineTimer(scaledMs(timeoutMs)));
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(WriterNaming, TimeStampGoesBeforeTheExtension)
{
    const QDateTime when(QDate(2026, 12, 7), QTime(9, 5, 3, 42));
    EXPECT_EQ(Writer::timestampedName(QStringLiteral("samples.bin"), when),
              QStringLiteral("samples_20261207090503042.bin"));
    // Hours run 00-23.
    const QDateTime evening(QDate(2026, 1, 2), QTime(23, 59, 59, 999));
    EXPECT_EQ(Writer::timestampedName(QStringLiteral("/data/run.bin"), evening),
              QStringLiteral("/data/run_20260102235959999.bin"));
}

// Larger blocks are looked at as often per byte: a file of 4 MiB blocks
// rolls over near 10 GiB, not after 10000 blocks (40 GB).
TEST(WriterNaming, RollOverIsCheckedAboutEvery80MiBWhateverTheBlockSize)
{
    const int sizes[][2] = {{8192, 10000}, {65536, 1250}, {1 << 20, 78}, {4 << 20, 19}, {16 << 20, 4}, {0, 81920000}};
    for (const auto& row : sizes)
        EXPECT_EQ(Writer::rotationCheckBlocksFor(row[0]), row[1]) << row[0];
}

TEST(WriterRecording, WritesEveryBlockInOrderIntoANewTimeStampedFile)
{
    QTemporaryDir dir;
    BlockRing ring(64, kBlock);
    for (uint32_t i = 0; i < 20; ++i)
        ASSERT_TRUE(ring.push(numberedBlock(i).data()));
    const QString base = dir.filePath(QStringLiteral("samples.bin"));
    Writer writer(&ring, base);
    LogCapture log;
    writer.startRecording();
    ASSERT_TRUE(waitFor([&]() { return writer.blocksWritten() == 20; }));
    writer.requestStop();
    ASSERT_TRUE(finish(writer));

    const Writer::Summary s = writer.lastSummary();
    ASSERT_EQ(s.files.size(), 1);
    EXPECT_FALSE(s.failed);
    EXPECT_EQ(s.blocksWritten, 20);
    EXPECT_EQ(s.blocksDropped, 0u);
    const QString name = QFileInfo(s.files.first()).fileName();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^samples_\\d{17}\\.bin$")).match(name).hasMatch())
        << name.toStdString();
    EXPECT_FALSE(QFile::exists(base));
    const QByteArray data = readAll(s.files.first());
    ASSERT_EQ(data.size(), 20 * kBlock);
    for (uint32_t i = 0; i < 20; ++i)
        ASSERT_EQ(0, std::memcmp(data.constData() + i * kBlock, numberedBlock(i).data(), kBlock)) << i;
    // The end of the recording is logged with its file and counts.
    const QStringList ended = log.lines().filter(QStringLiteral("recording ended"));
    ASSERT_EQ(ended.size(), 1);
    EXPECT_TRUE(ended.first().contains(name));
    EXPECT_TRUE(ended.first().contains(QStringLiteral("blocks written 20")));
    EXPECT_TRUE(ended.first().contains(QStringLiteral("blocks dropped 0")));
}

TEST(WriterRecording, TwoRecordingsInOneMillisecondGetTwoFiles)
{
    QTemporaryDir dir;
    BlockRing ring(8, kBlock);
    Writer writer(&ring, dir.filePath(QStringLiteral("samples.bin")));
    QStringList names;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(ring.push(numberedBlock(uint32_t(i)).data()));
        writer.startRecording();
        ASSERT_TRUE(waitFor([&]() { return writer.blocksWritten() == i + 1; }));
        writer.requestStop();
        ASSERT_TRUE(finish(writer));
        names << writer.lastSummary().files;
    }
    names.removeDuplicates();
    EXPECT_EQ(names.size(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(QFileInfo(names[i]).size(), kBlock) << "a later recording truncated an earlier one";
}

TEST(WriterRecording, RampRecordingReplaysSampleExact)
{
    QTemporaryDir dir;
    BlockRing ring;
    WorkThread thread;
    thread.setBlockRing(&ring);
    Writer writer(&ring, dir.filePath(QStringLiteral("samples.bin")));
    thread.setParameters(1000, 0, acquisition::kModeContinuous, 0, 0, 0);
    thread.allocateChannelBuffers();
    thread.start();
    writer.startRecording();
    ASSERT_TRUE(waitFor([&]() { return writer.blocksWritten() >= 5; }));
    thread.requestStop();
    ASSERT_TRUE(thread.wait(QDeadlineTimer(scaledMs(5000))));
    // Let the recorder drain what the thread pushed, then stop it.
    ASSERT_TRUE(waitFor([&]() { return ring.empty(); }));
    writer.requestStop();
    ASSERT_TRUE(finish(writer));

    const Writer::Summary s = writer.lastSummary();
    ASSERT_EQ(s.files.size(), 1);
    const QFileInfo info(s.files.first());
    EXPECT_EQ(info.size(), s.blocksWritten * kBlock);

    // The file is the int16 ramp 0..4095 repeated, so sample i of channel k is
    // (its int16 position in the group stream) mod 4096: channel 0 reads
    // 0, 1, 2, 3, 16, 17, ... and channel 1 reads 4, 5, 6, 7, 20, ...
    samplefile::RecordReader reader;
    const int n = 101;  // not a multiple of 4: later records start inside groups
    std::vector<std::vector<double>> ch(4, std::vector<double>(n));
    double* ptr[4] = {ch[0].data(), ch[1].data(), ch[2].data(), ch[3].data()};
    const int64_t records = info.size() / 8 / n;
    for (int64_t r = 0; r < records; ++r) {
        ASSERT_EQ(reader.readRecord(info.filePath(), r, n, ptr).status, samplefile::Status::Ok);
        for (int k = 0; k < 4; ++k)
            for (int i = 0; i < n; ++i) {
                const int64_t s0 = r * n + i;
                const int64_t position = (s0 / 4) * 16 + k * 4 + s0 % 4;
                ASSERT_EQ(ch[k][i], double(position % 4096)) << "record " << r << " k " << k << " i " << i;
            }
    }
    EXPECT_EQ(ch.size(), 4u);
}

TEST(WriterFailures, AFullDeviceEndsTheRecordingWithALogLine)
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full on this system";
    BlockRing ring(8, kBlock);
    for (uint32_t i = 0; i < 3; ++i)
        ring.push(numberedBlock(i).data());
    Writer writer(&ring);
    writer.setFileNamer([]() { return QStringLiteral("/dev/full"); });
    LogCapture log;
    writer.startRecording();
    // No stop: the failure alone must end the thread.
    ASSERT_TRUE(finish(writer));
    const Writer::Summary s = writer.lastSummary();
    EXPECT_TRUE(s.failed);
    EXPECT_EQ(s.blocksWritten, 0);
    EXPECT_EQ(log.count(QStringLiteral("write failed")), 1);
    EXPECT_EQ(log.count(QStringLiteral("recording ended")), 1);
    EXPECT_EQ(writer.blocksWritten(), 0);
}

TEST(WriterFailures, AnUncreatableFileLogsOpenFailedAndEnds)
{
    QTemporaryDir dir;
    BlockRing ring(8, kBlock);
    Writer writer(&ring, dir.filePath(QStringLiteral("no/such/dir/samples.bin")));
    LogCapture log;
    writer.startRecording();
    ASSERT_TRUE(finish(writer));
    EXPECT_TRUE(writer.lastSummary().failed);
    EXPECT_EQ(log.count(QStringLiteral("open failed")), 1);
    // The recorder can record again once the place is writable.
    Writer second(&ring, dir.filePath(QStringLiteral("samples.bin")));
    ring.push(numberedBlock(1).data());
    second.startRecording();
    ASSERT_TRUE(waitFor([&]() { return second.blocksWritten() == 1; }));
    second.requestStop();
    ASSERT_TRUE(finish(second));
    EXPECT_FALSE(second.lastSummary().failed);
}

TEST(WriterWriteBehind, ADescriptorThatTakesNoHintsIsLeftToPlainWrites)
{
    // A pipe is no file: the hints fail with ESPIPE, which is no disk error,
    // so the recording goes on as before, and off (-1) nothing is asked.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    for (const int fd : {fds[1], -1}) {
        WriteBehind behind(fd);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(behind.appended(WriteBehind::kChunkBytes), 0) << fd;
    }
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST(WriterRotation, ANewFileStartsAtTheFirstCheckPastTheLimit)
{
    QTemporaryDir dir;
    BlockRing ring(64, kBlock);
    for (uint32_t i = 0; i < 10; ++i)
        ASSERT_TRUE(ring.push(numberedBlock(i).data()));
    Writer writer(&ring, dir.filePath(QStringLiteral("samples.bin")));
    // Limit 2.5 blocks, checked every 4 blocks: the files close after blocks
    // 4 and 8 (the first multiples of 4 past the limit), as 10 GiB and 10000
    // blocks do in the program.
    writer.setRotation(kBlock * 5 / 2, 4);
    writer.startRecording();
    ASSERT_TRUE(waitFor([&]() { return writer.blocksWritten() == 10; }));
    writer.requestStop();
    ASSERT_TRUE(finish(writer));
    const Writer::Summary s = writer.lastSummary();
    ASSERT_EQ(s.files.size(), 3);
    EXPECT_LT(s.files[0], s.files[1]);  // later time stamps sort later
    EXPECT_LT(s.files[1], s.files[2]);
    const int expectedBlocks[3] = {4, 4, 2};
    uint32_t seq = 0;
    for (int f = 0; f < 3; ++f) {
        const QByteArray data = readAll(s.files[f]);
        ASSERT_EQ(data.size(), expectedBlocks[f] * kBlock) << f;
        for (int b = 0; b < expectedBlocks[f]; ++b, ++seq)
            ASSERT_EQ(0, std::memcmp(data.constData() + b * kBlock, numberedBlock(seq).data(), kBlock));
    }
}

TEST(WriterRotation, NoNewFileBelowTheLimit)
{
    QTemporaryDir dir;
    BlockRing ring(64, kBlock);
    for (uint32_t i = 0; i < 12; ++i)
        ASSERT_TRUE(ring.push(numberedBlock(i).data()));
    Writer writer(&ring, dir.filePath(QStringLiteral("samples.bin")));
    // Exactly at the limit is not past it.
    writer.setRotation(4 * kBlock, 4);
    writer.startRecording();
    ASSERT_TRUE(waitFor([&]() { return writer.blocksWritten() == 12; }));
    writer.requestStop();
    ASSERT_TRUE(finish(writer));
    // At block 4 the file is exactly 4 blocks (not past); at 8 it is past.
    EXPECT_EQ(writer.lastSummary().files.size(), 2);
}

TEST(WriterLifecycle, StopRightAfterStartNeverHangs)
{
    QTemporaryDir dir;
    BlockRing ring(8, kBlock);
    Writer writer(&ring, dir.filePath(QStringLiteral("samples.bin")));
    for (int i = 0; i < 50; ++i) {
        writer.startRecording();
        writer.requestStop();
        ASSERT_TRUE(finish(writer, 5000)) << i;
    }
    // A stop while idle does not end the next recording at once.
    writer.requestStop();
    ring.push(numberedBlock(0).data());
    writer.startRecording();
    ASSERT_TRUE(waitFor([&]() { return writer.lastSummary().blocksWritten == 0 && ring.empty(); }));
    writer.requestStop();
    ASSERT_TRUE(finish(writer));
    EXPECT_EQ(writer.lastSummary().blocksWritten, 1);
}

TEST(WriterLifecycle, DestroyingARecorderCompletesItsFile)
{
    QTemporaryDir dir;
    BlockRing ring(64, kBlock);
    QString file;
    {
        Writer writer(&ring, dir.filePath(QStringLiteral("samples.bin")));
        writer.startRecording();
        for (uint32_t i = 0; i < 30; ++i)
            ring.push(numberedBlock(i).data());
        ASSERT_TRUE(waitFor([&]() { return writer.blocksWritten() == 30; }));
        // The destructor stops and waits.
    }
    const QStringList files = QDir(dir.path()).entryList({QStringLiteral("samples_*.bin")});
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(QFileInfo(dir.filePath(files.first())).size(), 30 * kBlock);
}

TEST(WriterLifecycle, WrittenPlusDroppedPlusLeftAccountsForEveryPush)
{
    QTemporaryDir dir;
    BlockRing ring(4, kBlock);
    Writer writer(&ring, dir.filePath(QStringLiteral("samples.bin")));
    const auto block = numberedBlock(7);
    // Drops count from the moment the recording runs: wait for its first block.
    ring.push(block.data());
    writer.startRecording();
    ASSERT_TRUE(waitFor([&]() { return writer.blocksWritten() == 1; }));
    const int pushes = 3000;
    for (int i = 0; i < pushes; ++i)
        ring.push(block.data());
    writer.requestStop();
    ASSERT_TRUE(finish(writer));
    const Writer::Summary s = writer.lastSummary();
    EXPECT_EQ(uint64_t(s.blocksWritten) + s.blocksDropped + ring.size(), uint64_t(pushes) + 1);
    EXPECT_EQ(QFileInfo(s.files.first()).size(), s.blocksWritten * kBlock);
}
