// LomPcieDmaDll.cpp - the emulated board's exported driver functions (the
// contract in LomPcieDmaDll.h, the test controls in LomPcieEmulatorControl.h)
// and the trace they write. Each call takes the emulator's one mutex for
// its whole duration, so calls from several threads never interleave.
#include "LomPcieDmaDll.h"

#include "Emulator.h"
#include "LomPcieEmulatorControl.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <thread>

namespace lompcie {

Emulator &emu()
{
    static Emulator *instance = new Emulator; // lives to process end, past static destructors
    return *instance;
}

// The trace is opened per line so that a test may truncate or remove the
// file between calls without confusing the driver.
void Emulator::trace(const char *fmt, ...)
{
    if (config.tracePath.empty())
        return;
    FILE *f = std::fopen(config.tracePath.c_str(), "a");
    if (!f)
        return;
    va_list args;
    va_start(args, fmt);
    std::vfprintf(f, fmt, args);
    va_end(args);
    std::fputc('\n', f);
    std::fclose(f);
}

} // namespace lompcie

namespace {

using lompcie::Board;
using lompcie::DmaSource;
using lompcie::Emulator;
using lompcie::emu;

// The bus-cost model's charge for one call: made first thing in the call
// (before the emulator's lock), given the call's modelled duration while the
// lock is held, and paid when the call returns, after the lock is let go.
// The call then lasts max(its own work, the modelled time): synthesising
// the data is the device's work on a real board, so it is counted toward the
// modelled time, not added to it. The wait is a busy-wait on the steady
// clock, because a sleep lasts tens of microseconds longer than asked and
// the costs are 0.1 to 10 us. Only a wait longer than 150 us (a DMA of a
// megabyte or more) sleeps, up to 100 us before its end, and spins the rest:
// the thread then leaves its core to others as a driver waiting for a DMA's
// completion would, and a wake-up that comes late only makes the call
// longer than modelled, never shorter.
class BusCharge {
public:
    BusCharge() : start_(std::chrono::steady_clock::now()) {}
    BusCharge(const BusCharge &) = delete;
    BusCharge &operator=(const BusCharge &) = delete;
    void set(double ns) { ns_ = ns; }
    ~BusCharge()
    {
        if (!(ns_ > 0))
            return;
        using namespace std::chrono;
        const auto end = start_ + nanoseconds(static_cast<int64_t>(ns_));
        const auto left = end - steady_clock::now();
        if (left > microseconds(150))
            std::this_thread::sleep_for(left - microseconds(100));
        while (steady_clock::now() < end) {
        }
    }

private:
    std::chrono::steady_clock::time_point start_;
    double ns_ = 0;
};

std::string hex(const uint8_t *p, uint64_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(static_cast<size_t>(n) * 2);
    for (uint64_t i = 0; i < n; ++i) {
        s.push_back(digits[p[i] >> 4]);
        s.push_back(digits[p[i] & 15]);
    }
    return s;
}

} // namespace

