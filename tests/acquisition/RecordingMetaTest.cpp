// Recording metadata: every roll-over part gets its own complete SigMF file
// (written atomically, no temporary left behind) with its offset and a gap
// segment exactly where the ring dropped blocks; a recording still running
// says it is incomplete; the reader refuses what it cannot trust.
#include "BlockRing.h"
#include "RecordingMeta.h"
#include "TestSupport.h"
#include "Writer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace testsupport;

namespace {

constexpr int kBlock = 8192;
constexpr qint64 kGroupsPerBlock = kBlock / 32;

void push(BlockRing& ring, int count)
{
    const std::vector<unsigned char> block(kBlock, 7);
    for (int i = 0; i < count; ++i)
        ring.push(block.data());
}

} // namespace

TEST(RecordingMeta, EveryPartHasCompleteMetadataWithItsOffsetAndGaps)
{
    QTemporaryDir dir;
    BlockRing ring(8, kBlock);  // holds 7 blocks
    push(ring, 9);              // the last 2 are dropped
    ASSERT_EQ(ring.droppedBlocks(), 2u);
    Writer writer(&ring, dir.filePath(QStringLiteral("samples.bin")));
    writer.setRotation(4 * kBlock, 1);  // a new part after the 5th block
    recordingmeta::Recording meta;
    meta.sampleRateHz = 250e6;
    writer.setMetadata(meta);
    writer.startRecording();
    ASSERT_TRUE(waitFor([&]() { return writer.blocksWritten() == 7; }));
    push(ring, 1);  // follows the two dropped blocks
    ASSERT_TRUE(waitFor([&]() { return writer.blocksWritten() == 8; }));
    writer.requestStop();
    ASSERT_TRUE(writer.wait(QDeadlineTimer(scaledMs(10000))));

    const Writer::Summary s = writer.lastSummary();
    ASSERT_EQ(s.files.size(), 2);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 4) << "two .bin, two metadata, no temporaries";
    const recordingmeta::ReadBack first = recordingmeta::readFor(s.files[0]);
    const recordingmeta::ReadBack second = recordingmeta::readFor(s.files[1]);
    for (const auto* m : {&first, &second}) {
        ASSERT_TRUE(m->ok) << m->reason.toStdString();
        EXPECT_TRUE(m->complete);
        EXPECT_DOUBLE_EQ(m->sampleRateHz, 250e6);
    }
    EXPECT_EQ(first.offsetGroups, 0);
    EXPECT_TRUE(first.gaps.empty());
    EXPECT_EQ(second.offsetGroups, 5 * kGroupsPerBlock);
    ASSERT_EQ(second.gaps.size(), 1u);
    EXPECT_EQ(second.gaps[0].groupStart, 2 * kGroupsPerBlock);         // after blocks 5 and 6
    EXPECT_EQ(second.gaps[0].globalIndex, (7 + 2) * kGroupsPerBlock);  // 7 written, 2 dropped
    EXPECT_EQ(second.gaps[0].blocksLost, 2u);
    QFile json(recordingmeta::metaPathFor(s.files[1]));
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    const QByteArray text = json.readAll();
    for (const char* field : {"\"ri16_le\"", "\"core:num_channels\": 16", "\"core:sample_rate\": 62500000",
                              "\"h452\"", "\"dropped\"", "samples_"})
        EXPECT_TRUE(text.contains(field)) << field;
}

TEST(RecordingMeta, ARecordingCutShortSaysItIsIncomplete)
{
    QTemporaryDir dir;
    BlockRing ring(8, kBlock);
    Writer writer(&ring, dir.filePath(QStringLiteral("samples.bin")));
    recordingmeta::Recording meta;
    meta.sampleRateHz = 1e9;
    writer.setMetadata(meta);
    writer.startRecording();
    QString bin;
    ASSERT_TRUE(waitFor([&]() {
        const QStringList names = QDir(dir.path()).entryList({QStringLiteral("*.bin")}, QDir::Files);
        if (names.isEmpty())
            return false;
        bin = dir.filePath(names.front());
        return recordingmeta::readFor(bin).present;
    }));
    const recordingmeta::ReadBack running = recordingmeta::readFor(bin);
    EXPECT_TRUE(running.ok);
    EXPECT_FALSE(running.complete);
    writer.requestStop();
    ASSERT_TRUE(writer.wait(QDeadlineTimer(scaledMs(10000))));
    EXPECT_TRUE(recordingmeta::readFor(bin).complete);
}

