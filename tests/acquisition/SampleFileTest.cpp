// The sample-file reader against files written byte by byte by the tests.
#include "SampleFile.h"
#include "TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

using namespace testsupport;
namespace sf = samplefile;

namespace {

struct Record {
    explicit Record(int n) : data(4, std::vector<double>(std::size_t(std::max(n, 1)), -99999.0))
    {
        for (int k = 0; k < 4; ++k)
            ptr[k] = data[std::size_t(k)].data();
    }
    std::vector<std::vector<double>> data;
    double* ptr[4];
};

// Sample i of channel k of the record that starts at stream sample s0, in a
// stream of `present` instants (later ones read as 0).
double expected(int64_t s0, int i, int k, int64_t present)
{
    const int64_t s = s0 + i;
    return s < present ? double(codeOf(s, k)) : 0.0;
}

class SampleFileTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

} // namespace

TEST(SampleFileLayout, PackThenUnpackKeepsEverySample)
{
    for (int n : {1, 2, 3, 4, 5, 7, 101, 1024}) {
        std::vector<std::vector<int16_t>> codes(4, std::vector<int16_t>(std::size_t(n)));
        const int16_t* in[4];
        for (int k = 0; k < 4; ++k) {
            for (int i = 0; i < n; ++i)
                codes[std::size_t(k)][std::size_t(i)] = codeOf(i, k);
            in[k] = codes[std::size_t(k)].data();
        }
        std::vector<uint8_t> packed(std::size_t(sf::packedBytes(n)));
        sf::packSamples(in, n, packed.data());
        // Packing must produce the hand-written layout.
        const QByteArray reference = makeStream(n);
        ASSERT_EQ(packed.size(), std::size_t(reference.size())) << n;
        EXPECT_EQ(0, std::memcmp(packed.data(), reference.constData(), packed.size())) << n;
        Record r(n);
        sf::unpackSamples(packed.data(), qint64(packed.size()), 0, n, r.ptr);
        for (int k = 0; k < 4; ++k)
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(r.ptr[k][i], codeOf(i, k)) << "n " << n << " k " << k << " i " << i;
    }
}

TEST(SampleFileLayout, NextOffsetWrapsAtTheEndOfTheFile)
{
    // Three whole records of 100 samples (800 bytes each).
    EXPECT_EQ(sf::nextRecordOffset(0, 100, 2400), 800);
    EXPECT_EQ(sf::nextRecordOffset(800, 100, 2400), 1600);
    EXPECT_EQ(sf::nextRecordOffset(1600, 100, 2400), 0);
    // A file shorter than one record starts over every time.
    EXPECT_EQ(sf::nextRecordOffset(0, 100, 500), 0);
    // A partial last record is still read (zero-padded), then the replay
    // starts over.
    EXPECT_EQ(sf::nextRecordOffset(1600, 100, 2500), 2400);
    EXPECT_EQ(sf::nextRecordOffset(2400, 100, 2500), 0);
    EXPECT_EQ(sf::nextRecordOffset(std::numeric_limits<qint64>::max() - 8, 100, 10), 0);
    EXPECT_EQ(sf::recordOffsetBytes(3, 101), 3 * 101 * 8);
    EXPECT_EQ(sf::recordOffsetBytes(-1, 101), -1);
    EXPECT_EQ(sf::recordOffsetBytes(std::numeric_limits<qint64>::max() / 4, 101), -1);
}

TEST_F(SampleFileTest, ConsecutiveRecordsReadEachSampleFromItsOwnGroup)
{
    // Lengths that are and are not multiples of 4: records 1.. start inside a
    // group for the latter, which is where an offset-by-groups reader fails.
    for (int n : {4, 100, 101, 102, 103, 5, 1}) {
        const int64_t samples = int64_t(n) * 3;
        const QByteArray stream = makeStream(samples);  // padded to whole groups
        const QString file = path(QStringLiteral("rec%1.bin").arg(n));
        ASSERT_TRUE(writeFile(file, stream));
        // Records start every n*8 bytes while inside the file; a record that
        // starts in the padding of the last group is a fourth, mostly empty one.
        std::vector<int64_t> starts;
        for (int64_t at = 0; at < stream.size(); at += int64_t(n) * 8)
            starts.push_back(at / 8);
        sf::RecordReader reader;
        Record rec(n);
        qint64 offset = 0;
        for (std::size_t r = 0; r < starts.size() + 2; ++r) {
            const sf::ReadResult res = reader.read(file, offset, n, rec.ptr);
            ASSERT_EQ(res.status, sf::Status::Ok) << n;
            const int64_t s0 = starts[r % starts.size()];
            for (int k = 0; k < 4; ++k)
                for (int i = 0; i < n; ++i)
                    ASSERT_EQ(rec.ptr[k][i], expected(s0, i, k, samples))
                        << "n " << n << " record " << r << " k " << k << " i " << i;
            offset = res.nextOffsetBytes;
        }
        // readRecord addresses the same records by index.
        ASSERT_EQ(reader.readRecord(file, 2, n, rec.ptr).status, sf::Status::Ok);
        EXPECT_EQ(rec.ptr[3][n - 1], double(codeOf(3 * int64_t(n) - 1, 3)));
    }
}

