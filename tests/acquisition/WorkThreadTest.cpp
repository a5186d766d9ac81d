// WorkThread without a board: the simulated frames, replay of test-written
// sample files, the ramp stream, the replay-path hand-over and many starts
// and stops. Every wait has a time-out, so a hang fails instead of blocking.
#include "BlockRing.h"
#include "DeviceState.h"
#include "TestSupport.h"
#include "WorkThread.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <mutex>
#include <vector>

using namespace testsupport;

namespace {

using Frame = std::vector<std::vector<double>>;

// Copies every frame the thread emits (the arrays are valid only during the
// emission).
class FrameCollector {
public:
    FrameCollector(WorkThread& thread, int n)
    {
        QObject::connect(&thread, &WorkThread::sigSendData, &thread,
                         [this, n](double* a, double* b, double* c, double* d) {
                             Frame f = {std::vector<double>(a, a + n), std::vector<double>(b, b + n),
                                        std::vector<double>(c, c + n), std::vector<double>(d, d + n)};
                             std::lock_guard<std::mutex> lock(mutex);
                             frames.push_back(std::move(f));
                         },
                         Qt::DirectConnection);
    }
    std::size_t count() const { std::lock_guard<std::mutex> lock(mutex); return frames.size(); }
    Frame frame(std::size_t i) const { std::lock_guard<std::mutex> lock(mutex); return frames.at(i); }

private:
    mutable std::mutex mutex;
    std::vector<Frame> frames;
};

void start(WorkThread& t, int n, int mode)
{
    t.setParameters(n, 0, mode, 100, 1, 100);
    t.allocateChannelBuffers();
    t.start();
}

// Stop and wait, failing (rather than hanging) after the time-out.
bool stop(WorkThread& t, int timeoutMs = 5000)
{
    t.requestStop();
    return t.wait(QDeadlineTimer(scaledMs(timeoutMs)));
}

// The simulated frame computed from its description, with the noise drawn in
// the stated order from a generator of the same seed.
Frame expectedSimulation(int n, quint32 seed)
{
    QRandomGenerator noise(seed);
    auto draw = [&noise]() { return double((quint64(noise.generate()) * 30) >> 32); };
    Frame f(4, std::vector<double>(std::size_t(n)));
    for (int i = 0; i < n; ++i)
        f[0][i] = 200.0 * std::cos(double(i) * 628312.52 / 1e6);
    for (int i = 0; i < n; ++i)
        f[2][i] = ((i % 100) < 50 ? 350.0 : -350.0) + draw();
    for (int i = 0; i < n; ++i) {
        f[1][i] = 300.0 * std::sin(double(i) * 0.01 * 12.5663704) + draw();
        f[3][i] = ((i % 100) < 50 ? 230.0 : -230.0) + draw();
    }
    return f;
}

} // namespace

TEST(WorkThreadSimulation, FrameMatchesTheSignalDescription)
{
    ASSERT_EQ(deviceHandle, 0u);
    const int n = 1000;
    QRandomGenerator noise(20261207);
    WorkThread thread;
    thread.setNoiseSource(&noise);
    FrameCollector frames(thread, n);
    start(thread, n, acquisition::kModeFreeTrigger);
    ASSERT_TRUE(waitFor([&]() { return frames.count() >= 1; }));
    ASSERT_TRUE(stop(thread));

    const Frame got = frames.frame(0);
    const Frame want = expectedSimulation(n, 20261207);
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < n; ++i)
            // Same formula; the tolerance covers only a different rounding of
            // i / 1e6 * c versus i * c / 1e6 (a few ulps of a 300-code value).
            ASSERT_NEAR(got[k][i], want[k][i], 1e-9) << "k " << k << " i " << i;

    // Properties independent of the formula's constants: channel 0 is a
    // noiseless cosine of 200 codes and period 10 (its frequency constant is
    // 6e-6 rad/sample off 2*pi/10, so it drifts by at most 1.2 codes by i =
    // 1000); the others carry integer noise 0..29 on their base shapes.
    for (int i = 0; i < n; ++i) {
        EXPECT_NEAR(got[0][i], 200.0 * std::cos(2 * M_PI * i / 10.0), 1.3) << i;
        const double base2 = (i % 100) < 50 ? 350.0 : -350.0;
        const double noise2 = got[2][i] - base2;
        EXPECT_TRUE(noise2 >= 0 && noise2 <= 29 && noise2 == std::floor(noise2)) << i;
        const double noise3 = got[3][i] - ((i % 100) < 50 ? 230.0 : -230.0);
        EXPECT_TRUE(noise3 >= 0 && noise3 <= 29 && noise3 == std::floor(noise3)) << i;
        const double noise1 = got[1][i] - 300.0 * std::sin(2 * M_PI * i / 50.0);
        EXPECT_TRUE(noise1 > -0.01 && noise1 < 29.01) << i;  // 12.5663704 vs 4*pi: < 1e-5 codes
    }
}

