// KelPcieCancelFetch against the emulated board: every fetch that can wait
// for ever (a trigger that never fires, a two-channel capture that never
// finishes, a stalled stream) returns "cancelled" when another thread
// cancels it, long before its own time-out, and a cancel made before a
// fetch starts ends that fetch at once. Either way the next fetch works.
#include "BoardRegisters.h"
#include "DevapiFixture.h"

#include <chrono>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;

struct WaitingCase {
    const char *name;
    const char *variable;  // the emulator setting that makes it wait
    const char *value;
    int mode;              // trigger mode, or -1 for the two-channel fetch
};

class Cancel : public DevapiTest {
protected:
    uint32_t open(const WaitingCase &w)
    {
        // The 60 s limit of the triggered captures stays as it is (1 ms
        // polls); the stall limit is raised to the same minute.
        setenv(w.variable, w.value, 1);
        setenv("KELPCIE_STALL_TIMEOUT_MS", "60000", 1);
        return openBoard();
    }

    static int32_t fetch(uint32_t c, int mode, std::vector<double> &buf)
    {
        const uint32_t n = static_cast<uint32_t>(buf.size() / 4);
        if (mode < 0)
            return KelPcieFetchChannelAData(c, buf.data(), n);
        return KelPcieFetchData(c, buf.data(), buf.data() + n, buf.data() + 2 * n, buf.data() + 3 * n, n, 0,
                                mode, 0, 0, 1);
    }
};

const WaitingCase kWaiting[] = {
    {"edge", "LOMPCIE_TRIGGER_DELAY_MS", "never", KELPCIE_TRIGGER_EDGE},
    {"external", "LOMPCIE_TRIGGER_DELAY_MS", "never", KELPCIE_TRIGGER_EXTERNAL},
    {"two-channel", "LOMPCIE_TRIGGER_DELAY_MS", "never", -1},
    {"stalled stream", "LOMPCIE_STREAM_RATE", "0", KELPCIE_TRIGGER_CONTINUOUS},
};

} // namespace

TEST_F(Cancel, WaitingFetchesReturnCancelledFromAnotherThreadAndTheNextFetchWorks)
{
    for (const WaitingCase &w : kWaiting) {
        SCOPED_TRACE(w.name);
        const uint32_t c = open(w);
        const bool stream = w.mode == KELPCIE_TRIGGER_CONTINUOUS;
        if (stream) {
            KelPcieWriteData(c, boardreg::StreamEnable, 1);
            KelPcieWriteData(c, boardreg::Command, boardreg::CommandCapture);
        }
        std::vector<double> buf(4 * 64, 1e9);
        auto running = std::async(std::launch::async, [&] { return fetch(c, w.mode, buf); });
        // Whether the cancel lands while the fetch polls or just before it
        // starts, it must end that fetch.
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(KelPcieCancelFetch(c), KELPCIE_OK);
        ASSERT_EQ(running.wait_for(20s), std::future_status::ready) << "long before the 60 s time-out";
        EXPECT_EQ(running.get(), KELPCIE_ERR_CANCELLED);
        for (double x : buf)
            ASSERT_EQ(x, 1e9) << "a cancelled fetch writes nothing";
        // The cancel was used up: a free-run fetch delivers.
        if (stream)
            KelPcieWriteData(c, boardreg::StreamEnable, 0);
        EXPECT_EQ(fetch(c, KELPCIE_TRIGGER_FREE, buf), KELPCIE_OK);
        unsetenv(w.variable);
    }
}

TEST_F(Cancel, CancelBeforeAFetchEndsThatFetchOnlyAndMovesNothing)
{
    const uint32_t c = openBoard();
    std::vector<double> buf(4 * 64, 1e9);
    EXPECT_EQ(KelPcieCancelFetch(c), KELPCIE_OK);
    EXPECT_EQ(KelPcieCancelFetch(c), KELPCIE_OK); // two cancels are still one
    EXPECT_EQ(fetch(c, KELPCIE_TRIGGER_FREE, buf), KELPCIE_ERR_CANCELLED);
    for (const std::string &line : takeTrace())
        EXPECT_NE(line.rfind("W ", 0), 0u) << "nothing armed: " << line;
    EXPECT_EQ(fetch(c, KELPCIE_TRIGGER_FREE, buf), KELPCIE_OK);
    EXPECT_EQ(fetch(c, -1, buf), KELPCIE_OK);
}
