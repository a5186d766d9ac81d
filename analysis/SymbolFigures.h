// Symbol decisions and constellation figures from the demodulated points.
//
// The demodulator (Constellation.h) gives one point per sample, mixed down
// with the frequency of the strongest spectral line. For a PSK or QAM signal
// that line lies anywhere in the modulated lobe, so the points still turn at
// the residual carrier offset. Given the symbol rate, this file:
//   1. estimates that offset from the M-th power of the points (M = 2, 4, 8
//      for BPSK, QPSK, 8PSK; 4 for 16QAM and 64QAM), where the modulation
//      vanishes and a tone at M times the offset remains: its phase step over
//      lags of 1, 4, 16 ... samples (up to a quarter of the record), each
//      lag resolving the ambiguity of the next;
//   2. refines it from the phase slope of the M-th power over blocks of 16
//      symbols, and once more from the slope of the decided phase errors,
//      each refinement kept only when it lowers the error (a noisy phase
//      track of a dense QAM set can slip a cycle);
//   3. picks the sampling phase within one symbol period (up to 32 trial
//      phases, linear interpolation between samples) that gives the smallest
//      error, smoothed over neighbouring phases (1/4, 1/2, 1/4) when there
//      are 8 or more, so a phase near a symbol edge that scores well by
//      chance does not win over the flat middle;
//   4. decides each symbol to the nearest ideal point after a least-squares
//      complex gain (gain and phase) fit. Ideal sets: BPSK +-1; QPSK and 8PSK
//      on the unit circle at the odd multiples of pi/4 and pi/8; 16QAM and
//      64QAM on the square grids {+-1, +-1/3} and {+-1, +-5/7, +-3/7, +-1/7}.
//
// The first and last 15 points (the filter's half length, where the
// demodulator repeats its nearest full output) are never used.
//
// Figures (each absent with a reason when it cannot be computed):
//   EVM rms: rms error vector over the rms of the ideal set (all its points
//     equally likely), in % and in dB (20 log10); EVM peak: the largest error
//     vector over the largest ideal point, %; MER = -20 log10(EVM rms), the
//     same reference. No I/Q imbalance is removed before the EVM: it counts
//     as error, as it does for a receiver.
//   Phase error rms (degrees): angle of measured over decided point.
//   Magnitude error rms (%): |measured| - |decided|, over the ideal rms.
//   Carrier offset (Hz): positive when the carrier lies above the mixer's
//     frequency; the carrier is that frequency plus the offset.
//   I/Q gain imbalance (dB) and quadrature error (degrees), from the
//     widely-linear fit measured = a d + b conj(d): the images of the ideal I
//     and Q axes are a + b and j(a - b); imbalance 20 log10(|a-b| / |a+b|)
//     (Q gain over I gain), quadrature error arg((a-b) / (a+b)) (how far the
//     Q axis' image lies beyond 90 degrees from the I axis' image), both as
//     seen on the demodulated points. Absent for BPSK (no Q axis) and when
//     every decision lies on one line through the origin.
#pragma once

#include "MeasuredFigure.h"

#include <vector>

namespace h452 {

// Fewer symbols than this give no figures ("too few symbols").
constexpr int kMinFigureSymbols = 20;

struct ConstellationFigures {
    MeasuredFigure symbolRateHz;
    MeasuredFigure carrierHz;
    MeasuredFigure symbols;
    MeasuredFigure evmRmsPercent;
    MeasuredFigure evmRmsDb;
    MeasuredFigure evmPeakPercent;
    MeasuredFigure merDb;
    MeasuredFigure phaseErrorRmsDeg;
    MeasuredFigure magnitudeErrorRmsPercent;
    MeasuredFigure carrierOffsetHz;
    MeasuredFigure iqGainImbalanceDb;
    MeasuredFigure quadratureErrorDeg;

    // How the figures were obtained (NaN when no symbols were decided): the
    // sampling phase in samples after the first usable point (index 15), the
    // magnitude of the fitted gain (input units per ideal unit).
    double timingPhaseSamples = 0.0;
    double gain = 0.0;

    // The last symbols (at most the count asked for), corrected into the
    // ideal set's scale and orientation, and the ideal point each was
    // decided to: the error vector runs from ideal to measured.
    std::vector<double> symbolI, symbolQ, idealI, idealQ;

    // Sets every figure absent with the same reason.
    void setAllAbsent(const char* reason);
};

// Decisions and figures of count demodulated points (i, q: count doubles
// each) at sampleRateHz, mixed with carrierHz (the line frequency; a
// non-finite or non-positive value leaves the carrier figure absent), for a
// symbol rate symbolRateHz (0, negative or non-finite: not set) and a
// modulation type 0 .. 4 (other values: BPSK). keepSymbols: how many of the
// last decided symbols to copy into the point lists (0: none).
void computeConstellationFigures(const double* i, const double* q, int count, double sampleRateHz,
                                 double carrierHz, double symbolRateHz, int constellationType,
                                 ConstellationFigures& figures, int keepSymbols = 0);

// The ideal set of a type, as listed above (2, 4, 8, 16 or 64 points).
//   x, y: cleared, then receive the points.
void idealConstellation(int constellationType, std::vector<double>& x, std::vector<double>& y);

}  // namespace h452
