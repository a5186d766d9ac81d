// The overview strip: when its bounds are recomputed, how data map onto the
// label, and that painting honours the suspend flag. Expected coordinates are
// worked out by hand for a 202 x 42 label, whose drawing area is the
// rectangle (1, 1, 200, 40) with its bottom edge at y = 41.
#include "ChartToLabelConverter.h"

#include <QChart>
#include <QImage>
#include <QLineSeries>

#include <gtest/gtest.h>

#include <limits>

using QtCharts::QChart;
using QtCharts::QLineSeries;

namespace {

struct StripFixture
{
    QChart chart;
    QLineSeries s0, s1, s2, s3;
    ChartToLabelConverter strip;

    StripFixture()
    {
        strip.resize(202, 42);
        strip.chart = &chart;
        strip.series0 = &s0;
        strip.series1 = &s1;
        strip.series2 = &s2;
        strip.series3 = &s3;
    }
};

// Pixels that differ between two renderings of the same label.
int differingPixelsInRow(const QImage& a, const QImage& b, int row)
{
    int n = 0;
    for (int x = 0; x < a.width(); ++x)
        n += a.pixel(x, row) != b.pixel(x, row);
    return n;
}

}  // namespace

TEST(ChartToLabelConverter, BoundsSpanAllSeriesAndFollowPointCounts)
{
    StripFixture f;
    EXPECT_FALSE(f.strip.updateBounds());  // four empty series

    f.s0.append({QPointF(0, -2), QPointF(10, 3)});
    f.s2.append({QPointF(-5, 1), QPointF(4, 7), QPointF(6, 0)});
    ASSERT_TRUE(f.strip.updateBounds());
    EXPECT_EQ(f.strip.xMin, -5.0);
    EXPECT_EQ(f.strip.xMax, 10.0);
    EXPECT_EQ(f.strip.yMin, -2.0);
    EXPECT_EQ(f.strip.yMax, 7.0);
    EXPECT_EQ(f.strip.pointCount0, 2);
    EXPECT_EQ(f.strip.pointCount2, 3);

    // New values with the same counts keep the scale steady.
    f.s0.replace(QVector<QPointF>{QPointF(0, -100), QPointF(50, 100)});
    EXPECT_TRUE(f.strip.updateBounds());
    EXPECT_EQ(f.strip.xMax, 10.0);
    EXPECT_EQ(f.strip.yMin, -2.0);

    // A changed count rescales.
    f.s1.append(QPointF(1, 1));
    EXPECT_TRUE(f.strip.updateBounds());
    EXPECT_EQ(f.strip.xMax, 50.0);
    EXPECT_EQ(f.strip.yMin, -100.0);
    EXPECT_EQ(f.strip.yMax, 100.0);

    // So does clearing the bounds, as the owner does on a new record length.
    f.s0.replace(QVector<QPointF>{QPointF(0, 0), QPointF(20, 1)});
    f.strip.clearBounds();
    EXPECT_FALSE(f.strip.boundsValid);
    EXPECT_TRUE(f.strip.updateBounds());
    EXPECT_EQ(f.strip.xMax, 20.0);
    EXPECT_EQ(f.strip.yMax, 7.0);

    // Emptying every series invalidates them.
    f.s0.clear();
    f.s1.clear();
    f.s2.clear();
    EXPECT_FALSE(f.strip.updateBounds());
}

TEST(ChartToLabelConverter, NonFinitePointsDoNotSpoilTheScale)
{
    StripFixture f;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    f.s0.append({QPointF(nan, 1), QPointF(0, 0), QPointF(2, inf), QPointF(4, 8)});
    ASSERT_TRUE(f.strip.updateBounds());
    EXPECT_EQ(f.strip.xMin, 0.0);
    EXPECT_EQ(f.strip.xMax, 4.0);
    EXPECT_EQ(f.strip.yMax, 8.0);
    f.strip.grab();  // paints without trouble
}

TEST(ChartToLabelConverter, MapsTheBoundsOntoTheLabelShrunkByOnePixel)
{
    StripFixture f;
    f.s0.append({QPointF(0, -1), QPointF(100, 1)});
    ASSERT_TRUE(f.strip.updateBounds());
    EXPECT_EQ(f.strip.plotRect(), QRectF(1, 1, 200, 40));
    EXPECT_EQ(f.strip.mapPoint(QPointF(0, -1)), QPointF(1, 41));
    EXPECT_EQ(f.strip.mapPoint(QPointF(100, 1)), QPointF(201, 1));
    EXPECT_EQ(f.strip.mapPoint(QPointF(50, 0)), QPointF(101, 21));
    // Beyond the bounds: drawn outside the area, clipped by the label.
    EXPECT_EQ(f.strip.mapPoint(QPointF(200, 3)), QPointF(401, -39));
}

TEST(ChartToLabelConverter, SinglePointCollapsesToTheBottomLeftCorner)
{
    StripFixture f;
    f.s0.append(5, 5);
    ASSERT_TRUE(f.strip.updateBounds());
    EXPECT_EQ(f.strip.xMin, 5.0);
    EXPECT_EQ(f.strip.xMax, 5.0);
    // Both scales are 1 for a collapsed range.
    EXPECT_EQ(f.strip.mapPoint(QPointF(5, 5)), QPointF(1, 41));
    EXPECT_EQ(f.strip.mapPoint(QPointF(7, 6)), QPointF(3, 40));
}

TEST(ChartToLabelConverter, PaintsTracesUnlessSuspendedOrUnattached)
{
    StripFixture f;
    // Series 0 runs along the bottom edge, series 1 along the top edge.
    f.s0.append({QPointF(0, 0), QPointF(10, 0)});
    f.s1.append({QPointF(0, 1), QPointF(10, 1)});

    f.strip.paintSuspended = true;
    const QImage suspended = f.strip.grab().toImage();
    f.strip.paintSuspended = false;
    const QImage painted = f.strip.grab().toImage();
    QtCharts::QChart* chart = f.strip.chart;
    f.strip.chart = nullptr;
    const QImage noChart = f.strip.grab().toImage();
    f.strip.chart = chart;

    EXPECT_EQ(suspended, noChart);
    // The lines lie on rows 41 and 1 (antialiased onto their neighbours).
    EXPECT_GT(differingPixelsInRow(suspended, painted, 41) + differingPixelsInRow(suspended, painted, 40), 150);
    EXPECT_GT(differingPixelsInRow(suspended, painted, 1) + differingPixelsInRow(suspended, painted, 0), 150);
    EXPECT_EQ(differingPixelsInRow(suspended, painted, 21), 0);
    EXPECT_TRUE(f.strip.boundsValid);
}
