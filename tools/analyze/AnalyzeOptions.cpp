// Command-line parsing of h452-analyze. See AnalyzeOptions.h.
#include "AnalyzeOptions.h"
#include "PowerAverage.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace h452 {

namespace {

// Longest record the analyser takes: the sample-file reader's own limit
// (16 Mi samples per channel).
constexpr long long kMaxRecordLength = 1LL << 24;
// One thread per channel at most: the channels are what runs in parallel.
constexpr long long kMaxThreads = 4;

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A whole decimal integer within [lo, hi]; no sign games, no trailing text.
bool parseInteger(const std::string& text, long long lo, long long hi, long long& value)
{
    if (text.empty() || text.size() > 18)
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    value = std::stoll(text);
    return value >= lo && value <= hi;
}

bool parseChannels(const std::string& text, bool channels[4])
{
    for (int k = 0; k < 4; ++k)
        channels[k] = false;
    if (text.empty())
        return false;
    std::size_t from = 0;
    while (true) {
        const std::size_t comma = text.find(',', from);
        const std::string item = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        long long k = 0;
        if (!parseInteger(item, 0, 3, k))
            return false;
        channels[k] = true;
        if (comma == std::string::npos)
            return true;
        from = comma + 1;
    }
}

}  // namespace

const char* analyzeUsage()
{
    return "usage: h452-analyze [--record-length N] [--sample-rate RATE] [--window INDEX]\n"
           "                    [--channels 0,1,2,3] [--records K] [--constellation TYPE]\n"
           "                    [--eye CH] [--symbol-rate RATE] [--format table|json|csv]\n"
           "                    [--max-harmonic K | --no-standard]\n"
           "                    [--stats] [--threads N] [--spectrum-csv OUT]\n"
           "                    [--average N | --peak-hold] FILE\n"
           "\n"
           "Measures a recorded sample file record by record, as the live window does.\n"
           "  --record-length N   samples per channel and record (default 1000)\n"
           "  --sample-rate RATE  S/s as a number or a rate text like 500MS/s (default: the recording's\n"
           "                      metadata when it has one, else 1GS/s)\n"
           "  --window INDEX      FFT window 0..10 of the window list (default 0, rectangular)\n"
           "  --channels LIST     channels to analyse, comma-separated (default 0,1,2,3)\n"
           "  --records K         analyse K records, wrapping to the start of the file\n"
           "                      (default: every record once, up to the end of the file)\n"
           "  --constellation T   BPSK, QPSK, 8PSK, 16QAM, 64QAM or 0..4: add the demodulated\n"
           "                      points to the JSON output\n"
           "  --eye CH            add channel CH's eye traces to the JSON output\n"
           "  --symbol-rate RATE  symbol rate for the constellation figures: Bd as a number or\n"
           "                      with a unit like 10MBd, 2.5kBd or 40 MHz (default: not set)\n"
           "\n"
           "With --constellation and --format json each demodulated channel also gets\n"
           "\"constellation_figures\" (EVM, MER, phase and magnitude error, carrier offset,\n"
           "I/Q imbalance); with --eye, the eye channel gets \"eye_figures\" (height, width,\n"
           "amplitude, crossing, rise and fall time, jitter, Q factor) of that record. A\n"
           "figure that cannot be computed is left out of the object and listed with its\n"
           "reason under \"absent\", e.g. \"absent\": {\"evm_rms_percent\": \"symbol rate not set\"}.\n"
           "\n"
           "  --format F          table (default), json (one object per record and line) or\n"
           "                      csv (figures, one line per record and channel)\n"
           "  --max-harmonic K    highest harmonic order of the IEEE 1241 figures, 2..50\n"
           "                      (default 6)\n"
           "  --no-standard       the table's figures alone: leave out the IEEE 1241 figures\n"
           "                      and their sine fit (about half the time per record)\n"
           "  --stats             end with one JSON line: mean, std, min, max and count of\n"
           "                      every figure of every channel over the records\n"
           "  --threads N         analyse the channels on N threads, 1 to 4 (default: one\n"
           "                      per core for records of 16384 samples or more, else 1);\n"
           "                      the report is the same for every N\n"
           "  --spectrum-csv OUT  also write each record's spectrum of every analysed channel\n"
           "                      to OUT: record,channel,freq_hz,level_db\n"
           "  --average N         power average over groups of N records (2..1024): the\n"
           "                      figures and the spectrum file are one per group\n"
           "  --peak-hold         the spectrum file holds the maximum per bin over the run\n";
}

