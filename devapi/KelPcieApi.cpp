// KelPcieApi.cpp - connection, register pass-through, waveform fetches and
// converter configuration of the device library (public interface and
// status codes: KelPcieApi.h; spectra and windows: KelPcieFft.cpp).
//
// Every export catches at its edge: no exception crosses the C boundary,
// allocation failures map to KELPCIE_ERR_FAILED.
#include "KelPcieApi.h"

#include "KelPcieState.h"
#include "RingPosition.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

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

long stallTimeoutMs()
{
    return environmentNumber("KELPCIE_STALL_TIMEOUT_MS", 1000, 3600000);
}

} // namespace

void pollSleep()
{
    const long us = sleepMicroseconds();
    if (us > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(us));
    else
        std::this_thread::yield();
}

} // namespace kelpcie

using kelpcie::pollSleep;
using kelpcie::state;

namespace {

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

// Parses "PXI%u::%u::%uINSTR" with the scanning rules of the C library:
// returns the number of numbers converted, or -1 when the text ends before
// the first conversion. Numbers wrap modulo 2^32 like %u; overlong ones
// saturate first, as strtoul does.
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
        if (overflow)
            value = UINT64_MAX;
        if (negative)
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

// Polls `reg` (read, then sleep) until it is non-zero; returns the index of
// the poll that saw it (0-based) or `limit` when none did.
uint32_t pollUntilSet(uint64_t reg, uint32_t limit)
{
    uint32_t i = 0;
    for (; i < limit; ++i) {
        if (readReg(reg) != 0)
            break;
        pollSleep();
    }
    return i;
}

// One DMA transfer: announces the span to the board, starts it and reads
// `bytes` into dst. Returns the transfer's result.
int32_t transferSpan(uint32_t start, uint32_t announcedUnits, uint64_t bytes, uint8_t *dst)
{
    writeReg(804, start);
    writeReg(808, announcedUnits);
    writeReg(768, 2);
    return ReadDMA(state().handle, 0, reinterpret_cast<uint32_t *>(dst), bytes);
}

// A record across the ring end: the units up to the end, then `tail` units
// from unit 0 placed right after them. The split follows the units the
// record occupies (a half-used last unit counts), so every sample lands in
// its place; only the second transfer's result counts.
int32_t transferWrapped(uint32_t start, uint32_t occupiedUnits, uint32_t tail, uint8_t *dst)
{
    const uint32_t head = occupiedUnits - tail;
    transferSpan(start, head, static_cast<uint64_t>(head) * 64, dst);
    return transferSpan(0, tail, static_cast<uint64_t>(tail) * 64, dst + static_cast<size_t>(head) * 64);
}

int32_t fetchData(double *ch0, double *ch1, double *ch2, double *ch3, uint32_t n, uint32_t ddr4Address,
                  int32_t mode, int32_t offset, int32_t level, uint32_t slope)
{
    if (!ch0 || !ch1 || !ch2 || !ch3 || n == 0)
        return KELPCIE_ERR_INVALID_ARGUMENT;
    kelpcie::DeviceState &s = state();
    if (!s.handle)
        return KELPCIE_ERR_NOT_OPEN;
    const int64_t last = s.ddrLastUnit;
    // Sizes: G groups of 4 samples, U whole units announced to the board,
    // and the units the record really occupies (one more than U when G is
    // odd: its last unit is half used).
    const uint32_t groups = n / 4 + (n % 4 ? 1 : 0);
    const uint32_t units = static_cast<uint32_t>(static_cast<uint64_t>(groups) * 256 / 512);
    const uint32_t occupied = groups / 2 + groups % 2;
    if (occupied > last + 1)
        return KELPCIE_ERR_INVALID_ARGUMENT;

    int64_t start = ddr4Address;
    bool wraps = false;
    uint32_t tail = 0;
    switch (mode) {
    case KELPCIE_TRIGGER_FREE:
        s.ringReadPosition = 0;
        writeReg(788, ddr4Address);
        writeReg(792, units);
        writeReg(768, 1);
        pollUntilSet(812, 10); // free-run captures report no failure
        break;
    case KELPCIE_TRIGGER_EDGE:
    case KELPCIE_TRIGGER_EXTERNAL: {
        s.ringReadPosition = 0;
        const int64_t m = offset > 0 ? static_cast<int64_t>(n) + offset : n;
        const int64_t f2 = (m % 4 != 0 || n % 4 != 0) ? 1 : 0;
        const uint32_t triggeredUnits = static_cast<uint32_t>((m / 4 + f2) / 2);
        writeReg(848, 0);
        if (mode == KELPCIE_TRIGGER_EDGE)
            writeReg(852, static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(level & 0xFFFF))));
        writeReg(856, triggeredUnits);
        writeReg(768, 0);
        writeReg(768, 4);
        writeReg(848, slope);
        if (mode == KELPCIE_TRIGGER_EXTERNAL) {
            writeReg(860, 8);
            writeReg(112, 0);
        }
        if (pollUntilSet(812, 60000) >= 59999)
            return KELPCIE_ERR_CAPTURE_TIMEOUT;
        readReg(864);
        const int64_t p = readReg(868);
        const kelpcie::RingSpan span = kelpcie::triggeredSpan(p, offset, occupied, last);
        start = span.start;
        wraps = span.wraps;
        tail = span.tail;
        break;
    }
    case KELPCIE_TRIGGER_CONTINUOUS: {
        // The record is the next `occupied` units after the previous
        // continuous read; wait until the board's write pointer has passed
        // its last unit, giving up when the pointer stops moving.
        const kelpcie::ContinuousSpan plan = kelpcie::continuousSpan(s.ringReadPosition, occupied, last);
        wraps = plan.span.wraps;
        tail = plan.span.tail;
        const long timeoutMs = kelpcie::stallTimeoutMs();
        uint32_t previous = readReg(884);
        auto lastMove = std::chrono::steady_clock::now();
        for (uint32_t w = previous;; w = readReg(884)) {
            if (kelpcie::continuousWritten(plan, w))
                break;
            const auto now = std::chrono::steady_clock::now();
            if (w != previous) {
                previous = w;
                lastMove = now;
            } else if (now - lastMove > std::chrono::milliseconds(timeoutMs)) {
                return KELPCIE_ERR_STREAM_STALLED;
            }
            std::this_thread::yield();
        }
        start = plan.span.start;
        s.ringReadPosition = plan.next;
        break;
    }
    default:
        break; // read what lies at ddr4Address, without arming
    }

    const size_t bufferBytes = std::max<size_t>(static_cast<size_t>(groups) * 32, static_cast<size_t>(occupied) * 64);
    if (s.rawBlockSamples != n || s.rawBlock.size() != bufferBytes) {
        s.rawBlock = std::vector<uint8_t>(); // free the old one before taking the new
        s.rawBlock.resize(bufferBytes);
        s.rawBlockSamples = n;
    } else {
        std::fill(s.rawBlock.begin(), s.rawBlock.end(), uint8_t{0});
    }
    uint8_t *raw = s.rawBlock.data();
    const int32_t status = wraps ? transferWrapped(static_cast<uint32_t>(start), occupied, tail, raw)
                                 : transferSpan(static_cast<uint32_t>(start), units,
                                                static_cast<uint64_t>(groups) * 32, raw);
    if (status < 0)
        return status;
    // One pass: sample i of channel c is 16-bit value (i/4)*16 + c*4 + i%4.
    for (uint32_t i = 0; i < n; ++i) {
        const size_t base = static_cast<size_t>(i / 4) * 16 + i % 4;
        int16_t v[4];
        for (int c = 0; c < 4; ++c)
            std::memcpy(&v[c], raw + (base + static_cast<size_t>(c) * 4) * 2, 2);
        ch0[i] = v[0];
        ch1[i] = v[1];
        ch2[i] = v[2];
        ch3[i] = v[3];
    }
    return status;
}

