// The process-wide device lock (see DeviceLock.h).
#include "DeviceLock.h"

#include "KelPcieApi.h"

namespace acquisition {

std::mutex& deviceMutex()
{
    // Never destroyed: threads that outlive static destruction may still
    // finish a sequence.
    static std::mutex* lock = new std::mutex;
    return *lock;
}

std::atomic<bool>& triggeredFetchRunning()
{
    static std::atomic<bool> running{false};
    return running;
}

std::unique_lock<std::mutex> lockDeviceForChange(unsigned handle)
{
    std::unique_lock<std::mutex> lock(deviceMutex(), std::try_to_lock);
    if (!lock.owns_lock()) {
        if (triggeredFetchRunning().load())
            KelPcieCancelFetch(handle);
        lock.lock();
    }
    return lock;
}

} // namespace acquisition
