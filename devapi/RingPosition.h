// RingPosition.h - where a record lies in the board's DDR4 ring: the start
// unit of a triggered record and its split at the ring end, and the span of
// a continuous read with the test for "the board has written it". Pure
// functions, internal to KelPcieApi (header-only so tests can check them
// directly).
#pragma once

#include <cstdint>

namespace kelpcie {

// A record of `occupied` units from `start`; when it runs past the last
// unit its final `tail` units lie at the start of the ring.
struct RingSpan {
    int64_t start = 0;
    bool wraps = false;
    uint32_t tail = 0;
};

// Triggered record: start = trunc(offset / 8) + trigger unit. Past the last
// unit the board's convention subtracts the last index (not the ring size);
// below zero it adds it.
inline RingSpan triggeredSpan(int64_t triggerUnit, int32_t offsetSamples, uint32_t occupied, int64_t lastUnit)
{
    RingSpan span;
    span.start = offsetSamples / 8 + triggerUnit;
    if (span.start > lastUnit)
        span.start -= lastUnit;
    if (span.start < 0)
        span.start += lastUnit;
    const int64_t end = static_cast<int64_t>(occupied) + span.start - 1;
    if (end > lastUnit) {
        span.wraps = true;
        span.tail = static_cast<uint32_t>(end - lastUnit);
    }
    return span;
}

// Continuous read of `occupied` units from the read position `r`.
struct ContinuousSpan {
    RingSpan span;
    uint32_t readPosition = 0; // r
    uint32_t lastUnit = 0;     // last unit of the record, in ring indices
    uint32_t next = 0;         // first unit not yet read: the next read's start
};

inline ContinuousSpan continuousSpan(uint32_t r, uint32_t occupied, int64_t lastUnit)
{
    ContinuousSpan c;
    c.readPosition = r;
    c.span.start = r;
    const int64_t end = static_cast<int64_t>(r) + occupied - 1;
    c.lastUnit = static_cast<uint32_t>(end);
    c.next = static_cast<uint32_t>(end + 1);
    if (end > lastUnit) {
        c.span.wraps = true;
        c.span.tail = static_cast<uint32_t>(end - lastUnit);
        c.lastUnit = c.span.tail - 1;
        c.next = c.span.tail;
    } else if (c.next > lastUnit) {
        c.next = 0;
    }
    return c;
}

// Whether the board, whose next write unit is `writeUnit`, has written the
// whole record. Without a wrap the pointer must lie beyond the last unit, or
// so far behind it (more than 0x2FFFFFF units) that it is taken to be a lap
// ahead. A record across the ring end needs the pointer to have wrapped
// too: beyond the tail but not yet back at the record's start.
inline bool continuousWritten(const ContinuousSpan &c, uint32_t writeUnit)
{
    if (!c.span.wraps)
        return writeUnit > c.lastUnit || static_cast<int64_t>(c.lastUnit) - writeUnit > 0x2FFFFFF;
    return writeUnit > c.lastUnit && writeUnit < c.readPosition;
}

} // namespace kelpcie
