// h452-record: records the board's continuous transfer without a window,
// through the same pieces the window uses: the acquisition thread's block
// stream, the block ring, the recorder (files, roll-over, SigMF metadata) and
// the board-settings sequences; the rate text is read by the settings' own
// parser. Progress goes to stderr twice a second (one rewritten line on a
// terminal, plain lines otherwise); SIGINT or SIGTERM ends the recording
// cleanly, the ring drained and the metadata complete.
//
// Blocks are 8 KiB unless --block-size says otherwise; the ring between the
// stream and the recorder holds 8 MiB of them (--ring-memory), at least 4.
// A board that stops answering mid-recording (a driver error on the write
// pointer) ends the recording: the ring is drained into the file, the
// metadata closed, one line says so and the exit status is 1.
//
// Exit status: 0 recorded without a dropped block, 3 blocks were dropped,
// 2 bad arguments, 1 no board or a board or file error.
#include "BlockRing.h"
#include "BlockSize.h"
#include "BoardSettings.h"
#include "DeviceState.h"
#include "KelPcieApi.h"
#include "RecordOptions.h"
#include "RecordSource.h"
#include "SampleRate.h"
#include "WorkThread.h"
#include "Writer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>

#include <atomic>
#include <cmath>
#include <csignal>
#include <memory>
#include <new>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

std::atomic<bool> stopSignal{false};

extern "C" void onSignal(int)
{
    stopSignal.store(true);
}

int fail(const std::string& message, int status)
{
    std::fprintf(stderr, "h452-record: %s\n", message.c_str());
    return status;
}

