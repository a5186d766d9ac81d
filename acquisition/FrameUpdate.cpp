// Merge rules of a waiting frame update (see FrameUpdate.h).
#include "FrameUpdate.h"

#include <utility>

namespace h452 {

bool FrameUpdate::isEmpty() const
{
    for (const auto& kind : series)
        for (const auto& s : kind)
            if (s.replace)
                return false;
    for (const auto& e : eye)
        if (!e.isEmpty())
            return false;
    for (const auto& f : fit)
        if (f.valid)
            return false;
    return !hasFigures && pictureFigures.isEmpty();
}

bool PictureFigures::isEmpty() const
{
    for (bool c : constellation)
        if (c)
            return false;
    return !eye;
}

void PictureFigures::mergeNewer(PictureFigures&& newer)
{
    for (int c = 0; c < kChannelCount; ++c) {
        if (newer.constellation[c]) {
            constellation[c] = true;
            constellationFigures[c] = std::move(newer.constellationFigures[c]);
        }
    }
    if (newer.eye) {
        eye = true;
        eyeChannel = newer.eyeChannel;
        eyeFigures = newer.eyeFigures;
    }
}

void FrameUpdate::mergeNewer(FrameUpdate&& newer)
{
    for (int k = 0; k < kReplacedKindCount; ++k) {
        for (int c = 0; c < kChannelCount; ++c) {
            SeriesReplacement& mine = series[k][c];
            SeriesReplacement& theirs = newer.series[k][c];
            if (theirs.replace) {
                mine.replace = true;
                mine.points = std::move(theirs.points);
            }
        }
    }
    for (int c = 0; c < kChannelCount; ++c) {
        EyeChange& mine = eye[c];
        EyeChange& theirs = newer.eye[c];
        if (theirs.clear) {
            // Whatever waited would be wiped by the clear anyway.
            mine = std::move(theirs);
            continue;
        }
        if (mine.batch.isEmpty())
            mine.batch = std::move(theirs.batch);
        else
            mine.batch += theirs.batch;
        mine.trimFront += theirs.trimFront;
    }
    for (int f = 0; f < kFitChartCount; ++f)
        if (newer.fit[f].valid)
            fit[f] = newer.fit[f];
    if (newer.hasFigures) {
        hasFigures = true;
        figures = newer.figures;
    }
    pictureFigures.mergeNewer(std::move(newer.pictureFigures));
}

void FrameUpdate::discardChannel(int channel)
{
    if (channel < 0 || channel >= kChannelCount)
        return;
    for (auto& kind : series)
        kind[channel] = SeriesReplacement{};
    eye[channel] = EyeChange{};
    pictureFigures.constellation[channel] = false;
    pictureFigures.constellationFigures[channel] = ConstellationFigures{};
    if (pictureFigures.eyeChannel == channel)
        pictureFigures.eye = false;
}

void FrameUpdate::discardEye(int channel)
{
    if (channel < 0 || channel >= kChannelCount)
        return;
    eye[channel] = EyeChange{};
    if (pictureFigures.eyeChannel == channel)
        pictureFigures.eye = false;
}

} // namespace h452
