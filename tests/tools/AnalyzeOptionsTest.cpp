// The analyser's command line: defaults, every option's accepted forms and
// its refusals, and the number formats of the reports.
#include "AnalyzeOptions.h"
#include "AnalyzeReport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace h452;

namespace {

std::string parse(std::vector<const char*> args, AnalyzeOptions& o)
{
    args.insert(args.begin(), "h452-analyze");
    return parseAnalyzeOptions(static_cast<int>(args.size()), args.data(), o);
}

}  // namespace

TEST(AnalyzeOptions, DefaultsAreTheWindows)
{
    AnalyzeOptions o;
    ASSERT_EQ(parse({"rec.bin"}, o), "");
    EXPECT_EQ(o.recordLength, 1000);
    EXPECT_EQ(o.sampleRateHz, 1e9);
    EXPECT_EQ(o.records, -1);
    EXPECT_EQ(o.threads, 0);
    EXPECT_EQ(o.file, "rec.bin");
}

TEST(AnalyzeOptions, AcceptedForms)
{
    AnalyzeOptions o;
    ASSERT_EQ(parse({"--record-length", "101", "--sample-rate=62.5 MS/s", "--window", "10", "--channels", "3,1",
                     "--records", "7", "--constellation", "16qam", "--eye=3", "--format", "CSV", "--threads", "3", "--",
                     "-odd.bin"},
                    o),
              "");
    EXPECT_EQ(o.recordLength, 101);
    EXPECT_EQ(o.sampleRateHz, 6.25e7);
    EXPECT_EQ(o.windowType, 10);
    EXPECT_FALSE(o.channels[0]);
    EXPECT_TRUE(o.channels[1]);
    EXPECT_FALSE(o.channels[2]);
    EXPECT_TRUE(o.channels[3]);
    EXPECT_EQ(o.records, 7);
    EXPECT_EQ(o.constellationType, 3);
    EXPECT_EQ(o.eyeChannel, 3);
    EXPECT_EQ(o.format, ReportFormat::Csv);
    EXPECT_EQ(o.threads, 3);
    EXPECT_EQ(o.file, "-odd.bin");
    ASSERT_EQ(parse({"--help"}, o), "");
    EXPECT_TRUE(o.help);
}

TEST(AnalyzeOptions, SampleRates)
{
    const struct {
        const char* text;
        double hz;
    } good[] = {{"1GS/s", 1e9},         {"500MS/s", 5e8},  {"125.000KS/s", 1.25e5}, {"62.5 MS/s", 6.25e7},
                {"1gs/s", 1e9},         {"100S/s", 100.0}, {"1e9", 1e9},            {"250000000", 2.5e8},
                {"1.5e6", 1.5e6}};
    for (const auto& g : good) {
        double hz = 0.0;
        EXPECT_TRUE(parseSampleRate(g.text, hz)) << g.text;
        EXPECT_EQ(hz, g.hz) << g.text;
    }
    for (const char* bad : {"", "abc", "0", "-5", "inf", "nan", "1e999", "MS/s", "5 MHz", "1GS/s extra", " 1e9",
                            "0MS/s", "1,5MS/s"}) {
        double hz = 42.0;
        EXPECT_FALSE(parseSampleRate(bad, hz)) << bad;
        EXPECT_EQ(hz, 42.0) << bad;
    }
}

// Arguments of 100 000 characters (a shell passes up to 128 KiB each) are
// read in one pass: the rate text once overflowed the stack on them.
TEST(AnalyzeOptions, LongRateTextsAreReadWithoutRecursion)
{
    const std::string spaces(100000, ' ');
    const std::string digits(100000, '1');
    const struct { std::string text; bool ok; double hz; } cases[] = {
        {spaces + "1MS/s" + spaces, true, 1e6},
        {"0.5" + std::string(100000, '0') + " kS/s", true, 500.0},
        {digits + "MS/s", false, 0.0},  // overflows to infinity
        {digits + ".", false, 0.0},
        {spaces, false, 0.0},
    };
    for (const auto& c : cases) {
        double hz = 42.0;
        EXPECT_EQ(parseSampleRate(c.text, hz), c.ok) << c.text.size();
        EXPECT_EQ(hz, c.ok ? c.hz : 42.0) << c.text.size();
    }
}

