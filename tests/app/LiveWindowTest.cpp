// The live window driven through its real widgets on the offscreen platform:
// run control and its looks, the single acquisition (simulated and replayed),
// channel switches, record length, time span and zoom, panel layout and tick
// counts. Every wait is on a condition with a time-out.
#include "mainwindow.h"
#include "WindowDriver.h"

#include "ChartToLabelConverter.h"
#include "InteractiveChartView.h"
#include "SampleFile.h"
#include "Settings.h"
#include "WorkThread.h"
#include "Writer.h"

#include <QApplication>
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

using QtCharts::QValueAxis;
using QtCharts::QXYSeries;

struct LiveWindowProbe {
    static Writer* writer(MainWindow& w) { return w.writer; }
};

namespace {

using namespace testsupport;
constexpr int kWaitMs = kWindowWaitMs;

class LiveWindow : public ::testing::Test, protected WindowDriver {
protected:
    void SetUp() override
    {
        openWindow();
        // The default set-up runs at the first event-loop pass and starts
        // acquisition; the first frame then reaches the time series.
        ASSERT_TRUE(QTest::qWaitFor([this] { return series(Time, 0)->count() > 0; }, kWaitMs));
    }

    void TearDown() override { window.reset(); }
};

} // namespace

TEST_F(LiveWindow, StartsRunningWithChannelZeroAndTheTimePanel)
{
    EXPECT_TRUE(thread()->isRunning());
    EXPECT_TRUE(isRunningLook());
    EXPECT_TRUE(get<QCheckBox>("checkBoxChn0")->isChecked());
    EXPECT_FALSE(get<QCheckBox>("checkBoxChn1")->isChecked());
    EXPECT_EQ(get<QPushButton>("btnTimeShow")->text(), QStringLiteral("V"));
    EXPECT_TRUE(view(Time)->isVisible());
    // The simulated channel 0 arrives whole in the overview strip.
    EXPECT_EQ(overview(0)->count(), 1000);
    EXPECT_EQ(series(Time, 1)->count(), 0);
}

TEST_F(LiveWindow, AutoSetupMeasuresTheFourSimulatedSignals)
{
    auto* autoButton = get<QToolButton>("tbtnAuto");
    // The button reports a menu choice while its menu is open.
    emit autoButton->triggered(autoButton->menu()->actions().first());
    EXPECT_TRUE(thread()->isRunning());
    togglePanel(Measurements);
    auto* table = get<QTableWidget>("statTable");
    const auto frequencies = [table] {
        QStringList f;
        for (int c = 0; c < 4; ++c)
            for (int row = 0; row < table->rowCount(); ++row)
                if (table->item(row, 0)->text() == QStringLiteral("通道 %1").arg(c))
                    f << table->item(row, 6)->text();
        return f;
    };
    const QStringList expected{"100.00", "20.00", "10.00", "10.00"};
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QMetaObject::invokeMethod(window.get(), "updateStatTableAndLabel");
            return frequencies() == expected;
        },
        kWaitMs))
        << frequencies().join(QLatin1Char(' ')).toStdString();
}

TEST_F(LiveWindow, RunButtonTogglesAcquisitionAndItsLooks)
{
    auto* run = get<QPushButton>("btnRun");
    auto* state = get<QLabel>("labWorkState");
    auto* length = get<QLineEdit>("editXPosValue");
    EXPECT_FALSE(length->isEnabled());

    run->click();
    EXPECT_FALSE(thread()->isRunning());
    EXPECT_EQ(state->text(), QStringLiteral("停止 ■"));
    EXPECT_EQ(state->styleSheet(), QStringLiteral("color: rgb(196, 33, 38);"));
    EXPECT_TRUE(run->styleSheet().contains(QStringLiteral("196, 33, 38")));
    EXPECT_EQ(run->text(), QStringLiteral("启/停"));
    for (const char* name : {"editXPosValue", "editDDR4Value", "comBoxTrigger", "editLevel",
                             "comBoxSlope", "editHysteresis"})
        EXPECT_TRUE(get<QWidget>(name)->isEnabled()) << name;

    run->click();
    EXPECT_TRUE(thread()->isRunning());
    EXPECT_EQ(state->text(), QStringLiteral("触发 ┙﹉┕"));
    EXPECT_EQ(state->styleSheet(), QStringLiteral("color: rgb(32, 178, 91);"));
    EXPECT_TRUE(run->styleSheet().contains(QStringLiteral("32, 178, 91")));
    EXPECT_FALSE(length->isEnabled());
    EXPECT_TRUE(waitFrames(2));
}

