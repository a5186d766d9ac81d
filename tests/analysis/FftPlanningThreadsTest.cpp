// Planning from several threads at once, as the acquisition thread and the
// device library do in one process: every plan goes through the planner lock,
// and each thread's kept plans still give the single-threaded bits.
#include "Fft.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <future>
#include <vector>

using namespace h452;

namespace {

std::vector<double> signal(int n, int seed)
{
    std::vector<double> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        x[i] = std::round(3000.0 * std::sin(0.013 * (seed + 1) * i) + 7.0 * std::cos(1.7 * i));
    return x;
}

// Spectra of a mix of sizes (each size change plans, evictions destroy
// plans), with the kept engine and the fresh path alternately.
std::vector<std::vector<double>> spectra(int seed)
{
    const int sizes[] = {997, 1000, 1024, 1500, 2047, 4096, 999, 1000};
    SpectrumEngine engine;
    std::vector<std::vector<double>> out;
    for (int round = 0; round < 3; ++round) {
        for (int n : sizes) {
            const std::vector<double> x = signal(n, seed);
            std::vector<double> a(static_cast<std::size_t>(n / 2 + 1));
            engine.magnitude(x.data(), n, (seed + n) % 6, a.data());
            out.push_back(a);
            std::vector<double> w(static_cast<std::size_t>(n));
            buildWindow((seed + n) % 6, w.data(), n);
            int peak = 0;
            fftMagnitude(x.data(), w.data(), n, &peak, a.data());
            out.push_back(a);
        }
    }
    return out;
}

}  // namespace

TEST(SpectrumThreads, ConcurrentPlanningGivesTheSameBits)
{
    const int threads = 4;
    std::vector<std::vector<std::vector<double>>> alone;
    for (int t = 0; t < threads; ++t)
        alone.push_back(spectra(t));
    std::vector<std::future<std::vector<std::vector<double>>>> runs;
    for (int t = 0; t < threads; ++t)
        runs.push_back(std::async(std::launch::async, spectra, t));
    for (int t = 0; t < threads; ++t) {
        // A deadlock in the planner lock must fail, not hang the suite.
        ASSERT_EQ(runs[t].wait_for(std::chrono::seconds(60)), std::future_status::ready);
        const auto together = runs[t].get();
        ASSERT_EQ(together.size(), alone[t].size());
        for (std::size_t i = 0; i < together.size(); ++i)
            ASSERT_EQ(0, std::memcmp(together[i].data(), alone[t][i].data(), together[i].size() * sizeof(double)))
                << "thread " << t << " spectrum " << i;
    }
}
