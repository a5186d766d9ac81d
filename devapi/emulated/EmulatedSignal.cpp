// EmulatedSignal.cpp - analog sources of the emulated board. Every value is a
// pure function of (configuration, channel, seed, absolute sample index,
// rate), so the same unit of the board's memory always reads the same while
// a later capture at a later index sees the signal moved on: the sweep
// advances, noise and symbols are fresh.
#include "EmulatedSignal.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>

namespace lompcie {
namespace {

constexpr double kTwoPi = 6.283185307179586;

// SplitMix64: a well-mixed hash of a 64-bit value, the basis of noise and
// symbol choice (stateless, so any sample can be computed alone).
uint64_t mix(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

double uniform(uint64_t h)
{
    return (static_cast<double>(h >> 11) + 0.5) * (1.0 / 9007199254740992.0);
}

// Two standard normal values for one pair of samples (Box-Muller on two
// hashed uniforms).
void gaussianPair(uint64_t seed, int channel, int64_t pair, double out[2])
{
    const uint64_t h = mix(mix(seed * 4 + static_cast<uint64_t>(channel)) + static_cast<uint64_t>(pair));
    const double r = std::sqrt(-2.0 * std::log(uniform(h)));
    const double a = kTwoPi * uniform(mix(h));
    out[0] = r * std::cos(a);
    out[1] = r * std::sin(a);
}

// Fractional part of cycles = f * n / fs, kept exact for large n by working
// in long double at the start and stepping in double afterwards.
long double cyclesAt(double freqHz, double sampleRateHz, int64_t n)
{
    long double c = static_cast<long double>(freqHz) / sampleRateHz * n;
    return c - std::floor(c);
}

// Constellation point (I, Q), peak magnitude 1, for symbol value v.
void constellation(SignalKind kind, uint64_t v, double &i, double &q)
{
    switch (kind) {
    case SignalKind::Bpsk:
        i = (v & 1) ? 1.0 : -1.0;
        q = 0.0;
        return;
    case SignalKind::Qpsk:
    case SignalKind::Psk8: {
        const int m = kind == SignalKind::Qpsk ? 4 : 8;
        const double a = kTwoPi * static_cast<double>(v % m) / m + (m == 4 ? kTwoPi / 8 : 0.0);
        i = std::cos(a);
        q = std::sin(a);
        return;
    }
    case SignalKind::Qam16:
    case SignalKind::Qam64: {
        const int side = kind == SignalKind::Qam16 ? 4 : 8;
        const double li = 2.0 * static_cast<double>(v % side) - (side - 1);
        const double lq = 2.0 * static_cast<double>((v / side) % side) - (side - 1);
        const double peak = (side - 1) * std::sqrt(2.0);
        i = li / peak;
        q = lq / peak;
        return;
    }
    default:
        i = q = 0.0;
    }
}

bool parseNumber(const std::string &s, double &v)
{
    if (s.empty())
        return false;
    char *end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return end && *end == '\0' && std::isfinite(v);
}

} // namespace

SignalConfig defaultSignalConfig(int channel)
{
    SignalConfig c;
    c.noiseRms = 3.0;
    switch (channel) {
    case 0:
        c.kind = SignalKind::Tone;
        c.freqHz = 10e6;
        c.harmonicDbc[2] = -65.0;
        c.harmonicDbc[3] = -72.0;
        break;
    case 1:
        c.kind = SignalKind::Sweep;
        c.amplitude = 12000.0;
        break;
    case 2:
        c.kind = SignalKind::Qpsk;
        c.freqHz = 50e6;
        c.symbolRateHz = 10e6;
        c.amplitude = 12000.0;
        break;
    default:
        c.kind = SignalKind::Pulse;
        c.freqHz = 5e6;
        c.amplitude = 10000.0;
        break;
    }
    return c;
}

bool parseSignalConfig(const std::string &text, SignalConfig &config, std::string &error)
{
    static const std::map<std::string, SignalKind> kinds = {
        {"off", SignalKind::Off},     {"tone", SignalKind::Tone},   {"sweep", SignalKind::Sweep},
        {"bpsk", SignalKind::Bpsk},   {"qpsk", SignalKind::Qpsk},   {"8psk", SignalKind::Psk8},
        {"16qam", SignalKind::Qam16}, {"64qam", SignalKind::Qam64}, {"pulse", SignalKind::Pulse}};
    const std::size_t colon = text.find(':');
    const std::string kindName = text.substr(0, colon);
    const auto kind = kinds.find(kindName);
    if (kind == kinds.end()) {
        error = "unknown signal kind '" + kindName + "'";
        return false;
    }
    SignalConfig c; // keys not given take the defaults of a fresh config
    c.kind = kind->second;
    if (c.kind == SignalKind::Bpsk || c.kind == SignalKind::Qpsk || c.kind == SignalKind::Psk8
        || c.kind == SignalKind::Qam16 || c.kind == SignalKind::Qam64)
        c.freqHz = 50e6;
    if (c.kind == SignalKind::Pulse)
        c.freqHz = 5e6;
    std::string rest = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string item = rest.substr(0, comma);
        rest = comma == std::string::npos ? std::string() : rest.substr(comma + 1);
        if (item.empty())
            continue;
        const std::size_t eq = item.find('=');
        double v = 0.0;
        if (eq == std::string::npos || !parseNumber(item.substr(eq + 1), v)) {
            error = "malformed item '" + item + "'";
            return false;
        }
        const std::string key = item.substr(0, eq);
        if (key == "amp" && v >= 0)
            c.amplitude = v;
        else if (key == "offset")
            c.offset = v;
        else if (key == "noise" && v >= 0)
            c.noiseRms = v;
        else if ((key == "freq" || key == "carrier") && v >= 0)
            c.freqHz = v;
        else if (key == "phase")
            c.phaseDeg = v;
        else if (key.size() == 2 && key[0] == 'h' && key[1] >= '2' && key[1] <= '9' && v < 0)
            c.harmonicDbc[key[1] - '0'] = v;
        else if (key == "from" && v >= 0)
            c.sweepFromHz = v;
        else if (key == "to" && v >= 0)
            c.sweepToHz = v;
        else if (key == "period" && v > 0)
            c.sweepPeriodS = v;
        else if (key == "symrate" && v > 0)
            c.symbolRateHz = v;
        else if (key == "duty" && v >= 0 && v <= 1)
            c.duty = v;
        else {
            error = "unknown key or value out of range in '" + item + "'";
            return false;
        }
    }
    config = c;
    return true;
}

void synthesise(const SignalConfig &config, int channel, uint64_t seed, int64_t firstSample,
                double sampleRateHz, bool lowPass, int count, int16_t *out)
{
    const double nyquist = sampleRateHz / 2;
    const bool passes = !lowPass || config.freqHz < nyquist;
    const double phase0 = config.phaseDeg / 360.0;
    const double step = config.freqHz / sampleRateHz;
    const double symbolsPerSample = config.symbolRateHz / sampleRateHz;
    const double dt = 1.0 / sampleRateHz;
    const double span = config.sweepToHz - config.sweepFromHz;
    const uint64_t symbolKey = seed ^ (0xC0FFEEull + static_cast<uint64_t>(channel) * 0x9E37ull);
    double harmonicAmp[10] = {};
    for (int h = 2; h <= 9; ++h)
        if (config.harmonicDbc[h] < 0.0 && !(lowPass && config.freqHz * h >= nyquist))
            harmonicAmp[h] = config.amplitude * std::pow(10.0, config.harmonicDbc[h] / 20.0);

    // Phases are stepped in double from anchors computed exactly (long
    // double) at every multiple of kAnchor samples, so a sample's value
    // depends on its index alone, not on where a read started.
    constexpr int64_t kAnchor = 4096;
    int64_t anchor = INT64_MIN;
    double cycAnchor = 0.0, tauAnchor = 0.0;
    int64_t pairIndex = INT64_MIN;
    double pairValues[2] = {0.0, 0.0};
    int64_t symbolIndex = INT64_MIN;
    double symI = 0.0, symQ = 0.0;
    for (int k = 0; k < count; ++k) {
        const int64_t n = firstSample + k;
        const int64_t base = n - (((n % kAnchor) + kAnchor) % kAnchor);
        if (base != anchor) {
            anchor = base;
            cycAnchor = static_cast<double>(cyclesAt(config.freqHz, sampleRateHz, base));
            const long double t = static_cast<long double>(base) / sampleRateHz;
            long double tau = std::fmod(t, static_cast<long double>(config.sweepPeriodS));
            if (tau < 0)
                tau += config.sweepPeriodS;
            tauAnchor = static_cast<double>(tau);
        }
        const double offsetSamples = static_cast<double>(n - base);
        // Cycles of the fundamental, reduced to [0, 1) so that the
        // harmonics stay exact too.
        double cyc = cycAnchor + step * offsetSamples;
        cyc -= std::floor(cyc);
        double v = config.offset;
        switch (config.kind) {
        case SignalKind::Off:
            break;
        case SignalKind::Tone:
            if (passes)
                v += config.amplitude * std::sin(kTwoPi * (cyc + phase0));
            for (int h = 2; h <= 9; ++h)
                if (harmonicAmp[h] != 0.0)
                    v += harmonicAmp[h] * std::sin(kTwoPi * h * (cyc + phase0));
            break;
        case SignalKind::Sweep: {
            // Linear sweep from -> to over each period, restarting each period.
            double tau = tauAnchor + offsetSamples * dt;
            if (tau >= config.sweepPeriodS)
                tau = std::fmod(tau, config.sweepPeriodS);
            const double f = config.sweepFromHz + span * tau / config.sweepPeriodS;
            if (!lowPass || f < nyquist) {
                double sc = config.sweepFromHz * tau + span * tau * tau / (2 * config.sweepPeriodS);
                sc -= std::floor(sc);
                v += config.amplitude * std::sin(kTwoPi * (sc + phase0));
            }
            break;
        }
        case SignalKind::Pulse: {
            // An edge that falls on a sample must land on the same side of
            // it whatever the capture's start: cyc carries rounding of about
            // 1e-13, which put a sample exactly on an edge (0.25 of a period,
            // or the period's start) high or low at random, so four periods
            // read 999 to 1001 samples high. Within 1e-9 of a period an edge
            // counts as reached.
            constexpr double kEdge = 1e-9;
            const double c = cyc > 1.0 - kEdge ? cyc - 1.0 : cyc;
            if (c < config.duty - kEdge)
                v += config.amplitude;
            break;
        }
        default: {
            if (!passes)
                break;
            const int64_t m = static_cast<int64_t>(std::floor(static_cast<double>(n) * symbolsPerSample));
            if (m != symbolIndex) {
                symbolIndex = m;
                constellation(config.kind, mix(symbolKey ^ mix(static_cast<uint64_t>(m))), symI, symQ);
            }
            const double a = kTwoPi * (cyc + phase0);
            v += config.amplitude * (symI * std::cos(a) - symQ * std::sin(a));
            break;
        }
        }
        if (config.noiseRms > 0.0) {
            // Box-Muller gives two independent normals per pair of samples.
            const int64_t pair = n >= 0 ? n / 2 : (n - 1) / 2;
            if (pair != pairIndex) {
                pairIndex = pair;
                gaussianPair(seed, channel, pair, pairValues);
            }
            v += config.noiseRms * pairValues[n - 2 * pair];
        }
        v = std::nearbyint(v);
        if (v > 32767.0)
            v = 32767.0;
        if (v < -32768.0)
            v = -32768.0;
        out[k] = static_cast<int16_t>(v);
    }
}

} // namespace lompcie
