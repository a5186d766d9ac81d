// From a frame to the screen: onDealData on the acquisition thread, the
// GUI-thread side of the hand-off, and the measurements table refresh.
//
// onDealData runs inside WorkThread::sigSendData (direct connection), under
// dataMutex. It never touches a chart object: the FrameProcessor
// (acquisition/FrameProcessor.h) runs the analyses and builds a FrameUpdate,
// which goes into the one-slot FrameMailbox. When the mailbox goes from empty
// to full it posts one payload-free queued call; applyPendingFrame() then
// takes the (possibly merged) update on the GUI thread, at the repaint pace,
// and applies it: replace() for the replaced series, the eye's changes to
// its hit counts (mainwindow_eye.cpp), setRange() for a fit. The chart x ranges that frame processing filters
// against come from axisRanges, a snapshot under its own lock that every
// range change of the three charts refreshes.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "ChartToLabelConverter.h"
#include "DeviceState.h"
#include "WorkThread.h"
#include "mainwindow_measurements.h"

#include <QDebug>
#include <QLineSeries>
#include <QMetaObject>
#include <QScatterSeries>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QTimer>
#include <QValueAxis>

#include <algorithm>
#include <iterator>
#include <cmath>
#include <exception>

using QtCharts::QValueAxis;
using QtCharts::QXYSeries;

namespace {

// A range of zero width (a flat trace, a single point) would make the axis
// map every value to the same pixel and divide by zero; widen it by one unit
// each way, so a flat trace shows as a centred line.
void setAxisRange(QValueAxis* axis, double lo, double hi)
{
    if (!axis || !std::isfinite(lo) || !std::isfinite(hi) || lo > hi)
        return;
    if (lo == hi) {
        lo -= 1.0;
        hi += 1.0;
    }
    axis->setRange(lo, hi);
}

} // namespace

h452::FrameSettings MainWindow::frameSettings() const
{
    h452::FrameSettings s;
    s.recordLength = recordLength;
    s.sampleRateHz = replayRateHz > 0 ? replayRateHz : sampleRateHz;
    std::copy(std::begin(channelEnabled), std::end(channelEnabled), s.channelEnabled);
    std::copy(std::begin(panelVisible), std::end(panelVisible), s.panelVisible);
    s.eyeChannel = eyeChannel.load();
    s.standardFigures = standardMeasurements ? standardMeasurements->store() : nullptr;
    s.averageMode = spectrumAverageMode;
    s.averageCount = spectrumAverageCount;
    s.averageResets = spectrumAverageResets;
    s.constellationFigures = constellationFiguresOn;
    s.eyeFigures = eyeFiguresOn;
    s.symbolRateHz = symbolRateHz;
    return s;
}

int MainWindow::onDealData(double* dDataCh0, double* dDataCh1, double* dDataCh2, double* dDataCh3)
{
    DataLock lock;
    h452::FrameSettings settings = frameSettings();
    // The arrays hold the thread's record length, fixed at its start; the
    // window's own value may already follow a newer edit.
    settings.recordLength = workThread ? workThread->recordLength() : recordLength;
    const double* const channels[4] = {dDataCh0, dDataCh1, dDataCh2, dDataCh3};
    frameInProgress = h452::FrameUpdate{};
    try {
        frameProcessor.process(analysis, channels, settings, fitAxesPending, frameInProgress);
    } catch (const std::exception& e) {
        // Out of memory for one frame's work arrays: this frame is lost, the
        // acquisition thread goes on (an exception leaving the emission
        // would end the process).
        qDebug() << "frame dropped:" << e.what();
        frameInProgress = h452::FrameUpdate{};
        return 0;
    }
    frameMailbox.post(std::move(frameInProgress));
    frameInProgress = h452::FrameUpdate{};
    return 0;
}

int MainWindow::updateChartSeries(int kind, const double* x, const double* y, int count, int channel)
{
    if (kind < 0 || kind > int(h452::SeriesKind::Constellation))
        return 0;
    frameProcessor.addSeries(frameInProgress, h452::SeriesKind(kind), x, y, count, channel,
                             frameSettings(), analysis.constellationType);
    return 0;
}

void MainWindow::fitAxes()
{
    frameProcessor.fit(frameSettings(), frameInProgress);
}

void MainWindow::connectAxisRangeSnapshot()
{
    const auto follow = [this](QValueAxis* axis, h452::FitChart chart) {
        if (!axis)
            return;
        axisRanges.set(chart, axis->min(), axis->max());
        connect(axis, &QValueAxis::rangeChanged, this,
                [this, chart](qreal lo, qreal hi) { axisRanges.set(chart, lo, hi); });
    };
    follow(panel(h452::Panel::Time).axisX, h452::FitChart::Time);
    follow(panel(h452::Panel::Frequency).axisX, h452::FitChart::Spectrum);
    follow(panel(h452::Panel::FrequencyRsp).axisX, h452::FitChart::FreqRsp);

    // The wake-up is a payload-free queued start of a zero-interval timer
    // that lives on this thread. The queued call's event is made on the
    // acquisition thread and consumed inside Qt, whose event queue
    // ThreadSanitizer cannot see; with a timer our own code never reads that
    // event (a queued lambda would read its captures from it), and the update
    // itself crosses in the mailbox under its std::mutex.
    frameWakeTimer = new QTimer(this);
    frameWakeTimer->setSingleShot(true);
    frameWakeTimer->setInterval(0);
    connect(frameWakeTimer, &QTimer::timeout, this, &MainWindow::onFrameWake);
    frameMailbox.setWakeUp([timer = frameWakeTimer]() {
        QMetaObject::invokeMethod(timer, "start", Qt::QueuedConnection);
    });
}

