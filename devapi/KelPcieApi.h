/*
 * KelPcieApi.h - the H452 device library: a flat C interface to the
 * four-channel digitizer board (connection, register and DMA pass-through,
 * waveform and spectrum fetches, window tables, converter and DA set-up).
 *
 * Conventions that hold for every export
 *   - Plain undecorated C names; every export but KelPcieClose,
 *     KelPcieFindDevs and getDevHandle takes the connection number first and
 *     ignores it (the library drives its one open board).
 *   - Results are signed 32-bit statuses: 0 or more is success, a negative
 *     value is one of the KELPCIE_ERR_* codes below or a driver code
 *     (LOMPCIE_ERR_*, passed through unchanged). Data leaves only through
 *     out-parameters; a negative status is never disguised as data.
 *   - The caller owns every array it passes; the library owns and frees only
 *     its internal buffers (the raw block buffer, the two-channel records).
 *   - No exception ever leaves an export; allocation failures become status
 *     codes.
 *   - The library creates no threads and takes no lock around the board:
 *     a caller that uses it from several threads serialises its calls, so
 *     that register sequences never interleave. The one exception is
 *     KelPcieCancelFetch, which any thread may call at any time. Only the calls of the FFT
 *     library are locked (the program shares one FFTW with the library).
 *   - Blocking: register and DMA calls return when the driver does; the
 *     fetches poll the board with 1 ms sleeps (bounds given per export); the
 *     converter set-up sleeps 1 ms after most writes.
 *
 * Units: register addresses are byte offsets (the register traffic below
 * names registers as BoardRegisters.h does, where their addresses are
 * listed); DDR positions are 64-byte units of the board's sample ring
 * (2^26 units, last index KELPCIE_DDR_LAST_UNIT); a unit holds 8
 * consecutive samples of each of the four channels; samples are raw signed 16-bit ADC codes (full scale
 * +-32767) delivered as doubles without scaling.
 *
 * Diagnostics: KELPCIE_POLL_SLEEP_US (default 1000) sets the length of the
 * library's "1 ms" sleeps (between polls and after converter writes), and
 * KELPCIE_STALL_TIMEOUT_MS (default 1000) the continuous read's stall
 * limit; both exist so that time-out paths can be exercised quickly and are
 * read at every sleep or wait.
 */
#ifndef KELPCIEAPI_H
#define KELPCIEAPI_H

#include <stdint.h>

#include "LomPcieDmaDll.h"

/* Version of this interface: the major number changes when an export or a
 * status code changes meaning, the minor number when something is added.
 * KELPCIE_API_VERSION combines them for comparisons in the preprocessor. */
#define KELPCIE_API_VERSION_MAJOR 1
#define KELPCIE_API_VERSION_MINOR 1
#define KELPCIE_API_VERSION_PATCH 0
#define KELPCIE_API_VERSION                                                     \
    ((KELPCIE_API_VERSION_MAJOR * 10000) + (KELPCIE_API_VERSION_MINOR * 100) + \
     KELPCIE_API_VERSION_PATCH)

/* Symbols are exported when the library itself is built (with default
 * visibility under GCC and Clang, where the rest is compiled hidden; through
 * the import table on Windows); users see plain declarations or imports. */
#if defined(_WIN32)
#if defined(KELPCIE_BUILDING)
#define KELPCIE_API __declspec(dllexport)
#else
#define KELPCIE_API __declspec(dllimport)
#endif
#elif defined(KELPCIE_BUILDING)
#define KELPCIE_API __attribute__((visibility("default")))
#else
#define KELPCIE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Status codes (one list for every export) -------------------------- */
#define KELPCIE_OK 0
/* Window type out of range; no memory or no FFT plan (spectrum, windows). */
#define KELPCIE_ERR_FAILED (-1)
/* KelPcieFetchData: a triggered capture did not finish within 60 000 polls
 * (about 60 s). Also the first start write of the two-channel capture failed
 * (KelPcieCommit, KelPcieFetchChannelAData/BData). */
