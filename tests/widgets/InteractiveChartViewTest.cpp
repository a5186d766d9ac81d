// Pan and zoom arithmetic of the plot panels' chart view, driven through real
// mouse and wheel events on its viewport. Expected ranges are worked out by
// hand from the rule "the plot follows the mouse" and "the value under the
// mouse stays put"; the tolerance 1e-9 covers the rounding of the few
// floating-point operations involved.
#include "InteractiveChartView.h"

#include <QApplication>
#include <QChart>
#include <QCursor>
#include <QLineSeries>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QValueAxis>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>

using QtCharts::QChart;
using QtCharts::QLineSeries;
using QtCharts::QValueAxis;

namespace {

constexpr double kTol = 1e-9;

struct ViewFixture
{
    QChart* chart = new QChart();
    QValueAxis* x = new QValueAxis();
    QValueAxis* y = new QValueAxis();
    std::unique_ptr<InteractiveChartView> view;

    ViewFixture()
    {
        x->setRange(0, 1000);
        y->setRange(-425, 425);
        chart->addAxis(x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        auto* series = new QLineSeries();
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
        view = std::make_unique<InteractiveChartView>(chart);
        view->resize(800, 600);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }

    QWidget* port() const { return view->viewport(); }

    void mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent event(type, pos, port()->mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(port(), &event);
    }

    void wheel(QPoint pos, int deltaY)
    {
        QWheelEvent event(QPointF(pos), QPointF(port()->mapToGlobal(pos)), QPoint(), QPoint(0, deltaY),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(port(), &event);
    }
};

}  // namespace

TEST(InteractiveChartView, FindsTheValueAxesAndKeepsTheirInitialRanges)
{
    ViewFixture f;
    EXPECT_EQ(f.view->horizontalAxis(), f.x);
    EXPECT_EQ(f.view->verticalAxis(), f.y);
    EXPECT_EQ(f.view->initialXMin, 0.0);
    EXPECT_EQ(f.view->initialXMax, 1000.0);
    EXPECT_EQ(f.view->initialYMin, -425.0);
    EXPECT_EQ(f.view->initialYMax, 425.0);
    EXPECT_EQ(f.view->rubberBand(), QtCharts::QChartView::NoRubberBand);
    EXPECT_TRUE(f.view->hasMouseTracking());
    // The arithmetic below uses the view's width for positions on the viewport.
    ASSERT_EQ(f.port()->width(), 800);
}

TEST(InteractiveChartView, DragMovesThePlotWithTheMouse)
{
    ViewFixture f;
    f.mouse(QEvent::MouseButtonPress, QPoint(300, 300), Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(f.view->isPanning());
    EXPECT_EQ(f.view->cursor().shape(), Qt::ClosedHandCursor);

    // 80 px to the right on 800 px over a span of 1000: the range drops by 100.
    f.mouse(QEvent::MouseMove, QPoint(380, 300), Qt::NoButton, Qt::LeftButton);
    EXPECT_NEAR(f.x->min(), -100.0, kTol);
    EXPECT_NEAR(f.x->max(), 900.0, kTol);
    EXPECT_NEAR(f.y->min(), -425.0, kTol);

    // 60 px down on 600 px over a span of 850: the values rise by 85.
    f.mouse(QEvent::MouseMove, QPoint(380, 360), Qt::NoButton, Qt::LeftButton);
    EXPECT_NEAR(f.y->min(), -340.0, kTol);
    EXPECT_NEAR(f.y->max(), 510.0, kTol);
    EXPECT_NEAR(f.x->min(), -100.0, kTol);

    // Back to the start point: each move is measured from the last one.
    f.mouse(QEvent::MouseMove, QPoint(300, 300), Qt::NoButton, Qt::LeftButton);
    EXPECT_NEAR(f.x->min(), 0.0, kTol);
    EXPECT_NEAR(f.y->max(), 425.0, kTol);

    f.mouse(QEvent::MouseButtonRelease, QPoint(300, 300), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(f.view->isPanning());
    EXPECT_EQ(f.view->cursor().shape(), Qt::ArrowCursor);
    f.mouse(QEvent::MouseMove, QPoint(500, 100), Qt::NoButton, Qt::NoButton);
    EXPECT_NEAR(f.x->min(), 0.0, kTol);
    EXPECT_NEAR(f.y->min(), -425.0, kTol);
}

TEST(InteractiveChartView, OtherButtonsAndPlainMovesLeaveTheRangesAlone)
{
    ViewFixture f;
    f.mouse(QEvent::MouseMove, QPoint(100, 100), Qt::NoButton, Qt::NoButton);
    f.mouse(QEvent::MouseButtonPress, QPoint(100, 100), Qt::RightButton, Qt::RightButton);
    EXPECT_FALSE(f.view->isPanning());
    EXPECT_NE(f.view->cursor().shape(), Qt::ClosedHandCursor);
    f.mouse(QEvent::MouseMove, QPoint(300, 250), Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(f.x->min(), 0.0);
    EXPECT_EQ(f.x->max(), 1000.0);
    EXPECT_EQ(f.y->min(), -425.0);
    EXPECT_EQ(f.y->max(), 425.0);
}

TEST(InteractiveChartView, WheelZoomsTheHorizontalAxisAboutTheMouse)
{
    struct Case
    {
        int mouseX;
        int delta;
        double min;
        double max;
    };
    // Forward widens the span by 1.1, backward narrows it by 1/1.1; the value
    // under the mouse (x / 800 of the span) stays where it was.
    const Case cases[] = {
        {0, 120, 0.0, 1100.0},
        {800, 120, -100.0, 1000.0},
        {400, -120, 500.0 - 500.0 / 1.1, 500.0 + 500.0 / 1.1},  // about 45.45 .. 954.55
        {400, 0, 500.0 - 500.0 / 1.1, 500.0 + 500.0 / 1.1},     // a zero delta counts as backward
    };
    for (const Case& c : cases) {
        ViewFixture f;
        QSignalSpy zoomed(f.view.get(), &InteractiveChartView::sigZoomAxis);
        f.wheel(QPoint(c.mouseX, 300), c.delta);
        EXPECT_NEAR(f.x->min(), c.min, kTol) << "x " << c.mouseX << " delta " << c.delta;
        EXPECT_NEAR(f.x->max(), c.max, kTol) << "x " << c.mouseX << " delta " << c.delta;
        EXPECT_EQ(f.y->min(), -425.0);
        EXPECT_EQ(f.y->max(), 425.0);
        EXPECT_EQ(zoomed.count(), 1);
    }
}

TEST(InteractiveChartView, RepeatedZoomsCompose)
{
    ViewFixture f;
    f.view->zoom(1.1, 200);
    f.view->zoom(1.0 / 1.1, 200);
    // Out and in again about the same point returns to the start.
    EXPECT_NEAR(f.x->min(), 0.0, kTol);
    EXPECT_NEAR(f.x->max(), 1000.0, kTol);
}

TEST(InteractiveChartView, ChartWithoutAxesIgnoresDragsAndWheel)
{
    auto* chart = new QChart();
    InteractiveChartView view(chart);
    view.resize(400, 300);
    view.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(view.horizontalAxis(), nullptr);
    EXPECT_EQ(view.verticalAxis(), nullptr);
    QSignalSpy zoomed(&view, &InteractiveChartView::sigZoomAxis);
    QWidget* port = view.viewport();
    QMouseEvent press(QEvent::MouseButtonPress, QPoint(10, 10), QPoint(10, 10), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(port, &press);
    QMouseEvent move(QEvent::MouseMove, QPoint(90, 60), QPoint(90, 60), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(port, &move);
    QWheelEvent wheel(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(port, &wheel);
    view.zoom(1.1, 10);
    EXPECT_EQ(zoomed.count(), 0);
}

TEST(InteractiveChartView, NullChartIsAccepted)
{
    InteractiveChartView view(nullptr);
    EXPECT_EQ(view.horizontalAxis(), nullptr);
    view.zoom(0.9, 0);
}

// A left double-click returns the horizontal axis to its full range: the
// provider's when set, else the range at construction; a useless range from
// the provider leaves the axis alone. The vertical axis keeps its range.
TEST(InteractiveChartView, DoubleClickShowsTheFullRange)
{
    const struct {
        bool provider;
        double lo, hi;          // what the provider gives
        double wantLo, wantHi;  // the x range afterwards
    } cases[] = {
        {false, 0, 0, 0, 1000},
        {true, 0, 500, 0, 500},
        {true, 0, std::nan(""), 200, 300},
        {true, 7, 7, 200, 300},
    };
    for (const auto& c : cases) {
        ViewFixture f;
        if (c.provider)
            f.view->fullXRange = [&c] { return std::make_pair(c.lo, c.hi); };
        f.x->setRange(200, 300);
        f.y->setRange(-10, 10);
        QSignalSpy zoomed(f.view.get(), &InteractiveChartView::sigZoomAxis);
        f.mouse(QEvent::MouseButtonDblClick, QPoint(100, 100), Qt::LeftButton, Qt::LeftButton);
        EXPECT_EQ(f.x->min(), c.wantLo) << c.hi;
        EXPECT_EQ(f.x->max(), c.wantHi) << c.hi;
        EXPECT_EQ(f.y->min(), -10.0);
        EXPECT_EQ(zoomed.count(), c.wantLo == 200 ? 0 : 1);
        // Other buttons do nothing.
        f.x->setRange(200, 300);
        f.mouse(QEvent::MouseButtonDblClick, QPoint(100, 100), Qt::RightButton, Qt::RightButton);
        EXPECT_EQ(f.x->min(), 200.0);
    }
}
