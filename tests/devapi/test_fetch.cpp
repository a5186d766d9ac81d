// KelPcieFetchData against the emulated board: register handshakes of each
// trigger mode, sizes, trigger position arithmetic, the split at the ring
// end, continuous reads, time-outs, and the de-interleave on the ramp
// pattern (every 16-bit word of the ring equals its index modulo 65536).
#include "DevapiFixture.h"

#include <array>
#include <cmath>

namespace {

using Strings = std::vector<std::string>;
constexpr uint32_t kRingUnits = 1u << 26;
constexpr int64_t kLastUnit = kRingUnits - 1;

// Independent model of the ring in the ramp pattern: sample s (0..7) of a
// channel in a unit sits in group s / 4, slot channel * 4 + s % 4.
double rampSample(uint64_t unit, uint32_t s, int channel)
{
    const uint64_t word = (unit % kRingUnits) * 32 + (s / 4) * 16 + channel * 4 + s % 4;
    return static_cast<int16_t>(static_cast<uint16_t>(word & 0xFFFF));
}

struct Record {
    explicit Record(uint32_t n) : ch{std::vector<double>(n, 1e9), std::vector<double>(n, 1e9),
                                     std::vector<double>(n, 1e9), std::vector<double>(n, 1e9)} {}
    std::array<std::vector<double>, 4> ch;
    int32_t fetch(uint32_t c, uint32_t ddr, int32_t mode, int32_t offset = 0, int32_t level = 0,
                  uint32_t slope = 1)
    {
        return KelPcieFetchData(c, ch[0].data(), ch[1].data(), ch[2].data(), ch[3].data(),
                                static_cast<uint32_t>(ch[0].size()), ddr, mode, offset, level, slope);
    }
    // Number of samples that differ from the ramp read from `startUnit` on.
    int mismatches(int64_t startUnit) const
    {
        int bad = 0;
        for (uint32_t i = 0; i < ch[0].size(); ++i)
            for (int c = 0; c < 4; ++c)
                if (ch[c][i] != rampSample(static_cast<uint64_t>(startUnit) + i / 8, i % 8, c))
                    ++bad;
        return bad;
    }
    bool untouched() const
    {
        for (const auto &v : ch)
            for (double x : v)
                if (x != 1e9)
                    return false;
        return true;
    }
};

class Fetch : public DevapiTest {
protected:
    uint32_t openRamp(std::initializer_list<std::pair<const char *, const char *>> more = {})
    {
        setenv("LOMPCIE_PATTERN", "ramp", 1);
        for (const auto &v : more)
            setenv(v.first, v.second, 1);
        return openBoard();
    }
};

} // namespace

TEST_F(Fetch, FreeRunSizesAndDeinterleave)
{
    const uint32_t c = openRamp();
    // recordLength -> (units announced, bytes transferred): G = ceil(n/4),
    // U = floor(G/2), transfer G x 32 bytes.
    const struct {
        uint32_t n;
        uint32_t units;
        uint32_t bytes;
    } cases[] = {{1000, 125, 8000}, {100, 12, 800}, {1002, 125, 8032}, {1, 0, 32}, {7, 1, 64}};
    for (const auto &k : cases) {
        SCOPED_TRACE(k.n);
        Record r(k.n);
        EXPECT_EQ(r.fetch(c, 5000, KELPCIE_TRIGGER_FREE), 0);
        const std::string u = std::to_string(k.units);
        EXPECT_EQ(takeTrace(), (Strings{"W 788 5000", "W 792 " + u, "W 768 1", "R 812 1", "W 804 5000",
                                        "W 808 " + u, "W 768 2", "DR 0 " + std::to_string(k.bytes) + " 0"}));
        EXPECT_EQ(r.mismatches(5000), 0);
    }
}

TEST_F(Fetch, OtherModesReadFromTheAddressWithoutArming)
{
    const uint32_t c = openRamp();
    Record r(16);
    EXPECT_EQ(r.fetch(c, 77, 7), 0);
    EXPECT_EQ(takeTrace(), (Strings{"W 804 77", "W 808 2", "W 768 2", "DR 0 128 0"}));
    EXPECT_EQ(r.mismatches(77), 0);
}