#define KELPCIE_ERR_CAPTURE_TIMEOUT (-991)
#define KELPCIE_ERR_START_LENGTH (-991) /* two-channel start: length write failed */
#define KELPCIE_ERR_START_RESET (-992)  /* two-channel start: TwoChannelStart <- 0 failed */
#define KELPCIE_ERR_START_GO (-993)     /* two-channel start: TwoChannelStart <- 1 failed */
/* KelPcieConfigureData / ConfigureChanleAData: host-to-board transfer failed. */
#define KELPCIE_ERR_DA_TRANSFER (-994)
/* Two-channel fetch: the done flag (TwoChannelDone) did not come within
 * 1000 polls. */
#define KELPCIE_ERR_TWO_CHANNEL_TIMEOUT (-995)
/* KelPcieFetchData mode 2: the board's write pointer (WritePointer) made no
 * progress for KELPCIE_STALL_TIMEOUT_MS (default 1000 ms) while the record
 * was not yet written. Nothing was transferred; the ring read position is kept. */
#define KELPCIE_ERR_STREAM_STALLED (-996)
/* KelPcieSwitchModeDA: a frequency outside [0, 6000), a phase outside
 * [0, 360) or a non-finite value; nothing was written. */
#define KELPCIE_ERR_DA_RANGE (-997)
/* A null pointer, a count of 0 or another argument the call cannot use;
 * nothing was written to the board or to the outputs. */
#define KELPCIE_ERR_INVALID_ARGUMENT (-998)
/* A fetch was called while no board is open (before KelPcieInit, or after
 * KelPcieClose); nothing was written. */
#define KELPCIE_ERR_NOT_OPEN (-999)
/* KelPcieCfgDataRate: the first, second, third or fourth write failed. */
#define KELPCIE_ERR_RATE_CODE (-9990)
#define KELPCIE_ERR_RATE_FACTOR (-9991)
#define KELPCIE_ERR_RATE_RESET (-9992)
#define KELPCIE_ERR_RATE_GO (-9993)
/* A fetch (KelPcieFetchData, the two-channel fetches and the spectrum
 * fetches that fetch) ended because KelPcieCancelFetch was called while it
 * waited or before it started; nothing was transferred and the outputs are
 * untouched. */
#define KELPCIE_ERR_CANCELLED (-1000)
/* Other negative values: the driver's own codes (LOMPCIE_ERR_*, -101 ...
 * -105), and -1 from KelPcieInit for an empty resource string. */

/*
 * Every status value with its name, one row per value. Values shared by two
 * meanings (-991, -1) have one row that names both. KelPcieStatusName below
 * is generated from this table as a switch, so a row whose code is not
 * defined, or two rows for one value, do not compile; the library's tests
 * check that every KELPCIE_ERR_* and LOMPCIE_ERR_* value defined above has
 * a row.
 */
#define KELPCIE_STATUS_TABLE(ROW)                                                            \
    ROW(KELPCIE_ERR_FAILED, "failed (bad window type, no memory or FFT plan, empty resource)") \
    ROW(KELPCIE_ERR_CAPTURE_TIMEOUT, "capture time-out / two-channel start (length) failed")  \
    ROW(KELPCIE_ERR_START_RESET, "two-channel start (reset) failed")                          \
    ROW(KELPCIE_ERR_START_GO, "two-channel start (go) failed")                                \
    ROW(KELPCIE_ERR_DA_TRANSFER, "DA transfer failed")                                        \
    ROW(KELPCIE_ERR_TWO_CHANNEL_TIMEOUT, "two-channel capture time-out")                      \
    ROW(KELPCIE_ERR_STREAM_STALLED, "stream stalled")                                         \
    ROW(KELPCIE_ERR_DA_RANGE, "DA frequency or phase out of range")                           \
    ROW(KELPCIE_ERR_INVALID_ARGUMENT, "invalid argument")                                     \
    ROW(KELPCIE_ERR_NOT_OPEN, "no board open")                                                \
    ROW(KELPCIE_ERR_RATE_CODE, "rate code write failed")                                      \
    ROW(KELPCIE_ERR_RATE_FACTOR, "rate factor write failed")                                  \
    ROW(KELPCIE_ERR_RATE_RESET, "rate reset write failed")                                    \
    ROW(KELPCIE_ERR_RATE_GO, "rate go write failed")                                          \
    ROW(KELPCIE_ERR_CANCELLED, "fetch cancelled")                                             \
    ROW(LOMPCIE_ERR_HANDLE, "driver: bad or closed handle")                                   \
    ROW(LOMPCIE_ERR_ARGUMENT, "driver: null argument")                                        \
    ROW(LOMPCIE_ERR_NODEVICE, "driver: no board at that position")                            \
    ROW(LOMPCIE_ERR_RANGE, "driver: transfer too long")                                       \
    ROW(LOMPCIE_ERR_INTERNAL, "driver: out of memory")

