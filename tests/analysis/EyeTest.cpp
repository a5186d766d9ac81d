// Eye diagram: the period, the start alignment, both trace detectors, the
// 200-trace cap and the million-point persistence cap. Expected starts are
// worked out from the signals' geometry in the comments.
#include "Eye.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace h452;

namespace {

// +a for the first `high` samples of every period, -a for the rest.
std::vector<double> square(int n, int period, int high, double a, int shift = 0)
{
    std::vector<double> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        x[i] = (((i - shift) % period + period) % period) < high ? a : -a;
    return x;
}

// Trace starts recovered from the y output: each trace's first point is
// samples[start]; the traces are n long.
std::vector<double> traceHeads(const std::vector<double>& y, std::size_t n)
{
    std::vector<double> heads;
    for (std::size_t k = 0; k < y.size(); k += n)
        heads.push_back(y[k]);
    return heads;
}

}  // namespace

TEST(Eye, PeriodRoundsAndClamps)
{
    EXPECT_EQ(eyePeriodSamples(1e9, 1e7), 100);
    EXPECT_EQ(eyePeriodSamples(1e9, 3e8), 3);      // 3.33 -> 3
    EXPECT_EQ(eyePeriodSamples(1e9, 2.5e8 / 1.1), 4);  // 4.4 -> 4
    EXPECT_EQ(eyePeriodSamples(1.4e9, 1e9), 2);    // 1.4 + 0.5 -> 1 -> at least 2
    EXPECT_EQ(eyePeriodSamples(1e9, 0.0), 2);
    EXPECT_GT(eyePeriodSamples(1e9, 1e-300), 1000000);  // no overflow
}

TEST(Eye, SquareWaveTracesStartInTheMiddleOfEveryRun)
{
    // Period 100 (50 high, 50 low), 3000 samples: trace length 100, the scan
    // covers the first 10 periods (1000 samples). Runs end at 50, 100, ...,
    // 950; the low run 950..999 is still open when the scan stops. Starts:
    // 24, 74, ..., 924, that is 19 traces.
    const std::vector<double> x = square(3000, 100, 50, 350.0);
    std::vector<double> tx, ty;
    buildEyeTraces(x.data(), 3000, 1e9, 1e7, tx, ty);
    ASSERT_EQ(tx.size(), 1900u);
    ASSERT_EQ(ty.size(), 1900u);
    EXPECT_EQ(tx[0], 0.0);
    EXPECT_EQ(tx[99], 1.0);
    EXPECT_DOUBLE_EQ(tx[50], 50.0 / 99.0);
    // Trace 0 starts at 24: 26 high samples, then 50 low, then 24 high.
    EXPECT_EQ(ty[0], 350.0);
    EXPECT_EQ(ty[25], 350.0);
    EXPECT_EQ(ty[26], -350.0);
    EXPECT_EQ(ty[76], 350.0);
    // Trace 1 starts at 74, in the low run.
    EXPECT_EQ(ty[100], -350.0);
    EXPECT_EQ(ty[125], -350.0);
    EXPECT_EQ(ty[126], 350.0);
}

TEST(Eye, SineTracesStartAtInterpolatedPeaksAndTroughs)
{
    // Period 50 samples, maxima at 10.2 + 50k and minima at 35.2 + 50k: the
    // parabola through three samples finds them to a few hundredths, so the
    // rounded starts are 10, 35, 60, 85, ... Nineteen segments of 50 (the
    // last one ends at 950 = M - n) give two starts each: 38 traces.
    const int n = 1000;
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i)
        x[i] = 1000.0 * std::cos(2.0 * M_PI * (i - 10.2) / 50.0);
    std::vector<double> tx, ty;
    buildEyeTraces(x.data(), n, 1e9, 2e7, tx, ty);
    ASSERT_EQ(ty.size(), 38u * 50u);
    const std::vector<double> heads = traceHeads(ty, 50);
    for (int s = 0; s < 19; ++s) {
        EXPECT_EQ(heads[2 * s], x[10 + 50 * s]) << "segment " << s;
        EXPECT_EQ(heads[2 * s + 1], x[35 + 50 * s]) << "segment " << s;
    }
}

