// The recorder's sustained write rate beside plain 8 KiB sequential writes of
// the same total to the same folder, measured in the same run, both ways:
// through the kernel's cache (argument 0: the recorder's own cost, the cache
// taking everything at memory speed; goal: at least 80 % of the plain rate)
// and straight to the disk (argument 1: the recorder's default, beside plain
// direct writes of the same blocks). The producer waits for room in the ring
// rather than dropping, so the rate is the recorder's own; the "dropped"
// counter must stay 0. Files go to H452_BENCH_DIR (default: the working
// directory, which is where the program records) and are removed afterwards.
#include "BenchSupport.h"
#include "BlockRing.h"
#include "Writer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kBlockBytes = 8192;
constexpr int kBlocksPerIteration = 32768;  // 256 MiB

using benchsupport::benchDir;

void BM_PlainSequentialWrites(benchmark::State& state)
{
    QTemporaryDir dir(benchDir() + QStringLiteral("/bench-XXXXXX"));
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("plain.bin")));
    for (auto _ : state) {
        const auto how = state.range(0) ? benchsupport::PlainWrites::Direct : benchsupport::PlainWrites::Cache;
        if (const char* error = benchsupport::writePlainBlocks(path, kBlocksPerIteration, kBlockBytes, how)) {
            state.SkipWithError(error);
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kBlocksPerIteration * kBlockBytes);
}
BENCHMARK(BM_PlainSequentialWrites)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RecorderSustained(benchmark::State& state)
{
    QTemporaryDir dir(benchDir() + QStringLiteral("/bench-XXXXXX"));
    BlockRing ring;
    std::vector<unsigned char> block(kBlockBytes, 0x33);
    std::uint64_t dropped = 0;
    for (auto _ : state) {
        Writer writer(&ring, dir.filePath(QStringLiteral("samples.bin")));
        writer.setDiskWrites(state.range(0) ? Writer::DiskWrites::Direct : Writer::DiskWrites::Cached);
        const qint64 before = writer.blocksWritten();
        writer.startRecording();
        for (int i = 0; i < kBlocksPerIteration; ++i) {
            while (ring.size() >= ring.capacity())
                std::this_thread::yield();
            ring.push(block.data());
        }
        while (writer.blocksWritten() - before < kBlocksPerIteration)
            std::this_thread::yield();
        writer.requestStop();
        writer.wait();
        dropped += writer.lastSummary().blocksDropped;
        for (const QString& f : writer.lastSummary().files)
            QFile::remove(f);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kBlocksPerIteration * kBlockBytes);
    state.counters["dropped"] = double(dropped);
}
BENCHMARK(BM_RecorderSustained)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::runWithCoreApplication(argc, argv);
}
