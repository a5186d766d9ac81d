// FrameAxes: what frame processing knows about the chart axes without
// touching them.
//
// AxisRangeSnapshot holds the current x range of the time, spectrum and
// frequency-response charts as plain doubles under a small lock of its own.
// The GUI thread writes it whenever an axis range changes; frame processing
// reads it to filter points, and a fit computed on the acquisition thread
// writes its ranges at once so that the next frame already filters against
// them. It is never guarded by dataMutex: the GUI thread changes ranges while
// it holds dataMutex (record length, single acquisition), and dataMutex is
// not recursive. Its lock is a leaf of the lock order (DeviceState.h).
//
// SeriesBoundsStore remembers the bounds of the last list delivered for each
// series, which is what the series shows once the GUI has applied it, so the
// axis fit needs neither the series nor the GUI thread.
#pragma once

#include "FrameUpdate.h"

#include <QPointF>
#include <QVector>

#include <array>
#include <mutex>

namespace h452 {

// Panel order of the window's panel flags.
enum class Panel : int { Time = 0, Measurements = 1, Frequency = 2, FrequencyRsp = 3, Constellation = 4, Eye = 5 };
constexpr int kPanelCount = 6;

struct XRange {
    double lo = 0.0;
    double hi = 0.0;
};

class AxisRangeSnapshot {
public:
    // Start ranges of the charts: time 0 to 1000 samples, spectrum 0 to
    // 500 MHz, frequency response 180 to 220 MHz.
    AxisRangeSnapshot();

    void set(FitChart chart, double lo, double hi);
    XRange get(FitChart chart) const;
    // Writes the x ranges of every valid entry of a fit.
    void applyFit(const AxisRanges (&fit)[kFitChartCount]);

private:
    mutable std::mutex mutex_;
    std::array<XRange, kFitChartCount> ranges_;
};

class SeriesBoundsStore {
public:
    // Records the bounds of the list just delivered for a series.
    void set(SeriesKind kind, int channel, const QVector<QPointF>& points);
    void set(SeriesKind kind, int channel, const PointBounds& bounds);
    // The series of a channel were cleared.
    void clearChannel(int channel);

    // The fit: for each of the Time, Frequency and FrequencyRsp panels that
    // is shown, the bounds over the enabled channels' series of its chart
    // (the overview series for the time chart). A chart without any point
    // stays invalid, so its axes are left as they are.
    void computeFit(const bool panelVisible[kPanelCount], const bool channelEnabled[kChannelCount],
                    AxisRanges (&fit)[kFitChartCount]) const;

private:
    PointBounds bounds_[kReplacedKindCount][kChannelCount];
};

} // namespace h452