TEST_F(LiveWindow, SingleWhileRunningStopsThenShowsOneRecord)
{
    togglePanel(Measurements);
    get<QCheckBox>("checkBoxChn2")->setChecked(true);
    get<QPushButton>("btnSingle")->click();
    EXPECT_FALSE(thread()->isRunning());
    EXPECT_FALSE(isRunningLook());
    // The single record is applied at once: 1000 samples of a 20 MHz sine.
    ASSERT_EQ(overview(0)->count(), 1000);
    // The table is refreshed once a second, and not while the window still
    // settles from its first show; ask for refreshes until one lands.
    auto* table = get<QTableWidget>("statTable");
    const auto frequencyCell = [table](int channel) -> QString {
        const QString label = QStringLiteral("通道 %1").arg(channel);
        for (int row = 0; row < table->rowCount(); ++row)
            if (table->item(row, 0) && table->item(row, 0)->text() == label)
                return table->item(row, 6) ? table->item(row, 6)->text() : QString();
        return QString();
    };
    // Channel 0 of the single record is a 20 MHz sine, channel 2 a 10 MHz
    // square wave: each figure must land on its own channel's row although
    // the table sorts its rows.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QMetaObject::invokeMethod(window.get(), "updateStatTableAndLabel");
            return frequencyCell(0) == QStringLiteral("20.00");
        },
        kWaitMs))
        << frequencyCell(0).toStdString();
    EXPECT_EQ(frequencyCell(2), QStringLiteral("10.00"));
    EXPECT_EQ(frequencyCell(1), QStringLiteral("0.00"));   // disabled: left as it was
    // The user sorts by frequency (a header click): the next refreshes still
    // write each channel into its own row.
    table->sortItems(6, Qt::DescendingOrder);
    for (int refresh = 0; refresh < 2; ++refresh)
        QMetaObject::invokeMethod(window.get(), "updateStatTableAndLabel");
    EXPECT_EQ(frequencyCell(0), QStringLiteral("20.00"));
    EXPECT_EQ(frequencyCell(2), QStringLiteral("10.00"));
    for (int c = 0; c < 4; ++c)
        EXPECT_FALSE(frequencyCell(c).isEmpty()) << "row of channel " << c << " lost its label";
    // Nothing queued from the stopped run overwrites it later.
    const QPointF first = overview(0)->at(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(overview(0)->at(0), first);
    EXPECT_FALSE(thread()->isRunning());
}

TEST_F(LiveWindow, SingleReplaysRecordsOfTheLocalFileInTurn)
{
    stop();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("three.bin"));
    {
        // Three records of 1000 samples; channel 0 holds 100, 200, 300.
        const int n = 3000;
        std::vector<std::int16_t> c0(n), zero(n, 0);
        for (int i = 0; i < n; ++i)
            c0[i] = std::int16_t(100 * (i / 1000 + 1));
        const std::int16_t* chans[4] = {c0.data(), zero.data(), zero.data(), zero.data()};
        std::vector<std::uint8_t> bytes(std::size_t(samplefile::packedBytes(n)));
        samplefile::packSamples(chans, n, bytes.data());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    }
    thread()->setLocalFilePath(path);
    auto* trigger = get<QComboBox>("comBoxTrigger");
    // Choosing the entry by hand would open the file dialog.
    trigger->blockSignals(true);
    trigger->setCurrentIndex(4);
    trigger->blockSignals(false);

    for (double expected : {100.0, 200.0, 300.0, 100.0}) {
        get<QPushButton>("btnSingle")->click();
        ASSERT_EQ(overview(0)->count(), 1000);
        EXPECT_EQ(overview(0)->at(500).y(), expected);
    }
}

