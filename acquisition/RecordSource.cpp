// The record sources (see RecordSource.h).
#include "RecordSource.h"

#include "DeviceLock.h"
#include "DeviceState.h"
#include "KelPcieApi.h"

#include <QDebug>
#include <QRandomGenerator64>

#include <cmath>
#include <mutex>

namespace acquisition {

namespace {

// Uniform 0..29 from 32 random bits, by multiply and shift.
int noiseCode(QRandomGenerator& noise)
{
    return int((quint64(noise.generate()) * 30) >> 32);
}

} // namespace

void fillSimulatedFrame(double* const channels[4], int n, QRandomGenerator& noise)
{
    double* ch0 = channels[0];
    double* ch1 = channels[1];
    double* ch2 = channels[2];
    double* ch3 = channels[3];
    for (int i = 0; i < n; ++i)
        ch0[i] = 200 * std::cos(i / 1e6 * 628312.52);
    for (int i = 0; i < n; ++i)
        ch2[i] = (i % 100 < 50 ? 350 : -350) + noiseCode(noise);
    for (int i = 0; i < n; ++i) {
        ch1[i] = 300 * std::sin(i * 0.01 * 12.5663704) + noiseCode(noise);
        ch3[i] = (i % 100 < 50 ? 230 : -230) + noiseCode(noise);
    }
}

void fillSingleShotSimulation(double* const channels[4], int n, QRandomGenerator& noise)
{
    if (n <= 0)
        return;
    for (int i = 0; i < n; ++i) {
        const double phase = i * 0.01 * 12.5663704;
        const bool high = i % 100 < 50;
        channels[0][i] = noiseCode(noise) + 400.0 * std::sin(phase);
        channels[2][i] = noiseCode(noise) + (high ? 350.0 : -350.0);
    }
    for (int i = 0; i < n; ++i) {
        const double phase = i * 0.01 * 12.5663704;
        const bool high = i % 100 < 50;
        channels[1][i] = noiseCode(noise) + 300.0 * std::sin(phase);
        channels[3][i] = noiseCode(noise) + (high ? 230.0 : -230.0);
    }
}

BoardSource::BoardSource(const h452::AcquisitionParameters& parameters, bool retryCancelled)
    : parameters_(parameters), retryCancelled_(retryCancelled)
{
}

bool BoardSource::next(double* const channels[4], int n)
{
    // The whole fetch is one register sequence; the device lock is a leaf
    // and is let go before the caller emits or processes the record.
    std::lock_guard<std::mutex> device(deviceMutex());
    const h452::AcquisitionParameters& p = parameters_;
    // Marked while it runs, so that a register change cancels it rather than
    // waiting for a trigger that may never come (lockDeviceForChange).
    const bool triggered = p.triggerMode == kModeEdgeTrigger || p.triggerMode == kModeExternalTrigger;
    struct Mark {
        bool on;
        explicit Mark(bool m) : on(m) { if (on) triggeredFetchRunning().store(true); }
        ~Mark() { if (on) triggeredFetchRunning().store(false); }
    } mark(triggered);
    for (int attempt = 0; attempt < (retryCancelled_ ? 2 : 1); ++attempt) {
        lastStatus_ = KelPcieFetchData(deviceHandle, channels[0], channels[1], channels[2], channels[3], n,
                                       p.ddr4Address, p.triggerMode, p.triggerOffset, p.triggerLevel,
                                       p.triggerSlope);
        if (lastStatus_ != KELPCIE_ERR_CANCELLED)
            break;
    }
    return lastStatus_ == 0;
}

ReplaySource::ReplaySource(std::function<QString()> path) : path_(std::move(path)) {}

bool ReplaySource::next(double* const channels[4], int n)
{
    const QString path = path_();
    samplefile::ReadResult r = reader_.read(path, offset_, n, channels);
    if (r.status == samplefile::Status::OffsetPastEnd) {
        // The file shrank since the last record: start over at its beginning.
        offset_ = 0;
        r = reader_.read(path, offset_, n, channels);
    }
    switch (r.status) {
    case samplefile::Status::Ok:
        offset_ = r.nextOffsetBytes;
        return true;
    case samplefile::Status::OpenFailed:
        qDebug().noquote() << "open failed" << path;
        return false;
    case samplefile::Status::EmptyFile:
        // Nothing to replay and nothing will change by asking every pass:
        // say so once per run (a file that later gets data replays at once).
        if (!emptyReported_)
            qDebug().noquote() << "replay failed:" << samplefile::statusText(r.status) << path;
        emptyReported_ = true;
        offset_ = 0;
        return false;
    default:
        qDebug().noquote() << "replay failed:" << samplefile::statusText(r.status) << path;
        offset_ = 0;
        return false;
    }
}

SimulatedSource::SimulatedSource(Simulation kind, QRandomGenerator* noise) : kind_(kind), noise_(noise) {}

bool SimulatedSource::next(double* const channels[4], int n)
{
    QRandomGenerator& noise = noise_ ? *noise_ : *QRandomGenerator64::global();
    if (kind_ == Simulation::Running)
        fillSimulatedFrame(channels, n, noise);
    else
        fillSingleShotSimulation(channels, n, noise);
    return true;
}

std::unique_ptr<RecordSource> makeTriggeredSource(const h452::AcquisitionParameters& parameters,
                                                  Simulation kind, QRandomGenerator* noise)
{
    if (deviceHandle != 0)
        return std::make_unique<BoardSource>(parameters, kind == Simulation::SingleShot);
    return std::make_unique<SimulatedSource>(kind, noise);
}

} // namespace acquisition
