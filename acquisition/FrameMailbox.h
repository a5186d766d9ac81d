// FrameMailbox: the one-slot hand-off of finished frame updates from the
// acquisition thread to the GUI thread.
//
// The producer (frame processing, under dataMutex) posts an update. If the
// slot is empty the update is stored and the wake-up callback runs once; it
// posts one payload-free queued call to the GUI thread. If an update is still
// waiting, the new one is merged into it (FrameUpdate::mergeNewer) and no
// second call is posted: the call already queued will take the merged update.
// So at most one update and one queued call exist at any time, however slow
// painting is, and no frame's effect is lost; only intermediate pictures are
// skipped.
//
// Locking: one std::mutex guards the slot, a leaf in the lock order
// (DeviceState.h): it may be taken under dataMutex (frame processing posts,
// the GUI thread discards the waiting parts of a channel it clears), and
// nothing is locked under it. The wake-up callback runs after it is released.
#pragma once

#include "FrameUpdate.h"

#include <functional>
#include <mutex>

namespace h452 {

class FrameMailbox {
public:
    using WakeUp = std::function<void()>;

    explicit FrameMailbox(WakeUp wakeUp = {});

    // Replaces the wake-up callback; call before the first post.
    void setWakeUp(WakeUp wakeUp);

    // Stores or merges `update`. Returns true when this call made the slot go
    // from empty to full (and so ran the wake-up callback). An empty update
    // is dropped without waking anyone.
    bool post(FrameUpdate&& update);

    // Takes the waiting update out. Returns false when nothing waits.
    bool take(FrameUpdate& out);

    bool hasPending() const;

    // Drops what waits for one channel / for one channel's eye.
    void discardChannel(int channel);
    void discardEye(int channel);
    // Drops everything that waits.
    void discardAll();

private:
    mutable std::mutex mutex_;
    bool full_ = false;
    FrameUpdate pending_;
    WakeUp wakeUp_;
};

} // namespace h452
