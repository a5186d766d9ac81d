// Snapping of typed sample rates to what the board's decimation chain can
// produce. Expected dividers and texts are worked out by hand from the chain
// (base rates 62.5 MS/s, 31.25 MS/s, 625 kS/s and 312.5 kS/s divided by r,
// the largest base / r not above the typed rate), e.g. 12 MS/s:
// 62.5e6 / 5 = 12.5e6 > 12e6 >= 62.5e6 / 6 = 10.4167e6, so r = 6.
#include "SampleRate.h"

#include <QString>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct Row
{
    const char* typed;
    const char* text;
    int mode;
    int code;
    int factor;
};

void expectSnap(const Row& row)
{
    TypedSampleRate typed;
    ASSERT_TRUE(parseSampleRateText(QString::fromUtf8(row.typed), &typed)) << row.typed;
    SampleRateChoice choice;
    ASSERT_TRUE(snapSampleRate(typed.rateHz, &choice)) << row.typed;
    EXPECT_EQ(choice.rateText, QString::fromUtf8(row.text)) << row.typed;
    EXPECT_EQ(choice.mode, row.mode) << row.typed;
    EXPECT_EQ(choice.decimationCode, row.code) << row.typed;
    EXPECT_EQ(choice.factor, row.factor) << row.typed;
    // The chosen rate never exceeds the typed one (except the 1 GS/s cap),
    // unless typed is its own three-decimal text rounded down.
    if (typed.rateHz < 1e9 && QString::fromUtf8(row.typed) != choice.rateText) {
        EXPECT_LE(choice.rateHz, typed.rateHz) << row.typed;
    }
}

}  // namespace

TEST(SampleRateSnap, FixedRatesOfTheUpperRanges)
{
    const Row rows[] = {
        {"1 GS/s", "1GS/s", 0, -1, -1},       {"1gs/s", "1GS/s", 0, -1, -1},
        {"2GS/s", "1GS/s", 0, -1, -1},        {"999.9MS/s", "500MS/s", 1, -1, -1},
        {"500MS/s", "500MS/s", 1, -1, -1},    {"300 MS/s", "250MS/s", 2, 0, -1},
        {"125MS/s", "125MS/s", 2, 1, -1},     {"100MS/s", "62.5MS/s", 2, 3, -1},
        {"40MS/s", "31.25MS/s", 2, 7, -1},    {"20MS/s", "15.625MS/s", 2, 19, 4},
        {"15.625MS/s", "15.625MS/s", 2, 19, 4},
    };
    for (const Row& row : rows)
        expectSnap(row);
}

TEST(SampleRateSnap, DividedRatesOfTheLowerRanges)
{
    const Row rows[] = {
        // 62.5 / 5 = 12.5 MS/s is the first divided rate below 15.625 MS/s.
        {"15.6MS/s", "12.500MS/s", 2, 19, 5},
        {"12 MS/s", "10.417MS/s", 2, 19, 6},
        // 31.25e6 / 26 = 1.2019e6 > 1.2e6 >= 31.25e6 / 27 = 1.1574e6.
        {"1.2MS/s", "1.157MS/s", 2, 23, 27},
        // 31.25 / 200 = 0.15625 MS/s: below 1, so written in kS/s.
        {"156.25kS/s", "156.250KS/s", 2, 23, 200},
        // 625 / 7 = 89.286 kS/s <= 100 kS/s < 625 / 6 = 104.2 kS/s.
        {"100kS/s", "89.286KS/s", 2, 51, 7},
        {"78.125kS/s", "78.125KS/s", 2, 51, 8},
        // Just below 78.125 kS/s the 312.5 kS/s base takes over: 312.5 / 5.
        {"78.124kS/s", "62.500KS/s", 2, 55, 5},
        // 312.5 / 313 = 0.998403 kS/s: below 1, so written in S/s.
        {"1000S/s", "998.403S/s", 2, 55, 313},
        // The slowest rate the chain reaches: 312.5 kS/s / 4000.
        {"78.125S/s", "78.125S/s", 2, 55, 4000},
    };
    for (const Row& row : rows)
        expectSnap(row);
}

TEST(SampleRateSnap, SearchFindsTheLargestDividedRateNotAboveTheTarget)
{
    EXPECT_EQ(searchDecimationFactor(6.25e7, 12e6), 6);
    EXPECT_EQ(searchDecimationFactor(6.25e7, 12.5e6), 5);    // exactly base / 5
    EXPECT_EQ(searchDecimationFactor(3.125e7, 1.2e6), 27);
    EXPECT_EQ(searchDecimationFactor(312500.0, 78.125), 4000);
    // Nothing from r = 5 upwards fits rates at or above base / 4, nor rates
    // below base / 4001.
    EXPECT_EQ(searchDecimationFactor(6.25e7, 6.25e7 / 4), -1);
    EXPECT_EQ(searchDecimationFactor(312500.0, 50.0), -1);
}