// Start of a two-channel capture of `count` samples.
int32_t twoChannelStart(uint32_t count)
{
    if (writeReg(264, count / 20 + (count % 20 ? 1 : 0)) < 0)
        return KELPCIE_ERR_START_LENGTH;
    pollSleep();
    if (writeReg(256, 0) < 0)
        return KELPCIE_ERR_START_RESET;
    pollSleep();
    const int32_t r = writeReg(256, 1);
    if (r < 0)
        return KELPCIE_ERR_START_GO;
    pollSleep();
    return r;
}

int32_t fetchTwoChannel(bool channelB, double *out, uint32_t count)
{
    kelpcie::DeviceState &s = state();
    std::vector<double> &record = channelB ? s.recordB : s.recordA;
    bool &have = channelB ? s.haveRecordB : s.haveRecordA;
    if (count == 0) {
        record = std::vector<double>();
        have = false;
        s.twoChannelLength = 0;
        return KELPCIE_ERR_INVALID_ARGUMENT;
    }
    if (!out)
        return KELPCIE_ERR_INVALID_ARGUMENT;
    if (!s.handle)
        return KELPCIE_ERR_NOT_OPEN;
    // The record is replaced now; it only becomes usable when the fetch
    // succeeds, so a failed fetch never leaves stale or unfilled samples.
    record = std::vector<double>();
    have = false;
    std::vector<double> fresh(count);
    std::vector<uint32_t> words(count, 0u);
    int32_t status = twoChannelStart(count);
    if (status < 0)
        return status;
    if (pollUntilSet(260, 1000) >= 999)
        status = KELPCIE_ERR_TWO_CHANNEL_TIMEOUT;
    ReadDMA(s.handle, 0, words.data(), static_cast<uint64_t>(count) * 4);
    if (status < 0)
        return status;
    for (uint32_t i = 0; i < count; ++i) {
        const uint16_t half = channelB ? static_cast<uint16_t>(words[i] & 0xFFFFu)
                                       : static_cast<uint16_t>(words[i] >> 16);
        fresh[i] = static_cast<int16_t>(half);
        out[i] = fresh[i];
    }
    record.swap(fresh);
    have = true;
    s.twoChannelLength = count;
    return status;
}