TEST(AnalyzeOptions, RefusalsNameTheArgument)
{
    const std::vector<std::vector<const char*>> bad = {
        {},
        {"a.bin", "b.bin"},
        {"--record-length", "0", "f"},
        {"--record-length", "-3", "f"},
        {"--record-length", "12x", "f"},
        {"--record-length", "99999999999", "f"},
        {"--window", "11", "f"},
        {"--window", "", "f"},
        {"--channels", "4", "f"},
        {"--channels", "0,,1", "f"},
        {"--channels", "", "f"},
        {"--records", "0", "f"},
        {"--constellation", "QAM", "f"},
        {"--constellation", "5", "f"},
        {"--eye", "4", "f"},
        {"--channels", "0,1", "--eye", "2", "f"},
        {"--format", "xml", "f"},
        {"--threads", "0", "f"},
        {"--threads", "5", "f"},
        {"--frobnicate", "f"},
        {"-x", "f"},
        {"f", "--records"},
        {"--average", "0", "f"},
        {"--average", "1", "f"},
        {"--average", "1025", "f"},
        {"--average", "1000000000", "f"},
        {"--average", "1e9", "f"},
        {"--spectrum-csv", "", "f"},
        {"--peak-hold", "f"},
        {"--peak-hold", "--average", "4", "--spectrum-csv", "s.csv", "f"},
    };
    for (const auto& args : bad) {
        AnalyzeOptions o;
        const std::string message = parse(args, o);
        EXPECT_FALSE(message.empty()) << (args.empty() ? "(none)" : args[0]);
        EXPECT_EQ(message.find('\n'), std::string::npos);
    }
}

TEST(AnalyzeOptions, SymbolRates)
{
    const struct {
        const char* text;
        double hz;
    } good[] = {{"10MBd", 1e7}, {"2.5 kBd", 2.5e3}, {"40e6", 4e7}, {"1GBd", 1e9}, {"10 MHz", 1e7},
                {"300baud", 300.0}, {"5 msym/s", 5e6}, {"7S/s", 7.0}};
    for (const auto& g : good) {
        double hz = 0.0;
        EXPECT_TRUE(parseSymbolRate(g.text, hz)) << g.text;
        EXPECT_DOUBLE_EQ(hz, g.hz) << g.text;
    }
    for (const char* bad : {"", "MBd", "0", "-1MBd", "nan", "inf", "1e999", "10 xBd", "10MBd extra", " 10", "10 Bd/s"}) {
        double hz = 42.0;
        EXPECT_FALSE(parseSymbolRate(bad, hz)) << bad;
        EXPECT_EQ(hz, 42.0) << bad;
    }
    AnalyzeOptions o;
    ASSERT_EQ(parse({"--symbol-rate", "10MBd", "f"}, o), "");
    EXPECT_EQ(o.symbolRateHz, 1e7);
    EXPECT_FALSE(parse({"--symbol-rate", "fast", "f"}, o).empty());
}

TEST(AnalyzeReport, NumberFormats)
{
    std::string s;
    appendNumber(s, 0.1);
    EXPECT_EQ(s, "0.1");  // shortest text that reads back exactly
    s.clear();
    appendNumber(s, 1.0 / 3.0);
    EXPECT_EQ(std::stod(s), 1.0 / 3.0);
    s.clear();
    appendNumber(s, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(s, "-inf");
    s.clear();
    appendNumber(s, -std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(s, "nan");
    EXPECT_EQ(tableNumber(-3.14159), "-3.14");
    EXPECT_EQ(tableNumber(2.005e10), "20050000000.00");
    EXPECT_EQ(tableNumber(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(tableNumber(-std::numeric_limits<double>::quiet_NaN()), "nan");
}
