// One frame from raw codes to the update the GUI applies: which series are
// replaced, thinning of long records, the axis fit after a line jump, and the
// eye persistence surviving merged hand-offs.
#include "FrameMailbox.h"
#include "FrameProcessor.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <vector>

using namespace h452;

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<double> tone(int n, double frequencyHz, double amplitude, double fs = 1e9)
{
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i)
        x[i] = amplitude * std::sin(2 * kPi * frequencyHz * i / fs);
    return x;
}

struct Rig {
    AxisRangeSnapshot ranges;
    FrameProcessor processor{ranges};
    AnalysisState state;
    std::atomic<bool> fitPending{false};
    FrameSettings settings;

    FrameUpdate run(const std::vector<double>& ch0, const std::vector<double>* ch1 = nullptr)
    {
        const double* ch[4] = {ch0.data(), ch1 ? ch1->data() : nullptr, nullptr, nullptr};
        settings.recordLength = int(ch0.size());
        FrameUpdate u;
        processor.process(state, ch, settings, fitPending, u);
        return u;
    }
};

} // namespace

TEST(FrameProcessor, LineJumpOfTwentyPercentFitsTheAxes)
{
    Rig rig;
    rig.settings.panelVisible[int(Panel::Frequency)] = true;

    // First usable line after none (Frequ 0): always a fit.
    FrameUpdate u = rig.run(tone(1000, 100e6, 8000));
    EXPECT_TRUE(u.fit[int(FitChart::Time)].valid);
    EXPECT_FALSE(rig.fitPending.load());

    u = rig.run(tone(1000, 110e6, 8000));   // +10 %: no fit
    EXPECT_FALSE(u.fit[int(FitChart::Time)].valid);
    EXPECT_FALSE(u.fit[int(FitChart::Spectrum)].valid);

    u = rig.run(tone(1000, 135e6, 8000));   // +23 % from 110: fit at the end of this frame
    ASSERT_TRUE(u.fit[int(FitChart::Time)].valid);
    ASSERT_TRUE(u.fit[int(FitChart::Spectrum)].valid);
    // Time chart: the overview's sample indexes and the trace's extremes.
    EXPECT_EQ(u.fit[int(FitChart::Time)].xMin, 0.0);
    EXPECT_EQ(u.fit[int(FitChart::Time)].xMax, 999.0);
    EXPECT_NEAR(u.fit[int(FitChart::Time)].yMax, 8000.0, 1.0);   // a sample lands within 1 code of the crest
    // Spectrum x in MHz: 0 ... 499 (bins of 1 MHz); the peak at 0 dBFS - 12.25 dB.
    EXPECT_NEAR(u.fit[int(FitChart::Spectrum)].xMax, 499.0, 1e-9);
    EXPECT_NEAR(u.fit[int(FitChart::Spectrum)].yMax, 20 * std::log10(8000.0 / 32767.0), 0.01);
    // The next frame already filters against the fitted range.
    EXPECT_EQ(rig.ranges.get(FitChart::Time).hi, 999.0);
    EXPECT_NEAR(rig.ranges.get(FitChart::Spectrum).hi, 499.0, 1e-9);

    // A pending request raised by a control is consumed by the next frame.
    rig.fitPending = true;
    u = rig.run(tone(1000, 135e6, 8000));
    EXPECT_TRUE(u.fit[int(FitChart::Time)].valid);
    EXPECT_FALSE(rig.fitPending.load());
}

TEST(FrameProcessor, LongRecordsAreThinnedButTheOverviewKeepsAll)
{
    Rig rig;
    rig.ranges.set(FitChart::Time, 0, 20000);
    FrameUpdate u = rig.run(tone(20000, 10e6, 1000));
    ASSERT_TRUE(u.at(SeriesKind::Time, 0).replace);
    EXPECT_LE(u.at(SeriesKind::Time, 0).points.size(), 5002);
    EXPECT_GT(u.at(SeriesKind::Time, 0).points.size(), 2500);
    EXPECT_EQ(u.at(SeriesKind::Overview, 0).points.size(), 20000);
    // Panels not shown get nothing; the spectrum runs for the figures only.
    EXPECT_FALSE(u.at(SeriesKind::Spectrum, 0).replace);
    EXPECT_FALSE(u.at(SeriesKind::Constellation, 0).replace);
    ASSERT_TRUE(u.hasFigures);
    EXPECT_NEAR(u.figures[0][5], 10.0, 1e-6);   // Frequ(MHz): bin 200 of 20000 at 1 GS/s

    // The drawn spectrum is thinned too; the export's copy keeps every bin,
    // also outside the plotted range.
    rig.settings.panelVisible[int(Panel::Frequency)] = true;
    rig.ranges.set(FitChart::Spectrum, 0, 100);
    u = rig.run(tone(20000, 10e6, 1000));
    EXPECT_LE(u.at(SeriesKind::Spectrum, 0).points.size(), 5002);
    std::vector<double> hz;
    std::array<std::vector<double>, kChannelCount> db;
    ASSERT_TRUE(rig.processor.lastSpectrum(hz, db));
    EXPECT_EQ(hz.size(), 10000u);
    EXPECT_EQ(db[0].size(), 10000u);
    rig.settings.panelVisible[int(Panel::Frequency)] = false;
    rig.run(tone(20000, 10e6, 1000));
    EXPECT_FALSE(rig.processor.lastSpectrum(hz, db));
    EXPECT_TRUE(hz.empty());

    // Only the visible part of the time axis is delivered.
    rig.ranges.set(FitChart::Time, 100, 300);
    u = rig.run(tone(20000, 10e6, 1000));
    EXPECT_EQ(u.at(SeriesKind::Time, 0).points.size(), 201);
    EXPECT_EQ(u.at(SeriesKind::Time, 0).points.first().x(), 100.0);
}

