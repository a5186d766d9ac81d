// Window coefficients, the FFT stage (fresh and with kept plans), levels and
// the frequency axis. See Fft.h.
#include "Fft.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace h452 {

namespace {

// 2 pi, 4 pi, 6 pi and 8 pi rounded to nine decimals; the coefficient sets are
// defined with these literal values, not with M_PI.
constexpr double kTwoPi9 = 6.283185307;
constexpr double kFourPi9 = 12.566370614;
constexpr double kSixPi9 = 18.849555921;
constexpr double kEightPi9 = 25.132741228;

// Window product into the FFT input. A non-finite sample would turn every bin
// into NaN; it counts as 0.
void fillInput(const double* samples, const double* window, int count, fftw_complex* in)
{
    for (int i = 0; i < count; ++i) {
        const double x = samples[i];
        in[i][0] = std::isfinite(x) ? x * window[i] : 0.0;
        in[i][1] = 0.0;
    }
}

// The same product for the real-input transform.
void fillRealInput(const double* samples, const double* window, int count, double* in)
{
    for (int i = 0; i < count; ++i) {
        const double x = samples[i];
        in[i] = std::isfinite(x) ? x * window[i] : 0.0;
    }
}

// Sum of the window in index order (the order is part of the result's bits).
double windowSum(const double* window, int count)
{
    double sum = 0.0;
    for (int i = 0; i < count; ++i)
        sum += window[i];
    return sum;
}

int peakOf(const double* magnitudes, int half);

// Normalisation and peak search shared by both paths.
int magnitudesAndPeak(const fftw_complex* out, int count, double sumOfWindow, double* magnitudes)
{
    const int half = count / 2;
    // Tapered windows of two samples are all zero (or a hair below zero), so
    // their sum is no scale at all: report an empty spectrum without a line
    // rather than NaN or negative magnitudes.
    if (!(sumOfWindow > 0.0)) {
        std::fill(magnitudes, magnitudes + half + 1, 0.0);
        return 0;
    }
    const double norm = 0.5 * sumOfWindow;
    // Two passes: the first vectorises, the second is a plain scan.
    for (int k = 0; k <= half; ++k) {
        const double re = out[k][0];
        const double im = out[k][1];
        magnitudes[k] = std::sqrt(re * re + im * im) / norm;
    }
    return peakOf(magnitudes, half);
}

// The first bin of magnitudes[0 .. half] holding the largest magnitude above
// 0: the first of equal maxima wins, NaN never does, an all-zero spectrum has
// its peak at 0.
int peakOf(const double* magnitudes, int half)
{
    const double best = largestAbove(magnitudes, half + 1, 0.0);
    if (!(best > 0.0))
        return 0;
    int peak = 0;
    while (magnitudes[peak] != best)
        ++peak;
    return peak;
}

fftw_plan planForward(int count, fftw_complex* in, fftw_complex* out)
{
    ensureFftwPlannerThreadSafe();
    std::lock_guard<std::mutex> lock(fftwPlannerMutex());
    return fftw_plan_dft_1d(count, in, out, FFTW_FORWARD, FFTW_ESTIMATE);
}

fftw_plan planRealForward(int count, double* in, fftw_complex* out)
{
    ensureFftwPlannerThreadSafe();
    std::lock_guard<std::mutex> lock(fftwPlannerMutex());
    return fftw_plan_dft_r2c_1d(count, in, out, FFTW_ESTIMATE);
}

void destroyPlan(fftw_plan plan)
{
    if (!plan)
        return;
    std::lock_guard<std::mutex> lock(fftwPlannerMutex());
    fftw_destroy_plan(plan);
}

fftw_plan planRealForward2d(int rows, int columns, double* in, fftw_complex* out)
{
    ensureFftwPlannerThreadSafe();
    std::lock_guard<std::mutex> lock(fftwPlannerMutex());
    return fftw_plan_dft_r2c_2d(rows, columns, in, out, FFTW_ESTIMATE);
}

long long gcd(long long a, long long b)
{
    while (b != 0) {
        const long long t = a % b;
        a = b;
        b = t;
    }
    return a;
}

// Rows used together by the index permutations below: their elements lie
// close together in both orders, so whole cache lines are used.
constexpr int kPermutationBlock = 8;

// Window product into the rows x columns input of the split transform:
// element (r, c) takes sample (columns * r + rows * c) mod N. Rows go in
// blocks swept along their diagonals, so that the samples read together lie
// |columns - rows| apart instead of a row's stride apart.
void fillSplitInput(const double* samples, const double* permutedWindow, int rows, int columns, double* in)
{
    const long long n = static_cast<long long>(rows) * columns;
    for (int r0 = 0; r0 < rows; r0 += kPermutationBlock) {
        const int b = std::min(kPermutationBlock, rows - r0);
        long long src[kPermutationBlock];
        for (int j = 0; j < b; ++j)
            src[j] = static_cast<long long>(columns) * (r0 + j) % n;
        for (int m = 0; m < columns + b - 1; ++m) {
            for (int j = 0; j < b; ++j) {
                const int c = m - j;
                if (c < 0 || c >= columns)
                    continue;
                const std::size_t at = static_cast<std::size_t>(r0 + j) * columns + c;
                const double x = samples[src[j]];
                in[at] = std::isfinite(x) ? x * permutedWindow[at] : 0.0;
                src[j] += rows;
                if (src[j] >= n)
                    src[j] -= n;
            }
        }
    }
}

// Magnitudes of bins 0 .. N/2 from the split transform's output (rows x
// (columns/2 + 1) values): bin k sits at (k mod rows, k mod columns), or, in
// the half the real-input transform leaves out, at the mirrored position
// with the conjugate value (same magnitude). Bins k, k + rows, k + 2 rows ...
// share a row and walk along it, so blocks of rows are swept together.
void splitMagnitudes(const fftw_complex* out, int rows, int columns, double norm, double* magnitudes)
{
    const long long half = static_cast<long long>(rows) * columns / 2;
    const int kept = columns / 2 + 1;
    const int step = rows % columns;  // column advance from bin k to k + rows
    for (int r0 = 0; r0 < rows && r0 <= half; r0 += kPermutationBlock) {
        const int b = std::min(kPermutationBlock, rows - r0);
        int column[kPermutationBlock];
        const fftw_complex* row[kPermutationBlock];
        const fftw_complex* mirror[kPermutationBlock];
        for (int j = 0; j < b; ++j) {
            column[j] = (r0 + j) % columns;
            row[j] = out + static_cast<std::size_t>(r0 + j) * kept;
            mirror[j] = out + static_cast<std::size_t>((rows - (r0 + j)) % rows) * kept;
        }
        for (long long base = r0; base <= half; base += rows) {
            const int count = static_cast<int>(std::min<long long>(b, half - base + 1));
            for (int j = 0; j < count; ++j) {
                const int c = column[j];
                const fftw_complex& v = c < kept ? row[j][c] : mirror[j][columns - c];
                magnitudes[base + j] = std::sqrt(v[0] * v[0] + v[1] * v[1]) / norm;
                column[j] = c + step >= columns ? c + step - columns : c + step;
            }
        }
    }
}

}  // namespace

