// Constellation: filter design and edges, reference phases, the phase
// estimate and the whole chain on synthetic BPSK and QPSK carriers.
#include "Constellation.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace h452;
using h452test::kPiL;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDeg = kPi / 180.0;

// A carrier at fc whose baseband phase after mixing is phases[i / symbolLength]:
// mixing x = A cos(phi - s) with cos(phi) and sin(phi) leaves (A/2) e^{js}.
std::vector<double> modulated(int n, double fs, double fc, double amplitude, const std::vector<double>& phases,
                              int symbolLength)
{
    std::vector<double> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double phi = (i / fs) * (fc * 6.283185307179586);
        x[i] = amplitude * std::cos(phi - phases[(i / symbolLength) % phases.size()]);
    }
    return x;
}

double angleToNearestDiagonal(double i, double q)
{
    double a = std::atan2(q, i) - kPi / 4.0;
    a = std::remainder(a, kPi / 2.0);
    return a;
}

}  // namespace

TEST(Constellation, FilterTapsAreTheHammingTaperedSinc)
{
    // Golden taps in long double from the definition: centre wc / pi, ends
    // sin(15 wc) / (15 pi) times the taper's end value 0.08.
    double taps[kDemodFilterTaps];
    const double fs = 1e9, cutoff = 1e8;
    designDemodFilter(fs, cutoff, taps);
    const long double wc = 1e8L * 2.0L * kPiL / 1e9L;
    EXPECT_NEAR(taps[15], static_cast<double>(wc / kPiL), 1e-15);
    EXPECT_NEAR(taps[0], static_cast<double>(std::sin(15.0L * wc) / (15.0L * kPiL) * 0.08L), 1e-15);
    EXPECT_DOUBLE_EQ(taps[0], taps[30]);
    const long double taper = 0.54L - 0.46L * std::cos(10.0L * 2.0L * kPiL / 30.0L);
    EXPECT_NEAR(taps[10], static_cast<double>(std::sin(-5.0L * wc) / (-5.0L * kPiL) * taper), 1e-15);
}

TEST(Constellation, LowPassEdgesAndShortRecords)
{
    double taps[kDemodFilterTaps];
    // Up to 15 samples: unchanged.
    std::vector<double> shortData = {1, 5, -3, 2, 8, 0, 4, 4, 4, 1, 2, 3, 4, 5, 6};
    const std::vector<double> copy = shortData;
    lowPassFilter(shortData.data(), 15, 1e9, 1e8, taps);
    EXPECT_EQ(shortData, copy);

    // A constant of 100 samples: the full outputs are c times the tap sum,
    // and the first and last 15 repeat the nearest full output.
    designDemodFilter(1e9, 1e8, taps);
    double tapSum = 0.0;
    for (double t : taps)
        tapSum += t;
    std::vector<double> flat(100, 3.0);
    lowPassFilter(flat.data(), 100, 1e9, 1e8, taps);
    for (double v : flat)
        EXPECT_NEAR(v, 3.0 * tapSum, 1e-12);
    std::vector<double> ramp(100);
    for (int i = 0; i < 100; ++i)
        ramp[i] = i;
    lowPassFilter(ramp.data(), 100, 1e9, 1e8, taps);
    for (int j = 0; j < 15; ++j) {
        EXPECT_EQ(ramp[j], ramp[15]);
        EXPECT_EQ(ramp[99 - j], ramp[84]);
    }

    // 16 to 30 samples keep their length and stay finite.
    for (int m = 16; m <= 30; ++m) {
        std::vector<double> d(static_cast<std::size_t>(m), 1.0);
        d[m / 2] = 50.0;
        lowPassFilter(d.data(), m, 1e9, 1e8, taps);
        for (double v : d)
            EXPECT_TRUE(std::isfinite(v));
        EXPECT_LT(d[m / 2], 50.0);
    }

    // Degenerate arguments do nothing.
    std::vector<double> keep(40, 2.0);
    lowPassFilter(keep.data(), 40, 0.0, 1e8, taps);
    lowPassFilter(nullptr, 40, 1e9, 1e8, taps);
    lowPassFilter(keep.data(), -1, 1e9, 1e8, taps);
    EXPECT_EQ(keep, std::vector<double>(40, 2.0));
}

