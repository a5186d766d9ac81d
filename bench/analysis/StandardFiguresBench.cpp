// Cost of the standard figure set for one channel, beside the table's own
// spectrum and figures of the same record (the baseline, measured in the
// same run so that the ratio survives a loaded machine).
#include "Figures.h"
#include "Fft.h"
#include "SineFit.h"
#include "StandardFigures.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

std::vector<double> record(int n)
{
    std::vector<double> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        x[static_cast<std::size_t>(i)] =
            std::round(20000.0 * std::cos(2.0 * 3.141592653589793 * 1234.56 * i / n) + (i * 7919 % 5 - 2));
    return x;
}

void BM_TableSpectrumAndFigures(benchmark::State& st)
{
    const int n = static_cast<int>(st.range(0));
    const std::vector<double> x = record(n);
    std::vector<double> a(static_cast<std::size_t>(n / 2 + 1));
    h452::SpectrumEngine engine;
    h452::ChannelFigures figures;
    for (auto _ : st) {
        const int peak = engine.magnitude(x.data(), n, 1, a.data());
        h452::computeSpectrumFigures(a.data(), n, peak, h452::windowHalfWidthFor(1), figures);
        benchmark::DoNotOptimize(figures);
    }
}

void standard(benchmark::State& st, bool withFit)
{
    const int n = static_cast<int>(st.range(0));
    const std::vector<double> x = record(n);
    h452::StandardFigureEngine engine;
    h452::StandardFigures figures;
    h452::SineFit fit;
    for (auto _ : st) {
        if (withFit)
            h452::computeStandardSet(engine, x.data(), n, 1e9, 1, 6, figures, fit);
        else
            engine.compute(x.data(), n, 1e9, 1, 6, figures);
        benchmark::DoNotOptimize(figures);
    }
}

void BM_StandardSet(benchmark::State& st) { standard(st, false); }
void BM_StandardSetWithSineFit(benchmark::State& st) { standard(st, true); }

}  // namespace

BENCHMARK(BM_TableSpectrumAndFigures)->Arg(10000)->Arg(100000)->Arg(999999)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StandardSet)->Arg(10000)->Arg(100000)->Arg(999999)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StandardSetWithSineFit)->Arg(10000)->Arg(100000)->Arg(999999)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
