// The controls of the right-hand column: the run-state look, the auto and
// default set-ups behind tbtnAuto, the four channel switches, the record
// length, the time-span list with its zoom buttons, and the constellation
// type.
//
// The channel switches, the record length and the constellation type change
// chart data or analysis state and take dataMutex; the run-state look, the
// zoom and the time span touch only widgets and the time chart's x axis. Nothing here
// waits for the acquisition thread while holding dataMutex (run control,
// mainwindow_run.cpp, takes no lock).
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "ChannelPalette.h"
#include "ChartToLabelConverter.h"
#include "DeviceState.h"
#include "InteractiveChartView.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QToolButton>
#include <QValueAxis>

#include <cmath>
#include <vector>

namespace {

QString runButtonStyle(const char* rgb)
{
    return QStringLiteral(
               "QPushButton{background-color: rgb(226, 228, 230); color: rgb(%1); "
               "border: 1px solid rgb(%1); padding: 5px;}"
               "QPushButton:hover{background-color: rgb(255, 255, 255); border: 1px solid rgb(%1);}"
               "QPushButton:pressed{background-color: rgb(%1); color: rgb(255, 255, 255); "
               "border: 1px solid rgb(%1);}")
        .arg(QLatin1String(rgb));
}

const char* const kRunningRgb = "32, 178, 91";
const char* const kStoppedRgb = "196, 33, 38";

const char* const kChannelOffStyle = "background-color: rgb(247, 247, 247);";

// The record-length edit takes at most six digits; a longer text can only
// arrive programmatically or by paste around the validator.
constexpr int kMaxRecordLength = 999999;
constexpr int kMinRecordLength = 100;
constexpr int kTimeSpanStep = 20;
constexpr int kTimeSpanLastIndex = 120;

} // namespace

void MainWindow::setRunState(bool isRunning)
{
    const char* rgb = isRunning ? kRunningRgb : kStoppedRgb;
    ui->btnRun->setStyleSheet(runButtonStyle(rgb));
    ui->labWorkState->setText(isRunning ? tr("触发 ┙﹉┕") : tr("停止 ■"));
    ui->labWorkState->setStyleSheet(QStringLiteral("color: rgb(%1);").arg(QLatin1String(rgb)));
    // Acquisition parameters take effect only at a start: lock them while
    // running so the controls never show values that are not in use.
    for (QWidget* w : std::initializer_list<QWidget*>{ui->editXPosValue, ui->editDDR4Value,
                                                     ui->comBoxTrigger, ui->editLevel,
                                                     ui->comBoxSlope, ui->editHysteresis})
        w->setEnabled(!isRunning);
}

void MainWindow::onbtnRunClicked()
{
    running = !running;
    setRunState(running);
    applyRunState();
    fitAxesPending = true;
}

void MainWindow::applyAutoSetup()
{
    ui->checkBoxChn0->setChecked(true);
    ui->checkBoxChn1->setChecked(true);
    ui->checkBoxChn2->setChecked(true);
    ui->checkBoxChn3->setChecked(true);
    expandTimePanelAndRun();
}

void MainWindow::applyDefaultSetup()
{
    ui->checkBoxChn0->setChecked(true);
    ui->checkBoxChn1->setChecked(false);
    ui->checkBoxChn2->setChecked(false);
    ui->checkBoxChn3->setChecked(false);
    expandTimePanelAndRun();
}

void MainWindow::expandTimePanelAndRun()
{
    // The Time panel is expanded whenever its view is collapsed. Asking the
    // view itself (not whether it is on screen) keeps a set-up that runs
    // before the window is shown from collapsing an expanded panel.
    if (InteractiveChartView* timeView = panel(h452::Panel::Time).view; timeView && timeView->isHidden())
        onbtnTimeShowClicked();
    if (!running) {
        running = true;
        setRunState(true);
        applyRunState();
        fitAxesPending = true;
    }
}

void MainWindow::ontbtnAutoClicked()
{
    const QString text = ui->tbtnAuto->text();
    if (text == tr("自动"))
        applyAutoSetup();
    else if (text == tr("默认"))
        applyDefaultSetup();
    fitAxesPending = true;
}

void MainWindow::ontbtnAutoTriggered(QAction* action)
{
    if (!action)
        return;
    if (action == autoSetupAction) {
        ui->tbtnAuto->setText(tr("自动"));
        applyAutoSetup();
    } else if (action == defaultSetupAction) {
        ui->tbtnAuto->setText(tr("默认"));
        applyDefaultSetup();
    }
}

