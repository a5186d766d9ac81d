// Eye figures: amplitude, height, width, crossing level, edge times, jitter
// and Q factor of an accumulated eye.
//
// Two inputs, both kept since the eye was last cleared:
//  - the traces of the eye series (Eye.h): x 0 .. 1 over one trace period of
//    n samples (x = 1 is n - 1 samples), y in codes, (NaN, NaN) between
//    traces. One unit interval (UI) is half the trace period: n / 2 samples,
//    x = n / (2 (n - 1));
//  - the threshold crossings of each frame, timed against a clock fitted to
//    all crossings of that frame (EyeJitterLog). The traces start where the
//    eye builder found them (run middles, peaks), so their own starts carry
//    the jitter; timing the crossings against a fitted clock does not.
//
// How each figure is computed:
//  - Levels: the traces' points split at the two-means threshold of all
//    their values; the trace time folded onto one UI (both halves of the
//    period overlaid, so a clock pattern has both levels at every instant),
//    the first point of each trace left out (the eye builder chose it by its
//    value); per time bin (one per sample of the UI, at most 1024) the
//    mean of the upper and lower points and their sigma (the larger of the
//    plain standard deviation and the rms deviation of the points on the
//    level's outer side: splitting at the threshold cuts the inner tails of
//    a closing eye). The optimal instant is the bin of the largest height
//    among the bins where each level holds at least a fifth of the points.
//  - Amplitude: upper mean - lower mean there. Height: (upper mean - 3 sigma)
//    - (lower mean + 3 sigma) there; absent when not above 0.
//  - Q factor: amplitude / (upper sigma + lower sigma) there.
//  - Rise and fall time: per edge of a trace crossing 50 % of the amplitude,
//    the interpolated 20 % and 80 % crossings around it; the mean over the
//    edges, in seconds (x times (n - 1) / fs).
//  - Crossing percentage: where the mean rising and the mean falling edge
//    (lines through their 50 % points with their 20-80 % slopes, folded into
//    one UI) intersect, over the amplitude, above the lower level.
//  - Jitter: time-interval error of the crossings against each frame's
//    fitted clock; rms (standard deviation) and peak-to-peak, in seconds.
//  - Width (UI): one UI less the spread of the crossings: from the earliest
//    (mean - 3 sigma) to the latest (mean + 3 sigma) of the rising and the
//    falling crossings' TIE, over the mean fitted UI; absent when not above 0.
#pragma once

#include "MeasuredFigure.h"

#include <cstddef>
#include <vector>

namespace h452 {

constexpr int kMinFigureTraces = 4;      // fewer: "too few traces"
constexpr int kMinFigureCrossings = 8;   // fewer: "too few crossings"
constexpr std::size_t kMaxJitterLog = 200000;  // crossings kept per edge kind

// One frame's threshold crossings against the clock fitted to them.
struct EyeFrameJitter {
    std::vector<double> risingTieS;   // TIE of each rising crossing, seconds
    std::vector<double> fallingTieS;  // TIE of each falling crossing, seconds
    double unitIntervalS = 0.0;       // fitted UI; 0 when no clock was fitted
    void clear();
};

// Crossings of the frame's two-means threshold (with a hysteresis of 10 % of
// the level difference, so noise on a level does not count as an edge),
// interpolated linearly between samples. Crossings are numbered on the grid
// of the nominal UI fs / (2 f) (f: the line frequency), the clock (start,
// UI) fitted to them by least squares, refined once with the fitted UI. No
// crossings for fewer than 3 of them, a flat or non-finite frame, or
// unusable rates.
//   samples: count raw codes (non-finite samples break the scan: the
//   crossing search restarts after them).
void measureFrameJitter(const double* samples, int count, double sampleRateHz, double lineFrequencyHz,
                        EyeFrameJitter& out);

// Crossings kept since the eye was cleared: the newest kMaxJitterLog of each
// edge kind (older ones drop first, so a long run never grows it).
struct EyeJitterLog {
    std::vector<double> risingTieS;
    std::vector<double> fallingTieS;
    double unitIntervalSumS = 0.0;
    long long frames = 0;
    void clear();
    void add(const EyeFrameJitter& frame);
};

struct EyeFigures {
    MeasuredFigure traces;
    MeasuredFigure height;
    MeasuredFigure widthUi;
    MeasuredFigure amplitude;
    MeasuredFigure crossingPercent;
    MeasuredFigure riseTimeS;
    MeasuredFigure fallTimeS;
    MeasuredFigure jitterRmsS;
    MeasuredFigure jitterPpS;
    MeasuredFigure qFactor;
    int crossings = 0;  // crossings the jitter and width come from
};

// The figures of the eye traces (x, y: count points each, as the eye series
// holds them) at sampleRateHz, with the crossings of jitter (null: jitter
// and width absent, "too few crossings").
void computeEyeFigures(const double* x, const double* y, std::size_t count, double sampleRateHz,
                       const EyeJitterLog* jitter, EyeFigures& figures);

}  // namespace h452
