// MainWindow: the oscilloscope console's one window.
//
// The class is one QMainWindow, but its work is spread over several files by
// concern; each section below names the file that implements it:
//   mainwindow.cpp          construction order, board discovery, threads, timers, shutdown
//   mainwindow_charts.cpp   chart set-up: menus, settings dialog, charts, views, splitter
//   mainwindow_slots.cpp    signal wiring and the slot bodies of a line or two
//   mainwindow_frames.cpp   frame processing (core in acquisition/Frame*), its GUI-thread
//                           side, the measurements table
//   mainwindow_run.cpp      run control and the single acquisition
//   mainwindow_controls.cpp run-state look, set-ups, channel switches, time axis, constellation
//   mainwindow_panels.cpp   show buttons, relayout, tick counts, window move, settings dialog
//   mainwindow_trigger.cpp  trigger source and sample rate sent to the board
//   mainwindow_eye.cpp      the eye drawn from hit counts
//
// Threads: every member function runs on the GUI thread except onDealData,
// which runs on the acquisition thread inside WorkThread::sigSendData (direct
// connection). Locks follow the one lock order stated in DeviceState.h;
// dataMutex is taken only through DataLock.
#pragma once

#include <QElapsedTimer>
#include <QDateTime>
#include <QMainWindow>
#include <QString>

#include "BlockSize.h"
#include "EyeHitImage.h"
#include "FrameMailbox.h"
#include "FrameProcessor.h"
#include "RecordSource.h"
#include "RunControl.h"

#include <array>
#include <atomic>
#include <vector>

namespace Ui {
class MainWindow;
}
class ChartCursors;
class ChartMarkers;
class Settings;
class WorkThread;
class BlockRing;
class Writer;
class EyeImageItem;
class FigureReadout;
class QLineEdit;
class SymbolErrorItem;
class QAction;
class QComboBox;
class QEvent;
class QMoveEvent;
class QPushButton;
class QSplitter;
class QLabel;
class QTimer;
class InteractiveChartView;
class StandardMeasurementsView;
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

    // The eye hit counts of a channel (0 to 3) as drawn; for tests and
    // benchmarks. GUI thread only.
    const h452::EyeHitHistory& eyeHistory(int channel) const { return eyeHits[std::size_t(channel & 3)]; }

    // Export (mainwindow_export.cpp): a panel's chart as PNG at scale 1 or
    // 2, its data (or the measurements table) as CSV. False with a message
    // in *error, and no file written, for a panel without data or a path
    // that cannot be written.
    bool exportPanelImage(int panelIndex, const QString& path, int scale, QString* error) const;
    bool exportPanelData(int panelIndex, const QString& path, QString* error) const;
    QString defaultExportPath(int panelIndex, const QString& suffix) const;

    // ---- Event handlers (window move and maximise) ----------------------
    // mainwindow_panels.cpp
protected:
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

    // ---- Slots, in meta-object order -------------------------------------
    // The window's slot table is fixed: the order of declaration here is the
    // order of the meta-object. Insert further slots at their index.
