// BoardRegisters.h - the H452 board's register map, written down once.
//
// Every register is 32 bits wide and addressed by its byte offset, given
// here in decimal with the hexadecimal value beside it. The device library,
// the emulated board, the acquisition thread and the board settings all
// name registers through these constants; a reader who wants to know what
// register 880 does looks here and nowhere else.
//
// Positions are 64-byte units of the board's DDR4 sample ring (2^26 units;
// a unit holds 8 consecutive samples of each of the four channels).
//
// Direction is seen from the host: "write" registers are set by the host,
// "read" registers report the board's state. Side says who drives a
// register today: the device library (library) or the program itself
// through the register pass-through (program).
#pragma once

#include <cstdint>

namespace boardreg {

// ---- Converter start-up (library, write) ----------------------------------
// The values are the converter vendor's start-up sequence; what they do
// inside the converters is the board's business, their order is ours.
constexpr uint64_t ConverterInitDone = 40;  // 0x28: 0x3FFF ends the start-up
constexpr uint32_t ConverterInitDoneValue = 0x3FFF;
constexpr uint64_t ConverterEnableA = 64;   // 0x40: 0, later 1
constexpr uint64_t ConverterEnableB = 80;   // 0x50: 0, later 1
constexpr uint64_t ConverterConfig = 84;    // 0x54: 176 (0xB0) at start-up
constexpr uint32_t ConverterConfigValue = 176;
constexpr uint64_t ConverterPulse = 96;     // 0x60: pulsed 1 then 0

// ---- DA side (library, write) ---------------------------------------------
constexpr uint64_t OutputMode = 104;        // 0x68: output mode, 0 or 2
constexpr uint64_t ExternalTriggerArm = 112; // 0x70: 0 when arming an external-trigger capture
// 0x74: serial command word to the DA converter: bits 23-16 select a
// converter register, bits 15-0 carry its value.
constexpr uint64_t DaSerialCommand = 116;

// ---- Two-channel capture (library) -----------------------------------------
constexpr uint64_t TwoChannelStart = 256;   // 0x100 write: 0 then 1 starts it
constexpr uint64_t TwoChannelDone = 260;    // 0x104 read: non-zero when finished
constexpr uint64_t TwoChannelLength = 264;  // 0x108 write: ceiling of samples / 20
// Samples per unit of the two-channel length register.
constexpr uint32_t TwoChannelSamplesPerCount = 20;

// ---- Sample rate (library and program, write) ------------------------------
// 0x110: decimation code. Bits 0-2 each add a halving stage, bit 4 switches
// in the programmable stage (factor in DecimationFactor), bit 5 a further
// division by 100.
constexpr uint64_t DecimationCode = 272;
constexpr uint32_t DecimationHalvingBits = 0x07;
constexpr uint32_t DecimationProgrammable = 0x10;
constexpr uint32_t DecimationBy100 = 0x20;
constexpr uint64_t DecimationFactor = 276;  // 0x114: factor of the programmable stage
constexpr uint64_t DecimationRestart = 280; // 0x118: 0 then 1 after a change and at start-up
// 0x200 (program): converter mode. 0 runs at 1 GS/s, 1 at 500 MS/s, 2 feeds
// the 250 MS/s decimation chain.
constexpr uint64_t RateMode = 512;
constexpr uint32_t RateModeFull = 0;
constexpr uint32_t RateModeHalf = 1;
constexpr uint32_t RateModeDecimated = 2;

// ---- Captures and transfers (library and program) --------------------------
// 0x300 write: acquisition command.
constexpr uint64_t Command = 768;
constexpr uint32_t CommandStop = 0;     // stop, idle
constexpr uint32_t CommandCapture = 1;  // free-run capture, or the continuous
                                        // capture when StreamEnable is 1
constexpr uint32_t CommandTransfer = 2; // DDR-to-host transfer of TransferStart/Units
constexpr uint32_t CommandArm = 4;      // arm a triggered capture
constexpr uint64_t CaptureStart = 788;  // 0x314 write: first unit of a capture
constexpr uint64_t CaptureUnits = 792;  // 0x318 write: capture length in units (free run)
constexpr uint64_t TransferStart = 804; // 0x324 write: first unit of a transfer
constexpr uint64_t TransferUnits = 808; // 0x328 write: transfer length in units
constexpr uint64_t CaptureDone = 812;   // 0x32C read: non-zero when a capture finished

// ---- Trigger (library) -----------------------------------------------------
// 0x350 write: trigger condition, 0 while arming, then the slope code:
// 1-4 rising edge of channel 0-3, 5-8 falling edge, 9-10 external.
constexpr uint64_t TriggerCondition = 848;
constexpr uint64_t TriggerLevel = 852;  // 0x354 write: level, int16 sign-extended
constexpr uint64_t TriggerUnits = 856;  // 0x358 write: triggered capture length in units
constexpr uint64_t TriggerSource = 860; // 0x35C write: TriggerSourceExternal selects the input
constexpr uint32_t TriggerSourceExternal = 8;
constexpr uint64_t TriggerFine = 864;   // 0x360 read: read before TriggerUnit, value unused
constexpr uint64_t TriggerUnit = 868;   // 0x364 read: unit at which the trigger fell

// ---- Continuous capture (program) ------------------------------------------
constexpr uint64_t StreamEnable = 880;  // 0x370 write: continuous capture 1 on, 0 off
constexpr uint64_t WritePointer = 884;  // 0x374 read: the unit the board writes next

// ---- DA download (library) ---------------------------------------------------
constexpr uint64_t DaOutputRestart = 1264; // 0x4F0 write: 0 then 1 after a two-output download
// 0x500 write: download command.
constexpr uint64_t DaCommand = 1280;
constexpr uint32_t DaCommandBegin = 1;
constexpr uint32_t DaCommandFinish = 2;
constexpr uint64_t DaFinishLength = 1284;  // 0x504 write: length of the second phase
constexpr uint64_t DaBeginLength = 1288;   // 0x508 write: length of the first phase
constexpr uint64_t DaFinishStart = 1292;   // 0x50C write: 0, start of the second phase
constexpr uint64_t DaBeginStart = 1296;    // 0x510 write: 0, start of the first phase
constexpr uint64_t DaAccepted = 1308;      // 0x51C read: non-zero once a download was taken
constexpr uint64_t DaTwoOutputClear = 1312; // 0x520 write: 0 after a two-output download

} // namespace boardreg
