// Axis-range snapshot, series bounds and the axis fit (see FrameAxes.h).
#include "FrameAxes.h"

#include <algorithm>
#include <cmath>

namespace h452 {

AxisRangeSnapshot::AxisRangeSnapshot()
{
    ranges_[int(FitChart::Time)] = {0.0, 1000.0};
    ranges_[int(FitChart::Spectrum)] = {0.0, 500.0};
    ranges_[int(FitChart::FreqRsp)] = {180.0, 220.0};
}

void AxisRangeSnapshot::set(FitChart chart, double lo, double hi)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ranges_[int(chart)] = {lo, hi};
}

XRange AxisRangeSnapshot::get(FitChart chart) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return ranges_[int(chart)];
}

void AxisRangeSnapshot::applyFit(const AxisRanges (&fit)[kFitChartCount])
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (int c = 0; c < kFitChartCount; ++c)
        if (fit[c].valid)
            ranges_[c] = {fit[c].xMin, fit[c].xMax};
}

void PointBounds::include(const QPointF& p)
{
    const double x = p.x();
    const double y = p.y();
    if (!std::isfinite(x) || !std::isfinite(y))
        return;
    if (!valid) {
        valid = true;
        xMin = xMax = x;
        yMin = yMax = y;
        return;
    }
    xMin = std::min(xMin, x);
    xMax = std::max(xMax, x);
    yMin = std::min(yMin, y);
    yMax = std::max(yMax, y);
}

void PointBounds::include(const PointBounds& other)
{
    if (!other.valid)
        return;
    include(QPointF(other.xMin, other.yMin));
    include(QPointF(other.xMax, other.yMax));
}

PointBounds PointBounds::of(const QVector<QPointF>& points)
{
    PointBounds b;
    for (const QPointF& p : points)
        b.include(p);
    return b;
}

void SeriesBoundsStore::set(SeriesKind kind, int channel, const QVector<QPointF>& points)
{
    set(kind, channel, PointBounds::of(points));
}

void SeriesBoundsStore::set(SeriesKind kind, int channel, const PointBounds& bounds)
{
    if (channel < 0 || channel >= kChannelCount)
        return;
    bounds_[int(kind)][channel] = bounds;
}

void SeriesBoundsStore::clearChannel(int channel)
{
    if (channel < 0 || channel >= kChannelCount)
        return;
    for (auto& kind : bounds_)
        kind[channel] = PointBounds{};
}


void SeriesBoundsStore::computeFit(const bool panelVisible[kPanelCount],
                                   const bool channelEnabled[kChannelCount],
                                   AxisRanges (&fit)[kFitChartCount]) const
{
    struct Source {
        Panel panel;
        SeriesKind kind;
        FitChart chart;
    };
    static const Source sources[] = {
        {Panel::Time, SeriesKind::Overview, FitChart::Time},
        {Panel::Frequency, SeriesKind::Spectrum, FitChart::Spectrum},
        {Panel::FrequencyRsp, SeriesKind::FreqRsp, FitChart::FreqRsp},
    };
    for (const Source& s : sources) {
        AxisRanges& out = fit[int(s.chart)];
        out = AxisRanges{};
        if (!panelVisible[int(s.panel)])
            continue;
        PointBounds all;
        for (int c = 0; c < kChannelCount; ++c)
            if (channelEnabled[c])
                all.include(bounds_[int(s.kind)][c]);
        if (all.valid)
            out = all;
    }
}

} // namespace h452
