// Sample-file layout and record reading (see SampleFile.h).
#include "SampleFile.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>

namespace samplefile {

qint64 recordOffsetBytes(qint64 recordIndex, int recordLength)
{
    if (recordIndex < 0 || recordLength < 0)
        return -1;
    const qint64 recordBytes = qint64(recordLength) * kBytesPerSample;
    if (recordBytes != 0 && recordIndex > std::numeric_limits<qint64>::max() / recordBytes)
        return -1;
    return recordIndex * recordBytes;
}

qint64 nextRecordOffset(qint64 offsetBytes, int recordLength, qint64 fileSizeBytes)
{
    if (offsetBytes < 0 || recordLength <= 0)
        return 0;
    const qint64 recordBytes = qint64(recordLength) * kBytesPerSample;
    if (offsetBytes > std::numeric_limits<qint64>::max() - recordBytes)
        return 0;
    const qint64 next = offsetBytes + recordBytes;
    return next < fileSizeBytes ? next : 0;
}

void unpackSamples(const std::uint8_t* groups, qint64 byteCount, qint64 firstSample, int n,
                   double* const channels[kChannelCount])
{
    // Instants whose codes all lie inside the buffer: a group at a time (the
    // per-sample index arithmetic was most of the cost of short records).
    qint64 whole = 0;
    if (byteCount > 0) {
        const qint64 groupsIn = byteCount / kGroupBytes;
        whole = std::min<qint64>(n, std::max<qint64>(0, groupsIn * kSamplesPerGroup - firstSample));
    }
    for (int k = 0; k < kChannelCount; ++k) {
        double* out = channels[k];
        qint64 i = 0;
        // Up to the first group boundary.
        for (; i < whole && (firstSample + i) % kSamplesPerGroup != 0; ++i)
            out[i] = double(qFromLittleEndian<qint16>(groups + codeIndex(firstSample + i, k) * 2));
        const std::uint8_t* group = groups + codeIndex(firstSample + i, k) * 2;
        for (; i + kSamplesPerGroup <= whole; i += kSamplesPerGroup, group += kGroupBytes) {
            for (int j = 0; j < kSamplesPerGroup; ++j)
                out[i + j] = double(qFromLittleEndian<qint16>(group + 2 * j));
        }
        for (; i < n; ++i) {
            const qint64 byte = codeIndex(firstSample + i, k) * 2;
            out[i] = byte + 2 <= byteCount ? double(qFromLittleEndian<qint16>(groups + byte)) : 0.0;
        }
    }
}

const char* statusText(Status status)
{
    switch (status) {
    case Status::Ok: return "ok";
    case Status::BadRecordLength: return "record length out of range";
    case Status::BadOffset: return "offset is not a whole sample";
    case Status::OpenFailed: return "cannot open file";
    case Status::EmptyFile: return "file is empty";
    case Status::OffsetPastEnd: return "offset lies past the end of the file";
    case Status::ReadFailed: return "read error";
    }
    return "unknown";
}

struct RecordReader::OpenFile {
    QString path;
    QFile file;
};

RecordReader::RecordReader(Access access) : access(access) {}
RecordReader::~RecordReader() = default;

void RecordReader::close()
{
    kept.reset();
    stagedStart = 0;
    stagedBytes = 0;
}

bool RecordReader::fetch(OpenFile& open, qint64 startByte, qint64 spanBytes, const std::uint8_t** data,
                         qint64* got)
{
    const bool keep = access == Access::KeepOpen;
    // Served from what is buffered when the whole span is there (KeepOpen).
    if (keep && startByte >= stagedStart && startByte - stagedStart + spanBytes <= stagedBytes) {
        *data = staging.data() + (startByte - stagedStart);
        *got = spanBytes;
        return true;
    }
    const qint64 want = keep ? std::max(spanBytes, kReadAheadBytes) : spanBytes;
    if (staging.size() < std::size_t(want))
        staging.resize(std::size_t(want));
    stagedBytes = 0;
    if (!open.file.seek(startByte))
        return false;
    qint64 have = 0;
    while (have < want) {
        const qint64 r = open.file.read(reinterpret_cast<char*>(staging.data()) + have, want - have);
        if (r < 0)
            return false;
        if (r == 0)
            break;
        have += r;
    }
    stagedStart = startByte;
    stagedBytes = keep ? have : 0;
    *data = staging.data();
    *got = std::min(have, spanBytes);
    return true;
}

ReadResult RecordReader::read(const QString& path, qint64 offsetBytes, int n,
                              double* const channels[kChannelCount])
{
    ReadResult result;
    if (n <= 0 || n > kMaxRecordLength) {
        result.status = Status::BadRecordLength;
        return result;
    }
    if (offsetBytes < 0 || offsetBytes % kBytesPerSample != 0) {
        result.status = Status::BadOffset;
        return result;
    }

    OpenFile once;
    OpenFile* open = &once;
    if (access == Access::KeepOpen) {
        if (kept && kept->path != path)
            close();
        if (!kept) {
            kept = std::make_unique<OpenFile>();
            kept->path = path;
            kept->file.setFileName(path);
            if (!kept->file.open(QIODevice::ReadOnly)) {
                close();
                result.status = Status::OpenFailed;
                return result;
            }
        }
        open = kept.get();
    } else {
        once.file.setFileName(path);
        if (!once.file.open(QIODevice::ReadOnly)) {
            result.status = Status::OpenFailed;
            return result;
        }
    }
    result.fileSizeBytes = open->file.size();
    if (result.fileSizeBytes <= 0) {
        result.status = Status::EmptyFile;
        return result;
    }
    if (offsetBytes >= result.fileSizeBytes) {
        result.status = Status::OffsetPastEnd;
        return result;
    }

    // The record spans stream samples s0 .. s0+n-1; read the whole groups
    // that hold them, starting at the group of s0.
    const qint64 s0 = offsetBytes / kBytesPerSample;
    const qint64 firstGroup = s0 / kSamplesPerGroup;
    const qint64 lastGroup = (s0 + n - 1) / kSamplesPerGroup;
    const qint64 spanBytes = (lastGroup - firstGroup + 1) * kGroupBytes;
    const std::uint8_t* groups = nullptr;
    qint64 got = 0;
    if (!fetch(*open, firstGroup * kGroupBytes, spanBytes, &groups, &got)) {
        if (access == Access::KeepOpen)
            close();
        result.status = Status::ReadFailed;
        return result;
    }

    // An instant counts as read from the file when all four of its codes
    // were there; channel 3 holds the last code of an instant in its group.
    const qint64 firstInGroup = s0 - firstGroup * kSamplesPerGroup;
    qint64 fromFile = 0;
    if (got == spanBytes) {
        fromFile = n;
    } else {
        while (fromFile < n && (codeIndex(firstInGroup + fromFile, 3) + 1) * 2 <= got)
            ++fromFile;
    }
    unpackSamples(groups, got, firstInGroup, n, channels);
    result.samplesFromFile = int(fromFile);
    result.status = Status::Ok;
    result.nextOffsetBytes = nextRecordOffset(offsetBytes, n, result.fileSizeBytes);
    return result;
}

ReadResult RecordReader::readRecord(const QString& path, qint64 recordIndex, int n,
                                    double* const channels[kChannelCount])
{
    if (n <= 0 || n > kMaxRecordLength) {
        ReadResult result;
        result.status = Status::BadRecordLength;
        return result;
    }
    const qint64 offset = recordOffsetBytes(recordIndex, n);
    if (offset < 0) {
        ReadResult result;
        result.status = Status::BadOffset;
        return result;
    }
    return read(path, offset, n, channels);
}

qint64 packedBytes(int n)
{
    if (n <= 0)
        return 0;
    return (qint64(n) + kSamplesPerGroup - 1) / kSamplesPerGroup * kGroupBytes;
}

void packSamples(const std::int16_t* const channels[kChannelCount], int n, std::uint8_t* groups)
{
    const qint64 bytes = packedBytes(n);
    std::memset(groups, 0, std::size_t(bytes));
    for (int k = 0; k < kChannelCount; ++k)
        for (int i = 0; i < n; ++i)
            qToLittleEndian<qint16>(channels[k][i], groups + codeIndex(i, k) * 2);
}

} // namespace samplefile
