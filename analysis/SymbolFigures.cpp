// Symbol decisions and constellation figures. See SymbolFigures.h.
#include "SymbolFigures.h"

#include "Constellation.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>

namespace h452 {

namespace {

using cplx = std::complex<double>;

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;
constexpr double kDegPerRad = 57.29577951308232;
constexpr int kMaxTrialPhases = 32;
constexpr int kBlockSymbols = 16;

double wrapPi(double a)
{
    return a - kTwoPi * std::floor((a + kPi) / kTwoPi);
}

int powerOf(int type)
{
    switch (type) {
    case kQpsk:
        return 4;
    case k8psk:
        return 8;
    case k16qam:
    case k64qam:
        return 4;
    default:
        return 2;
    }
}

int normalisedType(int type)
{
    return type >= kBpsk && type < kConstellationTypeCount ? type : kBpsk;
}

// Nearest grid level of a square QAM axis with `side` levels (2k - side + 1)
// / (side - 1).
double nearestLevel(double v, int side)
{
    const double half = (side - 1) / 2.0;
    double idx = std::nearbyint((v * (side - 1) + (side - 1)) / 2.0);
    idx = std::min(std::max(idx, 0.0), double(side - 1));
    return (idx - half) / half;
}

// Nearest ideal point, in closed form per type (no search over the set).
cplx decide(cplx s, int type)
{
    switch (type) {
    case kQpsk: {
        const double r = std::sqrt(0.5);
        return {s.real() >= 0 ? r : -r, s.imag() >= 0 ? r : -r};
    }
    case k8psk: {
        double a = std::atan2(s.imag(), s.real());
        if (a < 0)
            a += kTwoPi;
        const double k = std::min(std::floor(a / (kPi / 4)), 7.0);
        return std::polar(1.0, kPi / 8 + k * kPi / 4);
    }
    case k16qam:
        return {nearestLevel(s.real(), 4), nearestLevel(s.imag(), 4)};
    case k64qam:
        return {nearestLevel(s.real(), 8), nearestLevel(s.imag(), 8)};
    default:
        return {s.real() >= 0 ? 1.0 : -1.0, 0.0};
    }
}

cplx ipow(cplx z, int m)
{
    cplx r = z;
    for (int k = 1; k < m; ++k)
        r *= z;
    return r;
}

bool finite(cplx z)
{
    return std::isfinite(z.real()) && std::isfinite(z.imag());
}

// The M-th power whose mean is the tone the estimators follow. The plain
// power: for the QAM sets the outer points carry the tone (their fourth
// powers share one phase), the inner ones mostly add spread.
cplx tonePower(cplx z, int m)
{
    return ipow(z, m);
}

// Properties of the ideal set that the estimators and figures refer to.
struct IdealSet {
    double rms = 1.0;
    double peak = 1.0;
    // Where the M-th power tone of the set sits: arg of the mean of
    // tonePower(d, M). Taken with the same weighting as the
    // estimators use (a differently weighted mean can point the other way:
    // for 64QAM (d / |d|)^4 |d| does).
    double powerPhase = 0.0;
};

IdealSet idealSetOf(int type)
{
    std::vector<double> x, y;
    idealConstellation(type, x, y);
    const int m = powerOf(type);
    IdealSet set;
    double power = 0.0;
    double peak = 0.0;
    cplx sum = 0.0;
    for (std::size_t k = 0; k < x.size(); ++k) {
        const cplx d(x[k], y[k]);
        power += std::norm(d);
        peak = std::max(peak, std::abs(d));
        sum += tonePower(d, m);
    }
    set.rms = std::sqrt(power / double(x.size()));
    set.peak = peak;
    set.powerPhase = std::arg(sum);
    return set;
}

// The points with their carrier offset removed, sampled at the symbol
// instants first + phase + m * sps.
class SymbolSampler {
public:
    SymbolSampler(const double* i, const double* q, int count, double sps)
        : i_(i), q_(q), count_(count), sps_(sps)
    {
    }

    // Symbol count for a trial phase: the instants that lie between the
    // first and the last usable point.
    int symbolCount(double phase) const
    {
        const double span = double(last() - kDemodFilterHalfLength) - phase;
        return span < 0 ? 0 : int(std::floor(span / sps_)) + 1;
    }

