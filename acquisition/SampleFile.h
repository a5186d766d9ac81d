// Sample files and the sample-group layout, defined once for everything that
// reads them: the acquisition thread's replay, the single acquisition and the
// offline analyser.
//
// The board's memory, its DMA blocks and our sample files share one layout: a
// stream of 32-byte groups, each holding 16 little-endian int16 codes: four
// consecutive samples of channel 0, then the same four instants of channels
// 1, 2 and 3. Sample i of channel k sits at int16 index
// (i / 4) * 16 + k * 4 + i % 4. A file is nothing but such groups: no header,
// no trailer.
//
// A record of n samples per channel covers n * 8 bytes of the stream. Record r
// starts at byte r * n * 8 and holds stream samples r*n ... r*n + n - 1, each
// read from its own group position, so a record may start inside a group when
// n is not a multiple of 4. Samples past the end of the file read as 0 (a
// record never shows stale data from an earlier read). After a record the
// replay moves on by n * 8 bytes while that stays inside the file, otherwise it
// starts over at byte 0.
//
// Needs Qt Core only.
#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <memory>
#include <vector>

namespace samplefile {

constexpr int kChannelCount = 4;
constexpr int kSamplesPerGroup = 4;
constexpr int kGroupBytes = 32;
constexpr int kCodesPerGroup = 16;
// Bytes of the stream per sample instant (one int16 code of each channel).
constexpr qint64 kBytesPerSample = 8;
// Longest record a reader accepts: 16 Mi samples per channel (128 MiB of
// stream, 512 MiB as doubles). The window allows at most 999999; anything
// beyond this is a corrupt or mistyped length, refused before allocating.
constexpr int kMaxRecordLength = 1 << 24;

// Index of the int16 code of sample i, channel k, counted from the first code
// of the group that holds sample 0.
constexpr qint64 codeIndex(qint64 sample, int channel)
{
    return (sample / kSamplesPerGroup) * kCodesPerGroup + channel * kSamplesPerGroup
        + sample % kSamplesPerGroup;
}

// Byte offset of record r of n samples; -1 when r or n is negative or the
// offset would not fit in 64 bits.
qint64 recordOffsetBytes(qint64 recordIndex, int recordLength);

// Where the replay continues after the record at offsetBytes: offsetBytes +
// n*8 while that lies inside the file, else 0. Records of whole files with n
// a multiple of 4 thus repeat exactly; a file shorter than one record replays
// from the start every time.
qint64 nextRecordOffset(qint64 offsetBytes, int recordLength, qint64 fileSizeBytes);

// Splits n samples per channel out of a buffer of groups. `groups` holds
// `byteCount` bytes of the stream starting at a group boundary; the record
// begins at sample `firstSample` of that buffer (0..3 in practice). Samples
// whose codes lie at or beyond byteCount read as 0. `channels` points to four
// caller-owned arrays of n doubles each (channels 0..3).
void unpackSamples(const std::uint8_t* groups, qint64 byteCount, qint64 firstSample, int n,
                   double* const channels[kChannelCount]);

enum class Status {
    Ok,                 // n samples per channel written (zero-padded past the end)
    BadRecordLength,    // n <= 0 or n > kMaxRecordLength
    BadOffset,          // negative offset or not a multiple of 8 bytes
    OpenFailed,         // missing or unreadable file
    EmptyFile,          // the file has no bytes at all
    OffsetPastEnd,      // the offset lies at or beyond the end of the file
    ReadFailed,         // seek or read error
};

// A short English description for debug-log lines and the analyser's errors.
const char* statusText(Status status);

struct ReadResult {
    Status status = Status::OpenFailed;
    qint64 fileSizeBytes = 0;    // size of the file when it was read (0 if it could not be opened)
    int samplesFromFile = 0;     // samples per channel that came from the file, the rest are 0
    qint64 nextOffsetBytes = 0;  // where the next record starts (nextRecordOffset); 0 on failure
};

// Reads records of one length from sample files. It keeps its staging buffer
// between reads so that a replay loop allocates only when the length changes.
//
// Two ways to reach the file:
//   ReopenEachRead (the default, the replay's): every read opens, reads and
//     closes the file, so the file may be replaced or grow between reads.
//   KeepOpen (the offline analyser's): the file stays open from one read to
//     the next (a new path opens the new file), and reads go through a
//     read-ahead buffer of kReadAheadBytes, so a walk through consecutive
//     records costs one system call per few MiB instead of an open, a seek,
//     a read and a close per record. The size is taken afresh on every read,
//     so a file that grows is followed; bytes already buffered are not read
//     again, and a file replaced under the same path keeps being read from
//     the one that was opened (until close() or another path).
// The records delivered are the same bytes either way. Not thread-safe: one
// reader per thread.
class RecordReader {
public:
    enum class Access { ReopenEachRead, KeepOpen };
    static constexpr qint64 kReadAheadBytes = qint64(4) << 20;

    explicit RecordReader(Access access = Access::ReopenEachRead);
    ~RecordReader();
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    // Reads the record of n samples that starts at offsetBytes of the file at
    // path into four caller-owned arrays of n doubles. On any status but Ok the
    // arrays are left untouched.
    ReadResult read(const QString& path, qint64 offsetBytes, int n,
                    double* const channels[kChannelCount]);

    // Record r of n samples (byte offset r * n * 8).
    ReadResult readRecord(const QString& path, qint64 recordIndex, int n,
                          double* const channels[kChannelCount]);

    // Closes a kept file and forgets the buffered bytes (KeepOpen).
    void close();

private:
    struct OpenFile;
    // Bytes [startByte, startByte + spanBytes) of the open file: *data points
    // at them, *got says how many the file had (fewer at its end). False on a
    // seek or read error.
    bool fetch(OpenFile& file, qint64 startByte, qint64 spanBytes, const std::uint8_t** data, qint64* got);

    Access access;
    std::unique_ptr<OpenFile> kept;   // KeepOpen: the open file
    std::vector<std::uint8_t> staging;
    qint64 stagedStart = 0;            // file offset of staging[0]
    qint64 stagedBytes = 0;            // valid bytes in staging (KeepOpen)
};

// Writes n samples per channel (four arrays of n codes) as groups into a
// caller buffer of packedBytes(n) bytes; a partial last group is zero-filled.
qint64 packedBytes(int n);
void packSamples(const std::int16_t* const channels[kChannelCount], int n, std::uint8_t* groups);

} // namespace samplefile
