// KelPcieFetch.cpp - waveform fetches of the device library: the free-run,
// triggered and continuous reads of the four-channel ring and the
// two-channel captures (interface: KelPcieApi.h; register names:
// BoardRegisters.h).
#include "KelPcieApi.h"

#include "BoardRegisters.h"
#include "KelPcieState.h"
#include "RingPosition.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

using kelpcie::guarded;
using kelpcie::pollSleep;
using kelpcie::pollUntilSet;
using kelpcie::readReg;
using kelpcie::state;
using kelpcie::writeReg;

namespace {

// One DMA transfer: announces the span to the board, starts it and reads
// `bytes` into dst. Returns the transfer's result.
int32_t transferSpan(uint32_t start, uint32_t announcedUnits, uint64_t bytes, uint8_t *dst)
{
    writeReg(boardreg::TransferStart, start);
    writeReg(boardreg::TransferUnits, announcedUnits);
    writeReg(boardreg::Command, boardreg::CommandTransfer);
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
    // A cancel made before this fetch began is meant for it (see
    // KelPcieCancelFetch): nothing is armed or moved.
    if (kelpcie::takeCancel())
        return KELPCIE_ERR_CANCELLED;

    int64_t start = ddr4Address;
    bool wraps = false;
    uint32_t tail = 0;
    switch (mode) {
    case KELPCIE_TRIGGER_FREE:
        s.ringReadPosition = 0;
        writeReg(boardreg::CaptureStart, ddr4Address);
        writeReg(boardreg::CaptureUnits, units);
        writeReg(boardreg::Command, boardreg::CommandCapture);
        // Free-run captures report no failure, only a cancel.
        if (pollUntilSet(boardreg::CaptureDone, 10) == kelpcie::kPollCancelled)
            return KELPCIE_ERR_CANCELLED;
        break;
    case KELPCIE_TRIGGER_EDGE:
    case KELPCIE_TRIGGER_EXTERNAL: {
        s.ringReadPosition = 0;
        const int64_t m = offset > 0 ? static_cast<int64_t>(n) + offset : n;
        const int64_t f2 = (m % 4 != 0 || n % 4 != 0) ? 1 : 0;
        const uint32_t triggeredUnits = static_cast<uint32_t>((m / 4 + f2) / 2);
        writeReg(boardreg::TriggerCondition, 0);
        if (mode == KELPCIE_TRIGGER_EDGE)
            writeReg(boardreg::TriggerLevel, static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(level & 0xFFFF))));
        writeReg(boardreg::TriggerUnits, triggeredUnits);
        writeReg(boardreg::Command, boardreg::CommandStop);
        writeReg(boardreg::Command, boardreg::CommandArm);
        writeReg(boardreg::TriggerCondition, slope);
        if (mode == KELPCIE_TRIGGER_EXTERNAL) {
            writeReg(boardreg::TriggerSource, boardreg::TriggerSourceExternal);
            writeReg(boardreg::ExternalTriggerArm, 0);
        }
        // A cancelled capture stays armed on the board; the next triggered
        // fetch clears the condition and arms it afresh.
        const uint32_t polls = pollUntilSet(boardreg::CaptureDone, 60000);
        if (polls == kelpcie::kPollCancelled)
            return KELPCIE_ERR_CANCELLED;
        if (polls >= 59999)
            return KELPCIE_ERR_CAPTURE_TIMEOUT;
        readReg(boardreg::TriggerFine);
        const int64_t p = readReg(boardreg::TriggerUnit);
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
        uint32_t previous = readReg(boardreg::WritePointer);
        auto lastMove = std::chrono::steady_clock::now();
        for (uint32_t w = previous;; w = readReg(boardreg::WritePointer)) {
            if (kelpcie::continuousWritten(plan, w))
                break;
            if (kelpcie::takeCancel())
                return KELPCIE_ERR_CANCELLED; // the read position is kept
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
    const uint32_t perCount = boardreg::TwoChannelSamplesPerCount;
    if (writeReg(boardreg::TwoChannelLength, count / perCount + (count % perCount ? 1 : 0)) < 0)
        return KELPCIE_ERR_START_LENGTH;
    pollSleep();
    if (writeReg(boardreg::TwoChannelStart, 0) < 0)
        return KELPCIE_ERR_START_RESET;
    pollSleep();
    const int32_t r = writeReg(boardreg::TwoChannelStart, 1);
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
    if (kelpcie::takeCancel())
        return KELPCIE_ERR_CANCELLED;
    std::vector<double> fresh(count);
    std::vector<uint32_t> words(count, 0u);
    int32_t status = twoChannelStart(count);
    if (status < 0)
        return status;
    const uint32_t polls = pollUntilSet(boardreg::TwoChannelDone, 1000);
    if (polls == kelpcie::kPollCancelled)
        return KELPCIE_ERR_CANCELLED; // no transfer: the capture never finished
    if (polls >= 999)
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

} // namespace

extern "C" {

KELPCIE_API int32_t KelPcieFetchData(uint32_t, double *channel0, double *channel1, double *channel2,
                                     double *channel3, uint32_t recordLength, uint32_t ddr4Address,
                                     int32_t triggerMode, int32_t triggerOffset, int32_t triggerLevel,
                                     uint32_t triggerSlope)
{
    return guarded([&] {
        return fetchData(channel0, channel1, channel2, channel3, recordLength, ddr4Address, triggerMode,
                         triggerOffset, triggerLevel, triggerSlope);
    });
}

KELPCIE_API int32_t KelPcieCommit(uint32_t, uint32_t count)
{
    return guarded([&]() -> int32_t {
        if (count == 0)
            return KELPCIE_ERR_INVALID_ARGUMENT;
        if (!state().handle)
            return KELPCIE_ERR_NOT_OPEN;
        const int32_t r = twoChannelStart(count);
        return r < 0 ? r : 0;
    });
}

KELPCIE_API int32_t KelPcieFetchChannelAData(uint32_t, double *out, uint32_t count)
{
    return guarded([&] { return fetchTwoChannel(false, out, count); });
}

KELPCIE_API int32_t KelPcieFetchChannelBData(uint32_t, double *out, uint32_t count)
{
    return guarded([&] { return fetchTwoChannel(true, out, count); });
}

} // extern "C"
