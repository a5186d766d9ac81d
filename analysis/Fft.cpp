// Window coefficients, the FFT stage (fresh and with kept plans), levels and
// the frequency axis. See Fft.h.
#include "Fft.h"

#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

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

// The first bin holding the largest magnitude above 0: the first of equal
// maxima wins, NaN never does, an all-zero spectrum has its peak at 0.
int peakOf(const double* magnitudes, int binCount)
{
    const double best = largestAbove(magnitudes, binCount, 0.0);
    if (!(best > 0.0))
        return 0;
    int peak = 0;
    while (magnitudes[peak] != best)
        ++peak;
    return peak;
}

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
    return peakOf(magnitudes, half + 1);
}

// The prime-factor layout of a split rows x cols = N (coprime factors).
// Sample n sits at row n mod rows, column n mod cols (the Chinese remainder
// map): moving one column adds colStep to n, one row adds rowStep, and one
// step down the diagonal adds 1. Bin (k1, k2) of the two-dimensional
// transform is bin (k1 * cols + k2 * rows) mod N of the record (the
// Ruritanian map), with no twiddle factors between the two dimensions.
//
// The rows are split the same way once more: rows = d1 * d2 * ... (its prime
// powers), and row r is stored as the row (r mod d1, r mod d2, ...) of a
// d1 x d2 x ... array, so that the transform is FFTW's multi-dimensional one
// over (d1, d2, ..., cols) and the rows' dimension needs no twiddle factors
// either (1001 = 7 x 11 x 13 rows run in 9 ms where 1001 rows as one
// dimension take 12). Stored row p holds transform row k1 = sum (rows / dj)
// qj mod rows, where (q1, q2, ...) are p's indices.
struct SplitLayout {
    int rows = 0;
    int cols = 0;
    std::int64_t rowStep = 0;  // = 1 mod rows, = 0 mod cols
    std::int64_t colStep = 0;  // = 0 mod rows, = 1 mod cols
    std::vector<int> dims;         // d1, d2, ..., cols: the transform's dimensions
    std::vector<int> storedRow;    // per row r: where it is stored (rows values)
    std::vector<int> binRow;       // per stored row p: its transform row k1 (rows values)
};

// The prime powers of count, in increasing order of the prime.
std::vector<int> primePowers(int count)
{
    std::vector<int> powers;
    int rest = count;
    for (int p = 2; static_cast<long long>(p) * p <= rest; ++p) {
        if (rest % p != 0)
            continue;
        int q = 1;
        while (rest % p == 0) {
            rest /= p;
            q *= p;
        }
        powers.push_back(q);
    }
    if (rest > 1)
        powers.push_back(rest);
    return powers;
}

// x^-1 mod m for coprime x and m (m > 1).
std::int64_t inverseMod(std::int64_t x, std::int64_t m)
{
    std::int64_t a = x % m, b = m, u = 1, v = 0;
    while (b != 0) {
        const std::int64_t t = a / b;
        a -= t * b;
        std::swap(a, b);
        u -= t * v;
        std::swap(u, v);
    }
    return ((u % m) + m) % m;
}

SplitLayout layoutFor(CoprimeSplit split)
{
    SplitLayout l;
    l.rows = split.rows;
    l.cols = split.cols;
    const std::int64_t n = static_cast<std::int64_t>(split.rows) * split.cols;
    l.rowStep = split.cols * inverseMod(split.cols, split.rows) % n;
    l.colStep = split.rows * inverseMod(split.rows, split.cols) % n;
    const std::vector<int> rowDims = primePowers(split.rows);
    l.dims = rowDims;
    l.dims.push_back(split.cols);
    l.storedRow.assign(static_cast<std::size_t>(split.rows), 0);
    l.binRow.assign(static_cast<std::size_t>(split.rows), 0);
    for (int r = 0; r < split.rows; ++r) {
        int p = 0;  // row-major index of (r mod d1, r mod d2, ...)
        std::int64_t k1 = 0;
        for (const int d : rowDims) {
            const int q = r % d;
            p = p * d + q;
            k1 += static_cast<std::int64_t>(split.rows / d) * q;
        }
        l.storedRow[static_cast<std::size_t>(r)] = p;
        // Stored row p holds the indices (r mod dj); the same indices read as
        // frequencies give transform row k1.
        l.binRow[static_cast<std::size_t>(p)] = static_cast<int>(k1 % split.rows);
    }
    return l;
}