private slots:
    void ontbtnAutoClicked();                                   // 0  mainwindow_controls.cpp
    void ontbtnAutoTriggered(QAction* action);                  // 1
    void onbtnRunClicked();                                     // 2
    void onbtnSingleClicked();                                  // 3  mainwindow_run.cpp
    void onbtnSettingsClicked();                                // 4  mainwindow_panels.cpp
    void oncheckBoxChn0StateChanged(int state);                 // 5  mainwindow_controls.cpp
    void oncheckBoxChn1StateChanged(int state);                 // 6
    void oncheckBoxChn2StateChanged(int state);                 // 7
    void oncheckBoxChn3StateChanged(int state);                 // 8
    void onbtnFFTClicked();                                     // 9  mainwindow_slots.cpp
    void onbtnUpClicked();                                      // 10 mainwindow_controls.cpp
    void onbtnDownClicked();                                    // 11
    void onZoomAxis();                                          // 12
    void oncomBoxFFT1WindowIndexChanged(int state);             // 13 mainwindow_slots.cpp
    void oncomBoxFrequencyRspChnIndexChanged(int index);        // 14
    void oncomBoxConstellationTypeIndexChanged(int index);      // 15 mainwindow_controls.cpp
    void oncomBoxEyeChnIndexChanged(int index);                 // 16 mainwindow_slots.cpp
    void oncomBoxTimeSpanIndexChanged(int index);               // 17 mainwindow_controls.cpp
    void oncomBoxTriggerIndexChanged(int index);                // 18 trigger source
    void oneditXPosValueTextChanged(QString text);              // 19 mainwindow_controls.cpp
    void onbtnTimeShowClicked();                                // 20 mainwindow_panels.cpp
    void onbtnMeasurementsShowClicked();                        // 21
    void onbtnFrequencyShowClicked();                           // 22
    void onbtnFrequencyRspShowClicked();                        // 23
    void onbtnConstellationShowClicked();                       // 24
    void onbtnEyeShowClicked();                                 // 25
    void onbtnForceClicked();                                   // 26 mainwindow_slots.cpp
    void createEyeSeries();                                     // 27
    void updateStatTableAndLabel();                             // 28 mainwindow_frames.cpp
    void onSampleRateChange(QString sampleRate, int sampleRatParam, int dataParam,
                            int CICParam);                      // 29 sample rate
    void onShowStateChange(bool show[10]);                      // 30 mainwindow_panels.cpp
    int onDealData(double* dDataCh0, double* dDataCh1, double* dDataCh2,
                   double* dDataCh3);                           // 31 mainwindow_frames.cpp

