// Four-parameter sine fit. See SineFit.h.
#include "SineFit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace h452 {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Solves the n x n system m x = v (n <= 4) by elimination with partial
// pivoting; false when a pivot vanishes.
bool solve(double m[4][4], double v[4], int n)
{
    for (int c = 0; c < n; ++c) {
        int p = c;
        for (int r = c + 1; r < n; ++r)
            if (std::fabs(m[r][c]) > std::fabs(m[p][c]))
                p = r;
        if (!(std::fabs(m[p][c]) > 0.0))
            return false;
        std::swap(m[c], m[p]);
        std::swap(v[c], v[p]);
        for (int r = c + 1; r < n; ++r) {
            const double f = m[r][c] / m[c][c];
            for (int k = c; k < n; ++k)
                m[r][k] -= f * m[c][k];
            v[r] -= f * v[c];
        }
    }
    for (int c = n - 1; c >= 0; --c) {
        for (int k = c + 1; k < n; ++k)
            v[c] -= m[c][k] * v[k];
        v[c] /= m[c][c];
    }
    return true;
}

double sampleAt(const double* samples, int i)
{
    return std::isfinite(samples[i]) ? samples[i] : 0.0;
}

// cos(w t) and sin(w t) for t = i - centre, i = 0, 1, ...: one rotation per
// sample instead of two library calls, recomputed exactly every kResync
// samples so that rounding cannot build up (a million-sample record would
// otherwise spend most of the fit in cos and sin).
class Oscillator {
public:
    Oscillator(double w, double centre) : w_(w), centre_(centre), stepCos_(std::cos(w)), stepSin_(std::sin(w)) {}
    void at(int i, double& cs, double& sn)
    {
        if (i % kResync == 0) {
            const double t = i - centre_;
            cs_ = std::cos(w_ * t);
            sn_ = std::sin(w_ * t);
        } else {
            const double c = cs_ * stepCos_ - sn_ * stepSin_;
            sn_ = sn_ * stepCos_ + cs_ * stepSin_;
            cs_ = c;
        }
        cs = cs_;
        sn = sn_;
    }

private:
    static constexpr int kResync = 1024;
    double w_, centre_, stepCos_, stepSin_;
    double cs_ = 1.0, sn_ = 0.0;
};

// One least-squares step at frequency w: three columns (cos, sin, 1) or
// four (with the w derivative at the current a, b). Writes the solution to
// x (a, b, c and, for four, the change of w) and the residual rms of the
// current (a, b, c, w) to *rms.
bool step(const double* samples, int count, double w, double a, double b, double c0, int columns, double x[4],
          double* rms)
{
    double m[4][4] = {};
    double v[4] = {};
    double sum = 0.0;
    const double centre = (count - 1) / 2.0;
    Oscillator osc(w, centre);
    for (int i = 0; i < count; ++i) {
        const double t = i - centre;
        double cs = 0.0;
        double sn = 0.0;
        osc.at(i, cs, sn);
        const double col[4] = {cs, sn, 1.0, t * (-a * sn + b * cs)};
        const double y = sampleAt(samples, i);
        const double r = y - (a * cs + b * sn + c0);
        sum += r * r;
        for (int row = 0; row < columns; ++row) {
            v[row] += col[row] * y;
            for (int c = row; c < columns; ++c)
                m[row][c] += col[row] * col[c];
        }
    }
    *rms = std::sqrt(sum / count);
    for (int row = 0; row < columns; ++row)
        for (int c = 0; c < row; ++c)
            m[row][c] = m[c][row];
    if (!solve(m, v, columns))
        return false;
    for (int row = 0; row < columns; ++row)
        x[row] = v[row];
    return true;
}

}  // namespace

const char* const kSineFitKeys[kSineFitFigureCount] = {"freq_hz",   "amplitude",    "offset",
                                                       "phase_rad", "residual_rms", "enob_bits"};

