// Amplitude spectrum of one channel: window coefficients, the windowed complex
// FFT normalised to sine amplitude, the peak search, levels in dB relative to
// full scale and the frequency axis. fftMagnitude() plans and allocates afresh
// on every call (the reference); SpectrumEngine keeps plans, FFTW buffers and
// windows per size and window type (the per-frame path), with the same bits
// as the reference or, with the real-input transform, the same to rounding.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace h452 {

// Full-scale amplitude of a raw converter code; 0 dBFS.
constexpr double kFullScaleCode = 32767.0;

// Number of entries of the FFT-window choice list. Only indices 0 to 5 build a
// window of their own; 6 to 10 compute the rectangular window.
constexpr int kWindowListSize = 11;
constexpr int kComputedWindowCount = 6;

// The window actually built for a list index: the index itself for 0 to 5,
// 0 (rectangular) for anything else, including negative or out-of-range values.
int effectiveWindowType(int windowType);

// Bins on either side of a spectral line that belong to it for a list index:
// 0 rectangular, 3 Hann and Hamming, 4 flat top, Blackman and Gaussian,
// 0 for the list entries 6 to 10 (computed as rectangular).
int windowHalfWidthFor(int windowType);

// Fills coefficients[0 .. count-1] with the window of list index windowType.
// The angular constants are the nine-decimal values 6.283185307, 12.566370614,
// 18.849555921 and 25.132741228; the Gaussian is centred on (count-1)/2 for an
// odd count and on count/2 for an even count (one sample off-centre).
// A single-sample window is {1} for every type (the formulas divide 0 by 0
// there). count <= 0 writes nothing.
void buildWindow(int windowType, double* coefficients, int count);

// The FFT stage alone, planned and allocated afresh (estimate planning).
//   samples:    count raw codes (non-finite samples are taken as 0)
//   window:     count coefficients (from buildWindow)
//   count:      N, record length; N <= 0 does nothing and leaves *peakBin 0
//   peakBin:    out, strongest bin of A (first of equal maxima, DC included;
//               0 when no bin is above 0)
//   magnitudes: out, N/2 + 1 doubles A[0 .. N/2], normalised so that a sine of
//               amplitude a on a bin reads a: |X[k]| / (0.5 * sum of window).
//               A window whose sum is not above 0 (Hann, Blackman and flat top
//               of 2 samples) gives all zeros and no line, not NaN.
void fftMagnitude(const double* samples, const double* window, int count, int* peakBin,
                  double* magnitudes);

// The largest of values[0 .. count-1] that is above floor, or floor when
// none is (NaN never counts). The same value as a plain scan with a strict
// comparison, in four independent lanes so that the comparisons do not wait
// on each other (the plain scan ran at one comparison per four cycles).
double largestAbove(const double* values, int count, double floor);

// Level of one magnitude in dB relative to full scale: 20 log10(a/32767 + 1e-20).
double levelDbfs(double magnitude);

// Writes levels[k] = levelDbfs(magnitudes[k]) for k = 0 .. binCount-1.
void magnitudesToLevels(const double* magnitudes, int binCount, double* levels);

// Frequency in Hz of spectrum bin k of an N-sample record at sampleRateHz:
// F[N/2 + k] with F[j] = (j / N - 0.5) * fs, computed exactly in that form so
// that bin 10 of 1000 at 1 GS/s reads a few nanohertz above 10 MHz.
double binFrequencyHz(int bin, int count, double sampleRateHz);

// Fills frequencies[k] = binFrequencyHz(k, count, fs) for k = 0 .. count/2 - 1
// (count/2 entries).
void binFrequencyAxis(int count, double sampleRateHz, double* frequencies);

// FFTW's planner is not thread-safe and the device library plans in the same
// process. Every plan made or destroyed here runs under this lock, after the
// planner was made thread-safe once (fftw_make_planner_thread_safe); other
// code of the program that plans may take the same lock.
std::mutex& fftwPlannerMutex();
void ensureFftwPlannerThreadSafe();

// How a SpectrumEngine transforms a record.
//   Complex:   the complex transform of (x*w, 0), estimate planning; bit-identical
//              to fftMagnitude(). h452-analyze uses it so that stored reports
//              keep their bytes.
//   RealInput: a real-input transform of the same windowed record, estimate
//              planning. Only bins 0 .. N/2 are computed, which is all the
//              spectrum uses, at about half the cost for the long odd records
//              (999999 = 3^3*7*11*13*37 runs 40 ms complex, 22 ms real on one
//              core). Magnitudes equal the complex ones to rounding (relative
//              differences of a few 1e-16 of the largest bin); the peak bin is
//              the same except between two bins equal to those last bits.
//              Long records whose length splits into two coprime factors may
//              take the prime-factor layout below (RealLayout).
//              Measured plans were rejected: planning 999999 points with
//              FFTW_MEASURE took about two minutes for a 25 % faster transform.
enum class SpectrumTransform { Complex, RealInput };

