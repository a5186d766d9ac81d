// h452-analyze: measures recorded sample files record by record with the same
// frame-level analysis the live window runs, for scripts and batch checks.
// Records are read with the replay's sample-file reader, the file kept open
// and read ahead in large pieces (the records are consecutive); figures carry
// from record to record as in the window.
//
// Several threads analyse the channels side by side. Everything a channel
// carries from record to record (its figures) belongs to that channel alone,
// so each worker keeps its own analysis state for its channels and walks all
// records in order: every channel sees exactly the sequence of records a
// single thread would give it, and the report is the same bytes for any
// thread count. The records go in batches: while the workers analyse one
// batch, the main thread reads the next; then it writes the finished batch's
// report. --threads 1 is the plain loop, one record at a time. The standard
// figure set, its sine fit and the statistics are per channel too, so each
// worker computes them for its own channels.
#include "AnalyzeOptions.h"
#include "AnalyzeReport.h"
#include "AnalyzeGroups.h"
#include "AnalysisState.h"
#include "RecordingMeta.h"
#include "SampleFile.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

int fail(const std::string& message, int code)
{
    std::fprintf(stderr, "h452-analyze: %s\n", message.c_str());
    return code;
}

bool flush(std::string& out)
{
    if (!out.empty() && std::fwrite(out.data(), 1, out.size(), stdout) != out.size())
        return false;
    out.clear();
    return std::fflush(stdout) == 0;
}

// A record next to a gap in the recording says so, right after its offset:
// "gap_before_groups" (groups dropped just before it) and "spans_gap" (a gap
// lies inside it, so its samples are not one continuous stretch). Records
// away from gaps read exactly as before.
void addGapFields(std::string& out, std::size_t lineStart, const recordingmeta::RecordGaps& gaps)
{
    std::string fields;
    if (gaps.groupsBefore > 0)
        fields += ", \"gap_before_groups\": " + std::to_string(gaps.groupsBefore);
    if (gaps.spansGap)
        fields += ", \"spans_gap\": true";
    const std::size_t at = out.find(", \"channels\": [", lineStart);
    if (!fields.empty() && at != std::string::npos)
        out.insert(at, fields);
}

// One record's report in the chosen format; a JSON record carries the gaps
// the recording's metadata places around it.
void appendRecord(const h452::AnalyzeOptions& opt, const recordingmeta::ReadBack& meta, std::string& out,
                  long long record, qint64 offset, const h452::FrameResult& result,
                  const h452::StandardFrameAnalysis& standardSet)
{
    const h452::StandardFrameAnalysis* standard = opt.standardSet ? &standardSet : nullptr;
    switch (opt.format) {
    case h452::ReportFormat::Table:
        h452::appendTableRecord(out, record, offset, opt.channels, result, standard);
        break;
    case h452::ReportFormat::Json: {
        const std::size_t line = out.size();
        h452::appendJsonRecord(out, record, offset, opt.channels, result, standard);
        if (meta.ok)
            addGapFields(out, line,
                         recordingmeta::gapsAround(meta.gaps.data(), meta.gaps.size(), offset, opt.recordLength,
                                                   meta.groupsPerBlock));
        break;
    }
    case h452::ReportFormat::Csv:
        h452::appendCsvRecord(out, record, offset, opt.channels, result, standard);
        break;
    }
}

// The analysis state as the options set it up. Only the JSON report carries
// constellation and eye output.
void configure(const h452::AnalyzeOptions& opt, const bool channels[4], h452::AnalysisState& state,
               h452::FrameInput& input)
{
    // The complex transform with estimate planning and the exact demodulator
    // arithmetic: reports keep their bytes from one version to the next.
    state.spectrum.setTransform(h452::SpectrumTransform::Complex);
    state.demodArithmetic = h452::DemodArithmetic::Exact;
    state.setWindowType(opt.windowType);
    if (opt.constellationType >= 0)
        state.setConstellationType(opt.constellationType);
    const bool json = opt.format == h452::ReportFormat::Json;
    input.sampleCount = opt.recordLength;
    input.sampleRateHz = opt.sampleRateHz;
    for (int k = 0; k < samplefile::kChannelCount; ++k)
        input.channelEnabled[k] = channels[k];
    input.constellationPanel = json && opt.constellationType >= 0;
    input.eyePanel = json && opt.eyeChannel >= 0;
    input.eyeChannel = opt.eyeChannel;
    // Figures beside the points of each record.
    input.constellationFigures = input.constellationPanel;
    input.symbolRateHz = opt.symbolRateHz;
    input.eyeFigures = input.eyePanel;
    input.accumulateEye = false;  // the report shows each record's traces, not the persistence
}

