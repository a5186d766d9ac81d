// RecordingMeta: what we know about a recording, kept beside its .bin in a
// SigMF 1.x metadata file ("samples_x.bin" -> "samples_x.sigmf-meta"). The
// .bin itself stays the raw 32-byte groups, so stored files and the replay
// read exactly as before.
//
// How the groups are described: SigMF's core fields cannot say "four
// consecutive samples of each of four channels", so each 32-byte group is one
// sample of 16 interleaved real int16 channels ("ri16_le", 16 channels,
// core:sample_rate = fs / 4); the "h452" extension states the mapping (group
// channel 4k + m is board channel k at instant 4g + m), fs itself, the rate
// registers, the trigger, the block size and the blocks the full ring
// dropped. A run of dropped blocks opens a new capture segment at the first
// group after the gap (core:global_index counts the groups the board
// produced, dropped ones included) and gets a one-sample "dropped" annotation
// whose comment gives the blocks lost. A roll-over part carries core:offset,
// the groups of the parts before it.
//
// The file is written whole to a temporary name and renamed over the old one
// (QSaveFile), when the recording starts and again when it ends; until the
// end "h452:complete" is false, so a recording cut short by a crash says so.
//
// The reader is pure apart from reading the file: bad JSON, a missing field,
// a rate that is not finite and positive, or a group offset or position
// that is not a whole number from 0 to 2^53 is refused with a reason, never
// guessed at. Qt Core only (QJsonDocument), shared by the recorder, the
// replay and h452-analyze.
#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <vector>

namespace recordingmeta {

// Bytes of one group: four samples of each of the four channels.
constexpr int kGroupBytes = 32;

// A run of blocks the ring dropped, placed before group `groupStart` of
// its part (in groups of that .bin).
struct Gap {
    qint64 groupStart = 0;
    qint64 globalIndex = 0;   // groups the board produced before it (whole recording)
    quint64 blocksLost = 0;
};

struct Recording {
    QString dataFileName;      // the .bin, without directory
    double sampleRateHz = 0;   // fs; 0 or less: unknown (not written)
    QString recorder;          // program and version, e.g. "H452 1.0.0"
    QString hardware;          // "H452 (4 channels)" or "H452 emulated board"
    QString description;
    int rateMode = -1;         // rate registers as last written; -1: not written
    int decimationCode = -1;
    int decimationFactor = -1;
    QString triggerSource;     // e.g. "continuous transfer"
    QString triggerMode;       // e.g. "free-running stream"
    int blockBytes = 8192;
    quint64 droppedBlocks = 0; // in this part
    QDateTime startUtc;
    qint64 offsetGroups = 0;   // groups of the earlier roll-over parts
    std::vector<Gap> gaps;
    bool complete = false;
};

// "x.bin" -> "x.sigmf-meta" (any other name gets ".sigmf-meta" appended).
QString metaPathFor(const QString& binPath);

// The SigMF document of a recording (UTF-8 JSON).
QByteArray toJson(const Recording& r);

// Writes toJson(r) to metaPath atomically; false with the reason in *error.
bool write(const QString& metaPath, const Recording& r, QString* error);

struct ReadBack {
    bool present = false;     // a metadata file exists beside the .bin
    bool ok = false;          // it parsed and its rate is usable
    QString reason;           // why not, when present && !ok
    double sampleRateHz = 0;  // fs (4 x core:sample_rate)
    qint64 offsetGroups = 0;
    qint64 groupsPerBlock = 256;  // h452:block_bytes / 32 (8192-byte blocks when absent)
    bool complete = false;
    std::vector<Gap> gaps;    // in file order
};

// Parses a metadata document (pure).
ReadBack parse(const QByteArray& json);

// How a record of `samplesPerChannel` samples starting at byte
// `offsetBytes` of a part lies against that part's gaps (`gaps`: `gapCount`
// entries in file order, as ReadBack::gaps): the groups dropped right before
// its first group, and whether a gap falls inside it. Counts saturate at the
// largest qint64 instead of overflowing; gaps no file position can reach
// are ignored.
struct RecordGaps {
    qint64 groupsBefore = 0;  // dropped groups just before the record
    bool spansGap = false;    // a gap lies between two of its samples
};
RecordGaps gapsAround(const Gap* gaps, std::size_t gapCount, qint64 offsetBytes, qint64 samplesPerChannel,
                      qint64 groupsPerBlock);

// Reads the metadata beside `binPath`; present == false when there is none.
ReadBack readFor(const QString& binPath);

} // namespace recordingmeta
