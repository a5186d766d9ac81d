// Spectrum averaging and peak hold. Golden values are statistical closed
// forms: the power of a bin of white noise is exponentially distributed, so
// the mean of N independent frames has a relative spread of 1/sqrt(N), and
// an exponential average with weight w settles at sqrt(w / (2 - w)).
#include "PowerAverage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace h452;

namespace {

constexpr int kBins = 4000;

// Relative spread (std / mean) of the shown power over all bins.
double relativeSpread(const double* amplitudes)
{
    double sum = 0.0, sumSq = 0.0;
    for (int k = 0; k < kBins; ++k) {
        const double p = amplitudes[k] * amplitudes[k];
        sum += p;
        sumSq += p * p;
    }
    const double mean = sum / kBins;
    return std::sqrt(sumSq / kBins - mean * mean) / mean;
}

// Runs frames of complex white noise (magnitudes |re + j im|) through an
// averager and returns the relative spread of the shown trace.
double spreadAfter(int averageCount, int frameCount, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> normal(0.0, 100.0);
    SpectrumAverager averager;
    EXPECT_TRUE(averager.configure(SpectrumAverageMode::PowerAverage, averageCount));
    std::vector<double> frame(kBins);
    const double* shown = nullptr;
    for (int f = 0; f < frameCount; ++f) {
        averager.beginFrame(1e9, 2 * kBins, 0, 1u);
        for (double& a : frame)
            a = std::hypot(normal(rng), normal(rng));
        shown = averager.apply(0, frame.data(), kBins);
    }
    return relativeSpread(shown);
}

}  // namespace

TEST(PowerAverage, SpreadFallsAsOneOverRootN)
{
    // With 4000 bins the estimate of the spread is itself good to about
    // 1/sqrt(2 * 4000) relative (a few per cent for these skewed
    // distributions); 10 % tolerance keeps the test deterministic-safe.
    struct Case { int n; int frames; double expected; };
    const Case cases[] = {
        {2, 2, 1 / std::sqrt(2.0)},
        {16, 16, 1 / std::sqrt(16.0)},
        {256, 256, 1 / std::sqrt(256.0)},
        // Long after N frames the weight 1/N governs: sqrt(w / (2 - w)).
        {8, 200, std::sqrt((1.0 / 8) / (2 - 1.0 / 8))},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(spreadAfter(c.n, c.frames, 7u + static_cast<unsigned>(c.n)), c.expected, 0.1 * c.expected)
            << "N " << c.n << ", frames " << c.frames;
}

TEST(PowerAverage, PeakHoldKeepsMaximumAndRestarts)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::vector<double>> frames = {{1, 5, 2}, {3, nan, 1}, {2, 4, 6}};
    SpectrumAverager averager;
    ASSERT_TRUE(averager.configure(SpectrumAverageMode::PeakHold, 16));
    const double* shown = nullptr;
    for (const auto& frame : frames) {
        averager.beginFrame(1e9, 6, 0, 1u);
        shown = averager.apply(0, frame.data(), 3);
    }
    EXPECT_EQ(shown[0], 3.0);
    EXPECT_EQ(shown[1], 5.0);  // the NaN never sticks
    EXPECT_EQ(shown[2], 6.0);
    EXPECT_EQ(averager.frames(0), 3);

    // Any change of rate, length, window or channel set starts again; so
    // does Reset.
    const std::vector<double> low = {0.5, 0.5, 0.5};
    struct Change { double rate; int length; int window; unsigned mask; };
    const Change changes[] = {{5e8, 6, 0, 1u}, {5e8, 8, 0, 1u}, {5e8, 8, 3, 1u}, {5e8, 8, 3, 3u}};
    for (const Change& c : changes) {
        averager.apply(0, frames[2].data(), 3);
        averager.beginFrame(c.rate, c.length, c.window, c.mask);
        EXPECT_EQ(averager.frames(0), 0);
        EXPECT_EQ(averager.apply(0, low.data(), 3)[2], 0.5);
    }
    averager.reset();
    EXPECT_EQ(averager.frames(0), 0);
}

TEST(PowerAverage, CountOutsideTwoTo1024IsRefused)
{
    SpectrumAverager averager;
    for (int n : {0, 1, -5, 1025, 1000000000})
        EXPECT_FALSE(averager.configure(SpectrumAverageMode::PowerAverage, n)) << n;
    EXPECT_EQ(averager.mode(), SpectrumAverageMode::Normal);
    EXPECT_TRUE(averager.configure(SpectrumAverageMode::PowerAverage, 1024));
    // Normal mode hands the input back untouched.
    ASSERT_TRUE(averager.configure(SpectrumAverageMode::Normal, 2));
    const double frame[2] = {1, 2};
    EXPECT_EQ(averager.apply(0, frame, 2), frame);
}
