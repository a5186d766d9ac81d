// WorkThread against the emulated board, read through the board's trace.
// Fetch passes: each trigger mode arms the board with its own registers and
// frames arrive; a trigger that never comes gives no frame and no hang.
// Continuous transfer: blocks follow the board's write pointer, each starting
// at the first unit the previous one left unread; a block across the ring's
// end waits for the pointer to wrap and arrives contiguous from two
// transfers; Stop returns even when the write pointer has stalled; and the
// register sequences of a second thread (the settings handlers) never land
// inside a fetch or a streamed block.
#include "BlockRing.h"
#include "BoardRegisters.h"
#include "BoardSettings.h"
#include "DeviceState.h"
#include "EmulatedBoard.h"
#include "KelPcieApi.h"
#include "LomPcieEmulatorControl.h"
#include "RecordingMeta.h"
#include "TestSupport.h"
#include "WorkThread.h"
#include "Writer.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

using namespace testsupport;

namespace {

constexpr quint32 kLastUnit = 0x3ffffff;

// Opens an emulated board whose ring holds the word ramp (word w of the ring
// reads w mod 65536) and starts its continuous capture at unit 0.
class BoardStream : public ::testing::Test {
protected:
    void open(const char* streamRate = nullptr, const char* triggerDelay = nullptr,
              quint32 streamStartUnit = 0, bool startStream = true)
    {
        EmulatedBoardSetup setup;
        setup.trace = trace;
        setup.pattern = "ramp";
        setup.streamRate = streamRate;
        setup.triggerDelayMs = triggerDelay;
        EmulatedBoard::configure(setup);
        ASSERT_TRUE(EmulatedBoard::openFirst());
        if (!startStream)
            return;
        KelPcieWriteData(deviceHandle, 880, 1);  // continuous capture on
        KelPcieWriteData(deviceHandle, 788, streamStartUnit);
        KelPcieWriteData(deviceHandle, 768, 1);  // start
    }
    void TearDown() override { EmulatedBoard::reset(); }
    void run(WorkThread& thread, BlockRing& ring, int mode = acquisition::kModeContinuous)
    {
        thread.setBlockRing(&ring);
        thread.setParameters(1000, 0, mode, 0, 1, 0);
        thread.allocateChannelBuffers();
        thread.start();
    }
    bool traced(const QByteArray& prefix) const { return EmulatedBoard::traced(trace, prefix); }
    QList<QByteArray> traceLines() const { return EmulatedBoard::traceLines(trace); }
    QTemporaryDir dir;
    QString trace = dir.filePath(QStringLiteral("trace.txt"));
};

// The ramp word expected at unit u, word j of that unit.
uint16_t rampWord(quint64 unit, int word)
{
    return uint16_t((unit * 32 + quint64(word)) & 0xffff);
}

uint16_t wordAt(const std::vector<unsigned char>& block, int w)
{
    return uint16_t(block[std::size_t(2 * w)] | (block[std::size_t(2 * w + 1)] << 8));
}

} // namespace

TEST_F(BoardStream, ConsecutiveBlocksNeitherRepeatNorSkipAUnit)
{
    open();
    BlockRing ring(16, 8192);
    WorkThread thread;
    run(thread, ring);
    std::vector<std::vector<unsigned char>> blocks;
    std::vector<unsigned char> block(8192);
    ASSERT_TRUE(waitFor([&]() {
        while (ring.pop(block.data()))
            blocks.push_back(block);
        return blocks.size() >= 3;
    }));
    thread.requestStop();
    ASSERT_TRUE(thread.wait(QDeadlineTimer(scaledMs(5000))));
    // Block b holds units 128 b .. 128 b + 127: the next block begins right
    // after the previous block's last unit.
    for (std::size_t b = 0; b < 3; ++b)
        for (int w = 0; w < 4096; ++w)
            ASSERT_EQ(wordAt(blocks[b], w), rampWord(128 * b + quint64(w / 32), w % 32))
                << "block " << b << " word " << w;
}

