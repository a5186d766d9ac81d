// Eye figures and per-frame crossing jitter. See EyeFigures.h.
#include "EyeFigures.h"

#include <algorithm>
#include <cmath>

namespace h452 {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kMaxTimeBins = 1024;

// Threshold between the two levels: the means above and below it, moved to
// their midpoint until it settles (two-means on one axis).
struct TwoLevels {
    double threshold = 0.0;
    double low = 0.0;
    double high = 0.0;
    bool ok = false;
};

TwoLevels twoLevels(const double* v, std::size_t count)
{
    TwoLevels levels;
    double sum = 0.0, lo = 0.0, hi = 0.0;
    std::size_t n = 0;
    for (std::size_t k = 0; k < count; ++k) {
        if (!std::isfinite(v[k]))
            continue;
        lo = n ? std::min(lo, v[k]) : v[k];
        hi = n ? std::max(hi, v[k]) : v[k];
        sum += v[k];
        ++n;
    }
    if (n < 2 || !(hi > lo))
        return levels;
    double t = sum / double(n);
    for (int pass = 0; pass < 16; ++pass) {
        double s0 = 0.0, s1 = 0.0;
        std::size_t n0 = 0, n1 = 0;
        for (std::size_t k = 0; k < count; ++k) {
            if (!std::isfinite(v[k]))
                continue;
            if (v[k] > t) {
                s1 += v[k];
                ++n1;
            } else {
                s0 += v[k];
                ++n0;
            }
        }
        if (n0 == 0 || n1 == 0)
            return levels;
        levels.low = s0 / double(n0);
        levels.high = s1 / double(n1);
        const double next = 0.5 * (levels.low + levels.high);
        if (next == t)
            break;
        t = next;
    }
    levels.threshold = t;
    levels.ok = levels.high > levels.low;
    return levels;
}

struct Moments {
    double n = 0, sum = 0, sumSq = 0;
    void add(double v)
    {
        n += 1;
        sum += v;
        sumSq += v * v;
    }
    double mean() const { return n > 0 ? sum / n : 0.0; }
    double sigma() const { return n > 1 ? std::sqrt(std::max(0.0, sumSq / n - mean() * mean())) : 0.0; }
};

// Interpolated time at which the segment (x0, y0) - (x1, y1) reaches level.
double crossingTime(double x0, double y0, double x1, double y1, double level)
{
    return y1 == y0 ? x0 : x0 + (x1 - x0) * (level - y0) / (y1 - y0);
}

// Mean position and mean slope of one kind of edge, the positions averaged
// on the circle of one UI (they fold: an edge at 0.25 and one at 0.75 are
// the same crossing of the eye).
struct EdgeSet {
    double unitInterval = 0.5;  // in trace time x
    double sinSum = 0, cosSum = 0, slopeSum = 0, timeSum = 0;
    int count = 0;
    void add(double t, double slope, double duration)
    {
        const double a = kTwoPi * t / unitInterval;
        sinSum += std::sin(a);
        cosSum += std::cos(a);
        slopeSum += slope;
        timeSum += duration;
        ++count;
    }
    double position() const { return std::atan2(sinSum, cosSum) / kTwoPi * unitInterval; }
    double slope() const { return slopeSum / count; }
    double duration() const { return timeSum / count; }
};

void appendCapped(std::vector<double>& log, const std::vector<double>& more)
{
    log.insert(log.end(), more.begin(), more.end());
    // Drop in chunks of a quarter so the front erase is rare.
    if (log.size() > kMaxJitterLog + kMaxJitterLog / 4)
        log.erase(log.begin(), log.begin() + std::ptrdiff_t(log.size() - kMaxJitterLog));
}

// Least-squares clock through the crossings: index n_k counted on a grid of
// unitInterval samples, t_k = start + ui * n_k. Returns the fitted UI.
double fitClock(const std::vector<double>& t, double unitInterval, std::vector<double>& index, double& start)
{
    index.assign(t.size(), 0.0);
    for (std::size_t k = 1; k < t.size(); ++k)
        index[k] = index[k - 1] + std::max(1.0, std::nearbyint((t[k] - t[k - 1]) / unitInterval));
    const double n = double(t.size());
    double sx = 0, sy = 0;
    for (std::size_t k = 0; k < t.size(); ++k) {
        sx += index[k];
        sy += t[k];
    }
    const double mx = sx / n, my = sy / n;
    double sxx = 0, sxy = 0;
    for (std::size_t k = 0; k < t.size(); ++k) {
        sxx += (index[k] - mx) * (index[k] - mx);
        sxy += (index[k] - mx) * (t[k] - my);
    }
    const double ui = sxx > 0 ? sxy / sxx : unitInterval;
    start = my - ui * mx;
    return ui;
}

}  // namespace