int effectiveWindowType(int windowType)
{
    return (windowType >= 0 && windowType < kComputedWindowCount) ? windowType : 0;
}

int windowHalfWidthFor(int windowType)
{
    static const int kHalfWidths[kComputedWindowCount] = {0, 3, 3, 4, 4, 4};
    return kHalfWidths[effectiveWindowType(windowType)];
}

void buildWindow(int windowType, double* coefficients, int count)
{
    if (!coefficients || count <= 0)
        return;
    const int type = effectiveWindowType(windowType);
    if (type == 0 || count == 1) {
        std::fill(coefficients, coefficients + count, 1.0);
        return;
    }
    const double d = static_cast<double>(count - 1);
    switch (type) {
    case 1:
        for (int i = 0; i < count; ++i)
            coefficients[i] = 0.5 * (1.0 - std::cos(kTwoPi9 * i / d));
        break;
    case 2:
        for (int i = 0; i < count; ++i)
            coefficients[i] = 0.54 - 0.46 * std::cos(kTwoPi9 * i / d);
        break;
    case 3:
        for (int i = 0; i < count; ++i) {
            const double r = i / d;
            coefficients[i] = 0.21557895 - 0.41663158 * std::cos(kTwoPi9 * r)
                + 0.277263158 * std::cos(kFourPi9 * r) - 0.083578947 * std::cos(kSixPi9 * r)
                + 0.006947368 * std::cos(kEightPi9 * r);
        }
        break;
    case 4:
        for (int i = 0; i < count; ++i)
            coefficients[i] = 0.42 - 0.5 * std::cos(kTwoPi9 * i / d) + 0.08 * std::cos(kFourPi9 * i / d);
        break;
    case 5: {
        // An even count centres on count/2, one sample right of the middle;
        // kept so that spectra match those taken before.
        const double centre = (count % 2 == 1) ? (count - 1) / 2 : count / 2;
        for (int i = 0; i < count; ++i) {
            const double u = (i - centre) * 8.192 / d;
            coefficients[i] = std::exp(-0.5 * (u * u));
        }
        break;
    }
    default:
        break;
    }
}

