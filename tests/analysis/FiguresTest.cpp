// Figures of merit: known tones, harmonics, spurs and noise give SNR, SINAD,
// SFDR, ENOB and NSD from closed forms; the edge rules of the sums; the line
// rules of the table.
#include "Figures.h"
#include "Fft.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace h452;

namespace {

std::vector<double> spectrumOf(const std::vector<double>& x, int type, int* peak)
{
    const int n = static_cast<int>(x.size());
    std::vector<double> w(static_cast<std::size_t>(n));
    buildWindow(type, w.data(), n);
    std::vector<double> a(static_cast<std::size_t>(n / 2 + 1));
    fftMagnitude(x.data(), w.data(), n, peak, a.data());
    return a;
}

double db10(double ratio)
{
    return 10.0 * std::log10(ratio);
}

}  // namespace

TEST(Figures, KnownHarmonicsSpurAndNoiseTones)
{
    // Line 10000 codes on bin 50, harmonics 100 (bin 100) and 30 (bin 150), a
    // spur of 50 on bin 77 and ten "noise" tones of 10 on bins 301..310, all
    // on exact bins with the rectangular window, so every power is known:
    // harmonics 1e8 + 1e4 + 900, noise 2500 + 1000, line 1e8, rest 14400.
    // FFT leakage is ~1e-8 codes per bin, which moves the figures by far less
    // than the 1e-6 dB allowed.
    const int n = 1000;
    std::vector<double> x = h452test::tone(n, 50, 10000.0, 0.1);
    h452test::addTone(x, 100, 100.0, 0.7);
    h452test::addTone(x, 150, 30.0, 1.3);
    h452test::addTone(x, 77, 50.0, 2.1);
    for (int b = 301; b <= 310; ++b)
        h452test::addTone(x, b, 10.0, 0.37 * b);
    int peak = 0;
    const std::vector<double> a = spectrumOf(x, 0, &peak);
    ASSERT_EQ(peak, 50);

    ChannelFigures f;
    computeSpectrumFigures(a.data(), n, peak, 0, f);
    const double harmonics = 1e8 + 1e4 + 900.0;
    const double noise = 3500.0;
    EXPECT_NEAR(f.snrDb, db10(harmonics / noise), 1e-6);
    EXPECT_NEAR(f.sinadDb, db10(1e8 / 14400.0), 1e-6);
    EXPECT_NEAR(f.sfdrDb, -40.0, 1e-6);
    EXPECT_NEAR(f.enobBits, (db10(harmonics / noise) - 1.76) / 6.02, 1e-6);
    const double nsd = db10(noise * 1.4358870086591545e-15);
    EXPECT_NEAR(f.nsdDbm, nsd, 1e-6);
    EXPECT_NEAR(f.nsdNv, std::sqrt(std::pow(10.0, nsd / 10.0) * 50.0 / 1000.0) * 1e9, 1e-6 * f.nsdNv);
    // The two line figures are not touched here.
    EXPECT_EQ(f.maxDbfs, 0.0);
    EXPECT_EQ(f.frequMhz, 0.0);
}

TEST(Figures, GaussianNoiseGivesItsSnr)
{
    // A 10000-code sine over white noise of sigma 10: SNR = 10 log10(a^2 /
    // (2 sigma^2)) = 56.99 dB. The noise power estimated from 32768 bins has
    // a relative spread of about 0.55 % (0.024 dB), so 0.1 dB is four spreads;
    // the seed is fixed, so the test is deterministic.
    const int n = 65536;
    std::vector<double> x = h452test::tone(n, 1234, 10000.0);
    std::mt19937_64 rng(12345);
    std::normal_distribution<double> noise(0.0, 10.0);
    for (double& v : x)
        v += noise(rng);
    int peak = 0;
    const std::vector<double> a = spectrumOf(x, 0, &peak);
    ASSERT_EQ(peak, 1234);
    ChannelFigures f;
    computeSpectrumFigures(a.data(), n, peak, 0, f);
    const double expected = db10(1e8 / 200.0);
    EXPECT_NEAR(f.snrDb, expected, 0.1);
    EXPECT_NEAR(f.sinadDb, expected, 0.1);
    EXPECT_NEAR(f.enobBits, (expected - 1.76) / 6.02, 0.1 / 6.02);
}

TEST(Figures, ZeroNoiseIsInfiniteSnr)
{
    std::vector<double> a(33, 0.0);
    a[5] = 100.0;
    ChannelFigures f;
    computeSpectrumFigures(a.data(), 64, 5, 0, f);
    EXPECT_TRUE(std::isinf(f.nsdDbm) && f.nsdDbm < 0);
    EXPECT_EQ(f.nsdNv, 0.0);
    EXPECT_TRUE(std::isinf(f.snrDb) && f.snrDb > 0);
    EXPECT_TRUE(std::isinf(f.enobBits) && f.enobBits > 0);
    EXPECT_TRUE(std::isinf(f.sinadDb) && f.sinadDb > 0);
}

TEST(Figures, OverlappingHarmonicWindowsGiveNegativeNoise)
{
    // N = 64, P = 3, h = 4, every bin 1: harmonic windows 0..7, 2..10, 5..13,
    // 8..16, 11..19 hold 8 + 4 * 9 = 44 bins, more than the 32 of the total.
    std::vector<double> a(33, 1.0);
    double dbm = 0.0, nv = 0.0;
    const double snr = computeSnr(a.data(), 64, 3, 4, &dbm, &nv);
    EXPECT_TRUE(std::isnan(dbm));
    EXPECT_TRUE(std::isnan(nv));
    EXPECT_TRUE(std::isinf(snr) && snr > 0);
}