TEST_F(BoardStream, ABlockAcrossTheRingEndWaitsForThePointerToWrapAndArrivesContiguous)
{
    // The board starts writing 200 units before the ring's end; the reader
    // starts 11 units before it, so its first block takes 11 units from the
    // end and 117 from unit 0, which the board writes only after wrapping.
    const quint32 start = kLastUnit - 10;
    open(nullptr, nullptr, kLastUnit - 199);
    BlockRing ring(16, 8192);
    WorkThread thread;
    thread.setStreamStartUnit(start);
    run(thread, ring);
    std::vector<unsigned char> first(8192), second(8192);
    ASSERT_TRUE(waitFor([&]() { return ring.pop(first.data()); }));
    ASSERT_TRUE(waitFor([&]() { return ring.pop(second.data()); }));
    thread.requestStop();
    ASSERT_TRUE(thread.wait(QDeadlineTimer(scaledMs(5000))));
    for (int w = 0; w < 4096; ++w) {
        const int unitInBlock = w / 32;
        const quint64 unit = unitInBlock < 11 ? quint64(start) + quint64(unitInBlock)
                                              : quint64(unitInBlock - 11);
        ASSERT_EQ(wordAt(first, w), rampWord(unit, w % 32)) << "word " << w;
        // The next block starts at unit 117, the first one left unread.
        ASSERT_EQ(wordAt(second, w), rampWord(117 + quint64(w / 32), w % 32)) << "word " << w;
    }
    // The first block was read only once the write pointer had passed its
    // last unit (116) after wrapping: the last pointer read before the
    // transfer lies past 116 and below the unit the board started at.
    const QList<QByteArray> lines = traceLines();
    const QByteArray transfer = "W 804 " + QByteArray::number(start);
    quint64 pointer = 0;
    bool found = false;
    for (const QByteArray& line : lines) {
        if (line.startsWith("R 884 "))
            pointer = line.mid(6).toULongLong();
        if (line == transfer) {
            found = true;
            break;
        }
    }
    ASSERT_TRUE(found);
    EXPECT_GT(pointer, 116u);
    EXPECT_LT(pointer, quint64(kLastUnit - 199));
    // Two transfers: 11 units up to the end, then 117 from unit 0.
    const int at = lines.indexOf(transfer);
    ASSERT_GE(at, 0);
    ASSERT_GE(lines.size(), at + 8);
    EXPECT_EQ(lines[at + 1], "W 808 11");
    EXPECT_EQ(lines[at + 2], "W 768 2");
    EXPECT_EQ(lines[at + 3], "DR 0 704 0");
    EXPECT_EQ(lines[at + 4], "W 804 0");
    EXPECT_EQ(lines[at + 5], "W 808 117");
    EXPECT_EQ(lines[at + 6], "W 768 2");
    EXPECT_EQ(lines[at + 7], "DR 0 7488 0");
}

TEST_F(BoardStream, StopReturnsWhileTheWritePointerStands)
{
    open("0");
    BlockRing ring(16, 8192);
    WorkThread thread;
    run(thread, ring);
    // Let the thread reach its wait for the write pointer.
    ASSERT_TRUE(waitFor([&]() { return traced("R 884"); }));
    thread.requestStop();
    EXPECT_TRUE(thread.wait(QDeadlineTimer(scaledMs(5000)))) << "Stop hung on a stalled board";
    EXPECT_TRUE(ring.empty());
}

