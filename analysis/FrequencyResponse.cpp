// Frequency-response store. See FrequencyResponse.h.
#include "FrequencyResponse.h"

#include <algorithm>
#include <cmath>

namespace h452 {

bool isReferenceFrequency(int channel, double frequencyHz)
{
    if (!std::isfinite(frequencyHz))
        return false;
    // Channel 0 rounds to the nearest hertz, the others round up; a bin a few
    // nanohertz above 10 MHz therefore counts for channel 0 only. Kept as the
    // instrument always behaved, since recorded responses were referenced so.
    const double rounded = channel == 0 ? std::trunc(frequencyHz + 0.5) : std::ceil(frequencyHz);
    return rounded == 10000000.0;
}

void FrequencyResponseStore::reset(int count)
{
    const std::size_t slots = count > 0 ? static_cast<std::size_t>(count / 2) : 0;
    for (int k = 0; k < 4; ++k) {
        frequencyHz[k].assign(slots, 0.0);
        levelDb[k].assign(slots, 0.0);
        writtenBins_[k].clear();
    }
}

bool FrequencyResponseStore::update(int channel, int peakBin, double lineFrequencyHz, double levelDbfs)
{
    if (channel < 0 || channel >= 4 || peakBin < 0)
        return false;
    const std::size_t bin = static_cast<std::size_t>(peakBin);
    if (bin >= frequencyHz[channel].size() || bin >= levelDb[channel].size())
        return false;
    std::vector<int>& written = writtenBins_[channel];
    const auto at = std::lower_bound(written.begin(), written.end(), peakBin);
    if (at == written.end() || *at != peakBin)
        written.insert(at, peakBin);
    frequencyHz[channel][bin] = lineFrequencyHz;
    levelDb[channel][bin] = levelDbfs;
    if (isReferenceFrequency(channel, lineFrequencyHz))
        referenceDb = -levelDb[channel][bin];
    levelDb[channel][bin] += referenceDb;
    return true;
}

void FrequencyResponseStore::collect(int channel, std::vector<double>& x, std::vector<double>& y) const
{
    x.clear();
    y.clear();
    if (channel < 0 || channel >= 4)
        return;
    const std::vector<double>& f = frequencyHz[channel];
    const std::vector<double>& l = levelDb[channel];
    for (const int bin : writtenBins_[channel]) {
        const std::size_t k = static_cast<std::size_t>(bin);
        if (k < f.size() && k < l.size() && f[k] != 0.0) {
            x.push_back(f[k]);
            y.push_back(l[k]);
        }
    }
}

}  // namespace h452
