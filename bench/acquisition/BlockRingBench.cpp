// Block ring throughput with one producer and one consumer thread, beside a
// single-thread memcpy of the same 8 KiB blocks into a 1024-slot area (the
// ring's footprint), measured in the same run. The ring copies every block
// twice (in and out) on two cores; the goal is at least half the memcpy rate.
#include "BlockRing.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kBlockBytes = 8192;
constexpr std::size_t kBlocksPerIteration = 16384;  // 128 MiB

void BM_MemcpyBlocks(benchmark::State& state)
{
    std::vector<unsigned char> source(kBlockBytes, 0x5A);
    std::vector<unsigned char> area(1024 * kBlockBytes);
    std::vector<unsigned char> sink(kBlockBytes);
    for (auto _ : state) {
        // In and out, as the ring does, on one thread.
        for (std::size_t i = 0; i < kBlocksPerIteration; ++i) {
            unsigned char* slot = area.data() + (i & 1023) * kBlockBytes;
            std::memcpy(slot, source.data(), kBlockBytes);
            std::memcpy(sink.data(), slot, kBlockBytes);
        }
        benchmark::DoNotOptimize(sink.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBlocksPerIteration * kBlockBytes));
}
BENCHMARK(BM_MemcpyBlocks)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BlockRingOneProducerOneConsumer(benchmark::State& state)
{
    BlockRing ring;
    std::vector<unsigned char> source(kBlockBytes, 0x5A);
    std::vector<unsigned char> sink(kBlockBytes);
    for (auto _ : state) {
        std::thread producer([&]() {
            for (std::size_t i = 0; i < kBlocksPerIteration; ++i) {
                // Retry instead of dropping, so every block counts.
                while (!ring.push(source.data()))
                    std::this_thread::yield();
            }
        });
        std::size_t received = 0;
        while (received < kBlocksPerIteration) {
            if (ring.pop(sink.data()))
                ++received;
            else
                std::this_thread::yield();
        }
        producer.join();
        benchmark::DoNotOptimize(sink.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBlocksPerIteration * kBlockBytes));
}
BENCHMARK(BM_BlockRingOneProducerOneConsumer)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
