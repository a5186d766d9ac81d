// WriteBehind: keeps what a recording has written but the disk has not yet
// taken small, so that the disk works from the first block on.
//
// Written through the kernel's cache alone, a recording of a gigabyte or two
// goes to memory at memory speed while the disk idles (the kernel starts
// writing back only once a tenth of memory is dirty), then pays for all of it
// at once: the recording's first seconds look faster than the disk, later
// ones stall for as long, and stopping leaves gigabytes still to be written.
// Here, whenever another 8 MiB of the file are written, the disk is asked to
// start on them, and the recorder waits until everything more than 32 MiB
// behind the end is on the disk; those pages are then dropped from the
// cache, so a long recording does not push everything else out of memory.
// At most 32 MiB plus one chunk of the file are ever waiting, the disk is
// kept busy at its own sustained rate, and the wait puts the disk's pace
// where it belongs: in front of the ring, whose drops the recording counts.
//
// A disk error the wait reports (EIO, ENOSPC) is returned so that the
// recorder ends the recording as for a failed write; a file system that does
// not take the hints (ESPIPE, EINVAL) turns them off for that file. Linux
// only; elsewhere every call does nothing.
#pragma once

#include <cstdint>

class WriteBehind {
public:
    static constexpr std::int64_t kChunkBytes = std::int64_t(8) << 20;
    static constexpr std::int64_t kWindowBytes = std::int64_t(32) << 20;

    // A file descriptor open for writing at offset 0; -1 for none (off).
    explicit WriteBehind(int fd = -1) { reset(fd); }

    // Another file (after a roll-over), or the same one from then on, its
    // end at `offset`.
    void reset(int fd, std::int64_t offset = 0);

    // After `bytes` more were appended at the end. Returns 0, or the errno
    // of a write-back the disk failed.
    int appended(std::int64_t bytes);

private:
    int fd_ = -1;
    std::int64_t end_ = 0;      // bytes written to the file
    std::int64_t started_ = 0;  // write-back asked for up to here
    std::int64_t settled_ = 0;  // on the disk and dropped from the cache up to here
};
