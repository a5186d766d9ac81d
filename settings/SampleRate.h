// Sample-rate snapping: turns a rate typed by the user ("12 MS/s", "1gs/s",
// "100kS/s") into the nearest rate the board's decimation chain can produce
// at or below it, with the register values that select it. Pure functions,
// no widgets: the Settings dialog calls them and announces the result.
//
// The chain (register names of BoardRegisters.h): m selects the base rate
// (RateMode: 0 = 1 GS/s, 1 = 500 MS/s, 2 = 250 MS/s and below); bits 0 to 2
// of the decimation code o (DecimationCode) each add a halving stage after
// 250 MS/s, bit 4 the stage that divides by the factor r (DecimationFactor),
// bit 5 a further division by 100. r and o are
// -1 where no such register value applies.
#pragma once

#include <QString>

struct TypedSampleRate
{
    double value = 0.0;  // the number as typed, in the typed unit
    QString unit;        // the unit in upper case: "GS/S", "MS/S", "KS/S" or "S/S"
    double rateHz = 0.0; // value converted to samples per second
};

struct SampleRateChoice
{
    QString rateText;       // "1GS/s", "10.417MS/s", "998.403S/s"
    int mode = -1;          // m, RateMode
    int decimationCode = -1;// o, DecimationCode
    int factor = -1;        // r, DecimationFactor
    double rateHz = 0.0;    // the rate the chain produces, samples per second
};

// Reads a typed rate: white space is simplified, then a number with an
// optional fraction followed by one of the units GS/s, MS/s, kS/s or S/s
// (case-insensitive) is looked for. Returns false, leaving out untouched,
// when there is no such match or the number is not a finite value.
bool parseSampleRateText(const QString& text, TypedSampleRate* out);

// Chooses the board rate for rateHz: the largest rate the chain produces
// that is not above rateHz (1 GS/s for anything at or above 1 GS/s). A rate
// whose three-decimal text is not above rateHz counts as not above it, so a
// choice's own text, typed back in, chooses it again ("1.157MS/s" keeps
// 31.25 MS/s / 27 = 1.15741 MS/s rather than falling to the next rate down);
// snapping is idempotent on both the rate and its text. Returns false for
// rates below 78.125 S/s, the slowest the chain reaches, and for values that
// are not finite; out is then left untouched.
bool snapSampleRate(double rateHz, SampleRateChoice* out);

// The divider search of the slow ranges: the first r from 5 up to 4001 with
// base / (r - 1) > rateHz >= base / r, that is the largest base / r not above
// rateHz; -1 when none qualifies.
int searchDecimationFactor(double baseHz, double rateHz);
