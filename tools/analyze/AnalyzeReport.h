// Output formats of h452-analyze: the measurements table per record, one JSON
// object per record and line, or CSV lines of figures.
#pragma once

#include "AnalysisState.h"

#include <cstdint>
#include <string>

namespace h452 {

// A number with full double precision (shortest text that reads back to the
// same double); non-finite values as inf, -inf, nan.
void appendNumber(std::string& out, double value);

// The figure as the table shows it: fixed notation with two decimals;
// non-finite values as inf, -inf, nan.
std::string tableNumber(double value);

// Appends one record's table: a title line, the header row and a row per
// analysed channel, then a blank line.
void appendTableRecord(std::string& out, long long record, std::int64_t offsetBytes, const bool channels[4],
                       const FrameResult& result);

// Appends one record as a JSON object and a newline. Constellation and eye
// members appear for the channels whose result carries them.
void appendJsonRecord(std::string& out, long long record, std::int64_t offsetBytes, const bool channels[4],
                      const FrameResult& result);

// The CSV header line and one line per analysed channel of a record.
void appendCsvHeader(std::string& out);
void appendCsvRecord(std::string& out, long long record, std::int64_t offsetBytes, const bool channels[4],
                     const FrameResult& result);

}  // namespace h452
