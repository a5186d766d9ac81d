// MainWindow: the oscilloscope console's one window.
//
// The class is one QMainWindow, but its work is spread over several files by
// concern; each section below names the file that implements it:
//   mainwindow.cpp          construction order, board discovery, threads, timers, shutdown
//   mainwindow_charts.cpp   chart set-up: menus, settings dialog, charts, views, splitter
//   mainwindow_slots.cpp    signal wiring and the slot bodies (frame processing lives in
//                           acquisition/, the analyses in analysis/)
//
// Threads: every member function runs on the GUI thread except onDealData,
// which runs on the acquisition thread inside WorkThread::sigSendData (direct
// connection). Lock order: WorkThread's mutex, then dataMutex (DeviceState.h);
// GUI-thread code never takes the thread's mutex while holding dataMutex.
#pragma once

#include <QMainWindow>
#include <QString>

#include <atomic>
#include <vector>

namespace Ui {
class MainWindow;
}
class Settings;
class WorkThread;
class BlockRing;
class Writer;
class QAction;
class QSplitter;
class QTimer;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    MainWindow();
    ~MainWindow() override;

    // ---- Event handlers (window move and maximise) ----------------------

    // ---- Slots, in meta-object order -------------------------------------
    // The window's slot table is fixed: the order of declaration here is the
    // order of the meta-object. Insert further slots at their index.
private slots:
    void updateStatTableAndLabel();
    int onDealData(double* dDataCh0, double* dDataCh1, double* dDataCh2, double* dDataCh3);

private:
    // ---- Construction seams, called by the constructor in this order -----
    void setupForm();               // widget tree from the form, window title
    void setupCharts();             // mainwindow_charts.cpp
    void setupConnections();        // mainwindow_slots.cpp
    void setupDeviceAndThreads();   // mainwindow.cpp
    void discoverBoard();           // mainwindow.cpp, part of the device set-up

    // ---- Timer and single-shot targets (plain member functions) ----------
    void applyDefaultSetup();
    void relayoutPanels();
    void onWindowMoveSettled();

    // ---- Shutdown ---------------------------------------------------------
    void stopAcquisitionAndRecording();

    // ---- Window state, in declaration order --------------------------------
    Ui::MainWindow* ui = nullptr;
    Settings* settingsDialog = nullptr;   // no QObject parent; released by the destructor
    bool running = false;
    QAction* autoSetupAction = nullptr;
    QAction* defaultSetupAction = nullptr;
    // channelStats (four ChannelFigures of the measurements) follows here.
    int recordLength = 1000;
    // Set by GUI-thread actions, consumed under dataMutex on the acquisition
    // thread; atomic so that a set without the lock is still well defined.
    std::atomic<bool> fitAxesPending{true};
    WorkThread* workThread = nullptr;     // QObject child of this window
    QTimer* statTimer = nullptr;
    QTimer* moveSettleTimer = nullptr;
    QTimer* layoutTimer = nullptr;
    bool windowMoving = false;
    QSplitter* plotSplitter = nullptr;
    std::vector<double> demodFilterTaps;
    BlockRing* blockRing = nullptr;       // shared by workThread and writer; released by the destructor
    Writer* writer = nullptr;             // no QObject parent; stopped and released by the destructor
    qint64 replayOffset = 0;
    bool continuousArmed = false;
    QString localFilePath;
    int constellationType = 0;
    bool channelEnabled[4] = {true, false, false, false};
    bool panelVisible[6] = {true, false, false, false, false, false};
    double freqRspReference = 0.0;
    double sampleRateHz = 1e9;
    // Written by the GUI thread without a lock, read by the spectrum on the
    // acquisition thread.
    std::atomic<int> windowType{0};
    int windowHalfWidth = 0;
    std::vector<int> binWork;             // per-bin working values, recordLength / 2 entries
    std::vector<double> freqRspFrequency[4];
    std::vector<double> freqRspLevel[4];

    // ---- Chart objects ------------------------------------------------------
};
