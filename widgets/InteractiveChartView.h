// InteractiveChartView: the chart widget of every plot panel. A left-button
// drag pans both value axes so that the plot follows the mouse; the wheel
// zooms the horizontal axis about the mouse position and announces the new
// range through sigZoomAxis, which the main window uses to keep its time-span
// list in step. The vertical axis is never zoomed here. A left double-click
// returns the horizontal axis to its full range (see showFullRange).
#pragma once

#include <QChartView>
#include <QPoint>

#include <functional>
#include <utility>

namespace QtCharts {
class QChart;
class QValueAxis;
}

class InteractiveChartView : public QtCharts::QChartView
{
    Q_OBJECT

public:
    // The chart is shown as QChartView shows it (the view owns it). The axes
    // are looked up once, here: a view built on a chart without value axes
    // ignores drags and leaves the wheel to the base class.
    explicit InteractiveChartView(QtCharts::QChart* chart);
    ~InteractiveChartView() override;

    // Zooms the horizontal axis by factor (new span = span * factor) about
    // the widget x position mouseX, so that the value under the mouse stays
    // where it is, then emits sigZoomAxis. A view without a horizontal value
    // axis, or one of zero width, leaves everything unchanged and emits nothing.
    void zoom(double factor, int mouseX);

    // Sets the horizontal axis to its full range and emits sigZoomAxis: the
    // range fullXRange gives when it is set (the main window knows the record
    // length and sample rate behind it), else the range at construction. The
    // vertical axis keeps its range: the next fit sets it from the data. An
    // empty, reversed or non-finite range leaves the axis as it is.
    void showFullRange();

    // Gives the full horizontal range (lo, hi) when asked; may be empty.
    std::function<std::pair<double, double>()> fullXRange;

    QtCharts::QValueAxis* horizontalAxis() const { return axisX; }
    QtCharts::QValueAxis* verticalAxis() const { return axisY; }
    bool isPanning() const { return panning; }

    // The ranges at construction; the x range is the full range of a view
    // without fullXRange.
    double initialXMin = 0.0;
    double initialXMax = 0.0;
    double initialYMin = 0.0;
    double initialYMax = 0.0;

signals:
    void sigZoomAxis();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool panning = false;
    QPoint lastMousePos;
    QtCharts::QValueAxis* axisX = nullptr;
    QtCharts::QValueAxis* axisY = nullptr;
};