bool parseSampleRate(const std::string& text, double& sampleRateHz)
{
    if (text.empty())
        return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double plain = std::strtod(begin, &end);
    if (end && *end == '\0' && errno == 0 && !std::isspace(static_cast<unsigned char>(text[0]))) {
        if (!(std::isfinite(plain) && plain > 0.0))
            return false;
        sampleRateHz = plain;
        return true;
    }
    // A rate text: spaces, digits with an optional fraction, spaces, a unit
    // in any letter case, spaces. Scanned by hand in one pass: a backtracking
    // regular expression recursed once per character and overflowed the
    // stack on a long argument.
    std::size_t i = 0;
    auto skipSpaces = [&] {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
    };
    auto skipDigits = [&] {
        const std::size_t from = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i;
        return i > from;
    };
    skipSpaces();
    const std::size_t numberStart = i;
    if (!skipDigits())
        return false;
    if (i < text.size() && text[i] == '.') {
        ++i;
        if (!skipDigits())
            return false;
    }
    const std::string number = text.substr(numberStart, i - numberStart);
    skipSpaces();
    static const struct { const char* unit; double scale; } kUnits[] = {
        {"gs/s", 1e9}, {"ms/s", 1e6}, {"ks/s", 1e3}, {"s/s", 1.0}};
    double scale = 0.0;
    for (const auto& u : kUnits) {
        const std::size_t n = std::strlen(u.unit);
        if (lower(text.substr(i, n)) == u.unit) {
            scale = u.scale;
            i += n;
            break;
        }
    }
    skipSpaces();
    if (scale == 0.0 || i != text.size())
        return false;
    const double value = std::strtod(number.c_str(), nullptr) * scale;
    if (!(std::isfinite(value) && value > 0.0))
        return false;
    sampleRateHz = value;
    return true;
}

bool parseSymbolRate(const std::string& text, double& symbolRateHz)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double plain = std::strtod(begin, &end);
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])) || end == begin || errno != 0)
        return false;
    std::string unit(end);
    unit.erase(0, unit.find_first_not_of(' '));
    unit = lower(unit);
    double scale = 1.0;
    if (!unit.empty()) {
        static const char* const kUnits[] = {"bd", "baud", "sym/s", "s/s", "hz"};
        const char prefix = unit[0];
        bool found = false;
        for (int withPrefix = 0; withPrefix < 2 && !found; ++withPrefix) {
            const std::string rest = withPrefix ? unit.substr(1) : unit;
            for (const char* u : kUnits)
                found = found || rest == u;
            if (found && withPrefix)
                scale = prefix == 'k' ? 1e3 : prefix == 'm' ? 1e6 : prefix == 'g' ? 1e9 : 0.0;
        }
        if (!found || scale == 0.0)
            return false;
    }
    const double value = plain * scale;
    if (!(std::isfinite(value) && value > 0.0))
        return false;
    symbolRateHz = value;
    return true;
}

bool parseConstellationType(const std::string& text, int& type)
{
    static const char* const kNames[5] = {"bpsk", "qpsk", "8psk", "16qam", "64qam"};
    const std::string l = lower(text);
    for (int k = 0; k < 5; ++k) {
        if (l == kNames[k]) {
            type = k;
            return true;
        }
    }
    long long index = 0;
    if (!parseInteger(text, 0, 4, index))
        return false;
    type = static_cast<int>(index);
    return true;
}