// Repaints are paced: an update arriving sooner than framePaceMs after the
// last one waits in the mailbox (where later frames merge into it) until the
// pace allows. Applying an update makes the views repaint; unpaced, a fast
// acquisition kept the GUI thread painting back to back, burning a core and
// leaving input waiting behind the paints. Only this thread's timer is
// involved: the mailbox and its wake-up are unchanged.
void MainWindow::onFrameWake()
{
    if (framePace.isValid()) {
        const qint64 wait = framePaceMs - framePace.elapsed();
        if (wait > 0) {
            frameWakeTimer->start(int(wait));
            return;
        }
    }
    applyPendingFrame();
}

void MainWindow::applyPendingFrame()
{
    // The next wake-up from the acquisition thread starts the timer afresh.
    frameWakeTimer->setInterval(0);
    h452::FrameUpdate update;
    if (frameMailbox.take(update)) {
        framePace.start();
        applyFrameUpdate(update);
    }
}

QXYSeries* MainWindow::seriesOf(h452::SeriesKind kind, int channel) const
{
    if (channel < 0 || channel >= 4)
        return nullptr;
    if (kind == h452::SeriesKind::Overview)
        return overviewSeries[channel];
    // The chart panel that draws each kind of series, in SeriesKind order.
    static const h452::Panel panelOf[] = {h452::Panel::Time, h452::Panel::Frequency,
                                          h452::Panel::FrequencyRsp, h452::Panel::Constellation};
    const int k = int(kind);
    if (k < 0 || k >= int(std::size(panelOf)))
        return nullptr;
    return panel(panelOf[k]).series[std::size_t(channel)];
}

void MainWindow::applyFrameUpdate(const h452::FrameUpdate& update)
{
    for (int k = 0; k < h452::kReplacedKindCount; ++k) {
        for (int c = 0; c < 4; ++c) {
            const h452::SeriesReplacement& r = update.series[k][c];
            QXYSeries* series = seriesOf(h452::SeriesKind(k), c);
            if (r.replace && series)
                series->replace(r.points);
        }
    }

    applyEyeChanges(update);
    applyPictureFigures(update.pictureFigures);

    // Each fitted chart takes both ranges; the time chart's y range also
    // goes to the eye chart, which draws the same codes.
    static const struct {
        h452::FitChart chart;
        h452::Panel panel;
    } fitted[] = {
        {h452::FitChart::Time, h452::Panel::Time},
        {h452::FitChart::Spectrum, h452::Panel::Frequency},
        {h452::FitChart::FreqRsp, h452::Panel::FrequencyRsp},
    };
    for (const auto& f : fitted) {
        const h452::AxisRanges& r = update.fit[int(f.chart)];
        if (!r.valid)
            continue;
        setAxisRange(panel(f.panel).axisX, r.xMin, r.xMax);
        setAxisRange(panel(f.panel).axisY, r.yMin, r.yMax);
        if (f.chart == h452::FitChart::Time)
            setAxisRange(panel(h452::Panel::Eye).axisY, r.yMin, r.yMax);
    }

    if (update.hasFigures)
        shownFigures = update.figures;
}

void MainWindow::updateStatTableAndLabel()
{
    if (windowMoving)
        return;
    ui->labTimePlot->update();
    if (standardMeasurements)
        standardMeasurements->refresh(channelEnabled);
    if (!ui->statTable->isVisible())
        return;
    // shownFigures is the copy that came with the last applied frame: all
    // eight figures of a channel are from one frame, and reading them needs
    // no lock on this thread.
    QTableWidget* table = ui->statTable;
    // The table sorts its rows, so a channel's row is found by its label,
    // not by its index; sorting is held off while the cells change, or the
    // first changed cell could move the row under the others.
    const bool sorting = table->isSortingEnabled();
    table->setSortingEnabled(false);
    for (int c = 0; c < 4; ++c) {
        if (!channelEnabled[c])
            continue;
        const QString label = QStringLiteral("%1%2").arg(tr("通道 ")).arg(c, 0, 10);
        int row = c;
        for (int r = 0; r < table->rowCount(); ++r) {
            const QTableWidgetItem* item = table->item(r, 0);
            if (item && item->text() == label) {
                row = r;
                break;
            }
        }
        if (row >= table->rowCount())
            continue;
        const auto setCell = [table, row](int column, const QString& text) {
            QTableWidgetItem* item = table->item(row, column);
            if (item)
                item->setText(text);
            else
                table->setItem(row, column, new QTableWidgetItem(text));
        };
        setCell(0, label);
        for (int f = 0; f < h452::kFigureCount; ++f)
            setCell(f + 1, QString::number(shownFigures[std::size_t(c)][std::size_t(f)], 'f', 2));
    }
    table->setSortingEnabled(sorting);
}
