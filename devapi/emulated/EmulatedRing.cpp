// EmulatedRing.cpp - the emulated board's DDR4 sample ring: which capture
// wrote which units (spans), the synthesis of their content on demand, and
// the board-to-host DMA that reads it (see Emulator.h for the model).
#include "Emulator.h"

#include "BoardRegisters.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace lompcie {

namespace {

// Non-wrapping [begin, end), end <= kRingUnits.
void assignInterval(Board &b, uint32_t begin, uint32_t end, Span span)
{
    auto &m = b.spans;
    auto it = m.lower_bound(begin);
    if (it != m.begin()) {
        auto prev = std::prev(it);
        if (prev->second.end > begin) {
            Span tail = prev->second;
            const uint32_t prevBegin = prev->first;
            prev->second.end = begin;
            if (tail.end > end) {
                tail.firstSample += static_cast<int64_t>(end - prevBegin) * kSamplesPerUnit;
                m.emplace(end, tail);
            }
            if (prevBegin == begin)
                m.erase(prev);
        }
    }
    it = m.lower_bound(begin);
    while (it != m.end() && it->first < end) {
        if (it->second.end > end) {
            Span tail = it->second;
            tail.firstSample += static_cast<int64_t>(end - it->first) * kSamplesPerUnit;
            m.erase(it);
            m.emplace(end, tail);
            break;
        }
        it = m.erase(it);
    }
    m[begin] = span;
}

// The ramp's bytes over one period: word w is w mod 65536, so 65536 words
// (128 KiB) repeat exactly, and the ring (2^26 units of 64 bytes) holds a
// whole number of periods.
constexpr uint64_t kRampPeriodBytes = 65536 * 2;

const uint8_t *rampPeriod()
{
    static const std::vector<uint8_t> bytes = [] {
        std::vector<uint8_t> v(kRampPeriodBytes);
        for (uint64_t w = 0; w < 65536; ++w) {
            v[2 * w] = static_cast<uint8_t>(w & 0xFF);
            v[2 * w + 1] = static_cast<uint8_t>(w >> 8);
        }
        return v;
    }();
    return bytes.data();
}

// The ramp (and unit marks) from absolute ring byte `at` on: copies of the
// precomputed period, so the emulated board moves gigabytes per second and
// a bus-cost model, not the synthesis, bounds a streaming benchmark.
void copyRamp(uint8_t *dst, uint64_t at, uint64_t length, bool unitMarks)
{
    const uint8_t *period = rampPeriod();
    for (uint64_t done = 0; done < length;) {
        const uint64_t phase = (at + done) % kRampPeriodBytes;
        const uint64_t n = std::min(length - done, kRampPeriodBytes - phase);
        std::memcpy(dst + done, period + phase, n);
        done += n;
    }
    if (!unitMarks)
        return;
    // The first four bytes of each unit: its index (low 16 bits, high 16 bits).
    for (uint64_t unitAt = at / 64 * 64; unitAt < at + length; unitAt += 64) {
        const uint32_t u = static_cast<uint32_t>(unitAt / 64) & kRingMask;
        for (uint64_t i = 0; i < 4; ++i)
            if (unitAt + i >= at && unitAt + i < at + length)
                dst[unitAt + i - at] = static_cast<uint8_t>(u >> (8 * i));
    }
}

} // namespace

void Emulator::writeSpan(Board &b, uint32_t begin, uint64_t units, int64_t firstSample,
                         double rateHz, bool lp)
{
    units = std::min<uint64_t>(units, kRingUnits);
    begin &= kRingMask;
    while (units > 0) {
        const uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(units, kRingUnits - begin));
        assignInterval(b, begin, begin + chunk, Span{begin + chunk, firstSample, rateHz, lp});
        firstSample += static_cast<int64_t>(chunk) * kSamplesPerUnit;
        units -= chunk;
        begin = 0;
    }
}

