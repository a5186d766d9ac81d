// Continuous transfer on a modelled bus: the emulated board charges each
// register write, register read and DMA call what a real link would
// (LOMPCIE_COST_*, LOMPCIE_LINK_BYTES_PER_S at the typical values below), and
// the stream moves blocks of 8 KiB, 64 KiB, 1 MiB and 4 MiB
//   BM_BusToCountingSink  into a consumer that only counts, so the transfer
//                         path is measured without the disk; the board
//                         streams at its full 8 GB/s
//   BM_BusToFile          into the recorder and a file, the board streaming at
//                         97 % of the disk's plain write rate, measured just
//                         before in the same run (same volume, same block
//                         size): a recorder slower than the disk drops blocks.
//                         The plain rate is the faster of two ways of
//                         writing: through the cache with the disk kept
//                         writing behind, and straight to the disk (direct
//                         I/O). Both sides are timed until their data is on
//                         the disk (both end with a flush), after sync()
//                         emptied the cache of other writes; the plain rate
//                         is measured again after the recording, to show how
//                         much the disk moved
// Reported per block size: the sustained rate (GBps: blocks the stream moved,
// a counting-sink case ending once it moved its volume; for a file, the
// blocks the recorder wrote, the ones a large ring still held at the stop
// included, until they are on the disk), the model's own bound
// for one block (bound_GBps: one pointer read, three register writes, one DMA
// call and the bytes over the link), the process's CPU time per GB moved
// (cpu_s_per_GB; the cost model's busy-wait counts in it, as a driver's
// polling would), the blocks the full ring dropped and, for the file, the
// plain rate and the ratio. Files go to H452_BENCH_DIR (default: the working
// directory) and are removed afterwards.
//
// The volume of a counting-sink case is what the board's 4 GiB ring allows:
// a stream slower than the board falls behind it, and once the board is half
// its ring ahead the data would be lost on a real board, so each case stops
// well before (1.5 GiB behind at the model's bound), at most 4 GiB.
#include "BenchSupport.h"
#include "BlockRing.h"
#include "BoardSettings.h"
#include "DeviceState.h"
#include "EmulatedBoard.h"
#include "KelPcieApi.h"
#include "LomPcieEmulatorControl.h"
#include "WorkThread.h"
#include "Writer.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include <sys/resource.h>

