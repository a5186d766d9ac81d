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
    // The first bin holding the largest magnitude above 0: the first of equal
    // maxima wins, NaN never does, an all-zero spectrum has its peak at 0.
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

struct SpectrumEngine::SizeEntry {
    int count = 0;
    fftw_complex* in = nullptr;      // Complex: count values
    double* realIn = nullptr;        // RealInput: count values
    // count values (Complex) or count/2 + 1 (RealInput)
    fftw_complex* out = nullptr;
    fftw_plan plan = nullptr;
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
        entry->realIn = static_cast<double*>(fftw_malloc(sizeof(double) * n));
        entry->out = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * (n / 2 + 1)));
        if (!entry->realIn || !entry->out)
            return nullptr;
        entry->plan = planRealForward(count, entry->realIn, entry->out);
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
    if (entry->realIn)
        fillRealInput(samples, w, count, entry->realIn);
    else
        fillInput(samples, w, count, entry->in);
    fftw_execute(entry->plan);
    return magnitudesAndPeak(entry->out, count, sum, magnitudes);
}

}  // namespace h452
