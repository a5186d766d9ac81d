// Output formats of h452-analyze. See AnalyzeReport.h.
#include "AnalyzeReport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace h452 {

namespace {

// JSON and CSV member names of the eight figures, in table order.
const auto& kFigureKeys = kTableFigureKeys;

const char* nonFiniteText(double value)
{
    if (std::isnan(value))
        return "nan";
    return value > 0 ? "inf" : "-inf";
}

// In JSON a non-finite number becomes a string.
void appendJsonNumber(std::string& out, double value)
{
    if (std::isfinite(value)) {
        appendNumber(out, value);
        return;
    }
    out += '"';
    out += nonFiniteText(value);
    out += '"';
}

void appendJsonArray(std::string& out, const std::vector<double>& values)
{
    out += '[';
    for (std::size_t k = 0; k < values.size(); ++k) {
        if (k)
            out += ',';
        appendJsonNumber(out, values[k]);
    }
    out += ']';
}

// `, "<name>": {"start": <start>, "<first>": [...], "<second>": [...]}`: a
// channel's constellation or eye points of one record.
void appendJsonPoints(std::string& out, const char* name, int start, const char* first,
                      const std::vector<double>& firstValues, const char* second,
                      const std::vector<double>& secondValues)
{
    out += ", \"";
    out += name;
    out += "\": {\"start\": " + std::to_string(start) + ", \"";
    out += first;
    out += "\": ";
    appendJsonArray(out, firstValues);
    out += ", \"";
    out += second;
    out += "\": ";
    appendJsonArray(out, secondValues);
    out += '}';
}

struct NamedFigure {
    const char* key;
    const MeasuredFigure* figure;
};

// `, "<name>": {<key>: <value>, ..., "absent": {<key>: "<reason>", ...}}`:
// the figures that were computed, then the others with the reason for each
// ("absent" only when one is missing).
void appendJsonFigures(std::string& out, const char* name, const NamedFigure* figures, std::size_t count)
{
    out += ", \"";
    out += name;
    out += "\": {";
    bool first = true;
    for (std::size_t k = 0; k < count; ++k) {
        if (!figures[k].figure->present())
            continue;
        out += first ? "\"" : ", \"";
        first = false;
        out += figures[k].key;
        out += "\": ";
        appendJsonNumber(out, figures[k].figure->value);
    }
    bool firstAbsent = true;
    for (std::size_t k = 0; k < count; ++k) {
        if (figures[k].figure->present())
            continue;
        if (firstAbsent)
            out += first ? "\"absent\": {" : ", \"absent\": {";
        else
            out += ", ";
        firstAbsent = false;
        out += '"';
        out += figures[k].key;
        out += "\": \"";
        out += figures[k].figure->reason;  // fixed texts without quotes or backslashes
        out += '"';
    }
    if (!firstAbsent)
        out += '}';
    out += '}';
}

void appendConstellationFigures(std::string& out, const ConstellationFigures& f)
{
    const NamedFigure figures[] = {
        {"symbol_rate_hz", &f.symbolRateHz},
        {"carrier_hz", &f.carrierHz},
        {"symbols", &f.symbols},
        {"evm_rms_percent", &f.evmRmsPercent},
        {"evm_rms_db", &f.evmRmsDb},
        {"evm_peak_percent", &f.evmPeakPercent},
        {"mer_db", &f.merDb},
        {"phase_error_rms_deg", &f.phaseErrorRmsDeg},
        {"magnitude_error_rms_percent", &f.magnitudeErrorRmsPercent},
        {"carrier_offset_hz", &f.carrierOffsetHz},
        {"iq_gain_imbalance_db", &f.iqGainImbalanceDb},
        {"quadrature_error_deg", &f.quadratureErrorDeg},
    };
    appendJsonFigures(out, "constellation_figures", figures, sizeof figures / sizeof figures[0]);
}

void appendEyeFigures(std::string& out, const EyeFigures& f)
{
    const NamedFigure figures[] = {
        {"traces", &f.traces},
        {"height", &f.height},
        {"width_ui", &f.widthUi},
        {"amplitude", &f.amplitude},
        {"crossing_percent", &f.crossingPercent},
        {"rise_time_s", &f.riseTimeS},
        {"fall_time_s", &f.fallTimeS},
        {"jitter_rms_s", &f.jitterRmsS},
        {"jitter_pp_s", &f.jitterPpS},
        {"q_factor", &f.qFactor},
    };
    appendJsonFigures(out, "eye_figures", figures, sizeof figures / sizeof figures[0]);
}

void pad(std::string& out, const std::string& cell, std::size_t width)
{
    if (cell.size() < width)
        out.append(width - cell.size(), ' ');
    out += cell;
}

// A figure of the standard set: absent (NaN) as null, infinities as strings.
void appendJsonFigure(std::string& out, double value)
{
    if (std::isnan(value))
        out += "null";
    else
        appendJsonNumber(out, value);
}

void appendJsonMember(std::string& out, const char* key, double value, bool first = false)
{
    if (!first)
        out += ", ";
    out += '"';
    out += key;
    out += "\": ";
    appendJsonFigure(out, value);
}

std::string warningList(std::uint32_t warnings, const char* separator, bool quoted)
{
    std::string list;
    for (int w = 0; w < kFigureWarningCount; ++w) {
        if (!(warnings & static_cast<std::uint32_t>(figureWarningAt(w))))
            continue;
        if (!list.empty())
            list += separator;
        if (quoted)
            list += '"';
        list += figureWarningCode(w);
        if (quoted)
            list += '"';
    }
    return list;
}

// `, "ieee1241": {...}, "sinefit": {...}, "warnings": [...]` of one channel.
void appendJsonStandard(std::string& out, const StandardChannelResult& r)
{
    const StandardFigures& f = r.figures;
    out += ", \"ieee1241\": {";
    for (int k = 0; k < StandardFigures::kCount; ++k)
        appendJsonMember(out, kStandardFigureKeys[k], f.value(k), k == 0);
    out += ", \"harmonics\": [";
    for (std::size_t j = 0; j < f.harmonics.size(); ++j) {
        if (j)
            out += ", ";
        out += "{\"order\": " + std::to_string(f.harmonics[j].order);
        appendJsonMember(out, "freq_hz", f.harmonics[j].freqHz);
        appendJsonMember(out, "level_dbc", f.harmonics[j].levelDbc);
        out += '}';
    }
    out += "]}, \"sinefit\": {";
    for (int k = 0; k < kSineFitFigureCount; ++k)
        appendJsonMember(out, kSineFitKeys[k], sineFitValue(r.fit, k), k == 0);
    out += "}, \"warnings\": [" + warningList(f.warnings, ", ", true) + ']';
}

// The standard set's cells of one channel in CSV/table column order.
std::vector<double> standardCells(const StandardChannelResult& r, int maxHarmonic)
{
    std::vector<double> cells;
    for (int k = 0; k < StandardFigures::kCount; ++k)
        cells.push_back(r.figures.value(k));
    for (int m = 2; m <= maxHarmonic; ++m) {
        const std::size_t j = static_cast<std::size_t>(m - 2);
        const bool known = j < r.figures.harmonics.size();
        cells.push_back(known ? r.figures.harmonics[j].freqHz : kAbsent);
        cells.push_back(known ? r.figures.harmonics[j].levelDbc : kAbsent);
    }
    for (int k = 0; k < kSineFitFigureCount; ++k)
        cells.push_back(sineFitValue(r.fit, k));
    return cells;
}

std::vector<std::string> standardColumns(int maxHarmonic)
{
    std::vector<std::string> names(kStandardFigureKeys, kStandardFigureKeys + StandardFigures::kCount);
    for (int m = 2; m <= maxHarmonic; ++m) {
        names.push_back("h" + std::to_string(m) + "_freq_hz");
        names.push_back("h" + std::to_string(m) + "_level_dbc");
    }
    for (const char* key : kSineFitKeys)
        names.push_back(std::string("sinefit_") + key);
    names.push_back("warnings");
    return names;
}

}  // namespace

