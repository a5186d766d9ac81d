// h452-analyze run as a program on sample files written here: record
// numbering, offsets and wrap, the three formats, constellation and eye
// members, the same figures as the library, and one-line errors.
#include "AnalysisState.h"
#include "AnalyzeReport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.141592653589793;

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// A fresh folder per test program run, removed at the end.
class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/h452-analyze-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        path_ = made ? made : "/tmp";
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

TempDir& tempDir()
{
    static TempDir dir;
    return dir;
}

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

CliRun analyze(const std::string& args)
{
    const std::string err = tempDir().file("stderr.txt");
    const std::string command = std::string("'") + H452_ANALYZE_PATH + "' " + args + " 2>'" + err + "'";
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, got);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = readAll(err);
    return run;
}

// Sample i of channel k as an int16 code; the file is written in the group
// layout: four samples of channel 0, then of 1, 2, 3, little-endian.
using Signal = std::function<int(int channel, long long sample)>;

std::string writeSamples(const std::string& name, long long samples, const Signal& signal)
{
    const std::string path = tempDir().file(name);
    std::ofstream out(path, std::ios::binary);
    for (long long g = 0; g < samples / 4; ++g) {
        for (int k = 0; k < 4; ++k) {
            for (int j = 0; j < 4; ++j) {
                const auto code = static_cast<std::uint16_t>(static_cast<std::int16_t>(signal(k, g * 4 + j)));
                const char bytes[2] = {static_cast<char>(code & 0xff), static_cast<char>(code >> 8)};
                out.write(bytes, 2);
            }
        }
    }
    return path;
}

int toneCode(double amplitude, double bin, int n, long long i)
{
    return static_cast<int>(std::lround(amplitude * std::cos(2.0 * kPi * bin * static_cast<double>(i % n) / n)));
}

// Value of "key": in a JSON line (a number or one of the strings "inf",
// "-inf", "nan"), starting the search at `from`.
double jsonNumber(const std::string& line, const std::string& key, std::size_t from = 0)
{
    const std::string needle = "\"" + key + "\": ";
    const std::size_t at = line.find(needle, from);
    if (at == std::string::npos)
        return std::nan("");
    const char* p = line.c_str() + at + needle.size();
    if (*p == '"') {
        const std::string word(p + 1, std::strchr(p + 1, '"'));
        return word == "inf" ? INFINITY : word == "-inf" ? -INFINITY : std::nan("");
    }
    return std::strtod(p, nullptr);
}

// Record r (n samples per channel) of signal into ch[0 .. 3] and the frame
// input, for running the library on what the program read.
void fillRecord(std::vector<double> ch[4], h452::FrameInput& in, const Signal& signal, int r, int n,
                const bool channels[4])
{
    for (int k = 0; k < 4; ++k) {
        ch[k].resize(n);
        for (int i = 0; i < n; ++i)
            ch[k][i] = signal(k, static_cast<long long>(r) * n + i);
        in.samples[k] = ch[k].data();
        in.channelEnabled[k] = channels[k];
    }
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::stringstream s(text);
    std::string line;
    while (std::getline(s, line))
        out.push_back(line);
    return out;
}

std::size_t count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

}  // namespace

TEST(AnalyzeCli, TableShowsEveryRecordUpToTheEndOfTheFile)
{
    // 2500 samples per channel: records at 0, 8000 and 16000 bytes, the last
    // one reaching past the end of the file.
    const std::string file = writeSamples("table.bin", 2500, [](int k, long long i) {
        return toneCode(16383.5, 100 + k, 1000, i);
    });
    const CliRun run = analyze("'" + file + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.err.empty());
    EXPECT_NE(run.out.find("record 0 (offset 0 bytes)"), std::string::npos);
    EXPECT_NE(run.out.find("record 1 (offset 8000 bytes)"), std::string::npos);
    EXPECT_NE(run.out.find("record 2 (offset 16000 bytes)"), std::string::npos);
    EXPECT_EQ(run.out.find("record 3"), std::string::npos);
    EXPECT_EQ(count(run.out, "通道 3"), 3u);
    EXPECT_NE(run.out.find("NSD(dBm)"), std::string::npos);
    // Half scale reads -6.02 dBFS; channel 2 sits at 102 MHz.
    EXPECT_NE(run.out.find("-6.02"), std::string::npos);
    EXPECT_NE(run.out.find("102.00"), std::string::npos);
}

