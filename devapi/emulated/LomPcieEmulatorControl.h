/*
 * LomPcieEmulatorControl.h - controls of the emulated H452 board for tests,
 * benchmarks and tools. They are not part of the board driver's contract
 * (LomPcieDmaDll.h): a real driver has neither.
 *
 * The emulated board is a real backend, not a mock: it holds the register
 * file in memory, synthesises the DDR4 sample ring on demand (it never
 * allocates it), runs free-run, triggered, continuous and two-channel
 * captures, accepts DA downloads, and can inject faults (a trigger that never
 * fires, a stalled write pointer) so that the library's error paths run.
 * Register names below are those of BoardRegisters.h (namespace boardreg).
 *
 * Configuration (environment variables, read when the emulator starts and
 * again at every LomPcieResetEmulator(); see also the README section
 * "Configuring the emulated board"):
 *
 *   LOMPCIE_BOARDS=N          number of matching boards FindDev reports
 *                             (0 when unset: the program then simulates);
 *                             FindDev always adds one device of another
 *                             vendor, which callers must filter out.
 *   LOMPCIE_PATTERN=ramp      every 16-bit word of the ring equals its word
 *                             index from the ring start modulo 65536 (read
 *                             as int16), fixed for all time.
 *   LOMPCIE_PATTERN=units     the ramp, except that the first two words of
 *                             each unit hold its unit index (low 16 bits,
 *                             then high 16 bits), so that a recording shows
 *                             which ring units it holds. Otherwise the
 *                             channels carry the analog signals below.
 *   LOMPCIE_CH0 .. _CH3       signal of a channel, "kind:key=value,...":
 *       tone:freq=10e6,amp=16000,phase=0,h2=-60,h3=-70,...,h9=..
 *                             (harmonic levels in dBc)
 *       sweep:from=1e6,to=400e6,period=10     (linear sweep, period in s)
 *       bpsk|qpsk|8psk|16qam|64qam:carrier=50e6,symrate=10e6
 *                             (random symbols, rectangular pulses)
 *       pulse:freq=5e6,duty=0.3               (square pulses, 0 to amp)
 *       off                                    (silence)
 *     common keys: amp=<peak, ADC codes>, noise=<rms, ADC codes>,
 *                  offset=<ADC codes>. Frequencies in Hz, times in s.
 *     Defaults: CH0 tone 10 MHz with harmonics, CH1 sweep 1 to 400 MHz,
 *     CH2 QPSK at 50 MHz, CH3 pulses at 5 MHz; all with a little noise.
 *   LOMPCIE_SEED=n            seed of noise and symbols (default 1).
 *   LOMPCIE_TRIGGER_DELAY_MS=d  a triggered capture fires d ms after it is
 *                             armed (default 1); "never" makes it never fire
 *                             and the two-channel capture never finish.
 *   LOMPCIE_TRIGGER_UNIT=u    force the trigger position (unit index) that
 *                             TriggerUnit reports (default: the unit the
 *                             free-running write position has reached).
 *   LOMPCIE_STREAM_RATE=r     continuous capture write pointer speed in
 *                             units per second (default 250000, 16 MB/s,
 *                             a pace the analog synthesis keeps up with);
 *                             0 stalls it.
 *   LOMPCIE_DA_ACCEPT=0       DaAccepted never reports a DA download as
 *                             accepted (default 1: it does).
 *   LOMPCIE_VANISH_AFTER_DMA=n  the board vanishes after n ReadDMA calls:
 *                             every later register or DMA call on its
 *                             handle fails with LOMPCIE_ERR_NODEVICE.
 *   LOMPCIE_COST_WRITE_NS, LOMPCIE_COST_READ_NS, LOMPCIE_COST_DMA_NS,
 *   LOMPCIE_LINK_BYTES_PER_S  the bus-cost model (off when unset): a
 *                             register write, a register read and a DMA call
 *                             last at least their cost, a DMA also its bytes
 *                             over the link; the emulator's own work counts
 *                             toward it (see docs/emulated-board.md).
 *   LOMPCIE_TRACE=<file>      append one line per driver call to <file>:
 *       W <register> <value>                     WriteUint32
 *       R <register> <value>                     ReadUint32 (value returned)
 *       DR <address> <length> <result>           ReadDMA
 *       DW <address> <length> <result> <hex>     WriteDMA, payload bytes
 *       O <a> <b> <c> <result>                   OpenDev
 *       C <result>                               CloseDev
 *       F <count>                                FindDev
 *     (decimal numbers; register values as unsigned 32-bit; hex lowercase)
 *
 * Captures: Command <- CommandCapture captures the CaptureUnits units from
 * CaptureStart on at once (or starts the continuous capture from
 * CaptureStart when StreamEnable is 1), and CaptureDone then reads 1;
 * Command <- CommandArm arms a triggered capture that fires after the
 * trigger delay: with TriggerCondition 1-4 at the next rising edge of
 * channel 0-3 through the level in TriggerLevel, with 5-8 at a falling
 * edge, otherwise (and after TriggerSource <- TriggerSourceExternal) at
 * once; a level the signal never crosses never fires. The ring around the
 * trigger unit (TriggerUnit) then holds the signal with the trigger instant
 * at sample 0 of that unit. The two-channel capture (TwoChannelStart <- 1)
 * delivers channel 0 in the high and channel 1 in the low half of each
 * 32-bit word.
 *
 * The sample rate follows the registers as on the board: RateMode selects
 * 1 GS/s (0), 500 MS/s (1) or the 250 MS/s decimation chain (2), where bits
 * 0-2 of DecimationCode each halve the rate, bit 4 divides it by the factor
 * in DecimationFactor and bit 5 by 100. 1 GS/s until RateMode is written.
 */
#ifndef LOMPCIEEMULATORCONTROL_H
#define LOMPCIEEMULATORCONTROL_H

#include "LomPcieDmaDll.h"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Forgets every board, open handle, register and capture, and re-reads the
 * environment variables above. Handles from before are invalid afterwards.
 */
LOMPCIE_API void LomPcieResetEmulator(void);

/*
 * Copies up to `maxBytes` bytes of the last DA download's payload into `out`
 * (may be null to query) and returns the payload length in bytes, or a
 * negative status for a bad handle.
 */
LOMPCIE_API int64_t LomPcieLastDownload(LomPcieHandle handle, uint8_t *out, uint64_t maxBytes);

#ifdef __cplusplus
}
#endif

#endif
