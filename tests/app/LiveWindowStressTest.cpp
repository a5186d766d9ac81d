// The live window under load: Run toggled many times while frames of all four
// channels flow into every panel, single acquisitions in between, and the
// window closed while it acquires. A deadlock fails by time-out, a race or a
// use after free by crash or sanitizer report. H452_STRESS_FACTOR scales the
// number of toggles for long runs.
#include "mainwindow.h"
#include "WindowDriver.h"

#include "InteractiveChartView.h"
#include "WorkThread.h"

#include <QAction>
#include <QChart>
#include <QLineSeries>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using QtCharts::QXYSeries;

namespace {

constexpr int kWaitMs = 30000;

} // namespace

TEST(LiveWindowStress, RunToggledWhileFramesFlowThenClosedWhileAcquiring)
{
    testsupport::WindowDriver driver;
    int toggles = 40;
    if (const char* f = std::getenv("H452_STRESS_FACTOR"))
        toggles *= std::max(1, std::atoi(f));

    driver.openWindow();
    std::unique_ptr<MainWindow>& window = driver.window;
    auto* thread = window->findChild<WorkThread*>();
    ASSERT_TRUE(QTest::qWaitFor([&] { return thread->isRunning(); }, kWaitMs));

    // Auto set-up from the menu: all four channels, still running.
    auto* autoButton = window->findChild<QToolButton*>(QStringLiteral("tbtnAuto"));
    ASSERT_NE(autoButton->menu(), nullptr);
    // The button reports a menu choice while its menu is open; emit what it
    // would report.
    emit autoButton->triggered(autoButton->menu()->actions().first());
    EXPECT_EQ(autoButton->text(), QStringLiteral("自动"));
    EXPECT_TRUE(thread->isRunning());
    for (const char* name : {"btnMeasurementsShow", "btnFrequencyShow", "btnFrequencyRspShow",
                             "btnConstellationShow", "btnEyeShow"})
        window->findChild<QPushButton*>(QString::fromLatin1(name))->click();
    ASSERT_TRUE(driver.waitFrames(2, 3, kWaitMs));

    auto* run = window->findChild<QPushButton*>(QStringLiteral("btnRun"));
    auto* single = window->findChild<QPushButton*>(QStringLiteral("btnSingle"));
    for (int i = 0; i < toggles; ++i) {
        run->click();   // stop
        ASSERT_FALSE(thread->isRunning());
        if (i % 5 == 0)
            single->click();
        run->click();   // start again
        ASSERT_TRUE(thread->isRunning());
        ASSERT_TRUE(driver.waitFrames(1, 3, kWaitMs)) << "no frame after restart " << i;
    }

    // Closing while acquiring: the destructor stops the thread and waits for
    // it before anything the frame processing uses goes away.
    ASSERT_TRUE(thread->isRunning());
    window->close();
    window.reset();
    SUCCEED();
}
