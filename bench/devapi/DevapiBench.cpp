// bench_devapi - throughput of KelPcieFetchData against the emulated board
// (MB/s of records delivered: four channels of doubles), beside the raw
// rate at which the emulator synthesises its ring over DMA, for the ramp
// pattern and for the analog signals.
#include "BoardRegisters.h"
#include "KelPcieApi.h"
#include "LomPcieEmulatorControl.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

namespace {

uint32_t openBoard(bool ramp)
{
    KelPcieClose();
    setenv("LOMPCIE_BOARDS", "1", 1);
    unsetenv("LOMPCIE_TRACE");
    if (ramp)
        setenv("LOMPCIE_PATTERN", "ramp", 1);
    else
        unsetenv("LOMPCIE_PATTERN");
    LomPcieResetEmulator();
    int32_t connection = 0;
    KelPcieInit("PXI0::0::0INSTR", 0, 0, &connection);
    return static_cast<uint32_t>(connection);
}

// Records delivered by a free-run fetch of n samples per channel.
void fetchData(benchmark::State &state, bool ramp)
{
    const uint32_t c = openBoard(ramp);
    const uint32_t n = static_cast<uint32_t>(state.range(0));
    std::vector<double> ch[4];
    for (auto &v : ch)
        v.resize(n);
    for (auto _ : state) {
        const int32_t r = KelPcieFetchData(c, ch[0].data(), ch[1].data(), ch[2].data(), ch[3].data(), n, 0, 0,
                                           0, 0, 0);
        if (r != 0)
            state.SkipWithError("fetch failed");
        benchmark::DoNotOptimize(ch[0].data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * n * 4 * sizeof(double));
}

// The board side alone: DMA of n samples per channel (n / 8 units of 64
// bytes) straight from the synthesised ring, no arming, no de-interleave.
void ringSynthesis(benchmark::State &state, bool ramp)
{
    const uint32_t c = openBoard(ramp);
    const uint64_t bytes = static_cast<uint64_t>(state.range(0)) * 8;
    std::vector<uint32_t> buffer(bytes / 4);
    for (auto _ : state) {
        KelPcieWriteData(c, boardreg::TransferStart, 0);
        KelPcieWriteData(c, boardreg::Command, boardreg::CommandTransfer);
        if (KelPcieReadDMA(c, 0, buffer.data(), bytes) != 0)
            state.SkipWithError("DMA failed");
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_FetchDataRamp(benchmark::State &s) { fetchData(s, true); }
void BM_FetchDataSignals(benchmark::State &s) { fetchData(s, false); }
void BM_RingSynthesisRamp(benchmark::State &s) { ringSynthesis(s, true); }
void BM_RingSynthesisSignals(benchmark::State &s) { ringSynthesis(s, false); }

} // namespace

BENCHMARK(BM_FetchDataRamp)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RingSynthesisRamp)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FetchDataSignals)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RingSynthesisSignals)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
