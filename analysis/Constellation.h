// Constellation demodulation: a real record is mixed down with its line
// frequency, both branches are low-pass filtered by a 31-tap windowed sinc,
// the common phase offset against the selected modulation's ideal phases is
// removed and PSK points are scaled to a mean radius of 1. No symbol timing,
// no decimation: every sample becomes one point.
#pragma once

#include <vector>

namespace h452 {

// Modulation index of the choice list.
enum ConstellationType { kBpsk = 0, kQpsk = 1, k8psk = 2, k16qam = 3, k64qam = 4 };
constexpr int kConstellationTypeCount = 5;

constexpr int kDemodFilterTaps = 31;
constexpr int kDemodFilterHalfLength = 15;

// Fills taps[0 .. 30] (n = -15 .. 15): sin(n wc) / (n pi), wc / pi at n = 0,
// wc = cutoffHz * 2 pi / sampleRateHz, times the Hamming taper
// 0.54 - 0.46 cos(t * 2 pi / 30). No unit-DC normalisation.
void designDemodFilter(double sampleRateHz, double cutoffHz, double* taps);

// Redesigns taps (31 doubles, written) for (fs, cutoff) and filters data[0 ..
// count-1] in place, zero-phase: outputs 15 .. count-16 are the full
// convolution, the first and last 15 repeat the nearest full output. Records
// of 15 samples or fewer stay unchanged; records of 16 to 30 samples are
// convolved with the taps that fall inside the record (zeros outside), which
// keeps the record's length and smooths it like the longer case. Nothing
// happens for fs <= 0, count <= 0 or a missing pointer.
//   scratch: count doubles of working space, or nullptr to allocate one.
void lowPassFilter(double* data, int count, double sampleRateHz, double cutoffHz, double* taps,
                   double* scratch = nullptr);

// Ideal phases in radians, [0, 2 pi), for a type (0 .. 4): BPSK {0, pi}, QPSK
// the odd multiples of pi/4, 8PSK the odd multiples of pi/8, 16QAM and 64QAM
// the sorted distinct angles of their square grids. Any other type: BPSK.
void referencePhases(int constellationType, std::vector<double>& phases);

// Common phase offset in radians, within [-pi, pi], of the points (i[k], q[k])
// for k in the middle 80 % of the record (all when count < 10), each point's
// distance to its nearest ideal phase weighted by its radius. Points with
// non-finite coordinates or a radius not above 1e-10 are skipped; 0 when none
// qualifies. phases: the list of referencePhases(type), or nullptr to build it.
double estimatePhaseOffset(const double* i, const double* q, int count, int constellationType,
                           const std::vector<double>* phases = nullptr);

// Rotates every point by minus the estimated offset (offsets within 1e-6 rad
// count as 0; a non-finite offset leaves the points alone), then for the PSK
// types divides the finite points by their mean radius (over radii above
// 1e-10; divisor 1 when that mean is below 1e-10). QAM points are not scaled.
void correctConstellationPhase(double* i, double* q, int count, int constellationType);

// The whole chain on count samples (raw codes) at fs with carrier fc (Hz):
// mixing with phase (k / fs) * (fc * 2 pi), cut-off fc / 2 (0.9 * fs / 2 when
// fc / 2 is above fs / 2), the low-pass on both branches, phase correction.
//   iOut, qOut: count doubles each, written.
//   taps: 31 doubles, receives the filter last designed (the demodFilterTaps).
//   scratch: count doubles of working space, or nullptr to allocate one.
void demodulateConstellation(const double* samples, double* iOut, double* qOut, int count,
                             double sampleRateHz, double carrierHz, int constellationType,
                             double* taps, double* scratch = nullptr);

// How the chain evaluates its mixer's cosines and sines and the estimate's
// angles.
//   Exact: the C library's cos, sin and atan2 per sample (h452-analyze, whose
//          reports keep their bytes).
//   Fast:  the live window's: the same phases (k / fs) * (fc * 2 pi) through
//          sinCosFast() and the angles through atan2Fast(), a few times
//          cheaper and within about 2 units in the last place of the exact
//          values, so the points equal the exact chain's to rounding. On
//          records of 31 samples or more (fs > 0) it also runs the mixer,
//          the filter and the sums of the estimate and of the mean radius in
//          one pass over cache-sized blocks, folds the filter's symmetric
//          taps (16 products instead of 31), and measures the PSK types'
//          offsets from the point folded into the first quadrant instead of
//          its angle and a search of the phase list (a point exactly between
//          two ideal phases may take the other one). Still the exact chain's
//          points to rounding.
enum class DemodArithmetic { Exact, Fast };

// Largest |phase| in radians sinCosFast() takes (2^25 quarter turns); the
// chain falls back to the exact functions for records whose phase runs
// beyond it (above 16 Mi samples at fs / 2).
constexpr double kFastPhaseLimit = 5.2e7;

// cosOut[k] = cos(phases[k]) and sinOut[k] = sin(phases[k]) for k = 0 ..
// count-1 (three arrays of count doubles), within 2 units in the last place
// of a correctly rounded result, two at a time. A phase outside
// +-kFastPhaseLimit or not finite gives the C library's value.
void sinCosFast(const double* phases, double* cosOut, double* sinOut, int count);

// atan2(y, x) within 2 units in the last place, the same quadrant and sign
// conventions (zeros, infinities and NaN are passed to the C library).
double atan2Fast(double y, double x);

// Rotates every point by -offsetRad (an offset within 1e-6 rad counts as 0;
// a non-finite offset leaves the points alone), then for the PSK types
// divides the finite points by their mean radius (divisor 1 when that mean
// is below 1e-10 or no radius is above 1e-10). The second half of
// correctConstellationPhase().
void rotateConstellation(double* i, double* q, int count, int constellationType, double offsetRad);

// estimatePhaseOffset() with the chosen arithmetic for the angles.
double estimatePhaseOffsetWith(DemodArithmetic arithmetic, const double* i, const double* q, int count,
                               int constellationType, const std::vector<double>* phases = nullptr);

// demodulateConstellation() with the chosen arithmetic (same arrays and
// sizes); Exact gives the same bits as demodulateConstellation().
void demodulateConstellationWith(DemodArithmetic arithmetic, const double* samples, double* iOut, double* qOut,
                                 int count, double sampleRateHz, double carrierHz, int constellationType,
                                 double* taps, double* scratch = nullptr);

// Start index of the demodulated part of an N-sample frame: the first
// smallest sample among the first trunc(fs / fc) samples (limited to N);
// 0 when that count is 0 or the inputs are unusable (fc not above 0).
int constellationStart(const double* samples, int count, double sampleRateHz, double carrierHz);

// The scale the constellation chart divides by: for 16QAM and 64QAM the
// largest |i| or |q| over points with both coordinates finite (1 when none or
// 0); 1 for the PSK types.
double constellationChartScale(const double* i, const double* q, int count, int constellationType);

// Guide drawing of a type, in drawing order: nothing for BPSK, the unit
// circle in 361 points (one degree apart) for QPSK and 8PSK, the square for
// 16QAM, the square with its third lines for 64QAM.
void constellationReference(int constellationType, std::vector<double>& x, std::vector<double>& y);

}  // namespace h452
