/*
 * LomPcieDmaDll.h - the board driver's C interface, as the device library
 * KelPcieApi uses it, implemented here by an emulated H452 board.
 *
 * The emulated board is a real backend, not a mock: it holds the register
 * file in memory, synthesises the DDR4 sample ring on demand (it never
 * allocates it), runs free-run, triggered, continuous and two-channel
 * captures, accepts DA downloads, and can inject faults (a trigger that never
 * fires, a stalled write pointer) so that the library's error paths run.
 *
 * Conventions
 *   - Every function returns a signed 32-bit status: 0 or more is success,
 *     a negative value one of the LOMPCIE_ERR_* codes below.
 *   - A handle names one opened board. Its low 32 bits are never zero, so a
 *     caller may use them as a "board open" token. It is not a pointer to
 *     memory and is never dereferenced by anyone but this driver.
 *   - All functions are thread-safe: the emulator serialises them on one
 *     internal mutex. Its state (boards, registers, captures) is per process.
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
 *                             as int16), fixed for all time. Otherwise the
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
 *                             register 868 reports (default: the unit the
 *                             free-running write position has reached).
 *   LOMPCIE_STREAM_RATE=r     continuous capture write pointer speed in
 *                             units per second (default 250000, 16 MB/s,
 *                             a pace the analog synthesis keeps up with);
 *                             0 stalls it.
 *   LOMPCIE_DA_ACCEPT=0       register 1308 never reports a DA download as
 *                             accepted (default 1: it does).
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
 * Captures: 768 <- 1 captures units [788, 788 + 792) at once (or starts
 * the continuous capture from unit 788 when 880 is 1), and 812 reads 1;
 * 768 <- 4 arms a triggered capture that fires after the trigger delay: with
 * condition 1-4 (register 848) at the next rising edge of channel 0-3
 * through the level in 852, with 5-8 at a falling edge, otherwise (and
 * after 860 <- 8, the external trigger) at once; a level the signal never
 * crosses never fires. The ring around the trigger unit (868) then holds
 * the signal with the trigger instant at sample 0 of that unit. The
 * two-channel capture (256 <- 1) delivers channel 0 in the high and
 * channel 1 in the low half of each 32-bit word.
 *
 * The sample rate follows the registers as on the board: 512 selects
 * 1 GS/s (0), 500 MS/s (1) or the 250 MS/s decimation chain (2), where bits
 * 0-2 of 272 each halve the rate, bit 4 divides it by the factor in 276 and
 * bit 5 by 100. 1 GS/s until 512 is written.
 */
#ifndef LOMPCIEDMADLL_H
#define LOMPCIEDMADLL_H

#include <stdint.h>

#if defined(LOMPCIE_BUILDING)
#define LOMPCIE_API __attribute__((visibility("default")))
#else
#define LOMPCIE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes of the driver (all negative; 0 or more is success). */
#define LOMPCIE_ERR_HANDLE   (-101) /* null, unknown or closed handle */
#define LOMPCIE_ERR_ARGUMENT (-102) /* null buffer or pointer argument */
#define LOMPCIE_ERR_NODEVICE (-103) /* no board at that bus position */
#define LOMPCIE_ERR_RANGE    (-104) /* transfer longer than the board allows */
#define LOMPCIE_ERR_INTERNAL (-105) /* out of memory inside the driver */

/* PCI IDs of the H452 board. */
#define LOMPCIE_VENDOR_ID 0x10EEu
#define LOMPCIE_DEVICE_ID 0x5764u

/* Size of the DDR4 sample ring in 64-byte units. */
#define LOMPCIE_RING_UNITS (1u << 26)

/* Largest single DMA transfer the emulated board accepts, in bytes. */
#define LOMPCIE_MAX_DMA_BYTES (1ull << 32)

/*
 * Device record, 780 bytes, copied whole by callers. Bytes 4-5 hold the PCI
 * vendor ID, 6-7 the device ID, and 520 on the NUL-terminated resource
 * string "PXI<bus>::<device>::<function>INSTR" that OpenDev's three numbers
 * come from. The other fields are informational.
 */
typedef struct SlomPXIDevInfo {
    uint32_t recordSize;       /* 780 */
    uint16_t vendorId;
    uint16_t deviceId;
    uint8_t bus;
    uint8_t device;
    uint8_t function;
    uint8_t reserved0;
    uint32_t serialNumber;
    char description[504];     /* human-readable name, NUL-terminated */
    char resource[256];        /* "PXI%u::%u::%uINSTR", NUL-terminated */
    uint32_t reserved1;
} SlomPXIDevInfo;

/* Opaque handle of an opened board (see Conventions). */
typedef struct LomPcieBoard *LomPcieHandle;

/*
 * Lists every PCIe device the driver sees (matching boards and others).
 * *devices is pointed at a driver-owned array of *count records, valid until
 * the next FindDev or LomPcieResetEmulator; never freed by the caller.
 * Returns 0, or LOMPCIE_ERR_ARGUMENT for null pointers.
 */
LOMPCIE_API int32_t FindDev(SlomPXIDevInfo **devices, uint32_t *count);

/*
 * Opens the board at bus position (bus, device, function), the three numbers
 * of its resource string, and stores its handle in *handle. Opening a board
 * that is already open returns the same handle. Returns 0,
 * LOMPCIE_ERR_NODEVICE or LOMPCIE_ERR_ARGUMENT; *handle is untouched on
 * failure.
 */
LOMPCIE_API int32_t OpenDev(uint8_t bus, uint8_t device, uint8_t function,
                            LomPcieHandle *handle);

/* Closes the board *handle names (the handle is not cleared). Returns 0 or
 * LOMPCIE_ERR_HANDLE (null pointer, null, unknown or already closed). */
LOMPCIE_API int32_t CloseDev(LomPcieHandle *handle);

/* One register write, complete before the call returns. */
LOMPCIE_API int32_t WriteUint32(LomPcieHandle handle, uint64_t address, uint32_t value);

/* One register read into *value. Unknown registers read 0. */
LOMPCIE_API int32_t ReadUint32(LomPcieHandle handle, uint64_t address, uint32_t *value);

/*
 * Board-to-host transfer of `length` bytes of the span set in registers
 * 804 (start unit) and 808 (units) and started by 768 <- 2. Bytes beyond the
 * announced span continue along the ring. `address` is ignored (the board
 * side is set up through registers). Returns 0 or a negative status.
 */
LOMPCIE_API int32_t ReadDMA(LomPcieHandle handle, uint64_t address, uint32_t *buffer,
                            uint64_t length);

/* Host-to-board transfer of `length` bytes (the DA download). `address` is
 * ignored. Returns 0 or a negative status. */
LOMPCIE_API int32_t WriteDMA(LomPcieHandle handle, const uint32_t *buffer, uint64_t address,
                             uint64_t length);

/*
 * Emulator control, for tests and tools (not part of the board driver's
 * contract): forgets every board, open handle, register and capture, and
 * re-reads the environment variables above. Handles from before are invalid
 * afterwards.
 */
LOMPCIE_API void LomPcieResetEmulator(void);

/*
 * Emulator inspection, for tests: copies up to `maxBytes` bytes of the last
 * DA download's payload into `out` (may be null to query) and returns the
 * payload length in bytes, or a negative status for a bad handle.
 */
LOMPCIE_API int64_t LomPcieLastDownload(LomPcieHandle handle, uint8_t *out, uint64_t maxBytes);

#ifdef __cplusplus
}
#endif

#endif