TEST(FrameProcessor, DisabledChannelsAndNoChannelsDeliverNothing)
{
    Rig rig;
    const std::vector<double> a = tone(1000, 100e6, 8000), b = tone(1000, 20e6, 8000);
    rig.settings.channelEnabled[1] = false;
    FrameUpdate u = rig.run(a, &b);
    EXPECT_TRUE(u.at(SeriesKind::Time, 0).replace);
    EXPECT_FALSE(u.at(SeriesKind::Time, 1).replace);
    EXPECT_FALSE(u.at(SeriesKind::Overview, 1).replace);

    // No channel at all: a pending fit is consumed and finds no points.
    for (bool& e : rig.settings.channelEnabled)
        e = false;
    rig.fitPending = true;
    u = rig.run(a, &b);
    EXPECT_FALSE(rig.fitPending.load());
    for (const AxisRanges& r : u.fit)
        EXPECT_FALSE(r.valid);
    EXPECT_TRUE(u.isEmpty());
}

TEST(FrameProcessor, ConstellationAndFrequencyResponseFollowTheirPanels)
{
    Rig rig;
    rig.settings.panelVisible[int(Panel::Constellation)] = true;
    rig.settings.panelVisible[int(Panel::FrequencyRsp)] = true;
    rig.ranges.set(FitChart::FreqRsp, 0, 500);
    rig.state.setConstellationType(3);   // 16QAM: scaled to the outline
    FrameUpdate u = rig.run(tone(1000, 100e6, 8000));
    ASSERT_TRUE(u.at(SeriesKind::Constellation, 0).replace);
    double largest = 0;
    for (const QPointF& p : u.at(SeriesKind::Constellation, 0).points)
        largest = std::max({largest, std::fabs(p.x()), std::fabs(p.y())});
    EXPECT_DOUBLE_EQ(largest, 1.0);
    ASSERT_TRUE(u.at(SeriesKind::FreqRsp, 0).replace);
    ASSERT_EQ(u.at(SeriesKind::FreqRsp, 0).points.size(), 1);
    EXPECT_NEAR(u.at(SeriesKind::FreqRsp, 0).points[0].x(), 100.0, 1e-9);   // MHz
}

// Figures beside the pictures come only with their switches; the newest
// survive a merge with a frame that has none, and a channel the GUI cleared
// loses them.
TEST(FrameProcessor, PictureFiguresFollowTheirSwitchesAndMerges)
{
    Rig rig;
    rig.settings.panelVisible[int(Panel::Constellation)] = true;
    rig.settings.panelVisible[int(Panel::Eye)] = true;
    EXPECT_TRUE(rig.run(tone(2000, 50e6, 8000)).pictureFigures.isEmpty());

    rig.settings.constellationFigures = true;
    rig.settings.eyeFigures = true;
    FrameUpdate first = rig.run(tone(2000, 50e6, 8000));
    ASSERT_TRUE(first.pictureFigures.constellation[0]);
    EXPECT_STREQ(first.pictureFigures.constellationFigures[0].evmRmsPercent.reason, figurereason::kNoSymbolRate);
    ASSERT_TRUE(first.pictureFigures.eye);
    EXPECT_EQ(first.pictureFigures.eyeChannel, 0);
    EXPECT_GT(first.pictureFigures.eyeFigures.traces.value, 0.0);

    rig.settings.constellationFigures = false;
    FrameUpdate later = rig.run(tone(2000, 50e6, 8000));
    EXPECT_FALSE(later.pictureFigures.constellation[0]);
    first.mergeNewer(std::move(later));
    EXPECT_TRUE(first.pictureFigures.constellation[0]);
    first.discardChannel(0);
    EXPECT_FALSE(first.pictureFigures.constellation[0]);
    EXPECT_FALSE(first.pictureFigures.eye);
}

