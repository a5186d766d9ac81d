// Eye figures of a square wave built here with known levels, edge shape,
// edge jitter and level noise, cut into the eye by the eye builder as the
// window does. Expected values are the construction's own: the jitter put
// on the edges, a width of one UI less six jitter sigmas, the Gaussian
// edge's 20-80 % time, the level noise in the height and Q factor.
#include "Eye.h"
#include "EyeFigures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr double kFs = 1e9;
constexpr int kPeriod = 100;          // samples: one UI is 50
constexpr double kLow = -3000.0;
constexpr double kAmplitude = 8000.0;
constexpr double kEdgeSigma = 3.0;    // Gaussian edge: 20-80 % in 2 * 0.8416 * 3 samples
constexpr int kFrameSamples = 4000;

struct SquareWave {
    double jitterSamples = 2.5;  // rms of each edge time
    double noiseRms = 0.02 * kAmplitude;
    int frames = 8;
    unsigned seed = 3;
};

struct Accumulated {
    h452::EyeSeriesModel series;
    h452::EyeJitterLog jitter;
};

double gaussianStep(double u)
{
    return 0.5 * std::erfc(-u / (kEdgeSigma * std::sqrt(2.0)));
}

std::vector<double> frame(const SquareWave& w, std::mt19937& rng)
{
    std::normal_distribution<double> gauss(0.0, 1.0);
    const int ui = kPeriod / 2;
    std::vector<double> edges;
    for (int e = -2; e * ui < kFrameSamples + 2 * ui; ++e)
        edges.push_back(e * ui + 7.3 + w.jitterSamples * gauss(rng));
    std::vector<double> x(std::size_t(kFrameSamples), kLow);
    for (int k = 0; k < kFrameSamples; ++k) {
        // Edge 0 rises, edge 1 falls, ... : the level is the sum of the steps.
        double v = 0.0;
        for (std::size_t e = 0; e < edges.size(); ++e)
            if (std::fabs(k - edges[e]) < 12 * kEdgeSigma || k > edges[e])
                v += (e % 2 == 0 ? 1.0 : -1.0) * gaussianStep(k - edges[e]);
        x[std::size_t(k)] = kLow + kAmplitude * v + w.noiseRms * gauss(rng);
    }
    return x;
}

Accumulated accumulate(const SquareWave& w)
{
    Accumulated a;
    std::mt19937 rng(w.seed);
    const double line = kFs / kPeriod;
    for (int f = 0; f < w.frames; ++f) {
        const std::vector<double> x = frame(w, rng);
        const int start = h452::findEyeStart(x.data(), kFrameSamples, kFs, line);
        std::vector<double> tx, ty;
        h452::buildEyeTraces(x.data() + start, kFrameSamples - start, kFs, line, tx, ty);
        h452::appendEyeTraces(a.series, tx.data(), ty.data(), tx.size());
        h452::EyeFrameJitter j;
        h452::measureFrameJitter(x.data() + start, kFrameSamples - start, kFs, line, j);
        a.jitter.add(j);
    }
    return a;
}

h452::EyeFigures figuresOf(const Accumulated& a)
{
    h452::EyeFigures f;
    h452::computeEyeFigures(a.series.x.data(), a.series.y.data(), a.series.size(), kFs, &a.jitter, f);
    return f;
}

// Jitter of 2, 2.5 and 4 samples rms on band-limited edges: rms jitter and
// width within 10 % of what was put in.
TEST(EyeFigures, SquareWaveWithKnownJitter)
{
    for (double jitter : {2.0, 2.5, 4.0}) {
        SCOPED_TRACE(jitter);
        SquareWave w;
        w.jitterSamples = jitter;
        const h452::EyeFigures f = figuresOf(accumulate(w));
        ASSERT_TRUE(f.jitterRmsS.present()) << f.jitterRmsS.reason;
        ASSERT_TRUE(f.widthUi.present()) << f.widthUi.reason;
        EXPECT_NEAR(f.jitterRmsS.value, jitter / kFs, 0.1 * jitter / kFs);
        const double width = 1.0 - 6.0 * jitter / (kPeriod / 2);
        EXPECT_NEAR(f.widthUi.value, width, 0.1 * width);
        EXPECT_GT(f.jitterPpS.value, 4 * f.jitterRmsS.value);
        EXPECT_GT(f.traces.value, 50.0);
        EXPECT_GT(f.crossings, 400);

        // Edges and crossing of the construction. The levels are checked on
        // aligned traces below: this band-limited wave is not a pulse signal
        // to the eye builder, whose traces then start at noise maxima
        // anywhere on a plateau, which smears the drawn eye in time.
        const double edge = 2 * 0.8416 * kEdgeSigma / kFs;
        EXPECT_NEAR(f.riseTimeS.value, edge, 0.15 * edge);
        EXPECT_NEAR(f.fallTimeS.value, edge, 0.15 * edge);
        EXPECT_NEAR(f.crossingPercent.value, 50.0, 5.0);
    }
}