TEST(Eye, MoreThan200StartsAreThinnedEvenly)
{
    // A square wave of period 8 analysed with a period of 1000 samples: the
    // scan of 10000 samples sees 2499 completed runs of 4, starts 1, 5, 9, ...
    // Every 12th (2499 / 200) is kept: 200 traces starting at 1 + 48 t.
    const int n = 100000;
    std::vector<double> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        x[i] = (i % 8 < 4 ? 350.0 : -350.0) + (i % 1000) * 1e-3;  // a ramp tells starts apart
    std::vector<double> tx, ty;
    buildEyeTraces(x.data(), n, 1e9, 1e6, tx, ty);
    ASSERT_EQ(ty.size(), 200u * 1000u);
    const std::vector<double> heads = traceHeads(ty, 1000);
    for (int t = 0; t < 200; ++t)
        EXPECT_EQ(heads[t], x[1 + 48 * t]) << "trace " << t;
}

TEST(Eye, TooFewStartsFallBackToThePeriodGrid)
{
    // A single step: one completed run before the scan ends is not enough;
    // the grid starts at the first minimum of the first 10 periods (index 0
    // of the low part) and steps by one period while start < M - n.
    std::vector<double> x(1000, -100.0);
    for (int i = 990; i < 1000; ++i)
        x[i] = 100.0;
    std::vector<double> tx, ty;
    buildEyeTraces(x.data(), 1000, 1e9, 1e7, tx, ty);
    // n = 100, grid 0, 100, ..., 800 (900 is not below M - n = 900).
    EXPECT_EQ(ty.size(), 9u * 100u);
    // A flat record is no pulse and has no extrema: grid from 0.
    std::vector<double> flat(800, 5.0);
    buildEyeTraces(flat.data(), 800, 1e9, 1e7, tx, ty);
    EXPECT_EQ(ty.size(), 7u * 100u);
}

TEST(Eye, ShortAndDegenerateRecordsDrawNothing)
{
    std::vector<double> tx{1.0}, ty{1.0};
    const std::vector<double> x(7, 1.0);
    buildEyeTraces(x.data(), 7, 1e9, 1e8, tx, ty);  // trace length 1
    EXPECT_TRUE(tx.empty() && ty.empty());
    buildEyeTraces(nullptr, 100, 1e9, 1e8, tx, ty);
    EXPECT_TRUE(tx.empty());
    buildEyeTraces(x.data(), 7, -1.0, 1e8, tx, ty);
    EXPECT_TRUE(tx.empty());
    std::vector<double> nan(400, std::numeric_limits<double>::quiet_NaN());
    buildEyeTraces(nan.data(), 400, 1e9, 1e7, tx, ty);
    EXPECT_TRUE(tx.empty());
    EXPECT_EQ(findEyeStart(nan.data(), 400, 1e9, 1e7), 0);
    EXPECT_EQ(findEyeStart(x.data(), 0, 1e9, 1e8), 0);
    EXPECT_EQ(findEyeStart(x.data(), 3, 1e9, 1e8), 0);
    EXPECT_EQ(findEyeStart(x.data(), 7, 1e9, 0.0), 0);
}

