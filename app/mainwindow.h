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

#include <array>
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
class QPushButton;
class QSplitter;
class QTimer;
class InteractiveChartView;
namespace QtCharts {
class QChart;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
class QXYSeries;
}

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

    // ---- Chart objects (mainwindow_charts.cpp) ------------------------------
    // Built once by setupCharts(). Series index = channel 0 to 3. Series and
    // axes belong to their chart, charts to their view, views to the panels'
    // content layouts. Only the GUI thread touches them.
    QtCharts::QChart* timeChart = nullptr;
    QtCharts::QLineSeries* timeSeries[4] = {};
    QtCharts::QValueAxis* timeAxisX = nullptr;
    QtCharts::QValueAxis* timeAxisY = nullptr;
    InteractiveChartView* timeView = nullptr;
    QtCharts::QChart* spectrumChart = nullptr;
    QtCharts::QLineSeries* spectrumSeries[4] = {};
    QtCharts::QValueAxis* spectrumAxisX = nullptr;
    QtCharts::QValueAxis* spectrumAxisY = nullptr;
    InteractiveChartView* spectrumView = nullptr;
    QtCharts::QChart* freqRspChart = nullptr;
    QtCharts::QLineSeries* freqRspSeries[4] = {};
    QtCharts::QValueAxis* freqRspAxisX = nullptr;
    QtCharts::QValueAxis* freqRspAxisY = nullptr;
    InteractiveChartView* freqRspView = nullptr;
    QtCharts::QChart* constellationChart = nullptr;
    QtCharts::QScatterSeries* constellationSeries[4] = {};
    QtCharts::QValueAxis* constellationAxisI = nullptr;
    QtCharts::QValueAxis* constellationAxisQ = nullptr;
    InteractiveChartView* constellationView = nullptr;
    QtCharts::QLineSeries* constellationZeroLineI = nullptr;  // grey cross through the origin
    QtCharts::QLineSeries* constellationZeroLineQ = nullptr;
    QtCharts::QLineSeries* constellationReference = nullptr;  // red outline of the ideal constellation
    QtCharts::QChart* eyeChart = nullptr;
    QtCharts::QLineSeries* eyeSeries[4] = {};
    QtCharts::QValueAxis* eyeAxisX = nullptr;
    QtCharts::QValueAxis* eyeAxisY = nullptr;
    InteractiveChartView* eyeView = nullptr;
    // The overview strip's traces: in no chart, drawn by ui->labTimePlot.
    QtCharts::QLineSeries* overviewSeries[4] = {};

    // ---- Chart helpers (mainwindow_charts.cpp) ------------------------------
    // The six series of one channel (time, spectrum, frequency response,
    // constellation, eye, overview), for clearing a channel switched off.
    // An index outside 0 to 3 gives six null pointers.
    std::array<QtCharts::QXYSeries*, 6> channelSeries(int channel) const;
    // Panel order Time, Measurements, Frequency, FrequencyRsp, Constellation,
    // Eye: the view (null for Measurements, whose content is statTable), the
    // Y axis the tick rule adapts (null for Measurements), the panel widget,
    // its content widget and its show button. Null outside 0 to 5.
    InteractiveChartView* panelView(int panel) const;
    QtCharts::QValueAxis* panelAxisY(int panel) const;
    QWidget* panelWidget(int panel) const;
    QWidget* panelContent(int panel) const;
    QPushButton* panelShowButton(int panel) const;
    // Shows the outcome of the board discovery: "H452" and the board text
    // when a board was found, "Simulation" and the form's demo text otherwise.
    void showBoardDiscovery(bool boardFound);
    // Columns, header, channel rows and "0.00" cells of the measurements table.
    void setupStatTable();
};
