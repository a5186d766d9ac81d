// Acquisition parameters read from the control texts, and the single
// acquisition's simulated record.
#include "RecordSource.h"
#include "RunControl.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cmath>

using namespace h452;
using acquisition::fillSingleShotSimulation;

TEST(RunParameters, AddressIsHexAndInvalidTextsGiveZero)
{
    bool valid = false;
    EXPECT_EQ(parseDdr4Address("1F", &valid), 0x1f);
    EXPECT_TRUE(valid);
    EXPECT_EQ(parseDdr4Address("7fffffff", &valid), 0x7fffffff);
    EXPECT_TRUE(valid);
    // Twelve hex digits pass the edit's validator but not the board's
    // address parameter: refused instead of silently truncated.
    EXPECT_EQ(parseDdr4Address("ffffffffffff", &valid), 0);
    EXPECT_FALSE(valid);
    EXPECT_EQ(parseDdr4Address("xyz", &valid), 0);
    EXPECT_FALSE(valid);
    EXPECT_EQ(parseDdr4Address("", &valid), 0);
    EXPECT_FALSE(valid);
    EXPECT_EQ(parseDdr4Address("-1", &valid), 0);
    EXPECT_FALSE(valid);
}

TEST(RunParameters, LevelIsHeldInsideTheCodeRange)
{
    EXPECT_EQ(parseTriggerLevel("100"), 100);
    EXPECT_EQ(parseTriggerLevel("-250"), -250);
    EXPECT_EQ(parseTriggerLevel("40000"), 32767);   // would wrap to -25536
    EXPECT_EQ(parseTriggerLevel("-40000"), -32768);
    EXPECT_EQ(parseTriggerLevel("abc"), 0);
    EXPECT_EQ(parseTriggerLevel(""), 0);
    EXPECT_EQ(parseTriggerOffset("100"), 100);
    EXPECT_EQ(parseTriggerOffset("1.5"), 0);

    const AcquisitionParameters p = readAcquisitionParameters(1000, "zz", 4, "7", 3, "9");
    EXPECT_EQ(p.recordLength, 1000);
    EXPECT_FALSE(p.ddr4AddressValid);
    EXPECT_EQ(p.ddr4Address, 0);
    EXPECT_EQ(p.triggerMode, 4);
    EXPECT_EQ(p.triggerLevel, 7);
    EXPECT_EQ(p.triggerSlope, 3);
    EXPECT_EQ(p.triggerOffset, 9);
}

TEST(SingleShotSimulation, SignalsNoiseAndDrawOrder)
{
    const int n = 1000;
    std::vector<double> a(n), b(n), c(n), d(n);
    double* ch[4] = {a.data(), b.data(), c.data(), d.data()};
    QRandomGenerator noise(42);
    fillSingleShotSimulation(ch, n, noise);

    const double pi = 3.14159265358979;
    for (int i = 0; i < n; ++i) {
        // The simulated phase step 0.01 * 12.5663704 is 2 pi / 50 to 1e-9:
        // the sine repeats every 50 samples (20 MHz at 1 GS/s).
        const double s = std::sin(2 * pi * i / 50.0);
        const double n0 = a[i] - 400 * s, n1 = b[i] - 300 * s;
        const double n2 = c[i] - (i % 100 < 50 ? 350 : -350);
        const double n3 = d[i] - (i % 100 < 50 ? 230 : -230);
        for (double v : {n0, n1, n2, n3}) {
            // 1e-3: the phase constant differs from 2 pi / 50 by < 1e-8 per
            // sample, i.e. < 4e-3 codes after 1000 samples.
            ASSERT_GE(v, -4e-3) << i;
            ASSERT_LE(v, 29 + 4e-3) << i;
            ASSERT_NEAR(v, std::round(v), 4e-3) << i;
        }
    }
    // Draw order: channel 0 and 2 alternate through the first pass.
    QRandomGenerator again(42);
    const auto draw = [&again] { return double((quint64(again.generate()) * 30) >> 32); };
    EXPECT_NEAR(a[0] - 0.0, draw(), 1e-9);
    EXPECT_NEAR(c[0] - 350.0, draw(), 1e-9);
    EXPECT_NEAR(a[1] - 400 * std::sin(0.01 * 12.5663704), draw(), 1e-9);

    fillSingleShotSimulation(ch, 0, noise);   // nothing to do, nothing touched
}