TEST(Constellation, ReferencePhaseLists)
{
    std::vector<double> p;
    referencePhases(kBpsk, p);
    EXPECT_EQ(p, (std::vector<double>{0.0, kPi}));
    referencePhases(kQpsk, p);
    ASSERT_EQ(p.size(), 4u);
    EXPECT_NEAR(p[0], kPi / 4, 1e-15);
    EXPECT_NEAR(p[3], 7 * kPi / 4, 1e-15);
    referencePhases(k8psk, p);
    ASSERT_EQ(p.size(), 8u);
    EXPECT_NEAR(p[7], 15 * kPi / 8, 1e-15);
    // Per quadrant the 4x4 grid has the slopes 1, 3 and 1/3; the 8x8 grid 13
    // distinct slopes (16 pairs of {1,3,5,7} with the four equal ones merged).
    referencePhases(k16qam, p);
    EXPECT_EQ(p.size(), 12u);
    EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
    referencePhases(k64qam, p);
    EXPECT_EQ(p.size(), 52u);
    EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
    EXPECT_GE(p.front(), 0.0);
    EXPECT_LT(p.back(), 2 * kPi);
}

TEST(Constellation, EstimateUsesTheMiddleOfTheRecord)
{
    // Points 10 .. 89 on the QPSK diagonals turned by 10 degrees; the first
    // and last tenth turned by 40 degrees must not count.
    std::vector<double> i(100), q(100);
    for (int k = 0; k < 100; ++k) {
        const double turn = (k < 10 || k >= 90) ? 40.0 * kDeg : 10.0 * kDeg;
        const double a = kPi / 4 + (k % 4) * kPi / 2 + turn;
        i[k] = 2.0 * std::cos(a);
        q[k] = 2.0 * std::sin(a);
    }
    EXPECT_NEAR(estimatePhaseOffset(i.data(), q.data(), 100, kQpsk), 10.0 * kDeg, 1e-12);
    // Non-finite and zero points are skipped; nothing usable gives 0.
    i[50] = std::numeric_limits<double>::quiet_NaN();
    q[51] = std::numeric_limits<double>::infinity();
    i[52] = q[52] = 0.0;
    EXPECT_NEAR(estimatePhaseOffset(i.data(), q.data(), 100, kQpsk), 10.0 * kDeg, 1e-12);
    std::vector<double> zeros(20, 0.0);
    EXPECT_EQ(estimatePhaseOffset(zeros.data(), zeros.data(), 20, kQpsk), 0.0);
}

TEST(Constellation, TinyOffsetIsNoRotation)
{
    std::vector<double> i(50), q(50);
    for (int k = 0; k < 50; ++k) {
        const double a = kPi / 4 + (k % 4) * kPi / 2 + 5e-7;
        i[k] = std::cos(a);
        q[k] = std::sin(a);
    }
    const std::vector<double> i0 = i, q0 = q;
    correctConstellationPhase(i.data(), q.data(), 50, kQpsk);
    for (int k = 0; k < 50; ++k)
        EXPECT_NEAR(std::atan2(q[k], i[k]), std::atan2(q0[k], i0[k]), 1e-15);
}

TEST(Constellation, QpskRotatedByTenDegreesLandsOnTheDiagonals)
{
    // 200 MHz carrier at 1 GS/s: the mixing image at 400 MHz lies deep in the
    // filter's stop band. Symbols last 400 samples; the 31-tap filter blurs
    // about 30 samples at each change, so at least 85 % of the points must
    // sit within 2 degrees of a diagonal and 5 % of radius 1 (the image
    // ripple is below 0.5 %).
    const double fs = 1e9, fc = 200e6;
    std::vector<double> phases;
    for (int k : {0, 1, 3, 2, 2, 0, 3, 1, 0, 2, 1, 3})
        phases.push_back(kPi / 4 + k * kPi / 2 + 10.0 * kDeg);
    const int n = 400 * static_cast<int>(phases.size());
    const std::vector<double> x = modulated(n, fs, fc, 8000.0, phases, 400);
    std::vector<double> i(static_cast<std::size_t>(n)), q(static_cast<std::size_t>(n));
    double taps[kDemodFilterTaps];
    demodulateConstellation(x.data(), i.data(), q.data(), n, fs, fc, kQpsk, taps);
    int good = 0;
    for (int k = 0; k < n; ++k) {
        const double r = std::hypot(i[k], q[k]);
        if (std::abs(angleToNearestDiagonal(i[k], q[k])) < 2.0 * kDeg && std::abs(r - 1.0) < 0.05)
            ++good;
    }
    EXPECT_GE(good, n * 85 / 100);
    // The cut-off was fc / 2.
    EXPECT_NEAR(taps[15], 2.0 * (fc / 2) / fs, 1e-15);
}