// The plain loop: one record read, analysed and written at a time.
int analyzeRecordByRecord(const h452::AnalyzeOptions& opt, const recordingmeta::ReadBack& meta, const QString& path)
{
    const int n = opt.recordLength;
    h452::AnalysisState state;
    h452::FrameInput input;
    configure(opt, opt.channels, state, input);
    std::vector<double> samples[samplefile::kChannelCount];
    double* channels[samplefile::kChannelCount];
    for (int k = 0; k < samplefile::kChannelCount; ++k) {
        samples[k].assign(static_cast<std::size_t>(n), 0.0);
        channels[k] = samples[k].data();
        input.samples[k] = channels[k];
    }

    samplefile::RecordReader reader(samplefile::RecordReader::Access::KeepOpen);
    h452::FrameResult result;
    h452::StandardFrameAnalysis standard;
    standard.maxHarmonic = opt.maxHarmonic;
    h452::RecordGroups groups(opt);
    std::string fileError;
    if (!groups.open(fileError))
        return fail(fileError, 1);
    std::string out;
    if (opt.format == h452::ReportFormat::Csv)
        h452::appendCsvHeader(out, opt.standardSet ? opt.maxHarmonic : 0);

    qint64 offset = 0;
    for (long long record = 0; opt.records < 0 || record < opt.records; ++record) {
        const samplefile::ReadResult read = reader.read(path, offset, n, channels);
        if (read.status != samplefile::Status::Ok) {
            flush(out);
            return fail(opt.file + ": " + samplefile::statusText(read.status) + " (record "
                            + std::to_string(record) + ", offset " + std::to_string(offset) + ")",
                        1);
        }
        h452::analyzeFrame(state, input, result);
        const bool last = (opt.records < 0 && read.nextOffsetBytes == 0) || record + 1 == opt.records;
        if (groups.addRecord(record, offset, result, last)) {
            if (opt.standardSet)
                standard.analyze(input, opt.windowType, result.figures, true, opt.stats);
            appendRecord(opt, meta, out, groups.reportRecord(), groups.reportOffset(), result, standard);
            if (!flush(out))
                return fail("cannot write the report", 1);
        }
        // Without --records the record that reaches the end of the file is
        // the last; with it the replay starts over at the beginning.
        if (opt.records < 0 && read.nextOffsetBytes == 0)
            break;
        offset = read.nextOffsetBytes;
    }
    if (!groups.finish(fileError))
        return fail(fileError, 1);
    if (opt.stats) {
        h452::appendStatsSummary(out, opt.channels, standard);
        if (!flush(out))
            return fail("cannot write the report", 1);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Channels in parallel.

// Shortest record for which the default is one thread per core. Below it
// the reading and the report, which stay on one thread, are about 40 % of
// the work and the hand-over to the workers costs about 30 % more CPU in
// all: measured at 1000 samples on the shared 2-core build machine, two
// threads took longer than one. From 100000 samples on, two threads win.
// --threads N overrides it.
constexpr int kParallelRecordLength = 16384;

// Samples per channel held for one batch: 2 Mi (16 MiB of doubles per
// channel), at most 1024 records; a record longer than that is a batch of its
// own.
constexpr long long kBatchSamples = 1LL << 21;
constexpr int kMaxBatchRecords = 1024;

// One record of a batch: where it lies, its samples (four channels one after
// the other, n each) and what the workers found in it.
struct BatchRecord {
    qint64 offset = 0;
    std::vector<double> samples;
    h452::FrameResult result;
    std::array<h452::StandardChannelResult, samplefile::kChannelCount> standard;
};

// Carries channel k's part of a worker's frame result into the record's
// result, which the report reads. Everything a report shows about a channel
// passes here: a per-channel result added to the frame goes here too.
void takeChannelResult(h452::FrameResult& from, int k, h452::FrameResult& into)
{
    std::swap(into.channels[k], from.channels[k]);
    into.figures[k] = from.figures[k];
}

// A set of channels with its own analysis state, so its figures carry from
// record to record as in a single-threaded run.
struct ChannelWorker {
    bool channels[4] = {false, false, false, false};
    bool ownsAxis = false;
    bool withStats = false;
    bool withStandard = true;
    int windowType = 0;
    h452::AnalysisState state;
    h452::FrameInput input;
    h452::FrameResult result;
    h452::StandardFrameAnalysis standard;  // its channels' standard set and statistics

    void analyze(BatchRecord* records, int count, int n)
    {
        for (int r = 0; r < count; ++r) {
            BatchRecord& rec = records[r];
            for (int k = 0; k < samplefile::kChannelCount; ++k)
                input.samples[k] = rec.samples.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(n);
            h452::analyzeFrame(state, input, result);
            if (withStandard)
                standard.analyze(input, windowType, result.figures, true, withStats);
            for (int k = 0; k < samplefile::kChannelCount; ++k) {
                if (channels[k]) {
                    takeChannelResult(result, k, rec.result);
                    rec.standard[static_cast<std::size_t>(k)] = standard.channels[static_cast<std::size_t>(k)];
                }
            }
            // The same for every worker: the record's length, rate and
            // axis, handed over by one of them.
            if (ownsAxis) {
                rec.result.sampleCount = result.sampleCount;
                rec.result.sampleRateHz = result.sampleRateHz;
                std::swap(rec.result.binFrequencyHz, result.binFrequencyHz);
            }
        }
    }
};

// A batch of records as read: how many, the number of the first, and the
// read error that ended it, if any (reported after its records).
struct Batch {
    std::vector<BatchRecord> records;
    int count = 0;
    long long first = 0;
    std::string error;
};

// Reads the records of one batch. Returns false when no record follows it.
bool readBatch(const h452::AnalyzeOptions& opt, const QString& path, samplefile::RecordReader& reader,
               qint64& offset, long long first, Batch& batch)
{
    const int n = opt.recordLength;
    batch.count = 0;
    batch.first = first;
    batch.error.clear();
    while (batch.count < static_cast<int>(batch.records.size())) {
        const long long record = first + batch.count;
        if (opt.records >= 0 && record >= opt.records)
            return false;
        BatchRecord& rec = batch.records[static_cast<std::size_t>(batch.count)];
        rec.samples.resize(static_cast<std::size_t>(n) * samplefile::kChannelCount);
        double* channels[samplefile::kChannelCount];
        for (int k = 0; k < samplefile::kChannelCount; ++k)
            channels[k] = rec.samples.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(n);
        const samplefile::ReadResult read = reader.read(path, offset, n, channels);
        if (read.status != samplefile::Status::Ok) {
            batch.error = opt.file + ": " + samplefile::statusText(read.status) + " (record "
                + std::to_string(record) + ", offset " + std::to_string(offset) + ")";
            return false;
        }
        rec.offset = offset;
        ++batch.count;
        // Without --records the record that reaches the end of the file is
        // the last; with it the replay starts over at the beginning.
        if (opt.records < 0 && read.nextOffsetBytes == 0)
            return false;
        offset = read.nextOffsetBytes;
    }
    return opt.records < 0 || first + batch.count < opt.records;
}

int analyzeChannelsInParallel(const h452::AnalyzeOptions& opt, const recordingmeta::ReadBack& meta,
                              const QString& path, int threads)
{
    const int n = opt.recordLength;
    // Deal the analysed channels out in turn: channels 0..3 on two threads
    // give {0, 2} and {1, 3}.
    std::vector<ChannelWorker> workers(static_cast<std::size_t>(threads));
    int dealt = 0;
    for (int k = 0; k < samplefile::kChannelCount; ++k) {
        if (opt.channels[k])
            workers[static_cast<std::size_t>(dealt++ % threads)].channels[k] = true;
    }
    workers[0].ownsAxis = true;
    for (ChannelWorker& w : workers) {
        configure(opt, w.channels, w.state, w.input);
        w.standard.maxHarmonic = opt.maxHarmonic;
        w.windowType = opt.windowType;
        w.withStats = opt.stats;
        w.withStandard = opt.standardSet;
    }
    // What the report reads of the standard set: each record's channels are
    // copied in before it is written, the statistics after the last record.
    h452::StandardFrameAnalysis report;
    report.maxHarmonic = opt.maxHarmonic;

    // Two batches: the workers analyse one while this thread reads the next
    // (reading is a third of the work at short records).
    const int batchSize = static_cast<int>(std::clamp<long long>(kBatchSamples / n, 1, kMaxBatchRecords));
    Batch batches[2];
    for (Batch& b : batches)
        b.records.resize(static_cast<std::size_t>(batchSize));
    samplefile::RecordReader reader(samplefile::RecordReader::Access::KeepOpen);
    std::string out;
    if (opt.format == h452::ReportFormat::Csv)
        h452::appendCsvHeader(out, opt.standardSet ? opt.maxHarmonic : 0);

    qint64 offset = 0;
    bool more = readBatch(opt, path, reader, offset, 0, batches[0]);
    for (int current = 0;; current ^= 1) {
        Batch& now = batches[current];
        Batch& next = batches[current ^ 1];
        std::vector<std::thread> running;
        for (ChannelWorker& w : workers) {
            try {
                running.emplace_back([&w, &now, n] { w.analyze(now.records.data(), now.count, n); });
            } catch (const std::system_error&) {
                // No thread to be had: this worker's channels run here.
                w.analyze(now.records.data(), now.count, n);
            }
        }
        const bool readNext = more;
        if (readNext)
            more = readBatch(opt, path, reader, offset, now.first + now.count, next);
        for (std::thread& t : running)
            t.join();

        for (int r = 0; r < now.count; ++r) {
            const BatchRecord& rec = now.records[static_cast<std::size_t>(r)];
            report.channels = rec.standard;
            appendRecord(opt, meta, out, now.first + r, rec.offset, rec.result, report);
        }
        if (!flush(out))
            return fail("cannot write the report", 1);
        if (!now.error.empty())
            return fail(now.error, 1);
        if (!readNext)
            break;
    }
    if (opt.stats) {
        for (const ChannelWorker& w : workers) {
            for (int k = 0; k < samplefile::kChannelCount; ++k) {
                if (w.channels[k])
                    report.stats[static_cast<std::size_t>(k)] = w.standard.stats[static_cast<std::size_t>(k)];
            }
        }
        h452::appendStatsSummary(out, opt.channels, report);
        if (!flush(out))
            return fail("cannot write the report", 1);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    h452::AnalyzeOptions opt;
    const std::string error = h452::parseAnalyzeOptions(argc, argv, opt);
    if (!error.empty())
        return fail(error + " (see --help)", 2);
    if (opt.help) {
        std::fputs(h452::analyzeUsage(), stdout);
        return 0;
    }
    const QString path = QString::fromLocal8Bit(opt.file.c_str());
    // A recording's metadata gives its rate (unless one was asked for) and
    // where the ring dropped blocks; a file without it reads as before.
    const recordingmeta::ReadBack meta = recordingmeta::readFor(path);
    if (meta.present && !meta.ok)
        std::fprintf(stderr, "h452-analyze: metadata ignored: %s\n", meta.reason.toLocal8Bit().constData());
    else if (meta.ok && !opt.sampleRateGiven)
        opt.sampleRateHz = meta.sampleRateHz;

    int analysed = 0;
    for (int k = 0; k < samplefile::kChannelCount; ++k)
        analysed += opt.channels[k] ? 1 : 0;
    int threads = opt.threads;
    if (threads <= 0) {
        threads = opt.recordLength >= kParallelRecordLength
            ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))
            : 1;
    }
    threads = std::min(threads, analysed);
    // The spectrum file, averaging and peak hold follow the records in turn
    // across all channels: they run in the record-by-record loop.
    if (!opt.spectrumCsv.empty() || opt.averageCount > 0 || opt.peakHold)
        threads = 1;
    if (threads <= 1)
        return analyzeRecordByRecord(opt, meta, path);
    return analyzeChannelsInParallel(opt, meta, path, threads);
}
