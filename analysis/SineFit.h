// Four-parameter sine fit (IEEE 1241): the cross-check of the spectral
// figures that needs no window and no bin bookkeeping.
//
// Model x[i] ~ A cos(w t) + B sin(w t) + C with t = i - (N-1)/2 (centred so
// that the normal equations stay well conditioned). Seeded with the spectral
// peak's frequency, a three-parameter least-squares fit at that w gives A, B,
// C; then Gauss-Newton steps on (A, B, C, w), the w column being
// t (-A sin(w t) + B cos(w t)), until the step in w is below 1e-12 rad per
// sample or 50 steps ran. The best fit seen (smallest residual) is kept.
// cos and sin come from a rotation per sample, recomputed exactly every 1024
// samples: the fit of a million samples costs a few passes, not 10^8 calls.
// Reported: amplitude sqrt(A^2 + B^2), frequency w fs / (2 pi), offset C,
// phase at sample 0 in (-pi, pi] (x[i] = amplitude cos(2 pi f i / fs + phase)
// + offset), residual rms sqrt(mean r^2) and
// ENOB = log2(65536 / (sqrt(12) * rms)) (+inf for a residual of 0).
#pragma once

#include "StandardFigures.h"

namespace h452 {

struct SineFit {
    bool valid = false;  // false: too short, no seed, or singular equations
    double freqHz = 0.0;
    double amplitude = 0.0;
    double offset = 0.0;
    double phaseRad = 0.0;
    double residualRms = 0.0;
    double enobBits = 0.0;
};

// Number of the six figures above in this order, their JSON names.
constexpr int kSineFitFigureCount = 6;
extern const char* const kSineFitKeys[kSineFitFigureCount];
// Figure 0 .. 5 (freqHz, amplitude, offset, phaseRad, residualRms, enobBits);
// NaN when the fit is not valid or the number is out of range.
double sineFitValue(const SineFit& fit, int index);

// Fit difference (bits) above which the spectral and fit ENOB disagree.
constexpr double kFitDisagreeBits = 0.5;

//   samples:      count raw codes (non-finite samples taken as 0)
//   count:        N, at least 4
//   sampleRateHz: fs for the reported frequency (finite, above 0)
//   seedBins:     starting frequency in cycles per record, 0 < seed < N/2
//   fit:          out; fit.valid says whether it converged to a usable fit
// Returns fit.valid.
bool fitSine(const double* samples, int count, double sampleRateHz, double seedBins, SineFit& fit);

// ENOB above which the comparison stops: 20 bits is a residual of 0.0003
// codes, far below what a 16-bit record can hold; beyond it both figures
// only measure the arithmetic's rounding.
constexpr double kFitEnobCeilingBits = 20.0;

// Raises fit_disagrees on the figures when the fit is valid and its ENOB
// and the full-scale-referred spectral ENOB, each taken at most
// kFitEnobCeilingBits, are more than kFitDisagreeBits apart.
void crossCheckFit(StandardFigures& figures, const SineFit& fit);

// The whole standard set of one record as the window and h452-analyze use
// it: the spectral figures, the sine fit seeded with their fundamental
// (skipped, fit.valid false, when there is none) and the cross-check.
// Arguments as StandardFigureEngine::compute.
void computeStandardSet(StandardFigureEngine& engine, const double* samples, int count, double sampleRateHz,
                        int windowType, int maxHarmonic, StandardFigures& figures, SineFit& fit);

}  // namespace h452
