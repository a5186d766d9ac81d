// Ring arithmetic of the fetch: continuous read spans near the ring end
// (out of reach of a test through the board: the read position only moves
// by the records read) and the wait for the board's write pointer.
#include "RingPosition.h"

#include <gtest/gtest.h>

namespace {
constexpr int64_t kLast = 0x3FFFFFF;
}

TEST(RingPosition, ContinuousSpanAdvancesToTheFirstUnreadUnit)
{
    const kelpcie::ContinuousSpan a = kelpcie::continuousSpan(0, 128, kLast);
    EXPECT_FALSE(a.span.wraps);
    EXPECT_EQ(a.lastUnit, 127u);
    EXPECT_EQ(a.next, 128u);
    // Ending exactly on the last unit: the next read starts at unit 0.
    const kelpcie::ContinuousSpan b = kelpcie::continuousSpan(kLast - 127, 128, kLast);
    EXPECT_FALSE(b.span.wraps);
    EXPECT_EQ(b.next, 0u);
    // Across the end: 4 units before it, 6 from unit 0 on.
    const kelpcie::ContinuousSpan c = kelpcie::continuousSpan(kLast - 3, 10, kLast);
    EXPECT_TRUE(c.span.wraps);
    EXPECT_EQ(c.span.start, kLast - 3);
    EXPECT_EQ(c.span.tail, 6u);
    EXPECT_EQ(c.lastUnit, 5u);
    EXPECT_EQ(c.next, 6u);
}

TEST(RingPosition, WaitForTheWriterBeforeReading)
{
    const kelpcie::ContinuousSpan a = kelpcie::continuousSpan(0, 128, kLast);
    EXPECT_FALSE(kelpcie::continuousWritten(a, 0));
    EXPECT_FALSE(kelpcie::continuousWritten(a, 127));
    EXPECT_TRUE(kelpcie::continuousWritten(a, 128));
    EXPECT_TRUE(kelpcie::continuousWritten(a, kLast)); // far ahead in the ring

    const kelpcie::ContinuousSpan mid = kelpcie::continuousSpan(0x3000000, 16, kLast);
    EXPECT_FALSE(kelpcie::continuousWritten(mid, 0x2FFFFF0)); // just behind: wait
    EXPECT_TRUE(kelpcie::continuousWritten(mid, 5));          // a lap ahead

    // A record across the ring end is complete only when the writer has
    // wrapped past its tail: a pointer still before the end has not yet
    // written units 0..5, however large its index.
    const kelpcie::ContinuousSpan c = kelpcie::continuousSpan(kLast - 3, 10, kLast);
    EXPECT_FALSE(kelpcie::continuousWritten(c, kLast - 1));
    EXPECT_FALSE(kelpcie::continuousWritten(c, kLast));
    EXPECT_FALSE(kelpcie::continuousWritten(c, 5));
    EXPECT_TRUE(kelpcie::continuousWritten(c, 6));
    EXPECT_TRUE(kelpcie::continuousWritten(c, 1000));
}

TEST(RingPosition, TriggeredSpanKeepsTheBoardConvention)
{
    // Offsets divide toward zero; beyond the end the last index is
    // subtracted, below zero it is added.
    EXPECT_EQ(kelpcie::triggeredSpan(100, -1600, 125, kLast).start, 67108763);
    EXPECT_EQ(kelpcie::triggeredSpan(1000, -9, 1, kLast).start, 999);
    EXPECT_EQ(kelpcie::triggeredSpan(kLast - 1, 80, 1, kLast).start, 9);
    const kelpcie::RingSpan w = kelpcie::triggeredSpan(67108860, 0, 125, kLast);
    EXPECT_TRUE(w.wraps);
    EXPECT_EQ(w.tail, 121u);
    EXPECT_FALSE(kelpcie::triggeredSpan(67108860, 0, 4, kLast).wraps);
    EXPECT_EQ(kelpcie::triggeredSpan(67108860, 0, 5, kLast).tail, 1u);
}
