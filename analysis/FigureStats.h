// Statistics of figures over frames (or over the records of a file): mean,
// standard deviation, minimum, maximum and count since the last reset, for
// every figure of both sets, so that a bench engineer sees how steady a
// figure is and not only its latest value.
//
// Absent (NaN) and infinite values are not counted: count is the number of
// finite values added. The standard deviation is the sample form
// (divide by count - 1; 0 for a single value), kept with Welford's update so
// that long runs of nearly equal values do not lose precision.
#pragma once

#include "Figures.h"
#include "SineFit.h"
#include "StandardFigures.h"

#include <array>
#include <cstdint>

namespace h452 {

class RunningStats {
public:
    void add(double value);
    void reset() { *this = RunningStats{}; }
    std::int64_t count() const { return count_; }
    // NaN while count() is 0.
    double mean() const;
    double std() const;
    double min() const;
    double max() const;

private:
    std::int64_t count_ = 0;
    double mean_ = 0.0;
    double m2_ = 0.0;
    double min_ = 0.0;
    double max_ = 0.0;
};

// Every figure of one channel in one frame, in this order: the table's
// eight (Figures.h order), the ten standard ones (StandardFigures::value
// order), the six of the sine fit (SineFit.h order).
constexpr int kStatFigureCount = ChannelFigures::kCount + StandardFigures::kCount + kSineFitFigureCount;

// Names of the table's eight figures in reports (JSON members, CSV
// columns), in table order.
extern const char* const kTableFigureKeys[ChannelFigures::kCount];

// Name of statistic figure 0 .. kStatFigureCount-1 as the reports print it:
// the table's JSON names ("NSD_dBm" ...), "ieee1241.<key>", "sinefit.<key>".
const char* statFigureName(int index);

// Writes the kStatFigureCount values of one frame to values (caller's array
// of kStatFigureCount doubles).
void collectStatFigures(const ChannelFigures& tableFigures, const StandardFigures& standard, const SineFit& fit,
                        double* values);

// Statistics of every figure of one channel.
struct ChannelFigureStats {
    std::array<RunningStats, kStatFigureCount> figures;
    // values: kStatFigureCount doubles (collectStatFigures).
    void add(const double* values);
    void reset();
};

}  // namespace h452
