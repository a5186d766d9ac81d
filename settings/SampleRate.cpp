// Sample-rate parsing and snapping for the Settings dialog.
#include "SampleRate.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

bool parseSampleRateText(const QString& text, TypedSampleRate* out)
{
    static const QRegularExpression pattern(QStringLiteral("(\\d+(?:\\.\\d+)?)\\s*(GS/s|MS/s|kS/s|S/s)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text.simplified());
    if (!match.hasMatch())
        return false;
    bool ok = false;
    const double value = match.captured(1).toDouble(&ok);
    // A run of hundreds of digits overflows; such a value is no rate.
    if (!ok || !std::isfinite(value))
        return false;
    const QString unit = match.captured(2).toUpper();
    double scale = 1.0;
    if (unit == QLatin1String("GS/S"))
        scale = 1e9;
    else if (unit == QLatin1String("MS/S"))
        scale = 1e6;
    else if (unit == QLatin1String("KS/S"))
        scale = 1000.0;
    const double rateHz = value * scale;
    if (!std::isfinite(rateHz))
        return false;
    out->value = value;
    out->unit = unit;
    out->rateHz = rateHz;
    return true;
}

int searchDecimationFactor(double baseHz, double rateHz)
{
    for (int r = 5; r <= 4001; ++r) {
        if (baseHz / (r - 1) > rateHz && rateHz >= baseHz / r)
            return r;
    }
    return -1;
}

namespace {

QString threeDecimals(double v)
{
    return QString::number(v, 'f', 3);
}

// The rate text of a divided rate: baseText / r in the larger unit, or in
// the next smaller unit (times 1000) when it falls below 1.
QString dividedRateText(double baseText, int r, const char* unit, const char* smallerUnit)
{
    const double q = baseText / r;
    if (q < 1.0)
        return threeDecimals(q * 1000.0) + QLatin1String(smallerUnit);
    return threeDecimals(q) + QLatin1String(unit);
}

// The chain rate for v by the divider table alone: the largest rate the
// chain produces that is not above v (v finite and at least 78.125 S/s).
bool chainChoice(double v, SampleRateChoice* out)
{
    SampleRateChoice c;
    c.mode = 2;
    if (v >= 1e9) {
        c = {QStringLiteral("1GS/s"), 0, -1, -1, 1e9};
    } else if (v >= 5e8) {
        c = {QStringLiteral("500MS/s"), 1, -1, -1, 5e8};
    } else if (v >= 2.5e8) {
        c = {QStringLiteral("250MS/s"), 2, 0, -1, 2.5e8};
    } else if (v >= 1.25e8) {
        c = {QStringLiteral("125MS/s"), 2, 1, -1, 1.25e8};
    } else if (v >= 6.25e7) {
        c = {QStringLiteral("62.5MS/s"), 2, 3, -1, 6.25e7};
    } else if (v >= 3.125e7) {
        c = {QStringLiteral("31.25MS/s"), 2, 7, -1, 3.125e7};
    } else if (v >= 1.5625e7) {
        c = {QStringLiteral("15.625MS/s"), 2, 19, 4, 1.5625e7};
    } else {
        double baseHz = 0.0;
        if (v >= 7812500.0) {
            baseHz = 6.25e7;
            c.decimationCode = 19;
        } else if (v >= 156250.0) {
            baseHz = 3.125e7;
            c.decimationCode = 23;
        } else if (v >= 78125.0) {
            baseHz = 625000.0;
            c.decimationCode = 51;
        } else {
            baseHz = 312500.0;
            c.decimationCode = 55;
        }
        c.factor = searchDecimationFactor(baseHz, v);
        // Every rate from 78.125 S/s upwards finds its divider within the
        // search range; the guard only keeps a division by -1 impossible.
        if (c.factor < 0)
            return false;
        c.rateHz = baseHz / c.factor;
        switch (c.decimationCode) {
        case 19:
            c.rateText = dividedRateText(62.5, c.factor, "MS/s", "KS/s");
            break;
        case 23:
            c.rateText = dividedRateText(31.25, c.factor, "MS/s", "KS/s");
            break;
        case 51:
            c.rateText = dividedRateText(625.0, c.factor, "KS/s", "S/s");
            break;
        default:
            c.rateText = dividedRateText(312.5, c.factor, "KS/s", "S/s");
            break;
        }
    }
    *out = c;
    return true;
}

// The rate a choice's text reads as when typed back in.
double shownRateHz(const SampleRateChoice& c)
{
    TypedSampleRate shown;
    return parseSampleRateText(c.rateText, &shown) ? shown.rateHz : c.rateHz;
}

}  // namespace

bool snapSampleRate(double v, SampleRateChoice* out)
{
    if (!std::isfinite(v) || v < 78.125)
        return false;
    // A rate text has three decimals, so the text of a faster rate may read
    // slightly below that rate ("1.157MS/s" is 31.25 MS/s / 27 rounded
    // down). Typed back in, such a text must select the rate it shows, or
    // every press of the apply button would step one rate further down.
    // The faster rates in question lie within half a unit of the last
    // decimal of v, under 0.05 % (the texts read at least 1 in their unit);
    // the chain's rates are at least 0.025 % apart, so a few steps down from
    // v + 0.1 % reach v's own choice.
    SampleRateChoice c;
    if (!chainChoice(std::min(v * 1.001, 1e9), &c))
        return false;
    while (c.rateHz > v && shownRateHz(c) > v) {
        if (!chainChoice(c.rateHz * (1 - 1e-9), &c))
            return false;
    }
    *out = c;
    return true;
}