// Each trigger mode arms the board with its own register sequence, then moves
// the captured record; the frame holds the ring's content at the transferred
// start unit. Record length 1000: 250 groups, 125 units.
TEST_F(BoardStream, EachTriggerModeArmsTheBoardAndDeliversItsRecord)
{
    struct Row {
        int mode;
        std::vector<QByteArray> arming;  // the writes from the first on, in order
    };
    const Row rows[] = {
        {acquisition::kModeFreeTrigger, {"W 788 64", "W 792 125", "W 768 1"}},
        {acquisition::kModeEdgeTrigger,
         {"W 848 0", "W 852 100", "W 856 125", "W 768 0", "W 768 4", "W 848 1"}},
        {acquisition::kModeExternalTrigger,
         {"W 848 0", "W 856 125", "W 768 0", "W 768 4", "W 848 1", "W 860 8", "W 112 0"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mode);
        open(nullptr, nullptr, 0, false);
        QFile::remove(trace);
        BlockRing ring(4, 8192);
        WorkThread thread;
        std::mutex frameMutex;
        std::vector<double> ch0, ch3;
        std::atomic<int> frames{0};
        QObject::connect(&thread, &WorkThread::sigSendData, &thread,
                         [&](double* a, double*, double*, double* d) {
                             if (frames.fetch_add(1) == 0) {
                                 std::lock_guard<std::mutex> lock(frameMutex);
                                 ch0.assign(a, a + 1000);
                                 ch3.assign(d, d + 1000);
                             }
                         },
                         Qt::DirectConnection);
        thread.setBlockRing(&ring);
        thread.setParameters(1000, 0x40, row.mode, 100, 1, 0);
        thread.allocateChannelBuffers();
        thread.start();
        ASSERT_TRUE(waitFor([&]() { return frames.load() >= 1; }));
        thread.requestStop();
        ASSERT_TRUE(thread.wait(QDeadlineTimer(scaledMs(5000))));

        const QList<QByteArray> lines = traceLines();
        const int first = lines.indexOf(row.arming.front());
        ASSERT_GE(first, 0);
        ASSERT_GE(lines.size(), first + int(row.arming.size()));
        for (std::size_t k = 0; k < row.arming.size(); ++k)
            EXPECT_EQ(lines[first + int(k)], row.arming[k]);
        // The transfer of that fetch: 125 units announced, 8000 bytes moved.
        int at = first;
        while (at < lines.size() && !lines[at].startsWith("W 804 "))
            ++at;
        ASSERT_LT(at + 3, lines.size());
        const quint64 start = lines[at].mid(6).toULongLong();
        EXPECT_EQ(lines[at + 1], "W 808 125");
        EXPECT_EQ(lines[at + 2], "W 768 2");
        EXPECT_EQ(lines[at + 3], "DR 0 8000 0");
        if (row.mode == acquisition::kModeFreeTrigger) {
            EXPECT_EQ(start, 0x40u);
        }

        // Sample i of channel k is 16-bit word (i / 4) * 16 + 4 k + i % 4 of
        // the record, which begins at word 32 * start of the ring.
        std::lock_guard<std::mutex> lock(frameMutex);
        ASSERT_EQ(ch0.size(), 1000u);
        for (int i = 0; i < 1000; ++i) {
            const quint64 word = start * 32 + quint64(i / 4) * 16 + quint64(i % 4);
            ASSERT_EQ(ch0[std::size_t(i)], double(int16_t(uint16_t(word & 0xffff)))) << i;
            ASSERT_EQ(ch3[std::size_t(i)], double(int16_t(uint16_t((word + 12) & 0xffff)))) << i;
        }
        EXPECT_TRUE(ring.empty());  // frames only, no stream
        TearDown();
    }
}

// A second thread writes the rate registers (as the settings handler does)
// over and over while the acquisition thread fetches (mode 0) or streams
// (mode 2). In the board's trace each of its sequences stands whole, and no
// fetch or block (from its first write to its DMA) has a foreign line inside.
TEST_F(BoardStream, RegisterSequencesOfTwoThreadsNeverInterleave)
{
    for (int mode : {acquisition::kModeFreeTrigger, acquisition::kModeContinuous}) {
        SCOPED_TRACE(mode);
        open(nullptr, nullptr, 0, mode == acquisition::kModeContinuous);
        BlockRing ring(1024, 8192);
        WorkThread thread;
        std::atomic<int> frames{0};
        QObject::connect(&thread, &WorkThread::sigSendData, &thread,
                         [&](double*, double*, double*, double*) { ++frames; }, Qt::DirectConnection);
        thread.setBlockRing(&ring);
        thread.setParameters(1000, 0x40, mode, 0, 0, 0);
        thread.allocateChannelBuffers();
        thread.start();
        std::atomic<bool> done{false};
        std::atomic<int> sequences{0};
        std::thread settings([&]() {
            while (!done.load()) {
                acquisition::applySampleRateRegisters(deviceHandle, 2, 19, 25);
                ++sequences;
                std::this_thread::yield();
            }
        });
        const bool enough = waitFor([&]() {
            return (mode == acquisition::kModeContinuous ? ring.size() >= 100 : frames.load() >= 10)
                && sequences.load() >= 100;
        });
        done = true;
        settings.join();
        thread.requestStop();
        ASSERT_TRUE(thread.wait(QDeadlineTimer(scaledMs(5000))));
        ASSERT_TRUE(enough);

        const QList<QByteArray> lines = traceLines();
        int handlerSequences = 0;
        int deviceSequences = 0;
        bool inside = false;  // between a fetch's or block's first write and its DMA
        for (int i = 0; i < lines.size(); ++i) {
            const QByteArray& line = lines[i];
            if (line == "W 512 2") {
                ASSERT_LT(i + 2, lines.size());
                ASSERT_EQ(lines[i + 1], "W 272 19") << "line " << i + 1;
                ASSERT_EQ(lines[i + 2], "W 276 25") << "line " << i + 2;
                ASSERT_FALSE(inside) << "rate writes inside a transfer at line " << i;
                ++handlerSequences;
                i += 2;
                continue;
            }
            const QByteArray opening = mode == acquisition::kModeContinuous ? "W 804 " : "W 788 ";
            if (line.startsWith(opening) && !inside) {
                inside = true;
                ++deviceSequences;
            } else if (line.startsWith("DR ")) {
                inside = false;
            }
        }
        EXPECT_GE(handlerSequences, 100);
        EXPECT_GE(deviceSequences, 10);
        TearDown();
    }
}

TEST_F(BoardStream, ATriggerThatNeverComesGivesNoFrameAndStopReturns)
{
    // Short library polls, so each failed fetch ends after well under a second.
    qputenv("KELPCIE_POLL_SLEEP_US", "0");
    open(nullptr, "never");
    BlockRing ring(4, 8192);
    WorkThread thread;
    std::atomic<int> frames{0};
    QObject::connect(&thread, &WorkThread::sigSendData, &thread,
                     [&](double*, double*, double*, double*) { ++frames; }, Qt::DirectConnection);
    run(thread, ring, acquisition::kModeEdgeTrigger);
    // Wait until the capture is armed (768 <- 4), so the stop meets a fetch.
    ASSERT_TRUE(waitFor([&]() { return traced("W 768 4"); }));
    thread.requestStop();
    // The stop waits for the fetch in hand, which ends at the library's
    // time-out (60000 polls without sleeps here).
    EXPECT_TRUE(thread.wait(QDeadlineTimer(scaledMs(20000))));
    EXPECT_EQ(frames.load(), 0);
}

// Several thousand blocks recorded from the board's ramp, then replayed: every
// sample of every channel is the ring's own word at that place, so no unit is
// repeated, skipped or misplaced between the board and the file.
TEST_F(BoardStream, ARecordingOfThousandsOfBlocksReplaysSampleExact)
{
    // 1e6 units per second: 3000 blocks in about 0.4 s.
    open("1000000");
    BlockRing ring(1024, 8192);
    WorkThread thread;
    Writer writer(&ring, dir.filePath(QStringLiteral("samples.bin")));
    run(thread, ring);
    writer.startRecording(QThread::NormalPriority);
    ASSERT_TRUE(waitFor([&]() { return writer.blocksWritten() >= 3000; }, 30000));
    thread.requestStop();
    ASSERT_TRUE(thread.wait(QDeadlineTimer(scaledMs(5000))));
    writer.requestStop();
    ASSERT_TRUE(writer.wait(QDeadlineTimer(scaledMs(5000))));
    const Writer::Summary summary = writer.lastSummary();
    ASSERT_EQ(summary.files.size(), 1);
    EXPECT_FALSE(summary.failed);
    EXPECT_EQ(summary.blocksDropped, 0u);
    const QString path = summary.files.front();
    const qint64 bytes = QFileInfo(path).size();
    ASSERT_GE(bytes, 3000 * 8192);
    ASSERT_EQ(bytes % 8192, 0);

    // Replay in records of 2^20 samples (1024 blocks) until the replay has
    // come back to the file's start.
    const int n = 1 << 20;
    const qint64 records = (bytes + qint64(n) * 8 - 1) / (qint64(n) * 8);
    WorkThread replay;
    replay.setLocalFilePath(path);
    std::atomic<qint64> frames{0};
    std::atomic<qint64> mismatches{0};
    std::atomic<qint64> checked{0};
    QObject::connect(&replay, &WorkThread::sigSendData, &replay,
                     [&](double* c0, double* c1, double* c2, double* c3) {
                         const qint64 frame = frames.fetch_add(1);
                         if (frame >= records)
                             return;
                         double* const channel[4] = {c0, c1, c2, c3};
                         // A short last record keeps the rest of the previous one.
                         const qint64 samples = std::min<qint64>(n, bytes / 8 - frame * n);
                         for (qint64 i = 0; i < samples; ++i) {
                             const qint64 s = frame * n + i;
                             for (int k = 0; k < 4; ++k) {
                                 const quint64 word = quint64(s / 4) * 16 + quint64(k) * 4 + quint64(s % 4);
                                 if (channel[k][i] != double(int16_t(uint16_t(word & 0xffff))))
                                     ++mismatches;
                             }
                         }
                         checked += samples;
                     },
                     Qt::DirectConnection);
    replay.setParameters(n, 0, acquisition::kModeLocalFile, 0, 0, 0);
    replay.allocateChannelBuffers();
    replay.start();
    ASSERT_TRUE(waitFor([&]() { return frames.load() >= records; }, 30000));
    replay.requestStop();
    ASSERT_TRUE(replay.wait(QDeadlineTimer(scaledMs(5000))));
    EXPECT_EQ(checked.load(), bytes / 8);
    EXPECT_EQ(mismatches.load(), 0);
}

// A replay file removed while it is being replayed: frames stop, each pass
// logs "open failed" with the path, Stop still returns at once, and the
// replay resumes where it was once the file is back.
TEST(WorkThreadReplayVanishing, AFileRemovedMidReplayLogsAndResumesWhenBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("replay.bin"));
    const QByteArray stream = makeStream(400);
    ASSERT_TRUE(writeFile(path, stream));
    LogCapture log;
    WorkThread thread;
    std::atomic<int> frames{0};
    std::atomic<int> lastFirstSample{-1};
    QObject::connect(&thread, &WorkThread::sigSendData, &thread,
                     [&](double* c0, double*, double*, double*) {
                         lastFirstSample = int(c0[0]);
                         ++frames;
                     },
                     Qt::DirectConnection);
    thread.setLocalFilePath(path);
    thread.setParameters(100, 0, acquisition::kModeLocalFile, 0, 0, 0);
    thread.allocateChannelBuffers();
    thread.start();
    ASSERT_TRUE(waitFor([&]() { return frames.load() >= 2; }));
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(waitFor([&]() { return log.count(QStringLiteral("open failed")) >= 2; }));
    const int framesWhileGone = frames.load();
    ASSERT_TRUE(writeFile(path, stream));
    ASSERT_TRUE(waitFor([&]() { return frames.load() > framesWhileGone + 4; }));
    thread.requestStop();
    ASSERT_TRUE(thread.wait(QDeadlineTimer(scaledMs(5000))));
    // (Read after the stop: the log's lock orders the thread's last line
    // before the capture goes away.)
    EXPECT_TRUE(log.lines().filter(QStringLiteral("open failed")).first().contains(path));
    // Each record starts at a multiple of 100 samples of the 400 in the file.
    const int first = lastFirstSample.load();
    bool isRecordStart = false;
    for (int r = 0; r < 4; ++r)
        isRecordStart = isRecordStart || first == codeOf(100 * r, 0);
    EXPECT_TRUE(isRecordStart) << first;
}

