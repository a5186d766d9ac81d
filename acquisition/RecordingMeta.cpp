// SigMF metadata of recordings (see RecordingMeta.h).
#include "RecordingMeta.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <limits>

namespace recordingmeta {

namespace {

const QString kMetaSuffix = QStringLiteral(".sigmf-meta");
const QString kMapping = QStringLiteral("group g holds 16 int16 values; value 4k + m is board channel k at instant 4g + m");

// Largest group count or position taken from a document: 2^53 groups (256
// PiB of groups) is far beyond any recording, every whole number up to it
// is exact in a JSON double, and its byte offset (x 32) fits in 64 bits.
constexpr double kMaxGroups = 9007199254740992.0;

// A group count or position of a document: a whole number from 0 to
// kMaxGroups. Returns false for anything else (a fraction, a negative or
// huge value, text), which a reader must refuse rather than guess at.
bool groupNumber(const QJsonValue& v, qint64* out)
{
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (!(d >= 0 && d <= kMaxGroups) || d != std::floor(d))
        return false;
    *out = qint64(d);
    return true;
}

} // namespace

QString metaPathFor(const QString& binPath)
{
    if (binPath.endsWith(QLatin1String(".bin")))
        return binPath.left(binPath.size() - 4) + kMetaSuffix;
    return binPath + kMetaSuffix;
}

QByteArray toJson(const Recording& r)
{
    QJsonObject global;
    global[QStringLiteral("core:datatype")] = QStringLiteral("ri16_le");
    global[QStringLiteral("core:num_channels")] = 16;
    if (r.sampleRateHz > 0 && std::isfinite(r.sampleRateHz))
        global[QStringLiteral("core:sample_rate")] = r.sampleRateHz / 4;
    global[QStringLiteral("core:dataset")] = r.dataFileName;
    global[QStringLiteral("core:version")] = QStringLiteral("1.2.0");
    global[QStringLiteral("core:recorder")] = r.recorder;
    global[QStringLiteral("core:hw")] = r.hardware;
    QString description = r.description;
    if (!r.complete)
        description += QStringLiteral(" (incomplete: recording in progress or cut short)");
    global[QStringLiteral("core:description")] = description.trimmed();
    if (r.offsetGroups > 0)
        global[QStringLiteral("core:offset")] = double(r.offsetGroups);
    QJsonObject extension;
    extension[QStringLiteral("name")] = QStringLiteral("h452");
    extension[QStringLiteral("version")] = QStringLiteral("1.0.0");
    extension[QStringLiteral("optional")] = false;
    global[QStringLiteral("core:extensions")] = QJsonArray{extension};
    global[QStringLiteral("h452:mapping")] = kMapping;
    if (r.sampleRateHz > 0 && std::isfinite(r.sampleRateHz))
        global[QStringLiteral("h452:fs")] = r.sampleRateHz;
    QJsonObject registers;
    registers[QStringLiteral("rate_mode")] = r.rateMode;
    registers[QStringLiteral("decimation_code")] = r.decimationCode;
    registers[QStringLiteral("decimation_factor")] = r.decimationFactor;
    global[QStringLiteral("h452:rate_registers")] = registers;
    global[QStringLiteral("h452:trigger_source")] = r.triggerSource;
    global[QStringLiteral("h452:trigger_mode")] = r.triggerMode;
    global[QStringLiteral("h452:block_bytes")] = r.blockBytes;
    global[QStringLiteral("h452:dropped_blocks")] = double(r.droppedBlocks);
    global[QStringLiteral("h452:complete")] = r.complete;

    QJsonObject first;
    first[QStringLiteral("core:sample_start")] = 0;
    first[QStringLiteral("core:datetime")] = r.startUtc.toUTC().toString(Qt::ISODateWithMs);
    QJsonArray captures{first};
    QJsonArray annotations;
    for (const Gap& g : r.gaps) {
        QJsonObject capture;
        capture[QStringLiteral("core:sample_start")] = double(g.groupStart);
        capture[QStringLiteral("core:global_index")] = double(g.globalIndex);
        captures.append(capture);
        QJsonObject note;
        note[QStringLiteral("core:sample_start")] = double(g.groupStart);
        note[QStringLiteral("core:sample_count")] = 1;
        note[QStringLiteral("core:label")] = QStringLiteral("dropped");
        note[QStringLiteral("core:comment")] = QStringLiteral("%1 blocks lost").arg(g.blocksLost);
        annotations.append(note);
    }
    QJsonObject doc;
    doc[QStringLiteral("global")] = global;
    doc[QStringLiteral("captures")] = captures;
    doc[QStringLiteral("annotations")] = annotations;
    return QJsonDocument(doc).toJson(QJsonDocument::Indented);
}

bool write(const QString& metaPath, const Recording& r, QString* error)
{
    QSaveFile file(metaPath);
    const QByteArray json = toJson(r);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

ReadBack parse(const QByteArray& json)
{
    ReadBack out;
    out.present = true;
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull() || !doc.isObject()) {
        out.reason = QStringLiteral("not a JSON object: ") + parseError.errorString();
        return out;
    }
    const QJsonObject global = doc.object().value(QStringLiteral("global")).toObject();
    if (global.value(QStringLiteral("core:datatype")).toString() != QLatin1String("ri16_le")
        || global.value(QStringLiteral("core:num_channels")).toInt() != 16) {
        out.reason = QStringLiteral("not an H452 recording (datatype or channel count)");
        return out;
    }
    const QJsonValue rate = global.value(QStringLiteral("core:sample_rate"));
    const double groupRate = rate.toDouble(-1);
    // QJsonValue cannot hold NaN or infinity; a huge value still overflows x 4.
    if (!rate.isDouble() || !(groupRate > 0) || !std::isfinite(groupRate * 4)) {
        out.reason = QStringLiteral("no usable core:sample_rate");
        return out;
    }
    out.sampleRateHz = groupRate * 4;
    const QJsonValue offset = global.value(QStringLiteral("core:offset"));
    if (!offset.isUndefined() && !groupNumber(offset, &out.offsetGroups)) {
        out.reason = QStringLiteral("core:offset is not a group count");
        return out;
    }
    out.complete = global.value(QStringLiteral("h452:complete")).toBool(false);
    const int blockBytes = global.value(QStringLiteral("h452:block_bytes")).toInt(8192);
    if (blockBytes >= kGroupBytes && blockBytes % kGroupBytes == 0)
        out.groupsPerBlock = blockBytes / kGroupBytes;
    const QJsonArray captures = doc.object().value(QStringLiteral("captures")).toArray();
    const QJsonArray annotations = doc.object().value(QStringLiteral("annotations")).toArray();
    for (const QJsonValue& c : captures) {
        const QJsonObject capture = c.toObject();
        if (!capture.contains(QStringLiteral("core:global_index")))
            continue;  // the first segment, or one that is not a gap
        Gap g;
        if (!groupNumber(capture.value(QStringLiteral("core:sample_start")), &g.groupStart)
            || !groupNumber(capture.value(QStringLiteral("core:global_index")), &g.globalIndex)) {
            out.reason = QStringLiteral("a capture's core:sample_start or core:global_index is not a group position");
            out.gaps.clear();
            return out;
        }
        if (g.groupStart == 0)
            continue;  // the first segment
        const qint64 start = g.groupStart;
        for (const QJsonValue& a : annotations) {
            const QJsonObject note = a.toObject();
            qint64 noteStart = -1;
            if (note.value(QStringLiteral("core:label")).toString() == QLatin1String("dropped")
                && groupNumber(note.value(QStringLiteral("core:sample_start")), &noteStart) && noteStart == start)
                g.blocksLost = note.value(QStringLiteral("core:comment")).toString().section(QLatin1Char(' '), 0, 0).toULongLong();
        }
        out.gaps.push_back(g);
    }
    out.ok = true;
    return out;
}

RecordGaps gapsAround(const Gap* gaps, std::size_t gapCount, qint64 offsetBytes, qint64 samplesPerChannel,
                      qint64 groupsPerBlock)
{
    RecordGaps out;
    if (!gaps || offsetBytes < 0 || samplesPerChannel <= 0)
        return out;
    // A sample of all four channels is 8 bytes; a record may begin inside a
    // group, and a gap lies before group `groupStart`, i.e. before byte
    // groupStart * 32.
    // Sums and products saturate at the largest qint64 rather than wrap:
    // a corrupt count must not turn into a negative one.
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    const qint64 first = offsetBytes;
    const qint64 end = samplesPerChannel > (kMax - offsetBytes) / 8 ? kMax : offsetBytes + samplesPerChannel * 8;
    for (std::size_t i = 0; i < gapCount; ++i) {
        if (gaps[i].groupStart < 0 || gaps[i].groupStart > kMax / kGroupBytes)
            continue;  // no record of a file can start there
        const qint64 at = gaps[i].groupStart * kGroupBytes;
        if (at == first) {
            const quint64 room = quint64(kMax - out.groupsBefore);
            const quint64 perBlock = quint64(std::max<qint64>(groupsPerBlock, 0));
            out.groupsBefore = perBlock != 0 && gaps[i].blocksLost > room / perBlock
                ? kMax
                : out.groupsBefore + qint64(gaps[i].blocksLost * perBlock);
        } else if (at > first && at < end) {
            out.spansGap = true;
        }
    }
    return out;
}

ReadBack readFor(const QString& binPath)
{
    QFile file(metaPathFor(binPath));
    if (!file.exists())
        return ReadBack{};
    // A metadata file is a few kilobytes; a huge one is not ours.
    constexpr qint64 kMaxMetaBytes = 16 * 1024 * 1024;
    if (!file.open(QIODevice::ReadOnly)) {
        ReadBack out;
        out.present = true;
        out.reason = QStringLiteral("cannot open: ") + file.errorString();
        return out;
    }
    if (file.size() > kMaxMetaBytes) {
        ReadBack out;
        out.present = true;
        out.reason = QStringLiteral("too large for a metadata file");
        return out;
    }
    return parse(file.readAll());
}

} // namespace recordingmeta
