// Writing data files so that a reader never sees half of one: the text goes
// to a temporary file beside the target and is renamed over it only once
// complete and flushed. A failure at any point (unwritable folder, full disk)
// leaves the old file, if any, untouched and no temporary behind. Also the
// number format and the spectrum rows shared by the window's export and
// h452-analyze, so both write the same columns.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace h452 {

class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();  // discards an uncommitted temporary
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary beside path. False with a message in error when
    // the folder cannot take it.
    bool open(const std::string& path, std::string& error);
    // Appends bytes; false once any write failed (the error comes at commit).
    bool write(const std::string& text);
    // Flushes, syncs and renames over path. False with a message in error
    // (the temporary is removed and path left as it was).
    bool commit(std::string& error);
    // Removes the temporary without touching path.
    void discard();

private:
    std::string path_;
    std::string tempPath_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    int errno_ = 0;
};

// Whole text to path through AtomicFileWriter.
bool writeFileAtomically(const std::string& path, const std::string& text, std::string& error);

// A number as CSV writes it: 10 significant digits ("%.10g"), enough for a
// level in dB to 1e-6 and a frequency to the hertz at 1 GS/s; NaN and
// infinities as "nan", "inf", "-inf" (strtod reads them back).
std::string csvNumber(double value);

// The spectrum file: header "record,channel,freq_hz,level_db", then one row
// per bin k = 0 .. binCount-1 of (frequencyHz[k], levelDb[k]).
void appendSpectrumCsvHeader(std::string& out);
void appendSpectrumCsvRows(std::string& out, long long record, int channel, const double* frequencyHz,
                           const double* levelDb, int binCount);

// Splits one CSV line at commas (the files written here never quote).
std::vector<std::string> splitCsvLine(const std::string& line);

}  // namespace h452
