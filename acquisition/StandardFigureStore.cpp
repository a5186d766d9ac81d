// The standard figure set between frame processing and the panel. See
// StandardFigureStore.h.
#include "StandardFigureStore.h"

namespace h452 {

void StandardFigureStore::resetStatistics()
{
    resetPending_.store(true);
    std::lock_guard<std::mutex> lock(mutex_);
    for (ChannelFigureStats& s : published_.stats)
        s.reset();
}

StandardFigureStore::Snapshot StandardFigureStore::snapshot() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return published_;
}

void StandardFigureStore::analyze(const FrameInput& input, int windowType,
                                  const std::array<ChannelFigures, 4>& tableFigures)
{
    const bool full = standardView_.load();
    if (!full && !warningsWanted_.exchange(false))
        return;
    if (resetPending_.exchange(false))
        analysis_.resetStatistics();
    analysis_.analyze(input, windowType, tableFigures, full, full);
    std::lock_guard<std::mutex> lock(mutex_);
    // A reset that came while this frame was computed empties its statistics
    // too: what the GUI cleared must not come back.
    if (resetPending_.exchange(false))
        analysis_.resetStatistics();
    published_.valid = true;
    published_.maxHarmonic = analysis_.maxHarmonic;
    published_.channels = analysis_.channels;
    published_.stats = analysis_.stats;
}

}  // namespace h452
