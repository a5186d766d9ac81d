// Spectrum markers. See PeakMarkers.h.
#include "PeakMarkers.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace h452 {

int strongestBin(const double* levels, int binCount, int firstBin)
{
    int best = -1;
    if (!levels)
        return best;
    for (int k = std::max(firstBin, 0); k < binCount; ++k)
        if (std::isfinite(levels[k]) && (best < 0 || levels[k] > levels[best]))
            best = k;
    return best;
}

double foldedFrequencyHz(double frequencyHz, double sampleRateHz)
{
    if (!std::isfinite(frequencyHz) || !std::isfinite(sampleRateHz) || sampleRateHz <= 0.0)
        return std::numeric_limits<double>::quiet_NaN();
    double f = std::fmod(std::fabs(frequencyHz), sampleRateHz);
    if (f > sampleRateHz / 2)
        f = sampleRateHz - f;
    return f;
}

void harmonicMarkerFrequencies(double fundamentalHz, double sampleRateHz, double* out)
{
    if (!out)
        return;
    for (int m = 2; m <= kHighestMarkerHarmonic; ++m)
        out[m - 2] = foldedFrequencyHz(m * fundamentalHz, sampleRateHz);
}

int binNearestFrequency(double frequencyHz, int recordLength, double sampleRateHz, int binCount)
{
    if (!std::isfinite(frequencyHz) || recordLength <= 0 || binCount <= 0 || !(sampleRateHz > 0.0))
        return -1;
    const double bin = std::round(frequencyHz * recordLength / sampleRateHz);
    if (!(bin > 0.0))
        return 0;
    return bin >= binCount - 1 ? binCount - 1 : static_cast<int>(bin);
}

int findPeaks(const double* levels, int binCount, int halfWidth, int* peakBins, int maxPeaks)
{
    if (!levels || !peakBins || maxPeaks <= 0 || binCount <= 1)
        return 0;
    const int h = std::max(halfWidth, 1);
    std::vector<int> peaks;
    for (int k = 1; k < binCount; ++k) {
        if (!std::isfinite(levels[k]))
            continue;
        bool peak = true;
        for (int j = std::max(1, k - h); peak && j <= std::min(binCount - 1, k + h); ++j)
            if (j != k && std::isfinite(levels[j]) && (levels[j] > levels[k] || (levels[j] == levels[k] && j < k)))
                peak = false;
        if (peak)
            peaks.push_back(k);
    }
    std::stable_sort(peaks.begin(), peaks.end(), [levels](int a, int b) { return levels[a] > levels[b]; });
    const int count = std::min(static_cast<int>(peaks.size()), maxPeaks);
    std::copy(peaks.begin(), peaks.begin() + count, peakBins);
    return count;
}

int nextPeakIndex(int current, int count)
{
    if (count <= 0)
        return -1;
    return current < 0 || current + 1 >= count ? 0 : current + 1;
}

}  // namespace h452