double sineFitValue(const SineFit& fit, int index)
{
    const double values[kSineFitFigureCount] = {fit.freqHz,   fit.amplitude,   fit.offset,
                                                fit.phaseRad, fit.residualRms, fit.enobBits};
    if (!fit.valid || index < 0 || index >= kSineFitFigureCount)
        return std::numeric_limits<double>::quiet_NaN();
    return values[index];
}

bool fitSine(const double* samples, int count, double sampleRateHz, double seedBins, SineFit& fit)
{
    fit = SineFit{};
    if (!samples || count < 4 || !std::isfinite(seedBins) || !(seedBins > 0.0) || !(seedBins < count / 2.0))
        return false;
    double w = 2.0 * kPi * seedBins / count;
    double x[4];
    double rms = 0.0;
    if (!step(samples, count, w, 0.0, 0.0, 0.0, 3, x, &rms))
        return false;
    double a = x[0], b = x[1], c = x[2];
    // Each pass measures the residual of the parameters it starts from and
    // solves for the next; the best parameters measured are kept.
    double best = std::numeric_limits<double>::infinity();
    double bestParams[4] = {a, b, c, w};
    for (int iteration = 0; iteration < 50; ++iteration) {
        const bool solved = step(samples, count, w, a, b, c, 4, x, &rms);
        if (rms < best) {
            best = rms;
            bestParams[0] = a;
            bestParams[1] = b;
            bestParams[2] = c;
            bestParams[3] = w;
        }
        const double nextW = w + x[3];
        // A step that leaves (0, pi) has lost the tone; keep the best so far.
        if (!solved || !(nextW > 0.0 && nextW < kPi) || std::fabs(x[3]) < 1e-12)
            break;
        a = x[0];
        b = x[1];
        c = x[2];
        w = nextW;
    }
    a = bestParams[0];
    b = bestParams[1];
    c = bestParams[2];
    w = bestParams[3];
    const double centre = (count - 1) / 2.0;
    // A cos(w t) + B sin(w t) = amp cos(w t + phi) with A = amp cos phi,
    // B = -amp sin phi; t = i - centre moves the phase by -w centre.
    const double phase = std::remainder(std::atan2(-b, a) - w * centre, 2.0 * kPi);
    fit.valid = true;
    fit.freqHz = w * sampleRateHz / (2.0 * kPi);
    fit.amplitude = std::hypot(a, b);
    fit.offset = c;
    fit.phaseRad = phase <= -kPi ? phase + 2.0 * kPi : phase;
    fit.residualRms = best;
    fit.enobBits = best > 0.0 ? std::log2(65536.0 / (std::sqrt(12.0) * best))
                              : std::numeric_limits<double>::infinity();
    return true;
}

void crossCheckFit(StandardFigures& figures, const SineFit& fit)
{
    if (!fit.valid || std::isnan(figures.enobFsBits) || std::isnan(fit.enobBits))
        return;
    // Above kFitEnobCeilingBits both only measure rounding of the
    // arithmetic (a noiseless synthetic tone), where they differ freely.
    const double spectral = std::min(figures.enobFsBits, kFitEnobCeilingBits);
    const double fitted = std::min(fit.enobBits, kFitEnobCeilingBits);
    if (std::fabs(spectral - fitted) > kFitDisagreeBits)
        figures.raise(FigureWarning::FitDisagrees);
}

void computeStandardSet(StandardFigureEngine& engine, const double* samples, int count, double sampleRateHz,
                        int windowType, int maxHarmonic, StandardFigures& figures, SineFit& fit)
{
    engine.compute(samples, count, sampleRateHz, windowType, maxHarmonic, figures);
    fit = SineFit{};
    if (std::isfinite(figures.fundamentalBins))
        fitSine(samples, count, sampleRateHz, figures.fundamentalBins, fit);
    crossCheckFit(figures, fit);
}

}  // namespace h452
