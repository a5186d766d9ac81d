// KelPcieState.h - the device library's process-wide state (one open board
// per process) and helpers shared by its source files:
//   KelPcieConnection.cpp  connection, register and DMA pass-through, the
//                          state and the register helpers below
//   KelPcieFetch.cpp       waveform and two-channel fetches
//   KelPcieFft.cpp         spectra and window coefficients
//   KelPcieConverter.cpp   converter, mode, rate and DA set-up
// Internal to KelPcieApi; callers serialise their calls, so nothing here is
// locked.
#pragma once

#include "KelPcieApi.h"

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

// How long a continuous read waits for a write pointer that does not move:
// 1000 ms, or KELPCIE_STALL_TIMEOUT_MS.
long stallTimeoutMs();

// One register write to the open board; the driver's result.
int32_t writeReg(uint64_t reg, uint32_t value);

// One register read from the open board; 0 when the read fails.
uint32_t readReg(uint64_t reg);

// Takes a pending KelPcieCancelFetch: true when one was pending, which is
// then cleared. The flag is the library's only state shared between
// threads; it is an atomic so that the cancelling thread needs no lock.
bool takeCancel();

// What pollUntilSet returns when a cancel was taken while it polled.
constexpr uint32_t kPollCancelled = 0xFFFFFFFFu;

// Polls `reg` (read, then sleep) until it is non-zero; returns the index of
// the poll that saw it (0-based), `limit` when none did, or kPollCancelled
// when a cancel came first (looked at before each read).
uint32_t pollUntilSet(uint64_t reg, uint32_t limit);

// Runs an export's body at the C boundary: no exception may leave the
// library, and the only ones its bodies can raise are allocation failures,
// which become KELPCIE_ERR_FAILED. Every export goes through here so that
// a body added later cannot forget it.
template <typename Body>
int32_t guarded(Body &&body) noexcept
{
    try {
        return body();
    } catch (...) {
        return KELPCIE_ERR_FAILED;
    }
}

} // namespace kelpcie