// A capture whose trigger never comes, with the library's full 60 s limit
// (1 ms polls): a register change from another thread and Stop each take the
// fetch back instead of waiting for that limit.
TEST_F(BoardStream, StopAndRegisterChangesDoNotWaitForATriggerThatNeverComes)
{
    for (int mode : {acquisition::kModeEdgeTrigger, acquisition::kModeExternalTrigger}) {
        SCOPED_TRACE(mode);
        open(nullptr, "never", 0, false);
        BlockRing ring(4, 8192);
        WorkThread thread;
        run(thread, ring, mode);
        ASSERT_TRUE(waitFor([&]() { return traced("W 768 4"); }));
        auto change = std::async(std::launch::async,
                                 [] { acquisition::applySampleRateRegisters(deviceHandle, 1, 0, -1); });
        EXPECT_EQ(change.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        // The thread arms a fresh capture after the cancelled one.
        ASSERT_TRUE(waitFor([&]() {
            int arms = 0;
            for (const QByteArray& line : traceLines())
                arms += line == "W 768 4";
            return arms >= 2;
        }));
        thread.requestStop();
        EXPECT_TRUE(thread.wait(QDeadlineTimer(scaledMs(20000))));
        TearDown();
        QFile::remove(trace);
    }
}

namespace {

// The ring units a recording holds, in file order: the "units" pattern
// marks each unit with its index in its first two words.
std::vector<quint32> unitsOf(const QStringList& files)
{
    std::vector<quint32> units;
    for (const QString& path : files) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = f.readAll();
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
        for (int at = 0; at + 64 <= bytes.size(); at += 64)
            units.push_back(quint32(data[at] | data[at + 1] << 8) | quint32(data[at + 2] | data[at + 3] << 8) << 16);
    }
    return units;
}

} // namespace

