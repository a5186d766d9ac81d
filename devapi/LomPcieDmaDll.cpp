// LomPcieDmaDll.cpp - the emulated H452 board behind the board driver's C
// interface (configuration and trace format: LomPcieDmaDll.h).
//
// The board's memory is never allocated: what a unit of the DDR4 ring holds
// is a function of its index and of the capture that last wrote it. Each
// capture records a "span" (a range of units and the absolute sample index
// at its first unit); reading a unit synthesises the signal at the sample
// indices of the span that covers it. Units no capture has written hold the
// signal from sample 0 on. A continuous capture is one long span that grows
// with time. All state is per process and guarded by one mutex.
#include "LomPcieDmaDll.h"

#include "EmulatedSignal.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using lompcie::SignalConfig;

constexpr uint32_t kRingUnits = LOMPCIE_RING_UNITS;
constexpr uint32_t kRingMask = kRingUnits - 1;
constexpr int kSamplesPerUnit = 8;
constexpr int kWordsPerUnit = 32; // 16-bit words

// Registers the emulated board gives meaning to.
enum Reg : uint64_t {
    RegTwoChannelStart = 256,
    RegTwoChannelDone = 260,
    RegTwoChannelLength = 264,
    RegDecimationCode = 272,
    RegDecimationFactor = 276,
    RegRateMode = 512,
    RegCommand = 768,
    RegCaptureStart = 788,
    RegCaptureUnits = 792,
    RegTransferStart = 804,
    RegTransferUnits = 808,
    RegCaptureDone = 812,
    RegTriggerCondition = 848,
    RegTriggerLevel = 852,
    RegTriggerUnits = 856,
    RegTriggerSource = 860,
    RegTriggerFine = 864,
    RegTriggerUnit = 868,
    RegStreamEnable = 880,
    RegWritePointer = 884,
    RegDaCommand = 1280,
    RegDaAccepted = 1308,
};

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

struct Config {
    uint32_t boards = 0;
    bool ramp = false;
    SignalConfig signals[4];
    uint64_t seed = 1;
    bool triggerNever = false;
    double triggerDelayS = 0.001;
    bool triggerUnitForced = false;
    uint32_t triggerUnit = 0;
    double streamUnitsPerS = 250000;
    bool daAccept = true;
    std::string tracePath;
};

const char *env(const char *name)
{
    const char *v = std::getenv(name);
    return v && *v ? v : nullptr;
}

bool envNumber(const char *name, double &out)
{
    const char *v = env(name);
    if (!v)
        return false;
    char *end = nullptr;
    const double d = std::strtod(v, &end);
    if (!end || *end != '\0' || !std::isfinite(d) || d < 0) {
        std::fprintf(stderr, "LomPcieDmaDll: ignoring %s=%s (not a number >= 0)\n", name, v);
        return false;
    }
    out = d;
    return true;
}

Config readConfig()
{
    Config c;
    double d = 0;
    if (envNumber("LOMPCIE_BOARDS", d))
        c.boards = static_cast<uint32_t>(std::min(d, 255.0));
    if (const char *p = env("LOMPCIE_PATTERN"))
        c.ramp = std::strcmp(p, "ramp") == 0;
    for (int ch = 0; ch < 4; ++ch) {
        c.signals[ch] = lompcie::defaultSignalConfig(ch);
        const std::string name = "LOMPCIE_CH" + std::to_string(ch);
        if (const char *text = env(name.c_str())) {
            std::string error;
            if (!lompcie::parseSignalConfig(text, c.signals[ch], error))
                std::fprintf(stderr, "LomPcieDmaDll: ignoring %s: %s\n", name.c_str(), error.c_str());
        }
    }
    if (envNumber("LOMPCIE_SEED", d))
        c.seed = static_cast<uint64_t>(d);
    if (const char *t = env("LOMPCIE_TRIGGER_DELAY_MS")) {
        if (std::strcmp(t, "never") == 0)
            c.triggerNever = true;
        else if (envNumber("LOMPCIE_TRIGGER_DELAY_MS", d))
            c.triggerDelayS = d / 1000.0;
    }
    if (envNumber("LOMPCIE_TRIGGER_UNIT", d)) {
        c.triggerUnitForced = true;
        c.triggerUnit = static_cast<uint32_t>(static_cast<uint64_t>(d) & kRingMask);
    }
    if (envNumber("LOMPCIE_STREAM_RATE", d))
        c.streamUnitsPerS = d;
    if (const char *a = env("LOMPCIE_DA_ACCEPT"))
        c.daAccept = std::strcmp(a, "0") != 0;
    if (const char *t = env("LOMPCIE_TRACE"))
        c.tracePath = t;
    return c;
}

