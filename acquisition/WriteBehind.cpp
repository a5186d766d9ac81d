// Write-back behind the recorder (see WriteBehind.h).
#include "WriteBehind.h"

#ifdef __linux__
#include <cerrno>
#include <fcntl.h>
#endif

void WriteBehind::reset(int fd, std::int64_t offset)
{
    fd_ = fd;
    end_ = offset;
    started_ = offset;
    settled_ = offset;
}

int WriteBehind::appended(std::int64_t bytes)
{
    end_ += bytes;
#ifdef __linux__
    if (fd_ < 0 || end_ - started_ < kChunkBytes)
        return 0;
    // One write-back request; false when it failed (error set for a disk
    // error, the hints turned off for any other).
    int error = 0;
    auto request = [&](std::int64_t from, std::int64_t to, unsigned flags) {
        if (::sync_file_range(fd_, from, to - from, flags) == 0)
            return true;
        if (errno == EIO || errno == ENOSPC)
            error = errno;
        else
            fd_ = -1;  // the file system takes no hints: plain cached writes
        return false;
    };
    // Start on the chunk just finished; it runs while the next one is written.
    if (!request(started_, end_, SYNC_FILE_RANGE_WRITE))
        return error;
    // Wait for what lies more than kWindowBytes behind, then let it go from
    // the cache. The window lets the disk fall behind for a moment (a
    // flush of its own, another program's writes) without stopping the
    // recorder.
    const std::int64_t due = end_ - kWindowBytes;
    if (due > settled_) {
        if (!request(settled_, due, SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER))
            return error;
        ::posix_fadvise(fd_, settled_, due - settled_, POSIX_FADV_DONTNEED);
        settled_ = due;
    }
    started_ = end_;
#endif
    return 0;
}
