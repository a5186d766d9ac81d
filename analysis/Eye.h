// Eye diagram: a frame is aligned to a start sample, cut into traces one
// signal period long over a time axis 0 .. 1, and the traces are appended,
// NaN-separated, to a channel's persistence series with a point cap.
#pragma once

#include <cstddef>
#include <vector>

namespace h452 {

constexpr int kEyeMaxTraces = 200;          // traces drawn per frame at most
constexpr int kEyeMaxGridTraces = 50;       // fallback period-grid positions
constexpr std::size_t kEyeMaxPoints = 1000000;   // series cap before trimming
constexpr std::size_t kEyeTrimTarget = 900000;   // size the trim aims back to

// Period in samples: trunc(fs / f + 0.5), at least 2 (and at most INT_MAX;
// 2 when fs or f is not a positive finite number).
int eyePeriodSamples(double sampleRateHz, double lineFrequencyHz);

// Start index of the traces in an N-sample frame, from the strongest edge
// phase of the first 30 periods (or the first minimum without edges).
// 0 when samples is missing, N < 1, fs <= 0 or f <= 0, or the period window
// min(N/4, period) is empty.
int findEyeStart(const double* samples, int count, double sampleRateHz, double lineFrequencyHz);

// Traces of count samples (the frame from the start index on) at fs with
// line frequency f. x and y are cleared, then receive S traces of n points
// each (S * n entries): x the time 0 .. 1 (the last point exactly 1), y the
// samples. Pulse signals start a trace in the middle of each run above or
// below the levels; other signals at the interpolated maxima and minima of
// up to 50 periods; with fewer than 2 starts, a grid of up to 50 periods.
// More than 200 starts are thinned evenly to 200. Nothing for a missing
// pointer, fs <= 0, or a trace length below 2 samples (records under 8).
void buildEyeTraces(const double* samples, int count, double sampleRateHz, double lineFrequencyHz,
                    std::vector<double>& x, std::vector<double>& y);

// The points of one channel's eye series (x, y pairs; NaN, NaN separates
// traces), kept beside the chart so the trimming can be decided off the GUI.
struct EyeSeriesModel {
    std::vector<double> x;
    std::vector<double> y;
    void clear() { x.clear(); y.clear(); }
    std::size_t size() const { return x.size(); }
};

// What one append did to a series: drop trimFront points from its front,
// then append the points (x, y): a separator when needed, then the batch.
// This is exactly the change to apply to a chart series mirroring the model.
struct EyeAppendDelta {
    std::size_t trimFront = 0;
    std::vector<double> x;
    std::vector<double> y;
};

// Appends the traces of buildEyeTraces (x, y: count points each) to the
// series: the trace length is found where the time axis restarts; a (NaN,
// NaN) point separates traces. When the series would exceed 1,000,000 points,
// the oldest traces up to the last separator within the first
// (total - 900,000) points are dropped first. Mismatched or empty input
// changes nothing (delta then drops nothing and appends nothing).
//   delta: optional out, the change made.
void appendEyeTraces(EyeSeriesModel& series, const double* x, const double* y, std::size_t count,
                     EyeAppendDelta* delta = nullptr);

}  // namespace h452