TEST_F(SampleFileTest, RecordOf101TakesItsLastSampleFromThe26thGroup)
{
    const QString file = path(QStringLiteral("one.bin"));
    ASSERT_TRUE(writeFile(file, makeStream(104)));
    sf::RecordReader reader;
    Record rec(101);
    const sf::ReadResult res = reader.read(file, 0, 101, rec.ptr);
    ASSERT_EQ(res.status, sf::Status::Ok);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(rec.ptr[k][100], double(codeOf(100, k)));
    EXPECT_EQ(res.samplesFromFile, 101);
    EXPECT_EQ(res.fileSizeBytes, 26 * 32);
}

TEST_F(SampleFileTest, SamplesPastTheEndReadAsZero)
{
    // 10 instants written, cut in the middle of the third group (after the
    // channel-1 codes): instants 8 and 9 have channels 0 and 1 only.
    const QString file = path(QStringLiteral("short.bin"));
    ASSERT_TRUE(writeFile(file, makeStream(12, 2 * 32 + 16)));
    sf::RecordReader reader;
    Record rec(20);
    // Fill the buffers with a previous record first: none of it may survive.
    ASSERT_TRUE(writeFile(path(QStringLiteral("full.bin")), makeStream(40)));
    ASSERT_EQ(reader.read(path(QStringLiteral("full.bin")), 0, 20, rec.ptr).status, sf::Status::Ok);
    const sf::ReadResult res = reader.read(file, 0, 20, rec.ptr);
    ASSERT_EQ(res.status, sf::Status::Ok);
    EXPECT_EQ(res.samplesFromFile, 8);
    EXPECT_EQ(res.nextOffsetBytes, 0);
    for (int i = 0; i < 20; ++i) {
        for (int k = 0; k < 4; ++k) {
            const bool present = i < 8 || (i < 12 && k < 2);
            EXPECT_EQ(rec.ptr[k][i], present ? double(codeOf(i, k)) : 0.0) << "k " << k << " i " << i;
        }
    }
}

TEST_F(SampleFileTest, BadFilesAndLengthsGiveClearStatuses)
{
    sf::RecordReader reader;
    Record rec(8);
    const QString missing = path(QStringLiteral("missing.bin"));
    EXPECT_EQ(reader.read(missing, 0, 8, rec.ptr).status, sf::Status::OpenFailed);

    const QString empty = path(QStringLiteral("empty.bin"));
    ASSERT_TRUE(writeFile(empty, QByteArray()));
    EXPECT_EQ(reader.read(empty, 0, 8, rec.ptr).status, sf::Status::EmptyFile);

    const QString file = path(QStringLiteral("ok.bin"));
    ASSERT_TRUE(writeFile(file, makeStream(8)));
    EXPECT_EQ(reader.read(file, 0, 0, rec.ptr).status, sf::Status::BadRecordLength);
    EXPECT_EQ(reader.read(file, 0, -5, rec.ptr).status, sf::Status::BadRecordLength);
    EXPECT_EQ(reader.read(file, 0, sf::kMaxRecordLength + 1, rec.ptr).status,
              sf::Status::BadRecordLength);
    EXPECT_EQ(reader.read(file, 4, 8, rec.ptr).status, sf::Status::BadOffset);
    EXPECT_EQ(reader.read(file, -8, 8, rec.ptr).status, sf::Status::BadOffset);
    EXPECT_EQ(reader.read(file, 64, 8, rec.ptr).status, sf::Status::OffsetPastEnd);
    EXPECT_EQ(reader.readRecord(file, std::numeric_limits<qint64>::max(), 8, rec.ptr).status,
              sf::Status::BadOffset);
    // Failures leave the caller's arrays alone.
    EXPECT_EQ(rec.ptr[0][0], -99999.0);

    // A directory is not a readable sample file.
    EXPECT_NE(reader.read(dir.path(), 0, 8, rec.ptr).status, sf::Status::Ok);
    for (sf::Status s : {sf::Status::Ok, sf::Status::OpenFailed, sf::Status::ReadFailed})
        EXPECT_STRNE(sf::statusText(s), "");
}