std::string text(const QString& s)
{
    return s.toLocal8Bit().toStdString();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("h452-record"));
    h452::RecordOptions opt;
    const std::string error = h452::parseRecordOptions(argc, argv, opt);
    if (!error.empty())
        return fail(error + " (see --help)", 2);
    if (opt.help) {
        std::fputs(h452::recordUsage(), stdout);
        return 0;
    }
    SampleRateChoice rate;
    if (!opt.rate.isEmpty()) {
        TypedSampleRate typed;
        if (!parseSampleRateText(opt.rate, &typed) || !snapSampleRate(typed.rateHz, &rate))
            return fail("--sample-rate: not a rate the board can produce: '" + text(opt.rate) + "' (see --help)", 2);
    }

    // The folder must take a file before the board is touched.
    const QFileInfo folder(opt.output);
    QTemporaryFile probe(QDir(opt.output).filePath(QStringLiteral(".h452-record-XXXXXX")));
    if (!folder.isDir() || !probe.open())
        return fail("cannot write to the output folder '" + text(opt.output) + "'", 1);
    probe.close();

    // The ring next, all its memory touched, before the board is armed: from
    // then on the board fills its own memory, and a ring of gigabytes takes a
    // second or more to set up, which the stream would have to catch up on
    // (or, past the board's memory, lose).
    const std::size_t slotCount = BlockRing::slotCountFor(std::size_t(opt.blockBytes), std::size_t(opt.ringBytes));
    std::unique_ptr<BlockRing> ringMemory;
    try {
        ringMemory = std::make_unique<BlockRing>(slotCount, std::size_t(opt.blockBytes));
    } catch (const std::bad_alloc&) {
        return fail("not enough memory for a ring of " + std::to_string(slotCount) + " blocks of "
                        + std::to_string(opt.blockBytes) + " bytes",
                    1);
    }
    BlockRing& ring = *ringMemory;

    SlomPXIDevInfo devices[KELPCIE_MAX_DEVICES];
    std::memset(devices, 0, sizeof devices);
    uint32_t count = 0;
    KelPcieFindDevs(devices, &count);
    if (count == 0)
        return fail("no H452 board found", 1);
    QByteArray resource = opt.resource.toLocal8Bit();
    if (resource.isEmpty())
        resource = QByteArray(devices[0].resource, int(strnlen(devices[0].resource, sizeof devices[0].resource)));
    int32_t connection = 0;
    const int32_t opened = KelPcieInit(resource.constData(), 0, 0, &connection);
    if (opened < 0 || connection == 0)
        return fail("cannot open the board " + resource.toStdString() + ": " + KelPcieStatusName(opened), 1);
    deviceHandle = quint32(connection);

    if (!opt.rate.isEmpty())
        acquisition::applySampleRateRegisters(deviceHandle, rate.mode, rate.decimationCode, rate.factor);
    bool armed = false;
    acquisition::applyTriggerSource(deviceHandle, acquisition::kModeContinuous, armed);

    Writer writer(&ring, QDir(opt.output).filePath(QStringLiteral("samples.bin")), int(opt.blockBytes));
    writer.setDiskWrites(opt.writes == h452::RecordOptions::Writes::Direct      ? Writer::DiskWrites::Direct
                         : opt.writes == h452::RecordOptions::Writes::CacheOnly ? Writer::DiskWrites::Cached
                                                                                 : Writer::DiskWrites::Behind);
    writer.setMetadata(acquisition::streamRecordingMetadata(
        opt.rate.isEmpty() ? 0.0 : rate.rateHz, QStringLiteral("h452-record 1.0.0"),
        QStringLiteral("H452 4-channel digitizer, ") + QString::fromLatin1(resource)));

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    WorkThread thread;
    thread.setBlockRing(&ring);
    thread.setStreamBlockBytes(opt.blockBytes);
    thread.setParameters(0, 0, acquisition::kModeContinuous, 0, 0, 0);
    thread.allocateChannelBuffers();
    writer.startRecording(QThread::TimeCriticalPriority);
    thread.start(QThread::TimeCriticalPriority);

    const bool terminal = isatty(STDERR_FILENO) != 0;
    const qint64 blockBytes = opt.blockBytes;
    QElapsedTimer clock;
    clock.start();
    auto progress = [&](bool last) {
        const double seconds = double(clock.elapsed()) / 1000.0;
        const qint64 bytes = writer.blocksWritten() * blockBytes;
        const double mbPerS = seconds > 0 ? double(bytes) / 1e6 / seconds : 0.0;
        std::fprintf(stderr, "%s%.1f s  %lld bytes  %.1f MB/s  %llu blocks dropped%s", terminal ? "\r" : "",
                     seconds, static_cast<long long>(bytes), mbPerS,
                     static_cast<unsigned long long>(ring.droppedBlocks()), terminal && !last ? "   " : "\n");
        std::fflush(stderr);
    };
    qint64 nextReportMs = 500;
    // The stream's thread ends by itself only when the board stopped answering.
    while (!stopSignal.load() && writer.isRunning() && thread.isRunning()) {
        if (opt.durationS > 0 && double(clock.elapsed()) >= opt.durationS * 1000.0)
            break;
        if (opt.sizeBytes > 0 && writer.blocksWritten() * blockBytes >= opt.sizeBytes)
            break;
        if (clock.elapsed() >= nextReportMs) {
            progress(false);
            nextReportMs += 500;
        }
        QThread::msleep(10);
    }
    // The stream first, then the recorder, which drains what the ring holds.
    thread.stopAndWait();
    writer.requestStop();
    writer.wait();
    progress(true);
    KelPcieClose();

    const Writer::Summary s = writer.lastSummary();
    const int boardError = thread.streamBoardError();
    if (boardError != 0)
        std::fprintf(stderr, "h452-record: the board stopped answering (%s); the recording ends after its last good block\n",
                     KelPcieStatusName(boardError));
    const double seconds = double(clock.elapsed()) / 1000.0;
    std::fprintf(stderr, "h452-record: %s: %lld blocks written, %llu dropped, %.1f MB/s mean, longest write %.1f ms%s\n",
                 text(s.files.join(QStringLiteral(", "))).c_str(), static_cast<long long>(s.blocksWritten),
                 static_cast<unsigned long long>(s.blocksDropped),
                 seconds > 0 ? double(s.blocksWritten * blockBytes) / 1e6 / seconds : 0.0, s.longestWriteMs,
                 s.failed ? " (failed: see the line above)" : "");
    if (s.failed || boardError != 0)
        return 1;
    return s.blocksDropped > 0 ? 3 : 0;
}