// Two Runs on one armed stream: the first records from the unit the board was
// armed at, the second from where the board writes when it starts; no unit is
// in both, each Stop drains the ring into its own file, and the ring is empty
// for the next recording.
TEST_F(BoardStream, TwoRecordingsOfOneArmedStreamShareNoUnit)
{
    EmulatedBoardSetup setup;
    setup.pattern = "units";
    setup.streamRate = "500";  // a block per quarter second: Run lands well within one
    EmulatedBoard::configure(setup);
    ASSERT_TRUE(EmulatedBoard::openFirst());
    bool armed = false;
    acquisition::applyTriggerSource(deviceHandle, acquisition::kModeContinuous, armed);
    BlockRing ring(64, 8192);
    WorkThread thread;
    Writer writer(&ring, dir.filePath(QStringLiteral("samples.bin")));
    auto record = [&](qint64 blocks) {
        const qint64 before = writer.blocksWritten();
        writer.startRecording(QThread::NormalPriority);
        run(thread, ring);
        EXPECT_TRUE(waitFor([&]() { return writer.blocksWritten() >= before + blocks; }, 20000));
        thread.requestStop();
        EXPECT_TRUE(thread.wait(QDeadlineTimer(scaledMs(5000))));
        writer.requestStop();
        EXPECT_TRUE(writer.wait(QDeadlineTimer(scaledMs(5000))));
        EXPECT_TRUE(ring.empty());
        return unitsOf(writer.lastSummary().files);
    };
    auto writeUnit = [] {
        quint32 unit = 0;
        KelPcieReadData(deviceHandle, boardreg::WritePointer, &unit);
        return unit;
    };
    const std::vector<quint32> first = record(2);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.front(), 0u);
    // Let the board stream on past what the first recording read.
    ASSERT_TRUE(waitFor([&]() { return writeUnit() > first.back() + 3 * 128; }, 20000));
    const quint32 atRun = writeUnit();
    const std::vector<quint32> second = record(1);
    ASSERT_FALSE(second.empty());
    EXPECT_GE(second.front(), atRun);
    EXPECT_LE(second.front(), atRun + 128);
    for (const std::vector<quint32>* rec : {&first, &second})
        for (std::size_t i = 1; i < rec->size(); ++i)
            ASSERT_EQ((*rec)[i], (*rec)[i - 1] + 1) << "each recording is one unbroken stretch";
    EXPECT_GT(second.front(), first.back());
}

