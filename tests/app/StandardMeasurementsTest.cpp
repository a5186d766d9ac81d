// The measurements panel's standard view: off by default and the table's
// own view untouched, the switch and Reset in the title bar, the standard
// tables filled from frame processing with mean ± σ and warning icons, and
// in the table's view only the warnings' tooltip, computed on request.
#include "mainwindow.h"
#include "mainwindow_measurements.h"

#include "FrameProcessor.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// A panel as the form builds it: a title bar with a label, the table below.
struct Panel {
    QWidget root;
    QWidget* title = new QWidget(&root);
    QTableWidget* table = new QTableWidget(4, 9, &root);
    StandardMeasurementsView* view = nullptr;

    Panel()
    {
        auto* bar = new QHBoxLayout(title);
        bar->addWidget(new QLabel(QStringLiteral("测量"), title));
        bar->addStretch();
        auto* box = new QVBoxLayout(&root);
        box->addWidget(title);
        box->addWidget(table);
        for (int r = 0; r < 4; ++r)
            table->setItem(r, 0, new QTableWidgetItem(QStringLiteral("通道 %1").arg(r)));
        view = new StandardMeasurementsView(title, table, &root);
        root.show();
    }

    // Runs one frame of channel 0 through frame processing with the store.
    void frame(const std::vector<double>& ch0)
    {
        static h452::AxisRangeSnapshot ranges;
        static h452::FrameProcessor processor{ranges};
        static h452::AnalysisState state;
        std::atomic<bool> fitPending{false};
        h452::FrameSettings settings;
        settings.recordLength = int(ch0.size());
        settings.standardFigures = view->store();
        const double* ch[4] = {ch0.data(), nullptr, nullptr, nullptr};
        h452::FrameUpdate update;
        processor.process(state, ch, settings, fitPending, update);
    }
};

std::vector<double> tone(double amplitude, double wobble = 0.0)
{
    std::vector<double> x(4096);
    for (int i = 0; i < 4096; ++i)
        x[i] = std::round(amplitude * std::cos(2 * kPi * 301 * i / 4096.0) + wobble * ((i * 7919) % 5 - 2));
    return x;
}

const bool kChannel0[4] = {true, false, false, false};

TEST(StandardMeasurements, TheWindowStartsInTheTablesOwnView)
{
    MainWindow window;
    auto* view = window.findChild<StandardMeasurementsView*>();
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->standardShown());
    EXPECT_FALSE(view->viewSwitch()->isChecked());
    EXPECT_FALSE(view->resetButton()->isEnabled());
    EXPECT_EQ(view->viewSwitch()->parentWidget()->objectName(), QStringLiteral("widgetMeasurementsTitle"));
    EXPECT_FALSE(view->figureTable()->isVisibleTo(&window));
    auto* table = window.findChild<QTableWidget*>(QStringLiteral("statTable"));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->maximumHeight(), QWIDGETSIZE_MAX);
    for (int c = 0; c < table->columnCount(); ++c)
        EXPECT_FALSE(table->horizontalHeaderItem(c)->toolTip().isEmpty()) << c;
}

TEST(StandardMeasurements, StandardViewShowsFiguresStatisticsAndWarnings)
{
    Panel p;
    for (int c = 0; c < p.view->figureTable()->columnCount(); ++c)
        EXPECT_FALSE(p.view->figureTable()->horizontalHeaderItem(c)->toolTip().isEmpty()) << c;
    p.view->viewSwitch()->click();
    EXPECT_TRUE(p.view->store()->standardView());
    EXPECT_TRUE(p.view->figureTable()->isVisibleTo(&p.root));
    EXPECT_EQ(p.table->maximumHeight(), 0);  // kept in the layout, without height

    p.frame(tone(20000.0, 1.0));
    p.frame(tone(20000.0, 2.0));
    p.view->refresh(kChannel0);
    QTableWidget* t = p.view->figureTable();
    const h452::StandardFigureStore::Snapshot s = p.view->store()->snapshot();
    EXPECT_TRUE(s.channels[0].fit.valid);  // the fit runs in this view
    EXPECT_EQ(s.stats[0].figures[0].count(), 2);
    EXPECT_TRUE(t->item(0, 3)->text().contains(QStringLiteral(" ± "))) << t->item(0, 3)->text().toStdString();
    EXPECT_TRUE(t->item(0, t->columnCount() - 1)->toolTip().isEmpty());
    EXPECT_TRUE(p.view->harmonicTable()->item(0, 1)->text().contains(QStringLiteral(" @ ")));

    std::vector<double> clipped = tone(20000.0, 1.0);
    clipped[5] = 32767.0;
    p.frame(clipped);
    p.view->refresh(kChannel0);
    QTableWidgetItem* warnings = t->item(0, t->columnCount() - 1);
    EXPECT_TRUE(warnings->toolTip().contains(QStringLiteral("clipping")));
    EXPECT_FALSE(warnings->icon().isNull());

    p.view->resetButton()->click();
    EXPECT_EQ(p.view->store()->snapshot().stats[0].figures[0].count(), 0);
    p.frame(tone(20000.0, 1.0));
    EXPECT_EQ(p.view->store()->snapshot().stats[0].figures[0].count(), 1);

    // Collapsing the panel hides both views; back to the table's view.
    p.table->hide();
    EXPECT_FALSE(p.view->figureTable()->isVisibleTo(&p.root));
    EXPECT_FALSE(p.view->store()->standardView());  // nothing computed while collapsed
    p.table->show();
    EXPECT_TRUE(p.view->figureTable()->isVisibleTo(&p.root));
    p.view->viewSwitch()->click();
    EXPECT_EQ(p.table->maximumHeight(), QWIDGETSIZE_MAX);
    EXPECT_FALSE(p.view->figureTable()->isVisibleTo(&p.root));
}

TEST(StandardMeasurements, TheTablesViewComputesOnlyWarningsOnRequest)
{
    Panel p;
    p.frame(tone(20000.0, 1.0));
    EXPECT_FALSE(p.view->store()->snapshot().valid);  // nothing runs per frame in this view
    p.view->refresh(kChannel0);                        // asks for one frame
    std::vector<double> clipped = tone(20000.0, 1.0);
    clipped[5] = -32768.0;
    p.frame(clipped);
    const h452::StandardFigureStore::Snapshot s = p.view->store()->snapshot();
    ASSERT_TRUE(s.valid);
    EXPECT_FALSE(s.channels[0].fit.valid);
    EXPECT_EQ(s.stats[0].figures[0].count(), 0);
    p.view->refresh(kChannel0);
    EXPECT_TRUE(p.table->item(0, 0)->toolTip().contains(QStringLiteral("clipping")));
    EXPECT_EQ(p.table->item(0, 0)->text(), QStringLiteral("通道 0"));
}

}  // namespace
