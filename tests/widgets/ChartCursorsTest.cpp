// Measuring cursors over a chart view, driven through real mouse events on
// the viewport: a drag on a line moves only that line, a drag elsewhere pans
// as without cursors, and values stay in axis units through pan, zoom and a
// new range. Dragged values are checked to within a pixel of the axis
// arithmetic (the event positions are whole pixels).
#include "ChartCursors.h"
#include "InteractiveChartView.h"

#include <QApplication>
#include <QChart>
#include <QGraphicsLineItem>
#include <QLineSeries>
#include <QMouseEvent>
#include <QTest>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using QtCharts::QChart;
using QtCharts::QLineSeries;
using QtCharts::QValueAxis;

namespace {

struct CursorFixture
{
    QChart* chart = new QChart();
    QValueAxis* x = new QValueAxis();
    QValueAxis* y = new QValueAxis();
    QLineSeries* series = new QLineSeries();
    std::unique_ptr<InteractiveChartView> view;
    ChartCursors* cursors = nullptr;

    CursorFixture()
    {
        x->setRange(0, 1000);
        y->setRange(-100, 100);
        chart->addAxis(x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
        series->append({{0, 1}, {10, 2}, {20, 3}});
        view = std::make_unique<InteractiveChartView>(chart);
        view->resize(800, 600);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        cursors = new ChartCursors(view.get());
    }

    // Viewport position of a value pair.
    QPoint at(double vx, double vy) const
    {
        return view->mapFromScene(chart->mapToScene(chart->mapToPosition(QPointF(vx, vy))));
    }

    // The cursor lines: the chart's line items (nothing else in it draws one).
    QList<QGraphicsLineItem*> lines() const
    {
        QList<QGraphicsLineItem*> out;
        for (QGraphicsItem* item : chart->childItems())
            if (auto* line = qgraphicsitem_cast<QGraphicsLineItem*>(item))
                out.append(line);
        return out;
    }

    void drag(QPoint from, QPoint to)
    {
        QWidget* port = view->viewport();
        QMouseEvent press(QEvent::MouseButtonPress, from, port->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(port, &press);
        QMouseEvent move(QEvent::MouseMove, to, port->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(port, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, to, port->mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(port, &release);
    }
};

}  // namespace

TEST(ChartCursors, OffByDefaultThenThirdsOfTheView)
{
    CursorFixture f;
    EXPECT_FALSE(f.cursors->isActive());
    ASSERT_EQ(f.lines().size(), ChartCursors::kLineCount);
    for (QGraphicsLineItem* item : f.lines())
        EXPECT_FALSE(item->isVisible());
    // Off, a drag anywhere pans as before.
    f.drag(f.at(500, 0), f.at(400, 0));
    EXPECT_GT(f.x->min(), 50.0);
    f.x->setRange(0, 900);
    f.y->setRange(-150, 150);
    f.cursors->setActive(true);
    EXPECT_DOUBLE_EQ(f.cursors->value(ChartCursors::X1), 300);
    EXPECT_DOUBLE_EQ(f.cursors->value(ChartCursors::X2), 600);
    EXPECT_DOUBLE_EQ(f.cursors->value(ChartCursors::Y1), -50);
    EXPECT_DOUBLE_EQ(f.cursors->value(ChartCursors::Y2), 50);
}

TEST(ChartCursors, DragOnALineMovesItAndElsewherePans)
{
    CursorFixture f;
    f.cursors->setActive(true);
    ASSERT_TRUE(f.cursors->setValue(ChartCursors::X1, 200));
    ASSERT_TRUE(f.cursors->setValue(ChartCursors::Y2, 40));

    // On the x1 line: x1 follows the mouse, the axes stay.
    f.drag(f.at(200, 0), f.at(250, 0));
    EXPECT_NEAR(f.cursors->value(ChartCursors::X1), 250, 2.0);  // within a pixel (about 1.3 units)
    EXPECT_EQ(f.x->min(), 0.0);
    EXPECT_EQ(f.cursors->grabbedLine(), -1);
    // On the y2 line (away from the vertical ones).
    f.drag(f.at(100, 40), f.at(100, 60));
    EXPECT_NEAR(f.cursors->value(ChartCursors::Y2), 60, 1.0);
    EXPECT_EQ(f.y->min(), -100.0);

    // Off the lines: the view pans and every cursor keeps its value.
    const double x1 = f.cursors->value(ChartCursors::X1);
    const double y2 = f.cursors->value(ChartCursors::Y2);
    f.drag(f.at(900, -80), f.at(800, -80));
    EXPECT_GT(f.x->min(), 50.0);
    f.view->zoom(0.5, 400);
    f.x->setRange(-500, 2000);  // as a fit would
    EXPECT_EQ(f.cursors->value(ChartCursors::X1), x1);
    EXPECT_EQ(f.cursors->value(ChartCursors::Y2), y2);
    // The line is drawn where its value now is.
    QGraphicsLineItem* line = nullptr;
    for (QGraphicsLineItem* item : f.lines())
        if (item->isVisible() && std::fabs(item->line().x1() - f.chart->mapToPosition(QPointF(x1, 0)).x()) < 0.5)
            line = item;
    EXPECT_NE(line, nullptr);
}

TEST(ChartCursors, TypedValuesOutsideTheAxisOrNotNumbersAreRefused)
{
    CursorFixture f;
    f.cursors->setActive(true);
    const double before = f.cursors->value(ChartCursors::X2);
    for (const char* text : {"", "abc", "nan", "inf", "-1", "1000.5", "1e308"})
        EXPECT_FALSE(f.cursors->setValueText(ChartCursors::X2, QString::fromLatin1(text))) << text;
    EXPECT_FALSE(f.cursors->setValue(ChartCursors::Y1, std::nan("")));
    EXPECT_FALSE(f.cursors->setValue(ChartCursors::Y1, 101));
    EXPECT_EQ(f.cursors->value(ChartCursors::X2), before);
    EXPECT_TRUE(f.cursors->setValueText(ChartCursors::X2, QStringLiteral(" 12.5 ")));
    EXPECT_EQ(f.cursors->value(ChartCursors::X2), 12.5);

    // Readouts follow typed values and read the trace at the nearest point.
    f.cursors->setReadout([](const ChartCursors& c) { return QString::number(c.value(ChartCursors::X2)); });
    EXPECT_EQ(f.cursors->readoutText(), QStringLiteral("12.5"));
    EXPECT_EQ(ChartCursors::valueAt(f.series, 12.5), 2.0);
    EXPECT_EQ(ChartCursors::valueAt(f.series, 16), 3.0);
    EXPECT_TRUE(std::isnan(ChartCursors::valueAt(nullptr, 1)));
}