TEST_F(LiveWindow, ChannelSwitchClearsAllSixSeriesAtOnce)
{
    for (int p : {Frequency, FrequencyRsp, Constellation, Eye})
        togglePanel(p);
    // Channel 2's 10 MHz line must lie inside the frequency-response range.
    axis(FrequencyRsp, Qt::Horizontal)->setRange(0, 500);
    get<QComboBox>("comBoxEyeChn")->setCurrentIndex(2);
    get<QCheckBox>("checkBoxChn2")->setChecked(true);
    const auto sixOf = [this](int c) {
        return std::vector<QXYSeries*>{series(Time, c),          series(Frequency, c),
                                       series(FrequencyRsp, c),  series(Constellation, c),
                                       series(Eye, c),           overview(c)};
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (QXYSeries* s : sixOf(2))
                if (s->count() == 0)
                    return false;
            return true;
        },
        kWaitMs));

    // The eye's traces stay apart: the NaN points between them survive the
    // hand-off (a series drops them when they are appended one by one).
    const QVector<QPointF> eye = series(Eye, 2)->pointsVector();
    EXPECT_TRUE(std::any_of(eye.begin(), eye.end(), [](const QPointF& p) { return std::isnan(p.x()); }));

    get<QCheckBox>("checkBoxChn2")->setChecked(false);
    for (QXYSeries* s : sixOf(2))
        EXPECT_EQ(s->count(), 0);
    EXPECT_EQ(get<QLabel>("labChn2Color")->styleSheet(),
              QStringLiteral("background-color: rgb(247, 247, 247);"));
    // Frames that were on their way bring no stale points back.
    ASSERT_TRUE(waitFrames(3));
    for (QXYSeries* s : sixOf(2))
        EXPECT_EQ(s->count(), 0);

    get<QCheckBox>("checkBoxChn2")->setChecked(true);
    EXPECT_EQ(get<QLabel>("labChn2Color")->styleSheet(),
              QStringLiteral("background-color: rgb(237,11,244);"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return series(Time, 2)->count() > 0; }, kWaitMs));

    // Changing the eye channel empties every eye series.
    ASSERT_TRUE(QTest::qWaitFor([&] { return series(Eye, 2)->count() > 0; }, kWaitMs));
    stop();
    get<QComboBox>("comBoxEyeChn")->setCurrentIndex(0);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(series(Eye, c)->count(), 0);
}

TEST_F(LiveWindow, RecordLengthHasAFloorOfOneHundred)
{
    stop();
    auto* edit = get<QLineEdit>("editXPosValue");
    QValueAxis* x = axis(Time, Qt::Horizontal);
    edit->setText(QStringLiteral("5"));
    EXPECT_EQ(edit->text(), QStringLiteral("100"));
    EXPECT_EQ(x->min(), 0.0);
    EXPECT_EQ(x->max(), 100.0);
    get<QPushButton>("btnSingle")->click();
    EXPECT_EQ(overview(0)->count(), 100);

    edit->setText(QStringLiteral("2000"));
    EXPECT_EQ(x->max(), 2000.0);
    get<QPushButton>("btnSingle")->click();
    EXPECT_EQ(overview(0)->count(), 2000);

    // A length beyond the edit's six digits (pasted around the validator)
    // is held at the largest one instead of allocating without bound.
    edit->setText(QStringLiteral("12345678"));
    EXPECT_EQ(edit->text(), QStringLiteral("999999"));

    edit->setText(QString());
    EXPECT_EQ(x->min(), 0.0);
    EXPECT_EQ(x->max(), 0.0);
    // An empty record: a single acquisition acquires nothing and survives.
    get<QPushButton>("btnSingle")->click();
}

TEST_F(LiveWindow, TimeSpanListAndZoomButtons)
{
    stop();
    QValueAxis* x = axis(Time, Qt::Horizontal);
    auto* span = get<QComboBox>("comBoxTimeSpan");

    x->setRange(0, 1000);
    span->setCurrentIndex(7);
    EXPECT_EQ(x->min(), 0.0);
    EXPECT_EQ(x->max(), 140.0);
    span->setCurrentIndex(0);   // "X" changes nothing
    EXPECT_EQ(x->max(), 140.0);

    x->setRange(0, 1000);
    get<QPushButton>("btnUp")->click();
    EXPECT_DOUBLE_EQ(x->max(), 900.0);
    EXPECT_EQ(span->currentIndex(), 45);

    x->setRange(0, 2400);
    get<QPushButton>("btnDown")->click();
    EXPECT_DOUBLE_EQ(x->max(), 2640.0);
    EXPECT_EQ(span->currentIndex(), 0);   // 132.5 is past 120: "X"

    // The list follows the zoom without running its own slot: 0..1010
    // zoomed to 0..909 shows index 45, and the axis stays at 909.
    x->setRange(0, 1010);
    get<QPushButton>("btnUp")->click();
    EXPECT_EQ(span->currentIndex(), 45);
    EXPECT_DOUBLE_EQ(x->max(), 909.0);

    // Mouse zoom: only the time view's signal reaches the list.
    x->setRange(0, 600);
    emit view(Frequency)->sigZoomAxis();
    EXPECT_EQ(span->currentIndex(), 45);
    emit view(Time)->sigZoomAxis();
    EXPECT_EQ(span->currentIndex(), 30);
}