inline double windowed(double x, double w)
{
    return std::isfinite(x) ? x * w : 0.0;
}

// The window product into the rows x cols array. Row by row it would read
// the record with a stride of colStep, a new page for every sample; instead
// each pass takes kRowBlock rows and walks their diagonals, each of which
// holds kRowBlock consecutive samples, one in each row (wrapping past the
// last column and the last sample). The samples of the diagonal
// kPrefetchColumns further on are asked for early: no hardware prefetcher
// follows these jumps across pages.
constexpr int kRowBlock = 32;
constexpr int kPrefetchColumns = 8;

void fillSplitInput(const double* samples, const double* window, const SplitLayout& l, double* in)
{
    const std::int64_t n = static_cast<std::int64_t>(l.rows) * l.cols;
    const std::size_t rowLength = static_cast<std::size_t>(l.cols);
    double* row[kRowBlock];       // where rows r0 .. r0 + height - 1 are stored
    std::int64_t blockStart = 0;  // sample at (r0, 0)
    for (int r0 = 0; r0 < l.rows; r0 += kRowBlock) {
        const int height = std::min(kRowBlock, l.rows - r0);
        for (int i = 0; i < height; ++i)
            row[i] = in + static_cast<std::size_t>(l.storedRow[static_cast<std::size_t>(r0 + i)]) * rowLength;
        std::int64_t first = blockStart;  // sample at (r0, c)
        std::int64_t ahead = (first + kPrefetchColumns * l.colStep) % n;
        for (int c = 0; c < l.cols; ++c) {
            if (ahead + kRowBlock <= n) {
                for (int k = 0; k < kRowBlock; k += 8) {
                    __builtin_prefetch(samples + ahead + k);
                    __builtin_prefetch(window + ahead + k);
                }
            }
            if (first + height <= n && c + height <= l.cols) {
                const double* x = samples + first;
                const double* w = window + first;
                for (int i = 0; i < height; ++i)
                    row[i][c + i] = windowed(x[i], w[i]);
            } else {
                for (int i = 0; i < height; ++i) {
                    const std::int64_t m = (first + i) % n;
                    row[i][(c + i) % l.cols] = windowed(samples[m], window[m]);
                }
            }
            first += l.colStep;
            if (first >= n)
                first -= n;
            ahead += l.colStep;
            if (ahead >= n)
                ahead -= n;
        }
        blockStart = (blockStart + static_cast<std::int64_t>(height) * l.rowStep) % n;
    }
}

// Magnitudes of bins 0 .. N/2 from the rows x (cols/2 + 1) half-spectrum,
// and the peak bin found on the way (the same choice as peakOf()). A stored
// bin k above N/2 gives bin N - k, its mirror image (equal magnitude for
// real input), so every bin up to N/2 is reached. The first column, and the
// last when cols is even, hold each such pair twice; there only the bin up
// to N/2 is written, so that every magnitude is written once and the peak
// refers to the value kept.
int splitMagnitudesAndPeak(const fftw_complex* out, const SplitLayout& l, double sumOfWindow, double* magnitudes)
{
    const std::int64_t n = static_cast<std::int64_t>(l.rows) * l.cols;
    const std::int64_t half = n / 2;
    if (!(sumOfWindow > 0.0)) {
        std::fill(magnitudes, magnitudes + half + 1, 0.0);
        return 0;
    }
    const double norm = 0.5 * sumOfWindow;
    const int stored = l.cols / 2 + 1;
    const int pairedLast = l.cols % 2 == 0 ? stored - 1 : 0;  // 0: only the first column
    double best = 0.0;
    std::int64_t peak = 0;
    auto put = [&](std::int64_t bin, double m) {
        magnitudes[bin] = m;
        // The largest above 0, the lowest bin among equals; NaN never.
        if (m > best || (m == best && bin < peak && best > 0.0)) {
            best = m;
            peak = bin;
        }
    };
    for (int p = 0; p < l.rows; ++p) {
        const fftw_complex* row = out + static_cast<std::size_t>(p) * static_cast<std::size_t>(stored);
        // The bin of (k1, 0).
        std::int64_t bin = static_cast<std::int64_t>(l.binRow[static_cast<std::size_t>(p)]) * l.cols % n;
        for (int k2 = 0; k2 < stored; ++k2) {
            const double re = row[k2][0];
            const double im = row[k2][1];
            const double m = std::sqrt(re * re + im * im) / norm;
            if (bin <= half)
                put(bin, m);
            else if (k2 != 0 && k2 != pairedLast)
                put(n - bin, m);
            bin += l.rows;
            if (bin >= n)
                bin -= n;
        }
    }
    return static_cast<int>(peak);
}

