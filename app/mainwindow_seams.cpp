// Placeholder bodies that let the window link while the chart set-up, the
// signal wiring and the slots are being written; each goes away as its real
// definition lands in mainwindow_charts.cpp or mainwindow_slots.cpp.
#include "mainwindow.h"

#include "WorkThread.h"

void MainWindow::setupConnections() {}
void MainWindow::updateStatTableAndLabel() {}
int MainWindow::onDealData(double*, double*, double*, double*) { return 0; }
void MainWindow::relayoutPanels() {}
void MainWindow::onWindowMoveSettled() { windowMoving = false; }

// Starts acquisition with the start-up parameters (free trigger, simulated
// without a board); the full default set-up replaces it.
void MainWindow::applyDefaultSetup()
{
    if (running)
        return;
    running = true;
    workThread->setParameters(recordLength, 0, acquisition::kModeFreeTrigger, 100, 1, 100);
    workThread->allocateChannelBuffers();
    workThread->start(QThread::TimeCriticalPriority);
}