TEST(AnalyzeCli, RecordsWrapLikeTheReplay)
{
    // Exactly two records: --records 5 reads 0, 8000, 0, 8000, 0.
    const std::string file = writeSamples("two.bin", 2000, [](int k, long long i) {
        return toneCode(1000.0 * (k + 1), 50, 1000, i) + static_cast<int>(i % 7);
    });
    const CliRun run = analyze("--records 5 --format csv --channels 2 '" + file + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> l = lines(run.out);
    ASSERT_EQ(l.size(), 6u);
    // The table's columns come first, unchanged; the standard set follows.
    EXPECT_EQ(l[0].rfind("record,offset,channel,peak_bin,NSD_dBm,NSD_nV,SNR,ENOB,MAX_dBFS,Frequ_MHz,SFDR,SINAD,", 0),
              0u);
    const char* offsets[] = {"0", "8000", "0", "8000", "0"};
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(l[r + 1].rfind(std::to_string(r) + "," + offsets[r] + ",2,50,", 0), 0u) << l[r + 1];
}

TEST(AnalyzeCli, JsonCarriesTheLibrarysFiguresAtFullPrecision)
{
    // The same samples through the library directly must give the very same
    // doubles: one code path, and numbers printed so they read back exactly.
    const int n = 1000;
    const Signal signal = [](int k, long long i) {
        return toneCode(3000.0 + 500 * k, 37 + 11 * k, 1000, i) + static_cast<int>((i * 7919 + k) % 23) - 11;
    };
    const std::string file = writeSamples("json.bin", 3 * n, signal);
    const CliRun run = analyze("--format json --window 1 --sample-rate 500MS/s '" + file + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> l = lines(run.out);
    ASSERT_EQ(l.size(), 3u);

    h452::AnalysisState state;
    state.spectrum.setTransform(h452::SpectrumTransform::Complex);  // the analyser's transform
    state.setWindowType(1);
    std::vector<double> ch[4];
    h452::FrameInput in;
    in.sampleCount = n;
    in.sampleRateHz = 5e8;
    h452::FrameResult result;
    const char* keys[8] = {"NSD_dBm", "NSD_nV", "SNR", "ENOB", "MAX_dBFS", "Frequ_MHz", "SFDR", "SINAD"};
    for (int r = 0; r < 3; ++r) {
        const bool all[4] = {true, true, true, true};
        fillRecord(ch, in, signal, r, n, all);
        h452::analyzeFrame(state, in, result);
        EXPECT_EQ(l[r].rfind("{\"record\": " + std::to_string(r) + ", \"offset\": " + std::to_string(r * 8000), 0),
                  0u);
        for (int k = 0; k < 4; ++k) {
            const std::size_t at = l[r].find("{\"channel\": " + std::to_string(k));
            ASSERT_NE(at, std::string::npos);
            EXPECT_EQ(jsonNumber(l[r], "peak_bin", at), result.channels[k].peakBin);
            for (int f = 0; f < 8; ++f)
                EXPECT_EQ(jsonNumber(l[r], keys[f], at), result.figures[k].value(f)) << keys[f] << " ch " << k;
        }
    }
    EXPECT_NEAR(jsonNumber(l[0], "Frequ_MHz"), 18.5, 1e-9);  // bin 37 at 500 MS/s
}

TEST(AnalyzeCli, NonFiniteFiguresAreStrings)
{
    // A noiseless tone whose rounding error repeats every 10 samples puts all
    // power into the line and its harmonics: noise 0, NSD -inf, SNR +inf.
    // Channel 3 is silent: no line, figures 0.
    const std::string file = writeSamples("clean.bin", 1000, [](int k, long long i) {
        return k == 3 ? 0 : toneCode(10000.0, 100, 1000, i);
    });
    const CliRun run = analyze("--format json '" + file + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("\"SNR\": \"inf\""), std::string::npos) << run.out;
    const std::size_t ch3 = run.out.find("{\"channel\": 3");
    EXPECT_EQ(jsonNumber(run.out, "peak_bin", ch3), 0.0);
    EXPECT_EQ(jsonNumber(run.out, "SNR", ch3), 0.0);
}

TEST(AnalyzeCli, RecordLengthNotAMultipleOfFour)
{
    // Tones periodic in 101 samples: read at their own positions, record 1
    // (starting inside a group) holds the same samples as record 0, so the
    // figures repeat exactly.
    const std::string file = writeSamples("odd.bin", 404, [](int k, long long i) {
        return toneCode(2000.0, 10 + k, 101, i) + static_cast<int>((i % 101) * 3 % 17);
    });
    const CliRun run = analyze("--record-length 101 --records 2 --format csv '" + file + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> l = lines(run.out);
    ASSERT_EQ(l.size(), 9u);
    // Everything after "record,offset," must repeat.
    auto figures = [](const std::string& line) { return line.substr(line.find(',', line.find(',') + 1)); };
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(l[5 + k].rfind("1,808,", 0), 0u) << l[5 + k];
        EXPECT_EQ(figures(l[1 + k]), figures(l[5 + k])) << l[1 + k] << " / " << l[5 + k];
    }
}

TEST(AnalyzeCli, ConstellationAndEyeMembers)
{
    // Channel 0: a 100 MHz tone (period 10 samples); channel 1 silent.
    const std::string file = writeSamples("views.bin", 2000, [](int k, long long i) {
        return k == 0 ? toneCode(5000.0, 100, 1000, i) : 0;
    });
    const CliRun run = analyze("--format json --constellation QPSK --eye 0 --records 1 --channels 0,1 '" + file + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string& j = run.out;
    ASSERT_EQ(count(j, "\"constellation\""), 1u);
    ASSERT_EQ(count(j, "\"eye\""), 1u);
    const double start = jsonNumber(j, "start", j.find("\"constellation\""));
    // The window's start: the first smallest of the first 10 samples.
    int expected = 0;
    for (int i = 1; i < 10; ++i)
        if (toneCode(5000.0, 100, 1000, i) < toneCode(5000.0, 100, 1000, expected))
            expected = i;
    EXPECT_EQ(start, expected);
    const std::size_t iAt = j.find("\"i\": [");
    const std::size_t qAt = j.find("\"q\": [");
    ASSERT_NE(iAt, std::string::npos);
    ASSERT_NE(qAt, std::string::npos);
    const std::string iList = j.substr(iAt, j.find(']', iAt) - iAt);
    EXPECT_EQ(count(iList, ",") + 1, 1000u - expected);
    const std::size_t xAt = j.find("\"x\": [");
    const std::size_t yAt = j.find("\"y\": [");
    const std::string xList = j.substr(xAt, j.find(']', xAt) - xAt);
    const std::string yList = j.substr(yAt, j.find(']', yAt) - yAt);
    EXPECT_EQ(count(xList, ","), count(yList, ","));
    // Traces of 10 points from 0 to 1.
    EXPECT_EQ((count(xList, ",") + 1) % 10, 0u);
    EXPECT_EQ(xList.substr(0, 8), "\"x\": [0,");
    // Table and CSV carry figures only.
    const CliRun csv = analyze("--format csv --constellation QPSK --eye 0 --records 1 '" + file + "'");
    EXPECT_EQ(csv.out.find("constellation"), std::string::npos);
}

TEST(AnalyzeCli, ConstellationAndEyeFigures)
{
    // Channel 0: QPSK at 100 MHz, 10 MBd (100 samples a symbol), rectangular
    // pulses, symbols from a fixed hash; channel 1: a square wave of 50
    // samples a half period with edges of a few samples.
    const std::string file = writeSamples("figures.bin", 8000, [](int k, long long i) {
        if (k == 1) {
            const double phase = std::fmod(static_cast<double>(i), 100.0);
            const double ramp = std::min(1.0, std::max(0.0, (std::min(phase, 100.0 - phase) - 25.0) / 3.0 + 0.5));
            return static_cast<int>(std::lround(-4000.0 + 8000.0 * ramp));
        }
        const long long symbol = i / 100;
        const unsigned h = static_cast<unsigned>((symbol * 2654435761LL) >> 7) & 3u;
        const double a = 2.0 * kPi * 0.1 * static_cast<double>(i);
        const double si = (h & 1) ? 0.7071 : -0.7071;
        const double sq = (h & 2) ? 0.7071 : -0.7071;
        return static_cast<int>(std::lround(10000.0 * (si * std::cos(a) - sq * std::sin(a))));
    });
    const std::string args = "--format json --constellation QPSK --eye 1 --records 1 --record-length 8000 --channels 0,1 ";
    const CliRun none = analyze(args + "'" + file + "'");
    ASSERT_EQ(none.exitCode, 0) << none.err;
    EXPECT_NE(none.out.find("\"constellation_figures\": {\"absent\": {\"symbol_rate_hz\": \"symbol rate not set\""),
              std::string::npos)
        << none.out.substr(0, 300);
    EXPECT_NE(none.out.find("\"evm_rms_percent\": \"symbol rate not set\""), std::string::npos);

    const CliRun run = analyze(args + "--symbol-rate 10MBd '" + file + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string& j = run.out;
    const std::size_t at = j.find("\"constellation_figures\"");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(jsonNumber(j, "symbol_rate_hz", at), 1e7);
    EXPECT_LT(jsonNumber(j, "evm_rms_percent", at), 1.0);
    EXPECT_GE(jsonNumber(j, "symbols", at), 70.0);
    // The mixer took the strongest bin; the carrier comes back within 1 % of the symbol rate.
    EXPECT_NEAR(jsonNumber(j, "carrier_hz", at), 1e8, 1e5);
    const std::size_t eye = j.find("\"eye_figures\"");
    ASSERT_NE(eye, std::string::npos);
    EXPECT_GT(jsonNumber(j, "traces", eye), 4.0);
    EXPECT_NEAR(jsonNumber(j, "amplitude", eye), 8000.0, 80.0);
    // Symmetric edges one half period apart cross at half the amplitude.
    EXPECT_NEAR(jsonNumber(j, "crossing_percent", eye), 50.0, 1.0);
    // No noise on the levels: no Q factor, and the reason says why.
    EXPECT_NE(j.find("\"q_factor\": \"levels without spread\"", eye), std::string::npos);
}

TEST(AnalyzeCli, ThreadsGiveTheSameBytesAsOneThread)
{
    // Channels run on separate threads in batches of up to 1024 records, so
    // 2100 records cross two batch boundaries. The lines move from record to
    // record; channel 2 is silent in every fifth record (its NSD figures
    // carry over from the record before) and channel 3 has a DC line in
    // every seventh. The statistics gather each channel's frames on the
    // thread that owns the channel, so --stats must come out the same too.
    const int n = 64;
    const std::string file = writeSamples("threads.bin", 2100LL * n, [](int k, long long i) {
        const long long r = i / n;
        if (k == 2 && r % 5 == 0)
            return 0;
        const int dc = (k == 3 && r % 7 == 0) ? 9000 : 0;
        return dc + toneCode(3000.0 + 100 * k, 1 + static_cast<double>((r * 7 + k * 3) % 30), n, i)
            + static_cast<int>((i * 7919 + k) % 23) - 11;
    });
    const std::string cases[] = {
        "--format csv --window 1 --record-length 64",
        "--format json --constellation QPSK --eye 1 --channels 0,1,3 --record-length 63 --records 1100 --stats",
        "--format table --window 3 --channels 1,2 --records 2500 --max-harmonic 9",
        "--format csv --window 1 --record-length 64 --no-standard",
    };
    for (const std::string& args : cases) {
        const CliRun one = analyze(args + " --threads 1 '" + file + "'");
        ASSERT_EQ(one.exitCode, 0) << args << one.err;
        ASSERT_GT(one.out.size(), 1000u) << args;
        for (const char* threads : {"2", "3", "4"}) {
            const CliRun many = analyze(args + " --threads " + threads + " '" + file + "'");
            EXPECT_EQ(many.exitCode, 0) << args << many.err;
            EXPECT_TRUE(many.out == one.out) << args << " --threads " << threads;
        }
    }
}

TEST(AnalyzeCli, BadArgumentsAndFilesGiveOneLineErrors)
{
    const std::string empty = tempDir().file("empty.bin");
    std::ofstream(empty).close();
    const std::string good = writeSamples("good.bin", 1000, [](int, long long i) { return static_cast<int>(i % 50); });
    const std::string cases[] = {
        "",
        "--window 12 '" + good + "'",
        "--sample-rate fast '" + good + "'",
        "--records -1 '" + good + "'",
        "'" + tempDir().file("missing.bin") + "'",
        "'" + empty + "'",
        "'" + good + "' '" + good + "'",
        "--eye 1 --channels 0 '" + good + "'",
        "--no-standard --stats '" + good + "'",
        "--no-standard --max-harmonic 4 '" + good + "'",
    };
    for (const std::string& args : cases) {
        const CliRun run = analyze(args);
        EXPECT_NE(run.exitCode, 0) << args;
        EXPECT_TRUE(run.out.empty()) << args;
        ASSERT_FALSE(run.err.empty()) << args;
        EXPECT_EQ(count(run.err, "\n"), 1u) << run.err;
        EXPECT_EQ(run.err.rfind("h452-analyze: ", 0), 0u) << run.err;
    }
    const CliRun help = analyze("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("usage: h452-analyze"), std::string::npos);
}

TEST(AnalyzeCli, StandardSetFollowsTheUnchangedFigures)
{
    // 4096-sample records of a quantised tone on bin 301: quantisation noise
    // of 1/12 code^2 against 20000^2 / 2 gives SNR 93.8 dB and a fit ENOB of
    // 16 bits (residual rms sqrt(1/12)).
    const int n = 4096;
    const Signal signal = [](int k, long long i) { return toneCode(20000.0 - 1000 * k, 301, 4096, i); };
    const std::string file = writeSamples("standard.bin", 3 * n, signal);
    const std::string args = "--record-length 4096 --window 1 --channels 0,2 --max-harmonic 4 ";
    const CliRun run = analyze(args + "--format json --stats '" + file + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> l = lines(run.out);
    ASSERT_EQ(l.size(), 4u);

    // The old members byte for byte: the line without the new members is
    // what the report wrote before the standard set existed.
    h452::AnalysisState state;
    state.setWindowType(1);
    std::vector<double> ch[4];
    h452::FrameInput in;
    in.sampleCount = n;
    const bool channels[4] = {true, false, true, false};
    h452::FrameResult result;
    const std::regex added(R"(, "ieee1241": \{.*?"warnings": \[[^\]]*\])");
    for (int r = 0; r < 3; ++r) {
        fillRecord(ch, in, signal, r, n, channels);
        h452::analyzeFrame(state, in, result);
        std::string old;
        h452::appendJsonRecord(old, r, r * n * 8LL, channels, result);
        EXPECT_EQ(std::regex_replace(l[r], added, "") + "\n", old);
        EXPECT_EQ(count(l[r], "\"ieee1241\""), 2u);
    }
    // Without the standard set: exactly those old members.
    const std::string noStandard = "--record-length 4096 --window 1 --channels 0,2 --no-standard ";
    const std::vector<std::string> plain = lines(analyze(noStandard + "--format json '" + file + "'").out);
    ASSERT_EQ(plain.size(), 3u);
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(plain[static_cast<std::size_t>(r)], std::regex_replace(l[static_cast<std::size_t>(r)], added, ""));
    const std::size_t ieee = l[0].find("\"ieee1241\"");
    EXPECT_NEAR(jsonNumber(l[0], "fundamental_hz", ieee), 301 * 1e9 / n, 1e-3);
    EXPECT_NEAR(jsonNumber(l[0], "snr_db", ieee), 93.8, 0.5);  // quantisation noise varies with the tone
    EXPECT_NEAR(jsonNumber(l[0], "enob_bits", l[0].find("\"sinefit\"")), 16.0, 0.1);
    EXPECT_NE(l[0].find("{\"order\": 4, \"freq_hz\": "), std::string::npos);
    EXPECT_EQ(l[0].find("{\"order\": 5"), std::string::npos);
    EXPECT_NE(l[0].find("\"warnings\": []"), std::string::npos);

    EXPECT_EQ(l[3].rfind("{\"summary\": {\"channels\": [{\"channel\": 0, \"figures\": {\"NSD_dBm\": {", 0), 0u);
    EXPECT_NE(l[3].find("{\"channel\": 2"), std::string::npos);
    const std::size_t snr = l[3].find("\"ieee1241.snr_db\"");
    ASSERT_NE(snr, std::string::npos);
    EXPECT_NEAR(jsonNumber(l[3], "mean", snr), 93.8, 0.5);
    EXPECT_EQ(jsonNumber(l[3], "count", snr), 3.0);

    const CliRun csv = analyze(args + "--format csv '" + file + "'");
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    const std::vector<std::string> c = lines(csv.out);
    ASSERT_EQ(c.size(), 7u);
    EXPECT_NE(c[0].find(",SINAD,fundamental_hz,"), std::string::npos);
    EXPECT_NE(c[0].find(",h4_level_dbc,sinefit_freq_hz,"), std::string::npos);
    for (const std::string& line : c)
        EXPECT_EQ(count(line, ","), count(c[0], ",")) << line;
    const std::vector<std::string> plainCsv = lines(analyze(noStandard + "--format csv '" + file + "'").out);
    ASSERT_EQ(plainCsv.size(), 7u);
    EXPECT_EQ(plainCsv[0], "record,offset,channel,peak_bin,NSD_dBm,NSD_nV,SNR,ENOB,MAX_dBFS,Frequ_MHz,SFDR,SINAD");
    EXPECT_EQ(plainCsv[1], c[1].substr(0, plainCsv[1].size()));

    const CliRun table = analyze(args + "'" + file + "'");
    ASSERT_EQ(table.exitCode, 0) << table.err;
    EXPECT_NE(table.out.find("sinad_db"), std::string::npos);

    for (const char* bad : {"--max-harmonic 1", "--max-harmonic 51", "--max-harmonic x"}) {
        const CliRun b = analyze(std::string(bad) + " '" + file + "'");
        EXPECT_EQ(b.exitCode, 2) << bad;
        EXPECT_NE(b.err.find("--max-harmonic"), std::string::npos) << b.err;
    }
}

// A recording with SigMF metadata beside it: its rate is used unless one is
// given, a record right after a dropped run says how many groups are missing
// and one across it is flagged; a file without metadata reads as before.
TEST(AnalyzeCli, MetadataGivesTheRateAndMarksGaps)
{
    const Signal tone = [](int k, long long i) { return toneCode(1000.0 * (k + 1), 37, 1024, i); };
    const std::string bin = writeSamples("meta.bin", 3 * 1024, tone);
    std::ofstream(tempDir().file("meta.sigmf-meta"))
        << R"({"global": {"core:datatype": "ri16_le", "core:num_channels": 16, "core:sample_rate": 62500000,
              "h452:block_bytes": 8192, "h452:complete": true},
              "captures": [{"core:sample_start": 0}, {"core:sample_start": 256, "core:global_index": 768}],
              "annotations": [{"core:sample_start": 256, "core:sample_count": 1, "core:label": "dropped",
                               "core:comment": "2 blocks lost"}]})";
    const CliRun own = analyze("--format json --record-length 1024 '" + bin + "'");
    ASSERT_EQ(own.exitCode, 0) << own.err;
    const CliRun given = analyze("--format json --record-length 1024 --sample-rate 250MS/s '" + bin + "'");
    const CliRun other = analyze("--format json --record-length 1024 --sample-rate 1GS/s '" + bin + "'");
    EXPECT_TRUE(own.out == given.out);
    EXPECT_FALSE(own.out == other.out);
    const std::vector<std::string> records = lines(own.out);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].find("gap_"), std::string::npos);
    EXPECT_EQ(jsonNumber(records[1], "gap_before_groups"), 512.0);
    EXPECT_EQ(records[2].find("gap_"), std::string::npos);
    const CliRun across = analyze("--format json --record-length 1000 --records 2 '" + bin + "'");
    ASSERT_EQ(across.exitCode, 0) << across.err;
    EXPECT_EQ(count(across.out, "\"spans_gap\": true"), 1u);  // record 1: bytes 8000 .. 16000

    std::ofstream(tempDir().file("meta.sigmf-meta")) << "{\"global\": {\"core:sample_rate\": -1}}";
    const CliRun bad = analyze("--format json --record-length 1024 '" + bin + "'");
    EXPECT_EQ(bad.exitCode, 0);
    EXPECT_NE(bad.err.find("metadata ignored"), std::string::npos);
    EXPECT_EQ(bad.out.find("gap_"), std::string::npos);  // read as a file without metadata
    EXPECT_FALSE(bad.out == own.out);                     // at the 1 GS/s default
}

namespace {

// Rows of a spectrum file as (record, channel) -> levels by bin, checking
// the header and the frequency of every row on the way.
struct SpectrumRows {
    std::string header;
    std::vector<std::vector<double>> blocks;  // in file order
    std::vector<std::pair<long long, int>> keys;
};

SpectrumRows readSpectrum(const std::string& path, int n, double fs)
{
    SpectrumRows rows;
    const std::vector<std::string> text = lines(readAll(path));
    if (text.empty())
        return rows;
    rows.header = text[0];
    for (std::size_t i = 1; i < text.size(); ++i) {
        long long record = 0;
        int channel = 0;
        double f = 0, level = 0;
        if (std::sscanf(text[i].c_str(), "%lld,%d,%lf,%lf", &record, &channel, &f, &level) != 4)
            continue;
        if (rows.keys.empty() || rows.keys.back() != std::make_pair(record, channel)) {
            rows.keys.emplace_back(record, channel);
            rows.blocks.emplace_back();
        }
        const double expectedHz = static_cast<double>(rows.blocks.back().size()) * fs / n;
        EXPECT_NEAR(f, expectedHz, 1e-6 * fs / n) << text[i];
        rows.blocks.back().push_back(level);
    }
    return rows;
}

double dbfs(double amplitude)
{
    return 20.0 * std::log10(amplitude / 32767.0);
}

}  // namespace

TEST(AnalyzeCli, SpectrumFileAveragesAndPeakHold)
{
    // Record r carries a tone on bin 10 of amplitude 3000 (r + 1) on
    // channels 0 and 1; four records of 256 samples. The power average of a
    // group is the mean of the squared amplitudes, the held line the largest.
    // Levels are compared to 1e-3 dB: the integer codes add noise near
    // -130 dBFS, far below a line at -20 dBFS.
    const int n = 256;
    const double fs = 1e6;
    const std::string samples = writeSamples("spectrum.bin", 4LL * n, [n](int k, long long i) {
        return k < 2 ? toneCode(3000.0 * static_cast<double>(i / n + 1), 10, n, i) : 0;
    });
    const std::string common = "--record-length 256 --sample-rate 1e6 --channels 0,1 ";
    struct Case {
        std::string options;
        std::vector<std::pair<long long, int>> keys;
        std::vector<double> lineAmplitudes;  // per block
        std::size_t reportLines;             // CSV report: header + one per entry and channel
    };
    const double a[] = {3000, 6000, 9000, 12000};
    const Case cases[] = {
        {"", {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}, {3, 0}, {3, 1}},
         {a[0], a[0], a[1], a[1], a[2], a[2], a[3], a[3]}, 9},
        {"--average 2 ", {{0, 0}, {0, 1}, {2, 0}, {2, 1}},
         {std::sqrt((a[0] * a[0] + a[1] * a[1]) / 2), std::sqrt((a[0] * a[0] + a[1] * a[1]) / 2),
          std::sqrt((a[2] * a[2] + a[3] * a[3]) / 2), std::sqrt((a[2] * a[2] + a[3] * a[3]) / 2)}, 5},
        // A trailing group shorter than N is the mean of what it has.
        {"--average 3 ", {{0, 0}, {0, 1}, {3, 0}, {3, 1}},
         {std::sqrt((a[0] * a[0] + a[1] * a[1] + a[2] * a[2]) / 3),
          std::sqrt((a[0] * a[0] + a[1] * a[1] + a[2] * a[2]) / 3), a[3], a[3]}, 5},
        {"--peak-hold ", {{0, 0}, {0, 1}}, {a[3], a[3]}, 9},
    };
    for (const Case& c : cases) {
        const std::string out = tempDir().file("spectrum.csv");
        std::remove(out.c_str());
        const CliRun run = analyze(common + c.options + "--format csv --spectrum-csv '" + out + "' '" + samples + "'");
        ASSERT_EQ(run.exitCode, 0) << c.options << run.err;
        EXPECT_EQ(lines(run.out).size(), c.reportLines) << c.options;
        const SpectrumRows rows = readSpectrum(out, n, fs);
        EXPECT_EQ(rows.header, "record,channel,freq_hz,level_db");
        ASSERT_EQ(rows.keys, c.keys) << c.options;
        for (std::size_t b = 0; b < rows.blocks.size(); ++b) {
            ASSERT_EQ(rows.blocks[b].size(), static_cast<std::size_t>(n / 2));
            EXPECT_NEAR(rows.blocks[b][10], dbfs(c.lineAmplitudes[b]), 1e-3) << c.options << " block " << b;
        }
        if (c.options == "--average 2 ") {
            // Entries carry the group's first record and offset, and the
            // table's MAX(dBFS) is the averaged line's level.
            const std::vector<std::string> report = lines(run.out);
            ASSERT_EQ(report[0].find(",MAX_dBFS,"), std::string("record,offset,channel,peak_bin,NSD_dBm,NSD_nV,SNR,ENOB").size());
            for (std::size_t row : {1u, 3u}) {
                long long record = 0, offset = 0;
                int channel = 0, peak = 0;
                double skip = 0, maxDbfs = 0;
                ASSERT_EQ(std::sscanf(report[row].c_str(), "%lld,%lld,%d,%d,%lf,%lf,%lf,%lf,%lf", &record, &offset,
                                      &channel, &peak, &skip, &skip, &skip, &skip, &maxDbfs), 9);
                EXPECT_EQ(record, row == 1 ? 0 : 2);
                EXPECT_EQ(offset, row == 1 ? 0 : 2 * n * 4 * 2);
                EXPECT_EQ(peak, 10);
                EXPECT_NEAR(maxDbfs, dbfs(c.lineAmplitudes[row - 1]), 1e-3);
            }
        }
    }
}