void fftMagnitude(const double* samples, const double* window, int count, int* peakBin,
                  double* magnitudes)
{
    if (peakBin)
        *peakBin = 0;
    if (count <= 0 || !samples || !window || !magnitudes)
        return;
    const std::size_t bytes = sizeof(fftw_complex) * static_cast<std::size_t>(count);
    auto* in = static_cast<fftw_complex*>(fftw_malloc(bytes));
    auto* out = static_cast<fftw_complex*>(fftw_malloc(bytes));
    if (!in || !out) {
        fftw_free(in);
        fftw_free(out);
        return;
    }
    fillInput(samples, window, count, in);
    const double sum = windowSum(window, count);
    fftw_plan plan = planForward(count, in, out);
    if (plan) {
        fftw_execute(plan);
        const int peak = magnitudesAndPeak(out, count, sum, magnitudes);
        if (peakBin)
            *peakBin = peak;
    }
    destroyPlan(plan);
    fftw_free(in);
    fftw_free(out);
}

double largestAbove(const double* values, int count, double floor)
{
    double lane[4] = {floor, floor, floor, floor};
    int k = 0;
    for (; k + 4 <= count; k += 4) {
        for (int j = 0; j < 4; ++j) {
            if (values[k + j] > lane[j])
                lane[j] = values[k + j];
        }
    }
    for (; k < count; ++k) {
        if (values[k] > lane[0])
            lane[0] = values[k];
    }
    double best = floor;
    for (double v : lane) {
        if (v > best)
            best = v;
    }
    return best;
}

double levelDbfs(double magnitude)
{
    return 20.0 * std::log10(magnitude / kFullScaleCode + 1e-20);
}

void magnitudesToLevels(const double* magnitudes, int binCount, double* levels)
{
    for (int k = 0; k < binCount; ++k)
        levels[k] = levelDbfs(magnitudes[k]);
}

double binFrequencyHz(int bin, int count, double sampleRateHz)
{
    if (count <= 0)
        return 0.0;
    const int j = count / 2 + bin;
    return (static_cast<double>(j) / count - 0.5) * sampleRateHz;
}

void binFrequencyAxis(int count, double sampleRateHz, double* frequencies)
{
    const int half = count / 2;
    for (int k = 0; k < half; ++k)
        frequencies[k] = binFrequencyHz(k, count, sampleRateHz);
}