/* The two meanings of -991 share one value and one row. */
#ifdef __cplusplus
static_assert(KELPCIE_ERR_START_LENGTH == KELPCIE_ERR_CAPTURE_TIMEOUT, "-991 has two meanings");
#else
_Static_assert(KELPCIE_ERR_START_LENGTH == KELPCIE_ERR_CAPTURE_TIMEOUT, "-991 has two meanings");
#endif

/* ---- Limits ------------------------------------------------------------- */
/* Most device records KelPcieFindDevs copies into the caller's array. */
#define KELPCIE_MAX_DEVICES 10
/* Last unit index of the board's sample ring. */
#define KELPCIE_DDR_LAST_UNIT 0x3FFFFFFu

/* Trigger modes of KelPcieFetchData. */
#define KELPCIE_TRIGGER_FREE 0
#define KELPCIE_TRIGGER_EDGE 1
#define KELPCIE_TRIGGER_CONTINUOUS 2
#define KELPCIE_TRIGGER_EXTERNAL 3

/*
 * A short English name of a status for log lines, as a static string (never
 * null, never to be freed): "ok" for 0 or more, the row of
 * KELPCIE_STATUS_TABLE for a known failure, "unknown" otherwise. Defined
 * here, not exported, so callers in any language that reads this header get
 * it without a library call; the export list stays as it is.
 */
static inline const char *KelPcieStatusName(int32_t status)
{
    if (status >= 0)
        return "ok";
    switch (status) {
#define KELPCIE_STATUS_CASE(code, name) \
    case code:                          \
        return name;
        KELPCIE_STATUS_TABLE(KELPCIE_STATUS_CASE)
#undef KELPCIE_STATUS_CASE
    default:
        return "unknown";
    }
}

/* ---- Connection --------------------------------------------------------- */

/*
 * Finds the H452 boards (PCI vendor 0x10EE, device 0x5764) among the devices
 * the driver lists and copies their 780-byte records, in driver order, into
 * devices[0 .. *count-1]; devices of other makes are skipped.
 *   devices  out: caller-owned array with room for KELPCIE_MAX_DEVICES (10)
 *            records; at most 10 are copied, even when more boards exist.
 *   count    out: number of records copied (0 when there is no board).
 * Returns 0; KELPCIE_ERR_INVALID_ARGUMENT when a pointer is null (nothing
 * written). A missing board is reported by *count == 0, never by the
 * result. Does not block.
 */
KELPCIE_API int32_t KelPcieFindDevs(SlomPXIDevInfo *devices, uint32_t *count);

/*
 * Opens the board named by a resource string "PXI<a>::<b>::<c>INSTR" (the
 * string at byte 520 of its device record) and makes it the library's board.
 *   resource    in: NUL-terminated text. Only the three numbers count
 *               ("PXI0::5::0::INSTR" opens 0, 5, 0); a number the text does
 *               not supply is 0 (so text not starting with "PXI" opens
 *               0, 0, 0); each number is cut to its low 8 bits.
 *   reserved1, reserved2   ignored (pass 0).
 *   connection  out: low 32 bits of the handle the library holds after the
 *               call (never 0 after success; 0 when no board is open).
 *               Not written for an empty string or a null pointer.
 * Returns the driver's OpenDev result (0, or LOMPCIE_ERR_NODEVICE ...);
 * -1 for an empty string (nothing opened); KELPCIE_ERR_INVALID_ARGUMENT for
 * a null pointer. Does not block.
 */
KELPCIE_API int32_t KelPcieInit(const char *resource, int32_t reserved1, int32_t reserved2,
                                int32_t *connection);

/* As KelPcieInit; the three middle arguments are ignored. */
KELPCIE_API int32_t KelPcieInitWithOptions(const char *resource, int32_t reserved1,
                                           int32_t reserved2, const char *options,
                                           int32_t *connection);

