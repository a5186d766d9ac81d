// Constellation demodulation: mixer, 31-tap low-pass, phase estimate and
// correction, start selection, chart scale and guide drawings. See
// Constellation.h.
#include "Constellation.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace h452 {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;
constexpr double kDegree = 0.017453292519943295;

bool isPsk(int type)
{
    return type < k16qam;
}

void gridPhases(const double* levels, int levelCount, std::vector<double>& phases)
{
    for (int a = 0; a < levelCount; ++a) {
        for (int b = 0; b < levelCount; ++b) {
            double angle = std::atan2(levels[b], levels[a]);
            if (angle < 0.0)
                angle += kTwoPi;
            phases.push_back(angle);
        }
    }
    std::sort(phases.begin(), phases.end());
    phases.erase(std::unique(phases.begin(), phases.end()), phases.end());
}

}  // namespace

void designDemodFilter(double sampleRateHz, double cutoffHz, double* taps)
{
    if (!taps)
        return;
    const double wc = cutoffHz * kTwoPi / sampleRateHz;
    for (int t = 0; t < kDemodFilterTaps; ++t) {
        const int n = t - kDemodFilterHalfLength;
        const double ideal = (n == 0) ? wc / kPi : std::sin(n * wc) / (n * kPi);
        taps[t] = ideal * (0.54 - 0.46 * std::cos(t * kTwoPi / 30.0));
    }
}

void lowPassFilter(double* data, int count, double sampleRateHz, double cutoffHz, double* taps,
                   double* scratch)
{
    double localTaps[kDemodFilterTaps];
    double* h = taps ? taps : localTaps;
    designDemodFilter(sampleRateHz, cutoffHz, h);
    if (!(sampleRateHz > 0.0) || count <= 0 || !data)
        return;
    if (count <= kDemodFilterHalfLength)
        return;
    std::vector<double> own;
    double* y = scratch;
    if (!y) {
        own.resize(static_cast<std::size_t>(count));
        y = own.data();
    }
    const int half = kDemodFilterHalfLength;
    if (count >= kDemodFilterTaps) {
        // Eight outputs at a time in four two-lane registers: every output
        // still adds its 31 products in tap order starting from 0.0 (the
        // same arithmetic as one output at a time), but the products of
        // neighbouring outputs run side by side and stay in registers.
        typedef double Lanes __attribute__((vector_size(16)));
        const int last = count - half - 1;
        int j = half;
        for (; j + 8 <= last + 1; j += 8) {
            Lanes a0 = {0.0, 0.0}, a1 = {0.0, 0.0}, a2 = {0.0, 0.0}, a3 = {0.0, 0.0};
            const double* xp = data + (j - half);
            for (int k = 0; k < kDemodFilterTaps; ++k) {
                const Lanes hk = {h[k], h[k]};
                Lanes x0, x1, x2, x3;
                std::memcpy(&x0, xp + k, sizeof x0);
                std::memcpy(&x1, xp + k + 2, sizeof x1);
                std::memcpy(&x2, xp + k + 4, sizeof x2);
                std::memcpy(&x3, xp + k + 6, sizeof x3);
                a0 += hk * x0;
                a1 += hk * x1;
                a2 += hk * x2;
                a3 += hk * x3;
            }
            std::memcpy(y + j, &a0, sizeof a0);
            std::memcpy(y + j + 2, &a1, sizeof a1);
            std::memcpy(y + j + 4, &a2, sizeof a2);
            std::memcpy(y + j + 6, &a3, sizeof a3);
        }
        for (; j <= last; ++j) {
            const double* xp = data + (j - half);
            double acc = 0.0;
            for (int k = 0; k < kDemodFilterTaps; ++k)
                acc += h[k] * xp[k];
            y[j] = acc;
        }
        for (int j = 0; j < half; ++j)
            y[j] = y[half];
        for (int j = count - half; j < count; ++j)
            y[j] = y[count - half - 1];
    } else {
        // 16 to 30 samples: no output has a full set of neighbours, so each
        // takes the taps that fall inside the record.
        for (int j = 0; j < count; ++j) {
            double acc = 0.0;
            for (int k = 0; k < kDemodFilterTaps; ++k) {
                const int src = j + k - half;
                if (src >= 0 && src < count)
                    acc += h[k] * data[src];
            }
            y[j] = acc;
        }
    }
    std::copy(y, y + count, data);
}

