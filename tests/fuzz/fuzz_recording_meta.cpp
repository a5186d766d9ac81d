// The SigMF metadata reader over arbitrary documents: a document either
// parses to a rate that is finite and positive, with usable block and gap
// figures, or is refused with a reason; the replay's placement of a record
// against the parsed gaps holds for any record position.
#include "FuzzCheck.h"
#include "RecordingMeta.h"

#include <QByteArray>

#include <cmath>
#include <cstdint>
#include <limits>

using namespace recordingmeta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const ReadBack meta = parse(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    FUZZ_CHECK(meta.present);
    if (!meta.ok) {
        FUZZ_CHECK(!meta.reason.isEmpty());
        return 0;
    }
    FUZZ_CHECK(std::isfinite(meta.sampleRateHz) && meta.sampleRateHz > 0);
    FUZZ_CHECK(meta.groupsPerBlock >= 1);
    FUZZ_CHECK(meta.offsetGroups >= 0);
    for (const Gap& g : meta.gaps)
        FUZZ_CHECK(g.groupStart > 0 && g.globalIndex >= 0);

    // Records at the start, at every gap and at the far end of the range.
    const qint64 maxOffset = std::numeric_limits<qint64>::max();
    std::vector<qint64> offsets{0, maxOffset - 7, maxOffset / 2};
    for (const Gap& g : meta.gaps)
        if (g.groupStart <= maxOffset / kGroupBytes)
            offsets.push_back(g.groupStart * kGroupBytes);
    for (qint64 offset : offsets) {
        for (qint64 n : {qint64(1), qint64(1000), qint64(1) << 24, maxOffset}) {
            const RecordGaps around = gapsAround(meta.gaps.data(), meta.gaps.size(), offset, n, meta.groupsPerBlock);
            FUZZ_CHECK(around.groupsBefore >= 0);
        }
    }
    return 0;
}