// Traces of one period each, built here aligned on the middle of a high run,
// edges at a quarter and three quarters of the period, so the levels at the
// eye's centre are the construction's: amplitude, height with 3 sigma of the
// 2 % level noise on each side, Q = 1 / (2 * 0.02). Tolerances: the noise
// estimate from about 60 points per level and bin.
TEST(EyeFigures, LevelsOfAlignedTraces)
{
    std::mt19937 rng(5);
    std::normal_distribution<double> gauss(0.0, 1.0);
    const double noise = 0.02 * kAmplitude;
    std::vector<double> x, y;
    for (int t = 0; t < 120; ++t) {
        if (t) {
            x.push_back(std::nan(""));
            y.push_back(std::nan(""));
        }
        const double fall = 25 + gauss(rng), rise = 75 + gauss(rng);
        for (int k = 0; k < kPeriod; ++k) {
            x.push_back(double(k) / (kPeriod - 1));
            y.push_back(kLow + kAmplitude * (1 - gaussianStep(k - fall) + gaussianStep(k - rise)) + noise * gauss(rng));
        }
    }
    h452::EyeFigures f;
    h452::computeEyeFigures(x.data(), y.data(), x.size(), kFs, nullptr, f);
    EXPECT_EQ(f.traces.value, 120.0);
    ASSERT_TRUE(f.height.present()) << f.height.reason;
    EXPECT_NEAR(f.amplitude.value, kAmplitude, 0.02 * kAmplitude);
    EXPECT_NEAR(f.height.value, kAmplitude * (1 - 6 * 0.02), 0.03 * kAmplitude);
    EXPECT_NEAR(f.qFactor.value, 1 / (2 * 0.02), 0.15 / (2 * 0.02));
    const double edge = 2 * 0.8416 * kEdgeSigma / kFs;
    EXPECT_NEAR(f.riseTimeS.value, edge, 0.1 * edge);
    EXPECT_NEAR(f.fallTimeS.value, edge, 0.1 * edge);
    EXPECT_NEAR(f.crossingPercent.value, 50.0, 3.0);
    EXPECT_STREQ(f.jitterRmsS.reason, h452::figurereason::kTooFewCrossings);
}

TEST(EyeFigures, AbsentWithReason)
{
    using namespace h452::figurereason;
    // Nothing accumulated.
    h452::EyeFigures none;
    h452::computeEyeFigures(nullptr, nullptr, 0, kFs, nullptr, none);
    EXPECT_STREQ(none.height.reason, kTooFewTraces);
    EXPECT_STREQ(none.jitterRmsS.reason, kTooFewCrossings);
    EXPECT_STREQ(none.widthUi.reason, kTooFewCrossings);

    // Edges jittered by a fifth of a UI: no width left.
    SquareWave closedInTime;
    closedInTime.jitterSamples = 10.0;
    closedInTime.frames = 3;
    const h452::EyeFigures late = figuresOf(accumulate(closedInTime));
    EXPECT_STREQ(late.widthUi.reason, kNoEyeOpening);
    EXPECT_TRUE(late.jitterRmsS.present());

    // Level noise of a quarter of the amplitude: no height left.
    SquareWave closedInLevel;
    closedInLevel.noiseRms = 0.25 * kAmplitude;
    closedInLevel.frames = 3;
    const h452::EyeFigures noisy = figuresOf(accumulate(closedInLevel));
    EXPECT_STREQ(noisy.height.reason, kNoEyeOpening);
    EXPECT_TRUE(noisy.amplitude.present());

    // Without noise the levels have no spread: no Q factor, no division by 0.
    SquareWave clean;
    clean.noiseRms = 0.0;
    clean.jitterSamples = 0.0;
    clean.frames = 2;
    const h452::EyeFigures q = figuresOf(accumulate(clean));
    EXPECT_STREQ(q.qFactor.reason, kNoLevelSpread);

    // A flat frame and a frame of NaN have no crossings.
    std::vector<double> flat(1000, 5.0), nans(1000, std::nan(""));
    for (const std::vector<double>* v : {&flat, &nans}) {
        h452::EyeFrameJitter j;
        h452::measureFrameJitter(v->data(), int(v->size()), kFs, kFs / kPeriod, j);
        EXPECT_TRUE(j.risingTieS.empty());
        EXPECT_EQ(j.unitIntervalS, 0.0);
    }
}

TEST(EyeFigures, JitterLogKeepsTheNewestCrossings)
{
    h452::EyeJitterLog log;
    h452::EyeFrameJitter j;
    j.unitIntervalS = 1e-9;
    j.risingTieS.assign(100000, 1.0);
    for (int k = 0; k < 5; ++k)
        log.add(j);
    EXPECT_LE(log.risingTieS.size(), h452::kMaxJitterLog + h452::kMaxJitterLog / 4);
    EXPECT_GE(log.risingTieS.size(), h452::kMaxJitterLog);
    EXPECT_EQ(log.frames, 5);
    log.clear();
    EXPECT_TRUE(log.risingTieS.empty());
}

}  // namespace