TEST(Constellation, BpskCarrierTurnsOntoTheRealAxis)
{
    const double fs = 1e9, fc = 200e6;
    const std::vector<double> x = modulated(2000, fs, fc, 1000.0, {0.5}, 2000);
    std::vector<double> i(2000), q(2000);
    double taps[kDemodFilterTaps];
    demodulateConstellation(x.data(), i.data(), q.data(), 2000, fs, fc, kBpsk, taps);
    // Mean radius 1, on the 0 axis; the 400 MHz image leaves < 1 % ripple.
    for (int k = 100; k < 1900; ++k) {
        EXPECT_NEAR(i[k], 1.0, 0.01);
        EXPECT_NEAR(q[k], 0.0, 0.01);
    }
}

TEST(Constellation, CarrierAboveNyquistCutsAt045Fs)
{
    std::vector<double> x(64, 1.0), i(64), q(64);
    double taps[kDemodFilterTaps];
    demodulateConstellation(x.data(), i.data(), q.data(), 64, 1e9, 1.2e9, kQpsk, taps);
    // Centre tap = wc / pi = 2 * cutoff / fs = 0.9.
    EXPECT_NEAR(taps[15], 0.9, 1e-15);
}

TEST(Constellation, StartIsTheFirstMinimumOfOnePeriod)
{
    const std::vector<double> x = {5, 3, 3, 1, 1, 0, -9, 4};
    EXPECT_EQ(constellationStart(x.data(), 8, 5.0, 1.0), 3);   // 5 samples: first of the equal 1s
    EXPECT_EQ(constellationStart(x.data(), 8, 1e30, 1e-5), 6); // limited to N, no overflow
    EXPECT_EQ(constellationStart(x.data(), 8, 1.0, 2.0), 0);   // trunc(0.5) = 0 samples
    EXPECT_EQ(constellationStart(x.data(), 8, 1.0, 0.0), 0);
    EXPECT_EQ(constellationStart(nullptr, 8, 1.0, 1.0), 0);
}

TEST(Constellation, QamChartScaleIsTheLargestFiniteCoordinate)
{
    const std::vector<double> i = {0.5, -3.0, std::numeric_limits<double>::quiet_NaN()};
    const std::vector<double> q = {2.0, 1.0, 100.0};
    EXPECT_EQ(constellationChartScale(i.data(), q.data(), 3, k16qam), 3.0);
    EXPECT_EQ(constellationChartScale(i.data(), q.data(), 3, kQpsk), 1.0);
    const std::vector<double> z(3, 0.0);
    EXPECT_EQ(constellationChartScale(z.data(), z.data(), 3, k64qam), 1.0);
}

// ---------------------------------------------------------------------------
// The window's fast arithmetic against the C library and the exact chain.

TEST(ConstellationFast, SinCosAndAtan2StayWithinTwoUnitsOfTheLibrary)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Quadrant edges, both signs, phases of long records, and phases the
    // reduction cannot take (the library's values then).
    std::vector<double> phases = {0.0, -0.0, kPi / 4, kPi / 2, kPi, 3 * kPi / 2, -kPi / 4, -kPi, 1e-300,
                                  2.5e6 + 0.1, -3.1e6, 5.1e7, 6e7, 1e300, inf, -inf, nan};
    for (int k = 0; k < 20001; ++k)
        phases.push_back((k - 10000) * 0.7853981633974483 * 1.0001 + 1e-3 * k);
    std::vector<double> c(phases.size()), s(phases.size());
    sinCosFast(phases.data(), c.data(), s.data(), static_cast<int>(phases.size()));
    for (std::size_t k = 0; k < phases.size(); ++k) {
        const double p = phases[k];
        if (!std::isfinite(p)) {
            EXPECT_TRUE(std::isnan(c[k]) && std::isnan(s[k])) << p;
            continue;
        }
        // Two units in the last place of values up to 1.
        EXPECT_NEAR(c[k], std::cos(p), 4.5e-16) << p;
        EXPECT_NEAR(s[k], std::sin(p), 4.5e-16) << p;
    }

    struct Point {
        double y, x;
    };
    std::vector<Point> points = {{0.0, 1.0},  {-0.0, 1.0}, {0.0, -1.0}, {-0.0, -1.0}, {1.0, 0.0},
                                 {1.0, -0.0}, {-1.0, 0.0}, {0.0, 0.0},  {-0.0, -0.0}, {inf, 1.0},
                                 {1.0, -inf}, {nan, 1.0},  {1e-300, 1e300}, {1e300, -1e-300}, {3.0, 3.0},
                                 {-2.0, -2.0}, {1.0, 16.0}};
    for (int k = 0; k < 4000; ++k)
        points.push_back({std::sin(k * 0.37) * (k % 17 + 1), std::cos(k * 0.71) * (k % 13 + 1)});
    for (const Point& pt : points) {
        const double a = atan2Fast(pt.y, pt.x);
        const double b = std::atan2(pt.y, pt.x);
        if (std::isnan(b)) {
            EXPECT_TRUE(std::isnan(a));
            continue;
        }
        EXPECT_NEAR(a, b, 4.5e-16 * std::max(1.0, std::abs(b))) << pt.y << ", " << pt.x;
        EXPECT_EQ(std::signbit(a), std::signbit(b)) << pt.y << ", " << pt.x;
    }
}