TEST_F(SampleFileTest, LongestWindowRecordOnAShortFileIsZeroPadded)
{
    // The window allows 999999 samples; a 16-instant file fills the first 16.
    const int n = 999999;
    const QString file = path(QStringLiteral("tiny.bin"));
    ASSERT_TRUE(writeFile(file, makeStream(16)));
    sf::RecordReader reader;
    Record rec(n);
    const sf::ReadResult res = reader.read(file, 0, n, rec.ptr);
    ASSERT_EQ(res.status, sf::Status::Ok);
    EXPECT_EQ(res.samplesFromFile, 16);
    EXPECT_EQ(rec.ptr[2][15], double(codeOf(15, 2)));
    EXPECT_EQ(rec.ptr[2][16], 0.0);
    EXPECT_EQ(rec.ptr[3][n - 1], 0.0);
}

TEST_F(SampleFileTest, KeptOpenFileGivesTheSameRecordsAndFollowsGrowth)
{
    // A file longer than the read-ahead, so that records straddle the end of
    // the buffered part; lengths inside groups, across groups and larger than
    // the read-ahead itself; a cut in the middle of the last group.
    const int64_t instants = (sf::RecordReader::kReadAheadBytes / 8) + 9000;
    const QString file = path(QStringLiteral("long.bin"));
    ASSERT_TRUE(writeFile(file, makeStream(instants, instants * 8 - 20)));
    for (int n : {1001, 4096, 3, 600000}) {
        sf::RecordReader kept(sf::RecordReader::Access::KeepOpen);
        sf::RecordReader fresh;
        Record a(n), b(n);
        qint64 offset = 0;
        for (int r = 0; r < 40; ++r) {
            const sf::ReadResult ra = kept.read(file, offset, n, a.ptr);
            const sf::ReadResult rb = fresh.read(file, offset, n, b.ptr);
            ASSERT_EQ(ra.status, sf::Status::Ok) << n << " record " << r;
            ASSERT_EQ(ra.samplesFromFile, rb.samplesFromFile) << n << " record " << r;
            ASSERT_EQ(ra.nextOffsetBytes, rb.nextOffsetBytes) << n << " record " << r;
            ASSERT_EQ(a.data, b.data) << n << " record " << r;
            // Jump near the end after a few records: the tail, then the wrap.
            offset = r == 3 ? std::max<int64_t>(0, instants - 2 * int64_t(n)) / 4 * 32 : ra.nextOffsetBytes;
        }
    }

    // Growth: a record past the old end reads as zeros, then, once the file
    // grew, as the new samples; another path opens the other file.
    const QString growing = path(QStringLiteral("growing.bin"));
    ASSERT_TRUE(writeFile(growing, makeStream(64)));
    sf::RecordReader kept(sf::RecordReader::Access::KeepOpen);
    Record rec(64);
    ASSERT_EQ(kept.read(growing, 256, 64, rec.ptr).status, sf::Status::Ok);
    EXPECT_EQ(rec.ptr[1][63], 0.0);
    ASSERT_TRUE(writeFile(growing, makeStream(128)));
    const sf::ReadResult grown = kept.read(growing, 256, 64, rec.ptr);
    ASSERT_EQ(grown.status, sf::Status::Ok);
    EXPECT_EQ(grown.samplesFromFile, 64);
    EXPECT_EQ(rec.ptr[1][63], double(codeOf(95, 1)));
    ASSERT_EQ(kept.read(file, 8, 64, rec.ptr).status, sf::Status::Ok);
    EXPECT_EQ(rec.ptr[2][0], double(codeOf(1, 2)));
    EXPECT_EQ(kept.read(path(QStringLiteral("none.bin")), 0, 64, rec.ptr).status, sf::Status::OpenFailed);
}