TEST_F(LiveWindow, ShowButtonsShareTheSplitterAmongExpandedPanels)
{
    stop();
    auto* splitter = get<QSplitter>("plotSplitter");
    togglePanel(Frequency);
    EXPECT_EQ(get<QPushButton>("btnFrequencyShow")->text(), QStringLiteral("V"));
    auto* widgetFrequency = get<QWidget>("widgetFrequency");
    auto* widgetEye = get<QWidget>("widgetEye");
    // The relayout runs once the window has settled from its first show.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return widgetEye->maximumHeight() == 30 && widgetFrequency->maximumHeight() > 30; },
        kWaitMs));
    QCoreApplication::processEvents();
    const QList<int> sizes = splitter->sizes();
    ASSERT_EQ(sizes.size(), 6);
    EXPECT_NEAR(sizes[Time], sizes[Frequency], 1);
    EXPECT_GT(sizes[Time], 100);
    for (int p : {Measurements, FrequencyRsp, Constellation, Eye}) {
        EXPECT_EQ(get<QWidget>(kPanelWidgets[p])->maximumHeight(), 30) << p;
        EXPECT_LE(sizes[p], 30) << p;
    }

    // Collapse both: every panel shrinks to its title bar.
    togglePanel(Time);
    togglePanel(Frequency);
    EXPECT_EQ(get<QPushButton>("btnTimeShow")->text(), QStringLiteral(">"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return widgetFrequency->maximumHeight() == 30; }, kWaitMs));
    for (const char* name : kPanelWidgets)
        EXPECT_EQ(get<QWidget>(name)->maximumHeight(), 30) << name;
    EXPECT_FALSE(view(Time)->isVisible());
}

TEST_F(LiveWindow, TickCountsFollowTheViewHeights)
{
    stop();
    togglePanel(Frequency);
    QValueAxis* timeY = axis(Time, Qt::Vertical);
    QValueAxis* spectrumY = axis(Frequency, Qt::Vertical);
    const auto relayoutWith = [&](int timeHeight, int spectrumHeight) {
        view(Time)->setFixedHeight(timeHeight);
        view(Frequency)->setFixedHeight(spectrumHeight);
        QCoreApplication::processEvents();
        // Any show button restarts the relayout, which posts the tick pass.
        togglePanel(Measurements);
    };

    spectrumY->setTickCount(9);
    relayoutWith(90, 400);
    ASSERT_TRUE(QTest::qWaitFor([&] { return timeY->tickCount() == 3; }, kWaitMs));
    // A squeezed view ends the pass (which runs whole once the time axis has
    // its count): the spectrum keeps its count.
    EXPECT_EQ(spectrumY->tickCount(), 9);

    relayoutWith(200, 400);
    ASSERT_TRUE(QTest::qWaitFor([&] { return timeY->tickCount() == 5; }, kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return spectrumY->tickCount() == 11; }, kWaitMs));

    relayoutWith(400, 120);
    ASSERT_TRUE(QTest::qWaitFor([&] { return timeY->tickCount() == 11; }, kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return spectrumY->tickCount() == 3; }, kWaitMs));
}

TEST_F(LiveWindow, SettingsPanelSwitchesHideWholePanels)
{
    Settings* dialog = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<Settings*>(w))
            dialog = s;
    ASSERT_NE(dialog, nullptr);
    bool show[10] = {true, false, true, true, true, true, false, false, false, false};
    emit dialog->sigShowStateChange(show);
    EXPECT_TRUE(get<QWidget>("widgetMeasurements")->isHidden());
    EXPECT_FALSE(get<QWidget>("widgetTime")->isHidden());
}

