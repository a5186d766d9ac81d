// The standard figure set, its warnings, the sine fit and the statistics.
// Golden values come from the generated components (tone amplitudes, the
// power of the noise sequence), never from the routines under test.
#include "FigureStats.h"
#include "SineFit.h"
#include "StandardFigures.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

using h452::FigureWarning;
using h452test::addTone;
using h452test::tone;

constexpr double kFs = 32768.0 * 32768.0 / 2.0;  // full-scale sine power

double db(double ratio)
{
    return 10.0 * std::log10(ratio);
}

// Noise of exactly known power whatever the window: +-amplitude with random
// signs has n^2 = amplitude^2 at every sample, so sum n^2 w^2 / sum w^2 is
// amplitude^2 for any window w.
void addSignNoise(std::vector<double>& x, double amplitude, unsigned seed)
{
    std::mt19937 rng(seed);
    for (double& v : x)
        v += (rng() & 1u) ? amplitude : -amplitude;
}

// 16384 samples: fundamental at bin 3001, harmonics 2 .. 6 of which 3, 5
// and 6 fold about Nyquist and 5 and 6 also about DC (6002, 7381, 4380,
// 1379, 1622), sign noise and, in one case, a non-harmonic spur at bin 5000
// that is the largest spur. Every tone is coherent. A noise bin adds to a
// harmonic's bin coherently (amplitudes, not powers): each case keeps the
// harmonics at least 70 dB above the noise per bin, so that the 0.05 dB the
// set promises is not eaten by the test signal itself.
TEST(StandardFigures, KnownComponentsGiveKnownFiguresForEveryWindow)
{
    const struct {
        double harmonicDbc[5];
        double spurDbc;  // 0: no spur
        double sigma;
    } cases[] = {{{-60, -62, -66, -68, -64}, -55, 0.5},  // spur above the harmonics, noise hidden by it
                 {{-36, -38, -42, -44, -40}, 0, 10.0}};  // noise of -63 dBc, largest spur the 2nd harmonic
    const int n = 16384;
    const double rate = 1e9;
    const double a1 = 20000.0;
    const int harmonicBin[5] = {6002, 7381, 4380, 1379, 1622};
    for (const auto& c : cases) {
        std::vector<double> x = tone(n, 3001, a1, 0.3);
        const double p1 = a1 * a1 / 2.0;
        double d = 0.0;
        double largest = 0.0;
        for (int m = 2; m <= 6; ++m) {
            const double am = a1 * std::pow(10.0, c.harmonicDbc[m - 2] / 20.0);
            addTone(x, 3001.0 * m, am, 0.1 * m);
            d += am * am / 2.0;
            largest = std::max(largest, am * am / 2.0);
        }
        double spur = 0.0;
        if (c.spurDbc < 0) {
            const double as = a1 * std::pow(10.0, c.spurDbc / 20.0);
            addTone(x, 5000, as, 1.0);
            spur = as * as / 2.0;
            largest = std::max(largest, spur);
        }
        addSignNoise(x, c.sigma, 7);
        const double noise = c.sigma * c.sigma + spur;  // a spur that is no harmonic is noise to SNR
        const double sinad = db(p1 / (d + noise));
        const double sinadFs = db(kFs / (d + noise));
        for (int window = 0; window < 6; ++window) {
            SCOPED_TRACE(testing::Message() << "window " << window << " spur " << c.spurDbc);
            h452::StandardFigures f;
            h452::computeStandardFigures(x.data(), n, rate, window, 6, f);
            EXPECT_EQ(f.warnings, 0u);
            // The power-weighted centre moves with the noise in the line's
            // bins: a few hertz of a 61 kHz bin.
            EXPECT_NEAR(f.fundamentalHz, 3001.0 * rate / n, 5.0);
            EXPECT_NEAR(f.fundamentalDbfs, db(p1 / kFs), 0.05);
            EXPECT_NEAR(f.sinadDb, sinad, 0.05);
            EXPECT_NEAR(f.snrDb, db(p1 / noise), 0.05);
            EXPECT_NEAR(f.thdDb, db(d / p1), 0.05);
            EXPECT_NEAR(f.sfdrDbc, db(p1 / largest), 0.05);
            EXPECT_NEAR(f.sfdrDbfs, db(kFs / largest), 0.05);
            EXPECT_NEAR(f.enobBits, (sinad - 1.76) / 6.02, 0.01);
            EXPECT_NEAR(f.enobFsBits, (sinadFs - 1.76) / 6.02, 0.01);
            EXPECT_NEAR(f.nsdDbfsPerHz, db(noise / kFs / (rate / 2.0)), 0.05);
            ASSERT_EQ(f.harmonics.size(), 5u);
            for (int j = 0; j < 5; ++j) {
                EXPECT_EQ(f.harmonics[j].order, j + 2);
                EXPECT_EQ(f.harmonics[j].bin, harmonicBin[j]);
                EXPECT_NEAR(f.harmonics[j].freqHz, harmonicBin[j] * rate / n, 5.0 * (j + 2));
                EXPECT_NEAR(f.harmonics[j].levelDbc, c.harmonicDbc[j], 0.05);
            }
        }
    }
}

