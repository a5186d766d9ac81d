// Record groups of h452-analyze. See AnalyzeGroups.h.
#include "AnalyzeGroups.h"

namespace h452 {

namespace {

// Rows are handed to the file in blocks of about this size, so a long run
// neither grows one string without bound nor writes line by line.
constexpr std::size_t kFlushBytes = 1 << 20;

}  // namespace

RecordGroups::RecordGroups(const AnalyzeOptions& options)
    : options_(options)
{
    if (options.averageCount > 0)
        averager_.configure(SpectrumAverageMode::PowerAverage, options.averageCount);
    else if (options.peakHold)
        averager_.configure(SpectrumAverageMode::PeakHold, kMinAverageCount);
}

bool RecordGroups::open(std::string& error)
{
    if (options_.spectrumCsv.empty())
        return true;
    if (!file_.open(options_.spectrumCsv, error))
        return false;
    appendSpectrumCsvHeader(pending_);
    return true;
}

void RecordGroups::appendRows(long long record, int channel, const double* magnitudes,
                                 const FrameResult& result)
{
    if (options_.spectrumCsv.empty())
        return;
    const int bins = options_.recordLength / 2;
    levels_.resize(static_cast<std::size_t>(bins));
    magnitudesToLevels(magnitudes, bins, levels_.data());
    appendSpectrumCsvRows(pending_, record, channel, result.binFrequencyHz.data(), levels_.data(), bins);
    if (pending_.size() >= kFlushBytes) {
        file_.write(pending_);
        pending_.clear();
    }
}

bool RecordGroups::addRecord(long long record, std::int64_t offsetBytes, FrameResult& result, bool last)
{
    const int n = options_.recordLength;
    reportRecord_ = record;
    reportOffset_ = offsetBytes;
    if (averager_.mode() == SpectrumAverageMode::Normal) {
        for (int k = 0; k < 4; ++k)
            if (result.channels[k].processed)
                appendRows(record, k, result.channels[k].magnitudes.data(), result);
        return true;
    }

    const bool averaging = averager_.mode() == SpectrumAverageMode::PowerAverage;
    if (averaging && record % options_.averageCount == 0) {
        averager_.reset();
        groupFirstRecord_ = record;
        groupFirstOffset_ = offsetBytes;
    }
    unsigned mask = 0;
    for (int k = 0; k < 4; ++k)
        mask |= result.channels[k].processed ? 1u << k : 0u;
    averager_.beginFrame(options_.sampleRateHz, n, options_.windowType, mask);
    for (int k = 0; k < 4; ++k)
        if (result.channels[k].processed)
            traces_[k] = averager_.apply(k, result.channels[k].magnitudes.data(), n / 2 + 1);

    if (!averaging) {
        // Peak hold: one held spectrum per channel at the end; the figures
        // stay those of each record.
        if (last)
            for (int k = 0; k < 4; ++k)
                if (result.channels[k].processed)
                    appendRows(0, k, traces_[k], result);
        return true;
    }

    if (!last && (record + 1) % options_.averageCount != 0)
        return false;
    reportRecord_ = groupFirstRecord_;
    reportOffset_ = groupFirstOffset_;
    for (int k = 0; k < 4; ++k) {
        if (!result.channels[k].processed)
            continue;
        result.channels[k].peakBin
            = updateTraceFigures(traces_[k], n, options_.sampleRateHz, k, options_.windowType, groupFigures_[k]);
        result.figures[k] = groupFigures_[k];
        appendRows(groupFirstRecord_, k, traces_[k], result);
    }
    return true;
}

bool RecordGroups::finish(std::string& error)
{
    if (options_.spectrumCsv.empty())
        return true;
    file_.write(pending_);
    pending_.clear();
    return file_.commit(error);
}

}  // namespace h452
