// Independent helpers for the analysis tests: a naive DFT in long double and
// sine generators, so that golden values never come from the code under test.
#pragma once

#include <cmath>
#include <vector>

namespace h452test {

constexpr long double kPiL = 3.141592653589793238462643383279502884L;

// |X[k]| / (0.5 * sum of window) for k = 0 .. n/2, by the definition of the
// DFT, accumulated in long double.
inline std::vector<double> naiveMagnitudes(const std::vector<double>& x, const std::vector<double>& w)
{
    const int n = static_cast<int>(x.size());
    long double sum = 0.0L;
    for (double c : w)
        sum += c;
    std::vector<double> a(static_cast<std::size_t>(n / 2 + 1));
    for (int k = 0; k <= n / 2; ++k) {
        long double re = 0.0L;
        long double im = 0.0L;
        for (int i = 0; i < n; ++i) {
            // Reduce k*i modulo n first so the angle stays small and exact.
            const long double angle = -2.0L * kPiL * static_cast<long double>((static_cast<long long>(k) * i) % n) / n;
            re += x[i] * w[i] * std::cos(angle);
            im += x[i] * w[i] * std::sin(angle);
        }
        a[k] = static_cast<double>(std::sqrt(re * re + im * im) / (0.5L * sum));
    }
    return a;
}

// amplitude * cos(2 pi bin i / n + phase), exactly periodic in n samples.
inline std::vector<double> tone(int n, double bin, double amplitude, double phase = 0.0)
{
    std::vector<double> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        x[i] = amplitude * static_cast<double>(std::cos(2.0L * kPiL * bin * i / n + phase));
    return x;
}

inline void addTone(std::vector<double>& x, double bin, double amplitude, double phase = 0.0)
{
    const std::vector<double> t = tone(static_cast<int>(x.size()), bin, amplitude, phase);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] += t[i];
}

}  // namespace h452test