/* Closes the board. Returns the driver's CloseDev result; on 0 or more the
 * library forgets the handle, so a second call returns the driver's code
 * for a null handle (LOMPCIE_ERR_HANDLE). */
KELPCIE_API int32_t KelPcieClose(void);

/* The driver handle of the open board, null when none is open. */
KELPCIE_API LomPcieHandle getDevHandle(void);

/* ---- Register and DMA pass-through -------------------------------------- */
/* Each returns the driver's result unchanged (LOMPCIE_ERR_HANDLE when no
 * board is open). */

/* Writes one 32-bit register (byte offset `address`). */
KELPCIE_API int32_t KelPcieWriteData(uint32_t connection, uint64_t address, uint32_t value);
/* Reads one 32-bit register into *value (out; 0 when the read fails). */
KELPCIE_API int32_t KelPcieReadData(uint32_t connection, uint64_t address, uint32_t *value);
/* Board-to-host DMA of `length` bytes into `buffer` (caller-owned, room for
 * `length` bytes) of the span set up in TransferStart/TransferUnits and
 * started by Command <- CommandTransfer. `address` is passed to the driver
 * (the board ignores it). */
KELPCIE_API int32_t KelPcieReadDMA(uint32_t connection, uint64_t address, uint32_t *buffer,
                                   uint64_t length);
/* Host-to-board DMA of `length` bytes from `buffer`. */
KELPCIE_API int32_t KelPcieWriteDMA(uint32_t connection, const uint32_t *buffer,
                                    uint64_t address, uint64_t length);

/* ---- Waveform fetch ----------------------------------------------------- */

/*
 * Captures one record of `recordLength` samples per channel and splits it
 * into four arrays of raw codes.
 *   channel0..3    out: caller-owned, `recordLength` doubles each; written
 *                  only on success.
 *   recordLength   in: samples per channel (1 or more).
 *   ddr4Address    in: capture start unit in free-run mode; transfer start
 *                  unit in modes other than 0 to 3.
 *   triggerMode    in: 0 free-run capture (waits up to 10 polls, then
 *                  transfers anyway); 1 edge trigger; 3 external trigger
 *                  (both wait up to 60 000 polls, about 60 s); 2 continuous
 *                  read: follows the board's write pointer and returns the
 *                  units after those of the previous continuous read, so
 *                  consecutive reads form the board's stream without
 *                  repeats (with lengths that are not a multiple of 8 the
 *                  unused samples of the half-used last unit are skipped);
 *                  modes 0, 1 and 3 restart it at unit 0. It busy polls
 *                  WritePointer until the record's last unit is written
 *                  (a record across the ring end also waits for the
 *                  pointer to wrap); any other value reads from
 *                  ddr4Address without arming.
 *   triggerOffset  in: samples from the trigger to the record start (modes
 *                  1 and 3); the start unit is floor(offset / 8) + trigger
 *                  unit, with the offset divided as C does (toward zero).
 *   triggerLevel   in: edge-trigger level in ADC codes; low 16 bits used.
 *   triggerSlope   in: trigger condition code for TriggerCondition (0 idle,
 *                  1-4 rising, 5-8 falling edges, 9-10 external).
 * Returns the last ReadDMA result (0 on success), or
 * KELPCIE_ERR_CAPTURE_TIMEOUT, KELPCIE_ERR_STREAM_STALLED,
 * KELPCIE_ERR_INVALID_ARGUMENT (null array, recordLength 0 or a record
 * larger than the ring), KELPCIE_ERR_NOT_OPEN, KELPCIE_ERR_FAILED (no memory),
 * KELPCIE_ERR_CANCELLED (KelPcieCancelFetch).
 * On failure the outputs are untouched.
 */
KELPCIE_API int32_t KelPcieFetchData(uint32_t connection, double *channel0, double *channel1,
                                     double *channel2, double *channel3,
                                     uint32_t recordLength, uint32_t ddr4Address,
                                     int32_t triggerMode, int32_t triggerOffset,
                                     int32_t triggerLevel, uint32_t triggerSlope);