void EyeFrameJitter::clear()
{
    risingTieS.clear();
    fallingTieS.clear();
    unitIntervalS = 0.0;
}

void EyeJitterLog::clear()
{
    risingTieS.clear();
    fallingTieS.clear();
    unitIntervalSumS = 0.0;
    frames = 0;
}

void EyeJitterLog::add(const EyeFrameJitter& frame)
{
    if (!(frame.unitIntervalS > 0.0))
        return;
    appendCapped(risingTieS, frame.risingTieS);
    appendCapped(fallingTieS, frame.fallingTieS);
    unitIntervalSumS += frame.unitIntervalS;
    ++frames;
}

void measureFrameJitter(const double* samples, int count, double sampleRateHz, double lineFrequencyHz,
                        EyeFrameJitter& out)
{
    out.clear();
    if (!samples || count < 4 || !std::isfinite(sampleRateHz) || !(sampleRateHz > 0.0)
        || !std::isfinite(lineFrequencyHz) || !(lineFrequencyHz > 0.0))
        return;
    const TwoLevels levels = twoLevels(samples, std::size_t(count));
    if (!levels.ok)
        return;
    const double thr = levels.threshold;
    const double hysteresis = 0.1 * (levels.high - levels.low);
    std::vector<double> times;
    std::vector<char> rising;
    int state = 0;           // 0 unknown, -1 low, +1 high
    int lastBelow = -1;      // last sample at or below the threshold
    int lastAbove = -1;      // last sample above it
    for (int k = 0; k < count; ++k) {
        const double v = samples[k];
        if (!std::isfinite(v)) {
            state = 0;
            lastBelow = lastAbove = -1;
            continue;
        }
        if (v <= thr)
            lastBelow = k;
        else
            lastAbove = k;
        if (v > thr + hysteresis) {
            if (state == -1 && lastBelow >= 0 && lastBelow + 1 < count) {
                const int j = lastBelow;
                times.push_back(crossingTime(j, samples[j], j + 1, samples[j + 1], thr));
                rising.push_back(1);
            }
            state = 1;
        } else if (v < thr - hysteresis) {
            if (state == 1 && lastAbove >= 0 && lastAbove + 1 < count) {
                const int j = lastAbove;
                times.push_back(crossingTime(j, samples[j], j + 1, samples[j + 1], thr));
                rising.push_back(0);
            }
            state = -1;
        }
    }
    if (times.size() < 3)
        return;
    std::vector<double> index;
    double start = 0.0;
    double ui = fitClock(times, sampleRateHz / (2.0 * lineFrequencyHz), index, start);
    if (!(ui > 0.0))
        return;
    ui = fitClock(times, ui, index, start);
    if (!(ui > 0.0) || !std::isfinite(ui))
        return;
    for (std::size_t k = 0; k < times.size(); ++k) {
        const double tie = (times[k] - (start + ui * index[k])) / sampleRateHz;
        (rising[k] ? out.risingTieS : out.fallingTieS).push_back(tie);
    }
    out.unitIntervalS = ui / sampleRateHz;
}