private:
    // ---- Construction seams, called by the constructor in this order -----
    void setupForm();               // widget tree from the form, window title
    void setupCharts();             // mainwindow_charts.cpp
    void setupConnections();        // mainwindow_slots.cpp
    void setupDeviceAndThreads();   // mainwindow.cpp
    void setupInstruments();        // mainwindow_instruments.cpp: cursors, markers,
    void setupSpectrumAveraging();  //   spectrum averaging
    void setupExport();             // mainwindow_export.cpp: PNG and CSV export
    void exportWithDialog(int panelIndex, bool data, int scale);
    void discoverBoard();           // mainwindow.cpp, part of the device set-up

    // ---- Timer and single-shot targets (plain member functions) ----------
    void applyDefaultSetup();
    void relayoutPanels();
    void onWindowMoveSettled();

    // ---- Stop: the one stop sequence, for Stop, Single and shutdown ---------
    // Ends the acquisition thread, then the recorder, waiting for each.
    // Never called while holding dataMutex (the frame in hand takes it).
    void stopAcquisitionAndRecording();

    // ---- Live window: frame hand-off, run control, controls, panels ---------
    // mainwindow_frames.cpp: frame processing and its GUI-thread side.
    // onDealData builds a FrameUpdate under dataMutex and posts it to
    // frameMailbox; applyPendingFrame applies it on this thread.
    int updateChartSeries(int kind, const double* x, const double* y, int count, int channel);
    void fitAxes();
    h452::FrameSettings frameSettings() const;
    void connectAxisRangeSnapshot();
    void applyPendingFrame();   // takes and applies the waiting update now
    void onFrameWake();         // the same, once the repaint pace allows
    void applyFrameUpdate(const h452::FrameUpdate& update);
    QtCharts::QXYSeries* seriesOf(h452::SeriesKind kind, int channel) const;
    // mainwindow_eye.cpp: the eye drawn from hit counts.
    void setupEyeImage();
    // mainwindow_figures.cpp: symbol rate, figure switches and readouts of
    // the Constellation and Eye panels.
    void setupPictureFigures();
    void applyPictureFigures(const h452::PictureFigures& figures);
    void applyEyeChanges(const h452::FrameUpdate& update);
    void showEyeImage();
    // mainwindow_run.cpp: run control and the single acquisition.
    int applyRunState();
    int singleAcquisition(int n, int ddr4Address);
    bool acquireSingleRecord(int n, int ddr4Address, std::vector<double> (&record)[4]);
    h452::AcquisitionParameters readAcquisitionControls(int n);
    QString singleReplayPath() const;
    // mainwindow_controls.cpp: run-state look, set-ups, channels, time axis.
    void setRunState(bool isRunning);
    void applyAutoSetup();
    void expandTimePanelAndRun();
    void switchChannel(int channel, int state);
    void zoomTimeAxis(double factor);
    void syncTimeSpanCombo(double axisEnd);
    // mainwindow_panels.cpp: show buttons, relayout, tick counts.
    void togglePanel(int panel);
    bool isPanelExpanded(int panel) const;
    void restartLayoutTimer();
    void syncAxisTickCounts();
    static int tickCountForViewHeight(int heightPx);

    // ---- Window state, in declaration order --------------------------------
    Ui::MainWindow* ui = nullptr;
    Settings* settingsDialog = nullptr;   // no QObject parent; released by the destructor
    bool running = false;
    QAction* autoSetupAction = nullptr;
    QAction* defaultSetupAction = nullptr;
    // channelStats, windowType, windowHalfWidth, constellationType,
    // demodFilterTaps and the frequency-response store (freqRspFrequency,
    // freqRspLevel, freqRspReference) live in `analysis` (below), their one
    // owner; the window reads and writes them there under dataMutex.
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
    BlockRing* blockRing = nullptr;       // shared by workThread and writer; released by the destructor
    Writer* writer = nullptr;             // no QObject parent; stopped and released by the destructor
    qint64 streamBlockBytes = blocksize::kDefaultBytes;     // chosen in the settings; taken at the next recording
    qint64 streamRingBytes = blocksize::kDefaultRingBytes;  // the ring's memory, likewise
    // The single acquisition's replay: its position (the next record) lasts
    // from one Single to the next and restarts when the trigger source changes.
    // Until a file is chosen it replays the acquisition thread's default file.
    acquisition::ReplaySource singleReplay{[this] { return singleReplayPath(); }};
    bool continuousArmed = false;
    QString localFilePath;
    bool channelEnabled[4] = {true, false, false, false};
    bool panelVisible[h452::kPanelCount] = {true, false, false, false, false, false};
    double sampleRateHz = 1e9;
    // While a replayed file's metadata gives its rate, frame processing uses
    // that rate (0: none) and labRateValue shows it marked as the file's; the
    // configured rate text is kept to be shown again when the source changes.
    double replayRateHz = 0;
    QString configuredRateText;
    void applyReplayRate(int triggerIndex, const QString& path);
    // Feedback while recording: elapsed time, bytes, MB/s and dropped blocks
    // in a label beside the run state, refreshed twice a second by
    // recordingTimer while the recorder runs (hidden otherwise).
    QTimer* recordingTimer = nullptr;
    QLabel* labRecording = nullptr;
    qint64 recordingBlocksAtStart = 0;
    quint64 recordingDropsAtStart = 0;
    qint64 recordingStartMs = 0;
    // Before a recording, while neither thread runs: a new ring and recorder
    // when the block size chosen in the settings differs from the ring's.
    void resizeStreamRing();
    void startRecordingFeedback();
    void updateRecordingFeedback();

    // ---- Live window state (frame hand-off) ---------------------------------
    // The mailbox and the range snapshot have leaf locks of their own (lock
    // order: DeviceState.h).
    // The analysis state (window type, figures, modulation, frequency-response
    // store, eye persistence, kept FFT plans); under dataMutex.
    h452::AnalysisState analysis;
    // Current x ranges of the time, spectrum and frequency-response charts;
    // its own lock, refreshed on every range change.
    h452::AxisRangeSnapshot axisRanges;
    // Builds frame updates; under dataMutex.
    h452::FrameProcessor frameProcessor{axisRanges};
    // The measurements panel's standard view (mainwindow_measurements.cpp);
    // set once at set-up, before any frame.
    StandardMeasurementsView* standardMeasurements = nullptr;
    // The update being built by the frame in progress; under dataMutex.
    h452::FrameUpdate frameInProgress;
    // One waiting update for the GUI thread; its own lock.
    h452::FrameMailbox frameMailbox;
    // Started (queued) by the mailbox's wake-up; applies the waiting update.
    QTimer* frameWakeTimer = nullptr;
    // Repaint pace: at most one applied update per framePaceMs (25 ms, 40 a
    // second: smooth to the eye, and the software renderer of a remote
    // desktop keeps up with every panel shown); framePace times the last one.
    int framePaceMs = 25;
    QElapsedTimer framePace;
    // Figures that came with the last applied update; GUI thread only.
    h452::FigureTable shownFigures{};
    // The eye channel chosen in comBoxEyeChn, for the acquisition thread
    // (widgets are read on the GUI thread only).
    std::atomic<int> eyeChannel{0};
    // The eye's points and hit counts per channel, fed by the applied
    // updates; only the eye channel's is drawn (by eyeImage). GUI thread only.
    std::array<h452::EyeHitHistory, 4> eyeHits;
    EyeImageItem* eyeImage = nullptr;
    QComboBox* comBoxEyeLook = nullptr;   // channel colour or colour scale
    // Figures beside the constellation and the eye: the switches and the
    // symbol rate, written on this thread under DataLock and read by
    // frameSettings(); the widgets that show them.
    bool constellationFiguresOn = false;
    bool eyeFiguresOn = false;
    double symbolRateHz = 0.0;
    QLineEdit* editSymbolRate = nullptr;
    QComboBox* comBoxSymbolRateUnit = nullptr;
    QComboBox* comBoxConstellationFigures = nullptr;
    QComboBox* comBoxEyeFigures = nullptr;
    FigureReadout* constellationReadout = nullptr;
    FigureReadout* eyeReadout = nullptr;
    SymbolErrorItem* symbolErrors = nullptr;
    // A relayout was asked for while the window moved; the move-settle
    // handler runs it (the window's first show moves it, too).
    bool relayoutDeferred = false;
    // The live-window benchmark times applyPendingFrame on its own; the
    // tests reach the recorder, which has no QObject parent to find it by.
    friend struct LiveWindowProbe;

    // ---- The panels (mainwindow_charts.cpp) ----------------------------------
    // One entry per panel, indexed by h452::Panel, built once by setupCharts()
    // from one table of titles, ranges and margins. Series index = channel 0
    // to 3. Series and axes belong to their chart, charts to their view, views
    // to the panels' content layouts. Only the GUI thread touches them.
    struct PanelParts {
        QtCharts::QChart* chart = nullptr;                      // null for Measurements
        std::array<QtCharts::QXYSeries*, 4> series{};           // empty for Measurements
        QtCharts::QValueAxis* axisX = nullptr;
        QtCharts::QValueAxis* axisY = nullptr;                  // the axis the tick rule adapts
        InteractiveChartView* view = nullptr;
        QWidget* widget = nullptr;                              // the whole panel, title bar included
        QWidget* content = nullptr;                             // the view, or statTable
        QPushButton* showButton = nullptr;
    };
    std::array<PanelParts, h452::kPanelCount> panels{};
    QtCharts::QLineSeries* constellationZeroLineI = nullptr;  // grey cross through the origin
    QtCharts::QLineSeries* constellationZeroLineQ = nullptr;
    QtCharts::QLineSeries* constellationReference = nullptr;  // red outline of the ideal constellation
    // The overview strip's traces: in no chart, drawn by ui->labTimePlot.
    QtCharts::QLineSeries* overviewSeries[4] = {};

    // Measuring cursors of the Time, Spectrum and Frequency-response panels
    // (null elsewhere), owned by their views; off until switched on.
    std::array<ChartCursors*, h452::kPanelCount> cursors{};
    // Peak and harmonic markers of the Spectrum panel, owned by its view.
    ChartMarkers* spectrumMarkers = nullptr;
    // The Spectrum panel's drawn trace (normal, power average, peak hold):
    // written on this thread under DataLock, read by frameSettings().
    h452::SpectrumAverageMode spectrumAverageMode = h452::SpectrumAverageMode::Normal;
    int spectrumAverageCount = 16;
    unsigned spectrumAverageResets = 0;
    // When each panel's data last changed (the "frame time" of an export).
    std::array<QDateTime, h452::kPanelCount> panelDataTime{};

    // ---- Chart helpers (mainwindow_charts.cpp) ------------------------------
    // The parts of a panel; an index outside the panels gives an empty entry.
    const PanelParts& panel(h452::Panel which) const { return panelAt(int(which)); }
    const PanelParts& panelAt(int index) const;
    // The six series of one channel (time, spectrum, frequency response,
    // constellation, eye, overview), for clearing a channel switched off.
    // An index outside 0 to 3 gives six null pointers.
    std::array<QtCharts::QXYSeries*, 6> channelSeries(int channel) const;
    // Columns, header, channel rows and "0.00" cells of the measurements table.
    void setupStatTable();
};
