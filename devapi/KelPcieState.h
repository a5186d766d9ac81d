// KelPcieState.h - the device library's process-wide state (one open board
// per process) and helpers shared by its source files. Internal to
// KelPcieApi; callers serialise their calls, so nothing here is locked.
#pragma once

#include "LomPcieDmaDll.h"

#include <cstdint>
#include <vector>

namespace kelpcie {

struct DeviceState {
    LomPcieHandle handle = nullptr;
    uint32_t ddrLastUnit = 0x3FFFFFFu;
    // Next unit a continuous read (trigger mode 2) starts at.
    uint32_t ringReadPosition = 0;
    // Raw block buffer of KelPcieFetchData, kept while the length stays.
    std::vector<uint8_t> rawBlock;
    uint32_t rawBlockSamples = 0;
    // Two-channel records and their common length.
    bool haveRecordA = false;
    bool haveRecordB = false;
    std::vector<double> recordA;
    std::vector<double> recordB;
    uint32_t twoChannelLength = 0;
    uint32_t windowType = 0;
};

DeviceState &state();

// Sleep between register polls: 1 ms, or KELPCIE_POLL_SLEEP_US microseconds.
void pollSleep();

} // namespace kelpcie
