// Statistics of figures over frames. See FigureStats.h.
#include "FigureStats.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace h452 {

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// Built once: "ieee1241.<key>" and "sinefit.<key>" live for the program.
const std::array<std::string, kStatFigureCount>& statNames()
{
    static const std::array<std::string, kStatFigureCount> names = [] {
        std::array<std::string, kStatFigureCount> n;
        int k = 0;
        for (const char* key : kTableFigureKeys)
            n[k++] = key;
        for (const char* key : kStandardFigureKeys)
            n[k++] = std::string("ieee1241.") + key;
        for (const char* key : kSineFitKeys)
            n[k++] = std::string("sinefit.") + key;
        return n;
    }();
    return names;
}

}  // namespace

const char* const kTableFigureKeys[ChannelFigures::kCount] = {"NSD_dBm",  "NSD_nV",    "SNR",  "ENOB",
                                                                  "MAX_dBFS", "Frequ_MHz", "SFDR", "SINAD"};

void RunningStats::add(double value)
{
    if (!std::isfinite(value))
        return;
    ++count_;
    if (count_ == 1) {
        mean_ = min_ = max_ = value;
        m2_ = 0.0;
        return;
    }
    const double delta = value - mean_;
    mean_ += delta / static_cast<double>(count_);
    m2_ += delta * (value - mean_);
    min_ = std::min(min_, value);
    max_ = std::max(max_, value);
}

double RunningStats::mean() const
{
    return count_ ? mean_ : kNan;
}

double RunningStats::std() const
{
    if (count_ == 0)
        return kNan;
    return count_ > 1 ? std::sqrt(std::max(0.0, m2_) / static_cast<double>(count_ - 1)) : 0.0;
}

double RunningStats::min() const
{
    return count_ ? min_ : kNan;
}

double RunningStats::max() const
{
    return count_ ? max_ : kNan;
}

const char* statFigureName(int index)
{
    return index >= 0 && index < kStatFigureCount ? statNames()[static_cast<std::size_t>(index)].c_str()
                                                  : nullptr;
}

void collectStatFigures(const ChannelFigures& tableFigures, const StandardFigures& standard, const SineFit& fit,
                        double* values)
{
    int k = 0;
    for (int c = 0; c < ChannelFigures::kCount; ++c)
        values[k++] = tableFigures.value(c);
    for (int c = 0; c < StandardFigures::kCount; ++c)
        values[k++] = standard.value(c);
    for (int c = 0; c < kSineFitFigureCount; ++c)
        values[k++] = sineFitValue(fit, c);
}

void ChannelFigureStats::add(const double* values)
{
    for (int k = 0; k < kStatFigureCount; ++k)
        figures[static_cast<std::size_t>(k)].add(values[k]);
}

void ChannelFigureStats::reset()
{
    for (RunningStats& s : figures)
        s.reset();
}

}  // namespace h452
