// Figures of merit from a magnitude spectrum. See Figures.h.
#include "Figures.h"

#include "Fft.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace h452 {

namespace {

// Noise power (squared codes) to milliwatts: full scale 32767 codes of a sine
// into 50 ohm, as the converter's data sheet scales it.
constexpr double kNoiseToMilliwatt = 1.4358870086591545e-15;

double squared(double a)
{
    const double p = a * a;
    return std::isfinite(p) ? p : 0.0;
}

double totalPower(const double* magnitudes, int half)
{
    double total = 0.0;
    for (int k = 1; k <= half; ++k)
        total += squared(magnitudes[k]);
    return total;
}

}  // namespace

const char* const kFigureHeaders[ChannelFigures::kCount] = {
    "NSD(dBm)", "NSD(nV)", "SNR", "ENOB", "MAX(dBFS)", "Frequ(MHz)", "SFDR", "SINAD"};

double ChannelFigures::value(int column) const
{
    switch (column) {
    case 0: return nsdDbm;
    case 1: return nsdNv;
    case 2: return snrDb;
    case 3: return enobBits;
    case 4: return maxDbfs;
    case 5: return frequMhz;
    case 6: return sfdrDb;
    case 7: return sinadDb;
    default: return 0.0;
    }
}

namespace {

double snrWithTotal(const double* magnitudes, int count, int peakBin, int halfWidth, double total, double* nsdDbm,
                    double* nsdNv)
{
    const int half = count / 2;
    const int h = std::max(0, halfWidth);
    double harmonics = 0.0;
    if (peakBin > 0) {
        for (int m = 1; m <= 5; ++m) {
            const long long centre = static_cast<long long>(m) * peakBin;
            if (centre > half)
                break;
            const long long lo = std::max<long long>(0, centre - h);
            const long long hi = std::min<long long>(half - 1, centre + h);
            for (long long i = lo; i <= hi; ++i)
                harmonics += squared(magnitudes[i]);
        }
    }
    const double noise = total - harmonics;
    // No guard here: a zero noise gives -inf dBm and 0 nV, a negative one
    // (overlapping harmonic windows) NaN, which the table shows as is.
    const double dbm = 10.0 * std::log10(noise * kNoiseToMilliwatt);
    if (nsdDbm)
        *nsdDbm = dbm;
    if (nsdNv)
        *nsdNv = std::sqrt(std::pow(10.0, dbm / 10.0) * 50.0 / 1000.0) * 1e9;
    if (noise > 0.0)
        return 10.0 * std::log10(harmonics / noise + 1e-20);
    return std::numeric_limits<double>::infinity();
}

double sinadWithTotal(const double* magnitudes, int count, int peakBin, int halfWidth, double total)
{
    const int half = count / 2;
    const int h = std::max(0, halfWidth);
    double line = 0.0;
    const int lo = std::max(0, peakBin - h);
    const int hi = std::min(half, peakBin + h);
    for (int i = lo; i <= hi; ++i)
        line += squared(magnitudes[i]);
    const double rest = total - line;
    if (rest > 0.0)
        return 10.0 * std::log10(line / rest + 1e-20);
    return std::numeric_limits<double>::infinity();
}

}  // namespace

double computeSnr(const double* magnitudes, int count, int peakBin, int halfWidth, double* nsdDbm,
                  double* nsdNv)
{
    return snrWithTotal(magnitudes, count, peakBin, halfWidth, totalPower(magnitudes, count / 2), nsdDbm, nsdNv);
}

double computeSinad(const double* magnitudes, int count, int peakBin, int halfWidth)
{
    return sinadWithTotal(magnitudes, count, peakBin, halfWidth, totalPower(magnitudes, count / 2));
}

double computeSfdr(const double* magnitudes, int count, int peakBin, int halfWidth)
{
    const int half = count / 2;
    const int h = std::max(0, halfWidth);
    // 20 log10(a + 1e-20) rises with a, so the highest spur level is the level
    // of the largest spur magnitude: one logarithm instead of one per bin.
    // The spurs are the bins below the line's window and those above it.
    const long long below = std::min<long long>(half, static_cast<long long>(peakBin) - h);
    const long long above = std::max<long long>(0, static_cast<long long>(peakBin) + h + 1);
    double largest = -1.0;
    if (below > 0)
        largest = largestAbove(magnitudes, static_cast<int>(below), largest);
    if (above < half)
        largest = largestAbove(magnitudes + above, static_cast<int>(half - above), largest);
    double spur = -200.0;
    if (largest >= 0.0)
        spur = std::max(spur, 20.0 * std::log10(largest + 1e-20));
    const double line = (peakBin >= 0 && peakBin <= half) ? 20.0 * std::log10(magnitudes[peakBin] + 1e-20)
                                                          : 0.0;
    return spur - line;
}

double computeEnob(double snrDb)
{
    return (snrDb - 1.76) / 6.02;
}

void computeSpectrumFigures(const double* magnitudes, int count, int peakBin, int halfWidth,
                            ChannelFigures& figures)
{
    if (!magnitudes || count <= 0)
        return;
    // The total power is shared by SNR and SINAD: one pass instead of two.
    const double total = totalPower(magnitudes, count / 2);
    figures.snrDb = snrWithTotal(magnitudes, count, peakBin, halfWidth, total, &figures.nsdDbm, &figures.nsdNv);
    figures.sinadDb = sinadWithTotal(magnitudes, count, peakBin, halfWidth, total);
    figures.sfdrDb = computeSfdr(magnitudes, count, peakBin, halfWidth);
    figures.enobBits = computeEnob(figures.snrDb);
}

bool isLineUsable(int channel, int peakBin, int count)
{
    const int half = count / 2;
    if (peakBin < 1)
        return false;
    return channel == 0 ? peakBin < half : peakBin < half - 5;
}

bool applyLineFigures(ChannelFigures& figures, bool usable, double levelAtPeakDbfs,
                      double lineFrequencyHz)
{
    if (!usable) {
        figures.snrDb = 0.0;
        figures.enobBits = 0.0;
        figures.maxDbfs = 0.0;
        figures.sfdrDb = 0.0;
        figures.sinadDb = 0.0;
        figures.frequMhz = 0.0;
        return false;
    }
    figures.maxDbfs = levelAtPeakDbfs;
    const double fresh = lineFrequencyHz / 1e6;
    const double old = figures.frequMhz;
    const bool jump = old * 0.8 >= fresh || fresh >= old * 1.2;
    figures.frequMhz = fresh;
    return jump;
}

}  // namespace h452
