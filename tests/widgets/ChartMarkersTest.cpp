// Spectrum markers on a chart fed a known multi-tone trace: fs 100 MS/s,
// 1000-sample record, so point k sits at k * 0.1 MHz. The line at 30 MHz has
// H2 60 -> 40 MHz, H3 90 -> 10 MHz, H4 120 -> 20 MHz and H5 150 -> 50 MHz
// after folding about 50 MHz (the last point is 49.9 MHz).
#include "ChartMarkers.h"
#include "InteractiveChartView.h"

#include <QChart>
#include <QLineSeries>
#include <QTest>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using QtCharts::QChart;
using QtCharts::QLineSeries;
using QtCharts::QValueAxis;

TEST(ChartMarkers, PeakFoldedHarmonicsAndNextPeak)
{
    auto* chart = new QChart();
    auto* x = new QValueAxis();
    auto* y = new QValueAxis();
    x->setRange(0, 50);
    y->setRange(-150, 10);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    std::array<QtCharts::QXYSeries*, 4> series{};
    for (auto*& s : series) {
        s = new QLineSeries();
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(y);
    }
    auto view = std::make_unique<InteractiveChartView>(chart);
    view->resize(800, 600);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    auto* markers = new ChartMarkers(view.get(), series, [] { return 100e6; });

    QVector<QPointF> points;
    for (int k = 0; k < 500; ++k) {
        const double level = k == 300 ? -10 : k == 50 ? -30 : k == 400 ? -60 : k == 100 ? -70 : -120 - (k % 3);
        points.append(QPointF(k * 0.1, level));
    }
    series[0]->replace(points);
    EXPECT_TRUE(std::isnan(markers->markerX(0, 0)));  // off by default

    markers->setActive(true);
    const double expected[] = {30, 40, 10, 20, 49.9};
    for (int m = 0; m < ChartMarkers::kMarkersPerChannel; ++m)
        EXPECT_NEAR(markers->markerX(0, m), expected[m], 1e-9) << m;
    EXPECT_EQ(markers->markerY(0, 0), -10.0);
    EXPECT_TRUE(markers->markerLabel(0, 0).startsWith(QStringLiteral("30.0000 MHz, -10.00 dB")));
    EXPECT_TRUE(markers->markerLabel(0, 3).startsWith(QStringLiteral("H4")));
    EXPECT_TRUE(std::isnan(markers->markerX(1, 0)));  // an empty channel has none

    // Next peak: 5 MHz (its H2 at 10 MHz), then 40 MHz, ..., back to 30 MHz
    // after the last of the trace's local peaks.
    markers->nextPeak();
    EXPECT_NEAR(markers->markerX(0, 0), 5, 1e-9);
    EXPECT_NEAR(markers->markerX(0, 1), 10, 1e-9);
    markers->nextPeak();
    EXPECT_NEAR(markers->markerX(0, 0), 40, 1e-9);
    for (int i = 0; i < 1000 && std::fabs(markers->markerX(0, 0) - 30) > 1e-9; ++i)
        markers->nextPeak();
    EXPECT_NEAR(markers->markerX(0, 0), 30, 1e-9);

    // A hidden channel and markers switched off show nothing.
    series[0]->setVisible(false);
    EXPECT_TRUE(std::isnan(markers->markerX(0, 0)));
    series[0]->setVisible(true);
    markers->setActive(false);
    EXPECT_TRUE(std::isnan(markers->markerX(0, 0)));
}
