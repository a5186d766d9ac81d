// Write-back behind the recorder (see WriteBehind.h).
#include "WriteBehind.h"

#ifdef __linux__
#include <cerrno>
#include <fcntl.h>
#endif

void WriteBehind::reset(int fd)
{
    fd_ = fd;
    end_ = 0;
    started_ = 0;
    settled_ = 0;
}

int WriteBehind::appended(std::int64_t bytes)
{
    end_ += bytes;
#ifdef __linux__
    if (fd_ < 0 || end_ - started_ < kChunkBytes)
        return 0;
    // Start on the chunk just finished; it runs while the next one is written.
    if (::sync_file_range(fd_, started_, end_ - started_, SYNC_FILE_RANGE_WRITE) != 0) {
        const int error = errno;
        if (error == EIO || error == ENOSPC)
            return error;
        fd_ = -1;  // the file system takes no hints: plain cached writes
        return 0;
    }
    // Wait for what lies more than kWindowBytes behind, then let it go from
    // the cache. The window lets the disk fall behind for a moment (a
    // flush of its own, another program's writes) without stopping the
    // recorder.
    const std::int64_t due = end_ - kWindowBytes;
    if (due > settled_) {
        const unsigned flags = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
        if (::sync_file_range(fd_, settled_, due - settled_, flags) != 0) {
            const int error = errno;
            if (error == EIO || error == ENOSPC)
                return error;
            fd_ = -1;
            return 0;
        }
        ::posix_fadvise(fd_, settled_, due - settled_, POSIX_FADV_DONTNEED);
        settled_ = due;
    }
    started_ = end_;
#endif
    return 0;
}
