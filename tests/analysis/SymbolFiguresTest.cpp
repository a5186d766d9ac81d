// Constellation figures on synthetic carriers: random symbols with
// rectangular pulses on a carrier, through the demodulator's mixer and
// low-pass, then decided. Expected values come from the signal's own
// construction (the offset and imbalance put in) and from the noise alone
// passed through the same mixer, low-pass and symbol instants.
#include "Constellation.h"
#include "SymbolFigures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace {

using h452::ConstellationFigures;

constexpr double kTwoPi = 6.283185307179586;
constexpr double kFs = 1e9;
constexpr double kSymbolRate = 20e6;   // 50 samples per symbol: the 31-tap filter leaves a flat middle
constexpr double kMixerHz = 200e6;     // far from fs/4: the filter leaves little of the 2 fc image
constexpr int kSymbols = 1000;
constexpr double kAmplitude = 10000.0;

struct Carrier {
    int type = h452::kQpsk;
    double offsetHz = 0.0;       // carrier above the mixer frequency
    double noiseRms = 0.0;       // codes, white Gaussian at the input
    double gainImbalance = 0.0;  // delta: I branch 1 + delta, Q branch 1 - delta
    double quadratureRad = 0.0;  // epsilon: Q branch carrier phase error
    unsigned seed = 7;
};

struct Demodulated {
    std::vector<double> i, q;
};

// The demodulator's mixer (phase (k / fs) * fc * 2 pi) and low-pass, on x.
Demodulated mixAndFilter(const std::vector<double>& x)
{
    Demodulated d;
    const int n = int(x.size());
    d.i.resize(x.size());
    d.q.resize(x.size());
    for (int k = 0; k < n; ++k) {
        const double phi = (k / kFs) * (kMixerHz * kTwoPi);
        d.i[std::size_t(k)] = std::cos(phi) * x[std::size_t(k)];
        d.q[std::size_t(k)] = std::sin(phi) * x[std::size_t(k)];
    }
    double taps[h452::kDemodFilterTaps];
    h452::lowPassFilter(d.i.data(), n, kFs, kMixerHz / 2, taps);
    h452::lowPassFilter(d.q.data(), n, kFs, kMixerHz / 2, taps);
    return d;
}

// The signal and, separately, its noise (so the noise can be demodulated alone).
void synthesise(const Carrier& c, std::vector<double>& signal, std::vector<double>& noise)
{
    std::vector<double> ix, iy;
    h452::idealConstellation(c.type, ix, iy);
    std::mt19937 rng(c.seed);
    std::uniform_int_distribution<int> pick(0, int(ix.size()) - 1);
    std::normal_distribution<double> gauss(0.0, 1.0);
    const int n = int(kSymbols * kFs / kSymbolRate);
    signal.assign(std::size_t(n), 0.0);
    noise.assign(std::size_t(n), 0.0);
    long symbol = -1;
    double si = 0, sq = 0;
    for (int k = 0; k < n; ++k) {
        const long m = long(std::floor(k * kSymbolRate / kFs));
        if (m != symbol) {
            symbol = m;
            const int v = pick(rng);
            si = ix[std::size_t(v)];
            sq = iy[std::size_t(v)];
        }
        const double a = kTwoPi * (kMixerHz + c.offsetHz) * k / kFs;
        noise[std::size_t(k)] = c.noiseRms * gauss(rng);
        signal[std::size_t(k)] = kAmplitude * ((1 + c.gainImbalance) * si * std::cos(a)
                                               - (1 - c.gainImbalance) * sq * std::sin(a + c.quadratureRad))
            + noise[std::size_t(k)];
    }
}

ConstellationFigures measure(const Carrier& c, std::vector<double>* noiseEvmPercent = nullptr)
{
    std::vector<double> signal, noise;
    synthesise(c, signal, noise);
    const Demodulated d = mixAndFilter(signal);
    ConstellationFigures f;
    h452::computeConstellationFigures(d.i.data(), d.q.data(), int(d.i.size()), kFs, kMixerHz, kSymbolRate, c.type,
                                      f, 50);
    if (noiseEvmPercent && f.evmRmsPercent.present()) {
        // The same noise through the same chain, at the same instants.
        const Demodulated n = mixAndFilter(noise);
        const double sps = kFs / kSymbolRate;
        std::vector<double> ix, iy;
        h452::idealConstellation(c.type, ix, iy);
        double idealPower = 0;
        for (std::size_t k = 0; k < ix.size(); ++k)
            idealPower += ix[k] * ix[k] + iy[k] * iy[k];
        idealPower /= double(ix.size());
        double power = 0;
        int used = 0;
        for (double t = h452::kDemodFilterHalfLength + f.timingPhaseSamples;
             t <= double(n.i.size()) - 1 - h452::kDemodFilterHalfLength - 1; t += sps) {
            const std::size_t k = std::size_t(t);
            const double w = t - double(k);
            const double a = n.i[k] + (n.i[k + 1] - n.i[k]) * w;
            const double b = n.q[k] + (n.q[k + 1] - n.q[k]) * w;
            power += a * a + b * b;
            ++used;
        }
        noiseEvmPercent->push_back(100.0 * std::sqrt(power / used / idealPower) / f.gain);
    }
    return f;
}