/*
 * Cancels the fetch that runs now (KelPcieFetchData in any mode, the
 * two-channel fetches, a spectrum fetch that fetches) or, when none runs,
 * the next one to start: the cancel stays pending until a fetch sees it.
 * A waiting fetch sees it at its next poll (within one poll sleep) and a
 * fetch that starts with a cancel pending returns at once; either returns
 * KELPCIE_ERR_CANCELLED, transfers nothing and clears the pending cancel,
 * so one cancel ends exactly one fetch. A cancel that comes after a
 * fetch's last poll (during its transfer) is kept for the next fetch.
 * Because it is kept, a caller that stops its acquisition thread can set
 * its stop flag, cancel, then wait: whether the thread was inside a fetch
 * or about to start one, that fetch ends at once, and the thread sees its
 * stop flag after it. A caller whose own fetch may meet a cancel made for
 * another purpose (a leftover one) simply fetches again.
 *   connection  ignored, like every export's.
 * Always returns 0. The only export that may be called from another thread
 * while a fetch runs; it touches nothing but the pending flag (an atomic)
 * and never blocks.
 */
KELPCIE_API int32_t KelPcieCancelFetch(uint32_t connection);

/*
 * Two-channel capture: starts a capture of `count` samples
 * (TwoChannelLength <- ceiling of count / 20; TwoChannelStart <- 0, then 1;
 * 1 ms sleep after each) and returns.
 * Returns 0, KELPCIE_ERR_START_LENGTH/RESET/GO (a start write failed),
 * KELPCIE_ERR_INVALID_ARGUMENT (count 0), KELPCIE_ERR_NOT_OPEN.
 */
KELPCIE_API int32_t KelPcieCommit(uint32_t connection, uint32_t count);

/*
 * Two-channel fetch: starts a capture of `count` samples, waits for the
 * done flag (up to 1000 polls, about 1 s), transfers count 32-bit words
 * and stores channel A (the high 16 bits of each word) in out[0 .. count-1]
 * and in the library's channel A record, used by the spectrum fetches.
 *   out    out: caller-owned, `count` doubles.
 * Returns 0, KELPCIE_ERR_START_*, KELPCIE_ERR_TWO_CHANNEL_TIMEOUT (the
 * transfer was made but out is untouched), KELPCIE_ERR_INVALID_ARGUMENT
 * (null out or count 0: the record is dropped), KELPCIE_ERR_NOT_OPEN,
 * KELPCIE_ERR_FAILED (no memory), KELPCIE_ERR_CANCELLED (KelPcieCancelFetch;
 * the record is dropped).
 */
KELPCIE_API int32_t KelPcieFetchChannelAData(uint32_t connection, double *out, uint32_t count);
/* As KelPcieFetchChannelAData for channel B (the low 16 bits of each word). */
KELPCIE_API int32_t KelPcieFetchChannelBData(uint32_t connection, double *out, uint32_t count);

/* ---- Spectrum and window coefficients ----------------------------------- */

/*
 * Power spectrum of the channel A record (fetched first with `count`
 * samples when the library holds none). With N the record's length (the
 * count of its last successful fetch) and X the DFT of record / N,
 * out[k] = 10 log10(|X[k]|^2 + 1e-20) + 10 - 63 (the 1e-20 keeps empty bins
 * finite), after which the halves are swapped so that DC lands at index
 * N / 2 (for odd N the last element stays). Bins above N / 2 hold the
 * mirror of the lower bins (X[N-k] = conj X[k] for real data), as a full
 * transform gives. No window is applied. The FFT calls run under the
 * library's FFT lock, so the program's own FFTW work may run alongside.
 *   out    out: caller-owned; `count` gives its room and must be at least N.
 * Returns 0; KELPCIE_ERR_FAILED (no memory or FFT plan); the fetch codes
 * when a record had to be fetched; KELPCIE_ERR_INVALID_ARGUMENT (null out,
 * count 0, or count smaller than the held record). Blocks up to about 1 s
 * when it fetches.
 */
KELPCIE_API int32_t KelPcieFetchChannelASpectrumData(uint32_t connection, double *out,
                                                     uint32_t count);
/* As above for the channel B record. */
KELPCIE_API int32_t KelPcieFetchChannelBSpectrumData(uint32_t connection, double *out,
                                                     uint32_t count);
