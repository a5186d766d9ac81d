// BoardSettings: the register sequences of the trigger-source and sample-rate
// settings, written to the board as soon as the user changes them, each whole
// under the device lock (DeviceLock.h), taken by cancelling a capture that
// waits for its trigger rather than waiting for it (lockDeviceForChange).
//
// Trigger source (register names of BoardRegisters.h): leaving continuous
// transfer stops the board's capture (Command <- CommandStop) and switches
// the continuous mode off (StreamEnable <- 0); entering it sets the capture
// start unit (CaptureStart <- 0), switches continuous mode on
// (StreamEnable <- 1) and starts the capture (Command <- CommandCapture), so
// the board fills its ring before Run starts the host side.
//
// Sample rate: RateMode <- rate mode; DecimationCode <- decimation code when
// the mode is 0 or more; DecimationFactor <- factor of the programmable stage
// when it lies in 4..4000.
//
// Register results are not looked at: a failed write leaves the board as it
// was, and the next change writes again. Without a board (handle 0) nothing
// is written. The caller holds dataMutex (or no lock), never the device lock.
#pragma once

#include "RecordingMeta.h"

#include <QString>
#include <QtGlobal>

namespace acquisition {

// The continuous-transfer registers for a new trigger-source index. `armed`
// says whether the board is set up for continuous transfer; it is updated.
// Does nothing when `handle` is 0 (no board: `armed` stays as it is).
void applyTriggerSource(quint32 handle, int index, bool& armed);

// How often the board's continuous capture has been armed in this process
// (by applyTriggerSource). A continuous run that finds the count where its
// previous run left it continues the same armed stream (BlockStream.h).
quint64 streamArmings();

// The rate register values last written by applySampleRateRegisters (-1:
// never written, or a stage that was left alone), for a recording's metadata.
struct RateRegisters {
    int rateMode = -1;
    int decimationCode = -1;
    int decimationFactor = -1;
};
RateRegisters lastRateRegisters();

// What a continuous-transfer recording's metadata says of the board: the
// given rate (fs; 0 or less: unknown), recorder and hardware texts, the
// rate registers as last written, the trigger and the block size.
recordingmeta::Recording streamRecordingMetadata(double sampleRateHz, const QString& recorder,
                                                 const QString& hardware);

// The rate registers (see above). Does nothing when `handle` is 0.
void applySampleRateRegisters(quint32 handle, int sampleRatParam, int dataParam, int CICParam);

} // namespace acquisition
