// ChartMarkers: labelled markers on a spectrum chart, read from the trace as
// shown (the series' points, whatever averaging made them): for each
// visible channel a peak marker on its strongest line, with frequency and
// level, and H2 .. H5 at the harmonic frequencies folded about fs/2. "Next
// peak" moves every channel's peak marker to its next-lower local peak and
// wraps to the strongest; the harmonics follow the marked line. Off by
// default; only the GUI thread uses it. The spectrum's x axis is in MHz,
// its y axis in dB.
#pragma once

#include <QObject>

#include <array>
#include <functional>
#include <vector>

class QGraphicsSimpleTextItem;
class InteractiveChartView;

namespace QtCharts {
class QChart;
class QXYSeries;
}

class ChartMarkers : public QObject
{
    Q_OBJECT

public:
    // Markers per channel: the peak and H2 .. H5.
    static constexpr int kMarkersPerChannel = 5;
    // Points on either side that a local peak must top: the half-width of
    // the widest window, so one windowed line is one peak.
    static constexpr int kPeakHalfWidth = 4;

    // series: the four channels' spectrum series (null allowed);
    // sampleRateHz: the current rate, read on every update (for folding).
    ChartMarkers(InteractiveChartView* view, const std::array<QtCharts::QXYSeries*, 4>& series,
                 std::function<double()> sampleRateHz);
    ~ChartMarkers() override;

    void setActive(bool on);
    bool isActive() const { return active_; }
    // Steps every channel's peak marker to its next-lower local peak.
    void nextPeak();
    // Recomputes the markers from the series (also run on new points).
    void update();

    // What channel's marker m shows (m 0: peak, 1 .. 4: H2 .. H5): x in MHz
    // and y in dB of the trace's point there; NaN when not shown.
    double markerX(int channel, int marker) const;
    double markerY(int channel, int marker) const;
    QString markerLabel(int channel, int marker) const;

private:
    struct Mark {
        double x = 0.0;
        double y = 0.0;
        bool shown = false;
    };
    InteractiveChartView* view_ = nullptr;
    QtCharts::QChart* chart_ = nullptr;
    std::array<QtCharts::QXYSeries*, 4> series_{};
    std::function<double()> sampleRateHz_;
    std::array<std::array<Mark, kMarkersPerChannel>, 4> marks_{};
    std::array<std::array<QGraphicsSimpleTextItem*, kMarkersPerChannel>, 4> labels_{};
    std::array<int, 4> peakStep_{};  // index into each channel's peak list
    bool active_ = false;
    std::vector<double> levels_;
    std::vector<int> peaks_;
};