const char* const kTypeNames[] = {"BPSK", "QPSK", "8PSK", "16QAM", "64QAM"};

// Noise levels (input codes rms) spanning 20 dB, the upper one still
// deciding every symbol correctly for the type.
struct NoiseSpan {
    int type;
    double highNoise;
};
const NoiseSpan kNoiseSpans[] = {
    {h452::kBpsk, 8000.0}, {h452::kQpsk, 6000.0}, {h452::k8psk, 2500.0},
    {h452::k16qam, 1800.0}, {h452::k64qam, 700.0},
};

TEST(SymbolFigures, CleanCarrierHasSmallEvmAndNoOffset)
{
    for (int type = 0; type < h452::kConstellationTypeCount; ++type) {
        SCOPED_TRACE(kTypeNames[type]);
        Carrier c;
        c.type = type;
        const ConstellationFigures f = measure(c);
        ASSERT_TRUE(f.evmRmsPercent.present()) << f.evmRmsPercent.reason;
        EXPECT_LT(f.evmRmsPercent.value, 1.0);
        EXPECT_GT(f.merDb.value, 40.0);
        EXPECT_NEAR(f.carrierOffsetHz.value, 0.0, 0.01 * kSymbolRate);
        EXPECT_NEAR(f.carrierHz.value, kMixerHz, 0.01 * kSymbolRate);
        EXPECT_GE(f.symbols.value, kSymbols - 2);
        EXPECT_EQ(f.symbolI.size(), 50u);
    }
}

// Measured EVM against the noise alone through the same chain, at both
// ends of a 20 dB span: within 10 % (the clean residual is far below the
// quieter end).
TEST(SymbolFigures, NoisyEvmMatchesTheNoiseAlone)
{
    for (const NoiseSpan& span : kNoiseSpans) {
        for (double noise : {span.highNoise, span.highNoise / 10}) {
            SCOPED_TRACE(std::string(kTypeNames[span.type]) + " noise " + std::to_string(noise));
            Carrier c;
            c.type = span.type;
            c.noiseRms = noise;
            std::vector<double> reference;
            const ConstellationFigures f = measure(c, &reference);
            ASSERT_TRUE(f.evmRmsPercent.present()) << f.evmRmsPercent.reason;
            ASSERT_EQ(reference.size(), 1u);
            EXPECT_NEAR(f.evmRmsPercent.value, reference[0], 0.1 * reference[0]);
            EXPECT_NEAR(f.merDb.value, -20 * std::log10(f.evmRmsPercent.value / 100), 1e-9);
        }
    }
}

// Offsets up to 20 % of the symbol rate, both signs, with noise.
TEST(SymbolFigures, CarrierOffsetIsFound)
{
    for (int type = 0; type < h452::kConstellationTypeCount; ++type) {
        for (double fraction : {0.2, -0.13}) {
            SCOPED_TRACE(std::string(kTypeNames[type]) + " offset " + std::to_string(fraction));
            Carrier c;
            c.type = type;
            c.offsetHz = fraction * kSymbolRate;
            c.noiseRms = kNoiseSpans[type].highNoise / 4;
            std::vector<double> reference;
            const ConstellationFigures f = measure(c, &reference);
            ASSERT_TRUE(f.carrierOffsetHz.present()) << f.carrierOffsetHz.reason;
            EXPECT_NEAR(f.carrierOffsetHz.value, c.offsetHz, 0.01 * kSymbolRate);
            EXPECT_NEAR(f.carrierHz.value, kMixerHz + c.offsetHz, 0.01 * kSymbolRate);
            // The offset fully removed: the EVM is the noise's.
            ASSERT_EQ(reference.size(), 1u);
            EXPECT_NEAR(f.evmRmsPercent.value, reference[0], 0.1 * reference[0]);
        }
    }
}

