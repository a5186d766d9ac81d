// The trigger-source and sample-rate register sequences (see BoardSettings.h).
#include "BoardSettings.h"

#include "DeviceLock.h"
#include "KelPcieApi.h"
#include "WorkThread.h"

namespace {

constexpr quint64 kRegCommand = 768;        // 0x300: 1 start capture, 0 stop
constexpr quint64 kRegCaptureStart = 788;   // 0x314: capture start unit
constexpr quint64 kRegContinuous = 880;     // 0x370: continuous transfer on/off
constexpr quint64 kRegRateMode = 512;       // 0x200
constexpr quint64 kRegDecimation = 272;     // 0x110
constexpr quint64 kRegCicFactor = 276;      // 0x114

} // namespace

namespace acquisition {

void applyTriggerSource(quint32 handle, int index, bool& armed)
{
    if (handle == 0)
        return;
    std::lock_guard<std::mutex> lock(deviceMutex());
    if (armed) {
        armed = false;
        KelPcieWriteData(handle, kRegCommand, 0);
        KelPcieWriteData(handle, kRegContinuous, 0);
    }
    if (index == kModeContinuous) {
        armed = true;
        KelPcieWriteData(handle, kRegCaptureStart, 0);
        KelPcieWriteData(handle, kRegContinuous, 1);
        KelPcieWriteData(handle, kRegCommand, 1);
    }
}

void applySampleRateRegisters(quint32 handle, int sampleRatParam, int dataParam, int CICParam)
{
    if (handle == 0)
        return;
    std::lock_guard<std::mutex> lock(deviceMutex());
    KelPcieWriteData(handle, kRegRateMode, quint32(sampleRatParam));
    if (sampleRatParam >= 0)
        KelPcieWriteData(handle, kRegDecimation, quint32(dataParam));
    if (CICParam >= 4 && CICParam <= 4000)
        KelPcieWriteData(handle, kRegCicFactor, quint32(CICParam));
}

} // namespace acquisition
