// The process-wide device lock (see DeviceLock.h).
#include "DeviceLock.h"

namespace acquisition {

std::mutex& deviceMutex()
{
    // Never destroyed: threads that outlive static destruction may still
    // finish a sequence.
    static std::mutex* lock = new std::mutex;
    return *lock;
}

} // namespace acquisition