// A recording at each block size, and in each way of writing, holds whole
// blocks, every word the ramp's from the stream's start, and its metadata
// names the block size.
TEST_F(BoardStream, RecordingsAtEachBlockSizeHoldTheStreamWordExact)
{
    using Way = Writer::DiskWrites;
    const struct {
        qint64 blockBytes;
        Way way;
    } cases[] = {{4096, Way::Direct}, {8192, Way::Behind}, {64 << 10, Way::Cached}, {1 << 20, Way::Direct},
                 {4 << 20, Way::Behind}};
    for (const auto& c : cases) {
        const qint64 blockBytes = c.blockBytes;
        SCOPED_TRACE(blockBytes);
        open("2000000");  // 128 MB/s
        // 64 MiB of ring and half the rate a sanitized recorder manages with
        // 4 MiB blocks (about 250 MB/s), so a recorder slowed further by a
        // shared machine drops nothing and the file is the stream without a
        // gap.
        BlockRing ring(BlockRing::slotCountFor(std::size_t(blockBytes), std::size_t(64) << 20), std::size_t(blockBytes));
        WorkThread thread;
        ASSERT_TRUE(thread.setStreamBlockBytes(blockBytes));
        Writer writer(&ring, dir.filePath(QStringLiteral("bs%1.bin").arg(blockBytes)), int(blockBytes));
        recordingmeta::Recording described;
        described.sampleRateHz = 1e9;  // metadata without a rate reads back as unusable
        writer.setMetadata(described);
        writer.setDiskWrites(c.way);
        writer.startRecording(QThread::NormalPriority);
        run(thread, ring);
        // 48 MiB: past the write-behind's window, so the recorder has waited
        // for the disk and dropped written pages before the read-back.
        const qint64 blocks = std::max<qint64>(3, (qint64(48) << 20) / blockBytes);
        ASSERT_TRUE(waitFor([&]() { return writer.blocksWritten() >= blocks; }, 30000));
        thread.stopAndWait();
        writer.requestStop();
        ASSERT_TRUE(writer.wait(QDeadlineTimer(scaledMs(5000))));
        const Writer::Summary summary = writer.lastSummary();
        ASSERT_EQ(summary.files.size(), 1);
        EXPECT_FALSE(summary.failed);
        ASSERT_EQ(summary.blocksDropped, 0u);
        QFile file(summary.files.front());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        ASSERT_GE(bytes.size(), blocks * blockBytes);
        EXPECT_EQ(bytes.size() % blockBytes, 0);
        qint64 wrong = 0;
        for (int w = 0; w < bytes.size() / 2; ++w)
            wrong += (uint8_t(bytes[2 * w]) | (uint8_t(bytes[2 * w + 1]) << 8)) != (w & 0xffff);
        EXPECT_EQ(wrong, 0);
        const recordingmeta::ReadBack meta = recordingmeta::readFor(summary.files.front());
        ASSERT_TRUE(meta.ok) << meta.reason.toStdString();
        EXPECT_EQ(meta.groupsPerBlock, blockBytes / 32);
        EXPECT_TRUE(meta.complete);
        EmulatedBoard::reset();
    }
    // A size the stream cannot move is refused and the size kept.
    WorkThread thread;
    for (const qint64 bad : {qint64(0), qint64(32), qint64(12288), qint64(128) << 20})
        EXPECT_FALSE(thread.setStreamBlockBytes(bad)) << bad;
}

