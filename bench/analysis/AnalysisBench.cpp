// The whole per-frame analysis of the live window (spectrum, levels and
// figures for four channels, the frequency-response step, constellation and
// eye for one channel) at the record lengths the window offers, beside the
// four FFTs alone on kept plans, measured in the same run so the overhead
// above FFTW shows. Single-threaded: one core, as the acquisition thread.
#include "AnalysisState.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// Frames like the simulated board's: a cosine of period 10, a noisy sine of
// period 50 and two noisy square waves of period 100 (raw codes).
struct Signals {
    std::vector<double> ch[4];
    explicit Signals(int n)
    {
        std::uint64_t seed = 0x9E3779B97F4A7C15ULL;
        auto noise = [&seed] {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            return static_cast<double>((seed >> 32) * 30 >> 32);
        };
        for (auto& c : ch)
            c.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            ch[0][i] = 200.0 * std::cos(i / 1e6 * 628312.52);
            ch[1][i] = 300.0 * std::sin(i * 0.01 * 12.5663704) + noise();
            ch[2][i] = (i % 100 < 50 ? 350.0 : -350.0) + noise();
            ch[3][i] = (i % 100 < 50 ? 230.0 : -230.0) + noise();
        }
    }
};

void frameInput(h452::FrameInput& in, const Signals& s, int n, bool spectrumChart)
{
    in.sampleCount = n;
    in.sampleRateHz = 1e9;
    for (int k = 0; k < 4; ++k) {
        in.samples[k] = s.ch[k].data();
        in.channelEnabled[k] = true;
    }
    // Levels in dBFS for every bin are wanted only while the spectrum chart
    // is shown; the figures and the frequency response need the line alone.
    in.frequencyPanel = spectrumChart;
    in.freqRspPanel = true;
    in.eyePanel = true;
    in.eyeChannel = 0;
    // The constellation runs for one channel below, not for all four.
    in.constellationPanel = false;
}

void wholeFrame(benchmark::State& st, bool spectrumChart, h452::SpectrumTransform transform)
{
    const int n = static_cast<int>(st.range(0));
    const Signals s(n);
    h452::AnalysisState state;
    state.spectrum.setTransform(transform);
    // The complex transform stands for h452-analyze's arithmetic: with it the
    // exact demodulator too.
    if (transform == h452::SpectrumTransform::Complex)
        state.demodArithmetic = h452::DemodArithmetic::Exact;
    state.setWindowType(1);
    state.setConstellationType(h452::kQpsk);
    state.resetFrequencyResponse(n);
    h452::FrameInput in;
    frameInput(in, s, n, spectrumChart);
    h452::FrameResult result;
    std::vector<double> i(static_cast<std::size_t>(n)), q(static_cast<std::size_t>(n)),
        scratch(static_cast<std::size_t>(n));
    // One frame before timing: planning, the window and the first touch of
    // the kept buffers happen once per record length in the window too, not
    // per frame (at 999999 they would be a sixth of a six-frame run).
    h452::analyzeFrame(state, in, result);
    state.clearEyeSeries();
    for (auto _ : st) {
        h452::analyzeFrame(state, in, result);
        // Constellation of channel 0 with the line the frame found.
        const h452::ChannelFrameResult& c0 = result.channels[0];
        const double fc = result.binFrequencyHz.empty() ? 0.0 : result.binFrequencyHz[c0.peakBin];
        const int start = h452::constellationStart(s.ch[0].data(), n, 1e9, fc);
        h452::demodulateConstellationWith(state.demodArithmetic, s.ch[0].data() + start, i.data(), q.data(),
                                          n - start, 1e9, fc, state.constellationType,
                                          state.demodFilterTaps.data(), scratch.data());
        // Keep the persistence from growing into the trimming regime.
        state.clearEyeSeries();
        benchmark::DoNotOptimize(result.figures[0].snrDb);
        benchmark::DoNotOptimize(i.data());
    }
    st.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(st.iterations()),
                                                     benchmark::Counter::kIsRate);
}

