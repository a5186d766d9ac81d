// Range filter, QAM scaling and min/max thinning of series points
// (see FrameSeries.h).
#include "FrameSeries.h"

#include "Constellation.h"

#include <algorithm>
#include <cmath>

namespace h452 {

void thinMinMax(const QVector<QPointF>& in, QVector<QPointF>& out)
{
    out.clear();
    const int size = in.size();
    if (size <= kThinThreshold) {
        out = in;
        return;
    }
    const int step = std::max(2, size / 2500);
    out.reserve(2 * (size / step + 1) + 2);
    out.append(in.first());
    for (int i = 0; i < size - 1; i += step) {
        const int end = std::min(i + step, size);
        int lowest = i;
        int highest = i;
        for (int j = i + 1; j < end; ++j) {
            const double y = in[j].y();
            if (y < in[lowest].y())
                lowest = j;
            if (y > in[highest].y())
                highest = j;
        }
        if (lowest == highest) {
            out.append(in[lowest]);
        } else {
            out.append(in[std::min(lowest, highest)]);
            out.append(in[std::max(lowest, highest)]);
        }
    }
    out.append(in.last());
}

bool buildSeriesPoints(SeriesKind kind, const double* x, const double* y, int count, double xLo,
                       double xHi, int constellationType, QVector<QPointF>& shown,
                       QVector<QPointF>* all)
{
    shown.clear();
    if (all)
        all->clear();
    if (!x || !y || count <= 0 || kind == SeriesKind::Overview)
        return false;

    QVector<QPointF> kept;
    switch (kind) {
    case SeriesKind::Time: {
        // Usually the whole record is in view: then the kept list is the
        // unfiltered one, shared rather than built a second time.
        bool allInRange = all != nullptr;
        if (all) {
            all->reserve(count);
            for (int i = 0; i < count; ++i) {
                allInRange = allInRange && xLo <= x[i] && x[i] <= xHi;
                all->append(QPointF(x[i], y[i]));
            }
        }
        if (allInRange) {
            kept = *all;
            break;
        }
        kept.reserve(count);
        for (int i = 0; i < count; ++i)
            if (xLo <= x[i] && x[i] <= xHi)
                kept.append(QPointF(x[i], y[i]));
        break;
    }
    case SeriesKind::Spectrum:
    case SeriesKind::FreqRsp:
        kept.reserve(count);
        for (int i = 0; i < count; ++i) {
            const double u = x[i] / 1e6;
            if (xLo <= u && u <= xHi)
                kept.append(QPointF(u, y[i]));
        }
        break;
    case SeriesKind::Constellation: {
        // The analysis library decides the chart scale (1 for the PSK types,
        // the largest finite coordinate for the QAM types).
        const double scale = constellationChartScale(x, y, count, constellationType);
        kept.reserve(count);
        for (int i = 0; i < count; ++i) {
            if (std::isfinite(x[i]) && std::isfinite(y[i]))
                kept.append(QPointF(x[i] / scale, y[i] / scale));
        }
        break;
    }
    case SeriesKind::Overview:
        break;
    }
    if (kept.size() <= kThinThreshold)
        shown = std::move(kept);
    else
        thinMinMax(kept, shown);
    return true;
}

} // namespace h452
