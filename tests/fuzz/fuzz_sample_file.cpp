// The sample-file reader over arbitrary file contents and record positions:
// a file holding the input's tail is read with a record length and offset
// taken from its head, and the result is checked against the layout
// computed here from the raw bytes. The channel arrays are exactly n long,
// so a write past them is caught by the address checker; the unpacking is
// also run straight on a heap buffer of exactly the file's bytes.
#include "FuzzCheck.h"
#include "SampleFile.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <limits>
#include <unistd.h>
#include <vector>

using namespace samplefile;

namespace {

QString scratchPath()
{
    // Memory-backed where there is one: one write per input.
    const QString dir = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    return dir + QStringLiteral("/h452-fuzz-samples-%1.bin").arg(::getpid());
}

// Code of channel k at stream sample s, or 0 past the end of the bytes.
double expectedCode(const std::vector<std::uint8_t>& bytes, qint64 s, int k)
{
    const qint64 at = codeIndex(s, k) * 2;
    if (at + 2 > qint64(bytes.size()))
        return 0.0;
    return double(std::int16_t(std::uint16_t(bytes[std::size_t(at)]) | std::uint16_t(bytes[std::size_t(at + 1)]) << 8));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QString path = scratchPath();
    static const bool removeAtExit = std::atexit([] { QFile::remove(path); }) == 0;
    (void)removeAtExit;
    FuzzedDataProvider in(data, size);

    // Mostly lengths around the size of a few-kB file (not a multiple of 4,
    // larger than the file); now and then any int, which must be refused
    // unless it is a plausible length.
    const std::uint8_t how = in.ConsumeIntegral<std::uint8_t>();
    int n = how % 8 == 0 ? in.ConsumeIntegral<int>() : in.ConsumeIntegralInRange<int>(-2, 600);
    qint64 offset = 0;
    if (how % 5 == 0)
        offset = in.ConsumeIntegral<qint64>();
    else
        offset = in.ConsumeIntegralInRange<qint64>(0, 400) * kBytesPerSample;
    const std::vector<std::uint8_t> bytes = in.ConsumeRemainingBytes<std::uint8_t>();

    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) == qint64(bytes.size()));
    }

    RecordReader reader;
    const qint64 fileSize = qint64(bytes.size());
    if (n <= 0 || n > kMaxRecordLength) {
        // Refused before anything is written: null arrays must stay unread.
        double* none[kChannelCount] = {nullptr, nullptr, nullptr, nullptr};
        FUZZ_CHECK(reader.read(path, offset, n, none).status == Status::BadRecordLength);
        return 0;
    }
    // Lengths far beyond the file (inputs are a few kB) are read the same
    // way; cap them so one input stays cheap.
    if (n > 4096)
        n = 4096 + n % 7;

    const double untouched = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> out[kChannelCount];
    double* channels[kChannelCount];
    for (int k = 0; k < kChannelCount; ++k) {
        out[k].assign(std::size_t(n), untouched);
        channels[k] = out[k].data();
    }
    const ReadResult r = reader.read(path, offset, n, channels);

    Status expected = Status::Ok;
    if (offset < 0 || offset % kBytesPerSample != 0)
        expected = Status::BadOffset;
    else if (fileSize == 0)
        expected = Status::EmptyFile;
    else if (offset >= fileSize)
        expected = Status::OffsetPastEnd;
    FUZZ_CHECK(r.status == expected);
    if (r.status != Status::Ok) {
        for (int k = 0; k < kChannelCount; ++k)
            for (double v : out[k])
                FUZZ_CHECK(std::isnan(v));
        return 0;
    }

    // Every one of the n samples of every channel written, each the code at
    // its own group position (a record may start inside a group), zeros
    // past the end of the file.
    const qint64 s0 = offset / kBytesPerSample;
    int fromFile = 0;
    while (fromFile < n && (codeIndex(s0 + fromFile, 3) + 1) * 2 <= fileSize)
        ++fromFile;
    FUZZ_CHECK(r.fileSizeBytes == fileSize);
    FUZZ_CHECK(r.samplesFromFile == fromFile);
    for (int k = 0; k < kChannelCount; ++k)
        for (int i = 0; i < n; ++i)
            FUZZ_CHECK(out[k][std::size_t(i)] == expectedCode(bytes, s0 + i, k));
    const qint64 next = offset + qint64(n) * kBytesPerSample;
    FUZZ_CHECK(r.nextOffsetBytes == (next < fileSize ? next : 0));

    // The unpacking alone, given exactly the file's bytes and no more.
    if (!bytes.empty()) {
        const std::vector<std::uint8_t> exact(bytes);
        const qint64 first = s0 % kSamplesPerGroup;
        const qint64 groupStart = (s0 / kSamplesPerGroup) * kGroupBytes;
        if (groupStart < fileSize) {
            unpackSamples(exact.data() + groupStart, fileSize - groupStart, first, n, channels);
            for (int k = 0; k < kChannelCount; ++k)
                for (int i = 0; i < n; ++i)
                    FUZZ_CHECK(out[k][std::size_t(i)] == expectedCode(bytes, s0 + i, k));
        }
    }
    return 0;
}
