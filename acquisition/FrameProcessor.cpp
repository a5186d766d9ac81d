// One frame from raw codes to a FrameUpdate (see FrameProcessor.h).
#include "FrameProcessor.h"

#include "FrameSeries.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

namespace h452 {

namespace {

FitChart chartOf(SeriesKind kind)
{
    switch (kind) {
    case SeriesKind::Spectrum:
        return FitChart::Spectrum;
    case SeriesKind::FreqRsp:
        return FitChart::FreqRsp;
    default:
        return FitChart::Time;
    }
}

QVector<QPointF> pointsOf(const std::vector<double>& x, const std::vector<double>& y)
{
    const std::size_t n = std::min(x.size(), y.size());
    QVector<QPointF> p;
    p.reserve(int(n));
    for (std::size_t i = 0; i < n; ++i)
        p.append(QPointF(x[i], y[i]));
    return p;
}

} // namespace

FrameProcessor::FrameProcessor(AxisRangeSnapshot& ranges) : ranges_(ranges) {}

void FrameProcessor::addSeries(FrameUpdate& update, SeriesKind kind, const double* x,
                               const double* y, int count, int channel,
                               const FrameSettings& settings, int constellationType)
{
    if (channel < 0 || channel >= kChannelCount || kind == SeriesKind::Overview)
        return;
    // A failed allocation for one list costs that list, not the frame.
    try {
        const XRange range = ranges_.get(chartOf(kind));
        const bool time = kind == SeriesKind::Time;
        if (!buildSeriesPoints(kind, x, y, count, range.lo, range.hi, constellationType, shown_,
                               time ? &all_ : nullptr))
            return;
        if (!settings.channelEnabled[channel])
            return;
        if (time) {
            bounds_.set(SeriesKind::Overview, channel, all_);
            update.at(SeriesKind::Overview, channel) = {true, std::move(all_)};
            all_ = QVector<QPointF>();
        }
        // The fit takes what is plotted: a zoomed spectrum keeps its zoom and
        // gets the y range of the points in view. Thinning keeps each
        // bucket's extremes, so the thinned list has the bounds of all kept
        // points.
        bounds_.set(kind, channel, shown_);
        update.at(kind, channel) = {true, std::move(shown_)};
        shown_ = QVector<QPointF>();
    } catch (const std::exception&) {
    }
}

void FrameProcessor::fit(const FrameSettings& settings, FrameUpdate& update)
{
    bounds_.computeFit(settings.panelVisible, settings.channelEnabled, update.fit);
    ranges_.applyFit(update.fit);
}

void FrameProcessor::process(AnalysisState& state, const double* const channels[kChannelCount],
                             const FrameSettings& settings, std::atomic<bool>& fitPending,
                             FrameUpdate& update)
{
    const int n = settings.recordLength;
    bool anyEnabled = false;
    for (int k = 0; k < kChannelCount; ++k)
        anyEnabled = anyEnabled || (settings.channelEnabled[k] && channels[k]);

    if (n > 0 && anyEnabled) {
        FrameInput input;
        for (int k = 0; k < kChannelCount; ++k) {
            input.samples[k] = channels[k];
            input.channelEnabled[k] = settings.channelEnabled[k] && channels[k];
        }
        input.sampleCount = n;
        input.sampleRateHz = settings.sampleRateHz;
        input.frequencyPanel = settings.panelVisible[int(Panel::Frequency)];
        input.freqRspPanel = settings.panelVisible[int(Panel::FrequencyRsp)];
        input.constellationPanel = settings.panelVisible[int(Panel::Constellation)];
        input.eyePanel = settings.panelVisible[int(Panel::Eye)];
        input.eyeChannel = settings.eyeChannel;
        input.accumulateEye = true;
        input.constellationFigures = settings.constellationFigures;
        input.symbolRateHz = settings.symbolRateHz;
        input.symbolsKept = kDrawnSymbols;
        // Crossings are timed whenever the eye grows, so that switching the
        // figures on finds the jitter of the eye already shown.
        input.eyeJitter = input.eyePanel;
        const auto now = std::chrono::steady_clock::now();
        input.eyeFigures = settings.eyeFigures
            && now - lastEyeFigures_ >= std::chrono::milliseconds(kEyeFiguresIntervalMs);
        if (input.eyeFigures)
            lastEyeFigures_ = now;
        analyzeFrame(state, input, result_);
        if (settings.standardFigures)
            settings.standardFigures->analyze(input, state.windowType, result_.figures);
        if (result_.fitAxesRequested)
            fitPending.store(true);

        const int half = n / 2;
        const bool averaging = beginAveragedSpectrum(settings, input, state.windowType);
        spectrumDrawn_ = 0;
        spectrumAveraged_ = averaging;
        spectrumBins_ = half;
        for (int k = 0; k < kChannelCount; ++k) {
            const ChannelFrameResult& r = result_.channels[std::size_t(k)];
            if (!r.processed)
                continue;
            if (input.frequencyPanel && int(r.levelDbfs.size()) >= half
                && int(result_.binFrequencyHz.size()) >= half) {
                addSeries(update, SeriesKind::Spectrum, result_.binFrequencyHz.data(),
                          averaging ? averagedLevels(k, r, half) : r.levelDbfs.data(), half, k, settings,
                          state.constellationType);
                spectrumDrawn_ |= 1u << k;
            }
            if (r.freqRspUpdated)
                addSeries(update, SeriesKind::FreqRsp, r.freqRspFrequencyHz.data(),
                          r.freqRspLevelDb.data(), int(r.freqRspFrequencyHz.size()), k, settings,
                          state.constellationType);
            if (r.constellationUpdated)
                addSeries(update, SeriesKind::Constellation, r.constellationI.data(),
                          r.constellationQ.data(), int(r.constellationI.size()), k, settings,
                          state.constellationType);
            if (r.eyeUpdated && (r.eyeDelta.trimFront > 0 || !r.eyeDelta.x.empty())) {
                EyeChange& e = update.eye[k];
                e.batch += pointsOf(r.eyeDelta.x, r.eyeDelta.y);
                e.trimFront += std::int64_t(r.eyeDelta.trimFront);
            }
            if (r.constellationFiguresUpdated) {
                update.pictureFigures.constellation[k] = true;
                update.pictureFigures.constellationFigures[k] = r.constellationFigures;
            }
            if (r.eyeFiguresUpdated) {
                update.pictureFigures.eye = true;
                update.pictureFigures.eyeChannel = k;
                update.pictureFigures.eyeFigures = r.eyeFigures;
            }
        }

        // Figures as they stand after this frame, for the measurements table.
        update.hasFigures = true;
        for (int k = 0; k < kChannelCount; ++k)
            for (int f = 0; f < kFigureCount; ++f)
                update.figures[std::size_t(k)][std::size_t(f)] =
                    result_.figures[std::size_t(k)].value(f);
    }

    if (settings.panelVisible[int(Panel::Time)] && n > 0) {
        if (int(sampleIndex_.size()) != n) {
            sampleIndex_.resize(std::size_t(n));
            for (int i = 0; i < n; ++i)
                sampleIndex_[std::size_t(i)] = i;
        }
        for (int k = 0; k < kChannelCount; ++k)
            if (settings.channelEnabled[k] && channels[k])
                addSeries(update, SeriesKind::Time, sampleIndex_.data(), channels[k], n, k,
                          settings, state.constellationType);
    }

    if (fitPending.exchange(false))
        fit(settings, update);
}

bool FrameProcessor::beginAveragedSpectrum(const FrameSettings& settings, const FrameInput& input, int windowType)
{
    // Configured on every frame, so that leaving a mode and coming back
    // starts afresh. An N the averager refuses keeps the previous one (the
    // window only offers 2 .. 1024).
    averager_.configure(settings.averageMode, settings.averageCount);
    if (!input.frequencyPanel || averager_.mode() == SpectrumAverageMode::Normal)
        return false;
    if (settings.averageResets != averageResets_) {
        averageResets_ = settings.averageResets;
        averager_.reset();
    }
    unsigned mask = 0;
    for (int k = 0; k < kChannelCount; ++k)
        mask |= input.channelEnabled[k] ? 1u << k : 0u;
    averager_.beginFrame(input.sampleRateHz, input.sampleCount, windowType, mask);
    return true;
}

const double* FrameProcessor::averagedLevels(int channel, const ChannelFrameResult& r, int half)
{
    const double* trace = averager_.apply(channel, r.magnitudes.data(), half + 1);
    std::vector<double>& levels = averagedLevels_[std::size_t(channel)];
    levels.resize(std::size_t(half));
    magnitudesToLevels(trace, half, levels.data());
    return levels.data();
}

bool FrameProcessor::lastSpectrum(std::vector<double>& frequencyHz,
                                  std::array<std::vector<double>, kChannelCount>& levelDb) const
{
    frequencyHz.clear();
    for (auto& l : levelDb)
        l.clear();
    const std::size_t bins = std::size_t(std::max(spectrumBins_, 0));
    if (spectrumDrawn_ == 0 || result_.binFrequencyHz.size() < bins)
        return false;
    for (int k = 0; k < kChannelCount; ++k) {
        if (!(spectrumDrawn_ & (1u << k)))
            continue;
        const std::vector<double>& drawn =
            spectrumAveraged_ ? averagedLevels_[std::size_t(k)] : result_.channels[std::size_t(k)].levelDbfs;
        if (drawn.size() >= bins)
            levelDb[std::size_t(k)].assign(drawn.begin(), drawn.begin() + std::ptrdiff_t(bins));
    }
    frequencyHz.assign(result_.binFrequencyHz.begin(), result_.binFrequencyHz.begin() + std::ptrdiff_t(bins));
    return true;
}

} // namespace h452
