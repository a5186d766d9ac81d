// FrameProcessor: what happens to one frame between the acquisition thread's
// four arrays and the FrameUpdate handed to the GUI.
//
// The analyses (spectra, figures, frequency response, constellation, eye)
// run once, in analyzeFrame() of the analysis library. This class turns their
// results into chart point lists in the order the window plots them:
//   per enabled channel 0..3: the spectrum series (Frequency panel shown),
//   the frequency-response series (FrequencyRsp panel shown and a usable
//   line), the constellation series and the eye change (their panels shown);
//   then the time traces of the enabled channels (Time panel shown, x = the
//   sample index), with their unthinned copy for the overview strip;
//   last the axis fit, when one was pending or a line frequency jumped by
//   20 % or more.
// Every list passes the range filter of its chart's current x range and the
// min/max thinning (FrameSeries.h). A series is only replaced while its
// channel is enabled.
//
// The fit reads bounds kept per series from the lists each frame delivered,
// so it needs neither the series nor the GUI thread, and writes its x ranges
// into the axis-range snapshot at once, so the next frame filters against
// them even before the GUI has set the axes. For the time chart the bounds
// are those of the unthinned overview list; for the other charts those of
// the plotted points, so a zoomed spectrum keeps its zoom (a double-click on
// the view returns it to its full range).
//
// Threading: process() runs under the window's dataMutex, on the acquisition
// thread (live frames) or the GUI thread (single acquisition). The caller
// guards the object with that mutex; only the snapshot has its own lock.
#pragma once

#include "FrameAxes.h"
#include "FrameUpdate.h"

#include "AnalysisState.h"
#include "PowerAverage.h"
#include "StandardFigureStore.h"

#include <array>
#include <atomic>
#include <chrono>
#include <vector>

namespace h452 {

// The window state one frame reads, copied under dataMutex.
struct FrameSettings {
    int recordLength = 0;               // samples per channel in each array
    double sampleRateHz = 1e9;
    bool channelEnabled[kChannelCount] = {true, false, false, false};
    bool panelVisible[kPanelCount] = {true, false, false, false, false, false};
    int eyeChannel = 0;                 // the one channel drawn in the eye
    // The measurements panel's standard figures, fed after the analyses of
    // each frame; null: none wanted.
    StandardFigureStore* standardFigures = nullptr;
    // What the Spectrum panel draws: the frame's spectrum (Normal, the
    // start), the power average over averageCount frames or the peak hold.
    // Only the drawn trace changes; the figures keep the frame's spectrum.
    // A new averageResets value starts the average or hold again.
    SpectrumAverageMode averageMode = SpectrumAverageMode::Normal;
    int averageCount = 16;
    unsigned averageResets = 0;
    // Figures beside the pictures (title-bar switches of the Constellation
    // and Eye panels) and the symbol rate they use (0: not set).
    bool constellationFigures = false;
    bool eyeFigures = false;
    double symbolRateHz = 0.0;
};

// Symbols of the last frame handed over for drawing their ideal points and
// error vectors.
constexpr int kDrawnSymbols = 256;
// The eye figures go over the whole kept eye (up to a million points), so
// they are computed at most this often; the crossings are timed every frame.
constexpr int kEyeFiguresIntervalMs = 500;

class FrameProcessor {
public:
    explicit FrameProcessor(AxisRangeSnapshot& ranges);

    // Processes one frame. channels: four arrays of settings.recordLength raw
    // codes (a null array counts as a disabled channel). fitPending is
    // consumed: when it is set, or a line jump sets it, it is cleared and the
    // fit ranges go into the update and the snapshot. The update receives the
    // series lists, the eye changes, the fit and a copy of the figures.
    void process(AnalysisState& state, const double* const channels[kChannelCount],
                 const FrameSettings& settings, std::atomic<bool>& fitPending,
                 FrameUpdate& update);

    // The fit alone, from the bounds delivered so far (used when a frame has
    // no channel to draw).
    void fit(const FrameSettings& settings, FrameUpdate& update);

    // One series list, the way every frame builds it: range filter against
    // the chart's current x range, scaling, thinning; the series is replaced
    // only while its channel is enabled. Kind Time also fills Overview.
    void addSeries(FrameUpdate& update, SeriesKind kind, const double* x, const double* y,
                   int count, int channel, const FrameSettings& settings, int constellationType);

    // The GUI cleared a channel's series.
    void forgetChannel(int channel) { bounds_.clearChannel(channel); }

    // Every bin of the spectrum the last frame drew, unthinned and without
    // the range filter (for the CSV export, which wants the frame's bins
    // rather than the drawn points): frequencyHz receives the bin
    // frequencies, levelDb[k] the levels of channel k's drawn trace (the
    // frame's, or the averaged or held one) or stays empty when channel k was
    // not drawn. False, with everything empty, when the last frame drew no
    // spectrum. Copies; called under the same mutex as process().
    bool lastSpectrum(std::vector<double>& frequencyHz,
                      std::array<std::vector<double>, kChannelCount>& levelDb) const;

private:
    // The averaged or held spectrum: whether this frame draws one, and the
    // levels (half values) of channel's drawn trace.
    bool beginAveragedSpectrum(const FrameSettings& settings, const FrameInput& input, int windowType);
    const double* averagedLevels(int channel, const ChannelFrameResult& r, int half);

    AxisRangeSnapshot& ranges_;
    SeriesBoundsStore bounds_;
    FrameResult result_;
    SpectrumAverager averager_;     // the drawn spectrum across frames
    unsigned averageResets_ = 0;
    std::array<std::vector<double>, kChannelCount> averagedLevels_;
    // What the last frame drew on the Spectrum panel: bit k = channel k, and
    // whether the averaged levels (not the frame's) were drawn.
    unsigned spectrumDrawn_ = 0;
    bool spectrumAveraged_ = false;
    int spectrumBins_ = 0;
    std::vector<double> sampleIndex_;
    QVector<QPointF> shown_;
    QVector<QPointF> all_;
    std::chrono::steady_clock::time_point lastEyeFigures_{};
};

} // namespace h452
