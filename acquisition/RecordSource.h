// RecordSource: where a record of four channels comes from. The acquisition
// thread and the single acquisition ask the same three kinds of source for
// their records, so a board fetch, a replayed sample file or a simulated
// frame is produced by one piece of code whoever asks:
//   BoardSource      one KelPcieFetchData under the device lock (DeviceLock.h)
//   ReplaySource     the next record of a sample file (SampleFile.h)
//   SimulatedSource  the generator used while no board is open; the running
//                    loop and the single acquisition draw different frames
//                    (Simulation below), each kept bit for bit.
// Continuous transfer produces blocks, not records: see BlockStream.h.
//
// A source is used by one thread at a time; it holds no lock between calls.
#pragma once

#include "RunControl.h"
#include "SampleFile.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

class QRandomGenerator;

namespace acquisition {

constexpr int kModeFreeTrigger = 0;
constexpr int kModeEdgeTrigger = 1;
constexpr int kModeContinuous = 2;
constexpr int kModeExternalTrigger = 3;
constexpr int kModeLocalFile = 4;

class RecordSource {
public:
    virtual ~RecordSource() = default;
    // Fills four caller-owned arrays of n doubles (channels 0..3) with the
    // next record. false: no record this time; the arrays may have been
    // written and are not to be shown.
    virtual bool next(double* const channels[4], int n) = 0;
    // The pause the acquisition loop takes after each pass with this source,
    // in milliseconds: a board is asked again sooner than a file or the
    // simulation, which would otherwise flood the views.
    virtual unsigned long pauseMs() const = 0;
};

// A record fetched from the open board with the given trigger parameters.
// A fetch may end "cancelled" (KelPcieCancelFetch): by Stop or a register
// change while it waited, or by a cancel left pending from such a moment.
// The acquisition loop takes that as "no record" and looks at its stop
// request; a source made with retryCancelled (the single acquisition, which
// nothing cancels on purpose) fetches once more, so a leftover cancel never
// costs the user a record.
class BoardSource final : public RecordSource {
public:
    explicit BoardSource(const h452::AcquisitionParameters& parameters, bool retryCancelled = false);
    bool next(double* const channels[4], int n) override;
    unsigned long pauseMs() const override { return 10; }
    // The status of the last fetch (0: a record; otherwise the library's code).
    int lastStatus() const { return lastStatus_; }

private:
    h452::AcquisitionParameters parameters_;
    bool retryCancelled_;
    int lastStatus_ = 0;
};

// Records of a sample file, read in turn. The path is asked for at every
// record, so the file may change between records; a file that shrank below
// the current position is read from its start at once. A file that cannot
// be opened logs "open failed" and its path and keeps the position (a file
// that comes back resumes where it was); an empty file is refused (no
// frames) and logged once per source, that is once per run; any other
// failure logs "replay failed:" and starts over at byte 0.
class ReplaySource final : public RecordSource {
public:
    explicit ReplaySource(std::function<QString()> path);
    bool next(double* const channels[4], int n) override;
    unsigned long pauseMs() const override { return 30; }
    // Byte offset of the next record; 0 is the file's start.
    qint64 offset() const { return offset_; }
    void setOffset(qint64 offsetBytes) { offset_ = offsetBytes; }

private:
    std::function<QString()> path_;
    samplefile::RecordReader reader_;  // keeps its staging area between records
    qint64 offset_ = 0;
    bool emptyReported_ = false;
};

// The two simulated signals used while no board is open.
enum class Simulation {
    // The acquisition loop's frame (fillSimulatedFrame).
    Running,
    // The single acquisition's record (fillSingleShotSimulation).
    SingleShot,
};

class SimulatedSource final : public RecordSource {
public:
    // noise: the generator of the noise (null: the process-wide one); not owned.
    explicit SimulatedSource(Simulation kind, QRandomGenerator* noise = nullptr);
    bool next(double* const channels[4], int n) override;
    unsigned long pauseMs() const override { return 30; }

private:
    Simulation kind_;
    QRandomGenerator* noise_;
};

// The source of a triggered mode (free, edge, external): the board when one
// is open (deviceHandle != 0), else the simulation of the given kind. The
// single acquisition's board source retries a cancelled fetch once.
std::unique_ptr<RecordSource> makeTriggeredSource(const h452::AcquisitionParameters& parameters,
                                                  Simulation kind, QRandomGenerator* noise = nullptr);

// The acquisition loop's simulated frame: channel 0 a noiseless cosine of 200
// codes and period 10 samples; channel 1 a sine of 300 codes and period 50;
// channels 2 and 3 square waves of +-350 and +-230 codes, period 100;
// channels 1 to 3 carry a uniform integer noise 0..29. Fill and draw order:
// all of channel 0, all of channel 2, then per sample channel 1 and channel 3.
// Each noise value is (x * 30) >> 32 of 32 bits x from `noise`.
// `channels`: four caller-owned arrays of n doubles.
void fillSimulatedFrame(double* const channels[4], int n, QRandomGenerator& noise);

// The single acquisition's simulated record, n samples per channel, noise as
// above. First pass, per sample: channel 0 = noise + 400 sin(i * 0.01 *
// 12.5663704) (period 50 samples), channel 2 = noise +-350 (square, period
// 100); second pass: channel 1 = noise + 300 sin(...), channel 3 = noise
// +-230. Unlike the running frame, channel 0 is a noisy sine. `channels`:
// four caller-owned arrays of n doubles; n <= 0 writes nothing.
void fillSingleShotSimulation(double* const channels[4], int n, QRandomGenerator& noise);

} // namespace acquisition
