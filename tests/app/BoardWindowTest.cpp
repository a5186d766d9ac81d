// The whole window against the emulated board (offscreen): the trigger-source
// and rate handlers' register writes in the board's trace, the views filled
// from board data in each trigger mode, a lower rate from the settings dialog
// reaching the board and the spectrum, and "连续传输" recording the board's
// stream to disk sample-exact, replayed by "本地文件读取". Every wait is on a
// condition with a time-out.
#include "mainwindow.h"
#include "EmulatedBoard.h"
#include "RecordingMeta.h"
#include "WindowDriver.h"

#include "DeviceState.h"
#include "InteractiveChartView.h"
#include "KelPcieApi.h"
#include "LomPcieEmulatorControl.h"
#include "Settings.h"
#include "WorkThread.h"

#include <QApplication>
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QValueAxis>
#include <QXYSeries>

#include <gtest/gtest.h>

#include "LogCapture.h"

#include <memory>
#include <mutex>

using QtCharts::QValueAxis;
using QtCharts::QXYSeries;

namespace {

using namespace testsupport;
constexpr int kWaitMs = kWindowWaitMs;

// A window on a fresh emulated board (one board found, trace in a temporary
// folder that is also the working directory, where recordings land).
class BoardWindow : public ::testing::Test, protected WindowDriver {
protected:
    void start(bool ramp)
    {
        ASSERT_TRUE(dir.isValid());
        previousDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
        trace = dir.filePath(QStringLiteral("trace.txt"));
        EmulatedBoardSetup setup;
        setup.trace = trace;
        setup.pattern = ramp ? "ramp" : nullptr;
        EmulatedBoard::configure(setup);
        openWindow();
        ASSERT_NE(deviceHandle, 0u) << "the emulated board was not opened";
        // The default set-up starts a free-trigger acquisition from the board.
        ASSERT_TRUE(QTest::qWaitFor([this] { return series(Time, 0)->count() > 0; }, kWaitMs));
    }
    void TearDown() override
    {
        window.reset();
        EmulatedBoard::reset();
        if (!previousDir.isEmpty())
            QDir::setCurrent(previousDir);
    }

    QList<QByteArray> traceLines() { return EmulatedBoard::traceLines(trace); }
    bool traceHas(const QList<QByteArray>& sequence) { return EmulatedBoard::traceHas(trace, sequence); }
    Settings* settingsDialog()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* s = qobject_cast<Settings*>(w))
                return s;
        return nullptr;
    }
    QString channelFrequency(int channel)
    {
        auto* table = get<QTableWidget>("statTable");
        QMetaObject::invokeMethod(window.get(), "updateStatTableAndLabel");
        for (int row = 0; row < table->rowCount(); ++row)
            if (table->item(row, 0)->text() == QStringLiteral("通道 %1").arg(channel))
                return table->item(row, 6)->text();
        return QString();
    }

    QTemporaryDir dir;
    QString previousDir;
    QString trace;
};

} // namespace

TEST_F(BoardWindow, TriggerSourceHandlerArmsAndDisarmsContinuousTransfer)
{
    start(true);
    stop();
    QFile::remove(trace);
    auto* trigger = get<QComboBox>("comBoxTrigger");
    trigger->setCurrentIndex(acquisition::kModeContinuous);
    EXPECT_TRUE(traceHas({"W 788 0", "W 880 1", "W 768 1"}));
    QFile::remove(trace);
    trigger->setCurrentIndex(acquisition::kModeFreeTrigger);
    EXPECT_TRUE(traceHas({"W 768 0", "W 880 0"}));
    // Nothing is armed now: another source writes nothing.
    QFile::remove(trace);
    trigger->setCurrentIndex(acquisition::kModeExternalTrigger);
    EXPECT_TRUE(traceLines().isEmpty());
}

