// DeviceLock: the one lock that keeps the board's register sequences whole.
//
// The device library takes no lock of its own around the board: a fetch, a
// streamed block and the register writes of the trigger-source and rate
// handlers are each a sequence of register accesses that must not interleave
// with another thread's. Every such sequence runs under deviceMutex():
//   - the acquisition thread's fetch (KelPcieFetchData, arming to transfer),
//   - each streamed block of continuous transfer (the read of the write
//     pointer that finds the block complete, then the transfer set-up and DMA),
//   - each single read of the write pointer while it waits for a block (the
//     lock is let go between reads, so a stalled board never holds it),
//   - the handlers' writes and the single acquisition's fetch (GUI thread).
//
// It comes last in the lock order (stated once, in DeviceState.h): nothing
// else is locked and no signal is emitted while it is held, so the
// acquisition thread lets it go before it emits a frame, and the GUI thread
// may take it while it holds dataMutex.
//
// Cost of holding it: a triggered fetch holds it until its capture completes
// or the library's trigger time-out passes, so a handler that changes a
// register meanwhile waits that long too, just as Stop does.
//
// A std::mutex so that ThreadSanitizer sees it.
#pragma once

#include <mutex>

namespace acquisition {

std::mutex& deviceMutex();

} // namespace acquisition
