// The standard figures' hand-off from frame processing to the panel: frames
// on one thread while another switches the view, resets and reads, as the
// acquisition and GUI threads do. Synchronises through std::mutex and
// atomics only, so ThreadSanitizer checks the hand-off.
#include "StandardFigureStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace {

TEST(StandardFigureStore, FramesAndPanelOnTwoThreads)
{
    h452::StandardFigureStore store;
    std::vector<double> x(1024);
    for (int i = 0; i < 1024; ++i)
        x[i] = std::round(12000.0 * std::sin(2 * 3.14159265358979 * 37 * i / 1024.0));
    h452::FrameInput input;
    input.samples[0] = x.data();
    input.sampleCount = 1024;
    const std::array<h452::ChannelFigures, 4> tableFigures{};

    std::atomic<bool> done{false};
    store.setStandardView(true);  // the frames compute from the first on
    std::thread frames([&] {
        for (int f = 0; f < 300; ++f)
            store.analyze(input, 1, tableFigures);
        done = true;
    });
    int reads = 0;
    while (!done) {
        store.setStandardView(reads % 3 != 2);
        store.requestWarnings();
        if (reads % 7 == 0)
            store.resetStatistics();
        const h452::StandardFigureStore::Snapshot s = store.snapshot();
        if (s.valid) {
            EXPECT_TRUE(s.channels[0].processed);
        }
        ++reads;
        std::this_thread::yield();
    }
    frames.join();

    // Settled: a reset, then three frames in the standard view count three.
    store.setStandardView(true);
    store.resetStatistics();
    for (int f = 0; f < 3; ++f)
        store.analyze(input, 1, tableFigures);
    const h452::StandardFigureStore::Snapshot s = store.snapshot();
    EXPECT_EQ(s.stats[0].figures[h452::ChannelFigures::kCount + 2].count(), 3);  // SINAD
    EXPECT_TRUE(s.channels[0].fit.valid);
    EXPECT_EQ(s.stats[1].figures[0].count(), 0);  // channel 1 was never enabled
}

}  // namespace