struct Emulator {
    std::mutex mutex;
    bool configured = false;
    Config config;
    std::vector<SlomPXIDevInfo> records;
    std::vector<std::unique_ptr<Board>> boards;
    uint32_t generation = 0;
    std::chrono::steady_clock::time_point start;

    void configure()
    {
        config = readConfig();
        boards.clear();
        for (uint32_t i = 0; i < config.boards; ++i) {
            boards.push_back(std::make_unique<Board>());
            boards.back()->index = i;
        }
        ++generation;
        start = std::chrono::steady_clock::now();
        configured = true;
    }
    void ensure()
    {
        if (!configured)
            configure();
    }
    double nowS() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    // The trace is opened per line so that a test may truncate or remove the
    // file between calls without confusing the driver.
    void trace(const char *fmt, ...) __attribute__((format(printf, 2, 3)))
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

    // Handles carry the generation in the high half so that handles from
    // before a reset are refused; the low half is never zero.
    LomPcieHandle handleOf(const Board &b) const
    {
        const uint64_t v = (static_cast<uint64_t>(generation) << 32) | (0x4C500000u + b.index + 1);
        return reinterpret_cast<LomPcieHandle>(static_cast<uintptr_t>(v));
    }
    Board *boardOf(LomPcieHandle h)
    {
        const uint64_t v = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(h));
        if ((v >> 32) != generation)
            return nullptr;
        const uint32_t low = static_cast<uint32_t>(v);
        if (low <= 0x4C500000u || low - 0x4C500001u >= boards.size())
            return nullptr;
        Board *b = boards[low - 0x4C500001u].get();
        return b->open ? b : nullptr;
    }

    double sampleRateHz(const Board &b) const
    {
        const auto reg = [&](uint64_t r) {
            auto it = b.regs.find(r);
            return it == b.regs.end() ? 0u : it->second;
        };
        const uint32_t mode = reg(RegRateMode);
        if (mode == 1)
            return 500e6;
        if (mode != 2)
            return 1e9;
        const uint32_t code = reg(RegDecimationCode);
        double rate = 250e6;
        for (int bit = 0; bit < 3; ++bit)
            if (code & (1u << bit))
                rate /= 2;
        if (code & 0x10u) {
            const uint32_t factor = reg(RegDecimationFactor);
            rate /= factor ? factor : 1;
        }
        if (code & 0x20u)
            rate /= 100;
        return rate;
    }
    bool lowPass(const Board &b) const
    {
        auto it = b.regs.find(RegRateMode);
        return it != b.regs.end() && it->second == 2;
    }
    int64_t sampleNow(const Board &b) const
    {
        return static_cast<int64_t>(nowS() * sampleRateHz(b));
    }

    // ---- The ring: spans of captured content ----------------------------

    // Records that units [begin, begin + units) (wrapping) now hold samples
    // from `firstSample` on.
    void writeSpan(Board &b, uint32_t begin, uint64_t units, int64_t firstSample, double rateHz,
                   bool lp)
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
    // Non-wrapping [begin, end), end <= kRingUnits.
    static void assignInterval(Board &b, uint32_t begin, uint32_t end, Span span)
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

    uint64_t streamUnitsWritten(const Board &b) const
    {
        if (!b.streaming)
            return b.streamFrozenUnits;
        return static_cast<uint64_t>(std::max(0.0, (nowS() - b.streamStartS) * config.streamUnitsPerS));
    }
    void updateStream(Board &b)
    {
        if (!b.streaming && b.streamFrozenUnits == 0)
            return;
        const uint64_t written = streamUnitsWritten(b);
        b.writePointer = static_cast<uint32_t>((b.streamStartUnit + written) & kRingMask);
        // The last lap of the stream is what the ring now holds of it.
        const uint64_t held = std::min<uint64_t>(written, kRingUnits);
        if (held > 0)
            writeSpan(b, static_cast<uint32_t>(b.streamStartUnit + written - held), held,
                      b.streamFirstSample + static_cast<int64_t>(written - held) * kSamplesPerUnit,
                      b.streamRateHz, lowPass(b));
    }
    void stopStream(Board &b)
    {
        if (!b.streaming)
            return;
        b.streamFrozenUnits = streamUnitsWritten(b);
        b.streaming = false;
        updateStream(b);
        b.streamFrozenUnits = 0;
    }

    // Synthesises `units` whole units from `firstUnit` on (wrapping) into
    // out (units x 32 int16 values in the board's layout).
    void synthUnits(const Board &b, uint32_t firstUnit, uint32_t units, int16_t *out)
    {
        if (config.ramp) {
            for (uint32_t k = 0; k < units; ++k) {
                const uint32_t u = (firstUnit + k) & kRingMask;
                const uint32_t w0 = u * kWordsPerUnit; // wraps modulo 2^32: fine modulo 65536
                for (int w = 0; w < kWordsPerUnit; ++w)
                    out[k * kWordsPerUnit + w] = static_cast<int16_t>(static_cast<uint16_t>(w0 + w));
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
                lompcie::synthesise(config.signals[ch], ch, config.seed, n0, span.rateHz, span.lowPass,
                                    n, samples.data());
                // Sample s of the channel: group s / 4, slot ch * 4 + s % 4.
                for (int s = 0; s < n; ++s)
                    dst[(s / 4) * 16 + ch * 4 + (s % 4)] = samples[static_cast<size_t>(s)];
            }
            done += count;
        }
    }

    // ---- Triggered captures -------------------------------------------------

    // Fires an armed capture once its delay has passed: the ring around the
    // trigger unit then holds the signal with the trigger instant at sample 0
    // of that unit (the whole ring, as a board that kept writing while armed).
    void pollTrigger(Board &b)
    {
        if (!b.armed || b.fired || config.triggerNever)
            return;
        if (nowS() - b.armedAtS < config.triggerDelayS)
            return;
        const double rate = sampleRateHz(b);
        int64_t trig = sampleNow(b);
        const uint32_t cond = b.regs[RegTriggerCondition];
        if (!b.externalSource && cond >= 1 && cond <= 8 && !config.ramp) {
            const int ch = static_cast<int>((cond - 1) % 4);
            const bool rising = cond <= 4;
            const int level = static_cast<int16_t>(b.regs[RegTriggerLevel] & 0xFFFFu);
            // A real board waits for the edge; one that never comes within
            // about a million samples never fires (the library times out).
            std::vector<int16_t> buf(4097);
            bool found = false;
            for (int64_t base = trig; base < trig + (1 << 20) && !found; base += 4096) {
                lompcie::synthesise(config.signals[ch], ch, config.seed, base, rate, lowPass(b), 4097,
                                    buf.data());
                for (int k = 1; k < 4097; ++k) {
                    const bool edge = rising ? (buf[k - 1] < level && buf[k] >= level)
                                             : (buf[k - 1] > level && buf[k] <= level);
                    if (edge) {
                        trig = base + k;
                        found = true;
                        break;
                    }
                }
            }
            if (!found) {
                b.armed = false;
                return;
            }
        }
        b.fired = true;
        b.captureDone = true;
        b.triggerUnit = config.triggerUnitForced
                            ? config.triggerUnit
                            : static_cast<uint32_t>((trig / kSamplesPerUnit) & kRingMask);
        const uint32_t half = kRingUnits / 2;
        writeSpan(b, b.triggerUnit - half, kRingUnits,
                  trig - static_cast<int64_t>(half) * kSamplesPerUnit, rate, lowPass(b));
    }

    // ---- Register side effects ----------------------------------------------

    void write(Board &b, uint64_t reg, uint32_t value)
    {
        b.regs[reg] = value;
        switch (reg) {
        case RegCommand:
            command(b, value);
            break;
        case RegStreamEnable:
            if (value != 1)
                stopStream(b);
            break;
        case RegTriggerSource:
            b.externalSource = value == 8;
            break;
        case RegTwoChannelStart:
            if (value == 1) {
                b.twoChannelDone = !config.triggerNever;
                b.twoChannelFirstSample = sampleNow(b);
                b.dmaSource = DmaSource::TwoChannel;
                b.dmaCursorBytes = 0;
            } else {
                b.twoChannelDone = false;
            }
            break;
        case RegDaCommand:
            if (value == 1) {
                b.daPending = true;
                b.daAccepted = false;
            } else if (value == 2) {
                b.daPending = false;
            }
            break;
        default:
            break;
        }
    }

    void command(Board &b, uint32_t value)
    {
        switch (value) {
        case 0:
            b.armed = false;
            b.captureDone = false;
            stopStream(b);
            break;
        case 1:
            stopStream(b);
            b.armed = false;
            if (b.regs[RegStreamEnable] == 1) {
                b.streaming = true;
                b.streamStartS = nowS();
                b.streamStartUnit = b.regs[RegCaptureStart] & kRingMask;
                b.streamFirstSample = sampleNow(b);
                b.streamRateHz = sampleRateHz(b);
                b.streamFrozenUnits = 0;
                b.writePointer = b.streamStartUnit;
                b.captureDone = false;
            } else {
                writeSpan(b, b.regs[RegCaptureStart], b.regs[RegCaptureUnits], sampleNow(b),
                          sampleRateHz(b), lowPass(b));
                b.captureDone = true;
            }
            break;
        case 2:
            updateStream(b);
            b.dmaSource = DmaSource::Ring;
            b.dmaCursorBytes = 0;
            break;
        case 4:
            stopStream(b);
            b.armed = true;
            b.fired = false;
            b.externalSource = false;
            b.captureDone = false;
            b.armedAtS = nowS();
            break;
        default:
            break;
        }
    }

    uint32_t read(Board &b, uint64_t reg)
    {
        switch (reg) {
        case RegCaptureDone:
            pollTrigger(b);
            return b.captureDone ? 1u : 0u;
        case RegTriggerFine:
            pollTrigger(b);
            return 0u; // the trigger instant is always sample 0 of its unit
        case RegTriggerUnit:
            pollTrigger(b);
            return b.triggerUnit;
        case RegWritePointer:
            if (b.streaming) {
                const uint64_t written = streamUnitsWritten(b);
                b.writePointer = static_cast<uint32_t>((b.streamStartUnit + written) & kRingMask);
            }
            return b.writePointer;
        case RegTwoChannelDone:
            return b.twoChannelDone ? 1u : 0u;
        case RegDaAccepted:
            return b.daAccepted ? 1u : 0u;
        default: {
            auto it = b.regs.find(reg);
            return it == b.regs.end() ? 0u : it->second;
        }
        }
    }

    // ---- DMA -------------------------------------------------------------

    void readRing(Board &b, uint8_t *dst, uint64_t length)
    {
        const uint32_t start = b.regs[RegTransferStart] & kRingMask;
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

    void readTwoChannel(Board &b, uint8_t *dst, uint64_t length)
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
                lompcie::synthesise(config.signals[0], 0, config.seed, n0 + static_cast<int64_t>(done), rate,
                                    lowPass(b), n, a.data() + done);
                lompcie::synthesise(config.signals[1], 1, config.seed, n0 + static_cast<int64_t>(done), rate,
                                    lowPass(b), n, c.data() + done);
            }
            for (uint64_t i = 0; i < words; ++i)
                out[i] = (static_cast<uint32_t>(static_cast<uint16_t>(a[i])) << 16) | static_cast<uint16_t>(c[i]);
        }
        std::memcpy(dst, reinterpret_cast<const uint8_t *>(out.data()) + b.dmaCursorBytes % 4, length);
        b.dmaCursorBytes += length;
    }
};

