// h452-analyze: measures recorded sample files record by record with the same
// frame-level analysis the live window runs, for scripts and batch checks.
// Records are read as the replay reads them (sample-file reader of the
// acquisition side); figures carry from record to record as in the window.
#include "AnalyzeOptions.h"
#include "AnalyzeReport.h"
#include "AnalyzeSpectrum.h"
#include "AnalysisState.h"
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
    samplefile::RecordReader reader;
    h452::FrameResult result;
    h452::StandardFrameAnalysis standard;
    standard.maxHarmonic = opt.maxHarmonic;
    h452::AnalyzeSpectrum spectrum(opt);
    std::string fileError;
    if (!spectrum.open(fileError))
        return fail(fileError, 1);
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
        const bool last = (opt.records < 0 && read.nextOffsetBytes == 0) || record + 1 == opt.records;
        if (spectrum.addRecord(record, offset, result, last)) {
            const long long shown = spectrum.reportRecord();
            const qint64 shownOffset = spectrum.reportOffset();
            standard.analyze(input, opt.windowType, result.figures, true, opt.stats);
            switch (opt.format) {
            case h452::ReportFormat::Table:
                h452::appendTableRecord(out, shown, shownOffset, opt.channels, result, &standard);
                break;
            case h452::ReportFormat::Json:
                h452::appendJsonRecord(out, shown, shownOffset, opt.channels, result, &standard);
                break;
            case h452::ReportFormat::Csv:
                h452::appendCsvRecord(out, shown, shownOffset, opt.channels, result, &standard);
                break;
            }
            if (!flush(out))
                return fail("cannot write the report", 1);
        }
        // Without --records the record that reaches the end of the file is
        // the last; with it the replay starts over at the beginning.
        if (opt.records < 0 && read.nextOffsetBytes == 0)
            break;
        offset = read.nextOffsetBytes;
    }
    if (!spectrum.finish(fileError))
        return fail(fileError, 1);
    if (opt.stats) {
        h452::appendStatsSummary(out, opt.channels, standard);
        if (!flush(out))
            return fail("cannot write the report", 1);
    }
    return 0;
}