    double instant(double phase, int m) const { return kDemodFilterHalfLength + phase + m * sps_; }

    // Linear interpolation between the two neighbouring points, turned back
    // by omega (radians per sample) at that instant. A non-finite neighbour
    // gives a non-finite point.
    cplx at(double t, double omega) const
    {
        const int k = std::min(int(std::floor(t)), last() - 1);
        const double f = t - k;
        const cplx a(i_[k], q_[k]);
        const cplx b(i_[k + 1], q_[k + 1]);
        return (a + (b - a) * f) * std::polar(1.0, -omega * t);
    }

    int last() const { return count_ - 1 - kDemodFilterHalfLength; }

private:
    const double* i_;
    const double* q_;
    int count_;
    double sps_;
};

// Residual carrier in radians per sample from the M-th power of every
// usable point: phase steps over lags 1, 4, 16 ... up to a quarter of the
// record, each unwrapped against the prediction of the previous estimate.
// Beyond one symbol the products pair independent symbols, whose M-th
// powers still share the mean tone, so the longer lags keep refining.
double coarseOffset(const double* i, const double* q, int count, int m)
{
    const int first = kDemodFilterHalfLength;
    const int last = count - 1 - kDemodFilterHalfLength;
    double power = 0.0;
    int used = 0;
    for (int k = first; k <= last; ++k) {
        const cplx z(i[k], q[k]);
        if (finite(z)) {
            power += std::norm(z);
            ++used;
        }
    }
    if (used == 0 || !(power > 0.0))
        return 0.0;
    const double scale = 1.0 / std::sqrt(power / used);
    std::vector<cplx> w(std::size_t(last - first + 1));
    for (int k = first; k <= last; ++k) {
        const cplx z = cplx(i[k], q[k]) * scale;
        w[std::size_t(k - first)] = finite(z) ? ipow(z, m) : cplx(0.0, 0.0);
    }
    double omega = 0.0;
    const int n = int(w.size());
    for (int lag = 1; lag <= n / 4; lag *= 4) {
        cplx r = 0.0;
        for (int k = lag; k < n; ++k)
            r += w[std::size_t(k)] * std::conj(w[std::size_t(k - lag)]);
        if (!(std::abs(r) > 0.0))
            break;
        const double predicted = m * omega * lag;
        const double measured = predicted + wrapPi(std::arg(r) - predicted);
        omega = measured / (m * lag);
    }
    return omega;
}

// Least-squares slope of y against x with weights w (0 when degenerate).
double weightedSlope(const std::vector<double>& x, const std::vector<double>& y, const std::vector<double>& w)
{
    double sw = 0, sx = 0, sy = 0;
    for (std::size_t k = 0; k < x.size(); ++k) {
        sw += w[k];
        sx += w[k] * x[k];
        sy += w[k] * y[k];
    }
    if (!(sw > 0))
        return 0.0;
    const double mx = sx / sw, my = sy / sw;
    double sxx = 0, sxy = 0;
    for (std::size_t k = 0; k < x.size(); ++k) {
        sxx += w[k] * (x[k] - mx) * (x[k] - mx);
        sxy += w[k] * (x[k] - mx) * (y[k] - my);
    }
    return sxx > 0 ? sxy / sxx : 0.0;
}

// One trial of a sampling phase: symbols, refined offset, fitted gain,
// decisions and the mean squared error (in ideal units).
struct Trial {
    double phase = 0.0;
    double omega = 0.0;
    cplx gain = 0.0;
    double meanSquareError = 0.0;
    bool ok = false;
    std::vector<cplx> s;   // symbols, offset removed, input units
    std::vector<cplx> d;   // decided ideal points
};

void sampleSymbols(const SymbolSampler& sampler, Trial& t)
{
    const int n = sampler.symbolCount(t.phase);
    t.s.clear();
    for (int m = 0; m < n; ++m) {
        const cplx z = sampler.at(sampler.instant(t.phase, m), t.omega);
        if (finite(z))
            t.s.push_back(z);
    }
}

// Gain from the M-th power (phase, up to the set's symmetry) and the rms
// (magnitude), then decide and refit twice.
void fitAndDecide(Trial& t, int type, const IdealSet& set)
{
    const int m = powerOf(type);
    double power = 0.0;
    cplx tone = 0.0;
    for (const cplx& z : t.s) {
        power += std::norm(z);
        tone += tonePower(z, m);
    }
    t.ok = false;
    if (t.s.empty() || !(power > 0.0))
        return;
    const double magnitude = std::sqrt(power / double(t.s.size())) / set.rms;
    t.gain = std::polar(magnitude, (std::arg(tone) - set.powerPhase) / m);
    t.d.resize(t.s.size());
    for (int pass = 0; pass < 3; ++pass) {
        cplx num = 0.0;
        double den = 0.0;
        for (std::size_t k = 0; k < t.s.size(); ++k) {
            t.d[k] = decide(t.s[k] / t.gain, type);
            num += t.s[k] * std::conj(t.d[k]);
            den += std::norm(t.d[k]);
        }
        if (!(std::abs(num) > 0.0) || !(den > 0.0))
            return;
        t.gain = num / den;
    }
    double error = 0.0;
    for (std::size_t k = 0; k < t.s.size(); ++k) {
        t.d[k] = decide(t.s[k] / t.gain, type);
        error += std::norm(t.s[k] / t.gain - t.d[k]);
    }
    t.meanSquareError = error / double(t.s.size());
    t.ok = std::isfinite(t.meanSquareError);
}

// Phase slope of the M-th power over blocks of symbols: turns the residual
// left by the coarse estimate into radians per sample.
double blockSlope(const Trial& t, int m, double sps)
{
    const int blocks = int(t.s.size()) / kBlockSymbols;
    if (blocks < 2)
        return 0.0;
    std::vector<double> x, y, w;
    double previous = 0.0;
    for (int b = 0; b < blocks; ++b) {
        cplx sum = 0.0;
        for (int k = 0; k < kBlockSymbols; ++k) {
            const cplx z = t.s[std::size_t(b * kBlockSymbols + k)];
            sum += tonePower(z, m);
        }
        double a = std::arg(sum);
        if (b > 0)
            a = previous + wrapPi(a - previous);
        previous = a;
        x.push_back((b + 0.5) * kBlockSymbols);
        y.push_back(a);
        w.push_back(std::abs(sum));
    }
    return weightedSlope(x, y, w) / (m * sps);
}

// Slope of the decided phase errors, radians per sample.
double decidedSlope(const Trial& t, double sps)
{
    std::vector<double> x, y, w;
    for (std::size_t k = 0; k < t.s.size(); ++k) {
        const cplx e = t.s[k] / t.gain * std::conj(t.d[k]);
        x.push_back(double(k));
        y.push_back(std::arg(e));
        w.push_back(std::norm(t.d[k]));
    }
    return weightedSlope(x, y, w) / sps;
}

// Samples, fits and decides at t.omega.
void settle(const SymbolSampler& sampler, Trial& t, int type, const IdealSet& set)
{
    sampleSymbols(sampler, t);
    fitAndDecide(t, type, set);
}

// Moves the offset by a refinement and keeps it only when the error drops:
// a slope taken from too noisy a phase track (the M-th power of a dense QAM
// set over short blocks can slip a cycle) must not undo a good estimate.
void refine(const SymbolSampler& sampler, Trial& t, int type, const IdealSet& set, double delta)
{
    if (!(delta != 0.0) || !std::isfinite(delta))
        return;
    const double omega = t.omega;
    const bool wasOk = t.ok;
    const double error = t.meanSquareError;
    t.omega = omega + delta;
    settle(sampler, t, type, set);
    if (t.ok && (!wasOk || t.meanSquareError < error))
        return;
    t.omega = omega;
    settle(sampler, t, type, set);
}

void runTrial(const SymbolSampler& sampler, Trial& t, int type, const IdealSet& set, double sps)
{
    settle(sampler, t, type, set);
    refine(sampler, t, type, set, blockSlope(t, powerOf(type), sps));
    if (t.ok)
        refine(sampler, t, type, set, decidedSlope(t, sps));
}

}  // namespace

void ConstellationFigures::setAllAbsent(const char* reason)
{
    for (MeasuredFigure* f : {&symbolRateHz, &carrierHz, &symbols, &evmRmsPercent, &evmRmsDb, &evmPeakPercent,
                              &merDb, &phaseErrorRmsDeg, &magnitudeErrorRmsPercent, &carrierOffsetHz,
                              &iqGainImbalanceDb, &quadratureErrorDeg})
        f->absent(reason);
}

void idealConstellation(int constellationType, std::vector<double>& x, std::vector<double>& y)
{
    x.clear();
    y.clear();
    switch (normalisedType(constellationType)) {
    case kQpsk:
    case k8psk: {
        const int n = constellationType == kQpsk ? 4 : 8;
        for (int k = 0; k < n; ++k) {
            const double a = kPi / n + k * kTwoPi / n;
            x.push_back(std::cos(a));
            y.push_back(std::sin(a));
        }
        break;
    }
    case k16qam:
    case k64qam: {
        const int side = constellationType == k16qam ? 4 : 8;
        const double half = (side - 1) / 2.0;
        for (int a = 0; a < side; ++a) {
            for (int b = 0; b < side; ++b) {
                x.push_back((a - half) / half);
                y.push_back((b - half) / half);
            }
        }
        break;
    }
    default:
        x = {-1.0, 1.0};
        y = {0.0, 0.0};
        break;
    }
}

void computeConstellationFigures(const double* i, const double* q, int count, double sampleRateHz,
                                 double carrierHz, double symbolRateHz, int constellationType,
                                 ConstellationFigures& figures, int keepSymbols)
{
    figures.symbolI.clear();
    figures.symbolQ.clear();
    figures.idealI.clear();
    figures.idealQ.clear();
    figures.timingPhaseSamples = std::numeric_limits<double>::quiet_NaN();
    figures.gain = std::numeric_limits<double>::quiet_NaN();
    if (!std::isfinite(symbolRateHz) || !(symbolRateHz > 0.0)) {
        figures.setAllAbsent(figurereason::kNoSymbolRate);
        return;
    }
    if (!std::isfinite(sampleRateHz) || !(sampleRateHz > 0.0)) {
        figures.setAllAbsent(figurereason::kNoSampleRate);
        return;
    }
    if (symbolRateHz > sampleRateHz / 2.0) {
        figures.setAllAbsent(figurereason::kSymbolRateTooHigh);
        return;
    }
    figures.setAllAbsent(figurereason::kTooFewSymbols);
    figures.symbolRateHz.set(symbolRateHz);
    const int type = normalisedType(constellationType);
    const double sps = sampleRateHz / symbolRateHz;
    // The usable span must hold kMinFigureSymbols symbol periods.
    if (!i || !q || count < 2 * kDemodFilterHalfLength + 2
        || double(count - 1 - 2 * kDemodFilterHalfLength) < (kMinFigureSymbols - 1) * sps)
        return;

    const IdealSet set = idealSetOf(type);
    const SymbolSampler sampler(i, q, count, sps);
    const double coarse = coarseOffset(i, q, count, powerOf(type));

    // Trial phases evenly over one symbol period. The error is smoothed over
    // neighbouring phases (the period wraps) before the least one is taken:
    // a lone phase near a symbol edge can score well by chance (inter-symbol
    // interference partly cancelling other errors), the middle of the flat
    // stretch is what a receiver samples.
    const int trials = std::max(1, std::min(kMaxTrialPhases, int(std::ceil(sps))));
    std::vector<double> error(std::size_t(trials), std::numeric_limits<double>::infinity());
    Trial trial;
    int most = 0;
    for (int p = 0; p < trials; ++p) {
        trial.phase = sps * p / trials;
        trial.omega = coarse;
        most = std::max(most, sampler.symbolCount(trial.phase));
        runTrial(sampler, trial, type, set, sps);
        if (trial.ok && int(trial.s.size()) >= kMinFigureSymbols)
            error[std::size_t(p)] = trial.meanSquareError;
    }
    int chosen = -1;
    double least = std::numeric_limits<double>::infinity();
    for (int p = 0; p < trials; ++p) {
        double e = error[std::size_t(p)];
        if (trials >= 8)
            e = 0.25 * error[std::size_t((p + trials - 1) % trials)] + 0.5 * e
                + 0.25 * error[std::size_t((p + 1) % trials)];
        if (e < least) {
            least = e;
            chosen = p;
        }
    }
    // Every smoothed error infinite but some phase worked: take the best alone.
    for (int p = 0; chosen < 0 && p < trials; ++p)
        if (std::isfinite(error[std::size_t(p)]) && (chosen < 0 || error[std::size_t(p)] < least))
            least = error[std::size_t(chosen = p)];
    if (chosen < 0) {
        // Every trial failed for lack of symbols or of any signal.
        if (most >= kMinFigureSymbols)
            figures.setAllAbsent(figurereason::kNoSignal);
        figures.symbolRateHz.set(symbolRateHz);
        return;
    }
    Trial best;
    best.phase = sps * chosen / trials;
    best.omega = coarse;
    runTrial(sampler, best, type, set, sps);

    const std::size_t n = best.s.size();
    double errorPower = 0.0, peakError = 0.0, phaseSq = 0.0, magnitudeSq = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        const cplx y = best.s[k] / best.gain;
        const cplx e = y - best.d[k];
        errorPower += std::norm(e);
        peakError = std::max(peakError, std::abs(e));
        const double phase = std::arg(y * std::conj(best.d[k]));
        phaseSq += phase * phase;
        const double dm = std::abs(y) - std::abs(best.d[k]);
        magnitudeSq += dm * dm;
    }
    const double evm = std::sqrt(errorPower / double(n)) / set.rms;
    figures.symbols.set(double(n));
    figures.evmRmsPercent.set(100.0 * evm);
    figures.evmRmsDb.set(20.0 * std::log10(evm + 1e-20));
    figures.evmPeakPercent.set(100.0 * peakError / set.peak);
    figures.merDb.set(-20.0 * std::log10(evm + 1e-20));
    figures.phaseErrorRmsDeg.set(std::sqrt(phaseSq / double(n)) * kDegPerRad);
    figures.magnitudeErrorRmsPercent.set(100.0 * std::sqrt(magnitudeSq / double(n)) / set.rms);
    // The mixer multiplies by e^{+j 2 pi fc t}: a carrier above fc turns the
    // points the negative way.
    const double offsetHz = -best.omega * sampleRateHz / kTwoPi;
    figures.carrierOffsetHz.set(offsetHz);
    if (std::isfinite(carrierHz) && carrierHz > 0.0)
        figures.carrierHz.set(carrierHz + offsetHz);
    else
        figures.carrierHz.absent(figurereason::kNoCarrier);

