// A measured figure that may be absent. Figures beside the constellation and
// the eye are either a number or a reason why there is none ("symbol rate not
// set", "too few symbols"): a figure that cannot be computed is never filled
// with a stand-in value. Reasons are static texts (no allocation), so a
// result can be copied across the frame hand-off cheaply.
#pragma once

#include <limits>

namespace h452 {

// Reasons a figure is absent. The texts are the ones the window's tooltips,
// the JSON report and the documentation show.
namespace figurereason {
constexpr const char* kNotComputed = "not computed";
constexpr const char* kNoSymbolRate = "symbol rate not set";
constexpr const char* kNoSampleRate = "sample rate not set";
constexpr const char* kSymbolRateTooHigh = "symbol rate above half the sample rate";
constexpr const char* kTooFewSymbols = "too few symbols";
constexpr const char* kNoSignal = "no signal";
constexpr const char* kNoCarrier = "no carrier line";
constexpr const char* kBpskNoQAxis = "BPSK has no Q axis";
constexpr const char* kOneAxis = "decisions on one axis only";
constexpr const char* kTooFewTraces = "too few traces";
constexpr const char* kTooFewCrossings = "too few crossings";
constexpr const char* kNoEyeOpening = "no eye opening";
constexpr const char* kNoLevelSpread = "levels without spread";
}  // namespace figurereason

struct MeasuredFigure {
    double value = std::numeric_limits<double>::quiet_NaN();
    const char* reason = figurereason::kNotComputed;  // null when present

    bool present() const { return reason == nullptr; }
    void set(double v) { value = v; reason = nullptr; }
    void absent(const char* why)
    {
        value = std::numeric_limits<double>::quiet_NaN();
        reason = why;
    }
};

}  // namespace h452