std::string parseAnalyzeOptions(int argc, const char* const* argv, AnalyzeOptions& o)
{
    o = AnalyzeOptions();
    bool optionsEnded = false;
    bool maxHarmonicGiven = false;
    for (int a = 1; a < argc; ++a) {
        std::string arg = argv[a] ? argv[a] : "";
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0 || arg == "-") {
            if (!optionsEnded && arg.size() > 1 && arg[0] == '-' && arg != "-")
                return "unknown option '" + arg + "'";
            if (!o.file.empty())
                return "more than one file given ('" + o.file + "' and '" + arg + "')";
            if (arg.empty())
                return "empty file name";
            o.file = arg;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help") {
            o.help = true;
            continue;
        }
        if (arg == "--stats") {
            o.stats = true;
            continue;
        }
        if (arg == "--peak-hold") {
            o.peakHold = true;
            continue;
        }
        if (arg == "--no-standard") {
            o.standardSet = false;
            continue;
        }
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        const std::size_t eq = arg.find('=');
        if (eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        static const char* const kKnown[] = {"--record-length", "--sample-rate", "--window", "--channels",
                                             "--records", "--constellation", "--eye", "--symbol-rate", "--format",
                                             "--max-harmonic", "--threads", "--spectrum-csv", "--average"};
        bool known = false;
        for (const char* k : kKnown)
            known = known || name == k;
        if (!known)
            return "unknown option '" + name + "'";
        if (!hasValue) {
            if (a + 1 >= argc || !argv[a + 1])
                return "option " + name + " needs a value";
            value = argv[++a];
        }
        long long v = 0;
        if (name == "--record-length") {
            if (!parseInteger(value, 1, kMaxRecordLength, v))
                return "--record-length must be a whole number from 1 to " + std::to_string(kMaxRecordLength)
                    + ", not '" + value + "'";
            o.recordLength = static_cast<int>(v);
        } else if (name == "--sample-rate") {
            o.sampleRateGiven = true;
            if (!parseSampleRate(value, o.sampleRateHz))
                return "--sample-rate must be a positive number in S/s or a rate such as 500MS/s, not '" + value
                    + "'";
        } else if (name == "--window") {
            if (!parseInteger(value, 0, 10, v))
                return "--window must be an index from 0 to 10, not '" + value + "'";
            o.windowType = static_cast<int>(v);
        } else if (name == "--channels") {
            if (!parseChannels(value, o.channels))
                return "--channels must be a comma-separated list of 0 to 3, not '" + value + "'";
        } else if (name == "--records") {
            if (!parseInteger(value, 1, 999999999999999999LL, v))
                return "--records must be a whole number of at least 1, not '" + value + "'";
            o.records = v;
        } else if (name == "--constellation") {
            if (!parseConstellationType(value, o.constellationType))
                return "--constellation must be BPSK, QPSK, 8PSK, 16QAM, 64QAM or 0 to 4, not '" + value + "'";
        } else if (name == "--eye") {
            if (!parseInteger(value, 0, 3, v))
                return "--eye must be a channel from 0 to 3, not '" + value + "'";
            o.eyeChannel = static_cast<int>(v);
        } else if (name == "--symbol-rate") {
            if (!parseSymbolRate(value, o.symbolRateHz))
                return "--symbol-rate must be a positive number in Bd or a rate such as 10MBd, not '" + value + "'";
        } else if (name == "--max-harmonic") {
            if (!parseInteger(value, 2, kMaxHarmonicLimit, v))
                return "--max-harmonic must be a whole number from 2 to " + std::to_string(kMaxHarmonicLimit)
                    + ", not '" + value + "'";
            o.maxHarmonic = static_cast<int>(v);
            maxHarmonicGiven = true;
        } else if (name == "--threads") {
            if (!parseInteger(value, 1, kMaxThreads, v))
                return "--threads must be a whole number from 1 to " + std::to_string(kMaxThreads) + ", not '"
                    + value + "'";
            o.threads = static_cast<int>(v);
        } else if (name == "--spectrum-csv") {
            if (value.empty())
                return "--spectrum-csv needs a file name";
            o.spectrumCsv = value;
        } else if (name == "--average") {
            if (!parseInteger(value, kMinAverageCount, kMaxAverageCount, v))
                return "--average must be a whole number from " + std::to_string(kMinAverageCount) + " to "
                    + std::to_string(kMaxAverageCount) + ", not '" + value + "'";
            o.averageCount = static_cast<int>(v);
        } else if (name == "--format") {
            const std::string f = lower(value);
            if (f == "table")
                o.format = ReportFormat::Table;
            else if (f == "json")
                o.format = ReportFormat::Json;
            else if (f == "csv")
                o.format = ReportFormat::Csv;
            else
                return "--format must be table, json or csv, not '" + value + "'";
        }
    }
    if (o.help)
        return {};
    if (o.file.empty())
        return "no sample file given";
    if (o.eyeChannel >= 0 && !o.channels[o.eyeChannel])
        return "--eye " + std::to_string(o.eyeChannel) + " is not one of the analysed channels";
    if (o.peakHold && o.averageCount > 0)
        return "--peak-hold and --average exclude each other";
    if (o.peakHold && o.spectrumCsv.empty())
        return "--peak-hold needs --spectrum-csv";
    if (!o.standardSet && maxHarmonicGiven)
        return "--no-standard leaves out the figures --max-harmonic sets";
    if (!o.standardSet && o.stats)
        return "--stats needs the standard set; leave out --no-standard";
    return {};
}

}  // namespace h452
