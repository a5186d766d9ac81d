// Panel visibility and window layout: the six show buttons, the deferred
// relayout of the splitter, the Y tick counts that follow the view heights,
// the pause of periodic work while the window is dragged, the maximise
// relayout, the panel choice of the settings dialog and where that dialog
// opens.
//
// Relayout work is merged: show buttons and maximise only restart the 1 ms
// layoutTimer, and each relayout posts the tick-count pass 5 ms later, when
// the splitter has given the views their new heights.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "ChartToLabelConverter.h"
#include "DeviceState.h"
#include "InteractiveChartView.h"
#include "Settings.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMoveEvent>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QValueAxis>
#include <QWindowStateChangeEvent>

namespace {

using h452::kPanelCount;
using h452::Panel;
constexpr int kCollapsedHeight = 30;   // a panel's title bar
constexpr int kExpandedShare = 1000;
constexpr int kTickPassDelayMs = 5;

} // namespace

int MainWindow::tickCountForViewHeight(int heightPx)
{
    if (heightPx < 100)
        return 3;
    const int n = heightPx / 35;
    return n < 4 ? 3 : (n > 11 ? 11 : n);
}

void MainWindow::restartLayoutTimer()
{
    if (!layoutTimer)
        return;
    layoutTimer->stop();
    layoutTimer->start();
}

void MainWindow::togglePanel(int panel)
{
    QPushButton* button = panelAt(panel).showButton;
    QWidget* content = panelAt(panel).content;
    if (!button || !content)
        return;
    const bool expand = button->text() == QLatin1String(">");
    button->setText(expand ? QStringLiteral("V") : QStringLiteral(">"));
    content->setVisible(expand);
    {
        // Frame processing reads the panel flags under the same lock.
        DataLock lock;
        panelVisible[panel] = expand;
    }
    restartLayoutTimer();
    if (panel != int(Panel::Measurements))
        fitAxesPending = true;
}

void MainWindow::onbtnTimeShowClicked() { togglePanel(int(Panel::Time)); }
void MainWindow::onbtnMeasurementsShowClicked() { togglePanel(int(Panel::Measurements)); }
void MainWindow::onbtnFrequencyShowClicked() { togglePanel(int(Panel::Frequency)); }
void MainWindow::onbtnFrequencyRspShowClicked() { togglePanel(int(Panel::FrequencyRsp)); }
void MainWindow::onbtnConstellationShowClicked() { togglePanel(int(Panel::Constellation)); }
void MainWindow::onbtnEyeShowClicked() { togglePanel(int(Panel::Eye)); }

bool MainWindow::isPanelExpanded(int panel) const
{
    // Asked of the widgets' own hidden flags rather than of what is on
    // screen, so the layout is right even before the window is first shown.
    QWidget* widget = panelAt(panel).widget;
    QWidget* content = panelAt(panel).content;
    return widget && content && !widget->isHidden() && content->isVisibleTo(widget);
}

void MainWindow::relayoutPanels()
{
    if (!plotSplitter)
        return;
    if (windowMoving) {
        relayoutDeferred = true;
        return;
    }
    relayoutDeferred = false;
    bool expanded[kPanelCount];
    bool any = false;
    for (int p = 0; p < kPanelCount; ++p) {
        expanded[p] = isPanelExpanded(p);
        any = any || expanded[p];
    }
    if (any) {
        QList<int> sizes;
        for (int p = 0; p < kPanelCount; ++p) {
            if (QWidget* w = panelAt(p).widget)
                w->setMaximumHeight(QWIDGETSIZE_MAX);
            sizes << (expanded[p] ? kExpandedShare : 0);
        }
        plotSplitter->setSizes(sizes);
    }
    for (int p = 0; p < kPanelCount; ++p)
        if (!expanded[p])
            if (QWidget* w = panelAt(p).widget)
                w->setMaximumHeight(kCollapsedHeight);
    QTimer::singleShot(kTickPassDelayMs, this, &MainWindow::syncAxisTickCounts);
}

void MainWindow::syncAxisTickCounts()
{
    // Panel order, top to bottom; Measurements has no view and is skipped.
    for (int p = 0; p < kPanelCount; ++p) {
        InteractiveChartView* view = panelAt(p).view;
        QtCharts::QValueAxis* axis = panelAt(p).axisY;
        if (!view || !axis || !panelVisible[p])
            continue;
        const int h = view->height();
        axis->setTickCount(tickCountForViewHeight(h));
        // A squeezed view ends the pass: the panels below keep their counts
        // until the next relayout, and no repaint is asked for.
        if (h < 100)
            return;
    }
    update();
}

void MainWindow::changeEvent(QEvent* event)
{
    if (event && event->type() == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        const bool wasMaximized = change->oldState() & Qt::WindowMaximized;
        const bool isMaximized = windowState() & Qt::WindowMaximized;
        if (wasMaximized != isMaximized)
            restartLayoutTimer();
    }
    QMainWindow::changeEvent(event);
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    if (!windowMoving) {
        windowMoving = true;
        if (statTimer && statTimer->isActive())
            statTimer->stop();
        if (ui && ui->labTimePlot)
            ui->labTimePlot->paintSuspended = true;
    }
    if (moveSettleTimer) {
        moveSettleTimer->stop();
        moveSettleTimer->start();
    }
    QMainWindow::moveEvent(event);
}

void MainWindow::onWindowMoveSettled()
{
    windowMoving = false;
    ui->labTimePlot->paintSuspended = false;
    ui->labTimePlot->update();
    if (statTimer && !statTimer->isActive())
        statTimer->start();
    // Without this a relayout asked for during the move (the start-up's
    // expansion of the Time panel meets the first show's move) would wait
    // for the next button press, leaving every panel at an equal share.
    if (relayoutDeferred)
        restartLayoutTimer();
}

void MainWindow::onShowStateChange(bool show[10])
{
    if (!show)
        return;
    // Whole panels, title bar included; the panel flags stay as they are
    // and a hidden panel counts as collapsed at the next relayout.
    for (int p = 0; p < kPanelCount; ++p)
        if (QWidget* w = panelAt(p).widget)
            w->setVisible(show[p]);
}

void MainWindow::onbtnSettingsClicked()
{
    if (!settingsDialog)
        return;
    const QPoint p = ui->btnSettings->mapToGlobal(QPoint(0, 0));
    int x = p.x() + ui->btnSettings->width();
    int y = p.y();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect r = screen ? screen->geometry() : QRect();
    if (screen) {
        // Open beside the button, flipped to its left or above it where the
        // screen ends.
        if (x + settingsDialog->width() > r.right())
            x = p.x() - settingsDialog->width();
        if (y + settingsDialog->height() > r.bottom())
            y = p.y() - settingsDialog->height();
    }
    const QString rate = ui->labRateValue->text();
    if (rate != settingsDialog->lastSampleRate)
        settingsDialog->showSampleRate(rate);
    settingsDialog->move(x, y);
    settingsDialog->show();
}
