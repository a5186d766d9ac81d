// The window's signal wiring and the slots whose bodies are a line or two.
//
// setupConnections() makes the connections of the control column, the time
// view and the settings dialog in a fixed order. The combo boxes whose index
// slots are connected by their SIGNAL/SLOT texts can be disconnected by the
// same texts: zoomTimeAxis and onZoomAxis do that around their own change of
// the time-span list (mainwindow_controls.cpp). Everything else uses the
// pointer-to-member form. The connections to the acquisition thread and the
// timers are made by the device and thread set-up (mainwindow.cpp); the
// frame hand-off's own wiring (axis-range snapshot, mailbox wake-up) is made
// here, because frame processing needs it from the first frame on.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "DeviceState.h"
#include "InteractiveChartView.h"
#include "Settings.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QToolButton>

void MainWindow::setupConnections()
{
    connect(ui->tbtnAuto, &QToolButton::clicked, this, &MainWindow::ontbtnAutoClicked);
    connect(ui->tbtnAuto, &QToolButton::triggered, this, &MainWindow::ontbtnAutoTriggered);
    connect(ui->btnRun, &QPushButton::clicked, this, &MainWindow::onbtnRunClicked);
    connect(ui->btnSingle, &QPushButton::clicked, this, &MainWindow::onbtnSingleClicked);
    connect(ui->btnSettings, &QPushButton::clicked, this, &MainWindow::onbtnSettingsClicked);
    connect(ui->checkBoxChn0, &QCheckBox::stateChanged, this, &MainWindow::oncheckBoxChn0StateChanged);
    connect(ui->checkBoxChn1, &QCheckBox::stateChanged, this, &MainWindow::oncheckBoxChn1StateChanged);
    connect(ui->checkBoxChn2, &QCheckBox::stateChanged, this, &MainWindow::oncheckBoxChn2StateChanged);
    connect(ui->checkBoxChn3, &QCheckBox::stateChanged, this, &MainWindow::oncheckBoxChn3StateChanged);
    connect(ui->comBoxFFT1Window, SIGNAL(currentIndexChanged(int)), this,
            SLOT(oncomBoxFFT1WindowIndexChanged(int)));
    connect(ui->comBoxFrequencyRspChn, SIGNAL(currentIndexChanged(int)), this,
            SLOT(oncomBoxFrequencyRspChnIndexChanged(int)));
    connect(ui->comBoxConstellationType, SIGNAL(currentIndexChanged(int)), this,
            SLOT(oncomBoxConstellationTypeIndexChanged(int)));
    connect(ui->editXPosValue, &QLineEdit::textChanged, this, &MainWindow::oneditXPosValueTextChanged);
    connect(ui->comBoxTimeSpan, SIGNAL(currentIndexChanged(int)), this,
            SLOT(oncomBoxTimeSpanIndexChanged(int)));
    connect(ui->comBoxTrigger, SIGNAL(currentIndexChanged(int)), this,
            SLOT(oncomBoxTriggerIndexChanged(int)));
    connect(ui->comBoxEyeChn, SIGNAL(currentIndexChanged(int)), this,
            SLOT(oncomBoxEyeChnIndexChanged(int)));
    connect(ui->btnFFT, &QPushButton::clicked, this, &MainWindow::onbtnFFTClicked);
    connect(ui->btnUp, &QPushButton::clicked, this, &MainWindow::onbtnUpClicked);
    connect(ui->btnDown, &QPushButton::clicked, this, &MainWindow::onbtnDownClicked);
    // Only the time view's zoom follows into the time-span list; the zoom of
    // the other views reaches nothing.
    connect(panel(h452::Panel::Time).view, &InteractiveChartView::sigZoomAxis, this, &MainWindow::onZoomAxis);
    // A double-click shows the whole record, or the spectrum up to half the
    // sample rate; the other views return to their start ranges.
    panel(h452::Panel::Time).view->fullXRange = [this] { return std::make_pair(0.0, double(recordLength)); };
    for (h452::Panel p : {h452::Panel::Frequency, h452::Panel::FrequencyRsp})
        panel(p).view->fullXRange = [this] { return std::make_pair(0.0, sampleRateHz / 2e6); };
    connect(ui->btnTimeShow, &QPushButton::clicked, this, &MainWindow::onbtnTimeShowClicked);
    connect(ui->btnMeasurementsShow, &QPushButton::clicked, this, &MainWindow::onbtnMeasurementsShowClicked);
    connect(ui->btnFrequencyShow, &QPushButton::clicked, this, &MainWindow::onbtnFrequencyShowClicked);
    connect(ui->btnFrequencyRspShow, &QPushButton::clicked, this, &MainWindow::onbtnFrequencyRspShowClicked);
    connect(ui->btnConstellationShow, &QPushButton::clicked, this, &MainWindow::onbtnConstellationShowClicked);
    connect(ui->btnEyeShow, &QPushButton::clicked, this, &MainWindow::onbtnEyeShowClicked);
    connect(ui->btnForce, &QPushButton::clicked, this, &MainWindow::onbtnForceClicked);
    connect(settingsDialog, SIGNAL(sigSampleRateChange(QString,int,int,int)), this,
            SLOT(onSampleRateChange(QString,int,int,int)));
    // The dialog's flags live only during the emission; onShowStateChange
    // runs inside it (both objects live on this thread).
    connect(settingsDialog, &Settings::sigShowStateChange, this, &MainWindow::onShowStateChange);
    connect(settingsDialog, &Settings::sigBlockSizeChange, this, [this](qint64 bytes) { streamBlockBytes = bytes; });
    connect(settingsDialog, &Settings::sigRingMemoryChange, this, [this](qint64 bytes) { streamRingBytes = bytes; });

    eyeChannel = ui->comBoxEyeChn->currentIndex();
    connectAxisRangeSnapshot();
}

void MainWindow::onbtnFFTClicked() {}

void MainWindow::oncomBoxFFT1WindowIndexChanged(int state)
{
    // Entries beyond the six computed windows fall back to the rectangular
    // one. Taken under dataMutex so that the frame in progress sees one
    // window throughout (the analysis state is read there without a lock of
    // its own).
    DataLock lock;
    analysis.setWindowType(state);
}

// Every enabled channel has its own frequency-response series; the list is
// only a display.
void MainWindow::oncomBoxFrequencyRspChnIndexChanged(int) {}

void MainWindow::oncomBoxEyeChnIndexChanged(int index)
{
    DataLock lock;
    for (int c = 0; c < 4; ++c) {
        if (QtCharts::QXYSeries* series = panel(h452::Panel::Eye).series[std::size_t(c)])
            series->clear();
        frameMailbox.discardEye(c);
        eyeHits[std::size_t(c)].clear();
    }
    // The persistence kept beside the series starts over with them.
    analysis.clearEyeSeries();
    eyeChannel = index;
    fitAxesPending = true;
    showEyeImage();
}

void MainWindow::onbtnForceClicked() {}

void MainWindow::createEyeSeries() {}
