// The analysis state the main window owns (window type and half-width, the
// four channels' figures, the modulation, the demodulator taps, the
// frequency-response store, the eye series models, the kept FFT plans) and
// the one frame-level routine, analyzeFrame(), that the live window, the
// single acquisition and h452-analyze all run. No Qt here: results are plain
// vectors that the caller turns into chart points.
//
// Threading: the state is not locked. The window uses it only under its
// frame mutex (the acquisition thread inside a frame, the GUI thread in the
// slots that change the settings below).
#pragma once

#include "Constellation.h"
#include "Eye.h"
#include "EyeFigures.h"
#include "Figures.h"
#include "FrequencyResponse.h"
#include "Fft.h"
#include "SymbolFigures.h"

#include <array>
#include <cstddef>
#include <vector>

namespace h452 {

class AnalysisState {
public:
    // FFT-window list index 0 .. 10; only 0 .. 5 are kept here, anything else
    // reads 0 (set through setWindowType).
    int windowType = 0;
    // Half-width of the window last built (from the table of Fft.h).
    int windowHalfWidth = 0;
    // The eight figures of each channel 0 .. 3.
    std::array<ChannelFigures, 4> channelStats{};
    // Modulation list index 0 .. 4 (BPSK, QPSK, 8PSK, 16QAM, 64QAM).
    int constellationType = 0;
    // The 31 taps the demodulator last designed.
    std::array<double, kDemodFilterTaps> demodFilterTaps{};
    // Frequency-response store: the window's freqRspFrequency, freqRspLevel
    // (per channel, count/2 slots) and freqRspReference.
    FrequencyResponseStore freqRsp;
    // The points of each channel's eye series (persistence across frames).
    std::array<EyeSeriesModel, 4> eyeSeries;
    // The threshold crossings of each channel's eye frames, timed against
    // each frame's fitted clock: kept beside eyeSeries and cleared with it.
    std::array<EyeJitterLog, 4> eyeJitter;
    // Kept FFT plans, buffers and windows. The window's frames take the
    // real-input transform (same spectrum to rounding, half the cost of the
    // longest records); h452-analyze switches to the complex transform so
    // that its reports keep their bytes.
    SpectrumEngine spectrum{SpectrumTransform::RealInput};
    // The demodulator's arithmetic: the window's frames take the fast one
    // (the points equal the exact chain's to rounding, at a fraction of the
    // cost of the longest records); h452-analyze takes the exact one so that
    // its constellation output keeps its bytes.
    DemodArithmetic demodArithmetic = DemodArithmetic::Fast;

    // The FFT-window choice: the index when 0 .. 5, else 0.
    void setWindowType(int index);
    // The modulation choice, 0 .. 4; other values are ignored (returns false).
    bool setConstellationType(int index);
    // Record length changed: the frequency-response store gets count/2 empty
    // slots per channel (the reference is kept).
    void resetFrequencyResponse(int count);
    // Eye channel changed (all four) or one channel switched off.
    void clearEyeSeries();
    void clearEyeSeries(int channel);

    // One channel's spectrum with the current window, kept plans and the
    // figures: builds (or reuses) the window of windowType and sets
    // windowHalfWidth; writes A[0 .. N/2] to magnitudes and 0 to the entries
    // above N/2 (count doubles); *peakBin receives the line. When the peak is
    // not 0 and channelEnabled is set, the six spectral figures of the channel
    // (0 .. 3) are updated. Returns true when the peak is 0 (no usable line).
    bool computeSpectrum(const double* samples, int count, int channel, bool channelEnabled,
                         double* magnitudes, int* peakBin);
    // The core of computeSpectrum, shared with the frame routine: windowHalfWidth,
    // A[0 .. N/2] into magnitudes (count/2 + 1 doubles; nothing above) and the
    // figures as there. Returns the peak bin. samples holds count > 0 values.
    int spectrumAndFigures(const double* samples, int count, int channel, bool channelEnabled,
                           double* magnitudes);