void Emulator::synthUnits(const Board &b, uint32_t firstUnit, uint32_t units, int16_t *out)
{
    if (config.ramp) {
        for (uint32_t k = 0; k < units; ++k) {
            const uint32_t u = (firstUnit + k) & kRingMask;
            const uint32_t w0 = u * kWordsPerUnit; // wraps modulo 2^32: fine modulo 65536
            for (int w = 0; w < kWordsPerUnit; ++w)
                out[k * kWordsPerUnit + w] = static_cast<int16_t>(static_cast<uint16_t>(w0 + w));
            if (config.unitMarks) {
                out[k * kWordsPerUnit] = static_cast<int16_t>(static_cast<uint16_t>(u & 0xFFFF));
                out[k * kWordsPerUnit + 1] = static_cast<int16_t>(static_cast<uint16_t>(u >> 16));
            }
        }
        return;
    }
    std::vector<int16_t> samples;
    uint32_t done = 0;
    while (done < units) {
        const uint32_t u = (firstUnit + done) & kRingMask;
        // The span covering u, or the power-on content up to the next span.
        Span span{kRingUnits, static_cast<int64_t>(u) * kSamplesPerUnit, 1e9, false};
        uint32_t spanBegin = u;
        auto it = b.spans.upper_bound(u);
        uint32_t limit = it == b.spans.end() ? kRingUnits : it->first;
        if (it != b.spans.begin()) {
            auto prev = std::prev(it);
            if (prev->second.end > u) {
                span = prev->second;
                spanBegin = prev->first;
                limit = span.end;
            }
        }
        const uint32_t count = std::min({units - done, limit - u, 4096u});
        const int64_t n0 = span.firstSample + static_cast<int64_t>(u - spanBegin) * kSamplesPerUnit;
        const int n = static_cast<int>(count) * kSamplesPerUnit;
        samples.resize(static_cast<size_t>(n));
        int16_t *dst = out + static_cast<size_t>(done) * kWordsPerUnit;
        for (int ch = 0; ch < 4; ++ch) {
            synthesise(config.signals[ch], ch, config.seed, n0, span.rateHz, span.lowPass, n,
                       samples.data());
            // Sample s of the channel: group s / 4, slot ch * 4 + s % 4.
            for (int s = 0; s < n; ++s)
                dst[(s / 4) * 16 + ch * 4 + (s % 4)] = samples[static_cast<size_t>(s)];
        }
        done += count;
    }
}

void Emulator::readRing(Board &b, uint8_t *dst, uint64_t length)
{
    const uint32_t start = b.regs[boardreg::TransferStart] & kRingMask;
    if (config.ramp) {
        copyRamp(dst, static_cast<uint64_t>(start) * 64 + b.dmaCursorBytes, length, config.unitMarks);
        b.dmaCursorBytes += length;
        return;
    }
    std::vector<int16_t> chunk;
    uint64_t copied = 0;
    while (copied < length) {
        const uint64_t pos = b.dmaCursorBytes + copied;
        const uint32_t unit = static_cast<uint32_t>((start + pos / 64) & kRingMask);
        const uint64_t skip = pos % 64;
        const uint64_t want = std::min<uint64_t>(length - copied, 4096u * 64u - skip);
        const uint32_t units = static_cast<uint32_t>((skip + want + 63) / 64);
        chunk.resize(static_cast<size_t>(units) * kWordsPerUnit);
        synthUnits(b, unit, units, chunk.data());
        std::memcpy(dst + copied, reinterpret_cast<const uint8_t *>(chunk.data()) + skip, want);
        copied += want;
    }
    b.dmaCursorBytes += length;
}

void Emulator::readTwoChannel(Board &b, uint8_t *dst, uint64_t length)
{
    // Word i: channel 0 sample in the high half, channel 1 in the low half
    // (as 16-bit words: low half at index 2i, high half at 2i + 1).
    const uint64_t firstWord = b.dmaCursorBytes / 4;
    const uint64_t words = (b.dmaCursorBytes % 4 + length + 3) / 4;
    std::vector<uint32_t> out(static_cast<size_t>(words));
    if (config.ramp) {
        for (uint64_t i = 0; i < words; ++i) {
            const uint64_t w = firstWord + i;
            out[i] = (static_cast<uint32_t>((2 * w + 1) & 0xFFFF) << 16) | static_cast<uint32_t>((2 * w) & 0xFFFF);
        }
    } else {
        std::vector<int16_t> a(static_cast<size_t>(words)), c(static_cast<size_t>(words));
        const int64_t n0 = b.twoChannelFirstSample + static_cast<int64_t>(firstWord);
        const double rate = sampleRateHz(b);
        for (uint64_t done = 0; done < words; done += 65536) {
            const int n = static_cast<int>(std::min<uint64_t>(65536, words - done));
            synthesise(config.signals[0], 0, config.seed, n0 + static_cast<int64_t>(done), rate,
                       lowPass(b), n, a.data() + done);
            synthesise(config.signals[1], 1, config.seed, n0 + static_cast<int64_t>(done), rate,
                       lowPass(b), n, c.data() + done);
        }
        for (uint64_t i = 0; i < words; ++i)
            out[i] = (static_cast<uint32_t>(static_cast<uint16_t>(a[i])) << 16) | static_cast<uint16_t>(c[i]);
    }
    std::memcpy(dst, reinterpret_cast<const uint8_t *>(out.data()) + b.dmaCursorBytes % 4, length);
    b.dmaCursorBytes += length;
}

} // namespace lompcie
