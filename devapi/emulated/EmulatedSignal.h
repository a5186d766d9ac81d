// EmulatedSignal.h - the analog signals the emulated board digitises: one
// configurable source per channel (tone with harmonics, swept tone, digitally
// modulated carrier, square pulses, silence) plus white noise, evaluated at
// any sample index so that the board's memory can be synthesised on demand.
// Internal to LomPcieDmaDll.
#pragma once

#include <cstdint>
#include <string>

namespace lompcie {

enum class SignalKind { Off, Tone, Sweep, Bpsk, Qpsk, Psk8, Qam16, Qam64, Pulse };

struct SignalConfig {
    SignalKind kind = SignalKind::Off;
    double amplitude = 16000.0; // peak, ADC codes
    double offset = 0.0;        // ADC codes
    double noiseRms = 0.0;      // ADC codes
    double freqHz = 10e6;       // tone, pulse repetition, carrier
    double phaseDeg = 0.0;
    double harmonicDbc[10] = {}; // index k: level of harmonic k (2..9), 0 = absent
    double sweepFromHz = 1e6;
    double sweepToHz = 400e6;
    double sweepPeriodS = 10.0;
    double symbolRateHz = 10e6;
    double duty = 0.3;
};

// Parses "kind:key=value,key=value". Unknown kinds or keys and malformed
// numbers leave `config` as it was and return false with a reason in
// `error`; the caller keeps the default then.
bool parseSignalConfig(const std::string &text, SignalConfig &config, std::string &error);

// The default source of each channel (0..3).
SignalConfig defaultSignalConfig(int channel);

// Writes `count` consecutive samples of one channel, starting at absolute
// sample index `firstSample` taken at `sampleRateHz`, as int16 codes into
// out[0 .. count-1]. `lowPass` removes components above half the rate
// (the decimation chain filters; the direct converter modes alias).
void synthesise(const SignalConfig &config, int channel, uint64_t seed, int64_t firstSample,
                double sampleRateHz, bool lowPass, int count, int16_t *out);

} // namespace lompcie
