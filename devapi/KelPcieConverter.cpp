// KelPcieConverter.cpp - converter, output mode, sample rate and DA set-up
// of the device library (interface: KelPcieApi.h; register names:
// BoardRegisters.h).
#include "KelPcieApi.h"

#include "BoardRegisters.h"
#include "KelPcieState.h"

#include <cmath>
#include <cstring>
#include <vector>

using kelpcie::guarded;
using kelpcie::pollSleep;
using kelpcie::readReg;
using kelpcie::state;
using kelpcie::writeReg;

namespace {

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
        const uint32_t accepted = readReg(boardreg::DaAccepted);
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
    writeReg(boardreg::DaBeginStart, 0);
    writeReg(boardreg::DaBeginLength, blocks);
    writeReg(boardreg::DaCommand, boardreg::DaCommandBegin);
    // The transfer carries the packed blocks (blocks x 32 bytes); the
    // buffer's upper half exists only as the board's staging room.
    const int32_t t = WriteDMA(state().handle, reinterpret_cast<const uint32_t *>(buffer.data()), 0,
                               static_cast<uint64_t>(blocks) * 32);
    if (!outputB && !awaitAcceptance(t))
        return KELPCIE_ERR_DA_TRANSFER;
    writeReg(boardreg::DaFinishStart, 0);
    writeReg(boardreg::DaFinishLength, blocks);
    return writeReg(boardreg::DaCommand, boardreg::DaCommandFinish);
}

} // namespace

extern "C" {

KELPCIE_API int32_t KelPcieInitADDAC(uint32_t)
{
    return guarded([&]() -> int32_t {
        writeReg(boardreg::ConverterEnableA, 0);
        writeReg(boardreg::ConverterEnableB, 0);
        writeReg(boardreg::ConverterConfig, boardreg::ConverterConfigValue);
        writeReg(boardreg::Command, boardreg::CommandStop);
        static const struct {
            uint64_t reg;
            uint32_t value;
        } sequence[] = {{boardreg::ConverterEnableA, 1},  {boardreg::ConverterEnableB, 1},
                        {boardreg::ConverterPulse, 1},    {boardreg::ConverterPulse, 0},
                        {boardreg::DecimationRestart, 0}, {boardreg::DecimationRestart, 1},
                        {boardreg::ConverterInitDone, boardreg::ConverterInitDoneValue}};
        int32_t r = 0;
        for (const auto &w : sequence) {
            r = writeReg(w.reg, w.value);
            pollSleep();
        }
        return r;
    });
}

KELPCIE_API int32_t KelPcieInitDUC(uint32_t)
{
    return guarded([&]() -> int32_t {
        int32_t r = 0;
        for (uint32_t word : {0x090003u, 0x280002u, 0x280000u}) {
            r = writeReg(boardreg::DaSerialCommand, word);
            pollSleep();
        }
        return r;
    });
}

KELPCIE_API int32_t KelPcieSwitchMode(uint32_t, int32_t mode)
{
    return guarded([&]() -> int32_t {
        if (mode != 0 && mode != 2)
            return 0;
        const int32_t r = writeReg(boardreg::OutputMode, static_cast<uint32_t>(mode));
        pollSleep();
        return r;
    });
}

KELPCIE_API int32_t KelPcieSwitchModeDA(uint32_t, int32_t mode, double freqA, double phaseADeg, double freqB,
                                        double phaseBDeg)
{
    return guarded([&]() -> int32_t {
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
            r = writeReg(boardreg::DaSerialCommand, words[i]);
            pollSleep();
        }
        return r;
    });
}

KELPCIE_API int32_t KelPcieCfgDataRate(uint32_t, double sampleRateHz)
{
    return guarded([&]() -> int32_t {
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
        int32_t r = writeReg(boardreg::DecimationCode, code);
        if (r < 0)
            return KELPCIE_ERR_RATE_CODE;
        if (code == 0)
            return r;
        if (code > 7 && writeReg(boardreg::DecimationFactor, factor) < 0)
            return KELPCIE_ERR_RATE_FACTOR;
        if (writeReg(boardreg::DecimationRestart, 0) < 0)
            return KELPCIE_ERR_RATE_RESET;
        r = writeReg(boardreg::DecimationRestart, 1);
        return r < 0 ? KELPCIE_ERR_RATE_GO : r;
    });
}

KELPCIE_API int32_t KelPcieConfigureData(uint32_t, const int32_t *outputA, const int32_t *outputB, uint32_t count)
{
    return guarded([&]() -> int32_t {
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
        writeReg(boardreg::DaBeginStart, 0);
        writeReg(boardreg::DaBeginLength, blocks / 2);
        writeReg(boardreg::DaCommand, boardreg::DaCommandBegin);
        const int32_t t = WriteDMA(state().handle, reinterpret_cast<const uint32_t *>(buffer.data()), 0,
                                   static_cast<uint64_t>(blocks) * 32);
        if (!awaitAcceptance(t))
            return KELPCIE_ERR_DA_TRANSFER;
        writeReg(boardreg::DaFinishStart, 0);
        writeReg(boardreg::DaFinishLength, blocks / 2);
        writeReg(boardreg::DaCommand, boardreg::DaCommandFinish);
        writeReg(boardreg::DaTwoOutputClear, 0);
        pollSleep();
        writeReg(boardreg::DaOutputRestart, 0);
        pollSleep();
        const int32_t r = writeReg(boardreg::DaOutputRestart, 1);
        pollSleep();
        return r;
    });
}

KELPCIE_API int32_t KelPcieConfigureChanleAData(uint32_t, const int32_t *samples, uint32_t count)
{
    return guarded([&] { return downloadSingle(false, samples, count); });
}

KELPCIE_API int32_t KelPcieConfigureChanleBData(uint32_t, const int32_t *samples, uint32_t count)
{
    return guarded([&] { return downloadSingle(true, samples, count); });
}

} // extern "C"