extern "C" {

LOMPCIE_API int32_t FindDev(SlomPXIDevInfo **devices, uint32_t *count)
{
    Emulator &e = emu();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.ensure();
    if (!devices || !count) {
        e.trace("F 0");
        return LOMPCIE_ERR_ARGUMENT;
    }
    try {
        // Matching boards first, then one device of another make (a network
        // card on bus 1) that callers must skip.
        e.records.assign(e.config.boards + 1, SlomPXIDevInfo{});
        for (uint32_t i = 0; i <= e.config.boards; ++i) {
            SlomPXIDevInfo &r = e.records[i];
            const bool foreign = i == e.config.boards;
            r.recordSize = sizeof(SlomPXIDevInfo);
            r.vendorId = foreign ? 0x8086u : LOMPCIE_VENDOR_ID;
            r.deviceId = foreign ? 0x1533u : LOMPCIE_DEVICE_ID;
            r.bus = foreign ? 1 : 0;
            r.device = static_cast<uint8_t>(foreign ? 0 : i);
            r.serialNumber = foreign ? 0 : 0x48450000u + i;
            std::snprintf(r.description, sizeof r.description, "%s",
                          foreign ? "Ethernet controller" : "H452 digitizer (emulated)");
            std::snprintf(r.resource, sizeof r.resource, "PXI%u::%u::0INSTR", r.bus, r.device);
        }
    } catch (const std::bad_alloc &) {
        e.trace("F 0");
        return LOMPCIE_ERR_INTERNAL;
    }
    *devices = e.records.data();
    *count = static_cast<uint32_t>(e.records.size());
    e.trace("F %u", *count);
    return 0;
}

LOMPCIE_API int32_t OpenDev(uint8_t bus, uint8_t device, uint8_t function, LomPcieHandle *handle)
{
    Emulator &e = emu();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.ensure();
    int32_t result = 0;
    if (!handle)
        result = LOMPCIE_ERR_ARGUMENT;
    else if (bus != 0 || function != 0 || device >= e.boards.size())
        result = LOMPCIE_ERR_NODEVICE;
    else {
        Board &b = *e.boards[device];
        b.open = true;
        *handle = e.handleOf(b);
    }
    e.trace("O %u %u %u %d", bus, device, function, result);
    return result;
}

LOMPCIE_API int32_t CloseDev(LomPcieHandle *handle)
{
    Emulator &e = emu();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.ensure();
    int32_t result = LOMPCIE_ERR_HANDLE;
    if (handle) {
        if (Board *b = e.boardOf(*handle)) {
            e.stopStream(*b);
            b->armed = false;
            b->open = false;
            result = 0;
        }
    }
    e.trace("C %d", result);
    return result;
}

LOMPCIE_API int32_t WriteUint32(LomPcieHandle handle, uint64_t address, uint32_t value)
{
    BusCharge charge;
    Emulator &e = emu();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.ensure();
    e.trace("W %llu %u", static_cast<unsigned long long>(address), value);
    Board *b = e.boardOf(handle);
    if (!b)
        return LOMPCIE_ERR_HANDLE;
    charge.set(e.config.costWriteNs);
    if (e.vanished())
        return LOMPCIE_ERR_NODEVICE;
    try {
        e.write(*b, address, value);
    } catch (const std::bad_alloc &) {
        return LOMPCIE_ERR_INTERNAL;
    }
    return 0;
}

LOMPCIE_API int32_t ReadUint32(LomPcieHandle handle, uint64_t address, uint32_t *value)
{
    BusCharge charge;
    Emulator &e = emu();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.ensure();
    Board *b = e.boardOf(handle);
    int32_t result = 0;
    uint32_t v = 0;
    if (b)
        charge.set(e.config.costReadNs);
    if (!b)
        result = LOMPCIE_ERR_HANDLE;
    else if (e.vanished())
        result = LOMPCIE_ERR_NODEVICE;
    else if (!value)
        result = LOMPCIE_ERR_ARGUMENT;
    else {
        try {
            v = e.read(*b, address);
            *value = v;
        } catch (const std::bad_alloc &) {
            result = LOMPCIE_ERR_INTERNAL;
        }
    }
    e.trace("R %llu %u", static_cast<unsigned long long>(address), v);
    return result;
}

LOMPCIE_API int32_t ReadDMA(LomPcieHandle handle, uint64_t address, uint32_t *buffer, uint64_t length)
{
    BusCharge charge;
    Emulator &e = emu();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.ensure();
    Board *b = e.boardOf(handle);
    int32_t result = 0;
    if (b) {
        charge.set(e.dmaCostNs(length));
        ++e.dmaCalls;
    }
    if (!b)
        result = LOMPCIE_ERR_HANDLE;
    else if (e.dmaCalls > e.config.vanishAfterDma)
        result = LOMPCIE_ERR_NODEVICE;
    else if (!buffer && length > 0)
        result = LOMPCIE_ERR_ARGUMENT;
    else if (length > LOMPCIE_MAX_DMA_BYTES)
        result = LOMPCIE_ERR_RANGE;
    else {
        try {
            if (b->dmaSource == DmaSource::TwoChannel)
                e.readTwoChannel(*b, reinterpret_cast<uint8_t *>(buffer), length);
            else
                e.readRing(*b, reinterpret_cast<uint8_t *>(buffer), length);
        } catch (const std::bad_alloc &) {
            result = LOMPCIE_ERR_INTERNAL;
        }
    }
    e.trace("DR %llu %llu %d", static_cast<unsigned long long>(address),
            static_cast<unsigned long long>(length), result);
    return result;
}

LOMPCIE_API int32_t WriteDMA(LomPcieHandle handle, const uint32_t *buffer, uint64_t address,
                             uint64_t length)
{
    Emulator &e = emu();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.ensure();
    Board *b = e.boardOf(handle);
    int32_t result = 0;
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>(buffer);
    if (!b)
        result = LOMPCIE_ERR_HANDLE;
    else if (!buffer && length > 0)
        result = LOMPCIE_ERR_ARGUMENT;
    else if (length > lompcie::kDaMemoryBytes)
        result = LOMPCIE_ERR_RANGE;
    else {
        try {
            b->lastDownload.assign(bytes, bytes + length);
            if (b->daPending && e.config.daAccept)
                b->daAccepted = true;
        } catch (const std::bad_alloc &) {
            result = LOMPCIE_ERR_INTERNAL;
        }
    }
    if (!e.config.tracePath.empty()) {
        // The payload as the caller passed it, also when the board refused it.
        const std::string payload = bytes && length <= lompcie::kDaMemoryBytes ? hex(bytes, length) : std::string();
        e.trace("DW %llu %llu %d%s%s", static_cast<unsigned long long>(address),
                static_cast<unsigned long long>(length), result, payload.empty() ? "" : " ", payload.c_str());
    }
    return result;
}

LOMPCIE_API void LomPcieResetEmulator(void)
{
    Emulator &e = emu();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.configure();
}

LOMPCIE_API int64_t LomPcieLastDownload(LomPcieHandle handle, uint8_t *out, uint64_t maxBytes)
{
    Emulator &e = emu();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.ensure();
    Board *b = e.boardOf(handle);
    if (!b)
        return LOMPCIE_ERR_HANDLE;
    if (out)
        std::memcpy(out, b->lastDownload.data(), std::min<uint64_t>(maxBytes, b->lastDownload.size()));
    return static_cast<int64_t>(b->lastDownload.size());
}

} // extern "C"
