// Continuous transfer end to end: the emulated board streams its ramp at a
// given rate, the acquisition thread follows its write pointer and moves
// 8 KiB blocks into the block ring, and the recorder writes them to a file.
// Reported: the rate from the start of the recording until the last block of
// the total is on disk (MB/s), and the blocks the full ring dropped. Beside
// it, plain 8 KiB sequential writes of the same total to the same folder.
//
// Argument: the board's stream rate in MB/s (1 MB = 1e6 bytes). Below the
// disk's rate the pipeline should match the board's rate with no drops; the
// highest argument shows where the pipeline itself tops out. Files go to
// H452_BENCH_DIR (default: the working directory) and are removed afterwards.
#include "BenchSupport.h"
#include "BlockRing.h"
#include "BoardSettings.h"
#include "DeviceState.h"
#include "EmulatedBoard.h"
#include "KelPcieApi.h"
#include "LomPcieEmulatorControl.h"
#include "WorkThread.h"
#include "Writer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kBlockBytes = 8192;
constexpr int kBlocksPerIteration = 4096;  // 32 MiB

using benchsupport::benchDir;
using testsupport::EmulatedBoard;

// Opens a fresh emulated board streaming its ramp at `megabytesPerSecond`.
bool openStreamingBoard(double megabytesPerSecond)
{
    testsupport::EmulatedBoardSetup setup;
    setup.pattern = "ramp";
    setup.streamRate = QByteArray::number(megabytesPerSecond * 1e6 / 64, 'f', 0);
    EmulatedBoard::configure(setup);
    if (!EmulatedBoard::openFirst())
        return false;
    // Armed as the window arms it when continuous transfer is chosen.
    bool armed = false;
    acquisition::applyTriggerSource(deviceHandle, acquisition::kModeContinuous, armed);
    return true;
}

void BM_ContinuousTransferToFile(benchmark::State& state)
{
    const double boardMBps = double(state.range(0));
    QTemporaryDir dir(benchDir() + QStringLiteral("/bench-XXXXXX"));
    std::uint64_t dropped = 0;
    double seconds = 0;
    for (auto _ : state) {
        if (!openStreamingBoard(boardMBps)) {
            state.SkipWithError("the emulated board did not open");
            break;
        }
        BlockRing ring;
        WorkThread thread;
        Writer writer(&ring, dir.filePath(QStringLiteral("samples.bin")));
        thread.setBlockRing(&ring);
        thread.setParameters(1000, 0, acquisition::kModeContinuous, 0, 0, 0);
        thread.allocateChannelBuffers();
        const auto begin = std::chrono::steady_clock::now();
        writer.startRecording();
        thread.start(QThread::TimeCriticalPriority);
        while (writer.blocksWritten() < kBlocksPerIteration)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        const auto end = std::chrono::steady_clock::now();
        thread.stopAndWait();
        writer.requestStop();
        writer.wait();
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
        seconds += std::chrono::duration<double>(end - begin).count();
        dropped += ring.droppedBlocks();
        for (const QString& f : writer.lastSummary().files)
            QFile::remove(f);
        KelPcieClose();
        deviceHandle = 0;
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kBlocksPerIteration * kBlockBytes);
    state.counters["MBps"] = seconds > 0 ? double(state.iterations()) * kBlocksPerIteration * kBlockBytes / seconds / 1e6 : 0;
    state.counters["dropped"] = double(dropped);
}
BENCHMARK(BM_ContinuousTransferToFile)
    ->Arg(16)->Arg(128)->Arg(512)->Arg(1000)->Arg(4000)
    ->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_PlainSequentialWrites(benchmark::State& state)
{
    QTemporaryDir dir(benchDir() + QStringLiteral("/bench-XXXXXX"));
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("plain.bin")));
    double seconds = 0;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        if (const char* error = benchsupport::writePlainBlocks(path, kBlocksPerIteration, kBlockBytes)) {
            state.SkipWithError(error);
            break;
        }
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
        seconds += std::chrono::duration<double>(end - begin).count();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kBlocksPerIteration * kBlockBytes);
    state.counters["MBps"] = seconds > 0 ? double(state.iterations()) * kBlocksPerIteration * kBlockBytes / seconds / 1e6 : 0;
}
BENCHMARK(BM_PlainSequentialWrites)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    const int status = benchsupport::runWithCoreApplication(argc, argv);
    KelPcieClose();
    return status;
}
