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
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace benchsupport {

// H452_BENCH_DIR, or the working directory (where the program records).
inline QString benchDir()
{
    const char* dir = std::getenv("H452_BENCH_DIR");
    return dir ? QString::fromLocal8Bit(dir) : QDir::currentPath();
}

// How the plain writes reach the disk.
enum class PlainWrites {
    Cache,   // into the kernel's cache: the cache's rate
    Behind,  // the disk kept writing behind (WriteBehind, as the recorder
             // can) and the file flushed before returning: the disk's rate
    Direct,  // straight to the disk (O_DIRECT) from a page-aligned block
};

// Writes `blocks` blocks of `blockBytes` bytes in order to a new file at
// `path` (truncated if it exists), one write() per block, the baseline a
// recorder is measured against. Returns null on success, else what failed.
inline const char* writePlainBlocks(const QByteArray& path, int blocks, int blockBytes,
                                    PlainWrites how = PlainWrites::Cache)
{
    const std::size_t bytes = std::size_t(blockBytes);
    std::unique_ptr<char, decltype(&std::free)> block(
        static_cast<char*>(std::aligned_alloc(4096, (bytes + 4095) / 4096 * 4096)), &std::free);
    if (!block)
        return "no memory for the block";
    std::memset(block.get(), 0x33, bytes);
    int flags = O_WRONLY | O_CREAT | O_TRUNC;
#ifdef O_DIRECT
    if (how == PlainWrites::Direct)
        flags |= O_DIRECT;
#endif
    const int fd = ::open(path.constData(), flags, 0644);
    if (fd < 0)
        return "cannot create the file";
    WriteBehind behind(how == PlainWrites::Behind ? fd : -1);
    const char* error = nullptr;
    for (int i = 0; i < blocks && !error; ++i) {
        if (::write(fd, block.get(), bytes) != blockBytes || behind.appended(blockBytes) != 0)
            error = "write failed";
    }
    if (how != PlainWrites::Cache && !error && ::fdatasync(fd) != 0)
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
