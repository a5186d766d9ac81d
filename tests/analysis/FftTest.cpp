// Spectrum: window coefficients and half-widths, the FFT stage against a
// naive DFT, the peak rules, levels, the frequency axis, and kept plans and
// windows against fresh ones.
#include "Fft.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using namespace h452;
using h452test::kPiL;

namespace {

std::vector<double> window(int type, int n)
{
    std::vector<double> w(static_cast<std::size_t>(n));
    buildWindow(type, w.data(), n);
    return w;
}

std::vector<double> freshMagnitudes(const std::vector<double>& x, int type, int* peak)
{
    const int n = static_cast<int>(x.size());
    const std::vector<double> w = window(type, n);
    std::vector<double> a(static_cast<std::size_t>(n / 2 + 1), -1.0);
    fftMagnitude(x.data(), w.data(), n, peak, a.data());
    return a;
}

}  // namespace

TEST(Spectrum, FullScaleSineOnBinReadsFullScale)
{
    // A sine exactly on bin 37 with the rectangular window: all its energy in
    // one bin. FFT rounding is around 1e-12 of the amplitude, so 1e-6 codes
    // and 1e-9 dB leave a wide margin while still catching a wrong norm.
    const int n = 1000;
    const std::vector<double> x = h452test::tone(n, 37, 32767.0, 0.3);
    int peak = -1;
    const std::vector<double> a = freshMagnitudes(x, 0, &peak);
    EXPECT_EQ(peak, 37);
    EXPECT_NEAR(a[37], 32767.0, 1e-6);
    EXPECT_NEAR(levelDbfs(a[37]), 0.0, 1e-9);
    EXPECT_LT(a[36], 1e-6);
}

TEST(Spectrum, WindowHalfWidthsAndListMapping)
{
    const int expected[kWindowListSize] = {0, 3, 3, 4, 4, 4, 0, 0, 0, 0, 0};
    for (int t = 0; t < kWindowListSize; ++t)
        EXPECT_EQ(windowHalfWidthFor(t), expected[t]) << "list index " << t;
    EXPECT_EQ(windowHalfWidthFor(-1), 0);
    EXPECT_EQ(windowHalfWidthFor(99), 0);
    // Entries from "Blackman-Harris" on compute the rectangular window.
    for (int t : {6, 7, 8, 9, 10, -3, 42})
        EXPECT_EQ(window(t, 9), std::vector<double>(9, 1.0)) << "list index " << t;
}

TEST(Spectrum, WindowCoefficientsMatchClosedForms)
{
    // The coefficients evaluated here in long double from the published
    // coefficient sets with the nine-decimal angle constants; 1e-14 covers
    // double rounding of a few cosines.
    const int n = 9;
    const long double d = n - 1;
    const long double c2 = 6.283185307L, c4 = 12.566370614L, c6 = 18.849555921L, c8 = 25.132741228L;
    const std::vector<double> hann = window(1, n), hamming = window(2, n), flat = window(3, n),
                              blackman = window(4, n), gauss = window(5, n);
    for (int i = 0; i < n; ++i) {
        const long double r = i / d;
        EXPECT_NEAR(hann[i], static_cast<double>(0.5L * (1 - std::cos(c2 * r))), 1e-14);
        EXPECT_NEAR(hamming[i], static_cast<double>(0.54L - 0.46L * std::cos(c2 * r)), 1e-14);
        EXPECT_NEAR(flat[i],
                    static_cast<double>(0.21557895L - 0.41663158L * std::cos(c2 * r) + 0.277263158L * std::cos(c4 * r)
                                        - 0.083578947L * std::cos(c6 * r) + 0.006947368L * std::cos(c8 * r)),
                    1e-14);
        EXPECT_NEAR(blackman[i], static_cast<double>(0.42L - 0.5L * std::cos(c2 * r) + 0.08L * std::cos(c4 * r)), 1e-14);
        const long double u = (i - 4.0L) * 8.192L / d;
        EXPECT_NEAR(gauss[i], static_cast<double>(std::exp(-0.5L * u * u)), 1e-14);
    }
    // Endpoints known by hand: Hann 0, Hamming 0.08, flat top -0.000421051.
    EXPECT_NEAR(hann[0], 0.0, 1e-15);
    EXPECT_NEAR(hamming[0], 0.08, 1e-15);
    EXPECT_NEAR(flat[0], -0.000421051, 1e-12);
    EXPECT_DOUBLE_EQ(gauss[4], 1.0);
}