// ---- DA downloads -----------------------------------------------------------

// Packs 16 values into a 32-byte block: the low 12 bits of value k occupy
// bits 12k .. 12k+11 of a little-endian bit stream; bytes 24..31 stay zero.
void packBlock(const int32_t *values, uint8_t *block)
{
    std::memset(block, 0, 32);
    for (int k = 0; k < 16; k += 2) {
        const uint32_t a = static_cast<uint32_t>(values[k]) & 0xFFFu;
        const uint32_t b = static_cast<uint32_t>(values[k + 1]) & 0xFFFu;
        uint8_t *p = block + (k / 2) * 3;
        p[0] = static_cast<uint8_t>(a);
        p[1] = static_cast<uint8_t>((a >> 8) | (b << 4));
        p[2] = static_cast<uint8_t>(b >> 4);
    }
}

// Polls the download acceptance flag; returns false when the transfer
// itself had failed (seen right after the first read).
bool awaitAcceptance(int32_t transferResult)
{
    for (int i = 0; i < 1000; ++i) {
        const uint32_t accepted = readReg(1308);
        if (transferResult < 0)
            return false;
        if (accepted != 0)
            break;
        pollSleep();
    }
    return true;
}

int32_t downloadSingle(bool outputB, const int32_t *samples, uint32_t count)
{
    if (!samples || count == 0 || count % 8 != 0)
        return KELPCIE_ERR_INVALID_ARGUMENT;
    const uint32_t blocks = count / 8; // 8 (sample, 0) pairs per block
    std::vector<int32_t> work(static_cast<size_t>(count) * 2, 0);
    for (uint32_t i = 0; i < count; ++i)
        work[2 * static_cast<size_t>(i) + (outputB ? 1 : 0)] = samples[i];
    std::vector<uint8_t> buffer(static_cast<size_t>(blocks) * 64, 0);
    for (uint32_t k = 0; k < blocks; ++k)
        packBlock(work.data() + static_cast<size_t>(k) * 16, buffer.data() + static_cast<size_t>(k) * 32);
    writeReg(1296, 0);
    writeReg(1288, blocks);
    writeReg(1280, 1);
    // The transfer carries the packed blocks (blocks x 32 bytes); the
    // buffer's upper half exists only as the board's staging room.
    const int32_t t = WriteDMA(state().handle, reinterpret_cast<const uint32_t *>(buffer.data()), 0,
                               static_cast<uint64_t>(blocks) * 32);
    if (!outputB && !awaitAcceptance(t))
        return KELPCIE_ERR_DA_TRANSFER;
    writeReg(1292, 0);
    writeReg(1284, blocks);
    return writeReg(1280, 2);
}

} // namespace

// ---- Exports ------------------------------------------------------------------

#define KELPCIE_GUARD(body)                                                                        \
    try {                                                                                          \
        body                                                                                       \
    } catch (const std::bad_alloc &) {                                                             \
        return KELPCIE_ERR_FAILED;                                                                 \
    } catch (...) {                                                                                \
        return KELPCIE_ERR_FAILED;                                                                 \
    }

