// The IEEE 1241 figure set of one channel's record, computed beside the
// table's own eight figures (Figures.h) and independent of them: its own
// transform of the record, its own window form, its own full scale. The
// table's figures and their computation stay as they are; this set is what
// a converter datasheet or another analyser reports, with warnings that say
// when a figure cannot be trusted.
//
// Definitions (x[i] the N raw codes, w[i] the window, fs the sample rate):
//  - Window: the periodic (DFT-even) form of the chosen list entry,
//    d = i / N with exact multiples of pi: rectangular; Hann
//    0.5 - 0.5 cos(2 pi d); Hamming 0.54 - 0.46 cos(2 pi d); flat top and
//    Blackman with the coefficients of Fft.h; Gaussian
//    exp(-0.5 ((i - N/2) * 8.192 / N)^2). List entries 6 .. 10 (and anything
//    out of range) use the rectangular window, as the spectrum view does.
//  - Transform: real-to-complex DFT X[k] of x[i] w[i], k = 0 .. N/2.
//  - Bin power, normalised for noise so that a white sequence of mean square
//    s2 sums to s2 and a coherent sine of amplitude a sums to a^2/2 over its
//    bins: p[k] = c |X[k]|^2 / (N * S2), S2 = sum w^2, c = 2 for the
//    one-sided bins 0 < k < N/2 and c = 1 for DC and (even N) the Nyquist bin.
//  - ENBW = N * S2 / S1^2 (S1 = sum w), from the coefficients applied. The
//    amplitude-normalised power of a bin (what a sine centred on it reads)
//    is p[k] * ENBW; the largest-spur search uses it.
//  - Full scale: a sine of peak 32768, power Pfs = 32768^2 / 2.
//  - Tone-owned bins: each tone owns the bins k - h .. k + h around its bin
//    k (clipped to 0 .. N/2), h being the bins that hold all but -100 dBc of
//    a coherent tone's power with the window. Measured with a coherent tone
//    at bins 101, 1000 and 1500 of 4096, 16384 and 65536 samples, two
//    phases, largest h over all (power outside the owned bins in brackets):
//        rectangular 0 (exact), Hann 1 (exact), Hamming 1 (exact),
//        flat top 4 (exact), Blackman 2 (exact), Gaussian 16 (9.7e-11).
//    (A cosine-sum window of m terms leaks nothing beyond m - 1 bins; the
//    Gaussian's kink at the record ends keeps a slow skirt, hence 16.)
//  - Tones in order: DC (bin 0), the fundamental (the strongest bin above
//    DC's owned bins), harmonics m = 2 .. K. A bin owned by an earlier tone
//    stays with it: a bin owned twice is counted once.
//  - Fundamental: P1 = sum of p over its owned bins; its frequency is the
//    power-weighted centre of those bins times fs / N (exact for a coherent
//    tone, close for a tone between bins); level = 10 log10(P1 / Pfs) dBFS.
//  - Harmonic m lands at m * f1 folded about Nyquist and DC: b = m f1 mod N
//    (in bins), N - b when above N/2, rounded to the nearest bin; its power
//    Pm is the sum of p over the bins it owns; level 10 log10(Pm / P1) dBc.
//  - Spur line: the strongest bin no tone owns then owns its bins as well
//    (power Ps over weight Ws); it is noise, but counted as measured: a
//    discrete spur scaled like the white floor would be overstated by the
//    share of tone-owned bins (1 % with Gaussian's 33-bin lines).
//  - Noise: the bins nobody owns, sum Pr over a weight Wr (2 per one-sided
//    bin, 1 for DC and Nyquist), scaled to the rest of the band, plus the
//    spur line: Pn = Pr * (N - Ws) / Wr + Ps. A spur that is not a harmonic
//    is noise here (it counts in SNR).
//  - SINAD = 10 log10(P1 / (D + Pn)), D = sum of the harmonic powers;
//    SNR = 10 log10(P1 / Pn); THD = 10 log10(D / P1) (negative, dBc).
//  - SFDR: the largest spur, harmonic or not, over the bins DC and the
//    fundamental do not own: max(p[k] * ENBW, Pm); SFDR dBc = 10 log10(P1 /
//    spur), dBFS = 10 log10(Pfs / spur); both positive.
//  - ENOB = (SINAD - 1.76) / 6.02; full-scale-referred ENOB uses
//    SINADfs = 10 log10(Pfs / (D + Pn)) instead.
//  - NSD = 10 log10(Pn / Pfs / (fs / 2)) dBFS/Hz; equal to the average
//    amplitude-normalised noise bin over ENBW * fs / N.
//
// Warnings, and the figures each one makes absent (NaN, JSON null):
//  clipping                 codes at 32767 or -32768; figures kept (they
//                           describe the record, the sentence says why).
//  dc_dominant              DC's line above the fundamental's; figures kept
//                           (DC is excluded from every figure).
//  non_coherent_rectangular rectangular window and a tone between bins (a
//                           neighbour of the peak above -60 dBc and 100x the
//                           median bin): every figure but the fundamental's
//                           frequency and level, harmonic levels.
//  harmonic_on_fundamental, harmonic_on_dc
//                           a folded harmonic's bin inside the fundamental's
//                           or DC's owned bins: THD and that harmonic's level.
//  harmonic_windows_overlap two tone windows share bins otherwise: the level
//                           of each harmonic involved; THD too when the
//                           fundamental's or DC's window is involved.
//  tone_near_dc, tone_near_nyquist
//                           the fundamental's owned bins reach DC's owned
//                           bins or the Nyquist bin (its image falls on it):
//                           every figure but the fundamental's frequency.
//  low_signal               fundamental below -40 dBFS: ENOB (the
//                           full-scale-referred ENOB stays meaningful). A
//                           record without any line leaves every figure
//                           absent.
//  fit_disagrees            set by the caller from the sine fit (SineFit.h).
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

