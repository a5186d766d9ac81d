// Paints the four overview traces into the strip above the plots.
#include "ChartToLabelConverter.h"

#include "ChannelPalette.h"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <QVector>
#include <QXYSeries>

#include <array>
#include <cmath>

using QtCharts::QXYSeries;

namespace {

QVector<QPointF> pointsOf(const QXYSeries* series)
{
    return series ? series->pointsVector() : QVector<QPointF>();
}

}  // namespace

ChartToLabelConverter::ChartToLabelConverter(QWidget* parent)
    : QLabel(parent)
{
    setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    setFrameStyle(QFrame::Box);
}

ChartToLabelConverter::~ChartToLabelConverter() = default;

void ChartToLabelConverter::clearBounds()
{
    xMin = xMax = yMin = yMax = 0.0;
    pointCount0 = pointCount1 = pointCount2 = pointCount3 = 0;
    boundsValid = false;
}

bool ChartToLabelConverter::updateBounds()
{
    const std::array<QXYSeries*, 4> series = {series0, series1, series2, series3};
    std::array<int*, 4> stored = {&pointCount0, &pointCount1, &pointCount2, &pointCount3};
    std::array<int, 4> counts{};
    bool changed = !boundsValid;
    for (size_t i = 0; i < series.size(); ++i) {
        counts[i] = series[i] ? series[i]->count() : 0;
        changed = changed || counts[i] != *stored[i];
    }
    if (!changed)
        return boundsValid;

    for (size_t i = 0; i < series.size(); ++i)
        *stored[i] = counts[i];
    bool first = true;
    for (QXYSeries* s : series) {
        for (const QPointF& p : pointsOf(s)) {
            // A non-finite point would poison the scale of every trace.
            if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
                continue;
            if (first) {
                xMin = xMax = p.x();
                yMin = yMax = p.y();
                first = false;
            } else {
                xMin = std::min(xMin, p.x());
                xMax = std::max(xMax, p.x());
                yMin = std::min(yMin, p.y());
                yMax = std::max(yMax, p.y());
            }
        }
    }
    boundsValid = !first;
    return boundsValid;
}

QRectF ChartToLabelConverter::plotRect() const
{
    return QRectF(rect().adjusted(1, 1, -1, -1));
}

QPointF ChartToLabelConverter::mapPoint(const QPointF& p) const
{
    const QRectF r = plotRect();
    const double sx = xMax == xMin ? 1.0 : r.width() / (xMax - xMin);
    const double sy = yMax == yMin ? 1.0 : r.height() / (yMax - yMin);
    const double bottom = r.top() + r.height();
    return QPointF(r.left() + (p.x() - xMin) * sx, bottom - (p.y() - yMin) * sy);
}

void ChartToLabelConverter::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (paintSuspended || !chart || !series0)
        return;
    const std::array<QXYSeries*, 4> series = {series0, series1, series2, series3};
    bool anyPoints = false;
    for (QXYSeries* s : series)
        anyPoints = anyPoints || (s && s->count() > 0);
    if (!anyPoints || !updateBounds())
        return;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (size_t i = 0; i < series.size(); ++i) {
        const QVector<QPointF> points = pointsOf(series[i]);
        if (points.isEmpty())
            continue;
        QPolygonF line;
        line.reserve(points.size());
        for (const QPointF& p : points) {
            if (std::isfinite(p.x()) && std::isfinite(p.y()))
                line.append(mapPoint(p));
        }
        painter.setPen(QPen(h452::kChannelColours[std::size_t(i)], 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        // A one-point polyline draws nothing; the lone point still shows.
        if (line.size() == 1)
            painter.drawPoint(line.first());
        else
            painter.drawPolyline(line);
    }
}