std::mutex& fftwPlannerMutex()
{
    // Never destroyed: an engine that outlives static destruction (a global
    // analysis state) still destroys its plans under a valid lock.
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

void ensureFftwPlannerThreadSafe()
{
    static std::once_flag once;
    std::call_once(once, [] { fftw_make_planner_thread_safe(); });
}

// ---------------------------------------------------------------------------

namespace {

// The real-input transform of an odd length N = rows x columns with
// coprime factors is a two-dimensional rows x columns transform of the
// samples taken in a permuted order, with no twiddle factors between the
// dimensions (Good and Thomas), read back in another permuted order. For
// 999999 = 1001 x 999 the two-dimensional transform takes about 60 % of the
// one-dimensional one (15 against 26 ms), the two permutations about as
// long as the plain window product and magnitudes they replace. The split
// is taken for odd lengths from kSplitMinimum on whose most balanced coprime
// split has factors at most kSplitSpread apart, so that the blocked
// permutations read neighbouring samples; even lengths keep FFTW's own
// half-length complex transform, which is fast already.
constexpr int kSplitMinimum = 1 << 16;
constexpr int kSplitSpread = 16;

struct Split {
    int rows = 0;
    int columns = 0;
};

Split splitFor(int count)
{
    Split split;
    if (count < kSplitMinimum || count % 2 == 0)
        return split;
    for (int d = static_cast<int>(std::sqrt(static_cast<double>(count))); d >= 2; --d) {
        if (count % d == 0 && gcd(d, count / d) == 1) {
            if (count / d - d <= kSplitSpread) {
                split.rows = count / d;
                split.columns = d;
            }
            break;
        }
    }
    return split;
}

}  // namespace

struct SpectrumEngine::SizeEntry {
    int count = 0;
    fftw_complex* in = nullptr;      // Complex: count values
    double* realIn = nullptr;        // RealInput: count values
    // count values (Complex) or count/2 + 1 (RealInput)
    fftw_complex* out = nullptr;
    fftw_plan plan = nullptr;
    // RealInput of a split length: rows x columns input, rows x (columns/2 + 1)
    // output, and each window in the input's order.
    int rows = 0;
    int columns = 0;
    std::vector<double> permutedWindows[kComputedWindowCount];
    std::vector<double> windows[kComputedWindowCount];
    double windowSums[kComputedWindowCount] = {};

    ~SizeEntry()
    {
        destroyPlan(plan);
        fftw_free(in);
        fftw_free(realIn);
        fftw_free(out);
    }
};

SpectrumEngine::SpectrumEngine(SpectrumTransform transform) : transform_(transform) {}
SpectrumEngine::~SpectrumEngine() = default;

void SpectrumEngine::release()
{
    entries_.clear();
}

void SpectrumEngine::setTransform(SpectrumTransform transform)
{
    if (transform == transform_)
        return;
    entries_.clear();
    transform_ = transform;
}

SpectrumEngine::SizeEntry* SpectrumEngine::entryFor(int count)
{
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i]->count == count) {
            if (i != 0)
                std::rotate(entries_.begin(), entries_.begin() + i, entries_.begin() + i + 1);
            return entries_.front().get();
        }
    }
    auto entry = std::make_unique<SizeEntry>();
    entry->count = count;
    const std::size_t n = static_cast<std::size_t>(count);
    if (transform_ == SpectrumTransform::Complex) {
        entry->in = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * n));
        entry->out = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * n));
        if (!entry->in || !entry->out)
            return nullptr;
        entry->plan = planForward(count, entry->in, entry->out);
    } else {
        const Split split = splitFor(count);
        const std::size_t outCount = split.rows > 0
            ? static_cast<std::size_t>(split.rows) * static_cast<std::size_t>(split.columns / 2 + 1)
            : n / 2 + 1;
        entry->realIn = static_cast<double*>(fftw_malloc(sizeof(double) * n));
        entry->out = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * outCount));
        if (!entry->realIn || !entry->out)
            return nullptr;
        if (split.rows > 0) {
            entry->rows = split.rows;
            entry->columns = split.columns;
            entry->plan = planRealForward2d(split.rows, split.columns, entry->realIn, entry->out);
        } else {
            entry->plan = planRealForward(count, entry->realIn, entry->out);
        }
    }
    if (!entry->plan)
        return nullptr;
    if (static_cast<int>(entries_.size()) >= kKeptSizes)
        entries_.pop_back();
    entries_.insert(entries_.begin(), std::move(entry));
    return entries_.front().get();
}

const double* SpectrumEngine::window(int windowType, int count, double* sum)
{
    if (count <= 0)
        return nullptr;
    SizeEntry* entry = entryFor(count);
    if (!entry)
        return nullptr;
    const int type = effectiveWindowType(windowType);
    std::vector<double>& w = entry->windows[type];
    if (w.size() != static_cast<std::size_t>(count)) {
        w.resize(static_cast<std::size_t>(count));
        buildWindow(type, w.data(), count);
        entry->windowSums[type] = windowSum(w.data(), count);
        if (entry->rows > 0) {
            const long long rows = entry->rows;
            const long long columns = entry->columns;
            std::vector<double>& p = entry->permutedWindows[type];
            p.resize(static_cast<std::size_t>(count));
            for (long long r = 0; r < rows; ++r) {
                long long src = columns * r % count;
                for (long long c = 0; c < columns; ++c) {
                    p[static_cast<std::size_t>(r * columns + c)] = w[static_cast<std::size_t>(src)];
                    src += rows;
                    if (src >= count)
                        src -= count;
                }
            }
        }
    }
    if (sum)
        *sum = entry->windowSums[type];
    return w.data();
}

int SpectrumEngine::magnitude(const double* samples, int count, int windowType, double* magnitudes)
{
    if (count <= 0 || !samples || !magnitudes)
        return 0;
    double sum = 0.0;
    const double* w = window(windowType, count, &sum);
    if (!w)
        return 0;
    SizeEntry* entry = entries_.front().get();
    if (entry->rows > 0) {
        const std::vector<double>& p = entry->permutedWindows[effectiveWindowType(windowType)];
        fillSplitInput(samples, p.data(), entry->rows, entry->columns, entry->realIn);
        fftw_execute(entry->plan);
        const int half = count / 2;
        if (!(sum > 0.0)) {
            std::fill(magnitudes, magnitudes + half + 1, 0.0);
            return 0;
        }
        splitMagnitudes(entry->out, entry->rows, entry->columns, 0.5 * sum, magnitudes);
        return peakOf(magnitudes, half);
    }
    if (entry->realIn)
        fillRealInput(samples, w, count, entry->realIn);
    else
        fillInput(samples, w, count, entry->in);
    fftw_execute(entry->plan);
    return magnitudesAndPeak(entry->out, count, sum, magnitudes);
}

}  // namespace h452
