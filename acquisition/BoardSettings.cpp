// The trigger-source and sample-rate register sequences (see BoardSettings.h).
#include "BoardSettings.h"

#include "BlockRing.h"
#include "BoardRegisters.h"
#include "DeviceLock.h"
#include "KelPcieApi.h"
#include "WorkThread.h"

#include <atomic>

namespace acquisition {

namespace {
std::atomic<quint64> armings{0};
std::atomic<int> lastRateMode{-1};
std::atomic<int> lastDecimationCode{-1};
std::atomic<int> lastDecimationFactor{-1};
} // namespace

RateRegisters lastRateRegisters()
{
    return {lastRateMode.load(), lastDecimationCode.load(), lastDecimationFactor.load()};
}

quint64 streamArmings()
{
    return armings.load();
}

void applyTriggerSource(quint32 handle, int index, bool& armed)
{
    if (handle == 0)
        return;
    const std::unique_lock<std::mutex> lock = lockDeviceForChange(handle);
    if (armed) {
        armed = false;
        KelPcieWriteData(handle, boardreg::Command, boardreg::CommandStop);
        KelPcieWriteData(handle, boardreg::StreamEnable, 0);
    }
    if (index == kModeContinuous) {
        armed = true;
        KelPcieWriteData(handle, boardreg::CaptureStart, 0);
        KelPcieWriteData(handle, boardreg::StreamEnable, 1);
        KelPcieWriteData(handle, boardreg::Command, boardreg::CommandCapture);
        armings.fetch_add(1);
    }
}

recordingmeta::Recording streamRecordingMetadata(double sampleRateHz, const QString& recorder,
                                                 const QString& hardware)
{
    recordingmeta::Recording r;
    r.sampleRateHz = sampleRateHz;
    r.recorder = recorder;
    r.hardware = hardware;
    r.description = QStringLiteral("H452 continuous transfer");
    const RateRegisters registers = lastRateRegisters();
    r.rateMode = registers.rateMode;
    r.decimationCode = registers.decimationCode;
    r.decimationFactor = registers.decimationFactor;
    r.triggerSource = QStringLiteral("continuous transfer");
    r.triggerMode = QStringLiteral("untriggered stream");
    r.blockBytes = int(BlockRing::kDefaultSlotBytes);
    return r;
}

void applySampleRateRegisters(quint32 handle, int sampleRatParam, int dataParam, int CICParam)
{
    if (handle == 0)
        return;
    const std::unique_lock<std::mutex> lock = lockDeviceForChange(handle);
    KelPcieWriteData(handle, boardreg::RateMode, quint32(sampleRatParam));
    lastRateMode.store(sampleRatParam);
    if (sampleRatParam >= 0) {
        KelPcieWriteData(handle, boardreg::DecimationCode, quint32(dataParam));
        lastDecimationCode.store(dataParam);
    }
    if (CICParam >= 4 && CICParam <= 4000) {
        KelPcieWriteData(handle, boardreg::DecimationFactor, quint32(CICParam));
        lastDecimationFactor.store(CICParam);
    }
}

} // namespace acquisition