void appendNumber(std::string& out, double value)
{
    if (!std::isfinite(value)) {
        out += nonFiniteText(value);
        return;
    }
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, r.ptr);
}

std::string tableNumber(double value)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    return buffer;
}

void appendTableRecord(std::string& out, long long record, std::int64_t offsetBytes, const bool channels[4],
                       const FrameResult& result, const StandardFrameAnalysis* standard)
{
    const std::vector<std::string> extra = standard ? standardColumns(standard->maxHarmonic)
                                                    : std::vector<std::string>{};
    constexpr std::size_t kWidth = 12;
    out += "record " + std::to_string(record) + " (offset " + std::to_string(offsetBytes) + " bytes)\n";
    // The first column as the window heads and labels it; "通道 k" takes six
    // terminal cells (two wide characters, a blank, the digit), so does the
    // header with two blanks.
    out += "通道  ";
    for (const char* h : kFigureHeaders)
        pad(out, h, kWidth);
    // The standard columns: right-aligned like the others, at least one
    // blank apart; the warnings (a list of codes) last and left-aligned.
    for (std::size_t c = 0; c + 1 < extra.size(); ++c)
        pad(out, ' ' + extra[c], std::max(kWidth, extra[c].size() + 1));
    if (!extra.empty())
        out += ' ' + extra.back();
    out += '\n';
    for (int k = 0; k < 4; ++k) {
        if (!channels[k])
            continue;
        out += "通道 " + std::to_string(k);
        for (int c = 0; c < ChannelFigures::kCount; ++c)
            pad(out, tableNumber(result.figures[k].value(c)), kWidth);
        if (standard) {
            const StandardChannelResult& r = standard->channels[static_cast<std::size_t>(k)];
            const std::vector<double> cells = standardCells(r, standard->maxHarmonic);
            for (std::size_t c = 0; c < cells.size(); ++c)
                pad(out, ' ' + (std::isnan(cells[c]) ? std::string("-") : tableNumber(cells[c])),
                    std::max(kWidth, extra[c].size() + 1));
            const std::string w = warningList(r.figures.warnings, ";", false);
            out += ' ';
            out += w.empty() ? "-" : w;
        }
        out += '\n';
    }
    out += '\n';
}