/*
 * As above for channel 0 (A) or 1 (B), except that when the chosen channel
 * holds no record, fresh records of `count` zero samples are made for both
 * channels instead of fetching (the spectrum of silence). Other channel
 * numbers return KELPCIE_ERR_INVALID_ARGUMENT.
 */
KELPCIE_API int32_t KelPcieFetchSpectrumData(uint32_t connection, int32_t channel, double *out,
                                             uint32_t count);

/* Stores a window type 0..4. Returns 0, or KELPCIE_ERR_FAILED when type > 4
 * (nothing stored). */
KELPCIE_API int32_t KelPcieCfgWindowType(uint32_t connection, uint32_t type);

/*
 * Fills out[0 .. length-1] with the coefficients of window `type` (and
 * stores the type). With D = length - 1 and ck = cos(2 pi k i / D):
 *   0  none: nothing is written
 *   1  Hann              (1 - c1) / 2
 *   2  Hamming           0.54 - 0.46 c1
 *   3, 7  four-term Blackman-Harris (D = length), 0.35875 - 0.48829 c1
 *                        + 0.14128 c2 - 0.01168 c3
 *   4  three-term cosine sum a0 - a1 c1 + a2 c2 with the minimum three-term
 *                        Blackman-Harris set a0 = 0.42323, a1 = 0.49755,
 *                        a2 = 0.07922 (-67 dB side lobes; type 5 is the
 *                        classic Blackman at -58 dB)
 *   5  Blackman          0.42 - 0.5 c1 + 0.08 c2, mirrored about the middle
 *   6  flat top          0.21557895 - 0.41663158 c1 + 0.277263158 c2
 *                        - 0.083578947 c3 + 0.006947368 c4
 *   8  seven-term Blackman-Harris
 *   9  low side lobe     0.323215218 - 0.471492057 c1 + 0.17553428 c2
 *                        - 0.028497078 c3 + 0.001261367 c4
 *   10 Gaussian          exp(-0.5 (k 2p / D)^2), p = parameter, k = i - D/2
 *                        (integer halves: i - (length-1)/2 for odd, i -
 *                        length/2 for even lengths)
 *   11 Kaiser            I0(b sqrt(1 - (2i/D - 1)^2)) / I0(b), b = |parameter|
 *                        (up to 700; b = 0 is rectangular, 8.6 is close to
 *                        Blackman-Harris)
 *   12 rectangular       1
 *   13 triangle          2i/D up to floor(D/2), 2 - 2i/D after
 *   14 Bartlett-Hann     0.62 - 0.48 |i/D - 0.5| + 0.38 cos(2 pi (i/D - 0.5))
 * A one-point window (length 1) is 1.0 for every type but 0.
 *   length     in: number of coefficients; 0 writes nothing.
 *   parameter  in: shape of types 10 and 11; ignored otherwise.
 *   out        out: caller-owned, `length` doubles.
 * Returns 0; KELPCIE_ERR_FAILED when type > 14 (nothing written or stored);
 * KELPCIE_ERR_INVALID_ARGUMENT for a null out with length > 0, a
 * non-finite parameter of types 10 and 11 or |parameter| > 700 for type 11
 * (nothing written or stored).
 */
KELPCIE_API int32_t KelPcieGetWindowCoe(uint32_t connection, uint32_t type, uint32_t length,
                                        double parameter, double *out);

/* ---- Converter, mode, rate and DA configuration ------------------------ */

/* AD/DA converter start-up: ConverterEnableA <- 0; ConverterEnableB <- 0;
 * ConverterConfig <- 176; Command <- CommandStop; then, each followed by a
 * 1 ms sleep, ConverterEnableA <- 1; ConverterEnableB <- 1;
 * ConverterPulse <- 1, then 0; DecimationRestart <- 0, then 1;
 * ConverterInitDone <- 0x3FFF. Returns the last write's result
 * (LOMPCIE_ERR_HANDLE when no board is open). Blocks about 7 ms. */
KELPCIE_API int32_t KelPcieInitADDAC(uint32_t connection);

/* DA converter oscillator start-up: DaSerialCommand <- 0x090003, 0x280002,
 * 0x280000, 1 ms sleep after each. Returns the last write's result. */
KELPCIE_API int32_t KelPcieInitDUC(uint32_t connection);

