// ChartToLabelConverter: the overview strip above the plots. A label that
// draws up to four line series as coloured polylines scaled to fill it, with
// no axes or chart machinery. The main window owns the series (they belong to
// no chart) and writes the public members directly: it sets chart and the
// four series once, clears the bounds when acquisition starts or the record
// length changes, and suspends painting while the window is being dragged.
//
// The scale is fixed by the bounds, which are recomputed only when a point
// count changes (or after clearBounds()): a trace that grows beyond them with
// an unchanged count is drawn with the old scale and clipped at the edge, so
// the strip does not jitter from frame to frame.
#pragma once

#include <QLabel>
#include <QPointF>
#include <QRectF>

namespace QtCharts {
class QChart;
class QXYSeries;
}

class ChartToLabelConverter : public QLabel
{
    Q_OBJECT

public:
    explicit ChartToLabelConverter(QWidget* parent = nullptr);
    ~ChartToLabelConverter() override;

    // Forgets the bounds and the counts so that the next paint rescales.
    void clearBounds();

    // Compares the point counts with those of the last computation and, when
    // one differs or the bounds are not valid, recomputes the bounds over all
    // points of the four series. Returns boundsValid. Called by every paint.
    bool updateBounds();

    // The drawing area: the label's rectangle shrunk by one pixel per side.
    QRectF plotRect() const;

    // Where the data point p lands for the current bounds and plot area. A
    // collapsed range (max equal to min) has the scale 1 on that axis.
    QPointF mapPoint(const QPointF& p) const;

    QtCharts::QChart* chart = nullptr;  // only tested: nothing is drawn while null
    QtCharts::QXYSeries* series0 = nullptr;
    QtCharts::QXYSeries* series1 = nullptr;
    QtCharts::QXYSeries* series2 = nullptr;
    QtCharts::QXYSeries* series3 = nullptr;
    double xMin = 0.0;
    double xMax = 0.0;
    double yMin = 0.0;
    double yMax = 0.0;
    int pointCount0 = 0;
    int pointCount1 = 0;
    int pointCount2 = 0;
    int pointCount3 = 0;
    bool boundsValid = false;
    bool paintSuspended = false;

protected:
    void paintEvent(QPaintEvent* event) override;
};