// The analysis as the window's frame runs it: spectrum and figures of four
// channels, frequency response, constellation and eye of one channel.
void BM_WholeFrame(benchmark::State& st)
{
    wholeFrame(st, false, h452::SpectrumTransform::RealInput);
}

// The same with the arithmetic h452-analyze keeps (complex transform, exact
// demodulator; the window's before the faster ones): the baseline of
// BM_WholeFrame.
void BM_WholeFrameComplexTransform(benchmark::State& st)
{
    wholeFrame(st, false, h452::SpectrumTransform::Complex);
}

// The same with the spectrum chart shown: levels of every bin of all four
// channels on top.
void BM_WholeFrameWithSpectrumChart(benchmark::State& st)
{
    wholeFrame(st, true, h452::SpectrumTransform::RealInput);
}

// The window's constellation chain alone (fast arithmetic) on channel 0's
// frame, with the line the whole frame finds (the 100 MHz cosine).
void BM_FastDemodChain(benchmark::State& st)
{
    const int n = static_cast<int>(st.range(0));
    const Signals s(n);
    std::vector<double> i(static_cast<std::size_t>(n)), q(static_cast<std::size_t>(n)),
        scratch(static_cast<std::size_t>(n));
    double taps[h452::kDemodFilterTaps];
    for (auto _ : st) {
        h452::demodulateConstellationWith(h452::DemodArithmetic::Fast, s.ch[0].data(), i.data(), q.data(), n, 1e9,
                                          100e6, h452::kQpsk, taps, scratch.data());
        benchmark::DoNotOptimize(i.data());
        benchmark::DoNotOptimize(q.data());
    }
}

void fourFfts(benchmark::State& st, h452::SpectrumTransform transform,
              h452::RealLayout layout = h452::RealLayout::Timed)
{
    const int n = static_cast<int>(st.range(0));
    const Signals s(n);
    h452::SpectrumEngine engine(transform);
    engine.setRealLayout(layout);
    std::vector<double> a(static_cast<std::size_t>(n / 2 + 1));
    for (auto _ : st) {
        for (int k = 0; k < 4; ++k)
            benchmark::DoNotOptimize(engine.magnitude(s.ch[k].data(), n, 1, a.data()));
    }
    st.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(st.iterations()),
                                                     benchmark::Counter::kIsRate);
}

void BM_FourFftsKeptPlans(benchmark::State& st)
{
    fourFfts(st, h452::SpectrumTransform::Complex);
}

void BM_FourFftsRealInput(benchmark::State& st)
{
    fourFfts(st, h452::SpectrumTransform::RealInput);
}

// The real-input transform always one-dimensional: the baseline of the
// prime-factor layout the engine may choose for long records.
void BM_FourFftsRealInputDirect(benchmark::State& st)
{
    fourFfts(st, h452::SpectrumTransform::RealInput, h452::RealLayout::Direct);
}

void BM_FourFftsFresh(benchmark::State& st)
{
    // The per-call planning and allocation the kept plans avoid.
    const int n = static_cast<int>(st.range(0));
    const Signals s(n);
    std::vector<double> w(static_cast<std::size_t>(n)), a(static_cast<std::size_t>(n / 2 + 1));
    for (auto _ : st) {
        for (int k = 0; k < 4; ++k) {
            h452::buildWindow(1, w.data(), n);
            int peak = 0;
            h452::fftMagnitude(s.ch[k].data(), w.data(), n, &peak, a.data());
            benchmark::DoNotOptimize(peak);
        }
    }
    st.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(st.iterations()),
                                                     benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_WholeFrame)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(999999)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeFrameComplexTransform)->Arg(1000)->Arg(100000)->Arg(999999)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeFrameWithSpectrumChart)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(999999)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FastDemodChain)->Arg(100000)->Arg(999999)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FourFftsKeptPlans)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(999999)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FourFftsRealInput)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(999999)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FourFftsRealInputDirect)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(999999)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FourFftsFresh)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(999999)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