void appendJsonRecord(std::string& out, long long record, std::int64_t offsetBytes, const bool channels[4],
                      const FrameResult& result, const StandardFrameAnalysis* standard)
{
    out += "{\"record\": " + std::to_string(record) + ", \"offset\": " + std::to_string(offsetBytes)
        + ", \"channels\": [";
    bool first = true;
    for (int k = 0; k < 4; ++k) {
        if (!channels[k])
            continue;
        const ChannelFrameResult& c = result.channels[k];
        if (!first)
            out += ", ";
        first = false;
        out += "{\"channel\": " + std::to_string(k) + ", \"peak_bin\": " + std::to_string(c.peakBin);
        for (int f = 0; f < ChannelFigures::kCount; ++f) {
            out += ", \"";
            out += kFigureKeys[f];
            out += "\": ";
            appendJsonNumber(out, result.figures[k].value(f));
        }
        if (c.constellationUpdated)
            appendJsonPoints(out, "constellation", c.constellationStart, "i", c.constellationI, "q",
                             c.constellationQ);
        if (c.constellationFiguresUpdated)
            appendConstellationFigures(out, c.constellationFigures);
        if (c.eyeUpdated)
            appendJsonPoints(out, "eye", c.eyeStart, "x", c.eyeX, "y", c.eyeY);
        if (c.eyeFiguresUpdated)
            appendEyeFigures(out, c.eyeFigures);
        if (standard)
            appendJsonStandard(out, standard->channels[static_cast<std::size_t>(k)]);
        out += '}';
    }
    out += "]}\n";
}

void appendCsvHeader(std::string& out, int maxHarmonic)
{
    out += "record,offset,channel,peak_bin";
    for (const char* key : kFigureKeys) {
        out += ',';
        out += key;
    }
    if (maxHarmonic >= 2)
        for (const std::string& name : standardColumns(maxHarmonic))
            out += ',' + name;
    out += '\n';
}

void appendCsvRecord(std::string& out, long long record, std::int64_t offsetBytes, const bool channels[4],
                     const FrameResult& result, const StandardFrameAnalysis* standard)
{
    for (int k = 0; k < 4; ++k) {
        if (!channels[k])
            continue;
        out += std::to_string(record) + ',' + std::to_string(offsetBytes) + ',' + std::to_string(k) + ','
            + std::to_string(result.channels[k].peakBin);
        for (int f = 0; f < ChannelFigures::kCount; ++f) {
            out += ',';
            appendNumber(out, result.figures[k].value(f));
        }
        if (standard) {
            const StandardChannelResult& r = standard->channels[static_cast<std::size_t>(k)];
            for (double v : standardCells(r, standard->maxHarmonic)) {
                out += ',';
                if (!std::isnan(v))
                    appendNumber(out, v);
            }
            out += ',' + warningList(r.figures.warnings, ";", false);
        }
        out += '\n';
    }
}

void appendStatsSummary(std::string& out, const bool channels[4], const StandardFrameAnalysis& standard)
{
    out += "{\"summary\": {\"channels\": [";
    bool first = true;
    for (int k = 0; k < 4; ++k) {
        if (!channels[k])
            continue;
        if (!first)
            out += ", ";
        first = false;
        out += "{\"channel\": " + std::to_string(k) + ", \"figures\": {";
        const ChannelFigureStats& s = standard.stats[static_cast<std::size_t>(k)];
        for (int f = 0; f < kStatFigureCount; ++f) {
            const RunningStats& r = s.figures[static_cast<std::size_t>(f)];
            if (f)
                out += ", ";
            out += '"';
            out += statFigureName(f);
            out += "\": {";
            appendJsonMember(out, "mean", r.mean(), true);
            appendJsonMember(out, "std", r.std());
            appendJsonMember(out, "min", r.min());
            appendJsonMember(out, "max", r.max());
            out += ", \"count\": " + std::to_string(r.count()) + '}';
        }
        out += "}}";
    }
    out += "]}}\n";
}

}  // namespace h452
