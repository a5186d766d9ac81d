// Spectrum markers: the strongest line, the harmonic frequencies H2 .. H5 as
// they appear after folding about the Nyquist frequency, and the ordered list
// of local peaks that "next peak" steps through. They read whatever trace is
// shown (single frame, average or peak hold), given as levels per bin.
#pragma once

namespace h452 {

// Highest harmonic order that gets a marker.
constexpr int kHighestMarkerHarmonic = 5;

// Strongest bin of levels[firstBin .. binCount-1] (first of equal maxima;
// non-finite levels skipped). -1 when that range is empty or holds no
// finite level. firstBin 1 skips DC, which is no line a user hunts for.
int strongestBin(const double* levels, int binCount, int firstBin);

// Frequency at which a tone at frequencyHz shows in a spectrum sampled at
// sampleRateHz: folded into 0 .. fs/2 (reflected at every multiple of fs/2).
// Non-finite input or fs <= 0 gives NaN.
double foldedFrequencyHz(double frequencyHz, double sampleRateHz);

// Folded frequencies of harmonics 2 .. kHighestMarkerHarmonic of the line at
// fundamentalHz: out receives kHighestMarkerHarmonic - 1 doubles (H2 first).
void harmonicMarkerFrequencies(double fundamentalHz, double sampleRateHz, double* out);

// Nearest bin to frequencyHz on a spectrum of binCount bins spaced
// sampleRateHz / recordLength apart from 0 Hz, clamped to 0 .. binCount-1;
// -1 for NaN input, recordLength <= 0 or binCount <= 0.
int binNearestFrequency(double frequencyHz, int recordLength, double sampleRateHz, int binCount);

// Local peaks of levels[1 .. binCount-1], strongest first: a bin is a peak
// when no bin within halfWidth on either side is higher (ties go to the
// lower bin), so one windowed line gives one peak. Up to maxPeaks bins are
// written to peakBins (maxPeaks ints); returns how many.
int findPeaks(const double* levels, int binCount, int halfWidth, int* peakBins, int maxPeaks);

// The "next peak" step: the position after current in a peak list of count
// entries (from findPeaks), wrapping to the strongest after the last.
// -1 when the list is empty.
int nextPeakIndex(int current, int count);

}  // namespace h452