struct WarningCase {
    const char* name;
    int count;
    int window;
    std::vector<double> (*signal)(int n);
    FigureWarning expected;
};

std::vector<double> clipped(int n)
{
    std::vector<double> x = tone(n, 101, 20000.0);
    x[17] = 32767.0;
    return x;
}
std::vector<double> dcAboveTone(int n)
{
    std::vector<double> x = tone(n, 101, 15000.0);
    for (double& v : x)
        v += 16000.0;  // DC power 2.56e8 against the tone's 1.125e8
    return x;
}
std::vector<double> halfBin(int n) { return tone(n, 100.5, 20000.0); }
// 3000 samples, bin 1000: the second harmonic folds onto the fundamental.
std::vector<double> thirdOfRate(int n) { return tone(n, n / 3, 20000.0); }
// A quarter of the rate: the fourth harmonic lands on DC.
std::vector<double> quarterRate(int n) { return tone(n, n / 4, 20000.0); }
// A sixth of the rate: harmonics 2 and 4 fold to the same bin.
std::vector<double> sixthRate(int n) { return tone(n, n / 6, 20000.0); }
std::vector<double> bin2(int n) { return tone(n, 2, 20000.0); }
std::vector<double> belowNyquist(int n) { return tone(n, n / 2 - 1, 20000.0); }
std::vector<double> weak(int n) { return tone(n, 101, 32768.0 * std::pow(10.0, -40.1 / 20.0)); }
// A slow component inside DC's bins: the spectrum leaves it out, the fit
// cannot.
std::vector<double> slowDrift(int n)
{
    std::vector<double> x = tone(n, 101, 20000.0);
    addTone(x, 1, 60.0);
    addSignNoise(x, 1.0, 3);
    return x;
}

TEST(StandardFigures, EachWarningByItsSmallestInput)
{
    const WarningCase cases[] = {
        {"clipping", 4096, 1, clipped, FigureWarning::Clipping},
        {"dc_dominant", 4096, 1, dcAboveTone, FigureWarning::DcDominant},
        {"non_coherent_rectangular", 4096, 0, halfBin, FigureWarning::NonCoherentRectangular},
        {"harmonic_on_fundamental", 3000, 1, thirdOfRate, FigureWarning::HarmonicOnFundamental},
        {"harmonic_on_dc", 4096, 1, quarterRate, FigureWarning::HarmonicOnDc},
        {"harmonic_windows_overlap", 3072, 1, sixthRate, FigureWarning::HarmonicWindowsOverlap},
        {"tone_near_dc", 4096, 1, bin2, FigureWarning::ToneNearDc},
        {"tone_near_nyquist", 4096, 1, belowNyquist, FigureWarning::ToneNearNyquist},
        {"low_signal", 4096, 1, weak, FigureWarning::LowSignal},
        {"fit_disagrees", 4096, 1, slowDrift, FigureWarning::FitDisagrees},
    };
    h452::StandardFigureEngine engine;
    for (const WarningCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<double> x = c.signal(c.count);
        h452::StandardFigures f;
        h452::SineFit fit;
        h452::computeStandardSet(engine, x.data(), c.count, 1e9, c.window, 6, f, fit);
        EXPECT_TRUE(f.has(c.expected));
        int index = 0;
        while (h452::figureWarningAt(index) != c.expected)
            ++index;
        EXPECT_STREQ(h452::figureWarningCode(index), c.name);
    }

    // The figures a warning makes meaningless are absent, not numbers.
    h452::StandardFigures f;
    h452::SineFit fit;
    std::vector<double> x = thirdOfRate(3000);
    h452::computeStandardSet(engine, x.data(), 3000, 1e9, 1, 6, f, fit);
    EXPECT_TRUE(std::isnan(f.thdDb));
    EXPECT_TRUE(std::isnan(f.harmonics[0].levelDbc));
    x = halfBin(4096);
    h452::computeStandardSet(engine, x.data(), 4096, 1e9, 0, 6, f, fit);
    EXPECT_TRUE(std::isnan(f.sinadDb) && std::isnan(f.sfdrDbc) && std::isnan(f.nsdDbfsPerHz));
    x = weak(4096);
    h452::computeStandardSet(engine, x.data(), 4096, 1e9, 1, 6, f, fit);
    EXPECT_TRUE(std::isnan(f.enobBits));
    EXPECT_FALSE(std::isnan(f.enobFsBits));
    const std::vector<double> zeros(64, 0.0);
    h452::computeStandardSet(engine, zeros.data(), 64, 1e9, 1, 6, f, fit);
    EXPECT_TRUE(std::isnan(f.fundamentalHz) && std::isnan(f.sinadDb));
    EXPECT_FALSE(fit.valid);
}