TEST(Spectrum, EvenGaussianPeaksOneSampleRightOfMiddle)
{
    const std::vector<double> even = window(5, 10);
    EXPECT_EQ(even[5], 1.0);
    EXPECT_LT(even[4], 1.0);
    // Index 0 sits at -N/2 and index N-1 at N/2 - 1, so the ends differ.
    EXPECT_LT(even[0], even[9]);
    const std::vector<double> odd = window(5, 11);
    EXPECT_EQ(odd[5], 1.0);
    EXPECT_DOUBLE_EQ(odd[0], odd[10]);
}

TEST(Spectrum, SingleSampleWindowIsOne)
{
    for (int t = 0; t < kComputedWindowCount; ++t) {
        const std::vector<double> w = window(t, 1);
        EXPECT_EQ(w[0], 1.0) << "type " << t;
    }
}

TEST(Spectrum, MagnitudesMatchNaiveDftAcrossSizes)
{
    // Sizes that break FFT code: tiny, odd, prime, a power of two, not a
    // multiple of 4. Relative tolerance 1e-9 of the largest bin: FFTW's error
    // grows like log N times 1e-16, far below that.
    for (int n : {1, 2, 3, 7, 97, 101, 256, 1000, 1001}) {
        for (int type = 0; type < kComputedWindowCount; ++type) {
            std::vector<double> x(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i)
                x[i] = std::round(1000.0 * std::sin(0.37 * i) + 300.0 * std::cos(1.9 * i) + 5.0);
            int peak = -1;
            const std::vector<double> a = freshMagnitudes(x, type, &peak);
            const std::vector<double> w = window(type, n);
            double wsum = 0.0;
            for (double c : w)
                wsum += c;
            if (!(wsum > 0.0))
                continue;  // no scale at all; see ZeroSumWindowGivesNoLine
            const std::vector<double> ref = h452test::naiveMagnitudes(x, w);
            double largest = 0.0;
            for (double v : ref)
                largest = std::max(largest, v);
            for (std::size_t k = 0; k < ref.size(); ++k)
                ASSERT_NEAR(a[k], ref[k], 1e-9 * largest + 1e-12) << "n " << n << " type " << type << " bin " << k;
        }
    }
}

TEST(Spectrum, ZeroSumWindowGivesNoLine)
{
    // Hann, flat top and Blackman of two samples sum to 0 or a hair below:
    // dividing by that sum made NaN or negative magnitudes. They now read as
    // an empty spectrum without a line, and the kept path agrees.
    SpectrumEngine engine;
    for (int type : {1, 3, 4}) {
        int peak = -1;
        const std::vector<double> a = freshMagnitudes({1000.0, -1000.0}, type, &peak);
        EXPECT_EQ(a, std::vector<double>(2, 0.0)) << "type " << type;
        EXPECT_EQ(peak, 0);
        std::vector<double> kept(2, -1.0);
        const double x[2] = {1000.0, -1000.0};
        EXPECT_EQ(engine.magnitude(x, 2, type, kept.data()), 0);
        EXPECT_EQ(kept, a);
    }
    // Hamming and the Gaussian keep a positive sum at two samples.
    int peak = -1;
    const std::vector<double> a = freshMagnitudes({1000.0, -1000.0}, 2, &peak);
    EXPECT_EQ(peak, 1);
    EXPECT_GT(a[1], 0.0);
}

