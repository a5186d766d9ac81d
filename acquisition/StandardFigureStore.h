// The standard figure set on its way from frame processing to the
// measurements panel: computed on the acquisition thread inside a frame,
// read by the GUI thread's table refresh.
//
// While the standard view is shown every frame computes the set with the
// sine fit and adds both figure sets to the statistics. In the table's own
// view nothing runs per frame: the refresh (once a second) asks for one
// frame's figures without fit or statistics, only so that its warnings can
// sit in the table's tooltip.
//
// Threading: analyze() runs under the window's frame mutex (acquisition
// thread, or GUI thread for a single acquisition); the analysis it owns is
// touched nowhere else. The published copy has its own std::mutex, taken
// last (after the frame mutex) and never held while computing. The view
// switch, the warning request and the reset are atomics set by the GUI.
#pragma once

#include "StandardFrame.h"

#include <array>
#include <atomic>
#include <mutex>

namespace h452 {

class StandardFigureStore {
public:
    struct Snapshot {
        bool valid = false;  // a frame has published since start-up
        int maxHarmonic = kDefaultMaxHarmonic;
        std::array<StandardChannelResult, 4> channels;
        std::array<ChannelFigureStats, 4> stats;
    };

    // GUI thread.
    void setStandardView(bool shown) { standardView_.store(shown); }
    bool standardView() const { return standardView_.load(); }
    void requestWarnings() { warningsWanted_.store(true); }
    // Clears the shown statistics at once and those being gathered at the
    // next frame.
    void resetStatistics();
    Snapshot snapshot() const;

    // Frame processing, under the window's frame mutex. tableFigures: the
    // table's figures after the same frame.
    void analyze(const FrameInput& input, int windowType, const std::array<ChannelFigures, 4>& tableFigures);

private:
    StandardFrameAnalysis analysis_;
    std::atomic<bool> standardView_{false};
    std::atomic<bool> warningsWanted_{false};
    std::atomic<bool> resetPending_{false};
    mutable std::mutex mutex_;
    Snapshot published_;
};

}  // namespace h452
