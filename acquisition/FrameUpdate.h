// FrameUpdate: everything one frame changes on the screen, built on the
// acquisition thread and applied by the GUI thread.
//
// Chart series, axes and widgets belong to the GUI thread. Frame processing
// therefore never touches them: it finishes the point lists (filtered and
// thinned), the eye batch, the axis ranges of a fit and a copy of the figures
// into a FrameUpdate, and the GUI thread applies that update later (see
// FrameMailbox). Only plain Qt Core types are used so that the whole hand-off
// is testable without a window.
//
// Merging: when an update is still waiting while the next frame finishes, the
// two are merged so that applying the merged update gives the same charts as
// applying both in turn; only the intermediate picture is skipped.
#pragma once

#include "EyeFigures.h"
#include "SymbolFigures.h"

#include <QPointF>
#include <QVector>

#include <array>
#include <cstdint>

namespace h452 {

constexpr int kChannelCount = 4;

// Series whose whole content a frame replaces. Overview is the unthinned copy
// of the time trace that the overview strip paints.
enum class SeriesKind : int { Time = 0, Spectrum = 1, FreqRsp = 2, Constellation = 3, Overview = 4 };
constexpr int kReplacedKindCount = 5;

// Charts whose axes a fit sets.
enum class FitChart : int { Time = 0, Spectrum = 1, FreqRsp = 2 };
constexpr int kFitChartCount = 3;

// Figures of the measurements table: eight values per channel in table order
// (NSD dBm, NSD nV, SNR, ENOB, MAX dBFS, Frequ MHz, SFDR, SINAD).
constexpr int kFigureCount = 8;
using FigureTable = std::array<std::array<double, kFigureCount>, kChannelCount>;

// A replacement of one series. An empty list with `replace` set clears the
// series; `replace` unset leaves it alone.
struct SeriesReplacement {
    bool replace = false;
    QVector<QPointF> points;
};

// The change of one channel's eye series, which accumulates across frames:
// optionally cleared first, then `batch` is appended, then `trimFront` points
// are dropped from the front (the oldest traces). Dropping after appending
// gives the same result as dropping before, because a trim never reaches into
// points appended by the same or a later frame.
struct EyeChange {
    bool clear = false;
    QVector<QPointF> batch;
    std::int64_t trimFront = 0;

    bool isEmpty() const { return !clear && batch.isEmpty() && trimFront == 0; }
};

// Smallest and largest x and y of a point list; non-finite points do not
// count (an axis range cannot be NaN or infinite). The same five fields are
// the axis ranges a fit sets on a chart (AxisRanges).
struct PointBounds {
    bool valid = false;
    double xMin = 0.0;
    double xMax = 0.0;
    double yMin = 0.0;
    double yMax = 0.0;

    void include(const QPointF& p);
    void include(const PointBounds& other);
    static PointBounds of(const QVector<QPointF>& points);
};

// Axis ranges of one chart, set by a fit: the bounds of the points it covers;
// an invalid entry leaves the chart's axes as they are.
using AxisRanges = PointBounds;

// Figures beside the constellation (per channel) and the eye (its channel),
// computed by frame processing when their switches are on. The newest of
// each wins in a merge.
struct PictureFigures {
    bool constellation[kChannelCount] = {false, false, false, false};
    ConstellationFigures constellationFigures[kChannelCount];
    bool eye = false;
    int eyeChannel = 0;
    EyeFigures eyeFigures;

    bool isEmpty() const;
    void mergeNewer(PictureFigures&& newer);
};

struct FrameUpdate {
    SeriesReplacement series[kReplacedKindCount][kChannelCount];
    EyeChange eye[kChannelCount];
    // Ranges of a fit, per chart; a chart without points in the fit stays
    // invalid and keeps its axes. The time chart's y range also goes to the
    // eye chart's y axis.
    AxisRanges fit[kFitChartCount];
    bool hasFigures = false;
    FigureTable figures{};
    PictureFigures pictureFigures;

    SeriesReplacement& at(SeriesKind kind, int channel) { return series[int(kind)][channel]; }
    const SeriesReplacement& at(SeriesKind kind, int channel) const { return series[int(kind)][channel]; }

    // True when applying the update would change nothing.
    bool isEmpty() const;

    // Folds `newer` (the later frame) into this waiting update. Per series a
    // newer list replaces the waiting one; series the newer frame did not
    // touch keep theirs. Fit ranges survive unless the newer frame fitted the
    // same chart. Eye batches and trims accumulate; a newer clear of the eye
    // discards what waited for it. The newest figures win.
    void mergeNewer(FrameUpdate&& newer);

    // Forgets whatever waits for one channel (all replaced kinds and the
    // eye), used when the GUI clears that channel's series itself.
    void discardChannel(int channel);
    void discardEye(int channel);
};

} // namespace h452
