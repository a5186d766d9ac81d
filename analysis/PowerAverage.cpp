// Spectrum averaging and peak hold. See PowerAverage.h.
#include "PowerAverage.h"

#include "Fft.h"

#include <cmath>

namespace h452 {

bool isValidAverageCount(long long count)
{
    return count >= kMinAverageCount && count <= kMaxAverageCount;
}

void powerAverageStep(const double* magnitudes, int binCount, long long framesBefore, int averageCount,
                      double* meanPower)
{
    if (binCount <= 0 || !magnitudes || !meanPower)
        return;
    const int n = isValidAverageCount(averageCount) ? averageCount : kMinAverageCount;
    if (framesBefore <= 0) {
        for (int k = 0; k < binCount; ++k) {
            const double p = magnitudes[k] * magnitudes[k];
            meanPower[k] = std::isfinite(p) ? p : 0.0;
        }
        return;
    }
    // Linear mean while fewer than N frames are in, then weight 1/N: the
    // same update with a divisor that stops growing at N.
    const double weight = 1.0 / static_cast<double>(framesBefore < n ? framesBefore + 1 : n);
    for (int k = 0; k < binCount; ++k) {
        const double p = magnitudes[k] * magnitudes[k];
        if (std::isfinite(p))
            meanPower[k] += (p - meanPower[k]) * weight;
    }
}

void peakHoldStep(const double* magnitudes, int binCount, bool first, double* held)
{
    if (binCount <= 0 || !magnitudes || !held)
        return;
    for (int k = 0; k < binCount; ++k) {
        const double a = magnitudes[k];
        if (first)
            held[k] = std::isfinite(a) ? a : 0.0;
        else if (std::isfinite(a) && a > held[k])
            held[k] = a;
    }
}

bool SpectrumAverager::configure(SpectrumAverageMode mode, int averageCount)
{
    if (!isValidAverageCount(averageCount))
        return false;
    if (mode != mode_ || averageCount != averageCount_) {
        mode_ = mode;
        averageCount_ = averageCount;
        reset();
    }
    return true;
}

void SpectrumAverager::reset()
{
    for (Channel& c : channels_)
        c.frames = 0;
}

void SpectrumAverager::beginFrame(double sampleRateHz, int recordLength, int windowType, unsigned channelMask)
{
    if (sampleRateHz != sampleRateHz_ || recordLength != recordLength_ || windowType != windowType_
        || channelMask != channelMask_) {
        sampleRateHz_ = sampleRateHz;
        recordLength_ = recordLength;
        windowType_ = windowType;
        channelMask_ = channelMask;
        reset();
    }
}

const double* SpectrumAverager::apply(int channel, const double* magnitudes, int binCount)
{
    if (mode_ == SpectrumAverageMode::Normal || channel < 0 || channel >= 4 || binCount <= 0 || !magnitudes)
        return magnitudes;
    Channel& c = channels_[static_cast<std::size_t>(channel)];
    const std::size_t size = static_cast<std::size_t>(binCount);
    if (c.state.size() != size) {
        c.state.assign(size, 0.0);
        c.shown.assign(size, 0.0);
        c.frames = 0;
    }
    if (mode_ == SpectrumAverageMode::PeakHold) {
        peakHoldStep(magnitudes, binCount, c.frames == 0, c.state.data());
        ++c.frames;
        return c.state.data();
    }
    powerAverageStep(magnitudes, binCount, c.frames, averageCount_, c.state.data());
    ++c.frames;
    for (std::size_t k = 0; k < size; ++k)
        c.shown[k] = std::sqrt(c.state[k] > 0.0 ? c.state[k] : 0.0);
    return c.shown.data();
}

long long SpectrumAverager::frames(int channel) const
{
    return channel >= 0 && channel < 4 ? channels_[static_cast<std::size_t>(channel)].frames : 0;
}

int updateTraceFigures(const double* magnitudes, int count, double sampleRateHz, int channel, int windowType,
                       ChannelFigures& figures)
{
    if (!magnitudes || count <= 0)
        return 0;
    const int half = count / 2;
    // Same scan as the FFT's own: strictly greater, so the first of equal
    // maxima wins and NaN never does.
    double best = 0.0;
    int peak = 0;
    for (int k = 0; k <= half; ++k)
        if (magnitudes[k] > best) {
            best = magnitudes[k];
            peak = k;
        }
    if (peak != 0)
        computeSpectrumFigures(magnitudes, count, peak, windowHalfWidthFor(windowType), figures);
    const bool line = peak >= 1 && peak < half;
    applyLineFigures(figures, isLineUsable(channel, peak, count), levelDbfs(magnitudes[peak]),
                     line ? binFrequencyHz(peak, count, sampleRateHz) : 0.0);
    return peak;
}

}  // namespace h452
