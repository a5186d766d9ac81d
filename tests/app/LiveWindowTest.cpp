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

#include <QAbstractItemView>
#include <QApplication>
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFrame>
#include <QImage>
#include <QMouseEvent>
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
    // The five series and the eye's kept points of a channel.
    const auto sixOf = [this](int c) {
        std::vector<std::size_t> n;
        for (QXYSeries* s : {series(Time, c), series(Frequency, c), series(FrequencyRsp, c),
                             series(Constellation, c), overview(c)})
            n.push_back(std::size_t(s->count()));
        n.push_back(eyePoints(c));
        return n;
    };
    const auto allEmpty = [&](int c) {
        const std::vector<std::size_t> n = sixOf(c);
        return std::all_of(n.begin(), n.end(), [](std::size_t k) { return k == 0; });
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const std::vector<std::size_t> n = sixOf(2);
            return std::none_of(n.begin(), n.end(), [](std::size_t k) { return k == 0; });
        },
        kWaitMs));

    // The eye's traces stay apart: the separators between them survive the
    // hand-off (kept, but counting no hit).
    EXPECT_GT(eyePoints(2), window->eyeHistory(2).image().total());
    // The Eye panel's CSV comes from those kept traces (its series stay
    // empty), an empty row between traces.
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(window->exportPanelData(int(h452::Panel::Eye), dir.filePath("eye.csv"), &error))
        << error.toStdString();
    QFile eyeCsv(dir.filePath("eye.csv"));
    ASSERT_TRUE(eyeCsv.open(QIODevice::ReadOnly));
    const QString eyeText = QString::fromUtf8(eyeCsv.readAll());
    EXPECT_TRUE(eyeText.contains(QStringLiteral("channel,x,y\n2,"))) << eyeText.left(300).toStdString();
    EXPECT_TRUE(eyeText.contains(QStringLiteral("\n\n2,")));

    get<QCheckBox>("checkBoxChn2")->setChecked(false);
    EXPECT_TRUE(allEmpty(2));
    EXPECT_EQ(get<QLabel>("labChn2Color")->styleSheet(),
              QStringLiteral("background-color: rgb(247, 247, 247);"));
    // Frames that were on their way bring no stale points back.
    ASSERT_TRUE(waitFrames(3));
    EXPECT_TRUE(allEmpty(2));

    get<QCheckBox>("checkBoxChn2")->setChecked(true);
    EXPECT_EQ(get<QLabel>("labChn2Color")->styleSheet(),
              QStringLiteral("background-color: rgb(237,11,244);"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return series(Time, 2)->count() > 0; }, kWaitMs));

    // Changing the eye channel empties every eye series.
    ASSERT_TRUE(QTest::qWaitFor([&] { return eyePoints(2) > 0; }, kWaitMs));
    stop();
    get<QComboBox>("comBoxEyeChn")->setCurrentIndex(0);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(eyePoints(c), 0u);
        EXPECT_TRUE(window->eyeHistory(c).image().isEmpty());
    }
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

// The drop-down entries follow the form's style in a title-bar list and in
// the control column: the selected entry (163, 199, 216) inside an accent
// border, the others white, and dark readable text in every entry, also once
// the pointer has moved the selection to another entry.
TEST_F(LiveWindow, ChoiceListEntriesAreDrawnInTheFormsStyle)
{
    togglePanel(Eye);
    const QColor selected(163, 199, 216), accent(67, 134, 186), white(255, 255, 255);
    const auto near = [](QColor a, QColor b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) <= 12;
    };
    // Fill at the entry's right end (clear of the text), border at its left
    // edge, and whether a dark text pixel lies inside.
    struct Entry {
        QColor fill, border;
        bool text;
    };
    const auto entry = [](QAbstractItemView* list, int row) {
        const QImage image = list->viewport()->grab().toImage();
        const QRect r = list->visualRect(list->model()->index(row, 0));
        Entry e{image.pixelColor(r.right() - 3, r.center().y()), image.pixelColor(r.left(), r.center().y()),
                false};
        for (int x = r.left() + 2; x < r.right() - 2; ++x)
            for (int y = r.top() + 2; y < r.bottom() - 2; ++y)
                e.text = e.text || image.pixelColor(x, y).value() < 90;
        return e;
    };
    for (const char* name : {"comBoxEyeChn", "comBoxSource"}) {
        SCOPED_TRACE(name);
        auto* box = get<QComboBox>(name);
        box->setCurrentIndex(0);
        box->showPopup();
        QAbstractItemView* list = box->view();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
        Entry current = entry(list, 0);
        EXPECT_TRUE(near(current.fill, selected)) << current.fill.name().toStdString();
        EXPECT_TRUE(near(current.border, accent)) << current.border.name().toStdString();
        EXPECT_TRUE(current.text);

        // The pointer moves to entry 2: it takes the selected look, entry 0
        // turns white and stays readable.
        const QPoint at = list->visualRect(list->model()->index(2, 0)).center();
        QMouseEvent move(QEvent::MouseMove, at, list->viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &move);
        QHoverEvent hover(QEvent::HoverMove, at, at);
        QApplication::sendEvent(list->viewport(), &hover);
        const Entry hovered = entry(list, 2);
        current = entry(list, 0);
        EXPECT_TRUE(near(hovered.fill, selected)) << hovered.fill.name().toStdString();
        EXPECT_TRUE(near(hovered.border, accent)) << hovered.border.name().toStdString();
        EXPECT_TRUE(hovered.text);
        EXPECT_TRUE(near(current.fill, white)) << current.fill.name().toStdString();
        EXPECT_TRUE(current.text);
        box->hidePopup();
        EXPECT_EQ(box->currentIndex(), 0);   // looking is not choosing
    }
}