TEST(WorkThreadSimulation, EveryTriggerModeWithoutABoardSimulates)
{
    for (int mode : {acquisition::kModeFreeTrigger, acquisition::kModeEdgeTrigger,
                     acquisition::kModeExternalTrigger, 7}) {
        WorkThread thread;
        FrameCollector frames(thread, 64);
        start(thread, 64, mode);
        ASSERT_TRUE(waitFor([&]() { return frames.count() >= 2; })) << mode;
        ASSERT_TRUE(stop(thread)) << mode;
        EXPECT_DOUBLE_EQ(frames.frame(1)[0][0], 200.0);
    }
}

TEST(WorkThreadReplay, RecordsRepeatFromTheStartAfterTheLastOne)
{
    QTemporaryDir dir;
    // Files of exactly k whole records: 3 of 100 samples, 4 of 101 (404
    // instants fill 101 groups exactly).
    for (int n : {100, 101}) {
        const int k = n % 4 ? 4 : 3;
        const QString file = dir.filePath(QStringLiteral("records%1.bin").arg(n));
        ASSERT_TRUE(writeFile(file, makeStream(k * int64_t(n))));
        WorkThread thread;
        thread.setLocalFilePath(file);
        FrameCollector frames(thread, n);
        start(thread, n, acquisition::kModeLocalFile);
        ASSERT_TRUE(waitFor([&]() { return frames.count() >= std::size_t(k) + 2; })) << n;
        ASSERT_TRUE(stop(thread));
        for (std::size_t f = 0; f < std::size_t(k) + 2; ++f) {
            const int64_t s0 = int64_t(n) * int64_t(f % std::size_t(k));
            const Frame got = frames.frame(f);
            for (int k = 0; k < 4; ++k)
                for (int i = 0; i < n; ++i)
                    ASSERT_EQ(got[std::size_t(k)][std::size_t(i)], double(codeOf(s0 + i, k)))
                        << "n " << n << " frame " << f << " k " << k << " i " << i;
        }
    }
}

TEST(WorkThreadReplay, BadFilesLogAndEmitNothingAndStopPromptly)
{
    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty.bin"));
    ASSERT_TRUE(writeFile(empty, QByteArray()));
    const QString good = dir.filePath(QStringLiteral("good.bin"));
    ASSERT_TRUE(writeFile(good, makeStream(400)));
    struct Case {
        QString path;
        int n;
        QString logPrefix;
        bool everyPass;  // logged at every pass, or once per run
    };
    const Case cases[] = {
        {dir.filePath(QStringLiteral("missing.bin")), 100, QStringLiteral("open failed"), true},
        {empty, 100, QStringLiteral("replay failed"), false},
        {good, 0, QStringLiteral("replay failed"), true},
    };
    for (const Case& c : cases) {
        LogCapture log;
        WorkThread thread;
        thread.setLocalFilePath(c.path);
        FrameCollector frames(thread, c.n);
        start(thread, c.n, acquisition::kModeLocalFile);
        ASSERT_TRUE(waitFor([&]() { return log.count(c.logPrefix) >= (c.everyPass ? 2 : 1); }))
            << c.path.toStdString();
        if (!c.everyPass)
            QThread::msleep(200);  // several 30 ms passes
        ASSERT_TRUE(stop(thread));
        EXPECT_EQ(frames.count(), 0u) << c.path.toStdString();
        EXPECT_TRUE(log.lines().filter(c.logPrefix).first().contains(c.path));
        if (!c.everyPass) {
            EXPECT_EQ(log.count(c.logPrefix), 1) << "an empty file is reported once per run";
        }
    }
}

