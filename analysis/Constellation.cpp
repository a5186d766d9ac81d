// Constellation demodulation: mixer, 31-tap low-pass, phase estimate and
// correction, start selection, chart scale and guide drawings. See
// Constellation.h.
#include "Constellation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <emmintrin.h>
#include <limits>

namespace h452 {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;
constexpr double kDegree = 0.017453292519943295;

// The phase offset estimates' mean, brought into [-pi, pi]. A mean of values
// within [-pi, pi] stays there; the loops are a guard. Non-finite values are
// returned as they are.
double wrappedOffset(double offset)
{
    if (!std::isfinite(offset))
        return offset;
    while (offset > kPi)
        offset -= kTwoPi;
    while (offset < -kPi)
        offset += kTwoPi;
    return offset;
}

bool isPsk(int type)
{
    return type < k16qam;
}

// What PSK points are divided by: their mean radius (sum of count radii),
// or 1 when there is none or it is below 1e-10.
double meanRadiusDivisor(double sum, double count)
{
    if (count > 0) {
        const double mean = sum / count;
        if (mean >= 1e-10 && std::isfinite(mean))
            return mean;
    }
    return 1.0;
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

template <typename Angle>
double estimateOffset(Angle angle, const double* i, const double* q, int count, int constellationType,
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
        double theta = angle(y, x);
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
    return wrappedOffset(weighted / weights);
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

double estimateOffsetFast(const double* i, const double* q, int count, int constellationType,
                          const std::vector<double>* phases);
void rotateConstellationFast(double* i, double* q, int count, int constellationType, double offsetRad);
void demodulateFastFused(const double* samples, double* iOut, double* qOut, int count, double sampleRateHz,
                         double step, int constellationType, const double* h);

double estimatePhaseOffset(const double* i, const double* q, int count, int constellationType,
                           const std::vector<double>* phases)
{
    return estimatePhaseOffsetWith(DemodArithmetic::Exact, i, q, count, constellationType, phases);
}

double estimatePhaseOffsetWith(DemodArithmetic arithmetic, const double* i, const double* q, int count,
                               int constellationType, const std::vector<double>* phases)
{
    if (arithmetic == DemodArithmetic::Fast) {
        if (!i || !q || count <= 0)
            return 0.0;
        return estimateOffsetFast(i, q, count, constellationType, phases);
    }
    return estimateOffset([](double y, double x) { return std::atan2(y, x); }, i, q, count, constellationType,
                          phases);
}

void rotateConstellation(double* i, double* q, int count, int constellationType, double offsetRad)
{
    if (!i || !q || count <= 0)
        return;
    double e = offsetRad;
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
    const double divisor = meanRadiusDivisor(sum, n);
    for (int k = 0; k < count; ++k) {
        if (!std::isfinite(i[k]) || !std::isfinite(q[k]))
            continue;
        i[k] /= divisor;
        q[k] /= divisor;
    }
}

void correctConstellationPhase(double* i, double* q, int count, int constellationType)
{
    if (!i || !q || count <= 0)
        return;
    rotateConstellation(i, q, count, constellationType, estimatePhaseOffset(i, q, count, constellationType));
}

void demodulateConstellation(const double* samples, double* iOut, double* qOut, int count,
                             double sampleRateHz, double carrierHz, int constellationType,
                             double* taps, double* scratch)
{
    demodulateConstellationWith(DemodArithmetic::Exact, samples, iOut, qOut, count, sampleRateHz, carrierHz,
                                constellationType, taps, scratch);
}

void demodulateConstellationWith(DemodArithmetic arithmetic, const double* samples, double* iOut, double* qOut,
                                 int count, double sampleRateHz, double carrierHz, int constellationType,
                                 double* taps, double* scratch)
{
    if (!samples || !iOut || !qOut || count <= 0)
        return;
    const double step = carrierHz * kTwoPi;
    const bool fast = arithmetic == DemodArithmetic::Fast;
    double cutoff = carrierHz / 2.0;
    if (cutoff > sampleRateHz / 2.0)
        cutoff = 0.9 * sampleRateHz / 2.0;
    if (fast && count >= kDemodFilterTaps && sampleRateHz > 0.0) {
        double localTaps[kDemodFilterTaps];
        double* h = taps ? taps : localTaps;
        designDemodFilter(sampleRateHz, cutoff, h);
        demodulateFastFused(samples, iOut, qOut, count, sampleRateHz, step, constellationType, h);
        return;
    }
    if (fast) {
        // The phases in blocks that stay in the first-level cache.
        constexpr int kBlock = 512;
        double phase[kBlock], c[kBlock], s[kBlock];
        for (int k0 = 0; k0 < count; k0 += kBlock) {
            const int m = std::min(kBlock, count - k0);
            for (int j = 0; j < m; ++j)
                phase[j] = ((k0 + j) / sampleRateHz) * step;
            sinCosFast(phase, c, s, m);
            for (int j = 0; j < m; ++j) {
                const double x = std::isfinite(samples[k0 + j]) ? samples[k0 + j] : 0.0;
                iOut[k0 + j] = c[j] * x;
                qOut[k0 + j] = s[j] * x;
            }
        }
    } else {
        for (int k = 0; k < count; ++k) {
            const double phi = (k / sampleRateHz) * step;
            // A non-finite sample would smear NaN over 31 filtered points.
            const double x = std::isfinite(samples[k]) ? samples[k] : 0.0;
            iOut[k] = std::cos(phi) * x;
            qOut[k] = std::sin(phi) * x;
        }
    }
    std::vector<double> own;
    if (!scratch) {
        own.resize(static_cast<std::size_t>(count));
        scratch = own.data();
    }
    lowPassFilter(iOut, count, sampleRateHz, cutoff, taps, scratch);
    lowPassFilter(qOut, count, sampleRateHz, cutoff, taps, scratch);
    const double offset = estimatePhaseOffsetWith(arithmetic, iOut, qOut, count, constellationType);
    if (fast)
        rotateConstellationFast(iOut, qOut, count, constellationType, offset);
    else
        rotateConstellation(iOut, qOut, count, constellationType, offset);
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

// ---------------------------------------------------------------------------
// Fast arithmetic of the live window's chain.

namespace {

typedef double Lanes2 __attribute__((vector_size(16)));
typedef unsigned long long Bits2 __attribute__((vector_size(16)));

// pi/2 in three parts: the first two have 27 significant bits, so their
// products with a quadrant count below 2^26 are exact (Cody and Waite).
constexpr double kHalfPi1 = 1.570796325802803;       // 0x1.921fb54p+0
constexpr double kHalfPi2 = 9.920935739593517e-10;   // 0x1.10b461p-30
constexpr double kHalfPi3 = 5.721188726109832e-18;
constexpr double kTwoOverPi = 0.6366197723675814;
// 1.5 * 2^52: adding it rounds to an integer and leaves that integer in the
// low bits of the sum.
constexpr double kRoundingShifter = 6755399441055744.0;

// Taylor coefficients: on |r| <= pi/4 the first omitted terms (r^17/17! for
// the sine, r^18/18! for the cosine) are below 1e-17.
inline Lanes2 sinPoly(Lanes2 r, Lanes2 z)
{
    const Lanes2 p = ((((((-1.0 / 1307674368000.0 * z + 1.0 / 6227020800.0) * z - 1.0 / 39916800.0) * z
                         + 1.0 / 362880.0) * z - 1.0 / 5040.0) * z + 1.0 / 120.0) * z - 1.0 / 6.0) * z;
    return r + r * p;
}

inline Lanes2 cosPoly(Lanes2 z)
{
    const Lanes2 p = (((((((1.0 / 20922789888000.0 * z - 1.0 / 87178291200.0) * z + 1.0 / 479001600.0) * z
                          - 1.0 / 3628800.0) * z + 1.0 / 40320.0) * z - 1.0 / 720.0) * z + 1.0 / 24.0) * z) * z;
    return (1.0 - 0.5 * z) + p;
}

inline Lanes2 select(Bits2 mask, Lanes2 ifSet, Lanes2 ifClear)
{
    Bits2 a, b;
    std::memcpy(&a, &ifSet, sizeof a);
    std::memcpy(&b, &ifClear, sizeof b);
    const Bits2 r = (a & mask) | (b & ~mask);
    Lanes2 out;
    std::memcpy(&out, &r, sizeof out);
    return out;
}

inline Lanes2 flipSign(Lanes2 v, Bits2 signBits)
{
    Bits2 a;
    std::memcpy(&a, &v, sizeof a);
    a ^= signBits;
    std::memcpy(&v, &a, sizeof v);
    return v;
}

// cos and sin of two phases within kFastPhaseLimit.
inline void sinCos2(Lanes2 x, Lanes2& c, Lanes2& s)
{
    const Lanes2 shifted = x * kTwoOverPi + kRoundingShifter;
    const Lanes2 j = shifted - kRoundingShifter;
    Bits2 quadrant;
    std::memcpy(&quadrant, &shifted, sizeof quadrant);
    const Lanes2 r = ((x - j * kHalfPi1) - j * kHalfPi2) - j * kHalfPi3;
    const Lanes2 z = r * r;
    const Lanes2 sr = sinPoly(r, z);
    const Lanes2 cr = cosPoly(z);
    // Quadrant q = j mod 4: odd quadrants swap sine and cosine; the cosine
    // is negative in quadrants 1 and 2, the sine in 2 and 3.
    const Bits2 one = {1, 1};
    const Bits2 swap = (Bits2)((quadrant & one) != 0);
    const Lanes2 cs = select(swap, sr, cr);
    const Lanes2 sn = select(swap, cr, sr);
    const Bits2 two = {2, 2};
    c = flipSign(cs, ((quadrant + one) & two) << 62);
    s = flipSign(sn, (quadrant & two) << 62);
}

// atan(k / 16) for k = 0 .. 16, from the C library once.
const double* atanTable()
{
    static const auto table = [] {
        std::array<double, 17> t{};
        for (int k = 0; k <= 16; ++k)
            t[static_cast<std::size_t>(k)] = std::atan(k / 16.0);
        return t;
    }();
    return table.data();
}

constexpr double kHalfPiHi = 1.5707963267948966;
constexpr double kHalfPiLo = 6.123233995736766e-17;
constexpr double kPiHi = 3.141592653589793;
constexpr double kPiLo = 1.2246467991473532e-16;

}  // namespace

void sinCosFast(const double* phases, double* cosOut, double* sinOut, int count)
{
    if (!phases || !cosOut || !sinOut || count <= 0)
        return;
    int k = 0;
    for (; k + 2 <= count; k += 2) {
        Lanes2 x, c, s;
        std::memcpy(&x, phases + k, sizeof x);
        sinCos2(x, c, s);
        std::memcpy(cosOut + k, &c, sizeof c);
        std::memcpy(sinOut + k, &s, sizeof s);
    }
    if (k < count) {
        const Lanes2 x = {phases[k], 0.0};
        Lanes2 c, s;
        sinCos2(x, c, s);
        cosOut[k] = c[0];
        sinOut[k] = s[0];
    }
    // Beyond the exact range of the reduction, and NaN or infinity: the C
    // library's values (a compare per phase; such phases do not occur in
    // records the window takes).
    for (k = 0; k < count; ++k) {
        if (!(std::abs(phases[k]) <= kFastPhaseLimit)) {
            cosOut[k] = std::cos(phases[k]);
            sinOut[k] = std::sin(phases[k]);
        }
    }
}

double atan2Fast(double y, double x)
{
    const double ax = std::abs(x);
    const double ay = std::abs(y);
    constexpr double kLargest = std::numeric_limits<double>::max();
    if (!(ax <= kLargest && ay <= kLargest) || (ax == 0.0 && ay == 0.0))
        return std::atan2(y, x);
    // atan of t = smaller / larger in [0, 1]: t = c + (t - c) with c = k/16
    // the nearest sixteenth, atan(t) = atan(c) + atan(u), u = (t - c) /
    // (1 + t c), |u| <= 1/32, where six Taylor terms leave an error below
    // 1e-20. t - c is exact (the two are within a factor of two).
    const bool steep = ay > ax;
    const double t = steep ? ax / ay : ay / ax;
    const int k = static_cast<int>(t * 16.0 + 0.5);
    const double c = k / 16.0;
    const double u = (t - c) / (1.0 + t * c);
    const double u2 = u * u;
    const double series
        = u - u * u2 * (1.0 / 3 - u2 * (1.0 / 5 - u2 * (1.0 / 7 - u2 * (1.0 / 9 - u2 * (1.0 / 11 - u2 / 13)))));
    double a = atanTable()[k] + series;
    if (steep)
        a = (kHalfPiHi - a) + kHalfPiLo;
    if (x < 0.0)
        a = (kPiHi - a) + kPiLo;
    return std::copysign(a, y);
}

namespace {

constexpr unsigned long long kSignBit = 0x8000000000000000ULL;

inline Bits2 bitsOf(Lanes2 v)
{
    Bits2 b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

inline Lanes2 absLanes(Lanes2 v)
{
    const Bits2 magnitude = bitsOf(v) & ~Bits2{kSignBit, kSignBit};
    Lanes2 out;
    std::memcpy(&out, &magnitude, sizeof out);
    return out;
}

// atan(t) of two values t in [0, 1] as atan2Fast() takes it: the nearest
// sixteenth's tabled angle plus six terms of the series.
inline Lanes2 atanOfUnit(Lanes2 t)
{
    const int k0 = static_cast<int>(t[0] * 16.0 + 0.5);
    const int k1 = static_cast<int>(t[1] * 16.0 + 0.5);
    const Lanes2 c = {k0 / 16.0, k1 / 16.0};
    const Lanes2 u = (t - c) / (1.0 + t * c);
    const Lanes2 u2 = u * u;
    const Lanes2 series
        = u - u * u2 * (1.0 / 3 - u2 * (1.0 / 5 - u2 * (1.0 / 7 - u2 * (1.0 / 9 - u2 * (1.0 / 11 - u2 / 13)))));
    const double* table = atanTable();
    const Lanes2 base = {table[k0], table[k1]};
    return base + series;
}

// atan2 of two points in [0, 2 pi), as atan2Fast() plus the turn the
// estimate adds to negative angles. Lanes outside `valid` give a finite
// value that the caller ignores.
inline Lanes2 angle2(Lanes2 y, Lanes2 x, Bits2 valid)
{
    const Lanes2 ax = absLanes(x);
    const Lanes2 ay = absLanes(y);
    const Bits2 steep = (Bits2)(ay > ax);
    const Lanes2 num = select(steep, ax, ay);
    const Lanes2 den = select(steep, ay, ax);
    const Lanes2 zero = {0.0, 0.0};
    Lanes2 a = atanOfUnit(select(valid, num / den, zero));
    a = select(steep, (kHalfPiHi - a) + kHalfPiLo, a);
    a = select((Bits2)(x < zero), (kPiHi - a) + kPiLo, a);
    a = flipSign(a, bitsOf(y) & Bits2{kSignBit, kSignBit});
    return select((Bits2)(a < zero), a + kTwoPi, a);
}

// Signed distance, within [-pi/2, pi/2], of two points to the nearest of
// phaseCount (2, 4 or 8) evenly spaced ideal phases, the PSK sets
// (BPSK {0, pi}, QPSK and 8PSK offset by half a spacing), taken from the
// point folded into the first quadrant rather than from its angle. The sets
// are symmetric about both axes, and a reflection reverses the distance's
// sign, so d = sign(x) sign(y) d', d' the folded point's distance:
//   BPSK: d' = atan(|y| / |x|) (the angle itself, phase 0);
//   QPSK: d' = atan(|y| / |x|) - pi/4 = atan((|y| - |x|) / (|y| + |x|));
//   8PSK: folded again about the diagonal (another reflection), d' =
//         atan(t) - pi/8 = atan((t - tan(pi/8)) / (1 + t tan(pi/8))) with t
//         = smaller / larger.
// Equal to the search of the phase list to rounding (a few units in the
// last place of pi); only a point exactly between two phases may take the
// other one. Lanes outside `valid` give a finite value the caller ignores.
inline Lanes2 evenPhaseDistance(Lanes2 x, Lanes2 y, Bits2 valid, int phaseCount)
{
    constexpr double kTanEighthPi = 0.41421356237309504880;
    const Bits2 signMask = {kSignBit, kSignBit};
    const Lanes2 zero = {0.0, 0.0};
    const Lanes2 ax = absLanes(x);
    const Lanes2 ay = absLanes(y);
    Bits2 sign = (bitsOf(x) ^ bitsOf(y)) & signMask;
    const Bits2 steep = (Bits2)(ay > ax);
    const Lanes2 smaller = select(steep, ax, ay);
    const Lanes2 larger = select(steep, ay, ax);
    Lanes2 num, den;
    if (phaseCount == 4) {
        num = ay - ax;
        den = ay + ax;
    } else if (phaseCount == 8) {
        num = smaller - kTanEighthPi * larger;
        den = larger + kTanEighthPi * smaller;
        sign ^= steep & signMask;
    } else {
        num = smaller;
        den = larger;
    }
    const Lanes2 z = select(valid, num / den, zero);
    Lanes2 a = flipSign(atanOfUnit(absLanes(z)), bitsOf(z) & signMask);
    if (phaseCount == 2)
        a = select(steep, (kHalfPiHi - a) + kHalfPiLo, a);
    return flipSign(a, sign);
}

}  // namespace

namespace {

inline Lanes2 sqrtLanes(Lanes2 v)
{
    return (Lanes2)_mm_sqrt_pd((__m128d)v);
}

// The ideal phases an estimate measures against: the PSK types' evenly
// spaced sets (evenCount phases), whose nearest member follows from the
// folded point, or a list searched in full (the QAM types, or phases the
// caller gave).
struct PhaseSet {
    const std::vector<double>* list = nullptr;
    int evenCount = 2;
};

// The set of referencePhases(type): the QAM types' lists in `own`.
PhaseSet phaseSetFor(int constellationType, std::vector<double>& own)
{
    PhaseSet set;
    switch (constellationType) {
    case kQpsk:
        set.evenCount = 4;
        break;
    case k8psk:
        set.evenCount = 8;
        break;
    case k16qam:
    case k64qam:
        referencePhases(constellationType, own);
        set.list = &own;
        break;
    default:  // BPSK {0, pi}
        break;
    }
    return set;
}

// Signed distance of angles theta in [0, 2 pi) to their nearest phase of a
// list, within [-pi, pi]; the first of equally near ones.
inline Lanes2 nearestListedPhase(Lanes2 theta, const std::vector<double>& phases)
{
    Lanes2 best = {kTwoPi, kTwoPi};
    for (double p : phases) {
        Lanes2 d = theta - p;
        d = select((Bits2)(d > kPi), d - kTwoPi, select((Bits2)(d < -kPi), d + kTwoPi, d));
        best = select((Bits2)(absLanes(d) < absLanes(best)), d, best);
    }
    return best;
}

// Running sums of the fast chain, two lanes each: the estimate's weighted
// distances, weights and point count, and the radii (and their count) the
// PSK points are scaled by.
struct ChainSums {
    Lanes2 weighted = {0.0, 0.0};
    Lanes2 weights = {0.0, 0.0};
    Lanes2 used = {0.0, 0.0};
    Lanes2 radii = {0.0, 0.0};
    Lanes2 counted = {0.0, 0.0};
};

// Adds points [from, to) of i and q to the sums, two at a time, the choices
// made by masks instead of branches (the nearest phase of noisy points is a
// coin toss for a branch predictor): with kAngles their distances to the
// nearest ideal phase weighted by their radius, with kRadii their radii.
// Points with a non-finite coordinate or radius, or a radius not above
// 1e-10, are skipped by both. The lanes sum separately, so the sums differ
// from the one-lane order in the last bits.
template <bool kAngles, bool kRadii>
void accumulatePoints(const double* i, const double* q, int from, int to, const PhaseSet& set, ChainSums& sums)
{
    const Lanes2 zero = {0.0, 0.0};
    const Lanes2 one = {1.0, 1.0};
    const Lanes2 largest = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    const Lanes2 tiny = {1e-10, 1e-10};
    for (int k = from; k < to; k += 2) {
        const bool pair = k + 1 < to;
        const Lanes2 x = {i[k], pair ? i[k + 1] : 0.0};
        const Lanes2 y = {q[k], pair ? q[k + 1] : 0.0};
        const Lanes2 r = sqrtLanes(x * x + y * y);
        // NaN fails every comparison.
        Bits2 valid = (Bits2)(absLanes(x) <= largest) & (Bits2)(absLanes(y) <= largest) & (Bits2)(r <= largest)
                      & (Bits2)(r > tiny);
        if (!pair)
            valid[1] = 0;
        if (kRadii) {
            sums.radii += select(valid, r, zero);
            sums.counted += select(valid, one, zero);
        }
        if (kAngles) {
            const Lanes2 best = set.list ? nearestListedPhase(angle2(y, x, valid), *set.list)
                                         : evenPhaseDistance(x, y, valid, set.evenCount);
            sums.weighted += select(valid, best * r, zero);
            sums.weights += select(valid, r, zero);
            sums.used += select(valid, one, zero);
        }
    }
}

double offsetOf(const ChainSums& sums)
{
    const double weights = sums.weights[0] + sums.weights[1];
    if (sums.used[0] + sums.used[1] == 0.0 || weights < 1e-10)
        return 0.0;
    return wrappedOffset((sums.weighted[0] + sums.weighted[1]) / weights);
}

// The middle 80 % of a record the estimate takes (all of it below 10).
void estimateRange(int count, int& first, int& last)
{
    first = count >= 10 ? count / 10 : 0;
    last = count - first;
}

}  // namespace

// The estimate of estimateOffset() two points at a time (see
// accumulatePoints()); phases: the caller's list, or nullptr for the
// type's set.
double estimateOffsetFast(const double* i, const double* q, int count, int constellationType,
                          const std::vector<double>* phases)
{
    std::vector<double> own;
    PhaseSet set = phaseSetFor(constellationType, own);
    if (phases)
        set.list = phases;
    int first, last;
    estimateRange(count, first, last);
    ChainSums sums;
    accumulatePoints<true, false>(i, q, first, last, set, sums);
    return offsetOf(sums);
}

// rotateConstellation() two points at a time: the same rotation of each
// point (the same bits), the radii summed in two lanes and the division by
// the mean radius a multiplication by its inverse, so the scaled points
// differ from the exact ones in the last bits.
void rotateConstellationFast(double* i, double* q, int count, int constellationType, double offsetRad)
{
    if (!i || !q || count <= 0 || !std::isfinite(offsetRad))
        return;
    const double e = std::abs(offsetRad) < 1e-6 ? 0.0 : offsetRad;
    const double c = std::cos(-e);
    const double s = std::sin(-e);
    const bool psk = isPsk(constellationType);
    const Lanes2 zero = {0.0, 0.0};
    const Lanes2 largest = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    const Lanes2 tiny = {1e-10, 1e-10};
    const Lanes2 one = {1.0, 1.0};
    Lanes2 sum = zero;
    Lanes2 used = zero;
    for (int k = 0; k < count; k += 2) {
        // An odd count ends with a pair whose second lane is empty.
        const bool pair = k + 1 < count;
        Lanes2 x = {i[k], pair ? i[k + 1] : 0.0};
        Lanes2 y = {q[k], pair ? q[k + 1] : 0.0};
        const Lanes2 xr = x * c - y * s;
        const Lanes2 yr = x * s + y * c;
        Bits2 finite = (Bits2)(absLanes(x) <= largest) & (Bits2)(absLanes(y) <= largest);
        if (!pair)
            finite[1] = 0;
        const Bits2 rotated = finite & (Bits2)(absLanes(xr) <= largest) & (Bits2)(absLanes(yr) <= largest);
        x = select(rotated, xr, x);
        y = select(rotated, yr, y);
        i[k] = x[0];
        q[k] = y[0];
        if (pair) {
            i[k + 1] = x[1];
            q[k + 1] = y[1];
        }
        if (psk) {
            const Lanes2 r = sqrtLanes(x * x + y * y);
            const Bits2 counted = finite & (Bits2)(r > tiny) & (Bits2)(r <= largest);
            sum += select(counted, r, zero);
            used += select(counted, one, zero);
        }
    }
    const double total = sum[0] + sum[1];
    const double n = used[0] + used[1];
    if (!psk)
        return;
    const double divisor = meanRadiusDivisor(total, n);
    // Points with a non-finite coordinate keep both values, as there.
    const double scale = 1.0 / divisor;
    int k = 0;
    for (; k + 2 <= count; k += 2) {
        Lanes2 x, y;
        std::memcpy(&x, i + k, sizeof x);
        std::memcpy(&y, q + k, sizeof y);
        const Bits2 finite = (Bits2)(absLanes(x) <= largest) & (Bits2)(absLanes(y) <= largest);
        x = select(finite, x * scale, x);
        y = select(finite, y * scale, y);
        std::memcpy(i + k, &x, sizeof x);
        std::memcpy(q + k, &y, sizeof y);
    }
    if (k < count && std::isfinite(i[k]) && std::isfinite(q[k])) {
        i[k] *= scale;
        q[k] *= scale;
    }
}

namespace {

inline Lanes2 loadLanes(const double* p)
{
    Lanes2 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void storeLanes(double* p, Lanes2 v)
{
    std::memcpy(p, &v, sizeof v);
}

// out[t] = sum of h[k] x[t + k] over the 31 taps, for t in [0, m), with the
// taps folded: h[15] x[t + 15] + sum over k < 15 of h[k] (x[t + k] + x[t +
// 30 - k]). designDemodFilter()'s taps are symmetric (h[k] and h[30 - k]
// equal to rounding), so 16 products replace 31 and the outputs equal the
// plain convolution's to rounding. Eight outputs at a time in four two-lane
// registers.
//   x: m + 30 doubles; h: 31 doubles; out: m doubles, written.
void filterSymmetric(const double* x, int m, const double* h, double* out)
{
    constexpr int kHalf = kDemodFilterHalfLength;
    Lanes2 taps[kHalf + 1];
    for (int k = 0; k <= kHalf; ++k)
        taps[k] = Lanes2{h[k], h[k]};
    int t = 0;
    for (; t + 8 <= m; t += 8) {
        const double* xp = x + t;
        Lanes2 a0 = taps[kHalf] * loadLanes(xp + kHalf);
        Lanes2 a1 = taps[kHalf] * loadLanes(xp + kHalf + 2);
        Lanes2 a2 = taps[kHalf] * loadLanes(xp + kHalf + 4);
        Lanes2 a3 = taps[kHalf] * loadLanes(xp + kHalf + 6);
#pragma GCC unroll 15
        for (int k = 0; k < kHalf; ++k) {
            const double* mirror = xp + 2 * kHalf - k;
            a0 += taps[k] * (loadLanes(xp + k) + loadLanes(mirror));
            a1 += taps[k] * (loadLanes(xp + k + 2) + loadLanes(mirror + 2));
            a2 += taps[k] * (loadLanes(xp + k + 4) + loadLanes(mirror + 4));
            a3 += taps[k] * (loadLanes(xp + k + 6) + loadLanes(mirror + 6));
        }
        storeLanes(out + t, a0);
        storeLanes(out + t + 2, a1);
        storeLanes(out + t + 4, a2);
        storeLanes(out + t + 6, a3);
    }
    for (; t < m; ++t) {
        const double* xp = x + t;
        double acc = h[kHalf] * xp[kHalf];
        for (int k = 0; k < kHalf; ++k)
            acc += h[k] * (xp[k] + xp[2 * kHalf - k]);
        out[t] = acc;
    }
}

// The last pass of the fast chain: rotates every point by -offset (as
// rotateConstellation(): points with a non-finite coordinate, or whose
// rotation overflows, keep their values) and multiplies the finite ones by
// scale.
void rotateAndScale(double* i, double* q, int count, double offsetRad, double scale)
{
    const double e = std::abs(offsetRad) < 1e-6 ? 0.0 : offsetRad;
    const double c = std::cos(-e);
    const double s = std::sin(-e);
    const Lanes2 largest = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    // From the end: the last points filtered are the ones still cached.
    for (int k = count - 2; k >= 0; k -= 2) {
        Lanes2 x = loadLanes(i + k);
        Lanes2 y = loadLanes(q + k);
        const Lanes2 xr = x * c - y * s;
        const Lanes2 yr = x * s + y * c;
        const Bits2 finite = (Bits2)(absLanes(x) <= largest) & (Bits2)(absLanes(y) <= largest);
        const Bits2 rotated = finite & (Bits2)(absLanes(xr) <= largest) & (Bits2)(absLanes(yr) <= largest);
        x = select(rotated, xr, x);
        y = select(rotated, yr, y);
        storeLanes(i + k, select(finite, x * scale, x));
        storeLanes(q + k, select(finite, y * scale, y));
    }
    // An odd count leaves the first point.
    const int k = 0;
    if (count % 2 == 1 && std::isfinite(i[k]) && std::isfinite(q[k])) {
        const double xr = i[k] * c - q[k] * s;
        const double yr = i[k] * s + q[k] * c;
        if (std::isfinite(xr) && std::isfinite(yr)) {
            i[k] = xr;
            q[k] = yr;
        }
        i[k] *= scale;
        q[k] *= scale;
    }
}

}  // namespace

// The fast chain of a record of 31 samples or more at fs > 0 in two passes
// over the output instead of a dozen: blocks of the record are mixed into
// buffers that stay in the first-level cache, filtered straight into iOut
// and qOut (folded taps), and the finished points go into the estimate's
// and the mean radius's sums while still cached; the second pass rotates
// and scales. The radii summed are those before the rotation, which keeps
// them to rounding. The same points as the separate steps to rounding.
void demodulateFastFused(const double* samples, double* iOut, double* qOut, int count, double sampleRateHz,
                         double step, int constellationType, const double* h)
{
    constexpr int kHalf = kDemodFilterHalfLength;
    constexpr int kBlock = 512;
    constexpr int kSpan = kBlock + 2 * kHalf;
    double phase[kSpan], c[kSpan], s[kSpan], mixedI[kSpan], mixedQ[kSpan];
    std::vector<double> own;
    const PhaseSet set = phaseSetFor(constellationType, own);
    const bool psk = isPsk(constellationType);
    int first, last;
    estimateRange(count, first, last);
    ChainSums sums;
    // Adds the finished points [lo, hi): the middle ones to the estimate,
    // all of them to the radii of PSK.
    auto addPoints = [&](int lo, int hi) {
        const int a = std::min(std::max(lo, first), hi);
        const int b = std::max(std::min(hi, last), a);
        if (psk) {
            accumulatePoints<false, true>(iOut, qOut, lo, a, set, sums);
            accumulatePoints<true, true>(iOut, qOut, a, b, set, sums);
            accumulatePoints<false, true>(iOut, qOut, b, hi, set, sums);
        } else {
            accumulatePoints<true, false>(iOut, qOut, a, b, set, sums);
        }
    };
    const int lastFull = count - kHalf - 1;
    // mixed*[t] hold the mixed samples base + t for t < held.
    int base = 0;
    int held = 0;
    for (int j0 = kHalf; j0 <= lastFull; j0 += kBlock) {
        const int j1 = std::min(j0 + kBlock, lastFull + 1);
        // The 30 samples the block shares with the previous one move to the
        // front; the rest, up to j1 + 15, are mixed.
        const int keep = held > 0 ? base + held - (j0 - kHalf) : 0;
        if (keep > 0) {
            std::memmove(mixedI, mixedI + (held - keep), sizeof(double) * static_cast<std::size_t>(keep));
            std::memmove(mixedQ, mixedQ + (held - keep), sizeof(double) * static_cast<std::size_t>(keep));
        }
        base = j0 - kHalf;
        held = keep;
        const int fresh = j1 + kHalf - base - held;
        for (int t = 0; t < fresh; ++t)
            phase[t] = ((base + held + t) / sampleRateHz) * step;
        sinCosFast(phase, c, s, fresh);
        for (int t = 0; t < fresh; ++t) {
            // A non-finite sample would smear NaN over 31 filtered points.
            const double x = samples[base + held + t];
            const double v = std::isfinite(x) ? x : 0.0;
            mixedI[held + t] = c[t] * v;
            mixedQ[held + t] = s[t] * v;
        }
        held += fresh;
        filterSymmetric(mixedI, j1 - j0, h, iOut + j0);
        filterSymmetric(mixedQ, j1 - j0, h, qOut + j0);
        // The first and last 15 outputs repeat the nearest full one.
        int lo = j0;
        int hi = j1;
        if (j0 == kHalf) {
            std::fill(iOut, iOut + kHalf, iOut[kHalf]);
            std::fill(qOut, qOut + kHalf, qOut[kHalf]);
            lo = 0;
        }
        if (j1 == lastFull + 1) {
            std::fill(iOut + j1, iOut + count, iOut[lastFull]);
            std::fill(qOut + j1, qOut + count, qOut[lastFull]);
            hi = count;
        }
        addPoints(lo, hi);
    }
    const double offset = offsetOf(sums);
    // A non-finite offset leaves the points alone, unscaled too.
    if (!std::isfinite(offset))
        return;
    const double divisor = psk ? meanRadiusDivisor(sums.radii[0] + sums.radii[1], sums.counted[0] + sums.counted[1])
                               : 1.0;
    rotateAndScale(iOut, qOut, count, offset, 1.0 / divisor);
}

}  // namespace h452