namespace {

// Typical costs of a PCIe Gen3 x8 board: a posted register write, a
// non-posted read, a driver DMA call with its completion, the link's
// practical rate.
constexpr double kWriteNs = 150;
constexpr double kReadNs = 1000;
constexpr double kDmaNs = 7500;
constexpr double kLinkBytesPerS = 6.5e9;
constexpr double kBoardBytesPerS = 8e9;  // 4 channels x 1 GS/s x 2 bytes

double modelBoundBytesPerS(double blockBytes)
{
    const double ns = kReadNs + 3 * kWriteNs + kDmaNs + blockBytes * 1e9 / kLinkBytesPerS;
    return blockBytes * 1e9 / ns;
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A fresh emulated board with the cost model (or, `costed` false, answering
// at memory speed), streaming the ramp at `bytesPerS` from unit 0.
bool openCostedBoard(double bytesPerS, bool costed = true)
{
    testsupport::EmulatedBoard::reset();
    if (costed) {
        qputenv("LOMPCIE_COST_WRITE_NS", QByteArray::number(kWriteNs));
        qputenv("LOMPCIE_COST_READ_NS", QByteArray::number(kReadNs));
        qputenv("LOMPCIE_COST_DMA_NS", QByteArray::number(kDmaNs));
        qputenv("LOMPCIE_LINK_BYTES_PER_S", QByteArray::number(kLinkBytesPerS, 'f', 0));
    }
    testsupport::EmulatedBoardSetup setup;
    setup.pattern = "ramp";
    setup.streamRate = QByteArray::number(bytesPerS / 64, 'f', 0);
    testsupport::EmulatedBoard::configure(setup);
    if (!testsupport::EmulatedBoard::openFirst())
        return false;
    // Armed as the window arms it when continuous transfer is chosen.
    bool armed = false;
    acquisition::applyTriggerSource(deviceHandle, acquisition::kModeContinuous, armed);
    return true;
}

void closeBoard()
{
    testsupport::EmulatedBoard::reset();
}

void startStream(WorkThread& thread, BlockRing& ring, qint64 blockBytes)
{
    thread.setBlockRing(&ring);
    thread.setStreamBlockBytes(blockBytes);
    thread.setParameters(1000, 0, acquisition::kModeContinuous, 0, 0, 0);
    thread.allocateChannelBuffers();
    thread.start(QThread::TimeCriticalPriority);
}

void BM_BusToCountingSink(benchmark::State& state)
{
    const qint64 blockBytes = state.range(0);
    const bool costed = state.range(1) != 0;
    const double bound = modelBoundBytesPerS(double(blockBytes));
    const double behind = 1.5 * double(1ull << 30);
    const double volume = std::min(4.0 * double(1ull << 30), behind * bound / (kBoardBytesPerS - bound));
    const qint64 blocks = std::max<qint64>(64, qint64(volume) / blockBytes);
    double seconds = 0, cpu = 0;
    std::uint64_t dropped = 0;
    for (auto _ : state) {
        if (!openCostedBoard(kBoardBytesPerS, costed)) {
            state.SkipWithError("the emulated board did not open");
            break;
        }
        // The default 8 MiB of ring, which mostly stays in the caches: on
        // this shared machine a copy into memory outside them runs at 2 to
        // 2.6 GB/s, a bound of the machine, not of the transfer.
        BlockRing ring(BlockRing::slotCountFor(std::size_t(blockBytes)), std::size_t(blockBytes));
        std::atomic<qint64> counted{0};
        std::atomic<bool> done{false};
        std::thread sink([&] {
            while (!done.load()) {
                if (ring.oldest()) {
                    ring.release();
                    counted.fetch_add(1, std::memory_order_relaxed);
                } else {
                    // Asleep while the ring is empty, so that the process's
                    // CPU time is the stream's.
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                }
            }
        });
        WorkThread thread;
        const double cpu0 = cpuSeconds();
        const auto begin = std::chrono::steady_clock::now();
        startStream(thread, ring, blockBytes);
        while (counted.load() + qint64(ring.droppedBlocks()) < blocks)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        const auto end = std::chrono::steady_clock::now();
        cpu += cpuSeconds() - cpu0;
        thread.stopAndWait();
        done.store(true);
        sink.join();
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
        seconds += std::chrono::duration<double>(end - begin).count();
        dropped += ring.droppedBlocks();
        closeBoard();
    }
    const double bytes = double(state.iterations()) * double(blocks) * double(blockBytes);
    state.SetBytesProcessed(int64_t(bytes));
    state.counters["GBps"] = seconds > 0 ? bytes / seconds / 1e9 : 0;
    state.counters["bound_GBps"] = bound / 1e9;
    state.counters["cpu_s_per_GB"] = bytes > 0 ? cpu / (bytes / 1e9) : 0;
    state.counters["dropped"] = double(dropped);
}
// Second argument 0: the same stream without the cost model, where the
// emulator's own work and the copies set the pace.
BENCHMARK(BM_BusToCountingSink)
    ->Args({8 << 10, 1})->Args({64 << 10, 1})->Args({1 << 20, 1})->Args({4 << 20, 1})
    ->Args({8 << 10, 0})->Args({1 << 20, 0})
    ->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

// The disk's plain rate: `blocks` plain writes of `blockBytes` to path,
// timed until they are on the disk. 0 when the writes failed.
double plainBytesPerS(const QString& path, qint64 blocks, qint64 blockBytes, benchsupport::PlainWrites how)
{
    ::sync();
    const QByteArray name = QFile::encodeName(path);
    const auto begin = std::chrono::steady_clock::now();
    const char* error = benchsupport::writePlainBlocks(name, int(blocks), int(blockBytes), how);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    QFile::remove(path);
    return error || seconds <= 0 ? 0.0 : double(blocks) * double(blockBytes) / seconds;
}

void BM_BusToFile(benchmark::State& state)
{
    const qint64 blockBytes = state.range(0);
    const auto diskWrites = Writer::DiskWrites(state.range(1));
    const std::size_t ringBytes = std::size_t(state.range(2)) << 20;
    const qint64 volume = qint64(1) << 30;
    const qint64 blocks = volume / blockBytes;
    QTemporaryDir dir(benchsupport::benchDir() + QStringLiteral("/bench-XXXXXX"));
    const QString plainPath = dir.filePath(QStringLiteral("plain.bin"));
    double seconds = 0, cpu = 0, plainBefore = 0, plainAfter = 0, behindBefore = 0, directBefore = 0;
    std::uint64_t dropped = 0;
    qint64 written = 0;
    double longestWriteMs = 0;
    // The faster of the two plain ways: the disk's plain write rate.
    auto plainRate = [&](double* behind, double* direct) {
        *behind = plainBytesPerS(plainPath, blocks, blockBytes, benchsupport::PlainWrites::Behind);
        *direct = plainBytesPerS(plainPath, blocks, blockBytes, benchsupport::PlainWrites::Direct);
        return std::max(*behind, *direct);
    };
    for (auto _ : state) {
        double behind = 0, direct = 0;
        const double plain = plainRate(&behind, &direct);
        behindBefore += behind;
        directBefore += direct;
        if (plain <= 0) {
            state.SkipWithError("the plain writes failed");
            break;
        }
        plainBefore += plain;
        // Ring and recorder first, as h452-record does: the board streams
        // from the moment it is armed.
        BlockRing ring(BlockRing::slotCountFor(std::size_t(blockBytes), ringBytes), std::size_t(blockBytes));
        Writer writer(&ring, dir.filePath(QStringLiteral("samples.bin")), int(blockBytes));
        writer.setDiskWrites(diskWrites);
        WorkThread thread;
        ::sync();
        if (!openCostedBoard(0.97 * plain)) {
            state.SkipWithError("the emulated board did not open");
            break;
        }
        const double cpu0 = cpuSeconds();
        const auto begin = std::chrono::steady_clock::now();
        writer.startRecording();
        startStream(thread, ring, blockBytes);
        while (writer.blocksWritten() < blocks && writer.isRunning())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        thread.stopAndWait();
        writer.requestStop();
        writer.wait();
        // On the disk, as the plain writes were.
        const QStringList files = writer.lastSummary().files;
        for (const QString& f : files) {
            QFile file(f);
            if (file.open(QIODevice::ReadOnly))
                ::fdatasync(file.handle());
        }
        const auto end = std::chrono::steady_clock::now();
        cpu += cpuSeconds() - cpu0;
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
        seconds += std::chrono::duration<double>(end - begin).count();
        dropped += ring.droppedBlocks();
        // Everything the recorder wrote, the blocks a large ring still held
        // at the stop included: the time covers writing them as well.
        written += writer.lastSummary().blocksWritten;
        longestWriteMs = std::max(longestWriteMs, writer.lastSummary().longestWriteMs);
        for (const QString& f : files) {
            QFile::remove(f);
            QFile::remove(f.left(f.size() - 4) + QStringLiteral(".sigmf-meta"));
        }
        closeBoard();
        plainAfter += plainRate(&behind, &direct);
    }
    const double n = double(state.iterations());
    const double bytes = double(written) * double(blockBytes);
    const double rate = seconds > 0 ? bytes / seconds : 0;
    state.SetBytesProcessed(int64_t(bytes));
    state.counters["GBps"] = rate / 1e9;
    state.counters["plain_GBps"] = n > 0 ? plainBefore / n / 1e9 : 0;
    state.counters["plain_behind_GBps"] = n > 0 ? behindBefore / n / 1e9 : 0;
    state.counters["plain_direct_GBps"] = n > 0 ? directBefore / n / 1e9 : 0;
    state.counters["plain_after_GBps"] = n > 0 ? plainAfter / n / 1e9 : 0;
    state.counters["of_plain"] = plainBefore > 0 ? rate / (plainBefore / n) : 0;
    state.counters["bound_GBps"] = modelBoundBytesPerS(double(blockBytes)) / 1e9;
    state.counters["cpu_s_per_GB"] = bytes > 0 ? cpu / (bytes / 1e9) : 0;
    state.counters["dropped"] = double(dropped);
    state.counters["longest_write_ms"] = longestWriteMs;
}
// Arguments: block size; how the recorder writes (Writer::DiskWrites: 0
// through the cache with write-behind, the default; 1 straight to the disk;
// 2 through the cache alone); MiB of ring between board and recorder: 8, the
// default; 32, which rides out the disk's pauses of ten milliseconds or so
// seen here at 1.8 GB/s; 1024, whose memory is mostly outside the
// processor's caches.
BENCHMARK(BM_BusToFile)
    ->Args({8 << 10, 0, 8})->Args({64 << 10, 0, 8})->Args({1 << 20, 0, 8})->Args({4 << 20, 0, 8})
    ->Args({64 << 10, 0, 32})->Args({1 << 20, 0, 32})->Args({4 << 20, 0, 32})
    ->Args({64 << 10, 1, 32})->Args({1 << 20, 1, 32})->Args({4 << 20, 1, 32})
    ->Args({1 << 20, 1, 8})->Args({1 << 20, 0, 1024})->Args({1 << 20, 2, 32})
    ->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    const int status = benchsupport::runWithCoreApplication(argc, argv);
    KelPcieClose();
    return status;
}
