// The recorder's sustained write rate beside plain 8 KiB sequential writes of
// the same total to the same folder, measured in the same run. The producer
// waits for room in the ring rather than dropping, so the rate is the
// recorder's own; the "dropped" counter must stay 0. Goal: at least 80 % of
// the plain rate. Files go to H452_BENCH_DIR (default: the working directory,
// which is where the program records) and are removed afterwards.
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

QString benchDir()
{
    const char* dir = std::getenv("H452_BENCH_DIR");
    return dir ? QString::fromLocal8Bit(dir) : QDir::currentPath();
}

void BM_PlainSequentialWrites(benchmark::State& state)
{
    QTemporaryDir dir(benchDir() + QStringLiteral("/bench-XXXXXX"));
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("plain.bin")));
    std::vector<char> block(kBlockBytes, 0x33);
    for (auto _ : state) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) {
            state.SkipWithError("cannot create the file");
            break;
        }
        for (int i = 0; i < kBlocksPerIteration; ++i)
            if (::write(fd, block.data(), kBlockBytes) != kBlockBytes) {
                state.SkipWithError("write failed");
                break;
            }
        ::close(fd);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kBlocksPerIteration * kBlockBytes);
}
BENCHMARK(BM_PlainSequentialWrites)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RecorderSustained(benchmark::State& state)
{
    QTemporaryDir dir(benchDir() + QStringLiteral("/bench-XXXXXX"));
    BlockRing ring;
    std::vector<unsigned char> block(kBlockBytes, 0x33);
    std::uint64_t dropped = 0;
    for (auto _ : state) {
        Writer writer(&ring, dir.filePath(QStringLiteral("samples.bin")));
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
BENCHMARK(BM_RecorderSustained)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
