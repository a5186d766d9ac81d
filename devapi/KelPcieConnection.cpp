// KelPcieConnection.cpp - the device library's state, finding, opening and
// closing the board, and the register and DMA pass-through (public
// interface and status codes: KelPcieApi.h). Every export runs through
// kelpcie::guarded, so no exception crosses the C boundary.
#include "KelPcieApi.h"

#include "KelPcieState.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace kelpcie {

DeviceState &state()
{
    static DeviceState s;
    return s;
}

namespace {

// A whole decimal number from the environment variable `name`, within
// 0 .. maxValue; `fallback` when it is unset, malformed or out of range.
long environmentNumber(const char *name, long fallback, long maxValue)
{
    const char *v = std::getenv(name);
    if (!v || !*v)
        return fallback;
    char *end = nullptr;
    const long value = std::strtol(v, &end, 10);
    return (end && *end == '\0' && value >= 0 && value <= maxValue) ? value : fallback;
}

long sleepMicroseconds()
{
    return environmentNumber("KELPCIE_POLL_SLEEP_US", 1000, 1000000);
}

} // namespace

long stallTimeoutMs()
{
    return environmentNumber("KELPCIE_STALL_TIMEOUT_MS", 1000, 3600000);
}

void pollSleep()
{
    const long us = sleepMicroseconds();
    if (us > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(us));
    else
        std::this_thread::yield();
}

int32_t writeReg(uint64_t reg, uint32_t value)
{
    return WriteUint32(state().handle, reg, value);
}

uint32_t readReg(uint64_t reg)
{
    uint32_t v = 0;
    ReadUint32(state().handle, reg, &v);
    return v;
}

namespace {
// Set by KelPcieCancelFetch (any thread), taken by the fetch that sees it.
// Sequentially consistent exchange on both sides: a cancel made before a
// fetch's first look is seen by that look, one made later by the next.
std::atomic<bool> cancelPending{false};
} // namespace

bool takeCancel()
{
    return cancelPending.exchange(false);
}

uint32_t pollUntilSet(uint64_t reg, uint32_t limit)
{
    uint32_t i = 0;
    for (; i < limit; ++i) {
        if (takeCancel())
            return kPollCancelled;
        if (readReg(reg) != 0)
            break;
        pollSleep();
    }
    return i;
}

} // namespace kelpcie

using kelpcie::guarded;
using kelpcie::state;

namespace {

// Parses "PXI%u::%u::%uINSTR" with the scanning rules of the C library:
// returns the number of numbers converted, or -1 when the text ends before
// the first conversion. Numbers wrap modulo 2^32 like %u; overlong ones
// saturate first (negative ones too), as strtoul does.
int parseResource(const char *s, uint32_t numbers[3])
{
    static const char *const literals[3] = {"PXI", "::", "::"};
    int count = 0;
    for (int k = 0; k < 3; ++k) {
        for (const char *l = literals[k]; *l; ++l, ++s) {
            if (*s == '\0')
                return count == 0 ? -1 : count;
            if (*s != *l)
                return count;
        }
        while (std::isspace(static_cast<unsigned char>(*s)))
            ++s;
        if (*s == '\0')
            return count == 0 ? -1 : count;
        bool negative = false;
        if (*s == '+' || *s == '-') {
            negative = *s == '-';
            ++s;
        }
        if (!std::isdigit(static_cast<unsigned char>(*s)))
            return count;
        uint64_t value = 0;
        bool overflow = false;
        for (; std::isdigit(static_cast<unsigned char>(*s)); ++s) {
            const uint64_t digit = static_cast<uint64_t>(*s - '0');
            if (value > (UINT64_MAX - digit) / 10)
                overflow = true;
            else
                value = value * 10 + digit;
        }
        // As strtoul: a negative number is negated modulo 2^64, but one too
        // long for 64 bits saturates whatever its sign.
        if (overflow)
            value = UINT64_MAX;
        else if (negative)
            value = 0 - value;
        numbers[k] = static_cast<uint32_t>(value);
        ++count;
    }
    return count;
}

int32_t init(const char *resource, int32_t *connection)
{
    if (!resource || !connection)
        return KELPCIE_ERR_INVALID_ARGUMENT;
    uint32_t numbers[3] = {0, 0, 0};
    const int parsed = parseResource(resource, numbers);
    if (parsed < 0)
        return parsed;
    kelpcie::DeviceState &s = state();
    const int32_t result = OpenDev(static_cast<uint8_t>(numbers[0]), static_cast<uint8_t>(numbers[1]),
                                   static_cast<uint8_t>(numbers[2]), &s.handle);
    *connection = static_cast<int32_t>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(s.handle)));
    return result;
}

} // namespace

extern "C" {

KELPCIE_API int32_t KelPcieFindDevs(SlomPXIDevInfo *devices, uint32_t *count)
{
    return guarded([&]() -> int32_t {
        if (!devices || !count)
            return KELPCIE_ERR_INVALID_ARGUMENT;
        SlomPXIDevInfo *list = nullptr;
        uint32_t listed = 0;
        FindDev(&list, &listed);
        uint32_t copied = 0;
        for (uint32_t i = 0; list && i < listed && copied < KELPCIE_MAX_DEVICES; ++i) {
            if (list[i].vendorId == LOMPCIE_VENDOR_ID && list[i].deviceId == LOMPCIE_DEVICE_ID) {
                std::memcpy(&devices[copied], &list[i], sizeof(SlomPXIDevInfo));
                ++copied;
            }
        }
        *count = copied;
        return 0;
    });
}

KELPCIE_API int32_t KelPcieInit(const char *resource, int32_t, int32_t, int32_t *connection)
{
    return guarded([&]() -> int32_t {
        return init(resource, connection);
    });
}

KELPCIE_API int32_t KelPcieInitWithOptions(const char *resource, int32_t, int32_t, const char *,
                                           int32_t *connection)
{
    return guarded([&]() -> int32_t {
        return init(resource, connection);
    });
}

KELPCIE_API int32_t KelPcieClose(void)
{
    return guarded([&]() -> int32_t {
        kelpcie::DeviceState &s = state();
        const int32_t r = CloseDev(&s.handle);
        if (r >= 0)
            s.handle = nullptr;
        return r;
    });
}

KELPCIE_API LomPcieHandle getDevHandle(void)
{
    return state().handle;
}

KELPCIE_API int32_t KelPcieWriteData(uint32_t, uint64_t address, uint32_t value)
{
    return guarded([&]() -> int32_t {
        return WriteUint32(state().handle, address, value);
    });
}

KELPCIE_API int32_t KelPcieReadData(uint32_t, uint64_t address, uint32_t *value)
{
    return guarded([&]() -> int32_t {
        if (value)
            *value = 0;
        return ReadUint32(state().handle, address, value);
    });
}

KELPCIE_API int32_t KelPcieReadDMA(uint32_t, uint64_t address, uint32_t *buffer, uint64_t length)
{
    return guarded([&]() -> int32_t {
        return ReadDMA(state().handle, address, buffer, length);
    });
}

KELPCIE_API int32_t KelPcieWriteDMA(uint32_t, const uint32_t *buffer, uint64_t address, uint64_t length)
{
    return guarded([&]() -> int32_t {
        return WriteDMA(state().handle, buffer, address, length);
    });
}

} // extern "C"

extern "C" KELPCIE_API int32_t KelPcieCancelFetch(uint32_t)
{
    kelpcie::cancelPending.store(true);
    return KELPCIE_OK;
}