TEST(WorkThreadReplay, PathHandOverWhileReplaying)
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("a.bin"));
    const QString second = dir.filePath(QStringLiteral("b.bin"));
    ASSERT_TRUE(writeFile(first, makeStream(8)));
    // The second file is the stream shifted by 1000 instants.
    ASSERT_TRUE(writeFile(second, makeStream(1008).mid(1000 / 4 * 32)));
    WorkThread thread;
    thread.setLocalFilePath(first);
    FrameCollector frames(thread, 8);
    start(thread, 8, acquisition::kModeLocalFile);
    ASSERT_TRUE(waitFor([&]() { return frames.count() >= 1; }));
    // Change the path many times while the thread reads it.
    for (int i = 0; i < 200; ++i)
        thread.setLocalFilePath(i % 2 ? first : second);
    thread.setLocalFilePath(second);
    const std::size_t before = frames.count();
    ASSERT_TRUE(waitFor([&]() { return frames.count() >= before + 2; }));
    ASSERT_TRUE(stop(thread));
    EXPECT_EQ(frames.frame(frames.count() - 1)[2][0], double(codeOf(1000, 2)));
    EXPECT_EQ(thread.localFilePath(), second);
}

TEST(WorkThreadContinuous, WithoutABoardStreamsRampBlocksAndNoFrames)
{
    BlockRing ring(64, 8192);
    WorkThread thread;
    thread.setBlockRing(&ring);
    FrameCollector frames(thread, 16);
    start(thread, 16, acquisition::kModeContinuous);
    ASSERT_TRUE(waitFor([&]() { return ring.size() >= 3; }));
    ASSERT_TRUE(stop(thread));
    EXPECT_EQ(frames.count(), 0u);
    std::vector<unsigned char> block(8192);
    int blocks = 0;
    while (ring.pop(block.data())) {
        for (int i = 0; i < 4096; ++i) {
            const int value = block[std::size_t(2 * i)] | (block[std::size_t(2 * i + 1)] << 8);
            ASSERT_EQ(value, i) << "block " << blocks;
        }
        ++blocks;
    }
    EXPECT_GE(blocks, 3);
}

TEST(WorkThreadLifecycle, StartsAndStopsManyTimesInEveryMode)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("f.bin"));
    ASSERT_TRUE(writeFile(file, makeStream(1000)));
    BlockRing ring(16, 8192);
    WorkThread thread;
    thread.setBlockRing(&ring);
    thread.setLocalFilePath(file);
    std::atomic<int> frames{0};
    QObject::connect(&thread, &WorkThread::sigSendData, &thread,
                     [&frames](double*, double*, double*, double*) { ++frames; }, Qt::DirectConnection);
    const int modes[] = {0, 2, 4, 1, 3};
    for (int cycle = 0; cycle < 60; ++cycle) {
        const int mode = modes[cycle % 5];
        start(thread, 50 + cycle, mode);
        // Every other cycle stops at once, before run() may have begun: the
        // stop must still end that run.
        if (cycle % 2 && mode != 2) {
            const int before = frames.load();
            ASSERT_TRUE(waitFor([&]() { return frames.load() > before; })) << cycle;
        }
        ASSERT_TRUE(stop(thread)) << "cycle " << cycle << " mode " << mode;
        ASSERT_FALSE(thread.isRunning());
    }
    // A stop while idle does not poison the next start.
    thread.requestStop();
    const int before = frames.load();
    start(thread, 10, acquisition::kModeFreeTrigger);
    ASSERT_TRUE(waitFor([&]() { return frames.load() > before; }));
    ASSERT_TRUE(stop(thread));
}

TEST(WorkThreadLifecycle, DestroyingARunningThreadStopsIt)
{
    auto thread = std::make_unique<WorkThread>();
    start(*thread, 100, acquisition::kModeFreeTrigger);
    thread.reset();  // must not abort or hang
    SUCCEED();
}