TEST_F(Fetch, EdgeTriggerRegisterSequence)
{
    const uint32_t c = openRamp({{"LOMPCIE_TRIGGER_UNIT", "1000"}});
    Record r(1000);
    // m = 1000 + 100 = 1100 samples: 856 <- floor(ceil(1100 / 4) / 2) = 137;
    // the level is sign-extended from its low 16 bits.
    EXPECT_EQ(r.fetch(c, 0, KELPCIE_TRIGGER_EDGE, 100, -100, 5), 0);
    EXPECT_EQ(takeTrace(), (Strings{"W 848 0", "W 852 4294967196", "W 856 137", "W 768 0", "W 768 4",
                                    "W 848 5", "R 812 1", "R 864 0", "R 868 1000", "W 804 1012",
                                    "W 808 125", "W 768 2", "DR 0 8000 0"}));
    EXPECT_EQ(r.mismatches(1012), 0);
    // Only the low 16 bits of the level count.
    Record s(1002);
    EXPECT_EQ(s.fetch(c, 0, KELPCIE_TRIGGER_EDGE, 0, 0x12345, 1), 0);
    const Strings trace = takeTrace();
    ASSERT_GE(trace.size(), 3u);
    EXPECT_EQ(trace[1], "W 852 9029");
    EXPECT_EQ(trace[2], "W 856 125"); // 1002 not a multiple of 4: one more group
}

TEST_F(Fetch, ExternalTriggerRegisterSequence)
{
    const uint32_t c = openRamp({{"LOMPCIE_TRIGGER_UNIT", "4096"}});
    Record r(64);
    EXPECT_EQ(r.fetch(c, 0, KELPCIE_TRIGGER_EXTERNAL, -16, 55, 9), 0);
    EXPECT_EQ(takeTrace(), (Strings{"W 848 0", "W 856 8", "W 768 0", "W 768 4", "W 848 9", "W 860 8",
                                    "W 112 0", "R 812 1", "R 864 0", "R 868 4096", "W 804 4094",
                                    "W 808 8", "W 768 2", "DR 0 512 0"}));
    EXPECT_EQ(r.mismatches(4094), 0);
}

TEST_F(Fetch, TriggerPositionArithmetic)
{
    // S = trunc(offset / 8) + P; above the last unit subtract the last
    // index (not the ring size); below zero add it.
    const struct {
        int64_t p;
        int32_t offset;
        int64_t start;
    } cases[] = {
        {1000, 100, 1012},
        {1000, -9, 999},       // -9 / 8 truncates to -1 (floor would be -2)
        {1000, -7, 1000},
        {100, -1600, 67108763}, // 100 - 200 + 67108863
        {kLastUnit - 1, 80, 9}, // 67108872 - 67108863
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.offset);
        const std::string p = std::to_string(k.p);
        const uint32_t c = openRamp({{"LOMPCIE_TRIGGER_UNIT", p.c_str()}});
        Record r(8);
        EXPECT_EQ(r.fetch(c, 0, KELPCIE_TRIGGER_EDGE, k.offset), 0);
        const Strings trace = takeTrace();
        ASSERT_GE(trace.size(), 10u);
        EXPECT_EQ(trace[9], "W 804 " + std::to_string(k.start));
        EXPECT_EQ(r.mismatches(k.start), 0);
    }
}

TEST_F(Fetch, RecordOfWholeUnitsSplitsAtTheRingEnd)
{
    // P = 67108860, 1000 samples: E = 67108984, T = 121 units at the ring
    // start, 4 before the end; exactly the board's two-transfer traffic.
    const uint32_t c = openRamp({{"LOMPCIE_TRIGGER_UNIT", "67108860"}});
    Record r(1000);
    EXPECT_EQ(r.fetch(c, 0, KELPCIE_TRIGGER_EDGE), 0);
    const Strings trace = takeTrace();
    const Strings transfer(trace.end() - 8, trace.end());
    EXPECT_EQ(transfer, (Strings{"W 804 67108860", "W 808 4", "W 768 2", "DR 0 256 0", "W 804 0",
                                 "W 808 121", "W 768 2", "DR 0 7744 0"}));
    EXPECT_EQ(r.mismatches(67108860), 0);
}

TEST_F(Fetch, RecordWithAHalfUsedLastUnitKeepsEverySampleAcrossTheWrap)
{
    // Lengths that are not a multiple of 8 occupy one unit more than the
    // whole units announced; the split must follow the occupied units or
    // everything after the wrap lands 8 samples early.
    const struct {
        uint32_t n;
        const char *p;
        uint32_t head; // units before the ring end
    } cases[] = {{1004, "67108860", 4}, {1001, "67108860", 4}, {1005, "67108800", 64}, {12, "67108863", 1}};
    for (const auto &k : cases) {
        SCOPED_TRACE(k.n);
        const uint32_t c = openRamp({{"LOMPCIE_TRIGGER_UNIT", k.p}});
        Record r(k.n);
        EXPECT_EQ(r.fetch(c, 0, KELPCIE_TRIGGER_EDGE), 0);
        const uint32_t occupied = (k.n + 7) / 8;
        const uint32_t tail = occupied - k.head;
        const Strings trace = takeTrace();
        const Strings transfer(trace.end() - 8, trace.end());
        EXPECT_EQ(transfer, (Strings{std::string("W 804 ") + k.p, "W 808 " + std::to_string(k.head), "W 768 2",
                                     "DR 0 " + std::to_string(k.head * 64) + " 0", "W 804 0",
                                     "W 808 " + std::to_string(tail), "W 768 2",
                                     "DR 0 " + std::to_string(tail * 64) + " 0"}));
        EXPECT_EQ(r.mismatches(std::atoll(k.p)), 0);
    }
}

