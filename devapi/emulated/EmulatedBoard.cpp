// EmulatedBoard.cpp - the emulated board's boards and handles, its sample
// clock, and what its registers do: free-run, triggered, continuous and
// two-channel captures and the DA download handshake (see Emulator.h; the
// register meanings are in BoardRegisters.h).
#include "Emulator.h"

#include "BoardRegisters.h"

#include <algorithm>
#include <cstdint>

namespace lompcie {

void Emulator::configure()
{
    config = readConfig();
    boards.clear();
    for (uint32_t i = 0; i < config.boards; ++i) {
        boards.push_back(std::make_unique<Board>());
        boards.back()->index = i;
    }
    ++generation;
    dmaCalls = 0;
    start = std::chrono::steady_clock::now();
    configured = true;
}

double Emulator::nowS() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

LomPcieHandle Emulator::handleOf(const Board &b) const
{
    const uint64_t v = (static_cast<uint64_t>(generation) << 32) | (0x4C500000u + b.index + 1);
    return reinterpret_cast<LomPcieHandle>(static_cast<uintptr_t>(v));
}

Board *Emulator::boardOf(LomPcieHandle h)
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

double Emulator::sampleRateHz(const Board &b) const
{
    const auto reg = [&](uint64_t r) {
        auto it = b.regs.find(r);
        return it == b.regs.end() ? 0u : it->second;
    };
    const uint32_t mode = reg(boardreg::RateMode);
    if (mode == boardreg::RateModeHalf)
        return 500e6;
    if (mode != boardreg::RateModeDecimated)
        return 1e9;
    const uint32_t code = reg(boardreg::DecimationCode);
    double rate = 250e6;
    for (int bit = 0; bit < 3; ++bit)
        if (code & (1u << bit))
            rate /= 2;
    if (code & boardreg::DecimationProgrammable) {
        const uint32_t factor = reg(boardreg::DecimationFactor);
        rate /= factor ? factor : 1;
    }
    if (code & boardreg::DecimationBy100)
        rate /= 100;
    return rate;
}

bool Emulator::lowPass(const Board &b) const
{
    auto it = b.regs.find(boardreg::RateMode);
    return it != b.regs.end() && it->second == boardreg::RateModeDecimated;
}

int64_t Emulator::sampleNow(const Board &b) const
{
    return static_cast<int64_t>(nowS() * sampleRateHz(b));
}

uint64_t Emulator::streamUnitsWritten(const Board &b) const
{
    if (!b.streaming)
        return b.streamFrozenUnits;
    return static_cast<uint64_t>(std::max(0.0, (nowS() - b.streamStartS) * config.streamUnitsPerS));
}

void Emulator::updateStream(Board &b)
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

void Emulator::stopStream(Board &b)
{
    if (!b.streaming)
        return;
    b.streamFrozenUnits = streamUnitsWritten(b);
    b.streaming = false;
    updateStream(b);
    b.streamFrozenUnits = 0;
}

// ---- Triggered captures -------------------------------------------------

// Fires an armed capture once its delay has passed: the ring around the
// trigger unit then holds the signal with the trigger instant at sample 0
// of that unit (the whole ring, as a board that kept writing while armed).
void Emulator::pollTrigger(Board &b)
{
    if (!b.armed || b.fired || config.triggerNever)
        return;
    if (nowS() - b.armedAtS < config.triggerDelayS)
        return;
    const double rate = sampleRateHz(b);
    int64_t trig = sampleNow(b);
    const uint32_t cond = b.regs[boardreg::TriggerCondition];
    if (!b.externalSource && cond >= 1 && cond <= 8 && !config.ramp) {
        const int ch = static_cast<int>((cond - 1) % 4);
        const bool rising = cond <= 4;
        const int level = static_cast<int16_t>(b.regs[boardreg::TriggerLevel] & 0xFFFFu);
        // A real board waits for the edge; one that never comes within
        // about a million samples never fires (the library times out).
        std::vector<int16_t> buf(4097);
        bool found = false;
        for (int64_t base = trig; base < trig + (1 << 20) && !found; base += 4096) {
            synthesise(config.signals[ch], ch, config.seed, base, rate, lowPass(b), 4097, buf.data());
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

void Emulator::write(Board &b, uint64_t reg, uint32_t value)
{
    b.regs[reg] = value;
    switch (reg) {
    case boardreg::Command:
        command(b, value);
        break;
    case boardreg::StreamEnable:
        if (value != 1)
            stopStream(b);
        break;
    case boardreg::TriggerSource:
        b.externalSource = value == boardreg::TriggerSourceExternal;
        break;
    case boardreg::TwoChannelStart:
        if (value == 1) {
            b.twoChannelDone = !config.triggerNever;
            b.twoChannelFirstSample = sampleNow(b);
            b.dmaSource = DmaSource::TwoChannel;
            b.dmaCursorBytes = 0;
        } else {
            b.twoChannelDone = false;
        }
        break;
    case boardreg::DaCommand:
        if (value == boardreg::DaCommandBegin) {
            b.daPending = true;
            b.daAccepted = false;
        } else if (value == boardreg::DaCommandFinish) {
            b.daPending = false;
        }
        break;
    default:
        break;
    }
}

void Emulator::command(Board &b, uint32_t value)
{
    switch (value) {
    case boardreg::CommandStop:
        b.armed = false;
        b.captureDone = false;
        stopStream(b);
        break;
    case boardreg::CommandCapture:
        stopStream(b);
        b.armed = false;
        if (b.regs[boardreg::StreamEnable] == 1) {
            b.streaming = true;
            b.streamStartS = nowS();
            b.streamStartUnit = b.regs[boardreg::CaptureStart] & kRingMask;
            b.streamFirstSample = sampleNow(b);
            b.streamRateHz = sampleRateHz(b);
            b.streamFrozenUnits = 0;
            b.writePointer = b.streamStartUnit;
            b.captureDone = false;
        } else {
            writeSpan(b, b.regs[boardreg::CaptureStart], b.regs[boardreg::CaptureUnits], sampleNow(b),
                      sampleRateHz(b), lowPass(b));
            b.captureDone = true;
        }
        break;
    case boardreg::CommandTransfer:
        updateStream(b);
        b.dmaSource = DmaSource::Ring;
        b.dmaCursorBytes = 0;
        break;
    case boardreg::CommandArm:
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

uint32_t Emulator::read(Board &b, uint64_t reg)
{
    switch (reg) {
    case boardreg::CaptureDone:
        pollTrigger(b);
        return b.captureDone ? 1u : 0u;
    case boardreg::TriggerFine:
        pollTrigger(b);
        return 0u; // the trigger instant is always sample 0 of its unit
    case boardreg::TriggerUnit:
        pollTrigger(b);
        return b.triggerUnit;
    case boardreg::WritePointer:
        if (b.streaming) {
            const uint64_t written = streamUnitsWritten(b);
            b.writePointer = static_cast<uint32_t>((b.streamStartUnit + written) & kRingMask);
        }
        return b.writePointer;
    case boardreg::TwoChannelDone:
        return b.twoChannelDone ? 1u : 0u;
    case boardreg::DaAccepted:
        return b.daAccepted ? 1u : 0u;
    default: {
        auto it = b.regs.find(reg);
        return it == b.regs.end() ? 0u : it->second;
    }
    }
}

} // namespace lompcie
