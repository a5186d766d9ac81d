// KelPcieFft.cpp - power spectra of the two-channel records and the
// window coefficient tables of the device library (interface: KelPcieApi.h).
//
// The program and this library share one FFTW in one process; FFTW's
// planner is not thread-safe, so the library makes it thread-safe once
// (fftw_make_planner_thread_safe) and also serialises its own planning,
// execution and destruction under the exclusive side of one RWLock.
#include "KelPcieApi.h"

#include "KelPcieState.h"
#include "RWLock.h"

#include <fftw3.h>

#include <cmath>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

using kelpcie::guarded;

namespace {

kelpcie::RWLock fftLock;

void prepareFftw()
{
    static std::once_flag once;
    std::call_once(once, [] { fftw_make_planner_thread_safe(); });
}

struct FftLockGuard {
    FftLockGuard() { fftLock.lock(); }
    ~FftLockGuard() { fftLock.unlock(); }
};

int32_t spectrum(int channel, double *out, uint32_t count, bool fetchWhenMissing)
{
    if (!out || count == 0)
        return KELPCIE_ERR_INVALID_ARGUMENT;
    kelpcie::DeviceState &s = kelpcie::state();
    const bool channelB = channel == 1;
    if (!(channelB ? s.haveRecordB : s.haveRecordA)) {
        if (fetchWhenMissing) {
            const int32_t r = channelB ? KelPcieFetchChannelBData(0, out, count)
                                       : KelPcieFetchChannelAData(0, out, count);
            if (r < 0)
                return r;
        } else {
            // Fresh records of silence for both channels; the two-channel
            // length stays as it was.
            s.recordA.assign(count, 0.0);
            s.recordB.assign(count, 0.0);
            s.haveRecordA = s.haveRecordB = true;
        }
    }
    const std::vector<double> &record = channelB ? s.recordB : s.recordA;
    // The transform covers the chosen record, all of it, so it is never
    // read past its end; `out` must have room for it.
    const uint32_t n = static_cast<uint32_t>(record.size());
    if (n == 0 || n > count || n > 0x7FFFFFFFu)
        return KELPCIE_ERR_INVALID_ARGUMENT;

    prepareFftw();
    double *in = static_cast<double *>(fftw_malloc(sizeof(double) * n));
    fftw_complex *bins = static_cast<fftw_complex *>(fftw_malloc(sizeof(fftw_complex) * n));
    if (!in || !bins) {
        fftw_free(in);
        fftw_free(bins);
        return KELPCIE_ERR_FAILED;
    }
    fftw_plan plan;
    {
        FftLockGuard guard;
        plan = fftw_plan_dft_r2c_1d(static_cast<int>(n), in, bins, FFTW_ESTIMATE);
    }
    if (!plan) {
        fftw_free(in);
        fftw_free(bins);
        return KELPCIE_ERR_FAILED;
    }
    for (uint32_t i = 0; i < n; ++i)
        in[i] = record[i] / n;
    {
        FftLockGuard guard;
        fftw_execute(plan);
    }
    // The real-to-complex transform yields bins 0 .. n/2; the upper bins of
    // real data are the conjugate mirror of the lower ones.
    for (uint32_t k = n / 2 + 1; k < n; ++k) {
        bins[k][0] = bins[n - k][0];
        bins[k][1] = -bins[n - k][1];
    }
    // Power in dB with the board's fixed +10 dB and -63 dB terms; 1e-20
    // keeps empty bins finite (about -253 dB) instead of -infinity.
    for (uint32_t i = 0; i < n; ++i) {
        const double re = bins[i][0];
        const double im = bins[i][1];
        out[i] = (10.0 * std::log10(re * re + im * im + 1e-20) + 10.0) - 63.0;
    }
    {
        FftLockGuard guard;
        fftw_destroy_plan(plan);
    }
    for (uint32_t i = 0; i < n / 2; ++i)
        std::swap(out[i], out[n / 2 + i]);
    fftw_free(in);
    fftw_free(bins);
    return 0;
}

// Modified Bessel function of the first kind, order 0 (power series; the
// terms fall fast for the arguments a Kaiser window uses).
double besselI0(double x)
{
    double sum = 1.0;
    double term = 1.0;
    const double q = x * x / 4.0;
    for (int k = 1; k < 500; ++k) {
        term *= q / (static_cast<double>(k) * k);
        sum += term;
        if (term < sum * 1e-17)
            break;
    }
    return sum;
}

// The multiples of 2 pi the cosine-sum windows use, as the board firmware's
// tables give them.
constexpr double kTwoPiMultiple[7] = {0.0,
                                      6.283185307179586,
                                      12.566370614359172,
                                      18.84955592153876,
                                      25.132741228718345,
                                      31.41592653589793,
                                      37.69911184307752};

// a0 - a1 c1 + a2 c2 - a3 c3 ... with ck = cos(2 pi k i / d).
double cosineSum(const double *a, int terms, uint32_t i, double d)
{
    const double x = static_cast<double>(i) / d;
    double v = a[0];
    for (int k = 1; k < terms; ++k)
        v += ((k % 2) ? -a[k] : a[k]) * std::cos(kTwoPiMultiple[k] * x);
    return v;
}

void fillWindow(uint32_t type, uint32_t n, double p, double *out)
{
    if (type == 0 || n == 0)
        return;
    if (n == 1) {
        // A one-point window passes its sample unchanged (the general
        // formulas would divide by zero).
        out[0] = 1.0;
        return;
    }
    const double d = static_cast<double>(n) - 1.0;
    static const double hann[] = {0.5, 0.5};
    static const double hamming[] = {0.54, 0.46};
    static const double blackmanHarris4[] = {0.35875, 0.48829, 0.14128, 0.01168};
    static const double cosine3[] = {0.42323, 0.49755, 0.07922};
    static const double blackman[] = {0.42, 0.5, 0.08};
    static const double flatTop[] = {0.21557895, 0.41663158, 0.277263158, 0.083578947, 0.006947368};
    static const double blackmanHarris7[] = {0.27105140069342, 0.43329793923448, 0.21812299954311,
                                             0.06592544638803, 0.01081174209837, 0.00077658482522,
                                             0.00001388721735};
    static const double lowSidelobe[] = {0.323215218, 0.471492057, 0.17553428, 0.028497078, 0.001261367};
    switch (type) {
    case 1:
        for (uint32_t i = 0; i < n; ++i)
            out[i] = cosineSum(hann, 2, i, d);
        break;
    case 2:
        for (uint32_t i = 0; i < n; ++i)
            out[i] = cosineSum(hamming, 2, i, d);
        break;
    case 3:
    case 7: // periodic form: D = N
        for (uint32_t i = 0; i < n; ++i)
            out[i] = cosineSum(blackmanHarris4, 4, i, static_cast<double>(n));
        break;
    case 4:
        for (uint32_t i = 0; i < n; ++i)
            out[i] = cosineSum(cosine3, 3, i, d);
        break;
    case 5: {
        const uint32_t half = static_cast<uint32_t>(std::floor(d / 2));
        for (uint32_t i = 0; i <= half; ++i)
            out[i] = cosineSum(blackman, 3, i, d);
        for (uint32_t i = half + 1; i < n; ++i)
            out[i] = out[n - 1 - i];
        break;
    }
    case 6:
        for (uint32_t i = 0; i < n; ++i)
            out[i] = cosineSum(flatTop, 5, i, d);
        break;
    case 8:
        for (uint32_t i = 0; i < n; ++i)
            out[i] = cosineSum(blackmanHarris7, 7, i, d);
        break;
    case 9:
        for (uint32_t i = 0; i < n; ++i)
            out[i] = cosineSum(lowSidelobe, 5, i, d);
        break;
    case 10: {
        const int64_t centre = (n % 2) ? (static_cast<int64_t>(n) - 1) / 2 : static_cast<int64_t>(n) / 2;
        for (uint32_t i = 0; i < n; ++i) {
            const double k = static_cast<double>(static_cast<int64_t>(i) - centre);
            const double x = k * 2.0 * p / d;
            out[i] = std::exp(-0.5 * x * x);
        }
        break;
    }
    case 11: {
        const double beta = std::fabs(p);
        const double norm = besselI0(beta);
        for (uint32_t i = 0; i < n; ++i) {
            const double x = 2.0 * i / d - 1.0;
            out[i] = besselI0(beta * std::sqrt(std::max(0.0, 1.0 - x * x))) / norm;
        }
        break;
    }
    case 12:
        for (uint32_t i = 0; i < n; ++i)
            out[i] = 1.0;
        break;
    case 13: {
        const uint32_t half = static_cast<uint32_t>(std::floor(d / 2));
        for (uint32_t i = 0; i < n; ++i)
            out[i] = i <= half ? 2.0 * i / d : 2.0 - 2.0 * i / d;
        break;
    }
    case 14:
        for (uint32_t i = 0; i < n; ++i) {
            const double x = static_cast<double>(i) / d - 0.5;
            out[i] = 0.62 - 0.48 * std::fabs(x) + 0.38 * std::cos(kTwoPiMultiple[1] * x);
        }
        break;
    default:
        break;
    }
}

} // namespace

