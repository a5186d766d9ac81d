// The analysis state's settings and the frame-level routine shared by the
// live window, the single acquisition and h452-analyze. See AnalysisState.h.
#include "AnalysisState.h"

#include <algorithm>

namespace h452 {

void AnalysisState::setWindowType(int index)
{
    windowType = (index >= 0 && index < kComputedWindowCount) ? index : 0;
}

bool AnalysisState::setConstellationType(int index)
{
    if (index < 0 || index >= kConstellationTypeCount)
        return false;
    constellationType = index;
    return true;
}

void AnalysisState::resetFrequencyResponse(int count)
{
    freqRsp.reset(count);
}

void AnalysisState::clearEyeSeries()
{
    for (EyeSeriesModel& s : eyeSeries)
        s.clear();
    for (EyeJitterLog& j : eyeJitter)
        j.clear();
}

void AnalysisState::clearEyeSeries(int channel)
{
    if (channel >= 0 && channel < 4) {
        eyeSeries[channel].clear();
        eyeJitter[channel].clear();
    }
}

int AnalysisState::spectrumAndFigures(const double* samples, int count, int channel, bool channelEnabled,
                                      double* magnitudes)
{
    windowHalfWidth = windowHalfWidthFor(windowType);
    const int peak = spectrum.magnitude(samples, count, windowType, magnitudes);
    if (peak != 0 && channelEnabled && channel >= 0 && channel < 4)
        computeSpectrumFigures(magnitudes, count, peak, windowHalfWidth, channelStats[channel]);
    return peak;
}

bool AnalysisState::computeSpectrum(const double* samples, int count, int channel, bool channelEnabled,
                                    double* magnitudes, int* peakBin)
{
    windowHalfWidth = windowHalfWidthFor(windowType);
    if (peakBin)
        *peakBin = 0;
    if (count <= 0 || !samples || !magnitudes)
        return true;
    const int half = count / 2;
    const int peak = spectrumAndFigures(samples, count, channel, channelEnabled, magnitudes);
    std::fill(magnitudes + half + 1, magnitudes + count, 0.0);
    if (peakBin)
        *peakBin = peak;
    return peak == 0;
}

namespace {

// The large vectors (magnitudes, levels, constellation) are not cleared here:
// resizing a cleared vector would zero it again every frame. Those of steps
// that did not run are emptied by dropUnusedVectors() after the channel.
void resetChannelResult(ChannelFrameResult& r)
{
    r.processed = false;
    r.peakBin = 0;
    r.lineUsable = false;
    r.freqRspUpdated = false;
    r.freqRspFrequencyHz.clear();
    r.freqRspLevelDb.clear();
    r.constellationUpdated = false;
    r.constellationStart = 0;
    r.eyeUpdated = false;
    r.eyeStart = 0;
    r.eyeX.clear();
    r.eyeY.clear();
    r.eyeDelta.trimFront = 0;
    r.eyeDelta.x.clear();
    r.eyeDelta.y.clear();
    r.constellationFiguresUpdated = false;
    r.eyeJitter.clear();
    r.eyeFiguresUpdated = false;
}

void dropUnusedVectors(ChannelFrameResult& r, bool levelsFilled)
{
    if (!r.processed)
        r.magnitudes.clear();
    if (!levelsFilled)
        r.levelDbfs.clear();
    if (!r.constellationUpdated) {
        r.constellationI.clear();
        r.constellationQ.clear();
    }
}

// One channel of a frame, in the order the window runs the steps.
void analyzeChannel(AnalysisState& state, const FrameInput& input, int k, bool enabled, FrameResult& result,
                    ChannelFrameResult& r)
{
    if (!enabled)
        return;
    const double* x = input.samples[k];
    const int n = input.sampleCount;
    const int half = n / 2;
    const double fs = input.sampleRateHz;
    r.processed = true;

    // Spectrum and the six spectral figures (kept plan and window).
    r.magnitudes.resize(static_cast<std::size_t>(half) + 1);
    const int peak = state.spectrumAndFigures(x, n, k, true, r.magnitudes.data());
    r.peakBin = peak;

    if (input.frequencyPanel) {
        r.levelDbfs.resize(static_cast<std::size_t>(half));
        magnitudesToLevels(r.magnitudes.data(), half, r.levelDbfs.data());
    }

    // The line: usable for the table, and present for the other views.
    const bool line = peak >= 1 && peak < half;
    const double levelAtPeak = levelDbfs(r.magnitudes[peak]);
    const double lineHz = line ? result.binFrequencyHz[peak] : 0.0;
    r.lineUsable = isLineUsable(k, peak, n);
    if (applyLineFigures(state.channelStats[k], r.lineUsable, levelAtPeak, lineHz))
        result.fitAxesRequested = true;
    if (!line)
        return;

    if (input.freqRspPanel && state.freqRsp.update(k, peak, lineHz, levelAtPeak)) {
        r.freqRspUpdated = true;
        state.freqRsp.collect(k, r.freqRspFrequencyHz, r.freqRspLevelDb);
    }

    if (!(lineHz > 1e-6))
        return;

    if (input.constellationPanel) {
        const int start = constellationStart(x, n, fs, lineHz);
        const int m = n - start;
        r.constellationStart = start;
        r.constellationI.resize(static_cast<std::size_t>(m));
        r.constellationQ.resize(static_cast<std::size_t>(m));
        state.scratch.resize(static_cast<std::size_t>(m));
        demodulateConstellationWith(state.demodArithmetic, x + start, r.constellationI.data(),
                                    r.constellationQ.data(), m, fs, lineHz, state.constellationType,
                                    state.demodFilterTaps.data(), state.scratch.data());
        r.constellationUpdated = true;
        if (input.constellationFigures) {
            computeConstellationFigures(r.constellationI.data(), r.constellationQ.data(), m, fs, lineHz,
                                        input.symbolRateHz, state.constellationType, r.constellationFigures,
                                        input.symbolsKept);
            r.constellationFiguresUpdated = true;
        }
    }

    if (input.eyePanel && input.eyeChannel == k) {
        const int start = findEyeStart(x, n, fs, lineHz);
        r.eyeStart = start;
        buildEyeTraces(x + start, n - start, fs, lineHz, r.eyeX, r.eyeY);
        r.eyeUpdated = true;
        if (input.accumulateEye)
            appendEyeTraces(state.eyeSeries[k], r.eyeX.data(), r.eyeY.data(), r.eyeX.size(), &r.eyeDelta);
        if (input.eyeJitter || input.eyeFigures) {
            measureFrameJitter(x + start, n - start, fs, lineHz, r.eyeJitter);
            if (input.accumulateEye)
                state.eyeJitter[k].add(r.eyeJitter);
        }
        if (input.eyeFigures) {
            if (input.accumulateEye) {
                const EyeSeriesModel& kept = state.eyeSeries[k];
                computeEyeFigures(kept.x.data(), kept.y.data(), kept.size(), fs, &state.eyeJitter[k],
                                  r.eyeFigures);
            } else {
                EyeJitterLog alone;
                alone.add(r.eyeJitter);
                computeEyeFigures(r.eyeX.data(), r.eyeY.data(), r.eyeX.size(), fs, &alone, r.eyeFigures);
            }
            r.eyeFiguresUpdated = true;
        }
    }
}

}  // namespace

void analyzeFrame(AnalysisState& state, const FrameInput& input, FrameResult& result)
{
    const int n = input.sampleCount;
    const double fs = input.sampleRateHz;
    result.sampleCount = n;
    result.sampleRateHz = fs;
    result.fitAxesRequested = false;
    result.binFrequencyHz.clear();
    for (ChannelFrameResult& r : result.channels)
        resetChannelResult(r);

    bool any = false;
    for (int k = 0; k < 4; ++k)
        any = any || (input.channelEnabled[k] && input.samples[k]);
    if (n <= 0 || !any) {
        for (ChannelFrameResult& r : result.channels)
            dropUnusedVectors(r, false);
        result.figures = state.channelStats;
        return;
    }

    const int half = n / 2;
    result.binFrequencyHz.resize(static_cast<std::size_t>(half));
    binFrequencyAxis(n, fs, result.binFrequencyHz.data());
    if (input.freqRspPanel && state.freqRsp.frequencyHz[0].size() != static_cast<std::size_t>(half))
        state.resetFrequencyResponse(n);

    for (int k = 0; k < 4; ++k) {
        const double* x = input.samples[k];
        ChannelFrameResult& r = result.channels[k];
        const bool enabled = input.channelEnabled[k] && x;
        analyzeChannel(state, input, k, enabled, result, r);
        dropUnusedVectors(r, enabled && input.frequencyPanel);
    }
    result.figures = state.channelStats;
}

}  // namespace h452
