// Two-channel capture, the library's power spectrum (against a naive DFT)
// and the window coefficient tables (against textbook formulas written out
// independently here).
#include "DevapiFixture.h"

#include <cmath>
#include <complex>

namespace {

using Strings = std::vector<std::string>;
const double kPi = std::acos(-1.0);

// Expected spectrum: a direct DFT of record / N over all N bins, the same
// dB expression, then the halves swapped (DC to index N / 2).
std::vector<double> naiveSpectrum(const std::vector<double> &record)
{
    const size_t n = record.size();
    std::vector<double> out(n);
    for (size_t k = 0; k < n; ++k) {
        std::complex<long double> sum = 0;
        for (size_t i = 0; i < n; ++i) {
            const long double angle = -2.0L * acosl(-1.0L) * static_cast<long double>(k * i % n) / n;
            sum += std::complex<long double>(record[i] / n * std::cos(angle), record[i] / n * std::sin(angle));
        }
        out[k] = (10.0 * std::log10(static_cast<double>(std::norm(sum)) + 1e-20) + 10.0) - 63.0;
    }
    for (size_t i = 0; i < n / 2; ++i)
        std::swap(out[i], out[n / 2 + i]);
    return out;
}

} // namespace

using TwoChannel = DevapiTest;

TEST_F(TwoChannel, FetchStartsTheCaptureAndSplitsTheWords)
{
    configure({{"LOMPCIE_CH0", "off:offset=-32767"}, {"LOMPCIE_CH1", "off:offset=-1"}});
    const uint32_t c = openBoard();
    std::vector<double> a(41, 5.0), b(41, 5.0);
    // Every word is 0x8001FFFF: high half -32767 (A), low half -1 (B).
    EXPECT_EQ(KelPcieFetchChannelAData(c, a.data(), 41), 0);
    EXPECT_EQ(takeTrace(), (Strings{"W 264 3", "W 256 0", "W 256 1", "R 260 1", "DR 0 164 0"}));
    EXPECT_EQ(KelPcieFetchChannelBData(c, b.data(), 41), 0);
    for (int i = 0; i < 41; ++i) {
        EXPECT_EQ(a[i], -32767.0);
        EXPECT_EQ(b[i], -1.0);
    }
    clearTrace();
    EXPECT_EQ(KelPcieCommit(c, 40), 0);
    EXPECT_EQ(takeTrace().front(), "W 264 2");
    EXPECT_EQ(KelPcieCommit(c, 0), KELPCIE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(KelPcieFetchChannelAData(c, nullptr, 4), KELPCIE_ERR_INVALID_ARGUMENT);
}

TEST_F(TwoChannel, CaptureThatNeverFinishesLeavesTheOutputAlone)
{
    configure({{"LOMPCIE_TRIGGER_DELAY_MS", "never"}, {"KELPCIE_POLL_SLEEP_US", "0"}});
    const uint32_t c = openBoard();
    std::vector<double> a(16, 5.0);
    EXPECT_EQ(KelPcieFetchChannelAData(c, a.data(), 16), KELPCIE_ERR_TWO_CHANNEL_TIMEOUT);
    EXPECT_EQ(a, std::vector<double>(16, 5.0));
    size_t polls = 0;
    Strings transfers;
    for (const auto &line : takeTrace()) {
        polls += line == "R 260 0";
        if (line.rfind("DR", 0) == 0)
            transfers.push_back(line);
    }
    EXPECT_EQ(polls, 1000u);
    EXPECT_EQ(transfers, Strings{"DR 0 64 0"}); // the transfer is made all the same
    // No record is held, so the spectrum fetches again (and fails again).
    std::vector<double> levels(16);
    EXPECT_EQ(KelPcieFetchChannelASpectrumData(c, levels.data(), 16), KELPCIE_ERR_TWO_CHANNEL_TIMEOUT);
}

using Spectrum = DevapiTest;

TEST_F(Spectrum, MatchesANaiveDftWithDcInTheMiddle)
{
    // Noise puts energy in every bin, so no bin's dB value hangs on the
    // rounding of a near-zero magnitude.
    configure({{"LOMPCIE_CH0", "tone:freq=31e6,amp=9000,noise=40"}, {"LOMPCIE_CH1", "16qam:carrier=120e6,noise=40"}});
    const uint32_t c = openBoard();
    for (uint32_t n : {64u, 63u, 100u, 7u}) {
        SCOPED_TRACE(n);
        std::vector<double> a(n), b(n), specA(n), specB(n);
        ASSERT_EQ(KelPcieFetchChannelAData(c, a.data(), n), 0);
        ASSERT_EQ(KelPcieFetchChannelBData(c, b.data(), n), 0);
        ASSERT_EQ(KelPcieFetchChannelASpectrumData(c, specA.data(), n), 0);
        ASSERT_EQ(KelPcieFetchSpectrumData(c, 1, specB.data(), n), 0);
        const std::vector<double> expectA = naiveSpectrum(a), expectB = naiveSpectrum(b);
        for (uint32_t k = 0; k < n; ++k) {
            // FFT against DFT differ by rounding (~1e-12 relative in power),
            // some 1e-11 dB.
            EXPECT_NEAR(specA[k], expectA[k], 1e-6) << k;
            EXPECT_NEAR(specB[k], expectB[k], 1e-6) << k;
        }
    }
}

TEST_F(Spectrum, ConstantRecordPutsDcAtTheMiddle)
{
    configure({{"LOMPCIE_CH0", "off:offset=1"}});
    const uint32_t c = openBoard();
    std::vector<double> rec(8), levels(8);
    ASSERT_EQ(KelPcieFetchChannelAData(c, rec.data(), 8), 0);
    ASSERT_EQ(KelPcieFetchChannelASpectrumData(c, levels.data(), 8), 0);
    // (10 log10(1) + 10) - 63 at DC; empty bins at 10 log10(1e-20) - 53.
    for (int k = 0; k < 8; ++k)
        EXPECT_NEAR(levels[k], k == 4 ? -53.0 : -253.0, 1e-9) << k;
}

TEST_F(Spectrum, OutputMustHoldTheRecordAndFailedFetchesReportTheirCode)
{
    const uint32_t c = openBoard();
    std::vector<double> rec(64), levels(64);
    ASSERT_EQ(KelPcieFetchChannelAData(c, rec.data(), 64), 0);
    EXPECT_EQ(KelPcieFetchChannelASpectrumData(c, levels.data(), 32), KELPCIE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(KelPcieFetchChannelASpectrumData(c, nullptr, 64), KELPCIE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(KelPcieFetchSpectrumData(c, 2, levels.data(), 64), KELPCIE_ERR_INVALID_ARGUMENT);
    // A zero count drops the record; without a board the next spectrum
    // must fetch and reports why it could not.
    EXPECT_EQ(KelPcieFetchChannelAData(c, rec.data(), 0), KELPCIE_ERR_INVALID_ARGUMENT);
    KelPcieClose();
    EXPECT_EQ(KelPcieFetchChannelASpectrumData(c, levels.data(), 64), KELPCIE_ERR_NOT_OPEN);
    // KelPcieFetchSpectrumData does not fetch: a missing record is silence.
    KelPcieFetchChannelBData(c, rec.data(), 0);
    std::vector<double> silence(16);
    EXPECT_EQ(KelPcieFetchSpectrumData(c, 1, silence.data(), 16), 0);
    for (double v : silence)
        EXPECT_NEAR(v, -253.0, 1e-9);
}

// ---- Window tables ---------------------------------------------------------

namespace {

std::vector<double> window(uint32_t type, uint32_t n, double p = 0.0)
{
    std::vector<double> w(n, -7.0);
    EXPECT_EQ(KelPcieGetWindowCoe(0, type, n, p, w.data()), 0);
    return w;
}

} // namespace

TEST(Windows, EdgeCasesOfTheTable)
{
    EXPECT_EQ(window(12, 4), std::vector<double>(4, 1.0));
    EXPECT_EQ(window(0, 4), std::vector<double>(4, -7.0)); // untouched
    std::vector<double> w(4, -7.0);
    EXPECT_EQ(KelPcieGetWindowCoe(0, 15, 4, 0.0, w.data()), KELPCIE_ERR_FAILED);
    EXPECT_EQ(w, std::vector<double>(4, -7.0));
    EXPECT_EQ(KelPcieGetWindowCoe(0, 1, 4, 0.0, nullptr), KELPCIE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(KelPcieGetWindowCoe(0, 10, 4, NAN, w.data()), KELPCIE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(KelPcieGetWindowCoe(0, 1, 0, 0.0, nullptr), 0);

    const std::vector<double> triangle = window(13, 5);
    EXPECT_EQ(triangle, (std::vector<double>{0.0, 0.5, 1.0, 0.5, 0.0}));

    // Gaussian N = 4, p = 1: k = -2, -1, 0, 1 over D = 3.
    const std::vector<double> g = window(10, 4, 1.0);
    const double expect[4] = {std::exp(-0.5 * (4.0 / 3) * (4.0 / 3)), std::exp(-0.5 * (2.0 / 3) * (2.0 / 3)), 1.0,
                              std::exp(-0.5 * (2.0 / 3) * (2.0 / 3))};
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(g[i], expect[i], 1e-15);
    EXPECT_NEAR(g[0], 0.4111, 5e-5);
    EXPECT_NEAR(g[1], 0.8007, 5e-5);

    const std::vector<double> b = window(5, 6);
    EXPECT_EQ(b[3], b[2]);
    EXPECT_EQ(b[4], b[1]);
    EXPECT_EQ(b[5], b[0]);

    // A one-point window is 1 for every computed type.
    for (uint32_t type = 1; type <= 14; ++type)
        EXPECT_EQ(window(type, 1), std::vector<double>{1.0}) << type;

    EXPECT_EQ(KelPcieCfgWindowType(0, 5), KELPCIE_ERR_FAILED);
    EXPECT_EQ(KelPcieCfgWindowType(0, 4), 0);
}

TEST(Windows, CosineSumsMatchTheTextbookForms)
{
    // Tolerance: the library and these formulas evaluate the same cosines
    // in a different order; rounding stays below 1e-15 per term.
    for (uint32_t n : {2u, 7u, 16u, 1001u}) {
        SCOPED_TRACE(n);
        const double d = n - 1.0;
        const std::vector<double> hann = window(1, n), hamming = window(2, n), bh4 = window(3, n),
                                  bh4b = window(7, n), c3 = window(4, n), blackman = window(5, n),
                                  flat = window(6, n), bh7 = window(8, n), low = window(9, n),
                                  bartlettHann = window(14, n);
        for (uint32_t i = 0; i < n; ++i) {
            const double x = 2 * kPi * i / d;
            const double xp = 2 * kPi * i / n; // periodic form
            EXPECT_NEAR(hann[i], 0.5 - 0.5 * std::cos(x), 1e-14);
            EXPECT_NEAR(hamming[i], 0.54 - 0.46 * std::cos(x), 1e-14);
            const double bh = 0.35875 - 0.48829 * std::cos(xp) + 0.14128 * std::cos(2 * xp) - 0.01168 * std::cos(3 * xp);
            EXPECT_NEAR(bh4[i], bh, 1e-14);
            EXPECT_EQ(bh4b[i], bh4[i]);
            EXPECT_NEAR(c3[i], 0.42323 - 0.49755 * std::cos(x) + 0.07922 * std::cos(2 * x), 1e-14);
            // Blackman is symmetric: both halves from the same formula.
            EXPECT_NEAR(blackman[i], 0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2 * x), 1e-14);
            EXPECT_NEAR(flat[i], 0.21557895 - 0.41663158 * std::cos(x) + 0.277263158 * std::cos(2 * x)
                                     - 0.083578947 * std::cos(3 * x) + 0.006947368 * std::cos(4 * x), 1e-14);
            const double a7[7] = {0.27105140069342, 0.43329793923448, 0.21812299954311, 0.06592544638803,
                                  0.01081174209837, 0.00077658482522, 0.00001388721735};
            double v7 = 0;
            for (int k = 0; k < 7; ++k)
                v7 += (k % 2 ? -1 : 1) * a7[k] * std::cos(k * x);
            EXPECT_NEAR(bh7[i], v7, 1e-14);
            EXPECT_NEAR(low[i], 0.323215218 - 0.471492057 * std::cos(x) + 0.17553428 * std::cos(2 * x)
                                    - 0.028497078 * std::cos(3 * x) + 0.001261367 * std::cos(4 * x), 1e-14);
            EXPECT_NEAR(bartlettHann[i], 0.62 - 0.48 * std::fabs(i / d - 0.5) + 0.38 * std::cos(2 * kPi * (i / d - 0.5)),
                        1e-14);
        }
        // The three-term set of type 4 is symmetric, peaks at 1 in the
        // middle (odd n) and starts near zero.
        EXPECT_NEAR(c3[0], 0.0049, 1e-4);
        if (n % 2) {
            EXPECT_NEAR(c3[n / 2], 1.0, 1e-12);
        }
    }
}

TEST(Windows, KaiserMatchesTheBesselForm)
{
    // I0 from the standard library's special functions, independent of the
    // library's own series; agreement to 1e-12 relative.
    for (double beta : {0.0, 3.0, 8.6, -8.6, 30.0}) {
        SCOPED_TRACE(beta);
        const uint32_t n = 33;
        const std::vector<double> w = window(11, n, beta);
        for (uint32_t i = 0; i < n; ++i) {
            const double x = 2.0 * i / (n - 1) - 1.0;
            const double expect = std::cyl_bessel_i(0.0, std::fabs(beta) * std::sqrt(1 - x * x))
                                  / std::cyl_bessel_i(0.0, std::fabs(beta));
            EXPECT_NEAR(w[i], expect, 1e-12 * std::max(1.0, expect));
        }
    }
    std::vector<double> w(4);
    EXPECT_EQ(KelPcieGetWindowCoe(0, 11, 4, 701.0, w.data()), KELPCIE_ERR_INVALID_ARGUMENT);
}
