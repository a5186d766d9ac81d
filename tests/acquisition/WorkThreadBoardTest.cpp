// WorkThread against the emulated board. Fetch passes: frames from the board,
// and a trigger that never comes gives no frame and no hang. Continuous
// transfer: blocks follow
// the board's write pointer (each starting at the previous block's last
// unit), a block across the ring's end arrives contiguous from two transfers,
// and Stop returns even when the board's write pointer has stalled.
#include "BlockRing.h"
#include "DeviceState.h"
#include "KelPcieApi.h"
#include "LomPcieDmaDll.h"
#include "TestSupport.h"
#include "WorkThread.h"

#include <QFile>
#include <QTemporaryDir>

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
    void open(const char* streamRate = nullptr, const char* triggerDelay = nullptr)
    {
        qputenv("LOMPCIE_TRACE", QFile::encodeName(trace));
        if (triggerDelay)
            qputenv("LOMPCIE_TRIGGER_DELAY_MS", triggerDelay);
        KelPcieClose();
        qputenv("LOMPCIE_BOARDS", "1");
        qputenv("LOMPCIE_PATTERN", "ramp");
        if (streamRate)
            qputenv("LOMPCIE_STREAM_RATE", streamRate);
        LomPcieResetEmulator();
        SlomPXIDevInfo records[KELPCIE_MAX_DEVICES];
        uint32_t count = 0;
        ASSERT_EQ(KelPcieFindDevs(records, &count), 0);
        ASSERT_EQ(count, 1u);
        int32_t connection = 0;
        ASSERT_EQ(KelPcieInit(records[0].resource, 0, 0, &connection), 0);
        deviceHandle = quint32(connection);
        ASSERT_NE(deviceHandle, 0u);
        KelPcieWriteData(deviceHandle, 880, 1);  // continuous capture on
        KelPcieWriteData(deviceHandle, 788, 0);  // from unit 0
        KelPcieWriteData(deviceHandle, 768, 1);  // start
    }
    void TearDown() override
    {
        KelPcieClose();
        deviceHandle = 0;
        qunsetenv("LOMPCIE_BOARDS");
        qunsetenv("LOMPCIE_PATTERN");
        qunsetenv("LOMPCIE_STREAM_RATE");
        qunsetenv("LOMPCIE_TRIGGER_DELAY_MS");
        qunsetenv("LOMPCIE_TRACE");
        qunsetenv("KELPCIE_POLL_SLEEP_US");
        LomPcieResetEmulator();
    }
    void run(WorkThread& thread, BlockRing& ring, int mode = acquisition::kModeContinuous)
    {
        thread.setBlockRing(&ring);
        thread.setParameters(1000, 0, mode, 0, 1, 0);
        thread.allocateChannelBuffers();
        thread.start();
    }
    // Whether the driver trace has a line starting with prefix.
    bool traced(const QByteArray& prefix) const
    {
        QFile f(trace);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith(prefix))
                return true;
        return false;
    }
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

TEST_F(BoardStream, BlocksFollowTheRingAndShareTheirBoundaryUnit)
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
    // Block b starts at unit 127 * b: each next block begins at the previous
    // block's last unit.
    for (std::size_t b = 0; b < 3; ++b)
        for (int w = 0; w < 4096; ++w)
            ASSERT_EQ(wordAt(blocks[b], w), rampWord(127 * b + quint64(w / 32), w % 32))
                << "block " << b << " word " << w;
}

TEST_F(BoardStream, ABlockAcrossTheRingEndArrivesContiguous)
{
    open();
    BlockRing ring(16, 8192);
    WorkThread thread;
    const quint32 start = kLastUnit - 10;  // 11 units before the end, 117 after
    thread.setStreamStartUnit(start);
    run(thread, ring);
    std::vector<unsigned char> block(8192);
    ASSERT_TRUE(waitFor([&]() { return ring.pop(block.data()); }));
    thread.requestStop();
    ASSERT_TRUE(thread.wait(QDeadlineTimer(scaledMs(5000))));
    for (int w = 0; w < 4096; ++w) {
        const int unitInBlock = w / 32;
        const quint64 unit = unitInBlock < 11 ? quint64(start) + quint64(unitInBlock)
                                              : quint64(unitInBlock - 11);
        ASSERT_EQ(wordAt(block, w), rampWord(unit, w % 32)) << "word " << w;
    }
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

TEST_F(BoardStream, FreeTriggerFramesComeFromTheBoard)
{
    open();
    BlockRing ring(4, 8192);
    WorkThread thread;
    std::atomic<int> frames{0};
    std::atomic<bool> allZero{true};
    QObject::connect(&thread, &WorkThread::sigSendData, &thread,
                     [&](double* a, double*, double*, double* d) {
                         for (int i = 0; i < 1000; ++i)
                             if (a[i] != 0 || d[i] != 0)
                                 allZero = false;
                         ++frames;
                     },
                     Qt::DirectConnection);
    run(thread, ring, acquisition::kModeFreeTrigger);
    ASSERT_TRUE(waitFor([&]() { return frames.load() >= 2; }));
    thread.requestStop();
    ASSERT_TRUE(thread.wait(QDeadlineTimer(scaledMs(5000))));
    EXPECT_FALSE(allZero.load());
    EXPECT_TRUE(ring.empty());  // frames only, no stream
}

TEST_F(BoardStream, ATriggerThatNeverComesGivesNoFrameAndStopReturns)
{
    // Short library polls, so each failed fetch ends after well under a second.
    qputenv("KELPCIE_POLL_SLEEP_US", "10");
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
    // time-out (60000 polls of 10 us here).
    EXPECT_TRUE(thread.wait(QDeadlineTimer(scaledMs(20000))));
    EXPECT_EQ(frames.load(), 0);
}
