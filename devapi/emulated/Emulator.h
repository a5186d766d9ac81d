// Emulator.h - the emulated H452 board's state and the operations on it,
// shared by the emulator's source files (internal to LomPcieDmaDll):
//   EmulatorConfig.cpp   configuration from the environment
//   EmulatedRing.cpp     the DDR4 ring: spans of captured content, synthesis, DMA
//   EmulatedBoard.cpp    captures, the trigger and register side effects
//   LomPcieDmaDll.cpp    the exported driver functions and the trace
//
// The board's memory is never allocated: what a unit of the DDR4 ring holds
// is a function of its index and of the capture that last wrote it. Each
// capture records a "span" (a range of units and the absolute sample index
// at its first unit); reading a unit synthesises the signal at the sample
// indices of the span that covers it. Units no capture has written hold the
// signal from sample 0 on. A continuous capture is one long span that grows
// with time. All state is per process and guarded by Emulator::mutex, which
// every exported function holds for its whole call.
#pragma once

#include "EmulatedSignal.h"
#include "LomPcieDmaDll.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace lompcie {

constexpr uint32_t kRingUnits = LOMPCIE_RING_UNITS;
constexpr uint32_t kRingMask = kRingUnits - 1;
constexpr int kSamplesPerUnit = 8;
constexpr int kWordsPerUnit = 32; // 16-bit words

// Size of the DA memory: longer downloads are refused.
constexpr uint64_t kDaMemoryBytes = 64ull << 20;

// What the environment asks of the emulated board (LomPcieEmulatorControl.h).
struct Config {
    uint32_t boards = 0;
    bool ramp = false;
    // LOMPCIE_PATTERN=units: the ramp with each unit's index in its first
    // two words, so a recording tells which ring units it holds.
    bool unitMarks = false;
    SignalConfig signals[4];
    uint64_t seed = 1;
    bool triggerNever = false;
    double triggerDelayS = 0.001;
    bool triggerUnitForced = false;
    uint32_t triggerUnit = 0;
    double streamUnitsPerS = 250000;
    bool daAccept = true;
    std::string tracePath;
    // The bus-cost model (LOMPCIE_COST_*, LOMPCIE_LINK_BYTES_PER_S): what a
    // register write, a register read and a DMA call last at least, and the
    // link's bytes per second a DMA's bytes take on top of its call cost.
    // 0: not charged (the default: every call answers at memory speed).
    double costWriteNs = 0;
    double costReadNs = 0;
    double costDmaNs = 0;
    double linkBytesPerS = 0;
    // LOMPCIE_VANISH_AFTER_DMA=n: after n ReadDMA calls the board is gone
    // (unplugged, driver lost): register and DMA calls on an open handle
    // fail with LOMPCIE_ERR_NODEVICE. Default: never.
    uint64_t vanishAfterDma = UINT64_MAX;
};

// Reads the LOMPCIE_* variables; malformed values are reported on stderr
// and leave the default.
Config readConfig();

// One contiguous range [begin, end) of ring units written by one capture.
struct Span {
    uint32_t end;
    int64_t firstSample; // absolute sample index of sample 0 of unit `begin`
    double rateHz;
    bool lowPass;
};

enum class DmaSource { Ring, TwoChannel };

struct Board {
    uint32_t index = 0;
    bool open = false;
    std::unordered_map<uint64_t, uint32_t> regs;
    std::map<uint32_t, Span> spans; // keyed by begin; non-overlapping
    // Triggered capture.
    bool armed = false;
    bool fired = false;
    bool externalSource = false;
    double armedAtS = 0.0;
    uint32_t triggerUnit = 0;
    bool captureDone = false;
    // Continuous capture.
    bool streaming = false;
    double streamStartS = 0.0;
    uint32_t streamStartUnit = 0;
    int64_t streamFirstSample = 0;
    double streamRateHz = 1e9;
    uint64_t streamFrozenUnits = 0; // units written when the stream stopped
    uint32_t writePointer = 0;
    // DMA.
    DmaSource dmaSource = DmaSource::Ring;
    uint64_t dmaCursorBytes = 0;
    int64_t twoChannelFirstSample = 0;
    bool twoChannelDone = false;
    // DA.
    bool daPending = false;
    bool daAccepted = false;
    std::vector<uint8_t> lastDownload;
};

struct Emulator {
    std::mutex mutex;
    bool configured = false;
    Config config;
    std::vector<SlomPXIDevInfo> records;
    std::vector<std::unique_ptr<Board>> boards;
    uint32_t generation = 0;
    std::chrono::steady_clock::time_point start;
    uint64_t dmaCalls = 0; // ReadDMA calls since configure() (LOMPCIE_VANISH_AFTER_DMA)

    // Whether the board has vanished (Config::vanishAfterDma).
    bool vanished() const { return dmaCalls >= config.vanishAfterDma; }
    // The modelled duration of a DMA of `bytes` bytes, in ns (0: model off).
    double dmaCostNs(uint64_t bytes) const
    {
        return config.costDmaNs + (config.linkBytesPerS > 0 ? double(bytes) * 1e9 / config.linkBytesPerS : 0.0);
    }

    // ---- Boards and handles (EmulatedBoard.cpp) ----
    // Re-reads the environment and forgets every board, handle and capture.
    void configure();
    void ensure()
    {
        if (!configured)
            configure();
    }
    double nowS() const;
    // Handles carry the generation in the high half so that handles from
    // before a reset are refused; the low half is never zero.
    LomPcieHandle handleOf(const Board &b) const;
    // The open board a handle names, or null.
    Board *boardOf(LomPcieHandle h);

    // ---- Sample clock (EmulatedBoard.cpp) ----
    double sampleRateHz(const Board &b) const;
    // Whether the decimation chain (which filters) is in use.
    bool lowPass(const Board &b) const;
    int64_t sampleNow(const Board &b) const;

    // ---- The ring (EmulatedRing.cpp) ----
    // Records that units [begin, begin + units) (wrapping) now hold samples
    // from `firstSample` on.
    void writeSpan(Board &b, uint32_t begin, uint64_t units, int64_t firstSample, double rateHz,
                   bool lp);
    // Synthesises `units` whole units from `firstUnit` on (wrapping) into
    // out (units x 32 int16 values in the board's layout).
    void synthUnits(const Board &b, uint32_t firstUnit, uint32_t units, int16_t *out);
    // DMA of `length` bytes of the announced span (ring) or of the
    // two-channel record into dst, continuing where the last read ended.
    void readRing(Board &b, uint8_t *dst, uint64_t length);
    void readTwoChannel(Board &b, uint8_t *dst, uint64_t length);

    // ---- Captures and register side effects (EmulatedBoard.cpp) ----
    uint64_t streamUnitsWritten(const Board &b) const;
    void updateStream(Board &b);
    void stopStream(Board &b);
    void pollTrigger(Board &b);
    void write(Board &b, uint64_t reg, uint32_t value);
    void command(Board &b, uint32_t value);
    uint32_t read(Board &b, uint64_t reg);

    // ---- Trace (LomPcieDmaDll.cpp) ----
    void trace(const char *fmt, ...) __attribute__((format(printf, 2, 3)));
};

// The process's emulator; lives to process end, past static destructors.
Emulator &emu();

} // namespace lompcie
