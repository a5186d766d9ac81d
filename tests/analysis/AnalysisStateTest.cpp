// The frame-level routine: figure rules across frames, the axis-fit request,
// the conditions of the frequency-response, constellation and eye steps, the
// 10 MHz reference of channel 0 against channels 1 to 3, and odd sizes.
#include "AnalysisState.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

using namespace h452;

namespace {

struct Frame {
    std::vector<double> ch[4];
    FrameInput input;

    explicit Frame(int n)
    {
        input.sampleCount = n;
        input.sampleRateHz = 1e9;
        for (int k = 0; k < 4; ++k) {
            ch[k].assign(static_cast<std::size_t>(std::max(n, 0)), 0.0);
            input.samples[k] = ch[k].data();
            input.channelEnabled[k] = false;
        }
    }
    void tone(int k, double bin, double amplitude)
    {
        ch[k] = h452test::tone(input.sampleCount, bin, amplitude, 0.4);
        input.samples[k] = ch[k].data();
        input.channelEnabled[k] = true;
    }
    void allPanels(int eyeChannel)
    {
        input.frequencyPanel = input.freqRspPanel = input.constellationPanel = input.eyePanel = true;
        input.eyeChannel = eyeChannel;
    }
};

}  // namespace

TEST(Frame, FullScaleToneFillsTheTableAndAsksForFits)
{
    AnalysisState state;
    FrameResult r;
    Frame f(1000);
    f.tone(0, 100, 32767.0);
    analyzeFrame(state, f.input, r);
    const ChannelFigures& fig = r.figures[0];
    EXPECT_NEAR(fig.maxDbfs, 0.0, 1e-9);
    EXPECT_NEAR(fig.frequMhz, 100.0, 1e-9);
    EXPECT_EQ(r.channels[0].peakBin, 100);
    EXPECT_TRUE(r.channels[0].lineUsable);
    EXPECT_TRUE(r.fitAxesRequested);  // the first line after 0 MHz
    EXPECT_EQ(state.channelStats[0].frequMhz, fig.frequMhz);
    EXPECT_FALSE(r.channels[1].processed);
    EXPECT_TRUE(r.channels[0].levelDbfs.empty());  // frequency panel hidden

    analyzeFrame(state, f.input, r);
    EXPECT_FALSE(r.fitAxesRequested);
    f.tone(0, 110, 32767.0);  // +10 %
    analyzeFrame(state, f.input, r);
    EXPECT_FALSE(r.fitAxesRequested);
    f.tone(0, 125, 32767.0);  // 100 -> 125 measured from 110: +13.6 %
    analyzeFrame(state, f.input, r);
    EXPECT_FALSE(r.fitAxesRequested);
    f.tone(0, 160, 32767.0);  // +28 %
    analyzeFrame(state, f.input, r);
    EXPECT_TRUE(r.fitAxesRequested);

    f.input.frequencyPanel = true;
    analyzeFrame(state, f.input, r);
    ASSERT_EQ(r.channels[0].levelDbfs.size(), 500u);
    ASSERT_EQ(r.binFrequencyHz.size(), 500u);
    EXPECT_NEAR(r.channels[0].levelDbfs[160], 0.0, 1e-9);
    EXPECT_EQ(r.binFrequencyHz[160], (660.0 / 1000.0 - 0.5) * 1e9);
}

TEST(Frame, ChannelOneNearTheTopIsClearedButStillDrawn)
{
    // Bin 497 of 1000: usable for channel 0, not for channels 1 to 3; the
    // frequency-response, constellation and eye steps need only 1 <= P < 500.
    AnalysisState state;
    FrameResult r;
    Frame f(1000);
    f.tone(0, 497, 10000.0);
    f.tone(1, 497, 10000.0);
    f.ch[1][3] += 7.0;  // some noise so NSD is finite
    f.allPanels(1);
    state.channelStats[1].snrDb = 55.0;
    state.channelStats[1].frequMhz = 3.0;
    analyzeFrame(state, f.input, r);
    EXPECT_TRUE(r.channels[0].lineUsable);
    EXPECT_NE(r.figures[0].snrDb, 0.0);
    EXPECT_FALSE(r.channels[1].lineUsable);
    EXPECT_EQ(r.figures[1].snrDb, 0.0);
    EXPECT_EQ(r.figures[1].frequMhz, 0.0);
    EXPECT_EQ(r.figures[1].maxDbfs, 0.0);
    EXPECT_NE(r.figures[1].nsdDbm, 0.0);  // computed this frame and kept
    EXPECT_TRUE(r.channels[1].freqRspUpdated);
    EXPECT_TRUE(r.channels[1].constellationUpdated);
    EXPECT_TRUE(r.channels[1].eyeUpdated);
    EXPECT_FALSE(r.channels[0].eyeUpdated);  // not the eye channel
    EXPECT_TRUE(r.channels[0].constellationUpdated);
}

