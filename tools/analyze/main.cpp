// h452-analyze: measures recorded sample files record by record with the same
// frame-level analysis the live window runs, for scripts and batch checks.
// Records are read as the replay reads them (sample-file reader of the
// acquisition side); figures carry from record to record as in the window.
#include "AnalyzeOptions.h"
#include "AnalyzeReport.h"
#include "AnalysisState.h"
#include "RecordingMeta.h"
#include "SampleFile.h"

#include <QString>

#include <cstdio>
#include <string>
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

    const int n = opt.recordLength;
    const bool json = opt.format == h452::ReportFormat::Json;
    h452::AnalysisState state;
    state.setWindowType(opt.windowType);
    if (opt.constellationType >= 0)
        state.setConstellationType(opt.constellationType);

    std::vector<double> samples[samplefile::kChannelCount];
    double* channels[samplefile::kChannelCount];
    h452::FrameInput input;
    input.sampleCount = n;
    input.sampleRateHz = opt.sampleRateHz;
    for (int k = 0; k < samplefile::kChannelCount; ++k) {
        samples[k].assign(static_cast<std::size_t>(n), 0.0);
        channels[k] = samples[k].data();
        input.samples[k] = channels[k];
        input.channelEnabled[k] = opt.channels[k];
    }
    // Only the JSON report carries constellation and eye output.
    input.constellationPanel = json && opt.constellationType >= 0;
    input.eyePanel = json && opt.eyeChannel >= 0;
    input.eyeChannel = opt.eyeChannel;
    input.accumulateEye = false;  // the report shows each record's traces, not the persistence

    const QString path = QString::fromLocal8Bit(opt.file.c_str());
    // A recording's metadata gives its rate (unless one was asked for) and
    // where the ring dropped blocks; a file without it reads as before.
    const recordingmeta::ReadBack meta = recordingmeta::readFor(path);
    if (meta.present && !meta.ok)
        std::fprintf(stderr, "h452-analyze: metadata ignored: %s\n", meta.reason.toLocal8Bit().constData());
    else if (meta.ok && !opt.sampleRateGiven)
        input.sampleRateHz = meta.sampleRateHz;
    samplefile::RecordReader reader;
    h452::FrameResult result;
    h452::StandardFrameAnalysis standard;
    standard.maxHarmonic = opt.maxHarmonic;
    std::string out;
    if (opt.format == h452::ReportFormat::Csv)
        h452::appendCsvHeader(out, opt.maxHarmonic);

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
        standard.analyze(input, opt.windowType, result.figures, true, opt.stats);
        switch (opt.format) {
        case h452::ReportFormat::Table:
            h452::appendTableRecord(out, record, offset, opt.channels, result, &standard);
            break;
        case h452::ReportFormat::Json: {
            const std::size_t line = out.size();
            h452::appendJsonRecord(out, record, offset, opt.channels, result, &standard);
            if (meta.ok)
                addGapFields(out, line,
                             recordingmeta::gapsAround(meta.gaps.data(), meta.gaps.size(), offset, n,
                                                       meta.groupsPerBlock));
            break;
        }
        case h452::ReportFormat::Csv:
            h452::appendCsvRecord(out, record, offset, opt.channels, result, &standard);
            break;
        }
        if (!flush(out))
            return fail("cannot write the report", 1);
        // Without --records the record that reaches the end of the file is
        // the last; with it the replay starts over at the beginning.
        if (opt.records < 0 && read.nextOffsetBytes == 0)
            break;
        offset = read.nextOffsetBytes;
    }
    if (opt.stats) {
        h452::appendStatsSummary(out, opt.channels, standard);
        if (!flush(out))
            return fail("cannot write the report", 1);
    }
    return 0;
}