Emulator &emu()
{
    static Emulator *instance = new Emulator; // lives to process end, past static destructors
    return *instance;
}

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
    Emulator &e = emu();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.ensure();
    e.trace("W %llu %u", static_cast<unsigned long long>(address), value);
    Board *b = e.boardOf(handle);
    if (!b)
        return LOMPCIE_ERR_HANDLE;
    try {
        e.write(*b, address, value);
    } catch (const std::bad_alloc &) {
        return LOMPCIE_ERR_INTERNAL;
    }
    return 0;
}

LOMPCIE_API int32_t ReadUint32(LomPcieHandle handle, uint64_t address, uint32_t *value)
{
    Emulator &e = emu();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.ensure();
    Board *b = e.boardOf(handle);
    int32_t result = 0;
    uint32_t v = 0;
    if (!b)
        result = LOMPCIE_ERR_HANDLE;
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
    Emulator &e = emu();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.ensure();
    Board *b = e.boardOf(handle);
    int32_t result = 0;
    if (!b)
        result = LOMPCIE_ERR_HANDLE;
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
    else if (length > (64ull << 20))
        result = LOMPCIE_ERR_RANGE; // the DA memory is 64 MiB
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
        const std::string payload = bytes && length <= (64ull << 20) ? hex(bytes, length) : std::string();
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
