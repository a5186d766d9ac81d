// Ideal points and error vectors over the constellation (see SymbolErrorItem.h).
#include "SymbolErrorItem.h"

#include <QChart>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

// Above the points and the reference outline.
SymbolErrorItem::SymbolErrorItem(QtCharts::QChart* chart) : PlotAreaItem(chart, 11) {}

void SymbolErrorItem::setSymbols(int channel, const QColor& colour, std::vector<double> mi, std::vector<double> mq,
                                 std::vector<double> ii, std::vector<double> iq)
{
    if (channel < 0 || channel >= int(channels_.size()))
        return;
    Channel& c = channels_[std::size_t(channel)];
    c.colour = colour;
    // A mismatched list draws nothing rather than reading past a shorter one.
    const std::size_t n = mi.size();
    if (mq.size() != n || ii.size() != n || iq.size() != n) {
        mi.clear();
        mq.clear();
        ii.clear();
        iq.clear();
    }
    c.mi = std::move(mi);
    c.mq = std::move(mq);
    c.ii = std::move(ii);
    c.iq = std::move(iq);
    update();
}

void SymbolErrorItem::clear()
{
    for (Channel& c : channels_)
        c = Channel{};
    update();
}

bool SymbolErrorItem::isEmpty() const
{
    return std::all_of(channels_.begin(), channels_.end(), [](const Channel& c) { return c.mi.empty(); });
}

void SymbolErrorItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    if (!chart_ || area_.isEmpty())
        return;
    painter->save();
    painter->setClipRect(area_);
    const auto at = [this](double x, double y) { return chart_->mapToPosition(QPointF(x, y)); };
    for (const Channel& c : channels_) {
        if (c.mi.empty())
            continue;
        painter->setPen(QPen(c.colour, 1.0));
        for (std::size_t k = 0; k < c.mi.size(); ++k)
            if (std::isfinite(c.mi[k]) && std::isfinite(c.mq[k]))
                painter->drawLine(at(c.ii[k], c.iq[k]), at(c.mi[k], c.mq[k]));
    }
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor(255, 255, 255));
    for (const Channel& c : channels_) {
        for (std::size_t k = 0; k < c.ii.size(); ++k) {
            const QPointF p = at(c.ii[k], c.iq[k]);
            painter->drawRect(QRectF(p.x() - 2.5, p.y() - 2.5, 5.0, 5.0));
        }
    }
    painter->restore();
}