TEST_F(Fetch, TriggerThatNeverFiresTimesOutAfterSixtyThousandPolls)
{
    const uint32_t c = openRamp({{"LOMPCIE_TRIGGER_DELAY_MS", "never"}, {"KELPCIE_POLL_SLEEP_US", "0"}});
    Record r(64);
    EXPECT_EQ(r.fetch(c, 0, KELPCIE_TRIGGER_EDGE), KELPCIE_ERR_CAPTURE_TIMEOUT);
    EXPECT_TRUE(r.untouched());
    const Strings trace = takeTrace();
    size_t polls = 0;
    for (const auto &line : trace) {
        EXPECT_NE(line.rfind("DR", 0), 0u) << "no transfer after a time-out";
        polls += line == "R 812 0";
    }
    EXPECT_EQ(polls, 60000u);
}

TEST_F(Fetch, ContinuousReadsFollowEachOtherWithoutRepeats)
{
    // A fast writer: the records are written as soon as they are asked for.
    const uint32_t c = openRamp({{"LOMPCIE_STREAM_RATE", "1e12"}});
    KelPcieWriteData(c, 880, 1);
    KelPcieWriteData(c, 788, 0);
    KelPcieWriteData(c, 768, 1);
    Record first(1024), second(1024), third(1000);
    EXPECT_EQ(first.fetch(c, 0, KELPCIE_TRIGGER_CONTINUOUS), 0);
    EXPECT_EQ(second.fetch(c, 0, KELPCIE_TRIGGER_CONTINUOUS), 0);
    EXPECT_EQ(third.fetch(c, 0, KELPCIE_TRIGGER_CONTINUOUS), 0);
    EXPECT_EQ(first.mismatches(0), 0);
    EXPECT_EQ(second.mismatches(128), 0); // units 0..127 were read already
    EXPECT_EQ(third.mismatches(256), 0);
    Strings starts;
    for (const auto &line : takeTrace())
        if (line.rfind("W 804 ", 0) == 0)
            starts.push_back(line);
    EXPECT_EQ(starts, (Strings{"W 804 0", "W 804 128", "W 804 256"}));
    // A triggered capture restarts the continuous reads at unit 0.
    Record freeRun(8);
    EXPECT_EQ(freeRun.fetch(c, 900, KELPCIE_TRIGGER_FREE), 0);
    EXPECT_EQ(first.fetch(c, 0, KELPCIE_TRIGGER_CONTINUOUS), 0);
    EXPECT_EQ(first.mismatches(0), 0);
}

TEST_F(Fetch, ContinuousReadGivesUpOnAStalledWritePointer)
{
    const uint32_t c = openRamp({{"LOMPCIE_STREAM_RATE", "0"}, {"KELPCIE_STALL_TIMEOUT_MS", "50"}});
    KelPcieWriteData(c, 880, 1);
    KelPcieWriteData(c, 768, 1);
    Record r(64);
    EXPECT_EQ(r.fetch(c, 0, KELPCIE_TRIGGER_CONTINUOUS), KELPCIE_ERR_STREAM_STALLED);
    EXPECT_TRUE(r.untouched());
    for (const auto &line : takeTrace())
        EXPECT_NE(line.rfind("DR", 0), 0u);
}

