// The IEEE 1241 figure set. See StandardFigures.h for every definition.
#include "StandardFigures.h"

#include "Fft.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace h452 {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct WarningText {
    const char* code;
    const char* sentence;
};

// In flag order (bit 0 first).
const WarningText kWarnings[kFigureWarningCount] = {
    {"clipping", "Codes at 32767 or -32768: the converter clipped and the figures include that distortion."},
    {"dc_dominant", "The largest line is DC: the tone may be weaker than the offset."},
    {"non_coherent_rectangular",
     "The tone lies between bins with the rectangular window: leakage dominates the noise and distortion "
     "figures."},
    {"harmonic_on_fundamental", "A folded harmonic lands on the fundamental's bins: THD misses it."},
    {"harmonic_on_dc", "A folded harmonic lands on DC's bins: THD misses it."},
    {"harmonic_windows_overlap", "The bins of two tones overlap: the levels of the harmonics involved are "
                                 "not separable."},
    {"tone_near_dc", "The fundamental's bins reach DC's bins: its level and the figures are not reliable."},
    {"tone_near_nyquist", "The fundamental's bins reach the Nyquist bin: its image overlaps it."},
    {"low_signal", "The fundamental is below -40 dBFS: ENOB describes the signal, not the converter."},
    {"fit_disagrees", "The sine fit's ENOB and the full-scale spectral ENOB differ by more than 0.5 bit."},
};

// Owned half-widths per computed window (list index 0 .. 5), measured as the
// header states.
constexpr int kOwnedHalfWidth[kComputedWindowCount] = {0, 1, 1, 4, 2, 16};

double db(double ratio)
{
    return 10.0 * std::log10(ratio);
}

}  // namespace

const char* const kStandardFigureKeys[StandardFigures::kCount] = {
    "fundamental_hz", "fundamental_dbfs", "sinad_db", "snr_db", "thd_db",
    "sfdr_dbc", "sfdr_dbfs", "enob_bits", "enob_fs_bits", "nsd_dbfs_per_hz"};

FigureWarning figureWarningAt(int index)
{
    return static_cast<FigureWarning>(1u << (index >= 0 && index < kFigureWarningCount ? index : 31));
}

const char* figureWarningCode(int index)
{
    return index >= 0 && index < kFigureWarningCount ? kWarnings[index].code : nullptr;
}

const char* figureWarningSentence(int index)
{
    return index >= 0 && index < kFigureWarningCount ? kWarnings[index].sentence : nullptr;
}

double StandardFigures::value(int index) const
{
    const double values[kCount] = {fundamentalHz, fundamentalDbfs, sinadDb,  snrDb,      thdDb,
                                   sfdrDbc,       sfdrDbfs,        enobBits, enobFsBits, nsdDbfsPerHz};
    return index >= 0 && index < kCount ? values[index] : kAbsent;
}

int standardHalfWidthFor(int windowType)
{
    return kOwnedHalfWidth[effectiveWindowType(windowType)];
}

void buildPeriodicWindow(int windowType, double* coefficients, int count)
{
    const int type = effectiveWindowType(windowType);
    for (int i = 0; i < count; ++i) {
        const double d = static_cast<double>(i) / count;
        const double c1 = std::cos(2.0 * kPi * d);
        const double c2 = std::cos(4.0 * kPi * d);
        double w = 1.0;
        switch (type) {
        case 1:
            w = 0.5 - 0.5 * c1;
            break;
        case 2:
            w = 0.54 - 0.46 * c1;
            break;
        case 3:
            w = 0.21557895 - 0.41663158 * c1 + 0.277263158 * c2 - 0.083578947 * std::cos(6.0 * kPi * d)
                + 0.006947368 * std::cos(8.0 * kPi * d);
            break;
        case 4:
            w = 0.42 - 0.5 * c1 + 0.08 * c2;
            break;
        case 5: {
            const double t = (i - count / 2) * 8.192 / count;
            w = std::exp(-0.5 * t * t);
            break;
        }
        default:
            break;
        }
        coefficients[i] = w;
    }
}

StandardFigureEngine::StandardFigureEngine() = default;

StandardFigureEngine::~StandardFigureEngine()
{
    if (plan_) {
        std::lock_guard<std::mutex> lock(fftwPlannerMutex());
        fftw_destroy_plan(static_cast<fftw_plan>(plan_));
    }
    fftw_free(input_);
    fftw_free(output_);
}

