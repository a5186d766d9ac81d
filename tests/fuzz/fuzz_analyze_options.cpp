// h452-analyze's command line: the input split at NUL bytes is the argument
// list. A command line is refused with a reason or yields options inside
// the ranges the analyser relies on.
#include "AnalyzeOptions.h"
#include "FuzzCheck.h"

#include <cmath>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::ArgumentList args(data, size, "h452-analyze", 24);
    h452::AnalyzeOptions o;
    const std::string error = h452::parseAnalyzeOptions(args.argc(), args.argv(), o);
    if (!error.empty() || o.help)
        return 0;
    FUZZ_CHECK(!o.file.empty());
    FUZZ_CHECK(o.recordLength >= 1 && o.recordLength <= (1 << 24));
    FUZZ_CHECK(std::isfinite(o.sampleRateHz) && o.sampleRateHz > 0);
    FUZZ_CHECK(o.windowType >= 0 && o.windowType <= 10);
    FUZZ_CHECK(o.records == -1 || o.records >= 1);
    FUZZ_CHECK(o.constellationType >= -1 && o.constellationType <= 4);
    FUZZ_CHECK(o.eyeChannel == -1 || (o.eyeChannel <= 3 && o.channels[o.eyeChannel]));
    FUZZ_CHECK(o.maxHarmonic >= 2 && o.maxHarmonic <= h452::kMaxHarmonicLimit);
    FUZZ_CHECK(o.threads >= 0 && o.threads <= 4);
    FUZZ_CHECK(o.averageCount == 0 || (o.averageCount >= 2 && o.averageCount <= 1024));
    FUZZ_CHECK(!(o.peakHold && (o.averageCount > 0 || o.spectrumCsv.empty())));
    return 0;
}
