// BoardSettings: the register sequences of the trigger-source and sample-rate
// settings, written to the board as soon as the user changes them, each whole
// under the device lock (DeviceLock.h).
//
// Trigger source: leaving continuous transfer stops the board's capture
// (768 <- 0) and switches the continuous mode off (880 <- 0); entering it
// sets the capture start unit (788 <- 0), switches continuous mode on
// (880 <- 1) and starts the capture (768 <- 1), so the board fills its ring
// before Run starts the host side.
//
// Sample rate: 512 <- rate mode; 272 <- decimation code when the mode is 0 or
// more; 276 <- factor of the programmable stage when it lies in 4..4000.
//
// Register results are not looked at: a failed write leaves the board as it
// was, and the next change writes again. Without a board (handle 0) nothing
// is written. The caller holds dataMutex (or no lock), never the device lock.
#pragma once

#include <QtGlobal>

namespace acquisition {

// The continuous-transfer registers for a new trigger-source index. `armed`
// says whether the board is set up for continuous transfer; it is updated.
// Does nothing when `handle` is 0 (no board: `armed` stays as it is).
void applyTriggerSource(quint32 handle, int index, bool& armed);

// The rate registers (see above). Does nothing when `handle` is 0.
void applySampleRateRegisters(quint32 handle, int sampleRatParam, int dataParam, int CICParam);

} // namespace acquisition