    // Widely-linear fit s = a d + b conj(d).
    double p = 0.0;
    cplx c = 0.0, d1 = 0.0, d2 = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        const cplx d = best.d[k];
        p += std::norm(d);
        c += d * d;
        d1 += std::conj(d) * best.s[k];
        d2 += d * best.s[k];
    }
    const double det = p * p - std::norm(c);
    if (type == kBpsk || !(det > 1e-6 * p * p)) {
        // The fit needs decisions off one line through the origin.
        const char* why = type == kBpsk ? figurereason::kBpskNoQAxis : figurereason::kOneAxis;
        figures.iqGainImbalanceDb.absent(why);
        figures.quadratureErrorDeg.absent(why);
    } else {
        const cplx a = (p * d1 - std::conj(c) * d2) / det;
        const cplx b = (p * d2 - c * d1) / det;
        const cplx ratio = (a - b) / (a + b);
        figures.iqGainImbalanceDb.set(20.0 * std::log10(std::abs(ratio) + 1e-20));
        figures.quadratureErrorDeg.set(std::arg(ratio) * kDegPerRad);
    }

    figures.timingPhaseSamples = best.phase;
    figures.gain = std::abs(best.gain);
    const std::size_t keep = std::min(n, std::size_t(std::max(0, keepSymbols)));
    for (std::size_t k = n - keep; k < n; ++k) {
        const cplx y = best.s[k] / best.gain;
        figures.symbolI.push_back(y.real());
        figures.symbolQ.push_back(y.imag());
        figures.idealI.push_back(best.d[k].real());
        figures.idealQ.push_back(best.d[k].imag());
    }
}

}  // namespace h452