// The default stream: blocks of 128 units moved by the designed sequence, a
// read of the write pointer, the transfer's start, its 128 units, the
// transfer command and one DMA of 8192 bytes.
TEST_F(BoardStream, TheDefaultStreamMoves8KiBBlocksWithTheDesignedRegisterSequence)
{
    open();
    BlockRing ring;
    ASSERT_EQ(ring.blockBytes(), 8192u);
    ASSERT_EQ(ring.slotCount(), 1024u);
    WorkThread thread;
    run(thread, ring);
    ASSERT_TRUE(waitFor([&]() { return ring.size() >= 3; }));
    thread.stopAndWait();
    QList<QByteArray> lines = traceLines();
    // From the first read of the write pointer on.
    while (!lines.isEmpty() && !lines.front().startsWith("R 884 "))
        lines.removeFirst();
    int blocks = 0;
    for (int i = 0; i < lines.size(); ++i) {
        if (!lines[i].startsWith("DR "))
            continue;
        ASSERT_GE(i, 4);
        EXPECT_TRUE(lines[i - 4].startsWith("R 884 ")) << lines[i - 4].constData();
        EXPECT_EQ(lines[i - 3], QByteArray("W 804 ") + QByteArray::number(128 * blocks));
        EXPECT_EQ(lines[i - 2], QByteArray("W 808 128"));
        EXPECT_EQ(lines[i - 1], QByteArray("W 768 2"));
        EXPECT_EQ(lines[i], QByteArray("DR 0 8192 0"));
        ++blocks;
    }
    EXPECT_GE(blocks, 3);
}