// A rate typed into the settings dialog: its registers reach the board as one
// sequence, and both the board's signal and the spectrum follow. Channel 0
// carries the board's 10 MHz tone: it reads 10 MHz at 1 GS/s and at 62.5 MS/s
// only when the board samples at the new rate (else 160 MHz) and frame
// processing scales with it (else 0.625 MHz).
TEST_F(BoardWindow, ALowerRateFromTheSettingsDialogReachesBoardAndSpectrum)
{
    start(false);
    togglePanel(Measurements);
    togglePanel(Frequency);
    ASSERT_TRUE(QTest::qWaitFor([&] { return channelFrequency(0) == QStringLiteral("10.00"); }, kWaitMs))
        << channelFrequency(0).toStdString();
    stop();

    Settings* dialog = settingsDialog();
    ASSERT_NE(dialog, nullptr);
    QSignalSpy chosen(dialog, &Settings::sigSampleRateChange);
    QFile::remove(trace);
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("editSampleRate"));
    auto* apply = dialog->findChild<QPushButton*>(QStringLiteral("btnSampleRate"));
    ASSERT_NE(edit, nullptr);
    ASSERT_NE(apply, nullptr);
    edit->setText(QStringLiteral("62.5MS/s"));
    apply->click();
    ASSERT_EQ(chosen.count(), 1);
    const QList<QVariant> args = chosen.takeFirst();
    const int mode = args.at(1).toInt();
    const int code = args.at(2).toInt();
    const int factor = args.at(3).toInt();
    QList<QByteArray> expected{"W 512 " + QByteArray::number(quint32(mode))};
    if (mode >= 0)
        expected << "W 272 " + QByteArray::number(code);
    if (factor >= 4 && factor <= 4000)
        expected << "W 276 " + QByteArray::number(factor);
    EXPECT_EQ(traceLines(), expected);
    EXPECT_EQ(get<QLabel>("labRateValue")->text(), args.at(0).toString());

    get<QPushButton>("btnRun")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return channelFrequency(0) == QStringLiteral("10.00"); }, kWaitMs))
        << channelFrequency(0).toStdString();
    // The spectrum's axis spans at most half the new rate, 31.25 MHz.
    get<QPushButton>("btnSingle")->click();
    auto* x = static_cast<QValueAxis*>(view(Frequency)->chart()->axes(Qt::Horizontal).first());
    EXPECT_LE(x->max(), 31.25 + 1e-6);
    EXPECT_GT(x->max(), 20.0);
}

// Every view fills from board data in free-run, and edge and external
// triggers capture frames.
TEST_F(BoardWindow, ViewsFillFromTheBoardInEveryTriggerMode)
{
    start(false);
    stop();
    for (const char* name : {"checkBoxChn1", "checkBoxChn2", "checkBoxChn3"})
        get<QCheckBox>(name)->click();
    for (int panel : {Frequency, Constellation, Eye})
        togglePanel(panel);
    auto* trigger = get<QComboBox>("comBoxTrigger");
    for (int mode : {acquisition::kModeFreeTrigger, acquisition::kModeEdgeTrigger,
                     acquisition::kModeExternalTrigger}) {
        SCOPED_TRACE(mode);
        trigger->setCurrentIndex(mode);
        get<QPushButton>("btnRun")->click();
        ASSERT_TRUE(running());
        EXPECT_TRUE(waitFrames(2));
        stop();
    }
    for (int channel = 0; channel < 4; ++channel)
        EXPECT_GT(series(Time, channel)->count(), 0) << channel;
    EXPECT_GT(pointsIn(Frequency), 0);
    EXPECT_GT(pointsIn(Constellation), 0);
    EXPECT_GT(eyePoints(0), 0u);
}

