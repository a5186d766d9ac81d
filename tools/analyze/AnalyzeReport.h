// Output formats of h452-analyze: the measurements table per record, one JSON
// object per record and line, or CSV lines of figures.
#pragma once

#include "AnalysisState.h"
#include "StandardFrame.h"

#include <cstdint>
#include <string>

namespace h452 {

// A number with full double precision (shortest text that reads back to the
// same double); non-finite values as inf, -inf, nan.
void appendNumber(std::string& out, double value);

// The figure as the table shows it: fixed notation with two decimals;
// non-finite values as inf, -inf, nan.
std::string tableNumber(double value);

// In all record formats, standard (when set) adds the IEEE 1241 set, the
// sine fit and the warnings of each channel after the table's figures; the
// table's figures and everything before them keep their exact text. An
// absent figure is null in JSON, empty in CSV and "-" in the table.

// Appends one record's table: a title line, the header row and a row per
// analysed channel, then a blank line.
void appendTableRecord(std::string& out, long long record, std::int64_t offsetBytes, const bool channels[4],
                       const FrameResult& result, const StandardFrameAnalysis* standard = nullptr);

// Appends one record as a JSON object and a newline. Constellation and eye
// members appear for the channels whose result carries them; then
// "ieee1241", "sinefit" and "warnings".
void appendJsonRecord(std::string& out, long long record, std::int64_t offsetBytes, const bool channels[4],
                      const FrameResult& result, const StandardFrameAnalysis* standard = nullptr);

// The CSV header line and one line per analysed channel of a record. With
// maxHarmonic K >= 2 the header gains the standard columns: the ten figures,
// h2_freq_hz, h2_level_dbc .. hK_level_dbc, sinefit_<key> and warnings
// (codes joined by ";"); records then need standard set.
void appendCsvHeader(std::string& out, int maxHarmonic = 0);
void appendCsvRecord(std::string& out, long long record, std::int64_t offsetBytes, const bool channels[4],
                     const FrameResult& result, const StandardFrameAnalysis* standard = nullptr);

// The --stats line: {"summary": {"channels": [{"channel": k, "figures":
// {NAME: {"mean", "std", "min", "max", "count"}}}]}} over the analysed
// channels, NAME as statFigureName(); mean .. max null without values.
void appendStatsSummary(std::string& out, const bool channels[4], const StandardFrameAnalysis& standard);

}  // namespace h452
