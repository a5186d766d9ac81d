// h452-record's command line, through the same steps as its main(): the
// options, then the rate text through the settings' parser and snapping.
// A command line is refused with a reason or yields limits that are 0 (none)
// or positive and finite, a block size the stream accepts, a bounded ring; a rate the program accepts is finite and positive.
#include "FuzzCheck.h"
#include "RecordOptions.h"
#include "SampleRate.h"

#include <cmath>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::ArgumentList args(data, size, "h452-record", 16);
    h452::RecordOptions o;
    const std::string error = h452::parseRecordOptions(args.argc(), args.argv(), o);
    if (!error.empty())
        return 0;
    FUZZ_CHECK(std::isfinite(o.durationS) && o.durationS >= 0);
    FUZZ_CHECK(o.sizeBytes >= 0);
    FUZZ_CHECK(blocksize::blockBytesProblem(o.blockBytes).isEmpty());
    FUZZ_CHECK(o.ringBytes > 0 && o.ringBytes <= (qint64(4) << 30));
    if (!o.rate.isEmpty()) {
        TypedSampleRate typed;
        SampleRateChoice rate;
        if (parseSampleRateText(o.rate, &typed) && snapSampleRate(typed.rateHz, &rate))
            FUZZ_CHECK(std::isfinite(rate.rateHz) && rate.rateHz > 0);
    }
    return 0;
}
