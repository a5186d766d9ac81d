// What the benchmark programs share: the folder their files go to, the
// plain sequential writes that recording rates are measured beside, and the
// entry of programs whose benchmarks need Qt's event machinery (threads,
// files) but no window.
#pragma once

#include "WriteBehind.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QString>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace benchsupport {

// H452_BENCH_DIR, or the working directory (where the program records).
inline QString benchDir()
{
    const char* dir = std::getenv("H452_BENCH_DIR");
    return dir ? QString::fromLocal8Bit(dir) : QDir::currentPath();
}

// Writes `blocks` blocks of `blockBytes` bytes in order to a new file at
// `path` (truncated if it exists), one write() per block, the baseline a
// recorder is measured against. Returns null on success, else what failed.
// `toDisk`: the disk's own sustained rate rather than the cache's: the disk
// is kept writing behind (WriteBehind, as the recorder does) and the file is
// flushed to the disk before returning, so the time taken is the disk's.
inline const char* writePlainBlocks(const QByteArray& path, int blocks, int blockBytes, bool toDisk = false)
{
    const std::vector<char> block(std::size_t(blockBytes), 0x33);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return "cannot create the file";
    WriteBehind behind(toDisk ? fd : -1);
    const char* error = nullptr;
    for (int i = 0; i < blocks && !error; ++i) {
        if (::write(fd, block.data(), std::size_t(blockBytes)) != blockBytes || behind.appended(blockBytes) != 0)
            error = "write failed";
    }
    if (toDisk && !error && ::fdatasync(fd) != 0)
        error = "flush failed";
    ::close(fd);
    return error;
}

// Runs the registered benchmarks inside a QCoreApplication.
inline int runWithCoreApplication(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace benchsupport