// "连续传输" records the board's ramp from unit 0: word w of the file is
// w mod 65536 throughout (no repeated, skipped or misplaced unit). Choosing
// "本地文件读取" and that file, a single acquisition shows its first record.
TEST_F(BoardWindow, RecordsTheBoardStreamAndReplaysIt)
{
    start(true);
    stop();
    const int n = thread()->recordLength();
    ASSERT_GT(n, 0);
    auto* trigger = get<QComboBox>("comBoxTrigger");
    trigger->setCurrentIndex(acquisition::kModeContinuous);
    get<QPushButton>("btnRun")->click();
    QString recording;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QStringList files = QDir(dir.path()).entryList({QStringLiteral("samples_*.bin")});
            if (files.isEmpty())
                return false;
            recording = dir.filePath(files.front());
            return QFileInfo(recording).size() >= 400 * 8192;
        },
        kWaitMs));
    get<QPushButton>("btnRun")->click();
    ASSERT_FALSE(running());

    QFile file(recording);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size() % 8192, 0);
    const auto* words = reinterpret_cast<const uchar*>(bytes.constData());
    for (int w = 0; w < bytes.size() / 2; ++w)
        ASSERT_EQ(words[2 * w] | (words[2 * w + 1] << 8), w & 0xffff) << "word " << w;

    // The recorder finishes the file and its metadata in the background.
    // Wait for that before the dialog's helper is queued: a wait that spins
    // the event loop would run the helper before the dialog exists.
    ASSERT_TRUE(QTest::qWaitFor([&] { return recordingmeta::readFor(recording).complete; }, kWaitMs));
    // The file dialog of the local-file choice: pick the recording.
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }, kWaitMs));
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(recording);
        static_cast<QDialog*>(dialog)->accept();
    });
    const QString configuredRate = get<QLabel>("labRateValue")->text();
    trigger->setCurrentIndex(acquisition::kModeLocalFile);
    EXPECT_EQ(QFileInfo(thread()->localFilePath()).canonicalFilePath(),
              QFileInfo(recording).canonicalFilePath());
    // The recording's own rate is shown, marked as the file's.
    EXPECT_TRUE(get<QLabel>("labRateValue")->text().contains(QStringLiteral("文件")));
    // Channel 0 of the first record: word (i / 4) * 16 + i % 4, from 0 up to
    // that of sample n - 1 (n below 8192, so no word passes 32767).
    get<QPushButton>("btnSingle")->click();
    QXYSeries* trace0 = series(Time, 0);
    ASSERT_GT(trace0->count(), 0);
    double low = 1e9, high = -1e9;
    for (const QPointF& p : trace0->pointsVector()) {
        low = std::min(low, p.y());
        high = std::max(high, p.y());
    }
    EXPECT_EQ(low, 0.0);
    EXPECT_EQ(high, double((n - 1) / 4 * 16 + (n - 1) % 4));
    // Another source brings the configured rate back.
    trigger->setCurrentIndex(acquisition::kModeFreeTrigger);
    EXPECT_EQ(get<QLabel>("labRateValue")->text(), configuredRate);
}

// Bad input at the board: a DDR4 address that is not hexadecimal, a rate text
// without a unit, an edge trigger that never fires. Each gives its log line,
// nothing crashes, and Stop returns (here the library's time-out is 60000
// polls without sleeps).
TEST_F(BoardWindow, BadInputLogsAndStopStillReturns)
{
    qputenv("LOMPCIE_TRIGGER_DELAY_MS", "never");
    qputenv("KELPCIE_POLL_SLEEP_US", "0");
    start(true);
    stop();
    LogCapture log;

    get<QLineEdit>("editDDR4Value")->setText(QStringLiteral("xyz"));
    QFile::remove(trace);
    get<QPushButton>("btnSingle")->click();
    EXPECT_EQ(log.countContaining(QStringLiteral("DDR4地址无效")), 1);
    EXPECT_TRUE(traceHas({"W 788 0"}));  // the capture starts at address 0

    Settings* dialog = settingsDialog();
    ASSERT_NE(dialog, nullptr);
    emit dialog->sigSampleRateChange(QStringLiteral("500MS/s"), 1, 0, -1);
    emit dialog->sigSampleRateChange(QStringLiteral("fast"), 1, 0, -1);
    EXPECT_EQ(get<QLabel>("labRateValue")->text(), QStringLiteral("fast"));
    EXPECT_EQ(log.countContaining(QStringLiteral("sample rate text without a rate")), 1);

    get<QComboBox>("comBoxTrigger")->setCurrentIndex(acquisition::kModeEdgeTrigger);
    QSignalSpy frames(series(Time, 0), &QXYSeries::pointsReplaced);
    get<QPushButton>("btnRun")->click();
    ASSERT_TRUE(running());
    ASSERT_TRUE(QTest::qWaitFor([&] { return traceHas({"W 768 0", "W 768 4"}); }, kWaitMs));
    // Stop cancels a waiting capture rather than waiting for its time-out;
    // let one time out first so that its failure is logged.
    // With polls that only yield, time-outs come quickly and a busy machine
    // may log another before the click: count what Stop itself adds.
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.countContaining(QStringLiteral("fetch failed")) >= 1; }, kWaitMs));
    const int failedBeforeStop = log.countContaining(QStringLiteral("fetch failed"));
    get<QPushButton>("btnRun")->click();
    EXPECT_FALSE(running());
    QCoreApplication::processEvents();
    EXPECT_EQ(frames.count(), 0);
    EXPECT_EQ(log.countContaining(QStringLiteral("fetch failed")), failedBeforeStop);
}