TEST_F(LiveWindow, DraggingSuspendsTheOverviewUntilTheMoveSettles)
{
    auto* strip = get<ChartToLabelConverter>("labTimePlot");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !strip->paintSuspended; }, kWaitMs));
    window->move(window->pos() + QPoint(15, 10));
    QCoreApplication::processEvents();
    EXPECT_TRUE(strip->paintSuspended);
    // 300 ms after the last move the strip paints again.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !strip->paintSuspended; }, kWaitMs));
}

TEST_F(LiveWindow, MaximisingRelaysOutThePanels)
{
    auto* eye = get<QWidget>("widgetEye");
    ASSERT_TRUE(QTest::qWaitFor([&] { return eye->maximumHeight() == 30; }, kWaitMs));
    eye->setMaximumHeight(77);   // disturbed; only a relayout restores it
    window->showMaximized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return eye->maximumHeight() == 30; }, kWaitMs));
}

TEST_F(LiveWindow, SampleRateFromTheDialogReachesFrameProcessing)
{
    stop();
    togglePanel(Measurements);
    Settings* dialog = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<Settings*>(w))
            dialog = s;
    ASSERT_NE(dialog, nullptr);
    auto* table = get<QTableWidget>("statTable");
    const auto frequencyAfterSingle = [&] {
        get<QPushButton>("btnSingle")->click();
        QString text;
        static_cast<void>(QTest::qWaitFor(
            [&] {
                QMetaObject::invokeMethod(window.get(), "updateStatTableAndLabel");
                for (int row = 0; row < table->rowCount(); ++row)
                    if (table->item(row, 0)->text() == QStringLiteral("通道 0"))
                        text = table->item(row, 6)->text();
                return text != QStringLiteral("0.00");
            },
            kWaitMs));
        return text;
    };
    // The single record's channel 0 repeats every 50 samples.
    emit dialog->sigSampleRateChange(QStringLiteral("500MS/s"), 1, 0, -1);
    EXPECT_EQ(get<QLabel>("labRateValue")->text(), QStringLiteral("500MS/s"));
    EXPECT_EQ(frequencyAfterSingle(), QStringLiteral("10.00"));
    // A rate of zero would divide every frequency by zero: refused.
    emit dialog->sigSampleRateChange(QStringLiteral("0MS/s"), 1, 0, -1);
    EXPECT_EQ(frequencyAfterSingle(), QStringLiteral("10.00"));
    emit dialog->sigSampleRateChange(QStringLiteral("62.5 MS/s"), 1, 0, -1);
    EXPECT_EQ(frequencyAfterSingle(), QStringLiteral("1.25"));
}

TEST_F(LiveWindow, StopEndsTheRecordingEvenAfterTheSourceListChanged)
{
    stop();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Writer* writer = LiveWindowProbe::writer(*window);
    ASSERT_NE(writer, nullptr);
    int files = 0;
    writer->setFileNamer([&dir, &files] { return dir.filePath(QStringLiteral("rec%1.bin").arg(files++)); });
    auto* trigger = get<QComboBox>("comBoxTrigger");
    trigger->setCurrentIndex(2);   // continuous transfer; no board, so no registers
    get<QPushButton>("btnRun")->click();
    ASSERT_TRUE(thread()->isRunning());
    ASSERT_TRUE(writer->isRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(dir.filePath("rec0.bin")).size() > 0; }, kWaitMs));
    // Feedback beside the run state while recording: bytes grow, rate shown.
    auto* feedback = window->findChild<QLabel*>(QStringLiteral("labRecording"));
    ASSERT_NE(feedback, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return feedback->isVisible() && !feedback->text().contains(" 0.0 MB "); }, kWaitMs))
        << feedback->text().toStdString();
    EXPECT_TRUE(feedback->text().contains(QStringLiteral("MB/s")));

    // Another source chosen while streaming, then Stop: the recording ends
    // with the stream that fed it instead of keeping its file open.
    trigger->setCurrentIndex(0);
    get<QPushButton>("btnRun")->click();
    EXPECT_FALSE(thread()->isRunning());
    // The recorder drains and closes in the background.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !writer->isRunning(); }, kWaitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !feedback->isVisible(); }, kWaitMs));
}
