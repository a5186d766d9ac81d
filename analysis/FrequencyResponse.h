// Frequency response of the four channels while a tone is swept: each frame
// stores the line's frequency and level in the slot of its FFT bin, shifted
// by a shared reference taken from the first frame whose line lies at exactly
// 10 MHz.
#pragma once

#include <array>
#include <vector>

namespace h452 {

struct FrequencyResponseStore {
    // Per channel, count/2 slots indexed by FFT bin: the line frequency in Hz
    // (0 marks an empty slot) and its level in dB (dBFS plus the reference).
    std::array<std::vector<double>, 4> frequencyHz;
    std::array<std::vector<double>, 4> levelDb;
    // Offset added to every newly stored level; shared by the channels,
    // 0 until a 10 MHz frame has been seen, never reset.
    double referenceDb = 0.0;

    // Resizes all eight arrays to count/2 slots and zero-fills them (count <= 0
    // empties them). The reference is kept.
    void reset(int count);

    // Stores one point in bin peakBin of the channel (0 .. 3): frequency and
    // level, then the reference (when the frequency is 10 MHz, channel 0 to
    // the nearest hertz, channels 1 to 3 rounded up) and the shift. Returns
    // false and stores nothing for a channel or bin outside the store.
    //   lineFrequencyHz: F[N/2 + P]; levelDbfs: L[P].
    bool update(int channel, int peakBin, double lineFrequencyHz, double levelDbfs);

    // The channel's non-empty slots in bin order (a NaN frequency counts as
    // non-empty): x in Hz, y in dB. Both vectors are replaced. Costs in
    // proportion to the bins update() has written since the last reset(), not
    // to the slots (a sweep sets a few of 500 000 each frame): the slots are
    // meant to be written through update() only.
    void collect(int channel, std::vector<double>& x, std::vector<double>& y) const;

private:
    // Per channel, the bins update() wrote since reset(), ascending, each
    // once. A bin written with frequency 0 stays listed; collect() tests the
    // slot itself, so such a slot is skipped as an empty one.
    std::array<std::vector<int>, 4> writtenBins_;
};

// Whether a stored frequency counts as the 10 MHz reference point for a
// channel: trunc(f + 0.5) == 1e7 for channel 0, ceil(f) == 1e7 for 1 to 3.
bool isReferenceFrequency(int channel, double frequencyHz);

}  // namespace h452
