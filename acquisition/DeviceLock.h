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
// (which may be never). A register change from the window therefore does not
// queue behind the capture: lockDeviceForChange() cancels the fetch that
// holds the lock (KelPcieCancelFetch), which returns at its next poll; the
// acquisition thread lets the lock go, pauses, and arms a fresh capture that
// already sees the changed registers. A change still waits for a streamed
// block or a fetch already transferring (milliseconds).
//
// A std::mutex so that ThreadSanitizer sees it.
#pragma once

#include <atomic>
#include <mutex>

namespace acquisition {

std::mutex& deviceMutex();

// Raised by a board fetch that waits for a trigger (edge or external) for as
// long as it holds the device lock; such a fetch may hold it for the
// library's full time-out.
std::atomic<bool>& triggeredFetchRunning();

// The device lock for a register change from the window: taken at once when
// it is free; when a triggered fetch holds it, that fetch is cancelled first
// (`handle`: the open board); anything else holding it (a free-run fetch, a
// streamed block) ends within milliseconds and is waited for. A cancel that finds no fetch stays pending and makes the
// next fetch return "cancelled" once; the acquisition loop simply fetches
// again and the single acquisition retries (RecordSource.h).
std::unique_lock<std::mutex> lockDeviceForChange(unsigned handle);

} // namespace acquisition
