// Drives the real main window through its widgets, as a user would: finds a
// panel, its view, axes and series by the form's object names, and presses
// Run. Shared by the window tests; every wait is on a condition with a
// time-out.
#pragma once

#include "mainwindow.h"

#include "ChartToLabelConverter.h"
#include "InteractiveChartView.h"
#include "WorkThread.h"

#include <QChart>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QValueAxis>
#include <QXYSeries>

#include <gtest/gtest.h>

#include <memory>

namespace testsupport {

// Generous: sanitizer builds on a shared 2-core machine.
constexpr int kWindowWaitMs = 20000;

// The panels top to bottom, as the window stacks them, with the object
// names of their widgets and show buttons in the form.
enum PanelIndex { Time, Measurements, Frequency, FrequencyRsp, Constellation, Eye };
inline constexpr const char* kPanelWidgets[] = {"widgetTime", "widgetMeasurements", "widgetFrequency",
                                                "widgetFrequencyRsp", "widgetConstellation", "widgetEye"};
inline constexpr const char* kShowButtons[] = {"btnTimeShow", "btnMeasurementsShow", "btnFrequencyShow",
                                               "btnFrequencyRspShow", "btnConstellationShow", "btnEyeShow"};

class WindowDriver {
public:
    // A window of the size the tests lay out against, shown.
    void openWindow()
    {
        window = std::make_unique<MainWindow>();
        window->resize(1600, 1000);
        window->show();
    }

    template <typename T>
    T* get(const char* name)
    {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    InteractiveChartView* view(int panel)
    {
        return get<QWidget>(kPanelWidgets[panel])->findChild<InteractiveChartView*>();
    }
    QtCharts::QXYSeries* series(int panel, int channel)
    {
        return static_cast<QtCharts::QXYSeries*>(view(panel)->chart()->series().at(channel));
    }
    // Points over every series of a panel's chart.
    int pointsIn(int panel)
    {
        int n = 0;
        for (auto* s : view(panel)->chart()->series())
            n += static_cast<QtCharts::QXYSeries*>(s)->count();
        return n;
    }
    // Points of a channel's eye as kept for its hit counts (the eye's line
    // series stay empty).
    std::size_t eyePoints(int channel) { return window->eyeHistory(channel).size(); }
    QtCharts::QValueAxis* axis(int panel, Qt::Orientation o)
    {
        return static_cast<QtCharts::QValueAxis*>(view(panel)->chart()->axes(o).first());
    }
    QtCharts::QXYSeries* overview(int channel)
    {
        auto* strip = get<ChartToLabelConverter>("labTimePlot");
        QtCharts::QXYSeries* const all[4] = {strip->series0, strip->series1, strip->series2, strip->series3};
        return all[channel];
    }
    void togglePanel(int panel)
    {
        get<QPushButton>(kShowButtons[panel])->click();
    }

    WorkThread* thread() { return window->findChild<WorkThread*>(); }
    bool running() { return thread()->isRunning(); }
    // Whether the run-state label shows the running look.
    bool isRunningLook() { return get<QLabel>("labWorkState")->text() == QStringLiteral("触发 ┙﹉┕"); }

    // Stops acquisition with the Run button and lets a frame that was still
    // on its way be applied, so that nothing changes the charts afterwards.
    void stop()
    {
        if (isRunningLook() || running())
            get<QPushButton>("btnRun")->click();
        ASSERT_FALSE(running());
        QCoreApplication::processEvents();
    }

    // Waits until `frames` more frames have replaced a channel's time trace.
    bool waitFrames(int frames, int channel = 0, int timeoutMs = kWindowWaitMs)
    {
        QSignalSpy spy(series(Time, channel), &QtCharts::QXYSeries::pointsReplaced);
        return QTest::qWaitFor([&] { return spy.count() >= frames; }, timeoutMs);
    }

    std::unique_ptr<MainWindow> window;
};

} // namespace testsupport
