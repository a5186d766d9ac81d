// Spectrum averaging and peak hold across frames, for the Spectrum panel and
// h452-analyze. The standard figures always use the single frame's spectrum;
// what is averaged here is only what is shown (and what markers and cursors
// read).
//
// Power average: the first N frames after a restart are averaged linearly
// (mean of A^2), after that each new frame enters an exponential average with
// weight 1/N. So the trace settles exactly after N frames and then follows
// slow changes with a time constant of N frames, as a bench analyser does.
// The result is handed back as amplitudes sqrt(mean A^2), so it stays in the
// same units as the single-frame magnitudes and levelDbfs() applies unchanged.
// Peak hold keeps the largest amplitude per bin since the last restart.
//
// Either restarts on its own when the sample rate, the record length, the FFT
// window or the set of channels changes: mixing spectra of different bins or
// windows would give a trace that belongs to no setting.
#pragma once

#include "Figures.h"

#include <array>
#include <vector>

namespace h452 {

enum class SpectrumAverageMode { Normal = 0, PowerAverage = 1, PeakHold = 2 };

// Allowed N of the power average. 1 would be the normal trace under another
// name and above 1024 the trace no longer follows the signal within a
// bench engineer's patience, so both are refused rather than clamped.
constexpr int kMinAverageCount = 2;
constexpr int kMaxAverageCount = 1024;
bool isValidAverageCount(long long count);

// One power-average step over binCount bins.
//   magnitudes:  in, binCount amplitudes of the new frame
//   binCount:    number of bins; <= 0 does nothing
//   framesBefore: frames already in meanPower (0 after a restart)
//   averageCount: N (kMinAverageCount .. kMaxAverageCount; others taken as 2)
//   meanPower:   in/out, binCount mean powers (A^2); ignored on entry when
//                framesBefore is 0
void powerAverageStep(const double* magnitudes, int binCount, long long framesBefore, int averageCount,
                      double* meanPower);

// One peak-hold step: held[k] = max(held[k], magnitudes[k]); first copies.
//   magnitudes: in, binCount amplitudes; held: in/out, binCount amplitudes.
// A non-finite magnitude is skipped (a NaN would otherwise stick forever).
void peakHoldStep(const double* magnitudes, int binCount, bool first, double* held);

// Keeps the averaged or held trace of each channel 0 .. 3 between frames.
// Not thread-safe: the owner uses it on one thread (the acquisition thread in
// the window, under the frame mutex like the rest of the analysis state).
class SpectrumAverager {
public:
    // Mode and N; a change of either restarts. An invalid N is refused
    // (returns false, nothing changes).
    bool configure(SpectrumAverageMode mode, int averageCount);
    SpectrumAverageMode mode() const { return mode_; }
    int averageCount() const { return averageCount_; }

    // Forgets every channel's trace (the Reset button).
    void reset();

    // Starts a frame: restarts everything when the rate, the record length,
    // the window type or the channel set (bit k = channel k) differs from the
    // previous frame.
    void beginFrame(double sampleRateHz, int recordLength, int windowType, unsigned channelMask);

    // Feeds one channel's magnitudes (binCount values) and returns the trace
    // to show: binCount amplitudes, valid until the next call for this
    // channel. In Normal mode the input itself is returned. A binCount other
    // than the channel's previous one restarts that channel. channel outside
    // 0 .. 3 or binCount <= 0 returns the input unchanged.
    const double* apply(int channel, const double* magnitudes, int binCount);

    // Frames that went into channel's trace since its restart.
    long long frames(int channel) const;

private:
    struct Channel {
        std::vector<double> state;   // mean power (average) or held amplitude
        std::vector<double> shown;   // amplitudes handed back
        long long frames = 0;
    };
    SpectrumAverageMode mode_ = SpectrumAverageMode::Normal;
    int averageCount_ = 16;
    double sampleRateHz_ = 0.0;
    int recordLength_ = -1;
    int windowType_ = -1;
    unsigned channelMask_ = 0;
    std::array<Channel, 4> channels_;
};

// The table's figures of a shown trace (for h452-analyze's averaged groups),
// by the rules a single frame follows: the line is the strongest of
// A[0 .. N/2] (first of equal maxima, 0 when none is above 0); the six
// spectral figures update when it is not 0, MAX(dBFS) and Frequ(MHz) as
// applyLineFigures() decides for the channel's usable rule.
//   magnitudes: count/2 + 1 amplitudes A[0 .. N/2]; count: record length N
//   channel 0 .. 3; windowType: FFT-window list index (for the half-width)
//   figures: in/out, carried from trace to trace as the window carries them
// Returns the line's bin.
int updateTraceFigures(const double* magnitudes, int count, double sampleRateHz, int channel, int windowType,
                       ChannelFigures& figures);

}  // namespace h452
