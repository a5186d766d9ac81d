// MainWindow's life: the construction order, board discovery with the
// fallback to simulation, the acquisition and recording threads with their
// shared block ring, the timers, and the shutdown that stops both threads
// before anything they use goes away.
#include "mainwindow.h"

#include "ui_mainwindow.h"

#include "BlockRing.h"
#include "DeviceState.h"
#include "KelPcieApi.h"
#include "Settings.h"
#include "WorkThread.h"
#include "Writer.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QLabel>
#include <QStyledItemDelegate>
#include <QTimer>

#include <cstring>

namespace {
// The timers' intervals, set once here; mainwindow_panels.cpp restarts the
// timers with them.
constexpr int kStatIntervalMs = 1000;
constexpr int kMoveSettleMs = 300;
constexpr int kLayoutDelayMs = 1;
constexpr int kDevTypeBoard = 0;
constexpr int kDevTypeSimulation = 1;
} // namespace

MainWindow::MainWindow() : QMainWindow(nullptr)
{
    setupForm();
    setupCharts();
    setupConnections();
    setupInstruments();
    setupDeviceAndThreads();
}

MainWindow::~MainWindow()
{
    stopAcquisitionAndRecording();
    delete ui;
    ui = nullptr;
    // Both threads have ended, so nothing uses the ring any more.
    delete writer;
    writer = nullptr;
    delete blockRing;
    blockRing = nullptr;
    delete settingsDialog;
    settingsDialog = nullptr;
}

void MainWindow::setupForm()
{
    ui = new Ui::MainWindow;
    ui->setupUi(this);
    // The form's title plus the program version ("示波器控制台 v1.0.0.0");
    // without a version the form's title stands alone.
    const QString version = QCoreApplication::applicationVersion();
    if (!version.isEmpty())
        setWindowTitle(QStringLiteral("%1 v%2").arg(windowTitle(), version));
    // A combo box draws its drop-down entries with its own menu-like
    // delegate, which ignores the style sheet's item rules (the current entry
    // came out in the platform's highlight, the hovered one unreadable). A
    // styled delegate draws each entry by those rules: selected and hovered
    // in (163, 199, 216) with the accent border, black text throughout.
    for (QComboBox* box : findChildren<QComboBox*>())
        box->setItemDelegate(new QStyledItemDelegate(box));
}

void MainWindow::setupDeviceAndThreads()
{
    running = false;

    workThread = new WorkThread(this);
    connect(workThread, &WorkThread::sigSendData, this, &MainWindow::onDealData,
            Qt::DirectConnection);

    blockRing = new BlockRing(BlockRing::kDefaultSlotCount, BlockRing::kDefaultSlotBytes);
    workThread->setBlockRing(blockRing);

    writer = new Writer(blockRing, QStringLiteral("samples.bin"), int(BlockRing::kDefaultSlotBytes));

    // The scalar state starts at its initial values through the member
    // initialisers; the frequency-response store follows the record length.
    analysis.resetFrequencyResponse(recordLength);

    discoverBoard();
    // The converters are initialised even without a board (the calls then
    // reach no hardware and change nothing).
    KelPcieInitADDAC(deviceHandle);

    statTimer = new QTimer(this);
    connect(statTimer, &QTimer::timeout, this, &MainWindow::updateStatTableAndLabel);
    statTimer->setInterval(kStatIntervalMs);
    statTimer->start();

    windowMoving = false;

    moveSettleTimer = new QTimer(this);
    moveSettleTimer->setSingleShot(true);
    moveSettleTimer->setInterval(kMoveSettleMs);
    connect(moveSettleTimer, &QTimer::timeout, this, [this]() { onWindowMoveSettled(); });

    layoutTimer = new QTimer(this);
    layoutTimer->setSingleShot(true);
    layoutTimer->setInterval(kLayoutDelayMs);
    connect(layoutTimer, &QTimer::timeout, this, &MainWindow::relayoutPanels);

    QTimer::singleShot(0, Qt::PreciseTimer, this, &MainWindow::applyDefaultSetup);
}

void MainWindow::discoverBoard()
{
    SlomPXIDevInfo records[KELPCIE_MAX_DEVICES];
    std::memset(records, 0, sizeof records);
    uint32_t count = 0;
    KelPcieFindDevs(records, &count);

    if (count > 0) {
        // The driver's record should end its resource text with a NUL; do
        // not trust it to.
        char resource[sizeof records[0].resource + 1];
        std::memcpy(resource, records[0].resource, sizeof records[0].resource);
        resource[sizeof records[0].resource] = '\0';
        int32_t connection = 0;
        const int32_t status = KelPcieInit(resource, 0, 0, &connection);
        deviceHandle = quint32(connection);
        if (deviceHandle == 0) {
            // A board that was listed but would not open leaves us simulating;
            // say so instead of showing a board that delivers nothing.
            qDebug().noquote() << "board open failed" << resource << status << KelPcieStatusName(status);
        }
    }

    if (deviceHandle != 0) {
        ui->comBoxDevType->setCurrentIndex(kDevTypeBoard);
        ui->labDevInfo->setText(tr("示波器 · H452(4通道)"));
    } else {
        ui->comBoxDevType->setCurrentIndex(kDevTypeSimulation);
    }
}

void MainWindow::stopAcquisitionAndRecording()
{
    // Ordered before what follows (the destructor frees the ring the
    // thread pushed into): see stopAndWait().
    if (workThread)
        workThread->stopAndWait();
    // A recording ends with the acquisition that feeds it, whatever the
    // trigger list shows now: left running it would keep its file open with
    // nothing more to write. The recorder drains what the ring still holds
    // into this recording's file and closes it in the background, so the
    // window shows "stopped" at once; the next Run (and the destructor)
    // waits for it.
    if (writer && writer->isRunning())
        writer->requestStop();
}
