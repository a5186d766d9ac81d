// One-slot mailbox between frame processing and the GUI (see FrameMailbox.h).
#include "FrameMailbox.h"

#include <utility>

namespace h452 {

FrameMailbox::FrameMailbox(WakeUp wakeUp) : wakeUp_(std::move(wakeUp)) {}

void FrameMailbox::setWakeUp(WakeUp wakeUp)
{
    std::lock_guard<std::mutex> lock(mutex_);
    wakeUp_ = std::move(wakeUp);
}

bool FrameMailbox::post(FrameUpdate&& update)
{
    if (update.isEmpty())
        return false;
    WakeUp wake;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (full_) {
            pending_.mergeNewer(std::move(update));
            return false;
        }
        pending_ = std::move(update);
        full_ = true;
        wake = wakeUp_;
    }
    // Outside the lock: if the consumer empties the slot before the wake-up
    // arrives, the call finds nothing and returns; nothing is lost either way.
    if (wake)
        wake();
    return true;
}

bool FrameMailbox::take(FrameUpdate& out)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!full_)
        return false;
    out = std::move(pending_);
    pending_ = FrameUpdate{};
    full_ = false;
    return true;
}

bool FrameMailbox::hasPending() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return full_;
}

void FrameMailbox::discardChannel(int channel)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (full_)
        pending_.discardChannel(channel);
}

void FrameMailbox::discardEye(int channel)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (full_)
        pending_.discardEye(channel);
}

void FrameMailbox::discardAll()
{
    std::lock_guard<std::mutex> lock(mutex_);
    pending_ = FrameUpdate{};
    full_ = false;
}

} // namespace h452