void MainWindow::switchChannel(int channel, int state)
{
    if (channel < 0 || channel >= 4)
        return;
    const bool on = state == Qt::Checked;
    const QString style = on ? h452::channelSwatchStyle(channel) : QLatin1String(kChannelOffStyle);
    {
        DataLock lock;
        if (!on) {
            for (QtCharts::QXYSeries* s : channelSeries(channel))
                if (s)
                    s->clear();
            // What waits for the channel, and what frame processing keeps
            // about its series, goes with them, so no stale points return.
            frameMailbox.discardChannel(channel);
            frameProcessor.forgetChannel(channel);
            analysis.clearEyeSeries(channel);
            eyeHits[std::size_t(channel)].clear();
            showEyeImage();
        }
        channelEnabled[channel] = on;
    }
    QLabel* const colour[4] = {ui->labChn0Color, ui->labChn1Color, ui->labChn2Color, ui->labChn3Color};
    QLabel* const number[4] = {ui->labChn0Num, ui->labChn1Num, ui->labChn2Num, ui->labChn3Num};
    colour[channel]->setStyleSheet(style);
    number[channel]->setStyleSheet(style);
    if (!on)
        ui->labTimePlot->update();   // the strip's trace goes at once, too
    fitAxesPending = true;
}

void MainWindow::oncheckBoxChn0StateChanged(int state) { switchChannel(0, state); }
void MainWindow::oncheckBoxChn1StateChanged(int state) { switchChannel(1, state); }
void MainWindow::oncheckBoxChn2StateChanged(int state) { switchChannel(2, state); }
void MainWindow::oncheckBoxChn3StateChanged(int state) { switchChannel(3, state); }

void MainWindow::oneditXPosValueTextChanged(QString text)
{
    bool ok = false;
    int n = text.toInt(&ok, 10);
    if (!ok)
        n = 0;
    if (n < kMinRecordLength && !text.isEmpty()) {
        // Runs this slot again at once with "100"; this call then goes on
        // with the same value.
        ui->editXPosValue->setText(QString::number(kMinRecordLength));
        n = kMinRecordLength;
    } else if (n > kMaxRecordLength) {
        ui->editXPosValue->setText(QString::number(kMaxRecordLength));
        n = kMaxRecordLength;
    }

    DataLock lock;
    recordLength = n;
    analysis.resetFrequencyResponse(n);
    panel(h452::Panel::Time).axisX->setRange(0, n);
    zoomTimeAxis(1.0);
    ui->labTimePlot->clearBounds();
}

void MainWindow::oncomBoxTimeSpanIndexChanged(int index)
{
    if (index < 1 || index > kTimeSpanLastIndex)
        return;
    QtCharts::QValueAxis* axisX = panel(h452::Panel::Time).axisX;
    const double lo = axisX->min();
    axisX->setRange(lo, lo + double(kTimeSpanStep) * index);
}

void MainWindow::zoomTimeAxis(double factor)
{
    QtCharts::QValueAxis* axisX = panel(h452::Panel::Time).axisX;
    const double lo = axisX->min();
    const double hi = axisX->max();
    const double newMax = (hi - lo) * factor + lo;
    axisX->setRange(lo, newMax);
    syncTimeSpanCombo(newMax);
}

void MainWindow::syncTimeSpanCombo(double axisEnd)
{
    // The list shows the end of the axis in steps of 20 samples; "X" when it
    // is off that grid's range. Our own index change must not run the
    // time-span slot, so the text connection is lifted around it.
    disconnect(ui->comBoxTimeSpan, SIGNAL(currentIndexChanged(int)), this,
               SLOT(oncomBoxTimeSpanIndexChanged(int)));
    const double v = axisEnd / kTimeSpanStep + 0.5;
    const int index = (std::isnan(v) || v < 1.0 || v > kTimeSpanLastIndex) ? 0 : int(v);
    ui->comBoxTimeSpan->setCurrentIndex(index);
    connect(ui->comBoxTimeSpan, SIGNAL(currentIndexChanged(int)), this,
            SLOT(oncomBoxTimeSpanIndexChanged(int)));
}

void MainWindow::onbtnUpClicked() { zoomTimeAxis(0.9); }

void MainWindow::onbtnDownClicked() { zoomTimeAxis(1.1); }

void MainWindow::onZoomAxis() { syncTimeSpanCombo(panel(h452::Panel::Time).axisX->max()); }

void MainWindow::oncomBoxConstellationTypeIndexChanged(int index)
{
    DataLock lock;
    analysis.setConstellationType(index);
    std::vector<double> x, y;
    if (index >= 0 && index < h452::kConstellationTypeCount)
        h452::constellationReference(index, x, y);
    QVector<QPointF> outline;
    outline.reserve(int(x.size()));
    for (std::size_t i = 0; i < x.size() && i < y.size(); ++i)
        outline.append(QPointF(x[i], y[i]));
    if (constellationReference)
        constellationReference->replace(outline);
}
