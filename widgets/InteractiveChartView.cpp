// Mouse pan and wheel zoom of the plot panels' chart views.
#include "InteractiveChartView.h"

#include <QChart>
#include <QMouseEvent>
#include <QValueAxis>
#include <QWheelEvent>

#include <cmath>

using QtCharts::QChart;
using QtCharts::QValueAxis;

InteractiveChartView::InteractiveChartView(QChart* chart)
    : QtCharts::QChartView(chart, nullptr)
{
    setRubberBand(QChartView::NoRubberBand);
    setMouseTracking(true);
    if (chart && !chart->axes().isEmpty()) {
        const auto horizontal = chart->axes(Qt::Horizontal);
        const auto vertical = chart->axes(Qt::Vertical);
        if (!horizontal.isEmpty())
            axisX = qobject_cast<QValueAxis*>(horizontal.first());
        if (!vertical.isEmpty())
            axisY = qobject_cast<QValueAxis*>(vertical.first());
        if (axisX && axisY) {
            initialXMin = axisX->min();
            initialXMax = axisX->max();
            initialYMin = axisY->min();
            initialYMax = axisY->max();
        }
    }
}

InteractiveChartView::~InteractiveChartView() = default;

void InteractiveChartView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        panning = true;
        lastMousePos = event->pos();
        setCursor(Qt::ClosedHandCursor);
    }
    QChartView::mousePressEvent(event);
}

void InteractiveChartView::mouseMoveEvent(QMouseEvent* event)
{
    if (panning && axisX && axisY) {
        const QPoint p = event->pos();
        // A view squeezed to nothing has no scale to pan by.
        if (width() > 0) {
            const double xMin = axisX->min();
            const double xMax = axisX->max();
            const double shift = (lastMousePos.x() - p.x()) * (xMax - xMin) / width();
            axisX->setRange(xMin + shift, xMax + shift);
        }
        if (height() > 0) {
            const double yMin = axisY->min();
            const double yMax = axisY->max();
            // Screen y grows downwards: dragging down raises the visible values.
            const double shift = (p.y() - lastMousePos.y()) * (yMax - yMin) / height();
            axisY->setRange(yMin + shift, yMax + shift);
        }
        lastMousePos = p;
    }
    QChartView::mouseMoveEvent(event);
}

void InteractiveChartView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        panning = false;
        setCursor(Qt::ArrowCursor);
    }
    QChartView::mouseReleaseEvent(event);
}

void InteractiveChartView::wheelEvent(QWheelEvent* event)
{
    if (!axisX) {
        QGraphicsView::wheelEvent(event);
        return;
    }
    const double factor = event->angleDelta().y() > 0 ? 1.1 : 1.0 / 1.1;
    zoom(factor, qRound(event->position().x()));
    event->accept();
}

void InteractiveChartView::zoom(double factor, int mouseX)
{
    if (!axisX || width() <= 0 || !std::isfinite(factor) || factor <= 0.0)
        return;
    const double min = axisX->min();
    const double span = axisX->max() - min;
    const double newSpan = span * factor;
    const double r = static_cast<double>(mouseX) / width();
    const double newMin = r * span + min - newSpan * r;
    axisX->setRange(newMin, newMin + newSpan);
    emit sigZoomAxis();
}

void InteractiveChartView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        showFullRange();
    QChartView::mouseDoubleClickEvent(event);
}

void InteractiveChartView::showFullRange()
{
    if (!axisX)
        return;
    const std::pair<double, double> range =
        fullXRange ? fullXRange() : std::make_pair(initialXMin, initialXMax);
    if (!std::isfinite(range.first) || !std::isfinite(range.second) || !(range.first < range.second))
        return;
    axisX->setRange(range.first, range.second);
    emit sigZoomAxis();
}
