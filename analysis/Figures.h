// The eight figures of the measurements table, per channel, and the routines
// that derive them from a magnitude spectrum (see Fft.h for A[k]).
// All sums run over squared magnitudes; non-finite magnitudes are skipped.
#pragma once

namespace h452 {

// One channel's figures in table order. All 0 at start-up; kept across frames
// until overwritten.
struct ChannelFigures {
    double nsdDbm = 0.0;    // "NSD(dBm)": noise power scaled to dBm
    double nsdNv = 0.0;     // "NSD(nV)": the same noise as rms nV across 50 ohm
    double snrDb = 0.0;     // "SNR": line plus harmonics over noise, dB
    double enobBits = 0.0;  // "ENOB": (SNR - 1.76) / 6.02, bits
    double maxDbfs = 0.0;   // "MAX(dBFS)": level of the strongest line, dB
    double frequMhz = 0.0;  // "Frequ(MHz)": frequency of the strongest line, MHz
    double sfdrDb = 0.0;    // "SFDR": highest spur minus the line, dB (negative)
    double sinadDb = 0.0;   // "SINAD": line over everything else, dB

    static constexpr int kCount = 8;
    // Figure number 0 .. 7 in table order (0 for any other number).
    double value(int column) const;
};

// Column headers of the eight figures, in table order.
extern const char* const kFigureHeaders[ChannelFigures::kCount];

// In all routines below: magnitudes holds A[0 .. count/2] (count/2 + 1
// doubles), count is the record length N, peakBin the line P
// (0 <= P <= N/2), halfWidth the window's half-width h (bins on each side).

// SNR in dB: harmonic power (m = 1..5 with m*P <= N/2, bins m*P-h .. m*P+h
// inside 0 .. N/2-1, a bin in two windows counted twice) over the noise
// T - harmonics, T being the power of bins 1 .. N/2. +inf when the noise is
// not above 0. Also writes NSD(dBm) = 10 log10(noise * 1.4358870086591545e-15)
// and NSD(nV) = sqrt(10^(NSD/10) * 50 / 1000) * 1e9 when the pointers are set.
double computeSnr(const double* magnitudes, int count, int peakBin, int halfWidth, double* nsdDbm,
                  double* nsdNv);

// SINAD in dB: the line's power S1 (bins P-h .. P+h inside 0 .. N/2) over
// T - S1; +inf when T - S1 is not above 0.
double computeSinad(const double* magnitudes, int count, int peakBin, int halfWidth);

// SFDR in dB: the highest bin k in 0 .. N/2-1 with |k - P| > h (starting
// from -200 dB, levels 20 log10(A + 1e-20) without full-scale division)
// minus the line's level. Reads magnitudes only.
double computeSfdr(const double* magnitudes, int count, int peakBin, int halfWidth);

// ENOB in bits from SNR in dB.
double computeEnob(double snrDb);

// The six figures computed from the spectrum (NSD dBm and nV, SNR, SINAD,
// SFDR, ENOB) in that order; MAX(dBFS) and Frequ(MHz) are left alone.
void computeSpectrumFigures(const double* magnitudes, int count, int peakBin, int halfWidth,
                            ChannelFigures& figures);

// Whether a channel's line is usable for the table: 1 <= P < N/2 for
// channel 0, 1 <= P < N/2 - 5 for channels 1 to 3.
bool isLineUsable(int channel, int peakBin, int count);

// Sets MAX(dBFS) and Frequ(MHz) for a usable line, or clears SNR, ENOB,
// MAX(dBFS), SFDR, SINAD and Frequ(MHz) (the NSD figures keep their values)
// when not usable. Returns true when the axes should be fitted: a usable line
// whose frequency moved by 20 % or more (old * 0.8 >= new or new >= old * 1.2,
// so the first line after a cleared frequency always asks).
//   levelAtPeakDbfs: L[P]; lineFrequencyHz: F[N/2 + P].
bool applyLineFigures(ChannelFigures& figures, bool usable, double levelAtPeakDbfs,
                      double lineFrequencyHz);

}  // namespace h452
