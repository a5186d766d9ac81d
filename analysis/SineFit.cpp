// Four-parameter sine fit. See SineFit.h.
#include "SineFit.h"

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

// One least-squares step at frequency w: three columns (cos, sin, 1) or
// four (with the w derivative at the current a, b). Writes the solution to
// x (a, b, c and, for four, the change of w).
bool step(const double* samples, int count, double w, double a, double b, int columns, double x[4])
{
    double m[4][4] = {};
    double v[4] = {};
    const double centre = (count - 1) / 2.0;
    for (int i = 0; i < count; ++i) {
        const double t = i - centre;
        const double cs = std::cos(w * t);
        const double sn = std::sin(w * t);
        const double col[4] = {cs, sn, 1.0, t * (-a * sn + b * cs)};
        const double y = sampleAt(samples, i);
        for (int r = 0; r < columns; ++r) {
            v[r] += col[r] * y;
            for (int c = r; c < columns; ++c)
                m[r][c] += col[r] * col[c];
        }
    }
    for (int r = 0; r < columns; ++r)
        for (int c = 0; c < r; ++c)
            m[r][c] = m[c][r];
    if (!solve(m, v, columns))
        return false;
    for (int r = 0; r < columns; ++r)
        x[r] = v[r];
    return true;
}

double residualRms(const double* samples, int count, double w, double a, double b, double c)
{
    const double centre = (count - 1) / 2.0;
    double sum = 0.0;
    for (int i = 0; i < count; ++i) {
        const double t = i - centre;
        const double r = sampleAt(samples, i) - (a * std::cos(w * t) + b * std::sin(w * t) + c);
        sum += r * r;
    }
    return std::sqrt(sum / count);
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
    if (!step(samples, count, w, 0.0, 0.0, 3, x))
        return false;
    double a = x[0], b = x[1], c = x[2];
    double best = residualRms(samples, count, w, a, b, c);
    double bestParams[4] = {a, b, c, w};
    for (int iteration = 0; iteration < 50; ++iteration) {
        if (!step(samples, count, w, a, b, 4, x))
            break;
        const double nextW = w + x[3];
        // A step that leaves (0, pi) has lost the tone; keep the best so far.
        if (!(nextW > 0.0 && nextW < kPi))
            break;
        a = x[0];
        b = x[1];
        c = x[2];
        w = nextW;
        const double rms = residualRms(samples, count, w, a, b, c);
        if (rms < best) {
            best = rms;
            bestParams[0] = a;
            bestParams[1] = b;
            bestParams[2] = c;
            bestParams[3] = w;
        }
        if (std::fabs(x[3]) < 1e-12)
            break;
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
    const double spectral = figures.enobFsBits;
    if (!fit.valid || std::isnan(spectral) || std::isnan(fit.enobBits))
        return;
    const bool bothInfinite = std::isinf(spectral) && std::isinf(fit.enobBits);
    if (!bothInfinite && !(std::fabs(spectral - fit.enobBits) <= kFitDisagreeBits))
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
