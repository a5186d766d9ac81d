// The main window's life on the offscreen platform: the title with and
// without a version, board discovery (none, two boards, the translation of
// the board text), the acquisition that starts on its own, and a close
// during a recording that stops both threads and leaves a complete file.
#include "DeviceState.h"
#include "EmulatedBoard.h"
#include "KelPcieApi.h"
#include "LomPcieEmulatorControl.h"
#include "WorkThread.h"
#include "mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include <gtest/gtest.h>

#include "LogCapture.h"

#include <memory>
#include <mutex>

namespace {

const QString kFormTitle = QStringLiteral("示波器控制台");

using testsupport::EmulatedBoard;
using testsupport::EmulatedBoardSetup;
using testsupport::LogCapture;

// Each test starts from a fresh emulator with the given boards and no open
// board in the device library.
class Lifecycle : public ::testing::Test {
protected:
    void configure(int boards, const QString& trace = QString())
    {
        EmulatedBoardSetup setup;
        setup.boards = boards;
        setup.trace = trace;
        EmulatedBoard::configure(setup);
        QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0.0"));
    }
    void TearDown() override { EmulatedBoard::reset(); }
    static WorkThread* acquisitionThread(MainWindow& w) { return w.findChild<WorkThread*>(); }
    static QComboBox* combo(MainWindow& w, const char* name) { return w.findChild<QComboBox*>(name); }
    static QLabel* label(MainWindow& w, const char* name) { return w.findChild<QLabel*>(name); }
};

QStringList traceLines(const QString& path, const QString& prefix)
{
    QStringList out;
    for (const QByteArray& line : EmulatedBoard::traceLines(path))
        if (line.startsWith(prefix.toLatin1()))
            out << QString::fromLatin1(line);
    return out;
}

} // namespace

TEST_F(Lifecycle, WithoutABoardTheWindowSimulatesAndStartsAcquiring)
{
    configure(0);
    MainWindow window;
    EXPECT_EQ(window.windowTitle(), kFormTitle + QStringLiteral(" v1.0.0.0"));
    EXPECT_EQ(deviceHandle, 0u);
    ASSERT_NE(combo(window, "comBoxDevType"), nullptr);
    EXPECT_EQ(combo(window, "comBoxDevType")->currentIndex(), 1);
    EXPECT_EQ(label(window, "labDevInfo")->text(), QStringLiteral("示范：模拟示波器 · H452(4通道)"));
    WorkThread* thread = acquisitionThread(window);
    ASSERT_NE(thread, nullptr);
    // Nothing runs before the event loop; the zero-delay set-up starts it.
    EXPECT_FALSE(thread->isRunning());
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(thread->isRunning(), 5000);
    EXPECT_EQ(thread->triggerMode(), acquisition::kModeFreeTrigger);
}

TEST_F(Lifecycle, AnEmptyVersionLeavesTheFormTitle)
{
    configure(0);
    QCoreApplication::setApplicationVersion(QString());
    MainWindow window;
    EXPECT_EQ(window.windowTitle(), kFormTitle);
}

TEST_F(Lifecycle, WithTwoBoardsOnlyTheFirstIsOpenedAndConvertersStartOnce)
{
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace.txt"));
    configure(2, trace);
    {
        MainWindow window;
        EXPECT_NE(deviceHandle, 0u);
        EXPECT_EQ(combo(window, "comBoxDevType")->currentIndex(), 0);
        EXPECT_EQ(label(window, "labDevInfo")->text(), QStringLiteral("示波器 · H452(4通道)"));
        // One board opened; the converter start-up (ending with 40 <- 0x3FFF)
        // ran once.
        EXPECT_EQ(traceLines(trace, QStringLiteral("O ")).size(), 1);
        EXPECT_EQ(traceLines(trace, QStringLiteral("W 40 16383")).size(), 1);
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(acquisitionThread(window)->isRunning(), 5000);
    }
    // The window's destructor stopped the board acquisition before returning.
    SUCCEED();
}

TEST_F(Lifecycle, WithoutABoardTheConvertersAreStillInitialised)
{
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace.txt"));
    configure(0, trace);
    MainWindow window;
    EXPECT_EQ(deviceHandle, 0u);
    EXPECT_EQ(traceLines(trace, QStringLiteral("O ")).size(), 0);
    // The writes reach no board, but the calls are made, in order, once.
    EXPECT_EQ(traceLines(trace, QStringLiteral("W 40 ")).size(), 1);
}

TEST_F(Lifecycle, TheBoardTextFollowsTheTranslation)
{
    const QString qm = QStringLiteral(H452_TRANSLATION_QM);
    if (!QFileInfo::exists(qm))
        GTEST_SKIP() << "translation not built";
    configure(1);
    QTranslator translator;
    ASSERT_TRUE(translator.load(qm));
    QCoreApplication::installTranslator(&translator);
    {
        MainWindow window;
        EXPECT_EQ(label(window, "labDevInfo")->text(), QStringLiteral("Oscilloscope · H452 (4 channels)"));
    }
    QCoreApplication::removeTranslator(&translator);
}

TEST_F(Lifecycle, ClosingDuringARecordingStopsBothThreadsAndCompletesTheFile)
{
    configure(0);
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    LogCapture log;
    QString file;
    {
        auto window = std::make_unique<MainWindow>();
        window->show();
        WorkThread* thread = acquisitionThread(*window);
        QTRY_VERIFY_WITH_TIMEOUT(thread->isRunning(), 5000);
        // Stop, choose continuous transfer, run: the ramp goes to disk.
        auto* run = window->findChild<QPushButton*>(QStringLiteral("btnRun"));
        ASSERT_NE(run, nullptr);
        run->click();
        QTRY_VERIFY_WITH_TIMEOUT(!thread->isRunning(), 5000);
        combo(*window, "comBoxTrigger")->setCurrentIndex(acquisition::kModeContinuous);
        // A ring of 16 MiB chosen in the settings is the one recorded through.
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = w->findChild<QComboBox*>(QStringLiteral("comBoxRingMemory")))
                box->setCurrentIndex(box->findData(qint64(16) << 20));
        run->click();
        QTRY_VERIFY_WITH_TIMEOUT(thread->isRunning(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(
            !QDir(dir.path()).entryList({QStringLiteral("samples_*.bin")}).isEmpty()
                && QFileInfo(dir.filePath(QDir(dir.path()).entryList({QStringLiteral("samples_*.bin")}).first())).size() > 0,
            10000);
        file = dir.filePath(QDir(dir.path()).entryList({QStringLiteral("samples_*.bin")}).first());
        // Close the window while both threads run.
        window.reset();
    }
    QDir::setCurrent(previous);
    const QStringList ended = log.lines().filter(QStringLiteral("recording ended"));
    ASSERT_EQ(ended.size(), 1) << "the recorder was not stopped";
    const qint64 size = QFileInfo(file).size();
    EXPECT_GT(size, 0);
    EXPECT_EQ(size % 8192, 0) << "a block was cut short";
    EXPECT_TRUE(ended.first().contains(QStringLiteral("blocks written %1").arg(size / 8192)));
    EXPECT_EQ(log.lines().filter(QStringLiteral("blocks of 8192 bytes, 2048 ring slots")).size(), 1);
    EXPECT_EQ(log.lines().filter(QStringLiteral("子线程结束")).size(), 2);
}