extern "C" {

KELPCIE_API int32_t KelPcieFetchChannelASpectrumData(uint32_t, double *out, uint32_t count)
{
    return guarded([&] { return spectrum(0, out, count, true); });
}

KELPCIE_API int32_t KelPcieFetchChannelBSpectrumData(uint32_t, double *out, uint32_t count)
{
    return guarded([&] { return spectrum(1, out, count, true); });
}

KELPCIE_API int32_t KelPcieFetchSpectrumData(uint32_t, int32_t channel, double *out, uint32_t count)
{
    return guarded([&]() -> int32_t {
        if (channel != 0 && channel != 1)
            return KELPCIE_ERR_INVALID_ARGUMENT;
        return spectrum(channel, out, count, false);
    });
}

KELPCIE_API int32_t KelPcieCfgWindowType(uint32_t, uint32_t type)
{
    return guarded([&]() -> int32_t {
        if (type > 4)
            return KELPCIE_ERR_FAILED;
        kelpcie::state().windowType = type;
        return 0;
    });
}

KELPCIE_API int32_t KelPcieGetWindowCoe(uint32_t, uint32_t type, uint32_t length, double parameter, double *out)
{
    return guarded([&]() -> int32_t {
        if (type > 14)
            return KELPCIE_ERR_FAILED;
        if ((!out && length > 0 && type != 0) || ((type == 10 || type == 11) && !std::isfinite(parameter))
            || (type == 11 && std::fabs(parameter) > 700.0))
            return KELPCIE_ERR_INVALID_ARGUMENT;
        kelpcie::state().windowType = type;
        fillWindow(type, length, parameter, out);
        return 0;
    });
}

} // extern "C"
