/*
 * LomPcieDmaDll.h - the board driver's C interface, as the device library
 * KelPcieApi uses it. This header is the driver's contract alone; our
 * implementation is the emulated H452 board in emulated/, whose test
 * controls and configuration live in emulated/LomPcieEmulatorControl.h.
 *
 * Conventions
 *   - Every function returns a signed 32-bit status: 0 or more is success,
 *     a negative value one of the LOMPCIE_ERR_* codes below.
 *   - A handle names one opened board. Its low 32 bits are never zero, so a
 *     caller may use them as a "board open" token. It is not a pointer to
 *     memory and is never dereferenced by anyone but the driver.
 *   - All functions are thread-safe: the driver serialises them. Its state
 *     (boards, registers, captures) is per process.
 *   - Registers are 32-bit words addressed by byte offset; their meanings
 *     are listed once, in BoardRegisters.h.
 */
#ifndef LOMPCIEDMADLL_H
#define LOMPCIEDMADLL_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(LOMPCIE_BUILDING)
#define LOMPCIE_API __declspec(dllexport)
#else
#define LOMPCIE_API __declspec(dllimport)
#endif
#elif defined(LOMPCIE_BUILDING)
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

/* Largest single DMA transfer the board accepts, in bytes. */
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
 * the next FindDev (or emulator reset); never freed by the caller.
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
 * Board-to-host transfer of `length` bytes of the span set in the transfer
 * registers (boardreg::TransferStart, boardreg::TransferUnits) and started
 * by the transfer command (boardreg::CommandTransfer). Bytes beyond the
 * announced span continue along the ring. `address` is ignored (the board
 * side is set up through registers). Returns 0 or a negative status.
 */
LOMPCIE_API int32_t ReadDMA(LomPcieHandle handle, uint64_t address, uint32_t *buffer,
                            uint64_t length);

/* Host-to-board transfer of `length` bytes (the DA download). `address` is
 * ignored. Returns 0 or a negative status. */
LOMPCIE_API int32_t WriteDMA(LomPcieHandle handle, const uint32_t *buffer, uint64_t address,
                             uint64_t length);

#ifdef __cplusplus
}
#endif

#endif