void computeEyeFigures(const double* x, const double* y, std::size_t count, double sampleRateHz,
                       const EyeJitterLog* jitter, EyeFigures& figures)
{
    figures = EyeFigures{};
    using namespace figurereason;
    if (!x || !y)
        count = 0;

    // Jitter and width, from the crossings.
    const std::size_t crossings = jitter ? jitter->risingTieS.size() + jitter->fallingTieS.size() : 0;
    figures.crossings = int(std::min<std::size_t>(crossings, 2147483647u));
    if (crossings < std::size_t(kMinFigureCrossings) || jitter->frames <= 0) {
        figures.jitterRmsS.absent(kTooFewCrossings);
        figures.jitterPpS.absent(kTooFewCrossings);
        figures.widthUi.absent(kTooFewCrossings);
    } else {
        Moments all, edge[2];
        double lo = 0.0, hi = 0.0;
        bool first = true;
        for (int e = 0; e < 2; ++e) {
            for (double t : e ? jitter->fallingTieS : jitter->risingTieS) {
                all.add(t);
                edge[e].add(t);
                lo = first ? t : std::min(lo, t);
                hi = first ? t : std::max(hi, t);
                first = false;
            }
        }
        figures.jitterRmsS.set(all.sigma());
        figures.jitterPpS.set(hi - lo);
        double early = 0.0, late = 0.0;
        first = true;
        for (const Moments& m : edge) {
            if (m.n < 1)
                continue;
            early = first ? m.mean() - 3 * m.sigma() : std::min(early, m.mean() - 3 * m.sigma());
            late = first ? m.mean() + 3 * m.sigma() : std::max(late, m.mean() + 3 * m.sigma());
            first = false;
        }
        const double ui = jitter->unitIntervalSumS / double(jitter->frames);
        const double width = 1.0 - (late - early) / ui;
        if (width > 0.0)
            figures.widthUi.set(width);
        else
            figures.widthUi.absent(kNoEyeOpening);
    }

    // Traces: runs of finite points, ended by a separator or a step back in time.
    // firstLength: the points of the first trace, which set the time scale.
    std::vector<std::size_t> starts;
    std::size_t firstLength = 0;
    bool inTrace = false;
    for (std::size_t k = 0; k < count; ++k) {
        const bool finitePoint = std::isfinite(x[k]) && std::isfinite(y[k]);
        if (!finitePoint) {
            inTrace = false;
            continue;
        }
        if (!inTrace || x[k] < x[k - 1]) {
            starts.push_back(k);
            inTrace = true;
        }
        if (starts.size() == 1)
            ++firstLength;
    }
    figures.traces.set(double(starts.size()));
    const char* traceReason = nullptr;
    if (starts.size() < std::size_t(kMinFigureTraces))
        traceReason = kTooFewTraces;
    else if (!std::isfinite(sampleRateHz) || !(sampleRateHz > 0.0))
        traceReason = kNoSampleRate;
    const TwoLevels levels = traceReason ? TwoLevels{} : twoLevels(y, count);
    if (!traceReason && !levels.ok)
        traceReason = kNoEyeOpening;
    if (traceReason) {
        for (MeasuredFigure* f : {&figures.height, &figures.amplitude, &figures.crossingPercent,
                                  &figures.riseTimeS, &figures.fallTimeS, &figures.qFactor})
            f->absent(traceReason);
        return;
    }

    // Levels per time bin, over one UI: both halves of a trace fold onto the
    // same UI, so a clock-like pattern (one level per instant of the period)
    // still has both levels at every instant. The first point of each trace
    // is left out: the eye builder chose it by its value (a run middle, a
    // maximum), so it shows that choice, not the signal.
    // One UI is half the trace period: n / 2 samples of a trace of n points,
    // whose time axis spans n - 1 sample steps from 0 to 1.
    const double ui = 0.5 * double(firstLength) / double(std::max<std::size_t>(firstLength, 2) - 1);
    const int bins = int(std::min<std::size_t>(std::max<std::size_t>(firstLength / 2, 2), kMaxTimeBins));
    const auto binOf = [bins, ui](double t) {
        const double folded = t - ui * std::floor(t / ui);
        return std::size_t(std::min(bins - 1, std::max(0, int(folded / ui * bins))));
    };
    std::vector<Moments> upper(static_cast<std::size_t>(bins));
    std::vector<Moments> lower(static_cast<std::size_t>(bins));
    std::vector<char> traceStart(count, 0);
    for (std::size_t start : starts)
        traceStart[start] = 1;
    for (std::size_t k = 0; k < count; ++k) {
        if (traceStart[k] || !std::isfinite(x[k]) || !std::isfinite(y[k]))
            continue;
        (y[k] > levels.threshold ? upper : lower)[binOf(x[k])].add(y[k]);
    }
    // The spread of each level from its outer side only (points above the
    // upper mean, below the lower mean): splitting at the threshold cuts the
    // inner tails off, which would make a closing eye look open.
    std::vector<Moments> upperOuter(static_cast<std::size_t>(bins));
    std::vector<Moments> lowerOuter(static_cast<std::size_t>(bins));
    for (std::size_t k = 0; k < count; ++k) {
        if (traceStart[k] || !std::isfinite(x[k]) || !std::isfinite(y[k]))
            continue;
        const std::size_t b = binOf(x[k]);
        if (y[k] > levels.threshold && y[k] > upper[b].mean())
            upperOuter[b].add(y[k] - upper[b].mean());
        else if (y[k] <= levels.threshold && y[k] < lower[b].mean())
            lowerOuter[b].add(y[k] - lower[b].mean());
    }
    const auto spreadOf = [](const Moments& side, const Moments& outer) {
        return outer.n >= 2 ? std::max(side.sigma(), std::sqrt(outer.sumSq / outer.n)) : side.sigma();
    };
    // Candidate instants: both levels hold at least a fifth of the bin's
    // points, so a bin at an edge with a few stray points does not win.
    int best = -1;
    double bestHeight = 0.0;
    for (int b = 0; b < bins; ++b) {
        const Moments& u = upper[std::size_t(b)];
        const Moments& l = lower[std::size_t(b)];
        if (u.n < 2 || l.n < 2 || std::min(u.n, l.n) < 0.2 * (u.n + l.n))
            continue;
        const double h = (u.mean() - 3 * spreadOf(u, upperOuter[std::size_t(b)]))
            - (l.mean() + 3 * spreadOf(l, lowerOuter[std::size_t(b)]));
        if (best < 0 || h > bestHeight) {
            best = b;
            bestHeight = h;
        }
    }
    if (best < 0) {
        for (MeasuredFigure* f : {&figures.height, &figures.amplitude, &figures.crossingPercent,
                                  &figures.riseTimeS, &figures.fallTimeS, &figures.qFactor})
            f->absent(kNoEyeOpening);
        return;
    }
    const Moments& u = upper[std::size_t(best)];
    const Moments& l = lower[std::size_t(best)];
    const double upperSigma = spreadOf(u, upperOuter[std::size_t(best)]);
    const double lowerSigma = spreadOf(l, lowerOuter[std::size_t(best)]);
    const double low = l.mean();
    const double amplitude = u.mean() - low;
    figures.amplitude.set(amplitude);
    if (bestHeight > 0.0)
        figures.height.set(bestHeight);
    else
        figures.height.absent(kNoEyeOpening);
    const double spread = upperSigma + lowerSigma;
    if (spread > 1e-12 * std::fabs(amplitude) && amplitude > 0.0)
        figures.qFactor.set(amplitude / spread);
    else
        figures.qFactor.absent(amplitude > 0.0 ? kNoLevelSpread : kNoEyeOpening);

    // Edges: each 50 % crossing inside a trace with its 20 % and 80 % points.
    const double mid = low + 0.5 * amplitude;
    const double at20 = low + 0.2 * amplitude;
    const double at80 = low + 0.8 * amplitude;
    EdgeSet edges[2];  // rising, falling
    edges[0].unitInterval = edges[1].unitInterval = ui;
    for (std::size_t s = 0; amplitude > 0.0 && s < starts.size(); ++s) {
        const std::size_t begin = starts[s];
        std::size_t end = s + 1 < starts.size() ? starts[s + 1] : count;
        for (std::size_t k = begin; k < end; ++k) {
            if (!std::isfinite(y[k])) {
                end = k;
                break;
            }
        }
        for (std::size_t k = begin; k + 1 < end; ++k) {
            const bool up = y[k] < mid && y[k + 1] >= mid;
            const bool down = y[k] >= mid && y[k + 1] < mid;
            if (!up && !down)
                continue;
            const double near = up ? at20 : at80;
            const double far = up ? at80 : at20;
            // Back to the last point still on the near side, on to the first past the far side.
            std::size_t a = k;
            while (a > begin && (up ? y[a] > near : y[a] < near))
                --a;
            std::size_t b = k + 1;
            while (b + 1 < end && (up ? y[b] < far : y[b] > far))
                ++b;
            const bool nearFound = up ? y[a] <= near : y[a] >= near;
            const bool farFound = up ? y[b] >= far : y[b] <= far;
            if (!nearFound || !farFound)
                continue;
            const double tNear = crossingTime(x[a], y[a], x[a + 1], y[a + 1], near);
            const double tFar = crossingTime(x[b - 1], y[b - 1], x[b], y[b], far);
            const double duration = tFar - tNear;
            if (!(duration > 0.0))
                continue;
            const double tMid = crossingTime(x[k], y[k], x[k + 1], y[k + 1], mid);
            edges[up ? 0 : 1].add(tMid, (up ? 0.6 : -0.6) * amplitude / duration, duration);
        }
    }
    const double secondsPerX = double(std::max<std::size_t>(firstLength, 2) - 1) / sampleRateHz;
    MeasuredFigure* edgeTimes[2] = {&figures.riseTimeS, &figures.fallTimeS};
    for (int e = 0; e < 2; ++e) {
        if (edges[e].count > 0)
            edgeTimes[e]->set(edges[e].duration() * secondsPerX);
        else
            edgeTimes[e]->absent(kTooFewCrossings);
    }
    if (edges[0].count == 0 || edges[1].count == 0) {
        figures.crossingPercent.absent(kTooFewCrossings);
        return;
    }
    const double tr = edges[0].position();
    double tf = edges[1].position();
    tf = tr + (tf - tr) - ui * std::nearbyint((tf - tr) / ui);
    const double sr = edges[0].slope();
    const double sf = edges[1].slope();
    const double t = (sr * tr - sf * tf) / (sr - sf);
    figures.crossingPercent.set(100.0 * (mid + sr * (t - tr) - low) / amplitude);
}

}  // namespace h452