// I/Q imbalance: the ratio of the Q axis' image to the I axis' image,
// 10^(dB/20) e^(j quadrature), differs from 1 by what was put in. Compared as
// |ratio - 1|, which does not depend on which of the symmetric orientations
// the decisions took as I.
TEST(SymbolFigures, IqImbalanceIsMeasured)
{
    for (int type = h452::kQpsk; type < h452::kConstellationTypeCount; ++type) {
        SCOPED_TRACE(kTypeNames[type]);
        Carrier c;
        c.type = type;
        c.gainImbalance = 0.03;
        c.quadratureRad = 2.0 * kTwoPi / 360;
        const ConstellationFigures f = measure(c);
        ASSERT_TRUE(f.iqGainImbalanceDb.present()) << f.iqGainImbalanceDb.reason;
        ASSERT_TRUE(f.quadratureErrorDeg.present());
        const std::complex<double> expected =
            std::polar((1 - c.gainImbalance) / (1 + c.gainImbalance), c.quadratureRad);
        const std::complex<double> measured = std::polar(std::pow(10.0, f.iqGainImbalanceDb.value / 20),
                                                         f.quadratureErrorDeg.value * kTwoPi / 360);
        EXPECT_NEAR(std::abs(measured - 1.0), std::abs(expected - 1.0), 0.1 * std::abs(expected - 1.0))
            << f.iqGainImbalanceDb.value << " dB " << f.quadratureErrorDeg.value << " deg";
    }
    Carrier bpsk;
    bpsk.type = h452::kBpsk;
    bpsk.gainImbalance = 0.03;
    const ConstellationFigures f = measure(bpsk);
    EXPECT_FALSE(f.iqGainImbalanceDb.present());
    EXPECT_STREQ(f.quadratureErrorDeg.reason, h452::figurereason::kBpskNoQAxis);
}

TEST(SymbolFigures, AbsentWithReason)
{
    Carrier c;
    std::vector<double> signal, noise;
    synthesise(c, signal, noise);
    const Demodulated d = mixAndFilter(signal);
    const int n = int(d.i.size());
    struct Case {
        const char* name;
        int count;
        double fs;
        double symbolRate;
        const char* reason;
    };
    const Case cases[] = {
        {"no symbol rate", n, kFs, 0.0, h452::figurereason::kNoSymbolRate},
        {"symbol rate NaN", n, kFs, std::nan(""), h452::figurereason::kNoSymbolRate},
        {"above half fs", n, kFs, 0.6 * kFs, h452::figurereason::kSymbolRateTooHigh},
        {"no sample rate", n, 0.0, kSymbolRate, h452::figurereason::kNoSampleRate},
        {"19 symbols", 30 + 19 * 50, kFs, kSymbolRate, h452::figurereason::kTooFewSymbols},
        {"empty", 0, kFs, kSymbolRate, h452::figurereason::kTooFewSymbols},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        ConstellationFigures f;
        h452::computeConstellationFigures(d.i.data(), d.q.data(), k.count, k.fs, kMixerHz, k.symbolRate,
                                          h452::kQpsk, f, 10);
        EXPECT_STREQ(f.evmRmsPercent.reason, k.reason);
        EXPECT_STREQ(f.carrierOffsetHz.reason, k.reason);
        EXPECT_TRUE(std::isnan(f.merDb.value));
        EXPECT_TRUE(f.symbolI.empty());
    }

    // Silence and non-finite points: no numbers, no crash.
    std::vector<double> zeros(std::size_t(n), 0.0), nans(std::size_t(n), std::nan(""));
    for (const std::vector<double>* v : {&zeros, &nans}) {
        ConstellationFigures f;
        h452::computeConstellationFigures(v->data(), v->data(), n, kFs, kMixerHz, kSymbolRate, h452::k16qam, f);
        EXPECT_FALSE(f.evmRmsPercent.present());
        EXPECT_FALSE(f.carrierHz.present());
    }
    // QPSK symbols on one diagonal only: no I/Q fit, and the reason says why.
    std::vector<double> diagonal(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k)
        diagonal[std::size_t(k)] = (k / 50) % 2 ? 1000.0 : -1000.0;
    ConstellationFigures line;
    h452::computeConstellationFigures(diagonal.data(), diagonal.data(), n, kFs, kMixerHz, kSymbolRate, h452::kQpsk,
                                      line);
    EXPECT_TRUE(line.evmRmsPercent.present());
    EXPECT_STREQ(line.iqGainImbalanceDb.reason, h452::figurereason::kOneAxis);

    // No carrier line: everything else still computed.
    ConstellationFigures f;
    h452::computeConstellationFigures(d.i.data(), d.q.data(), n, kFs, 0.0, kSymbolRate, h452::kQpsk, f);
    EXPECT_TRUE(f.evmRmsPercent.present());
    EXPECT_STREQ(f.carrierHz.reason, h452::figurereason::kNoCarrier);
}

}  // namespace
