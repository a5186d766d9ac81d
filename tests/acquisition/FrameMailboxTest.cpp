// The one-slot mailbox between frame processing and the GUI: merging of a
// waiting update, the single wake-up, and a two-thread run in which no
// frame's effect may be lost.
#include "FrameMailbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <random>
#include <thread>

using namespace h452;

namespace {

QVector<QPointF> line(double tag, int n = 3)
{
    QVector<QPointF> p;
    for (int i = 0; i < n; ++i)
        p.append(QPointF(i, tag));
    return p;
}

FrameUpdate timeFrame(double tag)
{
    FrameUpdate u;
    for (int c = 0; c < 2; ++c) {
        u.at(SeriesKind::Time, c) = {true, line(tag)};
        u.at(SeriesKind::Overview, c) = {true, line(tag, 5)};
    }
    u.hasFigures = true;
    u.figures[0][5] = tag;
    return u;
}

// What a series shows after an eye change, applied the way the GUI does it.
void applyEye(QVector<QPointF>& series, const EyeChange& e)
{
    if (e.clear)
        series.clear();
    series += e.batch;
    const int trim = int(std::min<std::int64_t>(e.trimFront, series.size()));
    series.remove(0, trim);
}

} // namespace

TEST(FrameMailbox, OlderFitAndConstellationSurviveANewerFrameWithoutThem)
{
    int wakeUps = 0;
    FrameMailbox box([&] { ++wakeUps; });

    FrameUpdate first = timeFrame(1);
    first.at(SeriesKind::Constellation, 0) = {true, line(7)};
    first.fit[int(FitChart::Time)] = AxisRanges{true, 0, 999, -400, 400};
    EXPECT_TRUE(box.post(std::move(first)));
    EXPECT_FALSE(box.post(timeFrame(2)));   // merged, no second wake-up
    EXPECT_EQ(wakeUps, 1);

    FrameUpdate got;
    ASSERT_TRUE(box.take(got));
    // The newer lists replaced the older ones of the same series ...
    EXPECT_EQ(got.at(SeriesKind::Time, 0).points, line(2));
    EXPECT_EQ(got.at(SeriesKind::Overview, 1).points, line(2, 5));
    EXPECT_EQ(got.figures[0][5], 2.0);
    // ... while what only the older frame carried is still there.
    ASSERT_TRUE(got.at(SeriesKind::Constellation, 0).replace);
    EXPECT_EQ(got.at(SeriesKind::Constellation, 0).points, line(7));
    ASSERT_TRUE(got.fit[int(FitChart::Time)].valid);
    EXPECT_EQ(got.fit[int(FitChart::Time)].xMax, 999.0);
    // Untouched series stay untouched.
    EXPECT_FALSE(got.at(SeriesKind::Spectrum, 0).replace);

    // Once taken, the next post wakes the GUI again.
    FrameUpdate dummy;
    EXPECT_FALSE(box.take(dummy));
    EXPECT_TRUE(box.post(timeFrame(3)));
    EXPECT_EQ(wakeUps, 2);
}

TEST(FrameMailbox, NewestFitPerChartAndClearsAreKept)
{
    FrameMailbox box;
    FrameUpdate a;
    a.fit[int(FitChart::Time)] = AxisRanges{true, 0, 100, -1, 1};
    a.fit[int(FitChart::Spectrum)] = AxisRanges{true, 0, 500, -150, -30};
    a.at(SeriesKind::Spectrum, 2) = {true, {}};   // a replacement by nothing clears
    box.post(std::move(a));
    FrameUpdate b;
    b.fit[int(FitChart::Time)] = AxisRanges{true, 0, 200, -2, 2};
    b.eye[1].clear = true;
    box.post(std::move(b));

    FrameUpdate got;
    ASSERT_TRUE(box.take(got));
    EXPECT_EQ(got.fit[int(FitChart::Time)].xMax, 200.0);
    EXPECT_EQ(got.fit[int(FitChart::Spectrum)].xMax, 500.0);
    EXPECT_TRUE(got.at(SeriesKind::Spectrum, 2).replace);
    EXPECT_TRUE(got.at(SeriesKind::Spectrum, 2).points.isEmpty());
    EXPECT_TRUE(got.eye[1].clear);
}