TEST(Frame, DcLineClearsAllButNoise)
{
    AnalysisState state;
    FrameResult r;
    Frame f(1000);
    f.tone(0, 50, 1000.0);
    f.ch[0][10] += 3.0;
    f.allPanels(0);
    analyzeFrame(state, f.input, r);
    const double nsd = r.figures[0].nsdDbm;
    ASSERT_NE(r.figures[0].snrDb, 0.0);
    for (double& v : f.ch[0])
        v += 5000.0;
    analyzeFrame(state, f.input, r);
    EXPECT_EQ(r.channels[0].peakBin, 0);
    EXPECT_EQ(r.figures[0].snrDb, 0.0);
    EXPECT_EQ(r.figures[0].sfdrDb, 0.0);
    EXPECT_EQ(r.figures[0].frequMhz, 0.0);
    EXPECT_EQ(r.figures[0].nsdDbm, nsd);  // not recomputed without a line
    EXPECT_FALSE(r.channels[0].freqRspUpdated);
    EXPECT_FALSE(r.channels[0].constellationUpdated);
    EXPECT_FALSE(r.channels[0].eyeUpdated);
}

TEST(Frame, NothingEnabledComputesNothing)
{
    AnalysisState state;
    state.channelStats[2].snrDb = 12.0;
    FrameResult r;
    Frame f(1000);
    f.allPanels(0);
    analyzeFrame(state, f.input, r);
    for (const ChannelFrameResult& c : r.channels)
        EXPECT_FALSE(c.processed);
    EXPECT_TRUE(r.binFrequencyHz.empty());
    EXPECT_EQ(r.figures[2].snrDb, 12.0);
    EXPECT_FALSE(r.fitAxesRequested);
}

TEST(Frame, OddAndTinySizesAreSafe)
{
    // Every panel on, a tone and noise-like content, sizes that break index
    // arithmetic: nothing may crash and the vectors must match the size.
    for (int n : {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 97, 101, 1001}) {
        AnalysisState state;
        state.setWindowType(5);
        state.setConstellationType(k64qam);
        FrameResult r;
        Frame f(n);
        for (int k = 0; k < 4; ++k) {
            f.input.channelEnabled[k] = true;
            for (int i = 0; i < n; ++i)
                f.ch[k][i] = std::round(1000.0 * std::sin(0.9 * i + k) + 10.0 * ((i * 7919) % 13));
        }
        f.allPanels(2);
        analyzeFrame(state, f.input, r);
        analyzeFrame(state, f.input, r);
        if (n <= 0) {
            EXPECT_FALSE(r.channels[0].processed);
            continue;
        }
        EXPECT_EQ(r.binFrequencyHz.size(), static_cast<std::size_t>(n / 2)) << n;
        for (int k = 0; k < 4; ++k) {
            const ChannelFrameResult& c = r.channels[k];
            EXPECT_EQ(c.magnitudes.size(), static_cast<std::size_t>(n / 2 + 1)) << n;
            EXPECT_LE(c.peakBin, n / 2);
            if (c.constellationUpdated) {
                EXPECT_EQ(c.constellationI.size(), static_cast<std::size_t>(n - c.constellationStart));
            }
            EXPECT_EQ(c.eyeX.size(), c.eyeY.size());
        }
    }
}

