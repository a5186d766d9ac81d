// Eye hit counts: accumulation across frames, the clear, and the trim at the
// point cap taking back exactly the hits of the points it drops. The
// reference is always an image built afresh from the points the eye series
// keeps (appendEyeTraces), so the history must match the series point for
// point.
#include "Eye.h"
#include "EyeHitImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace h452;

namespace {

// One frame of a square wave's eye: 200 traces of 100 samples (a period),
// each +a for its first half and -a for the rest, run through the eye series
// and the history as the window does.
EyeAppendDelta frame(EyeSeriesModel& model, double a)
{
    std::vector<double> tx, ty;
    for (int t = 0; t < 200; ++t)
        for (int k = 0; k < 100; ++k) {
            tx.push_back(k / 99.0);
            ty.push_back(k < 50 ? a : -a);
        }
    EyeAppendDelta delta;
    appendEyeTraces(model, tx.data(), ty.data(), tx.size(), &delta);
    return delta;
}

void frame(EyeSeriesModel& model, EyeHitHistory& history, double a)
{
    const EyeAppendDelta d = frame(model, a);
    history.apply(false, d.x.data(), d.y.data(), d.x.size(), d.trimFront);
}

void expectSameCounts(const EyeHitImage& got, const EyeSeriesModel& model)
{
    EyeHitImage want;
    want.add(model.x.data(), model.y.data(), model.size());
    ASSERT_EQ(got.timeBins(), want.timeBins());
    EXPECT_EQ(got.total(), want.total());
    EXPECT_TRUE(got.counts() == want.counts());
}

} // namespace

TEST(EyeHitImage, FramesAccumulateAndAClearStartsAfresh)
{
    EyeSeriesModel model;
    EyeHitHistory history;
    frame(model, history, 3200.0);
    const std::uint64_t once = history.image().total();
    // One bin per trace sample.
    ASSERT_EQ(history.image().timeBins(), 100);
    EXPECT_GT(once, 0u);
    frame(model, history, 3200.0);
    EXPECT_EQ(history.image().total(), 2 * once);
    EXPECT_EQ(history.size(), model.size());
    expectSameCounts(history.image(), model);
    // All of a square wave's hits sit in its two levels' value bins.
    const int high = EyeHitImage::valueBinOf(3200.0), low = EyeHitImage::valueBinOf(-3200.0);
    std::uint64_t onLevels = 0;
    for (int t = 0; t < 100; ++t)
        onLevels += history.image().at(high, t) + history.image().at(low, t);
    EXPECT_EQ(onLevels, 2 * once);
    // Each trace's edge, between samples 49 and 50, crosses the values in
    // between once, as a line drawn through the samples would.
    const int middle = EyeHitImage::valueBinOf(0.0);
    EXPECT_EQ(history.image().at(middle, 49) + history.image().at(middle, 50), 400u);
    EXPECT_EQ(history.image().at(middle, 20), 0u);

    // A channel change clears first, then the new batch counts alone.
    history.apply(true, nullptr, nullptr, 0, 0);
    EXPECT_TRUE(history.image().isEmpty());
    EXPECT_EQ(history.size(), 0u);
    model.clear();
    frame(model, history, 3200.0);
    EXPECT_EQ(history.image().total(), once);
}

TEST(EyeHitImage, TrimAtTheCapTakesBackWhatItDrops)
{
    EyeSeriesModel model;
    EyeHitHistory history;
    // Levels moving frame by frame, so dropped and kept traces differ in
    // their bins; 20,000 points a frame pass the million-point cap within
    // fifty frames.
    bool trimmed = false;
    for (int f = 0; f < 70; ++f) {
        const std::size_t before = model.size();
        frame(model, history, 1000.0 + 40.0 * f);
        trimmed = trimmed || model.size() < before;
    }
    ASSERT_TRUE(trimmed);
    EXPECT_LE(model.size(), kEyeMaxPoints);
    EXPECT_EQ(history.size(), model.size());
    expectSameCounts(history.image(), model);
    // The first frames' levels are gone from the image.
    EXPECT_EQ(history.image().at(EyeHitImage::valueBinOf(1000.0), 0), 0u);
}

TEST(EyeHitImage, MergedChangesAndBadInput)
{
    EyeSeriesModel model;
    EyeHitHistory merged;
    // Two frames' changes delivered as one (batches joined, trims summed).
    std::vector<double> bx, by;
    std::size_t trim = 0;
    for (int f = 0; f < 60; ++f) {
        const EyeAppendDelta delta = frame(model, 500.0 + 30.0 * f);
        bx.insert(bx.end(), delta.x.begin(), delta.x.end());
        by.insert(by.end(), delta.y.begin(), delta.y.end());
        trim += delta.trimFront;
        if (f % 3 == 2) {
            merged.apply(false, bx.data(), by.data(), bx.size(), trim);
            bx.clear();
            by.clear();
            trim = 0;
        }
    }
    expectSameCounts(merged.image(), model);

    // Missing arrays, separators only, a trim beyond the end: no crash, no
    // stray hits, and the history empties cleanly.
    EyeHitHistory h;
    const double nan = std::nan("");
    const double sx[] = {nan, nan}, sy[] = {nan, 5.0};
    h.apply(false, nullptr, sy, 2, 0);
    h.apply(false, sx, sy, 2, 0);
    EXPECT_TRUE(h.image().isEmpty());
    h.apply(false, nullptr, nullptr, 0, 1000);
    EXPECT_EQ(h.size(), 0u);
}