TEST(SampleRateSnap, RatesBelowTheSlowestAreRefused)
{
    SampleRateChoice choice;
    choice.rateText = QStringLiteral("untouched");
    EXPECT_FALSE(snapSampleRate(78.12, &choice));
    EXPECT_FALSE(snapSampleRate(50.0, &choice));
    EXPECT_FALSE(snapSampleRate(0.0, &choice));
    EXPECT_FALSE(snapSampleRate(-1e6, &choice));
    EXPECT_FALSE(snapSampleRate(std::numeric_limits<double>::quiet_NaN(), &choice));
    EXPECT_EQ(choice.rateText, QStringLiteral("untouched"));
    // Infinity is not a rate either, though it is above 1 GS/s.
    EXPECT_FALSE(snapSampleRate(std::numeric_limits<double>::infinity(), &choice));
}

TEST(SampleRateParse, ReadsNumberAndUnitInAnyCaseAndSpacing)
{
    TypedSampleRate t;
    ASSERT_TRUE(parseSampleRateText(QStringLiteral("  12   ms/S "), &t));
    EXPECT_EQ(t.value, 12.0);
    EXPECT_EQ(t.unit, QStringLiteral("MS/S"));
    EXPECT_EQ(t.rateHz, 12e6);
    ASSERT_TRUE(parseSampleRateText(QStringLiteral("1.2MS/s"), &t));
    EXPECT_DOUBLE_EQ(t.rateHz, 1.2e6);
    ASSERT_TRUE(parseSampleRateText(QStringLiteral("100kS/s"), &t));
    EXPECT_EQ(t.unit, QStringLiteral("KS/S"));
    EXPECT_EQ(t.rateHz, 1e5);
    ASSERT_TRUE(parseSampleRateText(QStringLiteral("1000S/s"), &t));
    EXPECT_EQ(t.unit, QStringLiteral("S/S"));
    EXPECT_EQ(t.rateHz, 1000.0);
}

TEST(SampleRateParse, RefusesTextWithoutNumberAndUnit)
{
    TypedSampleRate t;
    t.value = -7.0;
    for (const char* text : {"", "fast", "12", "MS/s", "12 Hz", "   "})
        EXPECT_FALSE(parseSampleRateText(QString::fromUtf8(text), &t)) << text;
    EXPECT_EQ(t.value, -7.0);
    // The number is looked for anywhere in the text: ".5MS/s" reads 5 MS/s,
    // and the snapped result shown in the field makes that visible.
    ASSERT_TRUE(parseSampleRateText(QStringLiteral(".5MS/s"), &t));
    EXPECT_EQ(t.rateHz, 5e6);
    // Hundreds of digits overflow a double: refused rather than taken as
    // infinity or zero.
    t.value = -7.0;
    EXPECT_FALSE(parseSampleRateText(QString(400, QLatin1Char('9')) + QStringLiteral("GS/s"), &t));
    EXPECT_EQ(t.value, -7.0);
}

// The dialog puts the chosen text into the field; pressing apply again must
// keep the rate. Texts are rounded to three decimals, and some read below
// their rate (1.157MS/s for 1.15741 MS/s), which used to step one rate down
// per press. Every rate of the chain is checked, from its own text.
TEST(SampleRateSnap, ReapplyingTheChosenTextKeepsTheRate)
{
    const struct { double baseHz; int lastFactor; } bases[] = {
        {6.25e7, 8}, {3.125e7, 200}, {625000.0, 8}, {312500.0, 4000}};
    int checked = 0;
    for (const auto& b : bases) {
        for (int r = 5; r <= b.lastFactor; ++r) {
            SampleRateChoice first;
            ASSERT_TRUE(snapSampleRate(b.baseHz / r, &first)) << b.baseHz << " / " << r;
            TypedSampleRate shown;
            ASSERT_TRUE(parseSampleRateText(first.rateText, &shown)) << first.rateText.toStdString();
            SampleRateChoice again;
            ASSERT_TRUE(snapSampleRate(shown.rateHz, &again)) << first.rateText.toStdString();
            EXPECT_EQ(again.rateText, first.rateText);
            EXPECT_EQ(again.factor, first.factor) << first.rateText.toStdString();
            EXPECT_EQ(again.decimationCode, first.decimationCode) << first.rateText.toStdString();
            ++checked;
        }
    }
    EXPECT_GT(checked, 4000);
    expectSnap({"1.157MS/s", "1.157MS/s", 2, 23, 27});
    expectSnap({"4.464MS/s", "4.464MS/s", 2, 23, 7});
}
