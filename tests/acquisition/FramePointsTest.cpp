// Point lists of the chart series: range filter, min/max thinning and the
// axis fit from series bounds.
#include "FrameAxes.h"
#include "FrameSeries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace h452;

namespace {

// A deterministic, irregular trace: values jump around so that the minimum
// and maximum of each bucket sit at varying positions.
std::vector<double> irregularTrace(int n)
{
    std::vector<double> y(n);
    for (int i = 0; i < n; ++i)
        y[i] = double((i * 7919L + (i / 13) * 104729L) % 2000) - 1000.0;
    return y;
}

QVector<QPointF> indexPoints(const std::vector<double>& y)
{
    QVector<QPointF> p;
    for (int i = 0; i < int(y.size()); ++i)
        p.append(QPointF(i, y[i]));
    return p;
}

bool containsX(const QVector<QPointF>& pts, double x)
{
    return std::any_of(pts.begin(), pts.end(), [x](const QPointF& p) { return p.x() == x; });
}

} // namespace

TEST(Thinning, TwentyThousandPointsKeepEveryBucketExtreme)
{
    const int n = 20000;
    const std::vector<double> y = irregularTrace(n);
    QVector<QPointF> out;
    thinMinMax(indexPoints(y), out);

    // 20000 / 2500 = 8 points per bucket, 2500 buckets, at most two points
    // each, plus the first and the last point.
    EXPECT_LE(out.size(), 5002);
    EXPECT_GT(out.size(), 2500);
    EXPECT_EQ(out.first(), QPointF(0, y[0]));
    EXPECT_EQ(out.last(), QPointF(n - 1, y[n - 1]));

    // Every bucket's first minimum and first maximum, found here by a plain
    // scan, must be in the output; nothing else from inside a bucket may be.
    std::vector<bool> expected(n, false);
    for (int b = 0; b < n; b += 8) {
        int lo = b, hi = b;
        for (int j = b; j < b + 8; ++j) {
            if (y[j] < y[lo]) lo = j;
            if (y[j] > y[hi]) hi = j;
        }
        expected[lo] = expected[hi] = true;
        EXPECT_TRUE(containsX(out, lo)) << "bucket " << b;
        EXPECT_TRUE(containsX(out, hi)) << "bucket " << b;
    }
    expected[0] = expected[n - 1] = true;
    for (const QPointF& p : out)
        EXPECT_TRUE(expected[int(p.x())]) << "unexpected point " << p.x();

    // Index order: x never decreases (the first point may repeat).
    for (int i = 1; i < out.size(); ++i)
        EXPECT_LE(out[i - 1].x(), out[i].x());

    // 5000 points or fewer pass unchanged.
    const QVector<QPointF> exact = indexPoints(irregularTrace(5000));
    thinMinMax(exact, out);
    EXPECT_EQ(out, exact);
}

TEST(SeriesPoints, SpectrumConvertsHertzToMegahertzBeforeTheRangeTest)
{
    const double x[] = {-1e6, 0.0, 250e6, 500e6, 500.5e6};
    const double y[] = {1, 2, 3, 4, 5};
    QVector<QPointF> shown;
    ASSERT_TRUE(buildSeriesPoints(SeriesKind::Spectrum, x, y, 5, 0, 500, 0, shown, nullptr));
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[0], QPointF(0, 2));
    EXPECT_EQ(shown[1], QPointF(250, 3));
    EXPECT_EQ(shown[2], QPointF(500, 4));

    // Frequency-response bins may carry NaN frequencies: never inside a range.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double fx[] = {nan, 200e6};
    const double fy[] = {-3, -4};
    ASSERT_TRUE(buildSeriesPoints(SeriesKind::FreqRsp, fx, fy, 2, 180, 220, 0, shown, nullptr));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0], QPointF(200, -4));
}

TEST(SeriesPoints, MissingArraysAndEmptyCountsGiveNothing)
{
    const double v[] = {1.0};
    QVector<QPointF> shown{QPointF(9, 9)}, all{QPointF(9, 9)};
    EXPECT_FALSE(buildSeriesPoints(SeriesKind::Time, nullptr, v, 1, 0, 10, 0, shown, &all));
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_TRUE(all.isEmpty());
    EXPECT_FALSE(buildSeriesPoints(SeriesKind::Time, v, nullptr, 1, 0, 10, 0, shown, &all));
    EXPECT_FALSE(buildSeriesPoints(SeriesKind::Spectrum, v, v, 0, 0, 10, 0, shown, nullptr));
    EXPECT_FALSE(buildSeriesPoints(SeriesKind::Spectrum, v, v, -5, 0, 10, 0, shown, nullptr));
    EXPECT_FALSE(buildSeriesPoints(SeriesKind::Overview, v, v, 1, 0, 10, 0, shown, nullptr));
}

TEST(AxisFit, UsesShownPanelsEnabledChannelsAndFinitePoints)
{
    SeriesBoundsStore store;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    store.set(SeriesKind::Overview, 0, {QPointF(0, -300), QPointF(999, 400)});
    store.set(SeriesKind::Overview, 1, {QPointF(0, -900), QPointF(1999, 50)});
    store.set(SeriesKind::Spectrum, 0, {QPointF(0, -120), QPointF(nan, 0), QPointF(499, -40)});
    store.set(SeriesKind::FreqRsp, 0, QVector<QPointF>{});

    bool panels[kPanelCount] = {true, false, true, true, false, false};
    bool enabled[kChannelCount] = {true, false, false, false};
    AxisRanges fit[kFitChartCount];
    store.computeFit(panels, enabled, fit);

    ASSERT_TRUE(fit[int(FitChart::Time)].valid);
    EXPECT_EQ(fit[int(FitChart::Time)].xMax, 999.0);     // channel 1 is off
    EXPECT_EQ(fit[int(FitChart::Time)].yMin, -300.0);
    ASSERT_TRUE(fit[int(FitChart::Spectrum)].valid);
    EXPECT_EQ(fit[int(FitChart::Spectrum)].yMax, -40.0);  // the NaN point is skipped
    EXPECT_FALSE(fit[int(FitChart::FreqRsp)].valid);      // no points: axes stay

    enabled[1] = true;
    panels[int(Panel::Frequency)] = false;
    store.computeFit(panels, enabled, fit);
    EXPECT_EQ(fit[int(FitChart::Time)].xMax, 1999.0);
    EXPECT_EQ(fit[int(FitChart::Time)].yMin, -900.0);
    EXPECT_FALSE(fit[int(FitChart::Spectrum)].valid);

    store.clearChannel(1);
    store.computeFit(panels, enabled, fit);
    EXPECT_EQ(fit[int(FitChart::Time)].xMax, 999.0);

    // All channels off: nothing found, every chart keeps its axes.
    const bool none[kChannelCount] = {false, false, false, false};
    store.computeFit(panels, none, fit);
    for (const AxisRanges& r : fit)
        EXPECT_FALSE(r.valid);
}

