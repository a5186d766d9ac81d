// Eye diagram: start alignment, trace cutting and the persistence series.
// See Eye.h.
#include "Eye.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

namespace h452 {

namespace {

// The edge detector works on running sums; a non-finite sample would poison
// every later window, so it counts as 0 there.
double finiteOrZero(double v)
{
    return std::isfinite(v) ? v : 0.0;
}

// Position of the first strict minimum among samples[0 .. count-1], skipping
// non-finite samples; 0 when there is none.
int firstMinimum(const double* samples, long long count)
{
    long long best = -1;
    for (long long k = 0; k < count; ++k) {
        if (std::isfinite(samples[k]) && (best < 0 || samples[k] < samples[best]))
            best = k;
    }
    return best < 0 ? 0 : static_cast<int>(best);
}

// The starts when both detectors found fewer than two: a grid of up to 50
// periods from `first`.
void gridStarts(std::vector<long long>& starts, long long first, long long period, long long count)
{
    starts.clear();
    for (long long l = 0; l < kEyeMaxGridTraces && first + period * l < count - period; ++l)
        starts.push_back(first + period * l);
}

// Middle of each completed run above `upper` and below `lower` among the
// first `scanEnd` samples, in the order the runs end.
void pulseStarts(const double* x, long long count, long long period, long long scanEnd, double upper,
                 double lower, std::vector<long long>& starts)
{
    long long highFrom = -1;
    long long lowFrom = -1;
    auto take = [&](long long from, long long to) {
        const long long middle = (from + to) / 2;
        if (count >= period + middle)
            starts.push_back(middle);
    };
    for (long long k = 0; k < scanEnd; ++k) {
        const double v = x[k];
        if (v > upper) {
            if (highFrom < 0)
                highFrom = k;
        } else if (highFrom >= 0) {
            take(highFrom, k - 1);
            highFrom = -1;
        }
        if (v < lower) {
            if (lowFrom < 0)
                lowFrom = k;
        } else if (lowFrom >= 0) {
            take(lowFrom, k - 1);
            lowFrom = -1;
        }
    }
}

// Parabolic refinement of an extremum at t; `sign` -1 for a maximum (the
// curvature must be below -1e-10), +1 for a minimum (above 1e-10).
void extremumStart(const double* x, long long t, long long segmentEnd, long long count, long long period,
                   int sign, std::vector<long long>& starts)
{
    if (t <= 0 || t >= segmentEnd)
        return;
    const double kappa = (x[t + 1] - 2.0 * x[t] + x[t - 1]) * 0.5;
    if (!(sign < 0 ? kappa < -1e-10 : kappa > 1e-10))
        return;
    const double delta = -0.5 * (x[t + 1] - x[t - 1]) / (2.0 * kappa);
    if (!(delta >= -1.0 && delta <= 1.0))
        return;
    const long long v = static_cast<long long>(std::trunc(static_cast<double>(t) + delta + 0.5));
    if (v >= 0 && v < count - period)
        starts.push_back(v);
}

}  // namespace

int eyePeriodSamples(double sampleRateHz, double lineFrequencyHz)
{
    const double ratio = std::trunc(sampleRateHz / lineFrequencyHz + 0.5);
    if (!(sampleRateHz > 0.0) || !(lineFrequencyHz > 0.0) || std::isnan(ratio))
        return 2;
    if (ratio >= static_cast<double>(INT_MAX))
        return INT_MAX;
    return std::max(2, static_cast<int>(ratio));
}

int findEyeStart(const double* samples, int count, double sampleRateHz, double lineFrequencyHz)
{
    if (!samples || count < 1 || !(sampleRateHz > 0.0) || !(lineFrequencyHz > 0.0))
        return 0;
    const long long n = std::min<long long>(count / 4, eyePeriodSamples(sampleRateHz, lineFrequencyHz));
    if (n < 1)
        return 0;
    if (count < 3 * n)
        return firstMinimum(samples, std::min<long long>(n, count));

    const long long w = std::min<long long>(count, 30 * n);
    // Prefix sums: the means of neighbouring windows in O(1) each. For integer
    // codes every partial sum is exact, so the means equal direct sums.
    std::vector<double> prefix(static_cast<std::size_t>(w) + 1, 0.0);
    for (long long i = 0; i < w; ++i)
        prefix[i + 1] = prefix[i] + finiteOrZero(samples[i]);
    const double mean = prefix[w] / w;
    double var = 0.0;
    for (long long i = 0; i < w; ++i) {
        const double d = finiteOrZero(samples[i]) - mean;
        var += d * d;
    }
    double threshold = 0.3 * std::sqrt(var / w);
    if (!(threshold >= 1e-6))
        threshold = 1.0;
    const long long hw = std::max<long long>(n / 4, 2);

    auto difference = [&](long long l) {
        const double after = (prefix[l + hw] - prefix[l]) / hw;
        const double before = (prefix[l] - prefix[l - hw]) / hw;
        return after - before;
    };

    std::vector<double> acc(static_cast<std::size_t>(n), 0.0);
    std::vector<long long> cnt(static_cast<std::size_t>(n), 0);
    for (long long l = hw; l < w - hw; ++l) {
        const double s = std::abs(difference(l));
        if (s > threshold) {
            acc[l % n] += s;
            cnt[l % n] += 1;
        }
    }
    long long bestPhase = -1;
    long long bestCount = 0;
    double bestAcc = 0.0;
    for (long long p = 0; p < n; ++p) {
        if (cnt[p] > bestCount || (cnt[p] == bestCount && acc[p] > bestAcc)) {
            bestPhase = p;
            bestCount = cnt[p];
            bestAcc = acc[p];
        }
    }
    if (bestCount > 0) {
        for (long long l = hw; l < w - hw && l < 5 * n; ++l) {
            if (l % n == bestPhase && std::abs(difference(l)) > threshold)
                return static_cast<int>(l - l % n);
        }
        return static_cast<int>(bestPhase);
    }
    return firstMinimum(samples, std::min<long long>(n, count));
}

void buildEyeTraces(const double* samples, int count, double sampleRateHz, double lineFrequencyHz,
                    std::vector<double>& x, std::vector<double>& y)
{
    x.clear();
    y.clear();
    if (!samples || count < 1 || !(sampleRateHz > 0.0))
        return;
    const long long m = count;
    const long long n = std::min<long long>(m / 4, eyePeriodSamples(sampleRateHz, lineFrequencyHz));
    // A trace needs two points for a time axis from 0 to 1.
    if (n < 2)
        return;
    const long long w = std::min<long long>(m, 10 * n);

    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    double sum = 0.0;
    long long finite = 0;
    for (long long j = 0; j < w; ++j) {
        const double v = samples[j];
        if (!std::isfinite(v))
            continue;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        sum += v;
        ++finite;
    }
    if (finite == 0)
        return;
    const double mu = sum / finite;
    double dSum = 0.0;
    double dMax = 0.0;
    long long dCount = 0;
    for (long long j = 1; j < w; ++j) {
        const double d = std::abs(samples[j] - samples[j - 1]);
        if (!std::isfinite(d))
            continue;
        dSum += d;
        dMax = std::max(dMax, d);
        ++dCount;
    }
    const double dm = dCount > 0 ? dSum / dCount : 0.0;
    double dVar = 0.0;
    for (long long j = 1; j < w; ++j) {
        const double d = std::abs(samples[j] - samples[j - 1]);
        if (std::isfinite(d))
            dVar += (d - dm) * (d - dm);
    }
    const double ds = dCount > 0 ? std::sqrt(dVar / dCount) : 0.0;
    const double range = hi - lo;
    const bool pulse = (dMax > 0.5 * range && dMax > 3.0 * dm) || (ds < 0.3 * dm && dMax > 0.4 * range)
        || (dMax > 0.6 * range && 0.1 * range > dm);

    std::vector<long long> starts;
    if (pulse) {
        const double upper = mu + 0.3 * (hi - mu);
        const double lower = mu - 0.3 * (mu - lo);
        pulseStarts(samples, m, n, std::min(m - n, w), upper, lower, starts);
        if (starts.size() < 2)
            gridStarts(starts, firstMinimum(samples, w), n, m);
    } else {
        const long long segments = std::min<long long>((m - n) / n, kEyeMaxGridTraces);
        for (long long s = 0; s < segments; ++s) {
            const long long a = s * n;
            const long long b = std::min(s * n + n, m - 1);
            if (b - a + 1 <= 2)
                continue;
            long long t = a;
            long long o = a;
            for (long long k = a + 1; k <= b; ++k) {
                if (samples[k] > samples[t])
                    t = k;
                if (samples[k] < samples[o])
                    o = k;
            }
            extremumStart(samples, t, b, m, n, -1, starts);
            extremumStart(samples, o, b, m, n, +1, starts);
        }
        if (starts.size() < 2)
            gridStarts(starts, 0, n, m);
    }

    if (starts.size() > static_cast<std::size_t>(kEyeMaxTraces)) {
        const std::size_t step = std::max<std::size_t>(1, starts.size() / kEyeMaxTraces);
        std::vector<long long> kept;
        kept.reserve(kEyeMaxTraces);
        for (std::size_t i = 0; i < starts.size() && kept.size() < static_cast<std::size_t>(kEyeMaxTraces);
             i += step)
            kept.push_back(starts[i]);
        starts.swap(kept);
    }

    std::vector<double> tau(static_cast<std::size_t>(n));
    for (long long k = 0; k < n; ++k)
        tau[k] = static_cast<double>(k) / static_cast<double>(n - 1);
    tau[n - 1] = 1.0;

    x.reserve(starts.size() * n);
    y.reserve(starts.size() * n);
    for (long long v : starts) {
        if (v < 0 || m < n + v)
            continue;
        x.insert(x.end(), tau.begin(), tau.end());
        y.insert(y.end(), samples + v, samples + v + n);
    }
}

void appendEyeTraces(EyeSeriesModel& series, const double* x, const double* y, std::size_t count,
                     EyeAppendDelta* delta)
{
    if (delta) {
        delta->trimFront = 0;
        delta->x.clear();
        delta->y.clear();
    }
    if (!x || !y || count == 0)
        return;
    std::size_t traceLength = count;
    for (std::size_t j = 1; j < count; ++j) {
        if (x[j - 1] - x[j] > 0.5) {
            traceLength = j;
            break;
        }
    }
    const std::size_t traces = std::max<std::size_t>(1, count / traceLength);
    const double nan = std::numeric_limits<double>::quiet_NaN();

    std::vector<double> bx;
    std::vector<double> by;
    bx.reserve(count + traces);
    by.reserve(count + traces);
    for (std::size_t t = 0; t < traces; ++t) {
        const std::size_t from = t * traceLength;
        if (from + traceLength > count)
            break;
        if (t > 0) {
            bx.push_back(nan);
            by.push_back(nan);
        }
        bx.insert(bx.end(), x + from, x + from + traceLength);
        by.insert(by.end(), y + from, y + from + traceLength);
    }

    std::size_t existing = series.x.size();
    std::size_t trim = 0;
    if (existing > 0 && existing + bx.size() > kEyeMaxPoints) {
        const std::size_t limit = existing + bx.size() - kEyeTrimTarget;
        const std::size_t window = std::min(limit, existing - 1);
        for (std::size_t i = window; i > 0; --i) {
            if (std::isnan(series.x[i - 1])) {
                trim = i;  // drop points 0 .. i-1, the separator included
                break;
            }
        }
    }
    if (trim > 0) {
        series.x.erase(series.x.begin(), series.x.begin() + static_cast<std::ptrdiff_t>(trim));
        series.y.erase(series.y.begin(), series.y.begin() + static_cast<std::ptrdiff_t>(trim));
        existing -= trim;
    }
    const bool separator = existing > 0 && !std::isnan(series.x.back());
    if (delta) {
        delta->trimFront = trim;
        if (separator) {
            delta->x.push_back(nan);
            delta->y.push_back(nan);
        }
        delta->x.insert(delta->x.end(), bx.begin(), bx.end());
        delta->y.insert(delta->y.end(), by.begin(), by.end());
    }
    if (separator) {
        series.x.push_back(nan);
        series.y.push_back(nan);
    }
    series.x.insert(series.x.end(), bx.begin(), bx.end());
    series.y.insert(series.y.end(), by.begin(), by.end());
}

}  // namespace h452
