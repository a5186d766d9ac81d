// Measuring cursors over a chart view. See ChartCursors.h.
#include "ChartCursors.h"

#include "InteractiveChartView.h"

#include <QBrush>
#include <QChart>
#include <QGraphicsLineItem>
#include <QGraphicsSimpleTextItem>
#include <QLocale>
#include <QMouseEvent>
#include <QPen>
#include <QValueAxis>
#include <QXYSeries>

#include <cmath>
#include <limits>

using QtCharts::QChart;
using QtCharts::QValueAxis;
using QtCharts::QXYSeries;

namespace {

// Light dashed lines that read on the dark plot background; the first of
// each pair solid-dashed, the second dotted, to tell them apart.
const QColor kCursorColour(230, 230, 230);
constexpr qreal kCursorZ = 50;

}  // namespace

ChartCursors::ChartCursors(InteractiveChartView* view)
    : QObject(view), view_(view)
{
    chart_ = view ? view->chart() : nullptr;
    axisX_ = view ? view->horizontalAxis() : nullptr;
    axisY_ = view ? view->verticalAxis() : nullptr;
    if (!chart_ || !axisX_ || !axisY_)
        return;
    for (int k = 0; k < kLineCount; ++k) {
        auto* item = new QGraphicsLineItem(chart_);
        QPen pen(kCursorColour);
        pen.setStyle(k % 2 == 0 ? Qt::DashLine : Qt::DotLine);
        pen.setCosmetic(true);
        item->setPen(pen);
        item->setZValue(kCursorZ);
        item->setVisible(false);
        lines_[static_cast<std::size_t>(k)] = item;
    }
    text_ = new QGraphicsSimpleTextItem(chart_);
    text_->setBrush(QBrush(kCursorColour));  // the readout in the lines' colour
    text_->setZValue(kCursorZ);
    text_->setVisible(false);
    connect(axisX_, &QValueAxis::rangeChanged, this, &ChartCursors::place);
    connect(axisY_, &QValueAxis::rangeChanged, this, &ChartCursors::place);
    connect(chart_, &QChart::plotAreaChanged, this, &ChartCursors::place);
    viewport_ = view->viewport();
    viewport_->installEventFilter(this);
}

ChartCursors::~ChartCursors() = default;

void ChartCursors::setActive(bool on)
{
    if (!chart_ || on == active_)
        return;
    active_ = on;
    if (on && !placed_) {
        const double x0 = axisX_->min(), xs = axisX_->max() - x0;
        const double y0 = axisY_->min(), ys = axisY_->max() - y0;
        values_ = {x0 + xs / 3, x0 + 2 * xs / 3, y0 + ys / 3, y0 + 2 * ys / 3};
        placed_ = true;
    }
    grabbed_ = -1;
    for (QGraphicsLineItem* item : lines_)
        item->setVisible(on);
    text_->setVisible(on);
    place();
}

bool ChartCursors::setValue(Line line, double value)
{
    if (!chart_ || line < X1 || line > Y2 || !std::isfinite(value))
        return false;
    const QValueAxis* axis = line <= X2 ? axisX_ : axisY_;
    if (value < axis->min() || value > axis->max())
        return false;
    values_[line] = value;
    placed_ = true;
    place();
    return true;
}

bool ChartCursors::setValueText(Line line, const QString& text)
{
    bool ok = false;
    double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok)
        v = QLocale::system().toDouble(text.trimmed(), &ok);
    return ok && setValue(line, v);
}

void ChartCursors::setReadout(Readout readout)
{
    readout_ = std::move(readout);
    updateReadout();
}

void ChartCursors::updateReadout()
{
    if (text_ && active_)
        text_->setText(readout_ ? readout_(*this) : QString());
}

QString ChartCursors::readoutText() const
{
    return text_ ? text_->text() : QString();
}

void ChartCursors::watch(QXYSeries* series)
{
    if (!series)
        return;
    connect(series, &QXYSeries::pointsReplaced, this, &ChartCursors::updateReadout);
    connect(series, &QXYSeries::visibleChanged, this, &ChartCursors::updateReadout);
}

double ChartCursors::valueAt(const QXYSeries* series, double x)
{
    double best = std::numeric_limits<double>::quiet_NaN();
    if (!series || !series->isVisible() || !std::isfinite(x))
        return best;
    double distance = std::numeric_limits<double>::infinity();
    for (const QPointF& p : series->pointsVector()) {
        const double d = std::fabs(p.x() - x);
        if (d < distance) {
            distance = d;
            best = p.y();
        }
    }
    return best;
}

void ChartCursors::place()
{
    if (!chart_ || !active_)
        return;
    const QRectF area = chart_->plotArea();
    for (int k = 0; k < kLineCount; ++k) {
        QGraphicsLineItem* item = lines_[static_cast<std::size_t>(k)];
        const bool vertical = k <= X2;
        const QValueAxis* axis = vertical ? axisX_ : axisY_;
        const double v = values_[static_cast<std::size_t>(k)];
        // A line panned or zoomed out of view keeps its value, unseen.
        const bool inside = v >= axis->min() && v <= axis->max();
        item->setVisible(inside);
        if (!inside)
            continue;
        const QPointF p = chart_->mapToPosition(QPointF(vertical ? v : axisX_->min(), vertical ? axisY_->min() : v));
        if (vertical)
            item->setLine(p.x(), area.top(), p.x(), area.bottom());
        else
            item->setLine(area.left(), p.y(), area.right(), p.y());
    }
    text_->setPos(area.topLeft() + QPointF(6, 4));
    updateReadout();
}

int ChartCursors::lineNear(const QPointF& chartPos) const
{
    const QRectF area = chart_->plotArea();
    if (!area.adjusted(-kGrabPixels, -kGrabPixels, kGrabPixels, kGrabPixels).contains(chartPos))
        return -1;
    int best = -1;
    double bestDistance = kGrabPixels;
    for (int k = 0; k < kLineCount; ++k) {
        const QGraphicsLineItem* item = lines_[static_cast<std::size_t>(k)];
        if (!item->isVisible())
            continue;
        const QLineF l = item->line();
        const double d = k <= X2 ? std::fabs(chartPos.x() - l.x1()) : std::fabs(chartPos.y() - l.y1());
        if (d <= bestDistance) {
            bestDistance = d;
            best = k;
        }
    }
    return best;
}

bool ChartCursors::eventFilter(QObject* watched, QEvent* event)
{
    // Only the kept viewport pointer is compared: events also arrive while
    // the view is being destroyed, when calling into it is no longer valid.
    const QEvent::Type type = event->type();
    if (!active_ || !chart_ || watched != viewport_
        || (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease))
        return QObject::eventFilter(watched, event);
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPointF chartPos = chart_->mapFromScene(view_->mapToScene(mouse->pos()));
    if (type == QEvent::MouseButtonPress) {
        if (mouse->button() != Qt::LeftButton)
            return false;
        grabbed_ = lineNear(chartPos);
        return grabbed_ >= 0;  // a press off the lines pans as always
    }
    if (grabbed_ < 0)
        return false;
    if (type == QEvent::MouseMove) {
        const QPointF v = chart_->mapToValue(chartPos);
        const bool vertical = grabbed_ <= X2;
        const QValueAxis* axis = vertical ? axisX_ : axisY_;
        // Held inside the visible range: a line dragged off the edge stays
        // at the edge rather than vanishing.
        values_[static_cast<std::size_t>(grabbed_)] = qBound(axis->min(), vertical ? v.x() : v.y(), axis->max());
        place();
        return true;
    }
    if (mouse->button() == Qt::LeftButton)
        grabbed_ = -1;
    return true;
}