// The eye is drawn from its hit counts: in the channel colour on screen, kept
// through a new axis range (a fit), and in other colours with the colour scale.
TEST_F(LiveWindow, EyeImageShowsAndSurvivesAFit)
{
    togglePanel(Eye);
    ASSERT_TRUE(QTest::qWaitFor([&] { return eyePoints(0) > 0; }, kWaitMs));
    stop();
    const std::uint64_t hits = window->eyeHistory(0).image().total();
    const QColor colour(240, 228, 66);   // channel 0
    const auto pixelsIn = [&](const QColor& c) {
        const QImage img = view(Eye)->grab().toImage();
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += img.pixelColor(x, y) == c;
        return n;
    };
    EXPECT_GT(pixelsIn(colour), 0);

    // A fit sets new ranges on the eye's y axis: same counts, still drawn.
    axis(Eye, Qt::Vertical)->setRange(-20000, 20000);
    EXPECT_EQ(window->eyeHistory(0).image().total(), hits);
    EXPECT_GT(pixelsIn(colour), 0);

    get<QComboBox>("comBoxEyeLook")->setCurrentIndex(1);
    EXPECT_EQ(pixelsIn(colour), 0);
    EXPECT_EQ(window->eyeHistory(0).image().total(), hits);
}

// The figures beside the constellation: off at start; on without a symbol
// rate every value is absent with the reason; with a symbol rate (the
// simulated channel 2 is a square wave: 5000 samples at 10 MBd are 50
// "symbols") the values are numbers. Their correctness is the analysis
// tests' business. The eye's switch shows its own readout.
TEST_F(LiveWindow, PictureFiguresShowBesideConstellationAndEye)
{
    stop();
    get<QLineEdit>("editXPosValue")->setText(QStringLiteral("5000"));
    get<QCheckBox>("checkBoxChn2")->setChecked(true);
    togglePanel(Constellation);
    auto* figures = get<QComboBox>("comBoxConstellationFigures");
    auto* readout = view(Constellation)->findChild<QFrame*>(QStringLiteral("figureReadout"));
    ASSERT_NE(readout, nullptr);
    EXPECT_EQ(figures->currentIndex(), 0);
    get<QPushButton>("btnSingle")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return series(Constellation, 2)->count() > 0; }, kWaitMs));
    EXPECT_FALSE(readout->isVisible());

    figures->setCurrentIndex(1);
    auto* evm = readout->findChild<QLabel*>(QStringLiteral("figureValue0_2"));
    ASSERT_NE(evm, nullptr);
    get<QPushButton>("btnSingle")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return readout->isVisible() && !evm->text().isEmpty(); }, kWaitMs));
    EXPECT_EQ(evm->text(), QStringLiteral("—"));
    EXPECT_EQ(evm->toolTip(), QStringLiteral("未设置符号率"));

    get<QLineEdit>("editConstellationSymbolRate")->setText(QStringLiteral("10"));
    EXPECT_EQ(get<QComboBox>("comBoxConstellationSymbolUnit")->currentText(), QStringLiteral("MBd"));
    get<QPushButton>("btnSingle")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return evm->text().endsWith(QStringLiteral(" %")); }, kWaitMs));
    EXPECT_TRUE(evm->toolTip().isEmpty());
    EXPECT_TRUE(readout->findChild<QLabel*>(QStringLiteral("figureValue10_2"))->text().toInt() >= 20);

    figures->setCurrentIndex(0);
    EXPECT_FALSE(readout->isVisible());

    togglePanel(Eye);
    auto* eyeReadout = view(Eye)->findChild<QFrame*>(QStringLiteral("figureReadout"));
    ASSERT_NE(eyeReadout, nullptr);
    get<QComboBox>("comBoxEyeFigures")->setCurrentIndex(1);
    auto* traces = eyeReadout->findChild<QLabel*>(QStringLiteral("figureValue9_0"));
    get<QPushButton>("btnSingle")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return eyeReadout->isVisible() && traces->text().toInt() > 0; }, kWaitMs));
}