TEST(Frame, TenMegahertzReferenceRoundsDifferentlyForChannelZero)
{
    // Bin 10 of 1000 at 1 GS/s is (510/1000 - 0.5) * 1e9 Hz, a few nanohertz
    // above 10 MHz: the nearest hertz is 10,000,000 (channel 0) but rounding
    // up gives 10,000,001 (channels 1 to 3).
    const double f10 = (510.0 / 1000.0 - 0.5) * 1e9;
    ASSERT_GT(f10, 1e7);
    ASSERT_EQ(std::ceil(f10), 10000001.0);
    ASSERT_EQ(std::trunc(f10 + 0.5), 10000000.0);

    AnalysisState state;
    state.resetFrequencyResponse(1000);
    FrameResult r;
    Frame f(1000);
    f.input.freqRspPanel = true;
    f.tone(1, 10, 3276.7);  // -20 dBFS
    analyzeFrame(state, f.input, r);
    EXPECT_EQ(state.freqRsp.referenceDb, 0.0);
    ASSERT_EQ(r.channels[1].freqRspLevelDb.size(), 1u);
    EXPECT_NEAR(r.channels[1].freqRspLevelDb[0], -20.0, 1e-9);
    EXPECT_EQ(r.channels[1].freqRspFrequencyHz[0], f10);

    Frame g(1000);
    g.input.freqRspPanel = true;
    g.tone(0, 10, 327.67);  // -40 dBFS on channel 0: the reference
    analyzeFrame(state, g.input, r);
    EXPECT_NEAR(state.freqRsp.referenceDb, 40.0, 1e-9);
    ASSERT_EQ(r.channels[0].freqRspLevelDb.size(), 1u);
    EXPECT_EQ(r.channels[0].freqRspLevelDb[0], 0.0);

    // Channel 1 at bin 10 again: shifted by the reference, no new reference.
    analyzeFrame(state, f.input, r);
    EXPECT_NEAR(r.channels[1].freqRspLevelDb[0], 20.0, 1e-9);
    EXPECT_NEAR(state.freqRsp.referenceDb, 40.0, 1e-9);
}

TEST(Frame, SweepFillsOnePointPerBinAndKeepsEarlierOffsets)
{
    AnalysisState state;
    FrameResult r;
    Frame f(1000);
    f.input.freqRspPanel = true;
    f.tone(0, 5, 32767.0);
    analyzeFrame(state, f.input, r);  // the store is sized on the first frame
    f.tone(0, 6, 3276.7);
    analyzeFrame(state, f.input, r);
    f.tone(0, 7, 32767.0);
    analyzeFrame(state, f.input, r);
    f.tone(0, 6, 327.67);  // revisit: overwrite
    analyzeFrame(state, f.input, r);
    const ChannelFrameResult& c = r.channels[0];
    ASSERT_EQ(c.freqRspFrequencyHz.size(), 3u);
    EXPECT_NEAR(c.freqRspFrequencyHz[0], 5e6, 1e-6);
    EXPECT_NEAR(c.freqRspLevelDb[1], -40.0, 1e-9);
    f.tone(0, 10, 3276.7);  // reference at -20 dBFS
    analyzeFrame(state, f.input, r);
    f.tone(0, 20, 3276.7);
    analyzeFrame(state, f.input, r);
    ASSERT_EQ(r.channels[0].freqRspLevelDb.size(), 5u);
    EXPECT_NEAR(r.channels[0].freqRspLevelDb[0], 0.0, 1e-9);   // stored before: unshifted
    EXPECT_NEAR(r.channels[0].freqRspLevelDb[1], -40.0, 1e-9);
    EXPECT_EQ(r.channels[0].freqRspLevelDb[3], 0.0);            // the reference point
    EXPECT_NEAR(r.channels[0].freqRspLevelDb[4], 0.0, 1e-9);    // -20 + 20
    // A new record length empties the store but keeps the reference.
    Frame g(2000);
    g.input.freqRspPanel = true;
    g.tone(0, 40, 3276.7);
    state.resetFrequencyResponse(2000);
    analyzeFrame(state, g.input, r);
    ASSERT_EQ(r.channels[0].freqRspLevelDb.size(), 1u);
    EXPECT_NEAR(r.channels[0].freqRspLevelDb[0], 0.0, 1e-9);
    EXPECT_EQ(state.freqRsp.frequencyHz[3].size(), 1000u);
}

