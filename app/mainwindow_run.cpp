// Run control and the single acquisition.
//
// applyRunState starts or stops the acquisition thread (and, in continuous
// transfer, the recorder) according to `running`. It never holds dataMutex:
// stopping waits for the frame in hand, which holds the thread's mutex and
// dataMutex, so waiting with dataMutex held would deadlock.
//
// The single acquisition runs on the GUI thread under dataMutex: it acquires
// one record into arrays of its own from the same record sources as the
// acquisition thread (RecordSource.h: board, replay file or simulation), runs
// the same frame processing as a live frame, and applies the result at once.
// The update goes through the mailbox first so that a live frame still
// waiting there (from just before the stop) is merged under it, never applied
// after it.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "BlockRing.h"
#include "BlockSize.h"
#include "BoardSettings.h"
#include "ChartToLabelConverter.h"
#include "DeviceState.h"
#include "RecordSource.h"
#include "RunControl.h"
#include "WorkThread.h"
#include "Writer.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QTimer>
#include <QCoreApplication>
#include <QDebug>
#include <QLineEdit>
#include <QThread>

#include <exception>
#include <mutex>
#include <new>
#include <vector>

namespace {

void logInvalidAddress()
{
    qDebug().noquote() << QStringLiteral("DDR4地址无效");
}

} // namespace

h452::AcquisitionParameters MainWindow::readAcquisitionControls(int n)
{
    const h452::AcquisitionParameters p = h452::readAcquisitionParameters(
        n, ui->editDDR4Value->text(), ui->comBoxTrigger->currentIndex(), ui->editLevel->text(),
        ui->comBoxSlope->currentIndex(), ui->editHysteresis->text());
    if (!p.ddr4AddressValid)
        logInvalidAddress();
    return p;
}

int MainWindow::applyRunState()
{
    if (!running) {
        stopAcquisitionAndRecording();
        return 0;
    }

    ui->labTimePlot->clearBounds();
    // The previous recording may still be draining the ring into its file:
    // the new run starts only after it, and the recorder starts before the
    // stream so that the ring it empties on start holds nothing of the new run.
    const bool recording = ui->comBoxTrigger->currentIndex() == acquisition::kModeContinuous && writer;
    if (writer && writer->isRunning() && !workThread->isRunning()) {
        writer->requestStop();  // already asked by Stop; a recorder without a stream ends too
        writer->wait();
    }
    if (recording && !writer->isRunning()) {
        if (!workThread->isRunning()) {
            resizeStreamRing();
            writer->discardLeftovers();
        }
        writer->setMetadata(acquisition::streamRecordingMetadata(
            sampleRateHz, QStringLiteral("H452 ") + QCoreApplication::applicationVersion(),
            deviceHandle != 0 ? QStringLiteral("H452 4-channel digitizer") : QStringLiteral("none (ramp pattern)")));
        writer->startRecording(QThread::TimeCriticalPriority);
        startRecordingFeedback();
    }
    if (!workThread->isRunning()) {
        const h452::AcquisitionParameters p = readAcquisitionControls(recordLength);
        workThread->setParameters(p.recordLength, p.ddr4Address, p.triggerMode, p.triggerLevel,
                                  p.triggerSlope, p.triggerOffset);
        workThread->allocateChannelBuffers();
        workThread->start(QThread::TimeCriticalPriority);
        qDebug().noquote() << QStringLiteral("主线程ID：") << QThread::currentThreadId();
    }
    return 0;
}

void MainWindow::onbtnSingleClicked()
{
    fitAxesPending = true;
    if (running) {
        running = false;
        setRunState(false);
        applyRunState();
        fitAxesPending = true;
    }
    ui->labTimePlot->clearBounds();
    bool valid = true;
    const int address = h452::parseDdr4Address(ui->editDDR4Value->text(), &valid);
    if (!valid)
        logInvalidAddress();
    singleAcquisition(recordLength, address);
}

int MainWindow::singleAcquisition(int n, int ddr4Address)
{
    {
        DataLock lock;
        frameInProgress = h452::FrameUpdate{};
        h452::FrameSettings settings = frameSettings();
        settings.recordLength = n;
        bool anyEnabled = false;
        for (bool e : channelEnabled)
            anyEnabled = anyEnabled || e;

        if (!anyEnabled || n <= 0) {
            // Nothing to acquire: only a pending axis fit runs.
            if (fitAxesPending.exchange(false))
                fitAxes();
        } else {
            // The record lives only for this call.
            std::vector<double> record[4];
            if (acquireSingleRecord(n, ddr4Address, record)) {
                const double* const channels[4] = {record[0].data(), record[1].data(),
                                                   record[2].data(), record[3].data()};
                try {
                    frameProcessor.process(analysis, channels, settings, fitAxesPending,
                                           frameInProgress);
                } catch (const std::exception& e) {
                    qDebug() << "single acquisition dropped:" << e.what();
                    frameInProgress = h452::FrameUpdate{};
                }
            }
        }
        frameMailbox.post(std::move(frameInProgress));
        frameInProgress = h452::FrameUpdate{};
    }
    applyPendingFrame();
    return 0;
}

