// FrameSeries: turning one frame's arrays into the point lists of the chart
// series, on the acquisition thread.
//
// Time, spectrum and frequency-response points are kept only inside the
// current x range of their chart; constellation points of the QAM types are
// scaled so that the outermost coordinate is 1 (the size of the reference
// outline). Every list longer than kThinThreshold points is thinned by
// keeping the first and the lowest and highest point of each bucket, so the
// drawn envelope of a trace is preserved at about 5000 points whatever the
// record length. The unthinned time trace goes to the overview strip.
#pragma once

#include "FrameUpdate.h"

#include <QPointF>
#include <QVector>

namespace h452 {

constexpr int kThinThreshold = 5000;

// Min/max thinning of `in` into `out` (cleared first). Lists of
// kThinThreshold points or fewer are copied unchanged. Otherwise:
// step = max(2, size / 2500); the first point; then for each bucket of `step`
// points the first point with the smallest y and the first with the largest
// y, in index order (one point when they coincide); finally the last point.
// 20 000 points become at most 5002.
void thinMinMax(const QVector<QPointF>& in, QVector<QPointF>& out);

// Builds the list a series shows.
//   kind Time:          keep (x[i], y[i]) with xLo <= x[i] <= xHi; `all`
//                       (when given) receives every point unfiltered.
//   kind Spectrum, FreqRsp: u = x[i] / 1e6 (Hz to MHz); keep (u, y[i]) with
//                       xLo <= u <= xHi.
//   kind Constellation: no range test; points with a non-finite coordinate
//                       are dropped; for constellationType >= 3 every point
//                       is divided by the largest |x| or |y| of the finite
//                       points (by 1 when there is none or it is 0).
// The result is thinned by thinMinMax into `shown`. x and y hold `count`
// values each. Missing arrays, count <= 0 or kind Overview give empty lists
// and false; otherwise true.
bool buildSeriesPoints(SeriesKind kind, const double* x, const double* y, int count, double xLo,
                       double xHi, int constellationType, QVector<QPointF>& shown,
                       QVector<QPointF>* all);

} // namespace h452
