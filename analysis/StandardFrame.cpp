// The standard figure set of one frame. See StandardFrame.h.
#include "StandardFrame.h"

namespace h452 {

void StandardFrameAnalysis::analyze(const FrameInput& input, int windowType,
                                    const std::array<ChannelFigures, 4>& tableFigures, bool withFit,
                                    bool withStats)
{
    for (int k = 0; k < 4; ++k) {
        StandardChannelResult& r = channels[static_cast<std::size_t>(k)];
        r.processed = false;
        const double* samples = input.samples[k];
        if (!samples || !input.channelEnabled[k] || input.sampleCount <= 0)
            continue;
        if (withFit) {
            computeStandardSet(engine_, samples, input.sampleCount, input.sampleRateHz, windowType, maxHarmonic,
                               r.figures, r.fit);
        } else {
            engine_.compute(samples, input.sampleCount, input.sampleRateHz, windowType, maxHarmonic, r.figures);
            r.fit = SineFit{};
        }
        r.processed = true;
        if (withStats) {
            double values[kStatFigureCount];
            collectStatFigures(tableFigures[static_cast<std::size_t>(k)], r.figures, r.fit, values);
            stats[static_cast<std::size_t>(k)].add(values);
        }
    }
}

void StandardFrameAnalysis::resetStatistics()
{
    for (ChannelFigureStats& s : stats)
        s.reset();
}

}  // namespace h452