void referencePhases(int constellationType, std::vector<double>& phases)
{
    phases.clear();
    switch (constellationType) {
    case kQpsk:
        for (int k = 1; k < 8; k += 2)
            phases.push_back(k * kPi / 4.0);
        break;
    case k8psk:
        for (int k = 1; k < 16; k += 2)
            phases.push_back(k * kPi / 8.0);
        break;
    case k16qam: {
        const double levels[4] = {-1.0, -1.0 / 3.0, 1.0 / 3.0, 1.0};
        gridPhases(levels, 4, phases);
        break;
    }
    case k64qam: {
        const double levels[8] = {-1.0, -5.0 / 7.0, -3.0 / 7.0, -1.0 / 7.0,
                                  1.0 / 7.0, 3.0 / 7.0, 5.0 / 7.0, 1.0};
        gridPhases(levels, 8, phases);
        break;
    }
    default:
        phases.push_back(0.0);
        phases.push_back(kPi);
        break;
    }
}

double estimatePhaseOffset(const double* i, const double* q, int count, int constellationType,
                           const std::vector<double>* phases)
{
    if (!i || !q || count <= 0)
        return 0.0;
    std::vector<double> own;
    if (!phases) {
        referencePhases(constellationType, own);
        phases = &own;
    }
    int first = 0;
    int last = count;
    if (count >= 10) {
        first = count / 10;
        last = count - first;
    }
    double weighted = 0.0;
    double weights = 0.0;
    int used = 0;
    for (int k = first; k < last; ++k) {
        const double x = i[k];
        const double y = q[k];
        if (!std::isfinite(x) || !std::isfinite(y))
            continue;
        const double r = std::sqrt(x * x + y * y);
        if (!std::isfinite(r) || !(r > 1e-10))
            continue;
        double theta = std::atan2(y, x);
        if (theta < 0.0)
            theta += kTwoPi;
        double best = kTwoPi;
        for (double p : *phases) {
            double d = theta - p;
            if (d > kPi)
                d -= kTwoPi;
            else if (d < -kPi)
                d += kTwoPi;
            if (std::abs(d) < std::abs(best))
                best = d;
        }
        weighted += best * r;
        weights += r;
        ++used;
    }
    if (used == 0 || weights < 1e-10)
        return 0.0;
    double offset = weighted / weights;
    if (!std::isfinite(offset))
        return offset;
    // The mean of values within [-pi, pi] stays there; the loops are a guard.
    while (offset > kPi)
        offset -= kTwoPi;
    while (offset < -kPi)
        offset += kTwoPi;
    return offset;
}

void correctConstellationPhase(double* i, double* q, int count, int constellationType)
{
    if (!i || !q || count <= 0)
        return;
    double e = estimatePhaseOffset(i, q, count, constellationType);
    if (!std::isfinite(e))
        return;
    if (std::abs(e) < 1e-6)
        e = 0.0;
    const double c = std::cos(-e);
    const double s = std::sin(-e);
    const bool psk = isPsk(constellationType);
    // One pass rotates and, for PSK, sums the radii of the rotated points.
    double sum = 0.0;
    int n = 0;
    for (int k = 0; k < count; ++k) {
        const double x = i[k];
        const double y = q[k];
        if (!std::isfinite(x) || !std::isfinite(y))
            continue;
        const double xr = x * c - y * s;
        const double yr = x * s + y * c;
        const bool rotated = std::isfinite(xr) && std::isfinite(yr);
        if (rotated) {
            i[k] = xr;
            q[k] = yr;
        }
        if (psk) {
            const double r = rotated ? std::sqrt(xr * xr + yr * yr) : std::sqrt(x * x + y * y);
            if (r > 1e-10 && std::isfinite(r)) {
                sum += r;
                ++n;
            }
        }
    }
    if (!psk)
        return;
    double divisor = 1.0;
    if (n > 0) {
        const double mean = sum / n;
        if (mean >= 1e-10 && std::isfinite(mean))
            divisor = mean;
    }
    for (int k = 0; k < count; ++k) {
        if (!std::isfinite(i[k]) || !std::isfinite(q[k]))
            continue;
        i[k] /= divisor;
        q[k] /= divisor;
    }
}