TEST(StandardFigures, CleanTonesRaiseNoWarningAndBadInputIsHandled)
{
    // One bin on from each smallest trigger, and -39.9 dBFS.
    const struct {
        int window;
        double bin;
        double dbfs;
    } clean[] = {{0, 100, -3}, {1, 3, -3}, {1, 2046, -3}, {1, 101, -39.9}, {3, 1001, -1}, {5, 1001, -6}};
    h452::StandardFigureEngine engine;
    for (const auto& c : clean) {
        SCOPED_TRACE(c.bin);
        std::vector<double> x = tone(4096, c.bin, 32768.0 * std::pow(10.0, c.dbfs / 20.0), 0.4);
        addSignNoise(x, 1.0, 11);
        h452::StandardFigures f;
        h452::SineFit fit;
        h452::computeStandardSet(engine, x.data(), 4096, 1e9, c.window, 6, f, fit);
        EXPECT_EQ(f.warnings, 0u);
    }
    // A noiseless tone: both ENOBs sit at the arithmetic's floor.
    {
        const std::vector<double> x = tone(4096, 101, 20000.0, 0.2);
        h452::StandardFigures f;
        h452::SineFit fit;
        h452::computeStandardSet(engine, x.data(), 4096, 1e9, 1, 6, f, fit);
        EXPECT_EQ(f.warnings, 0u);
    }
    // Short, null and non-finite records: absent figures, no crash.
    const double nan = std::nan("");
    const double odd[9] = {nan, 1.0, -1.0, INFINITY, 0.0, 2.0, -2.0, 0.0, 1.0};
    h452::StandardFigures f;
    h452::computeStandardFigures(odd, 9, 1e9, 2, 1000, f);
    h452::computeStandardFigures(odd, 3, 1e9, 2, 6, f);
    EXPECT_TRUE(std::isnan(f.sinadDb));
    h452::computeStandardFigures(nullptr, 100, 1e9, 2, 6, f);
    EXPECT_TRUE(std::isnan(f.sinadDb));
    h452::SineFit fit;
    EXPECT_FALSE(h452::fitSine(odd, 9, 1e9, 5.0, fit));  // seed above N/2
}

TEST(SineFit, ToneBetweenBinsIsRecovered)
{
    const int n = 4096;
    const double bin = 123.37;
    std::vector<double> x = tone(n, bin, 12345.0, 0.6);
    for (double& v : x)
        v += 17.0;
    addSignNoise(x, 1.0, 5);
    h452::StandardFigureEngine engine;
    h452::StandardFigures f;
    h452::SineFit fit;
    h452::computeStandardSet(engine, x.data(), n, 2e6, 5, 6, f, fit);
    ASSERT_TRUE(fit.valid);
    // The +-1 noise moves the estimates by about its rms over sqrt(N/2).
    EXPECT_NEAR(fit.freqHz, bin * 2e6 / n, 1e-3);
    EXPECT_NEAR(fit.amplitude, 12345.0, 0.05);
    EXPECT_NEAR(fit.offset, 17.0, 0.05);
    EXPECT_NEAR(fit.phaseRad, 0.6, 1e-4);
    // Four fitted parameters take four degrees of freedom from the residual.
    const double rms = std::sqrt((n - 4.0) / n);
    EXPECT_NEAR(fit.residualRms, rms, 0.01);
    EXPECT_NEAR(fit.enobBits, std::log2(65536.0 / (std::sqrt(12.0) * rms)), 0.02);
    EXPECT_FALSE(f.has(FigureWarning::FitDisagrees));
}

TEST(FigureStats, KnownSequence)
{
    h452::RunningStats s;
    for (double v : {1.0, 2.0, 3.0, 4.0, std::nan(""), double(INFINITY)})
        s.add(v);
    EXPECT_EQ(s.count(), 4);
    EXPECT_DOUBLE_EQ(s.mean(), 2.5);
    EXPECT_DOUBLE_EQ(s.std(), std::sqrt(5.0 / 3.0));  // sample form: 5 / (4 - 1)
    EXPECT_DOUBLE_EQ(s.min(), 1.0);
    EXPECT_DOUBLE_EQ(s.max(), 4.0);
    // A large offset keeps its small spread (Welford, not sum of squares).
    h452::RunningStats big;
    for (double v : {1e9 + 1.0, 1e9 + 2.0, 1e9 + 3.0})
        big.add(v);
    EXPECT_DOUBLE_EQ(big.std(), 1.0);
    s.reset();
    EXPECT_EQ(s.count(), 0);
    EXPECT_TRUE(std::isnan(s.mean()));

    EXPECT_STREQ(h452::statFigureName(0), "NSD_dBm");
    EXPECT_STREQ(h452::statFigureName(8), "ieee1241.fundamental_hz");
    EXPECT_STREQ(h452::statFigureName(h452::kStatFigureCount - 1), "sinefit.enob_bits");
    EXPECT_EQ(h452::statFigureName(h452::kStatFigureCount), nullptr);
}

}  // namespace
