// The two slots that carry settings to the board as soon as they change: the
// trigger source (replay-file choice, arming and disarming the board's
// continuous transfer) and the sample rate chosen in the settings dialog
// (rate registers, the rate label and the rate frame processing uses).
//
// Both hold dataMutex around their register writes and state changes, so
// they never land in the middle of a frame; the writes themselves run as one
// sequence under the device lock (acquisition/BoardSettings.h), so they never
// land inside the acquisition thread's fetch or streamed block either.
// Register results are not looked at: a failed write leaves the board as it
// was, and the next change retries.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "BoardSettings.h"
#include "DeviceState.h"
#include "RecordingMeta.h"
#include "SampleRate.h"
#include "WorkThread.h"

#include <QDebug>
#include <QFileDialog>
#include <QLabel>

void MainWindow::oncomBoxTriggerIndexChanged(int index)
{
    singleReplay.setOffset(0);
    if (index == acquisition::kModeLocalFile) {
        QString path = QFileDialog::getOpenFileName(this, tr("本地文件"), QString(),
                                                    tr("Binary Files (*.bin)"));
        if (path.isEmpty())
            path = QStringLiteral("samples.bin");
        localFilePath = path;
        qDebug().noquote() << QStringLiteral("用户选中了：") << path;
        workThread->setLocalFilePath(path);
    }
    applyReplayRate(index, localFilePath);
    if (deviceHandle == 0)
        return;
    DataLock lock;
    acquisition::applyTriggerSource(deviceHandle, index, continuousArmed);
}

void MainWindow::onSampleRateChange(QString sampleRate, int sampleRatParam, int dataParam, int CICParam)
{
    DataLock lock;
    acquisition::applySampleRateRegisters(deviceHandle, sampleRatParam, dataParam, CICParam);
    // A replayed file's own rate stays on show; this one returns with the
    // next source.
    configuredRateText = sampleRate;
    if (replayRateHz <= 0)
        ui->labRateValue->setText(sampleRate);
    // The same reading of a rate text as the settings dialog's.
    TypedSampleRate typed;
    if (parseSampleRateText(sampleRate, &typed) && typed.rateHz > 0.0)
        sampleRateHz = typed.rateHz;
    else
        qDebug().noquote() << "sample rate text without a rate:" << sampleRate << "- keeping"
                           << sampleRateHz << "S/s";
}

void MainWindow::applyReplayRate(int triggerIndex, const QString& path)
{
    double fileRateHz = 0;
    if (triggerIndex == acquisition::kModeLocalFile) {
        const recordingmeta::ReadBack meta = recordingmeta::readFor(path);
        if (meta.ok)
            fileRateHz = meta.sampleRateHz;
        else if (meta.present)
            qDebug().noquote() << "metadata ignored:" << meta.reason << path;
    }
    DataLock lock;
    if (fileRateHz > 0) {
        if (replayRateHz <= 0)
            configuredRateText = ui->labRateValue->text();
        replayRateHz = fileRateHz;
        ui->labRateValue->setText(tr("%1 MS/s (文件)").arg(fileRateHz / 1e6, 0, 'g', 8));
    } else if (replayRateHz > 0) {
        replayRateHz = 0;
        ui->labRateValue->setText(configuredRateText);
    }
}