TEST(FrequencyResponseStore, CollectListsExactlyTheSetSlotsInBinOrder)
{
    // collect() walks the bins update() wrote; it must give what a scan of
    // every slot gives: rewrites, a zero frequency (an empty slot again),
    // NaN (a set one), out-of-order bins and a reset.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Write {
        int channel, bin;
        double hz, db;
    };
    const std::vector<Write> writes = {{2, 40, 4e7, -3.0}, {2, 7, 7e6, -9.0},  {2, 40, 4.1e7, -4.0},
                                       {2, 12, 0.0, -1.0}, {2, 7, 0.0, -2.0},  {2, 0, nan, -5.0},
                                       {2, 499, 1e7, -6.0}, {1, 3, 3e6, -7.0}, {2, 7, 7.5e6, -8.0}};
    FrequencyResponseStore store;
    store.reset(1000);
    auto scanned = [&store](int ch, std::vector<double>& x, std::vector<double>& y) {
        x.clear();
        y.clear();
        for (std::size_t k = 0; k < store.frequencyHz[ch].size(); ++k) {
            if (store.frequencyHz[ch][k] != 0.0) {
                x.push_back(store.frequencyHz[ch][k]);
                y.push_back(store.levelDb[ch][k]);
            }
        }
    };
    std::vector<double> x, y, sx, sy;
    for (const Write& w : writes) {
        ASSERT_TRUE(store.update(w.channel, w.bin, w.hz, w.db));
        for (int ch = 0; ch < 4; ++ch) {
            store.collect(ch, x, y);
            scanned(ch, sx, sy);
            ASSERT_EQ(x.size(), sx.size()) << ch;
            for (std::size_t k = 0; k < x.size(); ++k) {
                EXPECT_TRUE(x[k] == sx[k] || (std::isnan(x[k]) && std::isnan(sx[k]))) << ch << " " << k;
                EXPECT_EQ(y[k], sy[k]) << ch << " " << k;
            }
        }
    }
    store.collect(2, x, y);
    EXPECT_EQ(x.size(), 4u);  // bins 0 (NaN), 7, 40, 499
    store.reset(1000);
    store.collect(2, x, y);
    EXPECT_TRUE(x.empty() && y.empty());
    ASSERT_TRUE(store.update(2, 5, 5e6, -1.0));
    store.collect(2, x, y);
    EXPECT_EQ(x, std::vector<double>{5e6});
}

TEST(Frame, ConstellationAndEyeFollowTheLine)
{
    AnalysisState state;
    FrameResult r;
    Frame f(2000);
    f.tone(2, 200, 5000.0);  // 100 MHz: period 10 samples
    f.allPanels(2);
    analyzeFrame(state, f.input, r);
    const ChannelFrameResult& c = r.channels[2];
    ASSERT_TRUE(c.constellationUpdated);
    // Start: the first smallest of the first 10 samples.
    int expected = 0;
    for (int i = 1; i < 10; ++i)
        if (f.ch[2][i] < f.ch[2][expected])
            expected = i;
    EXPECT_EQ(c.constellationStart, expected);
    EXPECT_EQ(c.constellationI.size(), 2000u - expected);
    ASSERT_TRUE(c.eyeUpdated);
    EXPECT_FALSE(c.eyeX.empty());
    // The delta is exactly what the persistence model received.
    EXPECT_EQ(c.eyeDelta.trimFront, 0u);
    EXPECT_EQ(c.eyeDelta.x.size(), state.eyeSeries[2].size());
    const std::size_t first = state.eyeSeries[2].size();
    analyzeFrame(state, f.input, r);
    EXPECT_EQ(state.eyeSeries[2].size(), 2 * first + 1);  // a separator between frames
    state.clearEyeSeries();
    EXPECT_EQ(state.eyeSeries[2].size(), 0u);
    f.input.accumulateEye = false;
    analyzeFrame(state, f.input, r);
    EXPECT_TRUE(r.channels[2].eyeUpdated);
    EXPECT_EQ(state.eyeSeries[2].size(), 0u);
}

TEST(Frame, ComputeSpectrumFillsTheWholeArrayAndTheFigures)
{
    AnalysisState state;
    state.setWindowType(3);

    std::vector<double> x = h452test::tone(100, 20, 1000.0);
    x[3] += 1.0;
    std::vector<double> out(100, -1.0);
    int peak = -1;
    EXPECT_FALSE(state.computeSpectrum(x.data(), 100, 1, true, out.data(), &peak));
    EXPECT_EQ(peak, 20);
    EXPECT_EQ(state.windowHalfWidth, 4);
    for (int k = 51; k < 100; ++k)
        EXPECT_EQ(out[k], 0.0);
    EXPECT_NE(state.channelStats[1].snrDb, 0.0);
    EXPECT_EQ(state.channelStats[0].snrDb, 0.0);
    // A disabled channel keeps its figures; peak 0 returns true.
    EXPECT_FALSE(state.computeSpectrum(x.data(), 100, 2, false, out.data(), &peak));
    EXPECT_EQ(state.channelStats[2].snrDb, 0.0);
    std::vector<double> dc(100, 3.0);
    EXPECT_TRUE(state.computeSpectrum(dc.data(), 100, 0, true, out.data(), &peak));
    EXPECT_EQ(peak, 0);
}