QString MainWindow::singleReplayPath() const
{
    return localFilePath.isEmpty() ? workThread->localFilePath() : localFilePath;
}

bool MainWindow::acquireSingleRecord(int n, int ddr4Address, std::vector<double> (&record)[4])
{
    try {
        for (std::vector<double>& channel : record)
            channel.assign(std::size_t(n), 0.0);
    } catch (const std::bad_alloc&) {
        qDebug() << "single acquisition: no memory for" << n << "samples";
        return false;
    }
    double* const channels[4] = {record[0].data(), record[1].data(), record[2].data(),
                                 record[3].data()};
    h452::AcquisitionParameters p = h452::readAcquisitionParameters(
        n, QString(), ui->comBoxTrigger->currentIndex(), ui->editLevel->text(),
        ui->comBoxSlope->currentIndex(), ui->editHysteresis->text());
    p.ddr4Address = ddr4Address;

    switch (p.triggerMode) {
    case acquisition::kModeContinuous:
        // Continuous transfer streams to disk; there is no record to show.
        return false;
    case acquisition::kModeLocalFile:
        return singleReplay.next(channels, n);
    default:
        return acquisition::makeTriggeredSource(p, acquisition::Simulation::SingleShot)
            ->next(channels, n);
    }
}

// The settings' default ring is the one the window starts with.
static_assert(blocksize::kDefaultRingBytes == qint64(BlockRing::kDefaultMemoryBytes)
              && blocksize::kDefaultBytes == qint64(BlockRing::kDefaultSlotBytes));

void MainWindow::resizeStreamRing()
{
    const std::size_t slotCount = BlockRing::slotCountFor(std::size_t(streamBlockBytes), std::size_t(streamRingBytes));
    if (blockRing && qint64(blockRing->blockBytes()) == streamBlockBytes && blockRing->slotCount() == slotCount)
        return;
    // Neither the stream nor the recorder runs: a ring and a recorder of the
    // chosen block size and memory replace the old ones.
    BlockRing* ring = nullptr;
    try {
        ring = new BlockRing(slotCount, std::size_t(streamBlockBytes));
    } catch (const std::bad_alloc&) {
        qDebug() << "recording: no memory for" << slotCount << "blocks of" << streamBlockBytes << "bytes; keeping"
                 << blockRing->slotCount() << "of" << blockRing->blockBytes();
        streamBlockBytes = qint64(blockRing->blockBytes());
        streamRingBytes = qint64(blockRing->slotCount() * blockRing->blockBytes());
        return;
    }
    delete writer;
    delete blockRing;
    blockRing = ring;
    writer = new Writer(blockRing, QStringLiteral("samples.bin"), int(streamBlockBytes));
    workThread->setBlockRing(blockRing);
    workThread->setStreamBlockBytes(streamBlockBytes);
    qDebug() << "recording: blocks of" << streamBlockBytes << "bytes," << blockRing->slotCount() << "ring slots";
}

void MainWindow::startRecordingFeedback()
{
    if (!labRecording) {
        labRecording = new QLabel(ui->labWorkState->parentWidget());
        labRecording->setObjectName(QStringLiteral("labRecording"));
        if (QLayout* layout = ui->labWorkState->parentWidget()->layout()) {
            const int at = layout->indexOf(ui->labWorkState);
            if (auto* box = qobject_cast<QBoxLayout*>(layout))
                box->insertWidget(at + 1, labRecording);
            else
                layout->addWidget(labRecording);
        }
        recordingTimer = new QTimer(this);
        recordingTimer->setInterval(500);
        connect(recordingTimer, &QTimer::timeout, this, &MainWindow::updateRecordingFeedback);
    }
    recordingBlocksAtStart = writer->blocksWritten();
    recordingDropsAtStart = blockRing->droppedBlocks();
    recordingStartMs = QDateTime::currentMSecsSinceEpoch();
    updateRecordingFeedback();
    labRecording->show();
    recordingTimer->start();
}

void MainWindow::updateRecordingFeedback()
{
    if (!writer || !writer->isRunning() || !running) {
        recordingTimer->stop();
        labRecording->hide();
        return;
    }
    const double seconds = double(QDateTime::currentMSecsSinceEpoch() - recordingStartMs) / 1000.0;
    const double bytes = double(writer->blocksWritten() - recordingBlocksAtStart) * double(blockRing->blockBytes());
    const double mbPerS = seconds > 0 ? bytes / 1e6 / seconds : 0.0;
    labRecording->setText(QStringLiteral("%1 s  %2 MB  %3 MB/s  %4")
                              .arg(seconds, 0, 'f', 1)
                              .arg(bytes / 1e6, 0, 'f', 1)
                              .arg(mbPerS, 0, 'f', 1)
                              .arg(tr("丢弃 %1 块").arg(blockRing->droppedBlocks() - recordingDropsAtStart)));
}