TEST(AnalyzeCli, SpectrumFileFailuresLeaveNoFile)
{
    const std::string samples = writeSamples("short.bin", 1000, [](int, long long i) { return toneCode(1000, 5, 100, i); });
    const std::string out = tempDir().file("never.csv");
    for (const char* n : {"0", "1", "1000000000"}) {
        const CliRun run = analyze(std::string("--average ") + n + " --spectrum-csv '" + out + "' '" + samples + "'");
        EXPECT_EQ(run.exitCode, 2) << n;
        EXPECT_NE(run.err.find("--average"), std::string::npos) << run.err;
    }
    const CliRun unwritable = analyze("--spectrum-csv '" + tempDir().file("no/such/dir.csv") + "' '" + samples + "'");
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find("no/such/dir.csv"), std::string::npos) << unwritable.err;
    // A file that cannot be read fails the run: no spectrum file, and no
    // temporary left beside where it would have been.
    const std::string empty = tempDir().file("nothing.bin");
    std::ofstream(empty).close();
    const CliRun unreadable = analyze("--spectrum-csv '" + out + "' '" + empty + "'");
    EXPECT_EQ(unreadable.exitCode, 1);
    std::ifstream probe(out);
    EXPECT_FALSE(probe.good());
    EXPECT_NE(std::system(("ls '" + out + "'.tmp-* >/dev/null 2>&1").c_str()), 0);
}