TEST(Frame, StaleFrequencyResponseStoreIsResizedNotOverrun)
{
    // A record-length change that did not reset the store (sized for 1000)
    // must not write bin 700 of a 2000-sample frame past its end: the frame
    // resizes the store first.
    AnalysisState state;
    state.resetFrequencyResponse(1000);
    FrameResult r;
    Frame f(2000);
    f.input.freqRspPanel = true;
    f.tone(3, 700, 1000.0);
    analyzeFrame(state, f.input, r);
    EXPECT_EQ(state.freqRsp.frequencyHz[3].size(), 1000u);
    ASSERT_TRUE(r.channels[3].freqRspUpdated);
    EXPECT_EQ(r.channels[3].freqRspFrequencyHz.size(), 1u);
    // Out-of-range stores are refused outright.
    EXPECT_FALSE(state.freqRsp.update(3, 1000, 1e6, -3.0));
    EXPECT_FALSE(state.freqRsp.update(4, 1, 1e6, -3.0));
    EXPECT_FALSE(state.freqRsp.update(0, -1, 1e6, -3.0));
}

TEST(Frame, RealInputTransformGivesTodaysFiguresToRounding)
{
    // The window's state transforms real input and demodulates with the fast
    // arithmetic; the complex transform with the exact demodulator (what
    // h452-analyze runs) is the reference. A tone between bins with
    // harmonics and noise, so that every figure is a real sum over many
    // bins. Rounding of either transform is a few 1e-16 of the largest bin;
    // over a million bins the figures (ratios of sums, in dB) move by far
    // less than 1e-9 dB, which still catches a wrong bin, scale or window by
    // many orders.
    for (const int n : {1000, 1001, 100000, 999999}) {
        Frame f(n);
        f.tone(0, n / 9.7, 12000.0);
        std::uint64_t seed = 12345;
        for (int i = 0; i < n; ++i) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            f.ch[0][i] = std::round(f.ch[0][i] + 40.0 * std::cos(0.31 * i) + static_cast<double>(seed >> 59));
        }
        AnalysisState real;
        AnalysisState complex;
        complex.spectrum.setTransform(SpectrumTransform::Complex);
        complex.demodArithmetic = DemodArithmetic::Exact;
        ASSERT_EQ(real.spectrum.transform(), SpectrumTransform::RealInput);
        ASSERT_EQ(real.demodArithmetic, DemodArithmetic::Fast);
        real.setConstellationType(kQpsk);
        complex.setConstellationType(kQpsk);
        f.input.constellationPanel = true;
        real.setWindowType(1);
        complex.setWindowType(1);
        FrameResult a;
        FrameResult b;
        analyzeFrame(real, f.input, a);
        analyzeFrame(complex, f.input, b);
        ASSERT_EQ(a.channels[0].peakBin, b.channels[0].peakBin) << n;
        ASSERT_GT(a.channels[0].peakBin, 0) << n;
        const std::vector<double>& ma = a.channels[0].magnitudes;
        const std::vector<double>& mb = b.channels[0].magnitudes;
        ASSERT_EQ(ma.size(), mb.size());
        for (std::size_t k = 0; k < ma.size(); ++k)
            ASSERT_NEAR(ma[k], mb[k], 1e-12 * mb[a.channels[0].peakBin]) << n << " bin " << k;
        for (int c = 0; c < ChannelFigures::kCount; ++c) {
            const double x = a.figures[0].value(c);
            const double y = b.figures[0].value(c);
            EXPECT_NEAR(x, y, 1e-9 * std::max(1.0, std::abs(y))) << n << " figure " << kFigureHeaders[c];
        }
        // The points: rounding of the mixer and the angles, carried through
        // the filter and the mean radius (about 1e-16 of a unit radius).
        const ChannelFrameResult& ca = a.channels[0];
        const ChannelFrameResult& cb = b.channels[0];
        ASSERT_TRUE(ca.constellationUpdated && cb.constellationUpdated) << n;
        ASSERT_EQ(ca.constellationStart, cb.constellationStart) << n;
        ASSERT_EQ(ca.constellationI.size(), cb.constellationI.size()) << n;
        for (std::size_t k = 0; k < ca.constellationI.size(); ++k) {
            ASSERT_NEAR(ca.constellationI[k], cb.constellationI[k], 1e-12) << n << " point " << k;
            ASSERT_NEAR(ca.constellationQ[k], cb.constellationQ[k], 1e-12) << n << " point " << k;
        }
    }
}