extern "C" {

KELPCIE_API int32_t KelPcieFindDevs(SlomPXIDevInfo *devices, uint32_t *count)
{
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
}

KELPCIE_API int32_t KelPcieInit(const char *resource, int32_t, int32_t, int32_t *connection)
{
    return init(resource, connection);
}

KELPCIE_API int32_t KelPcieInitWithOptions(const char *resource, int32_t, int32_t, const char *,
                                           int32_t *connection)
{
    return init(resource, connection);
}

KELPCIE_API int32_t KelPcieClose(void)
{
    kelpcie::DeviceState &s = state();
    const int32_t r = CloseDev(&s.handle);
    if (r >= 0)
        s.handle = nullptr;
    return r;
}

KELPCIE_API LomPcieHandle getDevHandle(void)
{
    return state().handle;
}

KELPCIE_API int32_t KelPcieWriteData(uint32_t, uint64_t address, uint32_t value)
{
    return WriteUint32(state().handle, address, value);
}

KELPCIE_API int32_t KelPcieReadData(uint32_t, uint64_t address, uint32_t *value)
{
    if (value)
        *value = 0;
    return ReadUint32(state().handle, address, value);
}

KELPCIE_API int32_t KelPcieReadDMA(uint32_t, uint64_t address, uint32_t *buffer, uint64_t length)
{
    return ReadDMA(state().handle, address, buffer, length);
}

KELPCIE_API int32_t KelPcieWriteDMA(uint32_t, const uint32_t *buffer, uint64_t address, uint64_t length)
{
    return WriteDMA(state().handle, buffer, address, length);
}

KELPCIE_API int32_t KelPcieFetchData(uint32_t, double *channel0, double *channel1, double *channel2,
                                     double *channel3, uint32_t recordLength, uint32_t ddr4Address,
                                     int32_t triggerMode, int32_t triggerOffset, int32_t triggerLevel,
                                     uint32_t triggerSlope)
{
    KELPCIE_GUARD(return fetchData(channel0, channel1, channel2, channel3, recordLength, ddr4Address,
                                   triggerMode, triggerOffset, triggerLevel, triggerSlope);)
}

KELPCIE_API int32_t KelPcieCommit(uint32_t, uint32_t count)
{
    if (count == 0)
        return KELPCIE_ERR_INVALID_ARGUMENT;
    if (!state().handle)
        return KELPCIE_ERR_NOT_OPEN;
    const int32_t r = twoChannelStart(count);
    return r < 0 ? r : 0;
}

KELPCIE_API int32_t KelPcieFetchChannelAData(uint32_t, double *out, uint32_t count)
{
    KELPCIE_GUARD(return fetchTwoChannel(false, out, count);)
}

KELPCIE_API int32_t KelPcieFetchChannelBData(uint32_t, double *out, uint32_t count)
{
    KELPCIE_GUARD(return fetchTwoChannel(true, out, count);)
}

KELPCIE_API int32_t KelPcieInitADDAC(uint32_t)
{
    writeReg(64, 0);
    writeReg(80, 0);
    writeReg(84, 176);
    writeReg(768, 0);
    static const uint32_t sequence[][2] = {{64, 1}, {80, 1}, {96, 1}, {96, 0}, {280, 0}, {280, 1}, {40, 0x3FFF}};
    int32_t r = 0;
    for (const auto &w : sequence) {
        r = writeReg(w[0], w[1]);
        pollSleep();
    }
    return r;
}

KELPCIE_API int32_t KelPcieInitDUC(uint32_t)
{
    int32_t r = 0;
    for (uint32_t word : {0x090003u, 0x280002u, 0x280000u}) {
        r = writeReg(116, word);
        pollSleep();
    }
    return r;
}

KELPCIE_API int32_t KelPcieSwitchMode(uint32_t, int32_t mode)
{
    if (mode != 0 && mode != 2)
        return 0;
    const int32_t r = writeReg(104, static_cast<uint32_t>(mode));
    pollSleep();
    return r;
}

KELPCIE_API int32_t KelPcieSwitchModeDA(uint32_t, int32_t mode, double freqA, double phaseADeg, double freqB,
                                        double phaseBDeg)
{
    if (mode != 0 && mode != 2)
        return 0;
    // A frequency of 6000 or a phase of 360 would carry into the register
    // field of the command word and address another converter register.
    const auto freqOk = [](double f) { return std::isfinite(f) && f >= 0.0 && f < 6000.0; };
    const auto phaseOk = [](double p) { return std::isfinite(p) && p >= 0.0 && p < 360.0; };
    if (!freqOk(freqA) || (mode == 2 && (!phaseOk(phaseADeg) || !freqOk(freqB) || !phaseOk(phaseBDeg))))
        return KELPCIE_ERR_DA_RANGE;
    const auto freqWord = [](double f) { return static_cast<uint32_t>(std::trunc(65536.0 * f / 6000.0)); };
    const auto phaseWord = [](double p) { return static_cast<uint32_t>(std::trunc(65536.0 * p / 360.0)); };
    const uint32_t mode0[] = {0x090003, 0x0C27F2, 0x320400, 0x278888, 0x090003, 0x200000 + freqWord(freqA),
                              0x090001, 0x1C0000, 0x090002, 0x1C4000};
    const uint32_t mode2[] = {0x090003, 0x0C2732, 0x3287A0, 0x278888, 0x090001, 0x200000 + freqWord(freqA),
                              0x090001, 0x1C0000 + phaseWord(phaseADeg), 0x090002, 0x200000 + freqWord(freqB),
                              0x090002, 0x1C0000 + phaseWord(phaseBDeg)};
    const uint32_t *words = mode == 0 ? mode0 : mode2;
    const size_t count = mode == 0 ? sizeof mode0 / sizeof mode0[0] : sizeof mode2 / sizeof mode2[0];
    int32_t r = 0;
    for (size_t i = 0; i < count; ++i) {
        r = writeReg(116, words[i]);
        pollSleep();
    }
    return r;
}

KELPCIE_API int32_t KelPcieCfgDataRate(uint32_t, double sampleRateHz)
{
    if (!std::isfinite(sampleRateHz) || sampleRateHz <= 0.0)
        return KELPCIE_ERR_INVALID_ARGUMENT;
    const double q = std::trunc(3000000000.0 / sampleRateHz);
    const uint32_t ratio = q >= 4294967295.0 ? 4294967295u : static_cast<uint32_t>(q);
    uint32_t code = 3;
    uint32_t factor = 0;
    if (ratio == 1)
        code = 0;
    else if (ratio == 2)
        code = 1;
    else if (ratio == 4)
        code = 3;
    else if (ratio == 8)
        code = 7;
    else if (ratio <= 16000) {
        code = 19;
        factor = ratio / 4;
    } else if (ratio <= 1600000) {
        code = 51;
        factor = ratio / 400;
    } else if (ratio <= 3200000) {
        code = 55;
        factor = ratio / 800;
    }
    int32_t r = writeReg(272, code);
    if (r < 0)
        return KELPCIE_ERR_RATE_CODE;
    if (code == 0)
        return r;
    if (code > 7 && writeReg(276, factor) < 0)
        return KELPCIE_ERR_RATE_FACTOR;
    if (writeReg(280, 0) < 0)
        return KELPCIE_ERR_RATE_RESET;
    r = writeReg(280, 1);
    return r < 0 ? KELPCIE_ERR_RATE_GO : r;
}

KELPCIE_API int32_t KelPcieConfigureData(uint32_t, const int32_t *outputA, const int32_t *outputB, uint32_t count)
{
    KELPCIE_GUARD({
        if (!outputA || !outputB || count == 0 || count % 16 != 0)
            return KELPCIE_ERR_INVALID_ARGUMENT;
        // Blocks of 16 samples of A, then the same 16 of B.
        std::vector<int32_t> work(static_cast<size_t>(count) * 2);
        for (uint32_t j = 0; j < count / 16; ++j)
            for (uint32_t k = 0; k < 16; ++k) {
                work[32 * static_cast<size_t>(j) + k] = outputA[16 * static_cast<size_t>(j) + k];
                work[32 * static_cast<size_t>(j) + 16 + k] = outputB[16 * static_cast<size_t>(j) + k];
            }
        const uint32_t blocks = static_cast<uint32_t>((static_cast<uint64_t>(count) * 24 + 191) / 192);
        std::vector<uint8_t> buffer(static_cast<size_t>(blocks) * 32);
        for (uint32_t k = 0; k < blocks; ++k)
            packBlock(work.data() + static_cast<size_t>(k) * 16, buffer.data() + static_cast<size_t>(k) * 32);
        writeReg(1296, 0);
        writeReg(1288, blocks / 2);
        writeReg(1280, 1);
        const int32_t t = WriteDMA(state().handle, reinterpret_cast<const uint32_t *>(buffer.data()), 0,
                                   static_cast<uint64_t>(blocks) * 32);
        if (!awaitAcceptance(t))
            return KELPCIE_ERR_DA_TRANSFER;
        writeReg(1292, 0);
        writeReg(1284, blocks / 2);
        writeReg(1280, 2);
        writeReg(1312, 0);
        pollSleep();
        writeReg(1264, 0);
        pollSleep();
        const int32_t r = writeReg(1264, 1);
        pollSleep();
        return r;
    })
}

KELPCIE_API int32_t KelPcieConfigureChanleAData(uint32_t, const int32_t *samples, uint32_t count)
{
    KELPCIE_GUARD(return downloadSingle(false, samples, count);)
}

KELPCIE_API int32_t KelPcieConfigureChanleBData(uint32_t, const int32_t *samples, uint32_t count)
{
    KELPCIE_GUARD(return downloadSingle(true, samples, count);)
}

} // extern "C"
