// The lock around the device library's FFT calls: writers exclude each other
// and readers; readers share. Run under ThreadSanitizer, with time-outs so
// that a lock that never opens fails instead of hanging.
#include "RWLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

TEST(RWLock, WritersExcludeEachOther)
{
    kelpcie::RWLock lock;
    long counter = 0; // plain: only the lock orders the increments
    const auto writer = [&] {
        for (int i = 0; i < 20000; ++i) {
            lock.lock();
            ++counter;
            lock.unlock();
        }
    };
    auto a = std::async(std::launch::async, writer);
    auto b = std::async(std::launch::async, writer);
    ASSERT_EQ(a.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    ASSERT_EQ(b.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_EQ(counter, 40000);
}

TEST(RWLock, ReadersShareAndAWriterWaitsForThem)
{
    kelpcie::RWLock lock;
    lock.lockShared();
    // A second reader gets in while the first holds the lock.
    auto reader = std::async(std::launch::async, [&] {
        lock.lockShared();
        lock.unlockShared();
    });
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    // A writer waits until the last reader leaves.
    std::atomic<bool> written{false};
    auto writer = std::async(std::launch::async, [&] {
        lock.lock();
        written = true;
        lock.unlock();
    });
    EXPECT_EQ(writer.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    EXPECT_FALSE(written.load());
    lock.unlockShared();
    ASSERT_EQ(writer.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_TRUE(written.load());
}