// Two coprime factors rows * cols of a record length for the prime-factor
// (Good-Thomas) layout: the record read as a rows x cols array through the
// Chinese remainder map (the rows in turn as an array over rows' prime
// powers), transformed as a multi-dimensional real-input transform with no
// twiddle factors, and the bins read back through the Ruritanian map. {0, 0}
// when the length has no such split.
struct CoprimeSplit {
    int rows = 0;
    int cols = 0;
    bool valid() const { return rows > 0 && cols > 0; }
};

// The most balanced split of count into coprime factors of at least
// kSplitMinFactor each, larger factor first (rows >= cols), for count of at
// least kSplitMinCount; {0, 0} otherwise (powers of one prime, short records).
constexpr int kSplitMinCount = 16384;
constexpr int kSplitMinFactor = 16;
CoprimeSplit balancedCoprimeSplit(int count);

// Which layout a real-input SpectrumEngine uses for a record length.
//   Timed:  the default. For a length with a balanced coprime split, the
//           direct transform and the split in both orientations are run once
//           each (twice, the faster run counts) when the length is first seen,
//           and the fastest is kept with the length's plan; lengths without a
//           split transform directly. At 999999 samples the split 1001 x 999,
//           its rows stored as 7 x 11 x 13, runs in about 15 ms against 23 ms
//           direct (window product, transform and magnitudes on one core);
//           FFTW's estimate plan for the whole length spends most of its time
//           in a generic pass over the factor 37 with large strides, which the
//           split keeps inside rows of 999 samples. The first frame of a new
//           length pays for the trial runs once (about 0.2 s at 999999).
//           Equal to the direct layout to rounding, as every layout is.
//   Direct: always the one-dimensional transform.
//   Split:  the balanced split (larger factor as rows) wherever one exists;
//           tests use it to compare the layouts.
enum class RealLayout { Timed, Direct, Split };

// Kept plans, FFTW buffers and windows, per record length and window type.
// With SpectrumTransform::Complex (the default) results are bit-identical to
// fftMagnitude() with a fresh buildWindow():
// the same estimate-planned out-of-place complex plan on fftw_malloc buffers,
// the same window coefficients and the same summation order. (Estimate
// planning may reuse wisdom that more thorough planning of the same size left
// in the process; neither path here measures or imports wisdom.) Up to
// kKeptSizes record lengths are kept (least recently used one dropped), so a
// change of record length costs one planning and nothing grows without bound.
// Not thread-safe: one engine per thread (the analysis state owns one).
class SpectrumEngine {
public:
    static constexpr int kKeptSizes = 3;

    explicit SpectrumEngine(SpectrumTransform transform = SpectrumTransform::Complex);
    ~SpectrumEngine();
    SpectrumEngine(const SpectrumEngine&) = delete;
    SpectrumEngine& operator=(const SpectrumEngine&) = delete;

    // Same contract as fftMagnitude() with the window of list index windowType:
    // magnitudes receives N/2 + 1 doubles, the return value is the peak bin.
    // count <= 0 returns 0 and writes nothing.
    int magnitude(const double* samples, int count, int windowType, double* magnitudes);

    // The kept window of list index windowType for count samples (count
    // coefficients), and the sum of its coefficients in *sum when sum is set.
    // Valid until the next call on this engine. nullptr for count <= 0.
    const double* window(int windowType, int count, double* sum = nullptr);

    // Drops every kept plan, buffer and window.
    void release();

    // Switches the transform; kept plans of the other kind are dropped.
    void setTransform(SpectrumTransform transform);
    SpectrumTransform transform() const { return transform_; }

    // Switches the real-input layout choice; kept plans are dropped.
    void setRealLayout(RealLayout layout);
    RealLayout realLayout() const { return realLayout_; }

    // The split the kept plan of count samples uses: {0, 0} for a direct
    // transform (and for the complex one, or a length not kept).
    CoprimeSplit splitInUse(int count) const;

private:
    struct SizeEntry;
    SizeEntry* entryFor(int count);
    std::vector<std::unique_ptr<SizeEntry>> entries_;  // most recently used first
    SpectrumTransform transform_;
    RealLayout realLayout_ = RealLayout::Timed;
};

}  // namespace h452
