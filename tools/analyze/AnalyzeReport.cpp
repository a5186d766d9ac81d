// Output formats of h452-analyze. See AnalyzeReport.h.
#include "AnalyzeReport.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace h452 {

namespace {

// JSON and CSV member names of the eight figures, in table order.
const char* const kFigureKeys[ChannelFigures::kCount] = {"NSD_dBm", "NSD_nV", "SNR", "ENOB",
                                                         "MAX_dBFS", "Frequ_MHz", "SFDR", "SINAD"};

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

void pad(std::string& out, const std::string& cell, std::size_t width)
{
    if (cell.size() < width)
        out.append(width - cell.size(), ' ');
    out += cell;
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
                       const FrameResult& result)
{
    constexpr std::size_t kWidth = 12;
    out += "record " + std::to_string(record) + " (offset " + std::to_string(offsetBytes) + " bytes)\n";
    // The first column as the window heads and labels it; "通道 k" takes six
    // terminal cells (two wide characters, a blank, the digit), so does the
    // header with two blanks.
    out += "通道  ";
    for (const char* h : kFigureHeaders)
        pad(out, h, kWidth);
    out += '\n';
    for (int k = 0; k < 4; ++k) {
        if (!channels[k])
            continue;
        out += "通道 " + std::to_string(k);
        for (int c = 0; c < ChannelFigures::kCount; ++c)
            pad(out, tableNumber(result.figures[k].value(c)), kWidth);
        out += '\n';
    }
    out += '\n';
}

void appendJsonRecord(std::string& out, long long record, std::int64_t offsetBytes, const bool channels[4],
                      const FrameResult& result)
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
        if (c.eyeUpdated)
            appendJsonPoints(out, "eye", c.eyeStart, "x", c.eyeX, "y", c.eyeY);
        out += '}';
    }
    out += "]}\n";
}

void appendCsvHeader(std::string& out)
{
    out += "record,offset,channel,peak_bin";
    for (const char* key : kFigureKeys) {
        out += ',';
        out += key;
    }
    out += '\n';
}

void appendCsvRecord(std::string& out, long long record, std::int64_t offsetBytes, const bool channels[4],
                     const FrameResult& result)
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
        out += '\n';
    }
}

}  // namespace h452