// Kept arrays of the real-input transform and the windows. Those of 2 MiB
// or more start on a 2 MiB boundary and are offered to the kernel as huge
// pages: the prime-factor layout reads and writes them in jumps of a page
// or more, and with 4 KiB pages three 8 MB arrays need six thousand address
// translations, more than the processor keeps, so most jumps would walk the
// page tables. The complex transform keeps fftw_malloc's buffers, so that
// h452-analyze's plans and bits stay as they were.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using KeptArray = std::unique_ptr<T[], FreeDeleter>;

template <typename T>
KeptArray<T> allocateKept(std::size_t count)
{
    constexpr std::size_t kHugePage = std::size_t(2) << 20;
    const std::size_t bytes = sizeof(T) * count;
    const std::size_t alignment = bytes >= kHugePage ? kHugePage : 64;
    void* p = nullptr;
    if (bytes == 0 || ::posix_memalign(&p, alignment, bytes) != 0)
        return nullptr;
#ifdef __linux__
    if (bytes >= kHugePage)
        ::madvise(p, bytes, MADV_HUGEPAGE);  // a hint: without it, plain pages
#endif
    return KeptArray<T>(static_cast<T*>(p));
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

fftw_plan planSplitForward(const SplitLayout& l, double* in, fftw_complex* out)
{
    ensureFftwPlannerThreadSafe();
    std::lock_guard<std::mutex> lock(fftwPlannerMutex());
    return fftw_plan_dft_r2c(static_cast<int>(l.dims.size()), l.dims.data(), in, out, FFTW_ESTIMATE);
}

void destroyPlan(fftw_plan plan)
{
    if (!plan)
        return;
    std::lock_guard<std::mutex> lock(fftwPlannerMutex());
    fftw_destroy_plan(plan);
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

CoprimeSplit balancedCoprimeSplit(int count)
{
    if (count < kSplitMinCount)
        return {};
    // A split gives each prime power of count whole to one side.
    const std::vector<int> powers = primePowers(count);
    if (powers.size() < 2)
        return {};
    CoprimeSplit best;
    const unsigned subsets = 1u << powers.size();  // at most 2^9 below 2^31
    for (unsigned mask = 1; mask + 1 < subsets; ++mask) {
        long long a = 1;
        for (std::size_t i = 0; i < powers.size(); ++i) {
            if (mask & (1u << i))
                a *= powers[i];
        }
        const long long b = count / a;
        if (a < b || b < kSplitMinFactor)
            continue;
        if (!best.valid() || b > best.cols) {
            best.rows = static_cast<int>(a);
            best.cols = static_cast<int>(b);
        }
    }
    return best;
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

struct SpectrumEngine::SizeEntry {
    int count = 0;
    fftw_complex* in = nullptr;          // Complex: count values (fftw_malloc)
    fftw_complex* complexOut = nullptr;  // Complex: count values (fftw_malloc)
    KeptArray<double> realIn;            // RealInput: count values
    // RealInput: count/2 + 1 values, or more for a split
    KeptArray<fftw_complex> realOut;
    fftw_complex* out = nullptr;         // complexOut or realOut
    fftw_plan plan = nullptr;
    SplitLayout split;                   // rows == 0: the one-dimensional transform
    KeptArray<double> windows[kComputedWindowCount];  // count values each, once built
    double windowSums[kComputedWindowCount] = {};

    ~SizeEntry()
    {
        destroyPlan(plan);
        fftw_free(in);
        fftw_free(complexOut);
    }

    // Window product, transform and magnitudes of a real-input record.
    int transformReal(const double* samples, const double* window, double sum, double* magnitudes)
    {
        if (split.rows == 0)
            fillRealInput(samples, window, count, realIn.get());
        else
            fillSplitInput(samples, window, split, realIn.get());
        fftw_execute(plan);
        return split.rows == 0 ? magnitudesAndPeak(out, count, sum, magnitudes)
                               : splitMagnitudesAndPeak(out, split, sum, magnitudes);
    }

    // Plans the direct layout and the split in both orientations and keeps
    // the fastest (see RealLayout::Timed). Each runs twice on a silent
    // record; the faster run counts, so the first touch of the buffers and a
    // preempted run do not decide.
    void planFastestRealLayout(CoprimeSplit s)
    {
        std::vector<double> silence(static_cast<std::size_t>(count), 0.0);
        std::vector<double> flat(static_cast<std::size_t>(count), 1.0);
        std::vector<double> magnitudes(static_cast<std::size_t>(count / 2 + 1));
        const SplitLayout candidates[3] = {SplitLayout{}, layoutFor(s), layoutFor(CoprimeSplit{s.cols, s.rows})};
        fftw_plan bestPlan = nullptr;
        SplitLayout bestLayout;
        double bestSeconds = 0.0;
        for (const SplitLayout& layout : candidates) {
            plan = layout.rows == 0 ? planRealForward(count, realIn.get(), out)
                                    : planSplitForward(layout, realIn.get(), out);
            if (!plan)
                continue;
            split = layout;
            double seconds = 0.0;
            for (int run = 0; run < 2; ++run) {
                const auto start = std::chrono::steady_clock::now();
                transformReal(silence.data(), flat.data(), count, magnitudes.data());
                const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                seconds = run == 0 ? t : std::min(seconds, t);
            }
            if (!bestPlan || seconds < bestSeconds) {
                destroyPlan(bestPlan);
                bestPlan = plan;
                bestLayout = layout;
                bestSeconds = seconds;
            } else {
                destroyPlan(plan);
            }
        }
        plan = bestPlan;
        split = bestLayout;
    }
};

SpectrumEngine::SpectrumEngine(SpectrumTransform transform) : transform_(transform) {}
SpectrumEngine::~SpectrumEngine() = default;

void SpectrumEngine::release()
{
    entries_.clear();
}

void SpectrumEngine::setRealLayout(RealLayout layout)
{
    if (layout == realLayout_)
        return;
    entries_.clear();
    realLayout_ = layout;
}

CoprimeSplit SpectrumEngine::splitInUse(int count) const
{
    for (const auto& entry : entries_) {
        if (entry->count == count && entry->split.rows > 0)
            return CoprimeSplit{entry->split.rows, entry->split.cols};
    }
    return {};
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
        entry->complexOut = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * n));
        entry->out = entry->complexOut;
        if (!entry->in || !entry->out)
            return nullptr;
        entry->plan = planForward(count, entry->in, entry->out);
    } else {
        const CoprimeSplit split = realLayout_ == RealLayout::Direct ? CoprimeSplit{} : balancedCoprimeSplit(count);
        // Room for the half-spectrum of either layout.
        std::size_t outCount = n / 2 + 1;
        if (split.valid()) {
            const std::size_t rows = static_cast<std::size_t>(split.rows);
            const std::size_t cols = static_cast<std::size_t>(split.cols);
            outCount = std::max({outCount, rows * (cols / 2 + 1), cols * (rows / 2 + 1)});
        }
        entry->realIn = allocateKept<double>(n);
        entry->realOut = allocateKept<fftw_complex>(outCount);
        entry->out = entry->realOut.get();
        if (!entry->realIn || !entry->out)
            return nullptr;
        if (!split.valid()) {
            entry->plan = planRealForward(count, entry->realIn.get(), entry->out);
        } else if (realLayout_ == RealLayout::Split) {
            entry->split = layoutFor(split);
            entry->plan = planSplitForward(entry->split, entry->realIn.get(), entry->out);
        } else {
            entry->planFastestRealLayout(split);
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
    KeptArray<double>& w = entry->windows[type];
    if (!w) {
        w = allocateKept<double>(static_cast<std::size_t>(count));
        if (!w)
            return nullptr;
        buildWindow(type, w.get(), count);
        entry->windowSums[type] = windowSum(w.get(), count);
    }
    if (sum)
        *sum = entry->windowSums[type];
    return w.get();
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
    if (entry->realIn) {
        return entry->transformReal(samples, w, sum, magnitudes);
    }
    fillInput(samples, w, count, entry->in);
    fftw_execute(entry->plan);
    return magnitudesAndPeak(entry->out, count, sum, magnitudes);
}

}  // namespace h452
