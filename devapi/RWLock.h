// RWLock.h - the reader/writer lock that serialises the device library's
// calls into FFTW (planning, execution, destruction). The library takes only
// the exclusive side; the shared side is provided for completeness and
// admits readers while no writer is active or waiting.
#pragma once

#include <condition_variable>
#include <mutex>

namespace kelpcie {

class RWLock {
public:
    RWLock() = default;
    virtual ~RWLock() = default;
    RWLock(const RWLock &) = delete;
    RWLock &operator=(const RWLock &) = delete;

    void lock()
    {
        std::unique_lock<std::mutex> guard(mutex_);
        ++writers_;
        writerQueue_.wait(guard, [this] { return readers_ == 0 && !writerActive_; });
        writerActive_ = true;
    }
    void unlock()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        writerActive_ = false;
        if (writers_-- == 1)
            readerQueue_.notify_all();
        else
            writerQueue_.notify_one();
    }
    void lockShared()
    {
        std::unique_lock<std::mutex> guard(mutex_);
        readerQueue_.wait(guard, [this] { return writers_ == 0; });
        ++readers_;
    }
    void unlockShared()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (--readers_ == 0)
            writerQueue_.notify_one();
    }

private:
    int readers_ = 0;
    int writers_ = 0; // waiting or writing
    bool writerActive_ = false;
    std::mutex mutex_;
    std::condition_variable readerQueue_;
    std::condition_variable writerQueue_;
};

} // namespace kelpcie
