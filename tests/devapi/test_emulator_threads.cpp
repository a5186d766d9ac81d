// The emulated board serialises its calls on one mutex: two threads that
// drive it at once (register traffic, captures, DMA, discovery) must not
// race or deadlock. Run under ThreadSanitizer; a time-out turns a deadlock
// into a failure.
#include "LomPcieEmulatorControl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <vector>

TEST(EmulatorThreads, ConcurrentCallsOnOneBoard)
{
    setenv("LOMPCIE_BOARDS", "2", 1);
    unsetenv("LOMPCIE_TRACE");
    LomPcieResetEmulator();
    LomPcieHandle h = nullptr;
    ASSERT_EQ(OpenDev(0, 0, 0, &h), 0);
    std::atomic<int> failures{0};
    const auto worker = [&](int id) {
        std::vector<uint32_t> buffer(256);
        for (int i = 0; i < 300; ++i) {
            uint32_t v = 0;
            if (WriteUint32(h, 4000 + id * 4, static_cast<uint32_t>(i)) != 0
                || ReadUint32(h, 4000 + id * 4, &v) != 0 || v != static_cast<uint32_t>(i))
                ++failures;
            WriteUint32(h, 788, static_cast<uint32_t>(i));
            WriteUint32(h, 792, 4);
            WriteUint32(h, 768, id ? 1u : 2u);
            ReadUint32(h, 812, &v);
            if (ReadDMA(h, 0, buffer.data(), buffer.size() * 4) != 0)
                ++failures;
            SlomPXIDevInfo *list = nullptr;
            uint32_t count = 0;
            FindDev(&list, &count);
        }
    };
    auto a = std::async(std::launch::async, worker, 0);
    auto b = std::async(std::launch::async, worker, 1);
    ASSERT_EQ(a.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    ASSERT_EQ(b.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(CloseDev(&h), 0);
}