TEST(RecordingMeta, TheReaderRefusesWhatItCannotTrust)
{
    const char* const refused[] = {
        "",
        "{not json",
        "[1, 2]",
        R"({"global": {"core:datatype": "ri16_le", "core:num_channels": 16}})",
        R"({"global": {"core:datatype": "ri16_le", "core:num_channels": 16, "core:sample_rate": 0}})",
        R"({"global": {"core:datatype": "ri16_le", "core:num_channels": 16, "core:sample_rate": -5}})",
        R"({"global": {"core:datatype": "ri16_le", "core:num_channels": 16, "core:sample_rate": "fast"}})",
        R"({"global": {"core:datatype": "ri16_le", "core:num_channels": 16, "core:sample_rate": 1e308}})",
        R"({"global": {"core:datatype": "cf32_le", "core:num_channels": 16, "core:sample_rate": 1e6}})",
        R"({"global": {"core:datatype": "ri16_le", "core:num_channels": 2, "core:sample_rate": 1e6}})",
        // Group positions and counts that are no whole number a file can
        // hold: once converted to 64-bit integers with undefined results.
        R"({"global": {"core:datatype": "ri16_le", "core:num_channels": 16, "core:sample_rate": 1e6, "core:offset": 1e300}})",
        R"({"global": {"core:datatype": "ri16_le", "core:num_channels": 16, "core:sample_rate": 1e6, "core:offset": -5}})",
        R"({"global": {"core:datatype": "ri16_le", "core:num_channels": 16, "core:sample_rate": 1e6},
            "captures": [{"core:sample_start": 1e30, "core:global_index": 1}]})",
        R"({"global": {"core:datatype": "ri16_le", "core:num_channels": 16, "core:sample_rate": 1e6},
            "captures": [{"core:sample_start": 512.5, "core:global_index": 1}]})",
        R"({"global": {"core:datatype": "ri16_le", "core:num_channels": 16, "core:sample_rate": 1e6},
            "captures": [{"core:sample_start": 512, "core:global_index": -1}]})",
    };
    for (const char* json : refused) {
        const recordingmeta::ReadBack r = recordingmeta::parse(QByteArray(json));
        EXPECT_FALSE(r.ok) << json;
        EXPECT_FALSE(r.reason.isEmpty()) << json;
    }
    QTemporaryDir dir;
    EXPECT_FALSE(recordingmeta::readFor(dir.filePath(QStringLiteral("none.bin"))).present);
}

// A gap at the last group a byte offset can reach, with an absurd count of
// lost blocks: the sums saturate instead of wrapping to negative counts.
TEST(RecordingMeta, GapCountsSaturateInsteadOfOverflowing)
{
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    recordingmeta::Gap gaps[2];
    gaps[0].groupStart = kMax / 32;
    gaps[0].blocksLost = ~quint64(0);
    gaps[1].groupStart = kMax;  // no byte offset reaches it
    gaps[1].blocksLost = 1;
    const qint64 at = gaps[0].groupStart * 32;
    const recordingmeta::RecordGaps before = recordingmeta::gapsAround(gaps, 2, at, kMax, 256);
    EXPECT_EQ(before.groupsBefore, kMax);
    EXPECT_FALSE(before.spansGap);
    const recordingmeta::RecordGaps spanning = recordingmeta::gapsAround(gaps, 2, at - 8, kMax, 256);
    EXPECT_EQ(spanning.groupsBefore, 0);
    EXPECT_TRUE(spanning.spansGap);
}