// The bus-cost model makes each call last at least its configured cost
// (lower bounds only: a shared machine may make calls slower, never faster).
TEST_F(BoardStream, TheBusCostModelChargesEachCallItsCost)
{
    struct Row {
        const char* variable;
        const char* value;
        double secondsPerCall;
        std::function<void()> call;
    };
    std::vector<quint32> buffer(1 << 18);  // 1 MiB
    quint32 value = 0;
    const Row rows[] = {
        {"LOMPCIE_COST_WRITE_NS", "2000000", 0.002, [] { KelPcieWriteData(deviceHandle, 804, 0); }},
        {"LOMPCIE_COST_READ_NS", "3000000", 0.003, [&] { KelPcieReadData(deviceHandle, 884, &value); }},
        {"LOMPCIE_COST_DMA_NS", "1000000", 0.001, [&] { KelPcieReadDMA(deviceHandle, 0, buffer.data(), 4096); }},
        // 1 MiB over a link of 500 MB/s: 2.1 ms on top of nothing.
        {"LOMPCIE_LINK_BYTES_PER_S", "500000000", double(1 << 20) / 500e6,
         [&] { KelPcieReadDMA(deviceHandle, 0, buffer.data(), 1 << 20); }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.variable);
        qputenv(r.variable, r.value);
        open(nullptr, nullptr, 0, false);
        const auto begin = std::chrono::steady_clock::now();
        for (int i = 0; i < 4; ++i)
            r.call();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        EXPECT_GE(seconds, 4 * r.secondsPerCall);
        EmulatedBoard::reset();
    }
}