TEST(FrameMailbox, EmptyUpdatesAndDiscardedChannelsWakeNobody)
{
    int wakeUps = 0;
    FrameMailbox box([&] { ++wakeUps; });
    EXPECT_FALSE(box.post(FrameUpdate{}));
    EXPECT_EQ(wakeUps, 0);
    EXPECT_FALSE(box.hasPending());

    FrameUpdate u = timeFrame(1);
    u.eye[0].batch = line(5);
    box.post(std::move(u));
    box.discardChannel(0);   // the GUI cleared channel 0 itself
    FrameUpdate got;
    ASSERT_TRUE(box.take(got));
    EXPECT_FALSE(got.at(SeriesKind::Time, 0).replace);
    EXPECT_TRUE(got.eye[0].batch.isEmpty());
    EXPECT_TRUE(got.at(SeriesKind::Time, 1).replace);
    box.discardChannel(7);   // out of range: ignored
    box.discardEye(-1);
}

// Eye changes merged in any grouping must give the same series as applying
// every frame's change in turn (the reference here).
TEST(FrameMailbox, MergedEyeChangesMatchApplyingEachFrame)
{
    std::mt19937 rng(12345);
    for (int round = 0; round < 200; ++round) {
        QVector<QPointF> reference, merged;
        FrameMailbox box;
        double tag = 0;
        for (int frame = 0; frame < 12; ++frame) {
            EyeChange e;
            e.clear = rng() % 7 == 0;
            e.batch = line(++tag, 1 + int(rng() % 4));
            // A trim reaches only into points present before this frame's batch.
            const int before = e.clear ? 0 : reference.size();
            e.trimFront = before > 0 ? std::int64_t(rng() % (before + 1)) : 0;
            FrameUpdate u;
            u.eye[2] = e;
            box.post(std::move(u));
            // Reference: trim the old points, then append (as the analysis
            // defines one frame's effect).
            if (e.clear)
                reference.clear();
            reference.remove(0, int(e.trimFront));
            reference += e.batch;
            if (rng() % 3 == 0) {
                FrameUpdate got;
                if (box.take(got))
                    applyEye(merged, got.eye[2]);
            }
        }
        FrameUpdate got;
        if (box.take(got))
            applyEye(merged, got.eye[2]);
        ASSERT_EQ(merged, reference) << "round " << round;
    }
}

// Producer and consumer on two threads: every frame carries one eye point
// with its number; the consumer must see all of them, in order, however the
// frames were merged. Scaled by H452_STRESS_FACTOR for long runs.
TEST(FrameMailbox, TwoThreadsLoseNoFrame)
{
    int frames = 20000;
    if (const char* f = std::getenv("H452_STRESS_FACTOR"))
        frames *= std::max(1, std::atoi(f));

    std::mutex wakeMutex;
    std::condition_variable wakeCv;
    int wakeUps = 0;
    FrameMailbox box([&] {
        std::lock_guard<std::mutex> lock(wakeMutex);
        ++wakeUps;
        wakeCv.notify_one();
    });
    std::atomic<bool> producerDone{false};
    std::atomic<int> posts{0};

    std::thread producer([&] {
        for (int i = 0; i < frames; ++i) {
            FrameUpdate u;
            u.eye[0].batch = {QPointF(i, 0)};
            u.at(SeriesKind::Time, 0) = {true, {QPointF(i, i)}};
            box.post(std::move(u));
            posts.fetch_add(1, std::memory_order_relaxed);
        }
        producerDone = true;
        std::lock_guard<std::mutex> lock(wakeMutex);
        wakeCv.notify_one();
    });

    QVector<QPointF> eye;
    QPointF lastTime(-1, -1);
    int takes = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool timedOut = false;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(wakeMutex);
            wakeCv.wait_for(lock, std::chrono::milliseconds(50));
        }
        FrameUpdate got;
        while (box.take(got)) {
            ++takes;
            eye += got.eye[0].batch;
            if (got.at(SeriesKind::Time, 0).replace)
                lastTime = got.at(SeriesKind::Time, 0).points.first();
        }
        if (producerDone && !box.hasPending())
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            timedOut = true;
            break;
        }
    }
    producer.join();
    ASSERT_FALSE(timedOut);
    FrameUpdate rest;
    if (box.take(rest)) {
        eye += rest.eye[0].batch;
        lastTime = rest.at(SeriesKind::Time, 0).points.first();
    }

    ASSERT_EQ(eye.size(), frames);
    for (int i = 0; i < frames; ++i)
        ASSERT_EQ(eye[i].x(), double(i));
    EXPECT_EQ(lastTime, QPointF(frames - 1, frames - 1));   // the newest list won
    std::lock_guard<std::mutex> lock(wakeMutex);
    EXPECT_LE(wakeUps, posts.load());
    EXPECT_LE(takes, wakeUps);
}