// The eye accumulates in the analysis state; the GUI's series, fed only with
// merged updates, must end up holding exactly the same points.
TEST(FrameProcessor, EyePersistenceSurvivesMergedHandOffs)
{
    Rig rig;
    rig.settings.panelVisible[int(Panel::Eye)] = true;
    FrameMailbox box;
    QVector<QPointF> series;
    const auto apply = [&] {
        FrameUpdate got;
        if (!box.take(got))
            return;
        const EyeChange& e = got.eye[0];
        if (e.clear)
            series.clear();
        series += e.batch;
        series.remove(0, int(std::min<std::int64_t>(e.trimFront, series.size())));
    };
    for (int frame = 0; frame < 9; ++frame) {
        box.post(rig.run(tone(1000, (20 + frame) * 1e6, 5000)));
        if (frame % 3 == 2)
            apply();
    }
    apply();
    const EyeSeriesModel& model = rig.state.eyeSeries[0];
    ASSERT_GT(model.size(), 0u);
    ASSERT_EQ(std::size_t(series.size()), model.size());
    for (int i = 0; i < series.size(); ++i) {
        const bool nanModel = std::isnan(model.x[std::size_t(i)]);
        ASSERT_EQ(std::isnan(series[i].x()), nanModel) << i;
        if (!nanModel) {
            ASSERT_EQ(series[i].y(), model.y[std::size_t(i)]) << i;
        }
    }
}

// The fit takes the plotted points: a zoomed spectrum keeps its zoom (the
// x range shrinks at most to the outermost bins in view) and its y range
// comes from the points in view; a chart with nothing in view keeps its axes.
TEST(FrameProcessorFit, FitKeepsTheZoomedView)
{
    Rig rig;
    rig.settings.panelVisible[int(Panel::Frequency)] = true;
    rig.settings.panelVisible[int(Panel::FrequencyRsp)] = true;
    rig.ranges.set(FitChart::Spectrum, 35, 316);
    rig.fitPending = true;
    // 100 MHz lies outside the frequency response's start range 180 to 220.
    FrameUpdate u = rig.run(tone(1000, 100e6, 8000));
    const AxisRanges& s = u.fit[int(FitChart::Spectrum)];
    ASSERT_TRUE(s.valid);
    EXPECT_GE(s.xMin, 35.0);
    EXPECT_LT(s.xMin, 36.0);
    EXPECT_LE(s.xMax, 316.0);
    EXPECT_GT(s.xMax, 315.0);
    EXPECT_NEAR(s.yMax, 20 * std::log10(8000.0 / 32767.0), 0.01);   // the tone, in view
    EXPECT_FALSE(u.fit[int(FitChart::FreqRsp)].valid);
    EXPECT_EQ(rig.ranges.get(FitChart::FreqRsp).lo, 180.0);

    // The next frame filters against the fitted range, which still holds the tone.
    u = rig.run(tone(1000, 100e6, 8000));
    const QVector<QPointF>& shown = u.at(SeriesKind::Spectrum, 0).points;
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_GE(shown.first().x(), 35.0);
    EXPECT_LE(shown.last().x(), 316.0);
}

TEST(FrameProcessor, SpectrumTraceAveragesOrHoldsWhileTheFiguresStayPerFrame)
{
    // A 100 MHz line (bin 100 of 1000 at 1 GS/s, rectangular window) of
    // amplitude a reads 20 log10(a / 32767) dBFS; the power average of 8000
    // and 4000 is sqrt((8000^2 + 4000^2) / 2). 1e-6 dB covers the sine's
    // rounding in the FFT.
    const auto level = [](double a) { return 20 * std::log10(a / 32767.0); };
    const auto drawnAt100MHz = [](const FrameUpdate& u) {
        for (const QPointF& p : u.at(SeriesKind::Spectrum, 0).points)
            if (std::fabs(p.x() - 100.0) < 1e-6)
                return p.y();
        return std::nan("");
    };
    struct Case {
        SpectrumAverageMode mode;
        double drawnAfterTwo;
    };
    const Case cases[] = {
        {SpectrumAverageMode::Normal, level(4000)},
        {SpectrumAverageMode::PowerAverage, level(std::sqrt((8000.0 * 8000 + 4000.0 * 4000) / 2))},
        {SpectrumAverageMode::PeakHold, level(8000)},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.settings.panelVisible[int(Panel::Frequency)] = true;
        rig.settings.averageMode = c.mode;
        rig.settings.averageCount = 2;
        rig.run(tone(1000, 100e6, 8000));
        const FrameUpdate u = rig.run(tone(1000, 100e6, 4000));
        EXPECT_NEAR(drawnAt100MHz(u), c.drawnAfterTwo, 1e-6) << int(c.mode);
        // The export's copy is the same trace, every bin.
        std::vector<double> hz;
        std::array<std::vector<double>, kChannelCount> db;
        ASSERT_TRUE(rig.processor.lastSpectrum(hz, db));
        ASSERT_EQ(hz.size(), 500u);
        ASSERT_EQ(db[0].size(), 500u);
        EXPECT_TRUE(db[1].empty());
        EXPECT_DOUBLE_EQ(hz[100], 100e6);
        EXPECT_NEAR(db[0][100], c.drawnAfterTwo, 1e-6) << int(c.mode);
        // MAX(dBFS) (table column 4) is the frame's own line in every mode.
        EXPECT_NEAR(u.figures[0][4], level(4000), 1e-6) << int(c.mode);
        // Reset: the next frame starts the trace again.
        ++rig.settings.averageResets;
        EXPECT_NEAR(drawnAt100MHz(rig.run(tone(1000, 100e6, 2000))), level(2000), 1e-6) << int(c.mode);
    }
}