TEST(ConstellationFast, ChainGivesTheExactPointsToRounding)
{
    // Every modulation, records shorter than the filter, odd lengths, the
    // block edges of the fused chain and long records with a carrier near
    // fs / 2 (the phases grow to 3e5 rad).
    // The difference is rounding of the mixer and the angles carried
    // through the filter and a weighted mean: far below 1e-12 of the
    // largest point, while a wrong quadrant, sign or scale moves points by
    // whole units.
    const double fs = 1e9;
    std::vector<double> phases;
    for (int k : {0, 1, 3, 2, 2, 0, 3, 1, 0, 2, 1, 3, 1})
        phases.push_back(kPi / 4 + k * kPi / 2 + 10.0 * kDeg);
    struct Case {
        int n;
        double fc;
    };
    // 542 and 1055 samples fill one block of 512 filtered points exactly
    // and two blocks and one point; 999 999 is the window's longest record.
    for (const Case c : {Case{16, 100e6}, Case{31, 200e6}, Case{32, 60e6}, Case{542, 150e6}, Case{1001, 123.4e6},
                         Case{1055, 10e6}, Case{100001, 0.49e9}, Case{999999, 100e6}}) {
        std::vector<double> x = modulated(c.n, fs, c.fc, 8000.0, phases, 77);
        for (int k = 0; k < c.n; ++k)
            x[k] = std::round(x[k] + 50.0 * std::sin(0.913 * k * k));
        if (c.n > 100)
            x[50] = std::numeric_limits<double>::quiet_NaN();  // taken as 0 by both
        for (int type = 0; type < kConstellationTypeCount; ++type) {
            std::vector<double> ie(c.n), qe(c.n), iq(c.n), qq(c.n);
            double taps[kDemodFilterTaps];
            demodulateConstellationWith(DemodArithmetic::Exact, x.data(), ie.data(), qe.data(), c.n, fs, c.fc, type,
                                        taps);
            demodulateConstellation(x.data(), iq.data(), qq.data(), c.n, fs, c.fc, type, taps);
            ASSERT_EQ(ie, iq) << "Exact is the plain chain";
            demodulateConstellationWith(DemodArithmetic::Fast, x.data(), iq.data(), qq.data(), c.n, fs, c.fc, type,
                                        taps);
            double largest = 0.0;
            for (int k = 0; k < c.n; ++k)
                largest = std::max({largest, std::abs(ie[k]), std::abs(qe[k])});
            ASSERT_GT(largest, 0.0);
            for (int k = 0; k < c.n; ++k) {
                ASSERT_NEAR(iq[k], ie[k], 1e-12 * largest) << c.n << " type " << type << " point " << k;
                ASSERT_NEAR(qq[k], qe[k], 1e-12 * largest) << c.n << " type " << type << " point " << k;
            }
        }
    }
    // Degenerate points: no qualifying point gives 0 either way.
    const std::vector<double> zeros(40, 0.0);
    EXPECT_EQ(estimatePhaseOffsetWith(DemodArithmetic::Fast, zeros.data(), zeros.data(), 40, kQpsk), 0.0);
    EXPECT_EQ(estimatePhaseOffsetWith(DemodArithmetic::Fast, nullptr, zeros.data(), 40, kQpsk), 0.0);
    // Non-finite and vanishing points are skipped alike; an odd count
    // leaves one lane of the last pair empty.
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> i = {0.3, inf, -0.2, 0.0, std::nan(""), 1e-12, 0.5, -0.4, 0.8, 1e300, 0.25};
    std::vector<double> q = {0.2, 0.1, 0.35, 0.0, 0.4, 0.0, -0.45, -0.3, 0.1, 1e300, -0.7};
    for (int type = 0; type < kConstellationTypeCount; ++type) {
        const double exact = estimatePhaseOffset(i.data(), q.data(), 11, type);
        EXPECT_NEAR(estimatePhaseOffsetWith(DemodArithmetic::Fast, i.data(), q.data(), 11, type), exact, 1e-15)
            << type;
    }
}
