// Eye hit counts and the history that keeps them in step with the eye
// series (see EyeHitImage.h).
#include "EyeHitImage.h"

#include <algorithm>
#include <cmath>

namespace h452 {

namespace {

// Points of the first trace in a batch: up to the first separator or the
// first step back in time.
int firstTraceLength(const double* x, std::size_t count)
{
    std::size_t n = 0;
    while (n < count && std::isfinite(x[n]) && (n == 0 || x[n] > x[n - 1]))
        ++n;
    return int(std::min<std::size_t>(n, std::size_t(kEyeMaxTimeBins)));
}

} // namespace

void EyeHitImage::clear()
{
    timeBins_ = 0;
    total_ = 0;
    counts_.clear();
    counts_.shrink_to_fit();
}

int EyeHitImage::valueBinOf(double code)
{
    const double v = std::floor((code - kEyeCodeMin) / kEyeCodeBinWidth);
    return int(std::clamp(v, -1.0, double(kEyeValueBins)));
}

int EyeHitImage::timeBinOf(double x) const
{
    if (timeBins_ < 2)
        return 0;
    const double t = std::round(x * (timeBins_ - 1));
    return int(std::clamp(t, -1.0, double(timeBins_)));
}

std::uint32_t EyeHitImage::at(int valueBin, int timeBin) const
{
    if (valueBin < 0 || valueBin >= kEyeValueBins || timeBin < 0 || timeBin >= timeBins_)
        return 0;
    return counts_[std::size_t(valueBin) * std::size_t(timeBins_) + std::size_t(timeBin)];
}

void EyeHitImage::add(const double* x, const double* y, std::size_t count, int sign)
{
    if (!x || !y || count == 0)
        return;
    if (timeBins_ == 0) {
        if (sign < 0)
            return;   // nothing to take back from
        // A single-point first trace still gets a two-bin axis (0 and 1).
        timeBins_ = std::max(2, firstTraceLength(x, count));
        counts_.assign(std::size_t(kEyeValueBins) * std::size_t(timeBins_), 0u);
    }
    const auto bump = [this, sign](int row, int col) {
        std::uint32_t& c = counts_[std::size_t(row) * std::size_t(timeBins_) + std::size_t(col)];
        if (sign > 0)
            ++c;
        else if (c > 0)
            --c;
    };
    int prevRow = -1;
    int prevCol = -1;
    double prevX = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i])) {
            prevRow = -1;   // a separator: the next point starts a trace
            continue;
        }
        const int row = std::clamp(valueBinOf(y[i]), 0, kEyeValueBins - 1);
        const int col = std::clamp(timeBinOf(x[i]), 0, timeBins_ - 1);
        bump(row, col);
        total_ = sign > 0 ? total_ + 1 : (total_ > 0 ? total_ - 1 : 0);
        // A line from the previous sample of the same trace passes the value
        // bins between the two: the first half counts in the earlier
        // sample's time bin, the rest in this one's, so a step (a square
        // wave's edge) shows as the line series drew it.
        if (prevRow >= 0 && x[i] > prevX && std::abs(row - prevRow) > 1) {
            const int step = row > prevRow ? 1 : -1;
            const int gap = std::abs(row - prevRow) - 1;
            for (int k = 1; k <= gap; ++k)
                bump(prevRow + step * k, k <= gap / 2 ? prevCol : col);
        }
        prevRow = row;
        prevCol = col;
        prevX = x[i];
    }
}

void EyeHitHistory::clear()
{
    image_.clear();
    x_.clear();
    y_.clear();
    head_ = 0;
}

void EyeHitHistory::apply(bool clearFirst, const double* x, const double* y, std::size_t count,
                          std::size_t trimFront)
{
    if (clearFirst)
        clear();
    if (x && y && count > 0) {
        image_.add(x, y, count, +1);
        x_.insert(x_.end(), x, x + count);
        y_.insert(y_.end(), y, y + count);
    }
    const std::size_t drop = std::min(trimFront, size());
    if (drop > 0) {
        image_.add(x_.data() + head_, y_.data() + head_, drop, -1);
        head_ += drop;
    }
    if (head_ > 0 && head_ >= size()) {
        x_.erase(x_.begin(), x_.begin() + std::ptrdiff_t(head_));
        y_.erase(y_.begin(), y_.begin() + std::ptrdiff_t(head_));
        head_ = 0;
    }
    if (size() == 0 && image_.isEmpty() && !clearFirst && drop > 0)
        image_.clear();   // all history gone: the next trace length starts afresh
}

} // namespace h452
