// The standard figure set of one frame for every enabled channel, with the
// statistics over frames: the one routine the window and h452-analyze call
// beside analyzeFrame() (which it neither changes nor reads beyond the
// table's figures it is handed for the statistics).
//
// Threading: not locked; the window uses it only under its frame mutex.
#pragma once

#include "AnalysisState.h"
#include "FigureStats.h"
#include "SineFit.h"
#include "StandardFigures.h"

#include <array>

namespace h452 {

struct StandardChannelResult {
    bool processed = false;  // enabled and analysed in the last frame
    StandardFigures figures;
    SineFit fit;             // fit.valid false when the fit did not run
};

class StandardFrameAnalysis {
public:
    // Highest harmonic order K (2 .. kMaxHarmonicLimit).
    int maxHarmonic = kDefaultMaxHarmonic;
    std::array<StandardChannelResult, 4> channels;
    std::array<ChannelFigureStats, 4> stats;

    // One frame: for every channel whose samples are set and enabled, the
    // standard figures with windowType; with withFit the sine fit and its
    // cross-check; with withStats the statistics of both sets gain this
    // frame (tableFigures: the table's figures after the same frame). Channels
    // not analysed keep processed false.
    void analyze(const FrameInput& input, int windowType, const std::array<ChannelFigures, 4>& tableFigures,
                 bool withFit, bool withStats);
    void resetStatistics();

private:
    StandardFigureEngine engine_;
};

}  // namespace h452