TEST(Eye, StartFollowsTheStrongestEdgePhase)
{
    // Flat low for 230 samples, then a square of period 100 rising at 230,
    // 330, ... and falling at 280, 380, ... Both edge phases (30 and 80) have
    // the full strength 700; phase 30 has more edges within the 30 periods
    // examined, so it wins; the first qualifying edge of that phase is at
    // 230 (130 and 30 lie in the flat part), the start of its period is 200.
    const int n = 3000;
    std::vector<double> x = square(n, 100, 50, 350.0, 30);
    for (int i = 0; i < 230; ++i)
        x[i] = -350.0;
    EXPECT_EQ(findEyeStart(x.data(), n, 1e9, 1e7), 200);
    // Without any edge above the threshold: the first smallest sample of the
    // first period. Dips of 1e-5 keep the spread below 3.3e-6, so the
    // threshold becomes 1 and nothing counts as an edge.
    std::vector<double> flat(3000, 4.0);
    flat[7] = 4.0 - 1e-5;
    flat[9] = 4.0 - 1e-5;
    EXPECT_EQ(findEyeStart(flat.data(), n, 1e9, 1e7), 7);
}

TEST(Eye, AppendSeparatesTracesAndStartsFresh)
{
    EyeSeriesModel s;
    const std::vector<double> x = {0, 0.5, 1, 0, 0.5, 1};
    const std::vector<double> y = {1, 2, 3, 4, 5, 6};
    EyeAppendDelta d;
    appendEyeTraces(s, x.data(), y.data(), 6, &d);
    ASSERT_EQ(s.size(), 7u);
    EXPECT_TRUE(std::isnan(s.x[3]) && std::isnan(s.y[3]));
    EXPECT_EQ(s.y[4], 4.0);
    EXPECT_EQ(d.trimFront, 0u);
    EXPECT_EQ(d.x.size(), 7u);
    // The next batch gets a separator in front of it.
    appendEyeTraces(s, x.data(), y.data(), 3, &d);
    EXPECT_EQ(s.size(), 11u);
    EXPECT_TRUE(std::isnan(s.x[7]));
    EXPECT_EQ(d.x.size(), 4u);
    // Empty input changes nothing.
    appendEyeTraces(s, x.data(), y.data(), 0, &d);
    appendEyeTraces(s, nullptr, y.data(), 3, &d);
    EXPECT_EQ(s.size(), 11u);
    EXPECT_TRUE(d.x.empty());
    // A partial last trace is left out: 7 points with a restart after 3.
    EyeSeriesModel t;
    const std::vector<double> x7 = {0, 0.5, 1, 0, 0.5, 1, 0};
    appendEyeTraces(t, x7.data(), x7.data(), 7, nullptr);
    EXPECT_EQ(t.size(), 7u);
}

TEST(Eye, MillionPointCapDropsTheOldestTracesAtASeparator)
{
    // 990 traces of 999 points, each followed by a separator: 990,000
    // points, separators at 999, 1999, ... A batch of 20 traces of 1000
    // points is 20,019 points; the total exceeds 1,000,000 by 10,019 and
    // limit = total - 900,000 = 110,019. The last separator within the first
    // 110,019 points is at 109,999: 110,000 points are dropped. The series
    // ended with a separator, so none is added before the batch.
    EyeSeriesModel s;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int t = 0; t < 990; ++t) {
        for (int k = 0; k < 999; ++k) {
            s.x.push_back(k / 998.0);
            s.y.push_back(t);
        }
        s.x.push_back(nan);
        s.y.push_back(nan);
    }
    ASSERT_EQ(s.size(), 990000u);
    std::vector<double> bx, by;
    for (int t = 0; t < 20; ++t) {
        for (int k = 0; k < 1000; ++k) {
            bx.push_back(k / 999.0);
            by.push_back(-1.0);
        }
    }
    EyeAppendDelta d;
    appendEyeTraces(s, bx.data(), by.data(), bx.size(), &d);
    EXPECT_EQ(d.trimFront, 110000u);
    EXPECT_EQ(d.x.size(), 20019u);
    EXPECT_EQ(s.size(), 990000u - 110000u + 20019u);
    EXPECT_EQ(s.y[0], 110.0);  // trace 110 is now the oldest
    EXPECT_EQ(s.x[0], 0.0);
}
