// The settings' rate-text parser and the sample-rate snapping, on what a user
// may type (and, read as a double, on any value at all). A text is refused
// or read as a finite rate of at least 0 S/s; a snapped rate is finite and
// positive, equals what its register values select, is not above what was
// typed (or its text is not), and snapping it again, or applying its own text
// again as the dialog does, changes nothing.
#include "FuzzCheck.h"
#include "SampleRate.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// The rate the decimation chain produces for registers m, o, r: RateMode
// picks the base; bits 0-2 of the code halve, bit 4 divides by r, bit 5 by
// 100.
double chainRateHz(const SampleRateChoice& c)
{
    if (c.mode == 0)
        return 1e9;
    if (c.mode == 1)
        return 5e8;
    FUZZ_CHECK(c.mode == 2 && c.decimationCode >= 0);
    double rate = 2.5e8;
    for (int bit = 0; bit < 3; ++bit)
        if (c.decimationCode & (1 << bit))
            rate /= 2;
    if (c.decimationCode & 16) {
        FUZZ_CHECK(c.factor >= 4 && c.factor <= 4001);
        rate /= c.factor;
    } else {
        FUZZ_CHECK(c.factor == -1);
    }
    if (c.decimationCode & 32)
        rate /= 100;
    return rate;
}

bool same(const SampleRateChoice& a, const SampleRateChoice& b)
{
    return a.rateText == b.rateText && a.mode == b.mode && a.decimationCode == b.decimationCode
        && a.factor == b.factor && a.rateHz == b.rateHz;
}

void checkSnap(double rateHz)
{
    SampleRateChoice c;
    if (!snapSampleRate(rateHz, &c)) {
        FUZZ_CHECK(!(rateHz >= 78.125) || !std::isfinite(rateHz));
        return;
    }
    FUZZ_CHECK(std::isfinite(c.rateHz) && c.rateHz > 0);
    FUZZ_CHECK(std::fabs(c.rateHz - chainRateHz(c)) <= 1e-9 * c.rateHz);

    TypedSampleRate shown;
    FUZZ_CHECK(parseSampleRateText(c.rateText, &shown));
    // Not above what was typed: the rate itself, or the text showing it.
    FUZZ_CHECK(std::min(c.rateHz, shown.rateHz) <= rateHz);

    SampleRateChoice again;
    FUZZ_CHECK(snapSampleRate(c.rateHz, &again) && same(again, c));
    SampleRateChoice reapplied;
    FUZZ_CHECK(snapSampleRate(shown.rateHz, &reapplied) && same(reapplied, c));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TypedSampleRate typed;
    if (parseSampleRateText(QString::fromUtf8(reinterpret_cast<const char*>(data), int(size)), &typed)) {
        FUZZ_CHECK(std::isfinite(typed.rateHz) && typed.rateHz >= 0);
        checkSnap(typed.rateHz);
    }
    if (size == sizeof(double)) {
        double raw = 0;
        std::memcpy(&raw, data, sizeof raw);
        checkSnap(raw);
    }
    return 0;
}