namespace h452 {

// Full scale of the standard set: a sine of peak 32768.
constexpr double kStandardFullScaleCode = 32768.0;
constexpr int kDefaultMaxHarmonic = 6;
constexpr int kMaxHarmonicLimit = 50;
// Records shorter than this give no standard figures (every figure absent).
constexpr int kStandardMinSamples = 8;

// A figure that is absent (no line, or a warning makes it meaningless).
constexpr double kAbsent = std::numeric_limits<double>::quiet_NaN();

enum class FigureWarning : std::uint32_t {
    Clipping = 1u << 0,
    DcDominant = 1u << 1,
    NonCoherentRectangular = 1u << 2,
    HarmonicOnFundamental = 1u << 3,
    HarmonicOnDc = 1u << 4,
    HarmonicWindowsOverlap = 1u << 5,
    ToneNearDc = 1u << 6,
    ToneNearNyquist = 1u << 7,
    LowSignal = 1u << 8,
    FitDisagrees = 1u << 9,
};
constexpr int kFigureWarningCount = 10;

// Warning number 0 .. kFigureWarningCount-1 as a flag, its short code
// ("clipping", ...) and an English sentence; nullptr outside the range.
FigureWarning figureWarningAt(int index);
const char* figureWarningCode(int index);
const char* figureWarningSentence(int index);

struct HarmonicLine {
    int order = 0;          // 2 .. K
    int bin = 0;            // bin it lands on after folding
    double freqHz = 0.0;    // frequency after folding
    double levelDbc = 0.0;  // NaN when a warning makes it absent
};

struct StandardFigures {
    double fundamentalHz = kAbsent;
    double fundamentalDbfs = kAbsent;
    double sinadDb = kAbsent;
    double snrDb = kAbsent;
    double thdDb = kAbsent;
    double sfdrDbc = kAbsent;
    double sfdrDbfs = kAbsent;
    double enobBits = kAbsent;
    double enobFsBits = kAbsent;
    double nsdDbfsPerHz = kAbsent;
    int fundamentalBin = 0;
    double fundamentalBins = kAbsent;  // frequency in bins (cycles per record)
    int halfWidth = 0;            // owned bins on each side with this window
    std::vector<HarmonicLine> harmonics;  // orders 2 .. K in order
    std::uint32_t warnings = 0;   // FigureWarning flags

    bool has(FigureWarning w) const { return (warnings & static_cast<std::uint32_t>(w)) != 0; }
    void raise(FigureWarning w) { warnings |= static_cast<std::uint32_t>(w); }

    static constexpr int kCount = 10;
    // Scalar figure 0 .. 9 in the order above; NaN for any other number.
    double value(int index) const;
};

// JSON names of the ten scalar figures in value() order.
extern const char* const kStandardFigureKeys[StandardFigures::kCount];

// Owned half-width h of the measured table above, for a list index (entries
// 6 .. 10 and out-of-range values: rectangular, 0).
int standardHalfWidthFor(int windowType);

// Fills coefficients[0 .. count-1] with the periodic window of the list index.
void buildPeriodicWindow(int windowType, double* coefficients, int count);

// Kept transform plan, buffers and window for the last record length and
// window type (replanned when either changes). Not thread-safe: one per thread.
class StandardFigureEngine {
public:
    StandardFigureEngine();
    ~StandardFigureEngine();
    StandardFigureEngine(const StandardFigureEngine&) = delete;
    StandardFigureEngine& operator=(const StandardFigureEngine&) = delete;

    //   samples:      count raw codes (non-finite samples are taken as 0)
    //   count:        N; below kStandardMinSamples every figure is absent
    //   sampleRateHz: fs, finite and above 0 (else frequencies and NSD absent)
    //   windowType:   FFT-window list index
    //   maxHarmonic:  K, clamped to 2 .. kMaxHarmonicLimit
    //   out:          the figures, harmonics and warnings (fit_disagrees not set)
    void compute(const double* samples, int count, double sampleRateHz, int windowType, int maxHarmonic,
                 StandardFigures& out);

private:
    void prepare(int count, int windowType);
    int count_ = 0;
    int windowType_ = -1;
    double* input_ = nullptr;
    void* output_ = nullptr;  // fftw_complex[count/2 + 1]
    void* plan_ = nullptr;    // fftw_plan
    std::vector<double> window_;
    std::vector<double> power_;
    std::vector<int> owner_;
    std::vector<double> floor_;
};

// One-shot form of StandardFigureEngine::compute (plans afresh).
void computeStandardFigures(const double* samples, int count, double sampleRateHz, int windowType,
                            int maxHarmonic, StandardFigures& out);

}  // namespace h452
