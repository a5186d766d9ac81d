// Eye hit counts: the eye persistence as an image rather than a point list.
//
// The traces are those of the eye series (Eye.h): the same 50 positions, at
// most 200 traces a frame, NaN-separated, trimmed at a separator once the
// series would pass 1,000,000 points. EyeHitHistory follows that series
// exactly (it keeps the same points, in order) and holds beside it the number
// of points that fall into each cell of a fixed grid: value bins of
// kEyeCodeBinWidth ADC codes × time bins, one per sample of a trace. Every
// appended point adds one hit, every point the cap trims away takes its hit
// back, so the image always counts exactly the points the eye series would
// show, and the cost of a frame is the points it adds or drops, not the
// million it keeps. The bins are in codes and trace samples, not pixels: a
// drawing maps them through whatever axis ranges are current, so a fit or a
// zoom neither clears nor smears the history.
//
// Pure C++: built and used on the GUI thread, which applies the eye changes
// of each frame, but nothing here needs a window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace h452 {

constexpr double kEyeCodeMin = -32768.0;   // lower edge of value bin 0
constexpr double kEyeCodeBinWidth = 16.0;  // ADC codes per value bin
constexpr int kEyeValueBins = 4096;        // covers the signed 16-bit codes
constexpr int kEyeMaxTimeBins = 2048;      // longer traces share time bins

class EyeHitImage {
public:
    // Empties the image; the next add() sets the number of time bins again.
    void clear();

    // Adds (sign +1) or takes back (sign -1) one hit per finite point
    // (x[i], y[i]), i < count: x the trace time 0 .. 1, y in ADC codes, and
    // one per value bin that the line to the next point of the same trace
    // crosses (a trace ends at a separator or where time steps back).
    // Points outside the grid count in its edge bins; non-finite points (the
    // separators) count nowhere. A take-back never goes below zero; taking
    // back the same points in the same order undoes an add exactly.
    // The first add() after clear() sizes the time axis from its first
    // trace: one bin per sample (at most kEyeMaxTimeBins).
    //   x, y: count entries each.
    void add(const double* x, const double* y, std::size_t count, int sign = +1);

    int timeBins() const { return timeBins_; }
    bool isEmpty() const { return total_ == 0; }
    // Points counted (the cells crossed between them are not points).
    std::uint64_t total() const { return total_; }
    // Hits in a cell; 0 outside the grid.
    std::uint32_t at(int valueBin, int timeBin) const;
    // Rows of timeBins() counts, value bin 0 first; empty before the first add.
    const std::vector<std::uint32_t>& counts() const { return counts_; }

    // Cell of a point (not clamped to the grid; for callers mapping bins).
    static int valueBinOf(double code);
    int timeBinOf(double x) const;

private:
    int timeBins_ = 0;
    std::uint64_t total_ = 0;
    std::vector<std::uint32_t> counts_;
};

// The eye series' points and their hit image, kept in step. apply() takes a
// change as the frame hand-off delivers it (possibly several frames merged):
// clear first when asked, then append the batch, then drop trimFront points
// from the front, taking back their hits.
class EyeHitHistory {
public:
    //   x, y: count entries each (NaN, NaN separates traces).
    void apply(bool clear, const double* x, const double* y, std::size_t count, std::size_t trimFront);
    void clear();

    const EyeHitImage& image() const { return image_; }
    // Points currently kept (what the eye series would hold).
    std::size_t size() const { return x_.size() - head_; }
    // The kept points themselves, size() entries each, in the order the eye
    // series would hold them (NaN, NaN between traces). Valid until the
    // next apply() or clear().
    const double* x() const { return x_.data() + head_; }
    const double* y() const { return y_.data() + head_; }

private:
    EyeHitImage image_;
    // Kept points from head_ on; the dropped front is compacted away only
    // once it is the larger part, so a trim costs the points it drops.
    std::vector<double> x_;
    std::vector<double> y_;
    std::size_t head_ = 0;
};

} // namespace h452