void demodulateConstellation(const double* samples, double* iOut, double* qOut, int count,
                             double sampleRateHz, double carrierHz, int constellationType,
                             double* taps, double* scratch)
{
    if (!samples || !iOut || !qOut || count <= 0)
        return;
    const double step = carrierHz * kTwoPi;
    for (int k = 0; k < count; ++k) {
        const double phi = (k / sampleRateHz) * step;
        // A non-finite sample would smear NaN over 31 filtered points.
        const double x = std::isfinite(samples[k]) ? samples[k] : 0.0;
        iOut[k] = std::cos(phi) * x;
        qOut[k] = std::sin(phi) * x;
    }
    double cutoff = carrierHz / 2.0;
    if (cutoff > sampleRateHz / 2.0)
        cutoff = 0.9 * sampleRateHz / 2.0;
    std::vector<double> own;
    if (!scratch) {
        own.resize(static_cast<std::size_t>(count));
        scratch = own.data();
    }
    lowPassFilter(iOut, count, sampleRateHz, cutoff, taps, scratch);
    lowPassFilter(qOut, count, sampleRateHz, cutoff, taps, scratch);
    correctConstellationPhase(iOut, qOut, count, constellationType);
}

int constellationStart(const double* samples, int count, double sampleRateHz, double carrierHz)
{
    if (!samples || count <= 0 || !(carrierHz > 0.0) || !(sampleRateHz > 0.0))
        return 0;
    // Compared as doubles first: fs / fc can exceed any int.
    const double periods = std::trunc(sampleRateHz / carrierHz);
    const int m = periods >= count ? count : static_cast<int>(std::max(0.0, periods));
    int best = -1;
    for (int k = 0; k < m; ++k) {
        if (std::isfinite(samples[k]) && (best < 0 || samples[k] < samples[best]))
            best = k;
    }
    return best < 0 ? 0 : best;
}

double constellationChartScale(const double* i, const double* q, int count, int constellationType)
{
    if (isPsk(constellationType) || !i || !q)
        return 1.0;
    double largest = 0.0;
    for (int k = 0; k < count; ++k) {
        if (!std::isfinite(i[k]) || !std::isfinite(q[k]))
            continue;
        largest = std::max(largest, std::max(std::abs(i[k]), std::abs(q[k])));
    }
    return largest > 0.0 ? largest : 1.0;
}

void constellationReference(int constellationType, std::vector<double>& x, std::vector<double>& y)
{
    x.clear();
    y.clear();
    switch (constellationType) {
    case kQpsk:
    case k8psk:
        for (int k = 0; k <= 360; ++k) {
            const double a = k * kDegree;
            x.push_back(std::cos(a));
            y.push_back(std::sin(a));
        }
        break;
    case k16qam:
        x = {1, -1, -1, 1, 1};
        y = {1, 1, -1, -1, 1};
        break;
    case k64qam: {
        const double t = 1.0 / 3.0;
        x = {1, -1, -1, 1, 1, 1, -1, -1, 1, 1, t, t, -t, -t};
        y = {1, 1, -1, -1, 1, t, t, -t, -t, 1, 1, -1, -1, 1};
        break;
    }
    default:
        break;
    }
}

}  // namespace h452