    // Working space of the frame routine, kept between frames.
    std::vector<double> scratch;
};

// What one frame is and which views want results.
struct FrameInput {
    // Raw codes of channels 0 .. 3, sampleCount doubles each; a null pointer
    // counts as a disabled channel.
    const double* samples[4] = {nullptr, nullptr, nullptr, nullptr};
    int sampleCount = 0;            // n, samples per channel
    double sampleRateHz = 1e9;      // fs
    bool channelEnabled[4] = {true, false, false, false};
    bool frequencyPanel = false;    // spectrum levels wanted (levelDbfs filled)
    bool freqRspPanel = false;      // frequency-response step runs
    bool constellationPanel = false;
    bool eyePanel = false;
    int eyeChannel = 0;             // the one channel drawn in the eye
    // Keep the eye persistence in the state's eyeSeries and report the change
    // as eyeDelta (the window); false leaves eyeSeries alone (h452-analyze).
    bool accumulateEye = true;
    // Figures beside the constellation (symbol decisions, EVM ...) of every
    // demodulated channel, at this symbol rate (0: not set, the figures are
    // absent with that reason); symbolsKept of the last decided symbols go
    // into the result for drawing.
    bool constellationFigures = false;
    double symbolRateHz = 0.0;
    int symbolsKept = 0;
    // Eye jitter: time the eye channel's crossings on every eye frame (and,
    // with accumulateEye, keep them in state.eyeJitter). Eye figures: compute
    // them this frame from the kept eye (accumulateEye) or from this frame's
    // traces and crossings alone.
    bool eyeJitter = false;
    bool eyeFigures = false;
};

// Results of one channel in one frame. Vectors keep their capacity between
// frames; entries of a step that did not run are left empty.
struct ChannelFrameResult {
    bool processed = false;   // the channel was enabled and analysed
    int peakBin = 0;          // P, the strongest bin (0 .. n/2)
    bool lineUsable = false;  // the table's rule for this channel
    // n/2 + 1 magnitudes A[0 .. n/2] (amplitude in codes).
    std::vector<double> magnitudes;
    // n/2 levels L[k] in dBFS, only when the frequency panel is shown; the
    // x values are FrameResult::binFrequencyHz.
    std::vector<double> levelDbfs;

    // Frequency-response step (1 <= P < n/2 and the panel shown): the
    // channel's stored points in bin order, x in Hz, y in dB.
    bool freqRspUpdated = false;
    std::vector<double> freqRspFrequencyHz;
    std::vector<double> freqRspLevelDb;

    // Constellation (panel shown, 1 <= P < n/2, line above 1e-6 Hz): the start
    // index and the demodulator output, n - start points, before chart scaling.
    bool constellationUpdated = false;
    int constellationStart = 0;
    std::vector<double> constellationI;
    std::vector<double> constellationQ;

    // Eye (panel shown, this is the eye channel, 1 <= P < n/2, line above
    // 1e-6 Hz): the start index and this frame's traces (x 0 .. 1, y codes);
    // with accumulateEye also the change made to eyeSeries[channel].
    bool eyeUpdated = false;
    int eyeStart = 0;
    std::vector<double> eyeX;
    std::vector<double> eyeY;
    EyeAppendDelta eyeDelta;

    // Constellation figures (constellationFigures asked and the constellation
    // step ran).
    bool constellationFiguresUpdated = false;
    ConstellationFigures constellationFigures;
    // This frame's eye crossings (eyeJitter asked and the eye step ran) and
    // the eye figures (eyeFigures asked).
    EyeFrameJitter eyeJitter;
    bool eyeFiguresUpdated = false;
    EyeFigures eyeFigures;
};

struct FrameResult {
    int sampleCount = 0;
    double sampleRateHz = 0.0;
    // n/2 frequencies in Hz of bins 0 .. n/2-1 (F[n/2 + k]); filled whenever
    // a channel was processed.
    std::vector<double> binFrequencyHz;
    std::array<ChannelFrameResult, 4> channels;
    // A usable line jumped by 20 % or more: fit the axes after this frame.
    bool fitAxesRequested = false;
    // Copy of state.channelStats after the frame.
    std::array<ChannelFigures, 4> figures{};
};

// One frame: for each enabled channel k = 0 .. 3 in order, the spectrum and
// figures, MAX(dBFS) and Frequ(MHz) or their clearing, then the
// frequency-response, constellation and eye steps as far as their panels are
// shown and the line allows (1 <= P < n/2, and for constellation and eye a
// line frequency above 1e-6 Hz). Figures carry in state.channelStats from
// frame to frame. A frame with sampleCount <= 0 or no enabled channel
// computes nothing. A frequency-response store of the wrong size for the
// record length is reset first (the window resets it on every length change;
// this keeps a stale store from being indexed out of range).
void analyzeFrame(AnalysisState& state, const FrameInput& input, FrameResult& result);

}  // namespace h452
