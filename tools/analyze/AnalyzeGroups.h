// Record groups of h452-analyze: the averaged or held trace of each group
// of records and its file (--spectrum-csv, --average N, --peak-hold).
// Kept beside main() so that without these options the loop
// and its output stay exactly as they were.
//
// Groups: with --average N the records form groups of N consecutive records
// (a trailing shorter group when the file ends first is the mean of the
// records it has); each group is reported once, after its last record, under
// the number and offset of its first record. The table's eight figures of
// that entry come from the group's averaged spectrum; the standard set, the
// sine fit, the constellation and the eye are those of the group's last
// record, since they are defined on one record's samples (the window keeps
// them on the single frame too). With --peak-hold the whole run is one
// group for the spectrum file only: the figures stay per record.
//
// The spectrum file holds, per reported group (or per record without
// averaging) and analysed channel, the n/2 bins of the shown spectrum. It is
// written to a temporary file and renamed only when the run succeeds, so a
// failed run leaves no half-written file.
#pragma once

#include "AnalyzeOptions.h"
#include "AnalysisState.h"
#include "CsvFile.h"
#include "PowerAverage.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace h452 {

class RecordGroups {
public:
    explicit RecordGroups(const AnalyzeOptions& options);

    // Opens the spectrum file when one is asked for. False with a message.
    bool open(std::string& error);

    // Takes one analysed record. Returns true when a report entry is due
    // after it (always without --average); result.figures and the peak bins
    // then hold the group's figures. last: this is the run's last record.
    bool addRecord(long long record, std::int64_t offsetBytes, FrameResult& result, bool last);

    // Record number and offset the due entry is reported under.
    long long reportRecord() const { return reportRecord_; }
    std::int64_t reportOffset() const { return reportOffset_; }

    // Renames the spectrum file into place after a successful run.
    bool finish(std::string& error);

private:
    void appendRows(long long record, int channel, const double* magnitudes, const FrameResult& result);

    const AnalyzeOptions& options_;
    SpectrumAverager averager_;
    AtomicFileWriter file_;
    std::string pending_;
    std::vector<double> levels_;
    std::array<const double*, 4> traces_{};
    std::array<ChannelFigures, 4> groupFigures_{};
    long long groupFirstRecord_ = 0;
    std::int64_t groupFirstOffset_ = 0;
    long long reportRecord_ = 0;
    std::int64_t reportOffset_ = 0;
};

}  // namespace h452