/* Output mode: for modes 0 and 2, OutputMode <- mode and a 1 ms sleep;
 * returns the write's result. Other modes return 0 without any write. */
KELPCIE_API int32_t KelPcieSwitchMode(uint32_t connection, int32_t mode);

/*
 * DA oscillators through the serial command register DaSerialCommand (1 ms
 * sleep after each of 10 or 12 writes). Mode 0 drives both outputs at freqA with B a
 * quarter turn behind A (the other arguments are ignored); mode 2 gives
 * each output its own frequency and phase. Frequencies are on the scale
 * where 6000 is the converter clock, phases in degrees.
 * Returns the last write's result; KELPCIE_ERR_DA_RANGE before any write
 * when a used frequency is outside [0, 6000), a used phase outside [0, 360)
 * or a used value is not finite. Other modes return 0 without writes.
 */
KELPCIE_API int32_t KelPcieSwitchModeDA(uint32_t connection, int32_t mode, double freqA,
                                        double phaseADeg, double freqB, double phaseBDeg);

/*
 * AD decimation chain for a sample rate in samples per second: ratio =
 * trunc(3e9 / rate) selects code (DecimationCode) and factor
 * (DecimationFactor) (ratio 1: 0; 2: 1; 4: 3; 8: 7; up to 16 000: 19, factor ratio / 4 (4 for 16); up to
 * 1 600 000: 51, ratio / 400; up to 3 200 000: 55, ratio / 800; above: 3),
 * then DecimationRestart <- 0 and <- 1 (not for code 0).
 * Returns the last write's result or KELPCIE_ERR_RATE_CODE/FACTOR/RESET/GO;
 * KELPCIE_ERR_INVALID_ARGUMENT for a rate that is not finite or not above 0.
 */
KELPCIE_API int32_t KelPcieCfgDataRate(uint32_t connection, double sampleRateHz);

/*
 * Downloads waveforms of both DA outputs: samples are 12-bit codes (the low
 * 12 bits of each int32 are used), interleaved in blocks of 16 (A then B)
 * and packed as a little-endian 12-bit stream, 16 samples per 32-byte block
 * (24 bytes of data, 8 zero bytes). Register traffic: DaBeginStart <- 0;
 * DaBeginLength <- K/2; DaCommand <- DaCommandBegin; WriteDMA of K x 32
 * bytes (K = count / 8 blocks); up to 1000 polls of DaAccepted (about 1 s;
 * no error when it stays 0); DaFinishStart <- 0; DaFinishLength <- K/2;
 * DaCommand <- DaCommandFinish; DaTwoOutputClear <- 0; DaOutputRestart <- 0,
 * then 1.
 *   outputA, outputB   in: caller-owned, `count` samples each.
 *   count              in: a non-zero multiple of 16.
 * Returns the last write's result, KELPCIE_ERR_DA_TRANSFER (the transfer
 * failed), KELPCIE_ERR_INVALID_ARGUMENT (null pointer, count 0 or not a
 * multiple of 16), KELPCIE_ERR_FAILED (no memory).
 */
KELPCIE_API int32_t KelPcieConfigureData(uint32_t connection, const int32_t *outputA,
                                         const int32_t *outputB, uint32_t count);

/*
 * Downloads a waveform of DA output A (output B silent): pairs (sample, 0)
 * packed into n = count / 8 blocks of 32 bytes; DaBeginStart <- 0;
 * DaBeginLength <- n; DaCommand <- DaCommandBegin; WriteDMA of the n packed
 * blocks (n x 32 bytes); polls DaAccepted as KelPcieConfigureData;
 * DaFinishStart <- 0; DaFinishLength <- n; DaCommand <- DaCommandFinish.
 *   count  in: a non-zero multiple of 8.
 * Returns as KelPcieConfigureData.
 */
KELPCIE_API int32_t KelPcieConfigureChanleAData(uint32_t connection, const int32_t *samples,
                                                uint32_t count);
/* As KelPcieConfigureChanleAData for output B (pairs (0, sample)), without
 * the acceptance poll and without looking at the transfer's result. */
KELPCIE_API int32_t KelPcieConfigureChanleBData(uint32_t connection, const int32_t *samples,
                                                uint32_t count);

#ifdef __cplusplus
}
#endif

#endif