void StandardFigureEngine::prepare(int count, int windowType)
{
    if (count != count_) {
        ensureFftwPlannerThreadSafe();
        std::lock_guard<std::mutex> lock(fftwPlannerMutex());
        if (plan_)
            fftw_destroy_plan(static_cast<fftw_plan>(plan_));
        fftw_free(input_);
        fftw_free(output_);
        input_ = fftw_alloc_real(static_cast<std::size_t>(count));
        auto* out = fftw_alloc_complex(static_cast<std::size_t>(count / 2 + 1));
        output_ = out;
        plan_ = fftw_plan_dft_r2c_1d(count, input_, out, FFTW_ESTIMATE);
        count_ = count;
        windowType_ = -1;
        power_.assign(static_cast<std::size_t>(count / 2 + 1), 0.0);
        owner_.assign(power_.size(), -1);
    }
    const int type = effectiveWindowType(windowType);
    if (type != windowType_) {
        window_.resize(static_cast<std::size_t>(count));
        buildPeriodicWindow(type, window_.data(), count);
        windowType_ = type;
    }
}

void StandardFigureEngine::compute(const double* samples, int count, double sampleRateHz, int windowType,
                                   int maxHarmonic, StandardFigures& out)
{
    out = StandardFigures{};
    const int h = standardHalfWidthFor(windowType);
    out.halfWidth = h;
    if (!samples || count < kStandardMinSamples)
        return;
    const int half = count / 2;
    const int k2 = std::clamp(maxHarmonic, 2, kMaxHarmonicLimit);
    const bool rateOk = std::isfinite(sampleRateHz) && sampleRateHz > 0.0;
    const double binHz = rateOk ? sampleRateHz / count : kAbsent;

    prepare(count, windowType);
    double s1 = 0.0;
    double s2 = 0.0;
    for (int i = 0; i < count; ++i) {
        const double x = samples[i];
        if (x >= 32767.0 || x <= -32768.0)
            out.raise(FigureWarning::Clipping);
        input_[i] = std::isfinite(x) ? x * window_[i] : 0.0;
        s1 += window_[i];
        s2 += window_[i] * window_[i];
    }
    fftw_execute(static_cast<fftw_plan>(plan_));
    const auto* spectrum = static_cast<const fftw_complex*>(output_);
    const double enbw = count * s2 / (s1 * s1);
    auto weight = [&](int k) { return (k == 0 || (2 * k == count)) ? 1.0 : 2.0; };
    for (int k = 0; k <= half; ++k) {
        const double re = spectrum[k][0];
        const double im = spectrum[k][1];
        power_[k] = weight(k) * (re * re + im * im) / (count * s2);
    }

    // Fundamental: the strongest bin above DC's owned bins (first of equals).
    int k1 = -1;
    for (int k = h + 1; k <= half; ++k)
        if (k1 < 0 || power_[k] > power_[k1])
            k1 = k;
    if (k1 < 0 || !(power_[k1] > 0.0)) {
        out.raise(FigureWarning::LowSignal);
        return;
    }
    out.fundamentalBin = k1;

    // Ownership: 0 DC, 1 fundamental, 2 + j harmonic of order j + 2.
    std::fill(owner_.begin(), owner_.end(), -1);
    double pDc = 0.0;
    for (int k = 0; k <= std::min(h, half); ++k) {
        owner_[k] = 0;
        pDc += power_[k];
    }
    const int f0 = std::max(0, k1 - h);
    const int f9 = std::min(half, k1 + h);
    double p1 = 0.0;
    double moment = 0.0;
    for (int k = f0; k <= f9; ++k) {
        if (owner_[k] >= 0)
            continue;
        owner_[k] = 1;
        p1 += power_[k];
        moment += k * power_[k];
    }
    const bool nearDc = k1 - h <= h;
    const bool nearNyquist = k1 + h >= half;
    if (nearDc)
        out.raise(FigureWarning::ToneNearDc);
    if (nearNyquist)
        out.raise(FigureWarning::ToneNearNyquist);
    if (pDc > p1)
        out.raise(FigureWarning::DcDominant);
    const double f1Bins = moment / p1;
    const double fs = kStandardFullScaleCode * kStandardFullScaleCode / 2.0;
    out.fundamentalBins = f1Bins;
    out.fundamentalHz = f1Bins * binHz;
    out.fundamentalDbfs = db(p1 / fs);

    // Harmonics, folded about Nyquist and DC.
    bool thdBad = false;
    std::vector<double> pm(static_cast<std::size_t>(k2 - 1), 0.0);
    std::vector<bool> levelBad(pm.size(), false);
    out.harmonics.resize(pm.size());
    for (int m = 2; m <= k2; ++m) {
        const int j = m - 2;
        double pos = std::fmod(m * f1Bins, static_cast<double>(count));
        if (pos > count / 2.0)
            pos = count - pos;
        const int b = std::clamp(static_cast<int>(std::lround(pos)), 0, half);
        HarmonicLine& line = out.harmonics[static_cast<std::size_t>(j)];
        line.order = m;
        line.bin = b;
        line.freqHz = pos * binHz;
        bool landed = false;
        if (b >= f0 && b <= f9) {
            out.raise(FigureWarning::HarmonicOnFundamental);
            landed = true;
        } else if (b <= h) {
            out.raise(FigureWarning::HarmonicOnDc);
            landed = true;
        }
        if (landed) {
            thdBad = true;
            levelBad[static_cast<std::size_t>(j)] = true;
        }
        for (int k = std::max(0, b - h); k <= std::min(half, b + h); ++k) {
            const int o = owner_[k];
            if (o < 0) {
                owner_[k] = 2 + j;
                pm[static_cast<std::size_t>(j)] += power_[k];
                continue;
            }
            if (landed || o == 2 + j)
                continue;
            out.raise(FigureWarning::HarmonicWindowsOverlap);
            levelBad[static_cast<std::size_t>(j)] = true;
            if (o >= 2)
                levelBad[static_cast<std::size_t>(o - 2)] = true;
            else
                thdBad = true;
        }
    }

    double d = 0.0;
    for (double p : pm)
        d += p;
    // The largest line no tone owns (a spur that is no harmonic, or the
    // highest noise bin) owns its bins too; its power joins the noise as
    // measured. Scaling it with the white floor would count a discrete spur
    // as if the tone-owned bins held more of it.
    const int spurOwner = 2 + k2 - 1;
    int ks = -1;
    for (int k = 0; k <= half; ++k)
        if (owner_[k] < 0 && (ks < 0 || power_[k] > power_[ks]))
            ks = k;
    double pSpurLine = 0.0;
    if (ks >= 0)
        for (int k = std::max(0, ks - h); k <= std::min(half, ks + h); ++k)
            if (owner_[k] < 0) {
                owner_[k] = spurOwner;
                pSpurLine += power_[k];
            }
    double pr = 0.0;
    double wr = 0.0;
    double spurWeight = 0.0;
    double spur = 0.0;
    for (int k = 0; k <= half; ++k) {
        const int o = owner_[k];
        if (o == spurOwner)
            spurWeight += weight(k);
        if (o < 0) {
            pr += power_[k];
            wr += weight(k);
        }
        if (o != 0 && o != 1)
            spur = std::max(spur, power_[k] * enbw);
    }
    for (std::size_t j = 0; j < pm.size(); ++j) {
        HarmonicLine& line = out.harmonics[j];
        line.levelDbc = levelBad[j] ? kAbsent : db(pm[j] / p1);
        if (!levelBad[j])
            spur = std::max(spur, pm[j]);
    }
    const double pn = wr > 0.0 ? pr * (count - spurWeight) / wr + pSpurLine : kAbsent;

    out.sinadDb = db(p1 / (d + pn));
    out.snrDb = db(p1 / pn);
    out.thdDb = thdBad ? kAbsent : db(d / p1);
    out.sfdrDbc = db(p1 / spur);
    out.sfdrDbfs = db(fs / spur);
    out.enobBits = (out.sinadDb - 1.76) / 6.02;
    out.enobFsBits = (db(fs / (d + pn)) - 1.76) / 6.02;
    out.nsdDbfsPerHz = rateOk ? db(pn / fs / (sampleRateHz / 2.0)) : kAbsent;

    // Rectangular window and a tone between bins: its neighbours carry
    // leakage far above the noise floor.
    if (h == 0) {
        const double nb = std::max(k1 > 1 ? power_[k1 - 1] : 0.0, k1 < half ? power_[k1 + 1] : 0.0);
        floor_.assign(power_.begin() + 1, power_.end());
        std::nth_element(floor_.begin(), floor_.begin() + floor_.size() / 2, floor_.end());
        const double median = floor_[floor_.size() / 2];
        if (nb > 1e-6 * power_[k1] && nb > 100.0 * median)
            out.raise(FigureWarning::NonCoherentRectangular);
    }
    if (out.fundamentalDbfs < -40.0)
        out.raise(FigureWarning::LowSignal);

    const bool toneBad = nearDc || nearNyquist;
    if (toneBad || out.has(FigureWarning::NonCoherentRectangular)) {
        if (toneBad)
            out.fundamentalDbfs = kAbsent;
        out.sinadDb = out.snrDb = out.thdDb = out.sfdrDbc = out.sfdrDbfs = kAbsent;
        out.enobBits = out.enobFsBits = out.nsdDbfsPerHz = kAbsent;
        for (HarmonicLine& line : out.harmonics)
            line.levelDbc = kAbsent;
    }
    if (out.has(FigureWarning::LowSignal))
        out.enobBits = kAbsent;
}

void computeStandardFigures(const double* samples, int count, double sampleRateHz, int windowType,
                            int maxHarmonic, StandardFigures& out)
{
    StandardFigureEngine engine;
    engine.compute(samples, count, sampleRateHz, windowType, maxHarmonic, out);
}

}  // namespace h452