TEST(Spectrum, EmptyRecordLeavesEverythingAlone)
{
    double out = -5.0;
    int peak = 7;
    const double sample = 1.0, w = 1.0;
    fftMagnitude(&sample, &w, 0, &peak, &out);
    EXPECT_EQ(peak, 0);
    EXPECT_EQ(out, -5.0);
    fftMagnitude(&sample, &w, -3, &peak, &out);
    EXPECT_EQ(out, -5.0);
    SpectrumEngine engine;
    EXPECT_EQ(engine.magnitude(&sample, 0, 1, &out), 0);
    EXPECT_EQ(engine.window(1, 0), nullptr);
}

TEST(Spectrum, PeakRules)
{
    // x = [2,0,0,0,-2,0,0,0] is cos(pi i/4) + cos(3 pi i/4): bins 1 and 3 read
    // exactly the same, so the lower one must win.
    int peak = -1;
    std::vector<double> a = freshMagnitudes({2, 0, 0, 0, -2, 0, 0, 0}, 0, &peak);
    EXPECT_EQ(a[1], a[3]);
    EXPECT_EQ(peak, 1);
    // [1,0,1,0]: DC and the N/2 bin tie; DC takes part and comes first.
    a = freshMagnitudes({1, 0, 1, 0}, 0, &peak);
    EXPECT_EQ(a[0], a[2]);
    EXPECT_EQ(peak, 0);
    // A large DC offset and a weak tone: the peak is bin 0.
    std::vector<double> x = h452test::tone(1000, 50, 100.0);
    for (double& v : x)
        v += 2000.0;
    freshMagnitudes(x, 1, &peak);
    EXPECT_EQ(peak, 0);
    // All zeros: no bin above 0.
    freshMagnitudes(std::vector<double>(64, 0.0), 3, &peak);
    EXPECT_EQ(peak, 0);
}

TEST(Spectrum, NonFiniteSamplesCountAsZero)
{
    std::vector<double> x = h452test::tone(128, 9, 1000.0);
    std::vector<double> zeroed = x;
    x[5] = std::numeric_limits<double>::quiet_NaN();
    x[77] = std::numeric_limits<double>::infinity();
    zeroed[5] = 0.0;
    zeroed[77] = 0.0;
    int p1 = 0, p2 = 0;
    const std::vector<double> a = freshMagnitudes(x, 1, &p1);
    const std::vector<double> b = freshMagnitudes(zeroed, 1, &p2);
    EXPECT_EQ(a, b);
    EXPECT_EQ(p1, 9);
}

TEST(Spectrum, FrequencyAxisAndLevels)
{
    // Bin k of an even record sits at k fs / N; bin 10 of 1000 at 1 GS/s,
    // computed as (510/1000 - 0.5) * 1e9, lands just above 10 MHz.
    const double f10 = (510.0 / 1000.0 - 0.5) * 1e9;
    EXPECT_EQ(binFrequencyHz(10, 1000, 1e9), f10);
    EXPECT_GT(f10, 1e7);
    EXPECT_NEAR(binFrequencyHz(10, 1000, 1e9), 1e7, 1e-6);
    // Odd N: the axis is (j/N - 0.5) fs with j = N/2 + k, half a bin low.
    EXPECT_NEAR(binFrequencyHz(1, 5, 5.0), (3.0 / 5.0 - 0.5) * 5.0, 1e-15);
    std::vector<double> axis(500);
    binFrequencyAxis(1000, 1e9, axis.data());
    EXPECT_EQ(axis[0], 0.0);
    EXPECT_NEAR(axis[499], 499e6, 1e-3);
    // Levels: 20 log10(a / 32767 + 1e-20); zero magnitude gives -400 dB.
    EXPECT_NEAR(levelDbfs(32767.0 / 10.0), -20.0, 1e-12);
    EXPECT_NEAR(levelDbfs(0.0), -400.0, 1e-9);
}

