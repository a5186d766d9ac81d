// Mouse pan and wheel zoom of the plot panels' chart views.
#include "InteractiveChartView.h"

#include <QChart>
#include <QCoreApplication>
#include <QGraphicsScene>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
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
    if (scene())
        connect(scene(), &QGraphicsScene::changed, this, &InteractiveChartView::markSceneChanged);
    // The scene reports its changes from the event loop; a new range or plot
    // area moves grid and labels at once, so a grab or an export right after
    // one (before the loop runs) must not show the old picture.
    const auto wholeStale = [this] { sceneCacheStale = viewport()->rect(); };
    if (axisX)
        connect(axisX, &QtCharts::QValueAxis::rangeChanged, this, wholeStale);
    if (axisY)
        connect(axisY, &QtCharts::QValueAxis::rangeChanged, this, wholeStale);
    if (chart)
        connect(chart, &QChart::plotAreaChanged, this, wholeStale);
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

void InteractiveChartView::setSceneCacheEnabled(bool on)
{
    sceneCacheOn = on;
    sceneCache = QPixmap();
    sceneCacheStale = QRegion();
    viewport()->update();
}

void InteractiveChartView::markSceneChanged(const QList<QRectF>& sceneRects)
{
    // No rectangles: the scene was changed as a whole.
    if (sceneRects.isEmpty()) {
        sceneCacheStale = viewport()->rect();
        return;
    }
    // The view has no rotation, so a scene rectangle maps to a rectangle.
    // No margin is added: the view draws without antialiasing, and a changed
    // item's rectangle already holds its pen; a margin would reach into the
    // axis labels beside a changed plot area and draw them again.
    const QTransform toViewport = viewportTransform();
    for (const QRectF& r : sceneRects)
        sceneCacheStale += toViewport.mapRect(r).toAlignedRect();
}

void InteractiveChartView::resizeEvent(QResizeEvent* event)
{
    QChartView::resizeEvent(event);
    sceneCache = QPixmap();
}

void InteractiveChartView::paintEvent(QPaintEvent* event)
{
    if (!sceneCacheOn || !scene()) {
        QChartView::paintEvent(event);
        return;
    }
    // The scene reports changed items from the event loop. A paint that
    // follows a change directly (a grab right after a new look of the eye)
    // first has the scene report what is pending, so the pixmap is never
    // behind: one pass finds the changed items, and the report it posts is
    // delivered by the second (events posted while posted events are
    // delivered wait for the next delivery).
    for (int pass = 0; pass < 2; ++pass)
        QCoreApplication::sendPostedEvents(scene(), QEvent::MetaCall);
    QPainter painter(viewport());
    // Rendering into a scaled painter (an export at twice the size) draws
    // the scene at that scale, as QChartView does, not the pixmap scaled.
    if (painter.deviceTransform().type() > QTransform::TxTranslate) {
        painter.end();
        QChartView::paintEvent(event);
        return;
    }
    const QRect whole = viewport()->rect();
    const qreal ratio = viewport()->devicePixelRatioF();
    if (sceneCache.isNull() || sceneCache.size() != whole.size() * ratio) {
        sceneCache = QPixmap(whole.size() * ratio);
        sceneCache.setDevicePixelRatio(ratio);
        sceneCacheStale = whole;
    }
    sceneCacheStale &= whole;
    if (!sceneCacheStale.isEmpty()) {
        QPainter cache(&sceneCache);
        cache.setRenderHints(renderHints());
        // What the viewport shows beneath the scene (its own background, in
        // the rounded corners of a chart), then the scene.
        const QBrush beneath = viewport()->palette().brush(viewport()->backgroundRole());
        for (const QRect& r : sceneCacheStale) {
            cache.setClipRect(r);
            cache.fillRect(r, beneath);
            render(&cache, QRectF(r), r, Qt::IgnoreAspectRatio);
        }
        sceneCacheStale = QRegion();
    }
    for (const QRect& r : event->region())
        painter.drawPixmap(r, sceneCache, QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio));
}
