// Spectrum markers on a chart. See ChartMarkers.h.
#include "ChartMarkers.h"

#include "ChannelPalette.h"
#include "InteractiveChartView.h"
#include "PeakMarkers.h"

#include <QBrush>
#include <QChart>
#include <QGraphicsSimpleTextItem>
#include <QValueAxis>
#include <QXYSeries>

#include <cmath>
#include <limits>

using QtCharts::QXYSeries;

namespace {

constexpr qreal kMarkerZ = 60;

// Index of the point whose x is nearest to x, or -1 for no points.
int nearestPoint(const QVector<QPointF>& points, double x)
{
    int best = -1;
    double distance = std::numeric_limits<double>::infinity();
    for (int i = 0; i < points.size(); ++i) {
        const double d = std::fabs(points[i].x() - x);
        if (d < distance) {
            distance = d;
            best = i;
        }
    }
    return best;
}

}  // namespace

ChartMarkers::ChartMarkers(InteractiveChartView* view, const std::array<QXYSeries*, 4>& series,
                           std::function<double()> sampleRateHz)
    : QObject(view), view_(view), series_(series), sampleRateHz_(std::move(sampleRateHz))
{
    chart_ = view ? view->chart() : nullptr;
    if (!chart_)
        return;
    for (int ch = 0; ch < 4; ++ch) {
        for (int m = 0; m < kMarkersPerChannel; ++m) {
            auto* label = new QGraphicsSimpleTextItem(chart_);
            label->setBrush(QBrush(h452::kChannelColours[static_cast<std::size_t>(ch)]));
            label->setZValue(kMarkerZ);
            label->setVisible(false);
            labels_[static_cast<std::size_t>(ch)][static_cast<std::size_t>(m)] = label;
        }
        if (QXYSeries* s = series_[static_cast<std::size_t>(ch)]) {
            connect(s, &QXYSeries::pointsReplaced, this, &ChartMarkers::update);
            connect(s, &QXYSeries::visibleChanged, this, &ChartMarkers::update);
        }
    }
    if (view->horizontalAxis())
        connect(view->horizontalAxis(), &QtCharts::QValueAxis::rangeChanged, this, &ChartMarkers::update);
    if (view->verticalAxis())
        connect(view->verticalAxis(), &QtCharts::QValueAxis::rangeChanged, this, &ChartMarkers::update);
    connect(chart_, &QtCharts::QChart::plotAreaChanged, this, &ChartMarkers::update);
}

ChartMarkers::~ChartMarkers() = default;

void ChartMarkers::setActive(bool on)
{
    if (!chart_ || on == active_)
        return;
    active_ = on;
    peakStep_ = {};
    update();
}

void ChartMarkers::nextPeak()
{
    for (int& step : peakStep_)
        ++step;  // wrapped against the channel's own list in update()
    update();
}

void ChartMarkers::update()
{
    if (!chart_)
        return;
    const double fs = sampleRateHz_ ? sampleRateHz_() : 0.0;
    for (int ch = 0; ch < 4; ++ch) {
        auto& marks = marks_[static_cast<std::size_t>(ch)];
        auto& labels = labels_[static_cast<std::size_t>(ch)];
        for (Mark& m : marks)
            m.shown = false;
        const QXYSeries* s = series_[static_cast<std::size_t>(ch)];
        if (active_ && s && s->isVisible() && s->count() > 1) {
            const QVector<QPointF> points = s->pointsVector();
            const int count = points.size();
            levels_.resize(static_cast<std::size_t>(count));
            for (int i = 0; i < count; ++i)
                levels_[static_cast<std::size_t>(i)] = points[i].y();
            peaks_.resize(static_cast<std::size_t>(count));
            const int found = h452::findPeaks(levels_.data(), count, kPeakHalfWidth, peaks_.data(), count);
            int& step = peakStep_[static_cast<std::size_t>(ch)];
            if (found > 0) {
                if (step >= found)
                    step = 0;
                const QPointF peak = points[peaks_[static_cast<std::size_t>(step)]];
                marks[0] = {peak.x(), peak.y(), true};
                double harmonicsHz[h452::kHighestMarkerHarmonic - 1];
                h452::harmonicMarkerFrequencies(peak.x() * 1e6, fs, harmonicsHz);
                for (int m = 1; m < kMarkersPerChannel; ++m) {
                    const int i = std::isfinite(harmonicsHz[m - 1]) ? nearestPoint(points, harmonicsHz[m - 1] / 1e6) : -1;
                    if (i >= 0)
                        marks[static_cast<std::size_t>(m)] = {points[i].x(), points[i].y(), true};
                }
            }
        }
        for (int m = 0; m < kMarkersPerChannel; ++m) {
            QGraphicsSimpleTextItem* label = labels[static_cast<std::size_t>(m)];
            const Mark& mark = marks[static_cast<std::size_t>(m)];
            label->setVisible(mark.shown && chart_->plotArea().contains(chart_->mapToPosition(QPointF(mark.x, mark.y))));
            if (!label->isVisible())
                continue;
            label->setText(markerLabel(ch, m));
            // Centred above the point it marks.
            const QPointF at = chart_->mapToPosition(QPointF(mark.x, mark.y));
            const QRectF box = label->boundingRect();
            label->setPos(at.x() - box.width() / 2, at.y() - box.height());
        }
    }
}

double ChartMarkers::markerX(int channel, int marker) const
{
    if (channel < 0 || channel >= 4 || marker < 0 || marker >= kMarkersPerChannel)
        return std::numeric_limits<double>::quiet_NaN();
    const Mark& m = marks_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(marker)];
    return m.shown ? m.x : std::numeric_limits<double>::quiet_NaN();
}

double ChartMarkers::markerY(int channel, int marker) const
{
    if (channel < 0 || channel >= 4 || marker < 0 || marker >= kMarkersPerChannel)
        return std::numeric_limits<double>::quiet_NaN();
    const Mark& m = marks_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(marker)];
    return m.shown ? m.y : std::numeric_limits<double>::quiet_NaN();
}

QString ChartMarkers::markerLabel(int channel, int marker) const
{
    const double x = markerX(channel, marker);
    if (std::isnan(x))
        return QString();
    const QString glyph = QStringLiteral("▼");
    if (marker == 0)
        return QStringLiteral("%1 MHz, %2 dB\n%3").arg(QString::number(x, 'f', 4),
                                                     QString::number(markerY(channel, marker), 'f', 2), glyph);
    return QStringLiteral("H%1\n%2").arg(marker + 1).arg(glyph);
}
