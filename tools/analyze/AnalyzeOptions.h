// Command line of h452-analyze, the offline analyser of recorded sample files:
// parsing and validation, kept apart from main() so the tests can drive it.
#pragma once

#include "StandardFigures.h"

#include <string>

namespace h452 {

enum class ReportFormat { Table, Json, Csv };

struct AnalyzeOptions {
    int recordLength = 1000;      // samples per channel and record
    double sampleRateHz = 1e9;    // fs in S/s
    bool sampleRateGiven = false; // --sample-rate was given (else a recording's metadata may set it)
    int windowType = 0;           // FFT-window list index 0 .. 10
    bool channels[4] = {true, true, true, true};
    long long records = -1;       // -1: every record once, up to the end of the file
    int constellationType = -1;   // -1: no constellation output, else 0 .. 4
    int eyeChannel = -1;          // -1: no eye output, else 0 .. 3
    double symbolRateHz = 0.0;    // --symbol-rate in Bd; 0: not set (constellation figures absent)
    ReportFormat format = ReportFormat::Table;
    int maxHarmonic = kDefaultMaxHarmonic;  // highest harmonic order of the standard set, 2 .. 50
    bool stats = false;           // --stats: one summary line over all records at the end
    // --no-standard: the table's figures alone, without the IEEE 1241 set and
    // its sine fit (which cost about as much again per record)
    bool standardSet = true;
    int threads = 0;              // 0: by record length (see main.cpp); 1: one thread, record by record
    std::string spectrumCsv;      // --spectrum-csv FILE: empty writes no spectrum file
    int averageCount = 0;         // --average N: 0 off, else 2 .. 1024 records per group
    bool peakHold = false;        // --peak-hold: the spectrum file holds the run's held spectrum
    std::string file;
    bool help = false;
};

// Usage text printed by --help.
const char* analyzeUsage();

// Parses argv[1 .. argc-1] into options (defaults as above). Returns an empty
// string on success, else a one-line message naming the bad argument.
std::string parseAnalyzeOptions(int argc, const char* const* argv, AnalyzeOptions& options);

// A sample rate: a plain number in S/s ("1e9", "250000000") or a rate text
// such as "500MS/s", "62.5 MS/s", "125.000KS/s", "1GS/s" (unit in any letter
// case). Must be finite and above 0. Returns false for anything else.
bool parseSampleRate(const std::string& text, double& sampleRateHz);

// A symbol rate: a plain number in Bd (symbols per second) or a number with
// a unit Bd, kBd, MBd, GBd, baud, sym/s, S/s or Hz with the prefixes k, M, G
// ("10MBd", "2.5 MBd", "40e6", "10 MHz"; unit in any letter case, except
// that m and M both read as mega). Must be finite and above 0.
bool parseSymbolRate(const std::string& text, double& symbolRateHz);

// BPSK, QPSK, 8PSK, 16QAM, 64QAM (any letter case) or the index 0 .. 4.
bool parseConstellationType(const std::string& text, int& type);

}  // namespace h452
