// Markers on a known multi-tone spectrum: tones on whole bins of a
// rectangular-window FFT read their amplitudes exactly, and the folded
// harmonic frequencies are worked out by hand below.
#include "Fft.h"
#include "PeakMarkers.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <vector>

using namespace h452;

TEST(PeakMarkers, PeakHarmonicsAndNextPeakOnMultiTone)
{
    // fs 1000 S/s, 1000 samples: bin k is k Hz. Fundamental 300 Hz;
    // H2 600 -> 400, H3 900 -> 100, H4 1200 -> 200, H5 1500 -> 500 Hz.
    const int n = 1000;
    const double fs = 1000.0;
    std::vector<double> x = h452test::tone(n, 300, 20000);
    const struct { int bin; double amplitude; } others[] = {{400, 300}, {100, 30}, {50, 3000}};
    for (const auto& t : others) {
        const std::vector<double> y = h452test::tone(n, t.bin, t.amplitude, 0.3);
        for (int i = 0; i < n; ++i)
            x[i] += y[i];
    }
    std::vector<double> window(n), magnitudes(n / 2 + 1), levels(n / 2);
    buildWindow(0, window.data(), n);
    int peak = 0;
    fftMagnitude(x.data(), window.data(), n, &peak, magnitudes.data());
    magnitudesToLevels(magnitudes.data(), n / 2, levels.data());

    EXPECT_EQ(strongestBin(levels.data(), n / 2, 1), 300);
    double harmonics[kHighestMarkerHarmonic - 1];
    harmonicMarkerFrequencies(binFrequencyHz(300, n, fs), fs, harmonics);
    const double expected[] = {400, 100, 200, 500};
    for (int m = 0; m < kHighestMarkerHarmonic - 1; ++m) {
        EXPECT_NEAR(harmonics[m], expected[m], 1e-6) << "H" << m + 2;  // F[] carries ~1e-13 rounding
        EXPECT_EQ(binNearestFrequency(harmonics[m], n, fs, n / 2), m == 3 ? n / 2 - 1 : static_cast<int>(expected[m]));
    }

    int peaks[8];
    const int count = findPeaks(levels.data(), n / 2, 3, peaks, 4);
    ASSERT_EQ(count, 4);
    EXPECT_EQ(std::vector<int>(peaks, peaks + count), (std::vector<int>{300, 50, 400, 100}));
    EXPECT_EQ(nextPeakIndex(0, count), 1);
    EXPECT_EQ(nextPeakIndex(count - 1, count), 0);
    EXPECT_EQ(nextPeakIndex(0, 0), -1);
}

TEST(PeakMarkers, FoldingAndBadInput)
{
    struct Case { double f; double fs; double folded; };
    const Case cases[] = {{0, 100, 0}, {50, 100, 50}, {60, 100, 40}, {100, 100, 0},
                          {130, 100, 30}, {-20, 100, 20}, {275, 100, 25}};
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(foldedFrequencyHz(c.f, c.fs), c.folded) << c.f;
    EXPECT_TRUE(std::isnan(foldedFrequencyHz(std::nan(""), 100)));
    EXPECT_TRUE(std::isnan(foldedFrequencyHz(10, 0)));
    EXPECT_EQ(binNearestFrequency(std::nan(""), 1000, 1000, 500), -1);
    EXPECT_EQ(strongestBin(nullptr, 10, 0), -1);
    const double flat[] = {std::nan(""), std::nan("")};
    EXPECT_EQ(strongestBin(flat, 2, 0), -1);
    int peaks[2];
    EXPECT_EQ(findPeaks(flat, 2, 1, peaks, 2), 0);
}