TEST_F(Fetch, BadArgumentsAreRefusedBeforeAnyRegisterTraffic)
{
    const uint32_t c = openRamp();
    std::vector<double> a(8);
    EXPECT_EQ(KelPcieFetchData(c, nullptr, a.data(), a.data(), a.data(), 8, 0, 0, 0, 0, 0),
              KELPCIE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(KelPcieFetchData(c, a.data(), a.data(), a.data(), a.data(), 0, 0, 0, 0, 0, 0),
              KELPCIE_ERR_INVALID_ARGUMENT);
    // Larger than the whole ring.
    EXPECT_EQ(KelPcieFetchData(c, a.data(), a.data(), a.data(), a.data(), 0xFFFFFFFFu, 0, 0, 0, 0, 0),
              KELPCIE_ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(takeTrace().empty());
}

TEST_F(Fetch, FreeRunCapturesShowTheSignalMovingOn)
{
    configure({{"LOMPCIE_CH0", "tone:freq=10e6,amp=10000"}, {"LOMPCIE_CH1", "sweep:from=1e6,to=100e6,period=0.001"}});
    const uint32_t c = openBoard();
    Record a(4000), b(4000);
    ASSERT_EQ(a.fetch(c, 0, KELPCIE_TRIGGER_FREE), 0);
    ASSERT_EQ(b.fetch(c, 0, KELPCIE_TRIGGER_FREE), 0);
    EXPECT_NE(a.ch[1], b.ch[1]);
    // Re-reading the same units without a new capture gives the same data.
    Record again(4000);
    ASSERT_EQ(again.fetch(c, 0, 7), 0);
    EXPECT_EQ(again.ch, b.ch);
    // ... also when the read starts elsewhere: a sample depends on its
    // position alone (units 63 on, read without the units before them).
    Record shifted(4000 - 63 * 8);
    ASSERT_EQ(shifted.fetch(c, 63, 7), 0);
    for (int ch = 0; ch < 4; ++ch)
        EXPECT_TRUE(std::equal(shifted.ch[ch].begin(), shifted.ch[ch].end(), b.ch[ch].begin() + 63 * 8)) << ch;
    // A noiseless 10 MHz tone at 1 GS/s repeats every 100 samples (to the
    // rounding of the codes) and peaks at its amplitude.
    double peak = 0;
    for (size_t i = 0; i + 100 < 4000; ++i) {
        EXPECT_NEAR(a.ch[0][i], a.ch[0][i + 100], 1.0);
        peak = std::max(peak, std::fabs(a.ch[0][i]));
    }
    EXPECT_NEAR(peak, 10000.0, 10.0); // 1 GS/s / 10 MHz: samples land within 0.2 % of the peak
}

TEST_F(Fetch, SampleRateFollowsTheRateRegisters)
{
    configure({{"LOMPCIE_CH0", "tone:freq=10e6,amp=10000"}, {"LOMPCIE_CH1", "tone:freq=100e3,amp=10000"}});
    const uint32_t c = openBoard();
    // Samples per period of a channel's tone, within the rounding of codes.
    const auto repeatsEvery = [](const std::vector<double> &v, size_t period) {
        for (size_t i = 0; i + period < v.size(); ++i)
            if (std::fabs(v[i] - v[i + period]) > 1.0)
                return false;
        return true;
    };
    Record r(1000);
    // 1 GS/s until 512 is written: 10 MHz repeats every 100 samples.
    ASSERT_EQ(r.fetch(c, 0, KELPCIE_TRIGGER_FREE), 0);
    EXPECT_TRUE(repeatsEvery(r.ch[0], 100));
    EXPECT_FALSE(repeatsEvery(r.ch[0], 50));
    // 500 MS/s; the decimation registers do not count in this mode.
    KelPcieWriteData(c, 512, 1);
    KelPcieWriteData(c, 272, 0xFFFFFFFFu);
    KelPcieWriteData(c, 276, 7);
    ASSERT_EQ(r.fetch(c, 0, KELPCIE_TRIGGER_FREE), 0);
    EXPECT_TRUE(repeatsEvery(r.ch[0], 50));
    // Decimation chain: 250 MS/s, bits 0 and 1 halve twice, bit 4 divides
    // by the factor 5: 12.5 MS/s, so 100 kHz repeats every 125 samples.
    KelPcieWriteData(c, 512, 2);
    KelPcieWriteData(c, 272, 0x13);
    KelPcieWriteData(c, 276, 5);
    ASSERT_EQ(r.fetch(c, 0, KELPCIE_TRIGGER_FREE), 0);
    EXPECT_TRUE(repeatsEvery(r.ch[1], 125));
    // The 10 MHz tone lies above half that rate: the chain filters it out
    // (no noise is set).
    EXPECT_EQ(r.ch[0], std::vector<double>(1000, 0.0));
    // Bit 5 divides by a further 100: 125 kHz, and the 100 kHz tone goes too.
    KelPcieWriteData(c, 272, 0x33);
    ASSERT_EQ(r.fetch(c, 0, KELPCIE_TRIGGER_FREE), 0);
    EXPECT_EQ(r.ch[1], std::vector<double>(1000, 0.0));
}

TEST_F(Fetch, EdgeTriggerAlignsTheRecordOnTheCrossing)
{
    configure({{"LOMPCIE_CH0", "tone:freq=1e6,amp=10000"}});
    const uint32_t c = openBoard();
    Record r(64);
    // Rising edge through 2000 on channel 0: the trigger sample is the first
    // at or above the level after one below it, at the start of unit P.
    ASSERT_EQ(r.fetch(c, 0, KELPCIE_TRIGGER_EDGE, 0, 2000, 1), 0);
    EXPECT_GE(r.ch[0][0], 2000.0);
    EXPECT_GT(r.ch[0][1], r.ch[0][0]);
    Record before(64);
    ASSERT_EQ(before.fetch(c, 0, KELPCIE_TRIGGER_EDGE, -8, 2000, 1), 0);
    EXPECT_LT(before.ch[0][7], 2000.0);
    EXPECT_GE(before.ch[0][8], 2000.0);
    // Falling edge through -3000.
    ASSERT_EQ(r.fetch(c, 0, KELPCIE_TRIGGER_EDGE, -8, -3000, 5), 0);
    EXPECT_GT(r.ch[0][7], -3000.0);
    EXPECT_LE(r.ch[0][8], -3000.0);
}

TEST_F(Fetch, CarriersAndPulsesHaveTheirShape)
{
    // A carrier at a quarter of the rate samples as A i, -A q, -A i, A q,
    // so each symbol's constellation point can be read back directly.
    configure({{"LOMPCIE_CH0", "qpsk:carrier=250e6,symrate=1e6,amp=10000"},
               {"LOMPCIE_CH1", "16qam:carrier=250e6,symrate=1e6,amp=9000"},
               {"LOMPCIE_CH2", "pulse:freq=1e6,duty=0.25,amp=5000"}});
    const uint32_t c = openBoard();
    Record r(4000);
    ASSERT_EQ(r.fetch(c, 0, KELPCIE_TRIGGER_FREE), 0);
    const double levels16[] = {-3, -1, 1, 3};
    for (size_t i = 0; i + 1 < 4000; i += 4) {
        // QPSK: points on the diagonals at the full amplitude (codes round
        // to integers: 1 code of tolerance).
        EXPECT_NEAR(std::fabs(r.ch[0][i]), 10000 / std::sqrt(2.0), 1.0);
        EXPECT_NEAR(std::fabs(r.ch[0][i + 1]), 10000 / std::sqrt(2.0), 1.0);
        // 16QAM: both coordinates on the levels -3, -1, 1, 3 scaled so the
        // corner points reach the amplitude.
        for (double v : {r.ch[1][i], -r.ch[1][i + 1]}) {
            double best = 1e9;
            for (double l : levels16)
                best = std::min(best, std::fabs(v - l * 9000 / (3 * std::sqrt(2.0))));
            EXPECT_LT(best, 1.0);
        }
    }
    int high = 0;
    for (double v : r.ch[2]) {
        EXPECT_TRUE(v == 0.0 || v == 5000.0);
        high += v == 5000.0;
    }
    EXPECT_EQ(high, 1000); // 4 whole periods of 1000 samples, a quarter high
}

TEST_F(Fetch, EdgeThatNeverComesTimesOut)
{
    configure({{"LOMPCIE_CH0", "tone:freq=1e6,amp=1000"}, {"KELPCIE_POLL_SLEEP_US", "0"}});
    const uint32_t c = openBoard();
    Record r(64);
    EXPECT_EQ(r.fetch(c, 0, KELPCIE_TRIGGER_EDGE, 0, 2000, 1), KELPCIE_ERR_CAPTURE_TIMEOUT);
    EXPECT_TRUE(r.untouched());
}

TEST_F(Fetch, MalformedSignalSettingsFallBackToTheDefaults)
{
    // Units no capture has written hold the signal from sample 0 on, so two
    // boards with the same settings read the same there.
    const auto powerOn = [&](const char *ch0) {
        configure({{"LOMPCIE_CH0", ch0}});
        const uint32_t c = openBoard();
        Record r(256);
        EXPECT_EQ(r.fetch(c, 1000, 7), 0);
        return r.ch[0];
    };
    const std::vector<double> defaults = powerOn(nullptr);
    for (const char *bad : {"bogus", "tone:freq=abc", "tone:freq", "tone:h1=-3", "pulse:duty=2", "sweep:period=0",
                            "tone:freq=1e400", ":", ""})
        EXPECT_EQ(powerOn(bad), defaults) << bad;
    EXPECT_NE(powerOn("tone:freq=1e6"), defaults);
    EXPECT_EQ(powerOn("off"), std::vector<double>(256, 0.0));
}