TEST(Spectrum, KeptPlansAndWindowsAreBitIdenticalToFresh)
{
    // The kept path must give the very same bits as planning and building the
    // window afresh, across window types, sizes and size changes that evict
    // kept plans (more sizes than the engine keeps).
    SpectrumEngine engine;
    const int sizes[] = {1000, 7, 1024, 97, 4099, 2, 1000, 1, 7, 12345, 1000};
    for (int round = 0; round < 2; ++round) {
        for (int n : sizes) {
            std::vector<double> x(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i)
                x[i] = std::round(20000.0 * std::sin(0.011 * i * (round + 1)) + 50.0 * std::cos(2.2 * i));
            for (int type = 0; type < kWindowListSize; ++type) {
                int freshPeak = -1;
                const std::vector<double> fresh = freshMagnitudes(x, type, &freshPeak);
                std::vector<double> kept(fresh.size(), -1.0);
                const int keptPeak = engine.magnitude(x.data(), n, type, kept.data());
                ASSERT_EQ(keptPeak, freshPeak) << "n " << n << " type " << type;
                ASSERT_EQ(0, std::memcmp(kept.data(), fresh.data(), kept.size() * sizeof(double)))
                    << "n " << n << " type " << type;
                double sum = 0.0;
                const double* w = engine.window(type, n, &sum);
                ASSERT_EQ(0, std::memcmp(w, window(type, n).data(), static_cast<std::size_t>(n) * sizeof(double)));
            }
        }
    }
}

TEST(Spectrum, CoprimeSplitIsTheMostBalancedOne)
{
    struct Case {
        int count, rows, cols;
    };
    const Case cases[] = {
        {999999, 1001, 999},  // 3^3*7*11*13*37
        {100000, 3125, 32},   // 2^5*5^5
        {32767, 217, 151},    // 7*31*151
        {147840, 385, 384},   // 2^7*3*5*7*11
        {16383, 0, 0},        // 3*43*127, below the shortest record split
        {65536, 0, 0},        // one prime
        {2 * 16411, 0, 0},    // 2 is below the smallest factor taken
        {2147483647, 0, 0},   // prime
    };
    for (const Case& c : cases) {
        const CoprimeSplit s = balancedCoprimeSplit(c.count);
        EXPECT_EQ(s.rows, c.rows) << c.count;
        EXPECT_EQ(s.cols, c.cols) << c.count;
    }
}

TEST(Spectrum, PrimeFactorLayoutEqualsTheDirectTransform)
{
    // Lengths with odd and even factors on either side and rows of one or
    // several prime powers (999999 = 1001 x 999 with 1001 = 7 x 11 x 13;
    // 147840 = 385 x 384 with 385 = 5 x 7 x 11 and an even row length), a
    // tone between bins over noise, a non-finite sample (counted as 0), the
    // Hann window: every bin, and the peak, as the one-dimensional transform
    // gives them.
    for (const int n : {999999, 147840, 100000, 32767, 20000}) {
        std::vector<double> x = h452test::tone(n, n / 9.7, 9000.0);
        std::uint64_t seed = 99;
        for (double& v : x) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            v = std::round(v + static_cast<double>(seed >> 58));
        }
        x[static_cast<std::size_t>(n / 3)] = std::numeric_limits<double>::quiet_NaN();
        SpectrumEngine direct(SpectrumTransform::RealInput);
        direct.setRealLayout(RealLayout::Direct);
        SpectrumEngine split(SpectrumTransform::RealInput);
        split.setRealLayout(RealLayout::Split);
        std::vector<double> a(static_cast<std::size_t>(n / 2 + 1), -1.0);
        std::vector<double> b(a.size(), -1.0);
        const int peakA = direct.magnitude(x.data(), n, 1, a.data());
        const int peakB = split.magnitude(x.data(), n, 1, b.data());
        ASSERT_TRUE(split.splitInUse(n).valid()) << n;
        EXPECT_FALSE(direct.splitInUse(n).valid()) << n;
        ASSERT_EQ(peakA, peakB) << n;
        for (std::size_t k = 0; k < a.size(); ++k)
            ASSERT_NEAR(a[k], b[k], 1e-12 * a[static_cast<std::size_t>(peakA)]) << n << " bin " << k;
    }
}