TEST(Figures, HarmonicsStopAtHalfTheRecord)
{
    // P = 130 of 1000: harmonics 130, 260, 390 count, 520 lies beyond N/2.
    std::vector<double> a(501, 0.0);
    a[130] = 100.0;
    a[260] = 10.0;
    a[390] = 10.0;
    a[499] = 10.0;
    EXPECT_NEAR(computeSnr(a.data(), 1000, 130, 0, nullptr, nullptr), db10(10200.0 / 100.0), 1e-9);
    // P = 300: only the fundamental (600 > 500).
    std::vector<double> b(501, 0.0);
    b[300] = 100.0;
    b[450] = 10.0;
    EXPECT_NEAR(computeSnr(b.data(), 1000, 300, 0, nullptr, nullptr), db10(10000.0 / 100.0), 1e-9);
}

TEST(Figures, WindowsAtTheSpectrumEdges)
{
    // P = 499, h = 3 of 1000: the harmonic window stops below bin 500, the
    // SINAD line window includes it.
    std::vector<double> a(501, 0.0);
    a[499] = 100.0;
    a[500] = 10.0;
    a[10] = 1.0;
    EXPECT_NEAR(computeSnr(a.data(), 1000, 499, 3, nullptr, nullptr), db10(10000.0 / 101.0), 1e-9);
    EXPECT_NEAR(computeSinad(a.data(), 1000, 499, 3), db10(10100.0 / 1.0), 1e-9);
    // A line at bin 1 with h = 3: the harmonic windows 0..4, 0..5, 0..6, 1..7
    // and 2..8 count DC (which the total leaves out) and the line three more
    // times: 3 * 10100 + 10000 against a total of 10001, a negative noise.
    std::vector<double> c(501, 0.0);
    c[0] = 10.0;
    c[1] = 100.0;
    c[200] = 1.0;
    double dbm = 0.0;
    const double snr = computeSnr(c.data(), 1000, 1, 3, &dbm, nullptr);
    EXPECT_TRUE(std::isnan(dbm));
    EXPECT_TRUE(std::isinf(snr));
}

TEST(Figures, SfdrWithoutSpursIsMinus200BelowTheLine)
{
    std::vector<double> a(5, 1.0);
    a[2] = 1000.0;
    EXPECT_NEAR(computeSfdr(a.data(), 8, 2, 3), -200.0 - 60.0, 1e-9);
    // With the rectangular window the nearest bins are spurs; a NaN bin is
    // skipped, DC takes part.
    std::vector<double> b(501, 0.0);
    b[100] = 1000.0;
    b[101] = std::numeric_limits<double>::quiet_NaN();
    b[0] = 10.0;
    b[300] = 1.0;
    EXPECT_NEAR(computeSfdr(b.data(), 1000, 100, 0), -40.0, 1e-9);
}

TEST(Figures, LineRulesOfTheTable)
{
    // Channel 0: 1 <= P < N/2; channels 1 to 3: 1 <= P < N/2 - 5.
    EXPECT_FALSE(isLineUsable(0, 0, 1000));
    EXPECT_TRUE(isLineUsable(0, 1, 1000));
    EXPECT_TRUE(isLineUsable(0, 499, 1000));
    EXPECT_FALSE(isLineUsable(0, 500, 1000));
    EXPECT_TRUE(isLineUsable(2, 494, 1000));
    EXPECT_FALSE(isLineUsable(2, 495, 1000));
    EXPECT_FALSE(isLineUsable(3, 499, 1000));
    EXPECT_FALSE(isLineUsable(1, 1, 8));

    ChannelFigures f;
    f.nsdDbm = -150.0;
    f.nsdNv = 7.0;
    // The first line after a zero frequency always asks for a fit.
    EXPECT_TRUE(applyLineFigures(f, true, -3.0, 100e6));
    EXPECT_EQ(f.frequMhz, 100.0);
    EXPECT_EQ(f.maxDbfs, -3.0);
    EXPECT_FALSE(applyLineFigures(f, true, -3.0, 110e6));  // +10 %
    EXPECT_TRUE(applyLineFigures(f, true, -3.0, 132e6));   // +20 %
    EXPECT_TRUE(applyLineFigures(f, true, -3.0, 105.6e6)); // -20 %
    f.snrDb = 50.0;
    f.sfdrDb = -70.0;
    f.sinadDb = 49.0;
    f.enobBits = 8.0;
    EXPECT_FALSE(applyLineFigures(f, false, -3.0, 100e6));
    EXPECT_EQ(f.snrDb, 0.0);
    EXPECT_EQ(f.enobBits, 0.0);
    EXPECT_EQ(f.maxDbfs, 0.0);
    EXPECT_EQ(f.frequMhz, 0.0);
    EXPECT_EQ(f.sfdrDb, 0.0);
    EXPECT_EQ(f.sinadDb, 0.0);
    EXPECT_EQ(f.nsdDbm, -150.0);
    EXPECT_EQ(f.nsdNv, 7.0);
}
