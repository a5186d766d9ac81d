// Converter start-up, output modes, the DA oscillator command words, the
// decimation codes and the DA downloads with their 12-bit packing.
#include "DevapiFixture.h"

#include <cmath>

namespace {

using Strings = std::vector<std::string>;

Strings writes(std::initializer_list<std::pair<uint32_t, uint32_t>> regs)
{
    Strings s;
    for (const auto &r : regs)
        s.push_back("W " + std::to_string(r.first) + " " + std::to_string(r.second));
    return s;
}

Strings daWords(std::initializer_list<uint32_t> words)
{
    Strings s;
    for (uint32_t w : words)
        s.push_back("W 116 " + std::to_string(w));
    return s;
}

// Independent packer: bit j of value k goes to bit 12k + j of the stream.
std::vector<uint8_t> packBits(const std::vector<uint32_t> &values)
{
    std::vector<uint8_t> out(values.size() / 16 * 32, 0);
    for (size_t k = 0; k < values.size(); ++k)
        for (int j = 0; j < 12; ++j)
            if (values[k] >> j & 1) {
                const size_t bit = (k % 16) * 12 + j;
                out[(k / 16) * 32 + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
            }
    return out;
}

std::string hex(const std::vector<uint8_t> &bytes)
{
    std::string s;
    char b[3];
    for (uint8_t v : bytes) {
        std::snprintf(b, sizeof b, "%02x", v);
        s += b;
    }
    return s;
}

} // namespace

using Converter = DevapiTest;

TEST_F(Converter, StartUpSequences)
{
    const uint32_t c = openBoard();
    EXPECT_EQ(KelPcieInitADDAC(c), 0);
    EXPECT_EQ(takeTrace(), writes({{64, 0}, {80, 0}, {84, 176}, {768, 0}, {64, 1}, {80, 1}, {96, 1}, {96, 0},
                                   {280, 0}, {280, 1}, {40, 0x3FFF}}));
    EXPECT_EQ(KelPcieInitDUC(c), 0);
    EXPECT_EQ(takeTrace(), daWords({0x090003, 0x280002, 0x280000}));
    // Without a board the start-up still runs and reports the driver's code.
    KelPcieClose();
    EXPECT_EQ(KelPcieInitADDAC(c), LOMPCIE_ERR_HANDLE);
}

TEST_F(Converter, OutputModes)
{
    const uint32_t c = openBoard();
    EXPECT_EQ(KelPcieSwitchMode(c, 0), 0);
    EXPECT_EQ(KelPcieSwitchMode(c, 2), 0);
    EXPECT_EQ(KelPcieSwitchMode(c, 1), 0);
    EXPECT_EQ(KelPcieSwitchMode(c, -1), 0);
    EXPECT_EQ(takeTrace(), writes({{104, 0}, {104, 2}}));
}

TEST_F(Converter, OscillatorCommandWords)
{
    const uint32_t c = openBoard();
    EXPECT_EQ(KelPcieSwitchModeDA(c, 2, 1500, 90, 750, 180), 0);
    EXPECT_EQ(takeTrace(), daWords({0x090003, 0x0C2732, 0x3287A0, 0x278888, 0x090001, 0x204000, 0x090001,
                                    0x1C4000, 0x090002, 0x202000, 0x090002, 0x1C8000}));
    // Mode 0: both outputs at f_A, B a quarter turn behind; the other
    // arguments are not used, so they are not checked either.
    EXPECT_EQ(KelPcieSwitchModeDA(c, 0, 5999.99, 1e9, NAN, -5), 0);
    EXPECT_EQ(takeTrace(), daWords({0x090003, 0x0C27F2, 0x320400, 0x278888, 0x090003, 0x20FFFF, 0x090001,
                                    0x1C0000, 0x090002, 0x1C4000}));
    EXPECT_EQ(KelPcieSwitchModeDA(c, 1, 1, 1, 1, 1), 0);
    EXPECT_TRUE(takeTrace().empty());
}

TEST_F(Converter, OscillatorValuesOutOfRangeAreRefusedBeforeAnyWrite)
{
    // f = 6000 or phase = 360 would carry into the register field of the
    // command word (0x210000, 0x1D0000) and address another register.
    const uint32_t c = openBoard();
    const double bad[] = {6000.0, -0.001, NAN, INFINITY};
    for (double f : bad) {
        EXPECT_EQ(KelPcieSwitchModeDA(c, 0, f, 0, 0, 0), KELPCIE_ERR_DA_RANGE);
        EXPECT_EQ(KelPcieSwitchModeDA(c, 2, f, 0, 0, 0), KELPCIE_ERR_DA_RANGE);
        EXPECT_EQ(KelPcieSwitchModeDA(c, 2, 0, 0, f, 0), KELPCIE_ERR_DA_RANGE);
    }
    for (double phase : {360.0, -1.0, double(NAN)}) {
        EXPECT_EQ(KelPcieSwitchModeDA(c, 2, 0, phase, 0, 0), KELPCIE_ERR_DA_RANGE);
        EXPECT_EQ(KelPcieSwitchModeDA(c, 2, 0, 0, 0, phase), KELPCIE_ERR_DA_RANGE);
    }
    EXPECT_TRUE(takeTrace().empty());
}

TEST_F(Converter, DataRateCodes)
{
    const uint32_t c = openBoard();
    const struct {
        double rate;
        Strings expect;
    } cases[] = {
        {1e9, writes({{272, 19}, {276, 0}, {280, 0}, {280, 1}})}, // ratio 3
        {3e9, writes({{272, 0}})},
        {1.5e9, writes({{272, 1}, {280, 0}, {280, 1}})},
        {750e6, writes({{272, 3}, {280, 0}, {280, 1}})},
        {375e6, writes({{272, 7}, {280, 0}, {280, 1}})},
        {187.5e6, writes({{272, 19}, {276, 4}, {280, 0}, {280, 1}})}, // ratio 16
        {30e6, writes({{272, 19}, {276, 25}, {280, 0}, {280, 1}})},
        {187500, writes({{272, 19}, {276, 4000}, {280, 0}, {280, 1}})}, // ratio 16000
        {100000, writes({{272, 51}, {276, 75}, {280, 0}, {280, 1}})},   // ratio 30000
        {1000, writes({{272, 55}, {276, 3750}, {280, 0}, {280, 1}})},
        {100, writes({{272, 3}, {280, 0}, {280, 1}})},
        {1e-3, writes({{272, 3}, {280, 0}, {280, 1}})}, // ratio beyond 32 bits
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.rate);
        EXPECT_EQ(KelPcieCfgDataRate(c, k.rate), 0);
        EXPECT_EQ(takeTrace(), k.expect);
    }
    for (double rate : {0.0, -1e6, double(NAN), double(INFINITY)})
        EXPECT_EQ(KelPcieCfgDataRate(c, rate), KELPCIE_ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(takeTrace().empty());
    KelPcieClose();
    EXPECT_EQ(KelPcieCfgDataRate(c, 1e9), KELPCIE_ERR_RATE_CODE);
}

TEST_F(Converter, TwelveBitPacking)
{
    const uint32_t c = openBoard();
    std::vector<int32_t> a(32), b(32);
    for (int i = 0; i < 32; ++i) {
        a[i] = 0x100 * i + 0x23 + (i << 16); // bits above 12 are dropped
        b[i] = -i;                           // two's complement, low 12 bits
    }
    a[0] = 0x123;
    a[1] = 0x456;
    EXPECT_EQ(KelPcieConfigureData(c, a.data(), b.data(), 32), 0);
    // Interleave blocks of 16: A[0..15], B[0..15], A[16..31], B[16..31].
    std::vector<uint32_t> work;
    for (int blk = 0; blk < 2; ++blk) {
        for (int k = 0; k < 16; ++k)
            work.push_back(static_cast<uint32_t>(a[16 * blk + k]));
        for (int k = 0; k < 16; ++k)
            work.push_back(static_cast<uint32_t>(b[16 * blk + k]));
    }
    const std::vector<uint8_t> packed = packBits(work);
    ASSERT_EQ(packed.size(), 128u);
    EXPECT_EQ(packed[0], 0x23);
    EXPECT_EQ(packed[1], 0x61);
    EXPECT_EQ(packed[2], 0x45);
    Strings expect = writes({{1296, 0}, {1288, 2}, {1280, 1}});
    expect.push_back("DW 0 128 0 " + hex(packed));
    expect.push_back("R 1308 1");
    for (const auto &w : writes({{1292, 0}, {1284, 2}, {1280, 2}, {1312, 0}, {1264, 0}, {1264, 1}}))
        expect.push_back(w);
    EXPECT_EQ(takeTrace(), expect);
    std::vector<uint8_t> received(128);
    EXPECT_EQ(LomPcieLastDownload(getDevHandle(), received.data(), received.size()), 128);
    EXPECT_EQ(received, packed);
}

TEST_F(Converter, SingleOutputDownloads)
{
    const uint32_t c = openBoard();
    std::vector<int32_t> s(16);
    for (int i = 0; i < 16; ++i)
        s[i] = 0xFFF - i;
    std::vector<uint32_t> pairsA, pairsB;
    for (int i = 0; i < 16; ++i) {
        pairsA.insert(pairsA.end(), {static_cast<uint32_t>(s[i]), 0u});
        pairsB.insert(pairsB.end(), {0u, static_cast<uint32_t>(s[i])});
    }
    EXPECT_EQ(KelPcieConfigureChanleAData(c, s.data(), 16), 0);
    Strings expect = writes({{1296, 0}, {1288, 2}, {1280, 1}});
    expect.push_back("DW 0 64 0 " + hex(packBits(pairsA)));
    expect.push_back("R 1308 1");
    for (const auto &w : writes({{1292, 0}, {1284, 2}, {1280, 2}}))
        expect.push_back(w);
    EXPECT_EQ(takeTrace(), expect);

    EXPECT_EQ(KelPcieConfigureChanleBData(c, s.data(), 16), 0);
    expect = writes({{1296, 0}, {1288, 2}, {1280, 1}});
    expect.push_back("DW 0 64 0 " + hex(packBits(pairsB)));
    for (const auto &w : writes({{1292, 0}, {1284, 2}, {1280, 2}}))
        expect.push_back(w);
    EXPECT_EQ(takeTrace(), expect);
}

TEST_F(Converter, DownloadCountsAndFailures)
{
    const uint32_t c = openBoard();
    std::vector<int32_t> s(40);
    EXPECT_EQ(KelPcieConfigureData(c, s.data(), s.data(), 20), KELPCIE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(KelPcieConfigureData(c, s.data(), s.data(), 0), KELPCIE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(KelPcieConfigureData(c, s.data(), nullptr, 16), KELPCIE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(KelPcieConfigureChanleAData(c, s.data(), 12), KELPCIE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(KelPcieConfigureChanleBData(c, nullptr, 8), KELPCIE_ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(takeTrace().empty());

    // A board that never accepts: 1000 polls, then the download goes on.
    configure({{"LOMPCIE_DA_ACCEPT", "0"}, {"KELPCIE_POLL_SLEEP_US", "0"}});
    int32_t connection = 0;
    ASSERT_EQ(KelPcieInit("PXI0::0::0INSTR", 0, 0, &connection), 0);
    clearTrace();
    EXPECT_EQ(KelPcieConfigureData(c, s.data(), s.data(), 16), 0);
    size_t polls = 0;
    for (const auto &line : takeTrace())
        polls += line == "R 1308 0";
    EXPECT_EQ(polls, 1000u);

    // A failed transfer: -994 right after the first acceptance read.
    KelPcieClose();
    clearTrace();
    EXPECT_EQ(KelPcieConfigureData(c, s.data(), s.data(), 16), KELPCIE_ERR_DA_TRANSFER);
    EXPECT_EQ(KelPcieConfigureChanleAData(c, s.data(), 8), KELPCIE_ERR_DA_TRANSFER);
    const Strings trace = takeTrace();
    EXPECT_EQ(trace.size(), 10u); // 3 writes, DW, one read; twice
    EXPECT_EQ(trace[4], "R 1308 0");
}
