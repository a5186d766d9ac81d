// The main window as built by its constructor, before the event loop runs
// (so before the default set-up starts acquisition): the object names and
// choice lists the slots rely on, the edits' validators and defaults, the
// record-length list, the measurements table, the five charts, the overview
// strip, the splitter, the switch images and the English translation.
#include "mainwindow.h"

#include "ChartCursors.h"
#include "ChartToLabelConverter.h"
#include "InteractiveChartView.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScatterSeries>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTranslator>
#include <QVBoxLayout>
#include <QValidator>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using QtCharts::QChart;
using QtCharts::QLineSeries;
using QtCharts::QScatterSeries;
using QtCharts::QValueAxis;
using QtCharts::QXYSeries;

namespace {

const QColor kChannelColours[4] = {QColor(240, 228, 66), QColor(86, 180, 233), QColor(237, 11, 244),
                                   QColor(0, 158, 115)};

template <typename T>
T* child(QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QStringList itemsOf(QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QStringList channelItems()
{
    return {QStringLiteral("通道 0"), QStringLiteral("通道 1"), QStringLiteral("通道 2"), QStringLiteral("通道 3")};
}

InteractiveChartView* viewIn(QWidget& window, const char* panel)
{
    QWidget* w = child<QWidget>(window, panel);
    return w ? w->findChild<InteractiveChartView*>() : nullptr;
}

QValueAxis* axisOf(QChart* chart, Qt::Orientation orientation)
{
    const auto axes = chart->axes(orientation);
    return axes.size() == 1 ? qobject_cast<QValueAxis*>(axes.first()) : nullptr;
}

QValidator::State validate(QLineEdit* edit, const char* text)
{
    QString s = QString::fromLatin1(text);
    int pos = 0;
    return edit->validator()->validate(s, pos);
}

}  // namespace

TEST(MainWindowForm, WindowAndColumnGeometry)
{
    MainWindow window;
    EXPECT_EQ(window.objectName(), QStringLiteral("MainWindow"));
    EXPECT_TRUE(window.windowTitle().startsWith(QStringLiteral("示波器控制台")));
    EXPECT_EQ(window.size(), QSize(1290, 861));
    auto* group = child<QGroupBox>(window, "groupOscilloscope");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->minimumSize(), QSize(344, 273));
    EXPECT_EQ(group->maximumSize(), QSize(344, 273));
    EXPECT_EQ(child<QScrollArea>(window, "scrollArea")->maximumWidth(), 344);
    EXPECT_EQ(child<QWidget>(window, "widgetPlot")->minimumWidth(), 654);
    EXPECT_EQ(child<QLabel>(window, "labTimePlot")->height(), 40);
    // The scrolling column is exactly as tall as its content.
    EXPECT_EQ(child<QWidget>(window, "scrollAreaWidgetContents")->height(),
              child<QWidget>(window, "widgetConfig")->height());
    auto* settingsButton = child<QPushButton>(window, "btnSettings");
    EXPECT_EQ(settingsButton->geometry(), QRect(310, 130, 24, 24));
    // The run-state label overlaps the settings button; the button must stay
    // on top, or the label would swallow its clicks.
    EXPECT_EQ(group->childAt(settingsButton->geometry().center()), settingsButton);
    EXPECT_EQ(group->childAt(QPoint(312, 133)), settingsButton);
    EXPECT_EQ(child<QLineEdit>(window, "editXPosValue")->geometry(), QRect(230, 183, 88, 24));
}

TEST(MainWindowForm, ChoiceListsTheSlotsRelyOn)
{
    MainWindow window;
    EXPECT_EQ(itemsOf(child<QComboBox>(window, "comBoxTrigger")),
              QStringList({QStringLiteral("自由触发"), QStringLiteral("边沿触发"), QStringLiteral("连续传输"),
                           QStringLiteral("外部触发"), QStringLiteral("本地文件读取")}));
    auto* slope = child<QComboBox>(window, "comBoxSlope");
    EXPECT_EQ(slope->count(), 11);
    EXPECT_EQ(slope->itemText(0), QStringLiteral("空闲模式"));
    EXPECT_EQ(slope->itemText(10), QStringLiteral("外部触发下降沿"));
    EXPECT_EQ(slope->currentIndex(), 1);
    EXPECT_EQ(itemsOf(child<QComboBox>(window, "comBoxConstellationType")),
              QStringList({"BPSK", "QPSK", "8PSK", "16QAM", "64QAM"}));
    EXPECT_EQ(itemsOf(child<QComboBox>(window, "comBoxEyeChn")), channelItems());
    EXPECT_EQ(itemsOf(child<QComboBox>(window, "comBoxFrequencyRspChn")), channelItems());
    EXPECT_EQ(itemsOf(child<QComboBox>(window, "comBoxSource")), channelItems());
    EXPECT_EQ(itemsOf(child<QComboBox>(window, "comBoxMode")),
              QStringList({QStringLiteral("自动"), QStringLiteral("正常")}));
    EXPECT_EQ(itemsOf(child<QComboBox>(window, "comBoxDevType")), QStringList({"H452", "Simulation"}));
    const QStringList windows = itemsOf(child<QComboBox>(window, "comBoxFFT1Window"));
    ASSERT_EQ(windows.size(), 11);
    EXPECT_EQ(windows.first(), QStringLiteral("Rectangular"));
    EXPECT_EQ(windows.at(5), QStringLiteral("Gaussian"));
    EXPECT_EQ(windows.last(), QStringLiteral("Low sidelobe"));
    for (const char* name : {"comBoxChn0Volts", "comBoxChn1Volts", "comBoxChn2Volts", "comBoxChn3Volts"}) {
        const QStringList volts = itemsOf(child<QComboBox>(window, name));
        ASSERT_EQ(volts.size(), 23) << name;
        EXPECT_EQ(volts.first(), QStringLiteral("1 mV"));
        EXPECT_EQ(volts.at(3), QStringLiteral("6.25 mV"));
        EXPECT_EQ(volts.last(), QStringLiteral("10 V"));
    }
}

TEST(MainWindowForm, WidgetsTheSlotsReachByName)
{
    MainWindow window;
    for (const char* name :
         {"btnRun", "btnSingle", "btnSettings", "btnUp", "btnDown", "btnForce", "btnSet", "btnFFT", "btnAAddB",
          "btnTimeShow", "btnMeasurementsShow", "btnFrequencyShow", "btnFrequencyRspShow", "btnConstellationShow",
          "btnEyeShow"})
        child<QPushButton>(window, name);
    for (const char* name : {"labWorkState", "labRateValue", "labDevInfo", "labDevType", "labChn0Color", "labChn3Num",
                             "labFFT1Color", "labFFT1Num", "labXPos", "labLevel", "labHysteresis"})
        child<QLabel>(window, name);
    for (const char* name : {"editXPosValue", "editDDR4Value", "editLevel", "editHysteresis"})
        child<QLineEdit>(window, name);
    for (const char* name : {"widgetTime", "widgetMeasurements", "widgetFrequency", "widgetFrequencyRsp",
                             "widgetConstellation", "widgetEye", "widgetTimeTitle", "widgetEyeTitle"})
        child<QWidget>(window, name);
    for (const char* name : {"btnTimeShow", "btnEyeShow", "btnMeasurementsShow"})
        EXPECT_EQ(child<QPushButton>(window, name)->text(), QStringLiteral(">"));
    // No board in the test environment: the discovery shows the simulation.
    EXPECT_EQ(child<QLabel>(window, "labDevInfo")->text(), QStringLiteral("示范：模拟示波器 · H452(4通道)"));
    EXPECT_EQ(child<QComboBox>(window, "comBoxDevType")->currentText(), QStringLiteral("Simulation"));
}

TEST(MainWindowForm, AutoButtonCarriesItsMenu)
{
    MainWindow window;
    auto* autoButton = child<QToolButton>(window, "tbtnAuto");
    ASSERT_NE(autoButton->menu(), nullptr);
    const auto actions = autoButton->menu()->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("自动设置"));
    EXPECT_EQ(actions[1]->text(), QStringLiteral("默认设置"));
    EXPECT_EQ(autoButton->text(), QStringLiteral("自动"));
    EXPECT_EQ(autoButton->popupMode(), QToolButton::MenuButtonPopup);
}

TEST(MainWindowForm, EditsValidateRecordLengthAndHexAddress)
{
    MainWindow window;
    auto* length = child<QLineEdit>(window, "editXPosValue");
    ASSERT_NE(length->validator(), nullptr);
    EXPECT_EQ(length->text(), QStringLiteral("1000"));
    EXPECT_EQ(validate(length, "10"), QValidator::Acceptable);
    EXPECT_EQ(validate(length, "999999"), QValidator::Acceptable);
    EXPECT_EQ(validate(length, "1000"), QValidator::Acceptable);
    EXPECT_EQ(validate(length, "5"), QValidator::Intermediate);  // one digit: still typing
    EXPECT_EQ(validate(length, "0123"), QValidator::Invalid);    // leading zero
    EXPECT_EQ(validate(length, "1000000"), QValidator::Invalid); // seven digits
    EXPECT_EQ(validate(length, "12a"), QValidator::Invalid);
    EXPECT_EQ(validate(length, "-12"), QValidator::Invalid);

    auto* ddr = child<QLineEdit>(window, "editDDR4Value");
    ASSERT_NE(ddr->validator(), nullptr);
    EXPECT_EQ(validate(ddr, "0"), QValidator::Acceptable);
    EXPECT_EQ(validate(ddr, ""), QValidator::Acceptable);
    EXPECT_EQ(validate(ddr, "abcDEF012345"), QValidator::Acceptable);
    EXPECT_EQ(validate(ddr, "abcDEF0123456"), QValidator::Invalid);  // thirteen digits
    EXPECT_EQ(validate(ddr, "0x12"), QValidator::Invalid);
    EXPECT_EQ(validate(ddr, "g"), QValidator::Invalid);

    EXPECT_EQ(child<QLineEdit>(window, "editLevel")->text(), QStringLiteral("100"));
    EXPECT_EQ(child<QLineEdit>(window, "editHysteresis")->text(), QStringLiteral("100"));
    EXPECT_EQ(child<QLabel>(window, "labXPos")->text(), QStringLiteral("采样点数"));
    EXPECT_EQ(child<QLabel>(window, "labLevel")->text(), QStringLiteral("触发阈值"));
    EXPECT_EQ(child<QLabel>(window, "labHysteresis")->text(), QStringLiteral("触发时间"));
}

TEST(MainWindowForm, RecordLengthListHasXAndOneTo120)
{
    MainWindow window;
    auto* span = child<QComboBox>(window, "comBoxTimeSpan");
    ASSERT_EQ(span->count(), 121);
    EXPECT_EQ(span->itemText(0), QStringLiteral("X"));
    for (int i = 1; i <= 120; ++i)
        ASSERT_EQ(span->itemText(i), QString::number(i)) << i;
    EXPECT_EQ(span->currentIndex(), 50);
    EXPECT_EQ(span->currentText(), QStringLiteral("50"));
}

TEST(MainWindowForm, MeasurementsTableStartsWithZeroFigures)
{
    MainWindow window;
    auto* table = child<QTableWidget>(window, "statTable");
    ASSERT_EQ(table->columnCount(), 9);
    ASSERT_EQ(table->rowCount(), 4);
    const QStringList headers = {QStringLiteral("通道"), "NSD(dBm)", "NSD(nV)", "SNR", "ENOB",
                                 "MAX(dBFS)", "Frequ(MHz)", "SFDR", "SINAD"};
    for (int c = 0; c < 9; ++c)
        EXPECT_EQ(table->horizontalHeaderItem(c)->text(), headers[c]);
    for (int r = 0; r < 4; ++r) {
        ASSERT_NE(table->item(r, 0), nullptr);
        EXPECT_EQ(table->item(r, 0)->text(), QStringLiteral("通道 %1").arg(r));
        for (int c = 1; c < 9; ++c) {
            ASSERT_NE(table->item(r, c), nullptr) << r << "," << c;
            EXPECT_EQ(table->item(r, c)->text(), QStringLiteral("0.00"));
        }
    }
    EXPECT_TRUE(table->isSortingEnabled());
    EXPECT_EQ(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(table->selectionMode(), QAbstractItemView::NoSelection);
    EXPECT_FALSE(table->verticalHeader()->isVisibleTo(table));
    EXPECT_TRUE(table->isHidden());
}

TEST(MainWindowForm, PanelsStartCollapsedAndSecondaryControlsHidden)
{
    MainWindow window;
    for (const char* panel : {"widgetTime", "widgetFrequency", "widgetFrequencyRsp", "widgetConstellation", "widgetEye"}) {
        InteractiveChartView* view = viewIn(window, panel);
        ASSERT_NE(view, nullptr) << panel;
        EXPECT_TRUE(view->isHidden()) << panel;
    }
    for (const char* name : {"widgetCh0", "widgetCh3", "btnChn0More", "btnTriggerConfig", "comBoxFFT1ChnSrc",
                             "btnFFT1More", "comBoxTimeChn", "btnMeasurementsAdd",
                             "btnFrequencyX", "btnFrequencyRspY", "btnEyeVisible", "btnFFT", "btnAAddB",
                             "comBoxFrequencyRspChn"})
        EXPECT_TRUE(child<QWidget>(window, name)->isHidden()) << name;
    EXPECT_FALSE(child<QWidget>(window, "comBoxFrequencyRspChn")->isEnabled());
    EXPECT_FALSE(child<QWidget>(window, "comBoxConstellationType")->isHidden());
    EXPECT_FALSE(child<QWidget>(window, "comBoxEyeChn")->isHidden());
    for (const char* name : {"labChn0Color", "labChn0Num", "labChn3Color", "labFFT1Num"})
        EXPECT_EQ(child<QLabel>(window, name)->styleSheet(), QStringLiteral("background-color: rgb(247, 247, 247);"))
            << name;
}

TEST(MainWindowForm, ChartsHaveTheirAxesAndChannelSeries)
{
    struct Expect
    {
        const char* panel;
        double xMin, xMax;
        int xTicks;
        const char* xTitle;
        double yMin, yMax;
        int yTicks;
        const char* yTitle;
        QMargins margins;
    };
    const Expect charts[] = {
        {"widgetTime", 0, 1000, 21, "", -425, 425, 9, "幅度(mv)", QMargins(5, 5, 5, 5)},
        {"widgetFrequency", 0, 500, 21, "频谱 (MHz)", -150, -30, 9, "幅度(dBm)", QMargins(5, 5, 5, 1)},
        {"widgetFrequencyRsp", 180, 220, 21, "频响 (MHz)", -50, -30, 11, "幅度(dBFS)", QMargins(5, 5, 5, 1)},
        {"widgetConstellation", -1.2, 1.2, 21, "I", -1.2, 1.2, 11, "Q", QMargins(5, 5, 5, 1)},
        {"widgetEye", 0, 1, 21, "", -50, -30, 11, "", QMargins(5, 5, 5, 5)},
    };
    MainWindow window;
    for (const Expect& e : charts) {
        SCOPED_TRACE(e.panel);
        InteractiveChartView* view = viewIn(window, e.panel);
        ASSERT_NE(view, nullptr);
        QChart* chart = view->chart();
        EXPECT_EQ(chart->backgroundBrush().color(), QColor(60, 60, 60));
        EXPECT_EQ(chart->plotAreaBackgroundBrush().color(), QColor(38, 38, 38));
        EXPECT_TRUE(chart->isPlotAreaBackgroundVisible());
        EXPECT_FALSE(chart->legend()->isVisible());
        EXPECT_EQ(chart->margins(), e.margins);
        EXPECT_FALSE(view->renderHints().testFlag(QPainter::Antialiasing));
        QValueAxis* x = axisOf(chart, Qt::Horizontal);
        QValueAxis* y = axisOf(chart, Qt::Vertical);
        ASSERT_NE(x, nullptr);
        ASSERT_NE(y, nullptr);
        EXPECT_EQ(view->horizontalAxis(), x);  // the view pans and zooms these
        EXPECT_EQ(x->alignment(), Qt::AlignBottom);
        EXPECT_EQ(y->alignment(), Qt::AlignLeft);
        EXPECT_DOUBLE_EQ(x->min(), e.xMin);
        EXPECT_DOUBLE_EQ(x->max(), e.xMax);
        EXPECT_EQ(x->tickCount(), e.xTicks);
        EXPECT_EQ(x->titleText(), QString::fromUtf8(e.xTitle));
        EXPECT_DOUBLE_EQ(y->min(), e.yMin);
        EXPECT_DOUBLE_EQ(y->max(), e.yMax);
        EXPECT_EQ(y->tickCount(), e.yTicks);
        EXPECT_EQ(y->titleText(), QString::fromUtf8(e.yTitle));
        EXPECT_EQ(y->labelFormat(), QStringLiteral("%.3f"));
        EXPECT_EQ(x->gridLineColor(), QColor(103, 103, 103));

        const auto series = chart->series();
        ASSERT_GE(series.size(), 4);
        for (int ch = 0; ch < 4; ++ch) {
            auto* xy = qobject_cast<QXYSeries*>(series[ch]);
            ASSERT_NE(xy, nullptr);
            EXPECT_EQ(xy->color(), kChannelColours[ch]) << "channel " << ch;
            EXPECT_TRUE(xy->useOpenGL());
            EXPECT_EQ(xy->count(), 0);
            EXPECT_EQ(xy->attachedAxes().size(), 2);
        }
    }
}

TEST(MainWindowForm, ConstellationHasScatterPointsCrossAndEmptyReference)
{
    MainWindow window;
    InteractiveChartView* view = viewIn(window, "widgetConstellation");
    ASSERT_NE(view, nullptr);
    const auto series = view->chart()->series();
    ASSERT_EQ(series.size(), 7);
    for (int ch = 0; ch < 4; ++ch) {
        auto* scatter = qobject_cast<QScatterSeries*>(series[ch]);
        ASSERT_NE(scatter, nullptr);
        EXPECT_EQ(scatter->markerShape(), QScatterSeries::MarkerShapeCircle);
        EXPECT_EQ(scatter->markerSize(), 4.0);
    }
    auto* zeroI = qobject_cast<QLineSeries*>(series[4]);
    auto* zeroQ = qobject_cast<QLineSeries*>(series[5]);
    auto* reference = qobject_cast<QLineSeries*>(series[6]);
    ASSERT_TRUE(zeroI && zeroQ && reference);
    EXPECT_EQ(zeroI->pointsVector(), QVector<QPointF>({QPointF(-40000, 0), QPointF(40000, 0)}));
    EXPECT_EQ(zeroQ->pointsVector(), QVector<QPointF>({QPointF(0, -40000), QPointF(0, 40000)}));
    EXPECT_EQ(zeroI->pen().color(), QColor(103, 103, 103));
    EXPECT_EQ(zeroI->pen().width(), 2);
    EXPECT_EQ(reference->count(), 0);
    EXPECT_EQ(reference->pen().color(), QColor(255, 0, 0));
    EXPECT_EQ(reference->pen().width(), 1);
}

TEST(MainWindowForm, OverviewStripDrawsItsOwnTracesOfTheTimeChart)
{
    MainWindow window;
    auto* strip = qobject_cast<ChartToLabelConverter*>(child<QLabel>(window, "labTimePlot"));
    ASSERT_NE(strip, nullptr);
    InteractiveChartView* timeView = viewIn(window, "widgetTime");
    ASSERT_NE(timeView, nullptr);
    EXPECT_EQ(strip->chart, timeView->chart());
    const QXYSeries* traces[4] = {strip->series0, strip->series1, strip->series2, strip->series3};
    for (int ch = 0; ch < 4; ++ch) {
        ASSERT_NE(traces[ch], nullptr);
        EXPECT_EQ(traces[ch]->chart(), nullptr) << "overview trace " << ch << " must belong to no chart";
        for (int other = 0; other < ch; ++other)
            EXPECT_NE(traces[ch], traces[other]);
    }
    EXPECT_FALSE(strip->boundsValid);
}

TEST(MainWindowForm, SplitterStacksTheSixPanelsBelowTheStrip)
{
    MainWindow window;
    auto* splitter = child<QSplitter>(window, "plotSplitter");
    ASSERT_NE(splitter, nullptr);
    EXPECT_EQ(splitter->orientation(), Qt::Vertical);
    EXPECT_FALSE(splitter->childrenCollapsible());
    EXPECT_EQ(splitter->handleWidth(), 5);
    const char* order[6] = {"widgetTime", "widgetMeasurements", "widgetFrequency",
                            "widgetFrequencyRsp", "widgetConstellation", "widgetEye"};
    ASSERT_EQ(splitter->count(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(splitter->widget(i)->objectName(), QString::fromLatin1(order[i]));
    auto* column = child<QWidget>(window, "widgetPlot");
    auto* layout = qobject_cast<QVBoxLayout*>(column->layout());
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->indexOf(child<QWidget>(window, "labTimePlot")), 0);
    EXPECT_EQ(layout->indexOf(splitter), 1);
    EXPECT_EQ(layout->stretch(1), 1);
}

TEST(MainWindowForm, SwitchImagesAreTheGeneratorsOutput)
{
    const QImage off(QStringLiteral(":/新前缀/Resources/checkBoxOffBG.png"));
    const QImage on(QStringLiteral(":/新前缀/Resources/checkBoxOnBG.png"));
    ASSERT_FALSE(off.isNull());
    ASSERT_FALSE(on.isNull());
    EXPECT_EQ(off.size(), QSize(64, 24));
    EXPECT_EQ(on.size(), QSize(64, 24));
    EXPECT_TRUE(off.hasAlphaChannel());
    // Outline, then the halves: grey | light when off, light | blue when on.
    EXPECT_EQ(QColor(off.pixel(0, 0)), QColor(169, 172, 175));
    EXPECT_EQ(QColor(on.pixel(63, 23)), QColor(169, 172, 175));
    EXPECT_EQ(QColor(off.pixel(3, 3)), QColor(130, 135, 140));
    EXPECT_EQ(QColor(off.pixel(60, 20)), QColor(233, 235, 236));
    EXPECT_EQ(QColor(on.pixel(3, 3)), QColor(233, 235, 236));
    EXPECT_EQ(QColor(on.pixel(60, 20)), QColor(67, 134, 185));

    // The committed pictures are what the generator draws today.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess generator;
    generator.start(QStringLiteral(H452_SWITCHIMAGES_EXE), {dir.path()});
    ASSERT_TRUE(generator.waitForFinished(30000));
    ASSERT_EQ(generator.exitCode(), 0);
    EXPECT_EQ(QImage(dir.filePath("checkBoxOffBG.png")).convertToFormat(QImage::Format_ARGB32),
              off.convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(QImage(dir.filePath("checkBoxOnBG.png")).convertToFormat(QImage::Format_ARGB32),
              on.convertToFormat(QImage::Format_ARGB32));
}

TEST(MainWindowForm, EnglishTranslationReplacesFormAndWindowTexts)
{
    QTranslator translator;
    ASSERT_TRUE(translator.load(QStringLiteral(H452_TRANSLATION_QM)));
    QCoreApplication::installTranslator(&translator);
    {
        MainWindow window;
        EXPECT_TRUE(window.windowTitle().startsWith(QStringLiteral("Oscilloscope Console")));
        EXPECT_EQ(child<QLabel>(window, "labTrigger")->text(), QStringLiteral("Trigger"));
        EXPECT_EQ(child<QComboBox>(window, "comBoxTrigger")->itemText(4), QStringLiteral("Local File"));
        EXPECT_EQ(child<QComboBox>(window, "comBoxEyeChn")->itemText(2), QStringLiteral("Channel 2"));
        // Texts set by the chart set-up through tr().
        EXPECT_EQ(child<QLabel>(window, "labXPos")->text(), QStringLiteral("Samples"));
        EXPECT_EQ(child<QToolButton>(window, "tbtnAuto")->menu()->actions().at(0)->text(),
                  QStringLiteral("Auto Setup"));
        EXPECT_EQ(child<QTableWidget>(window, "statTable")->horizontalHeaderItem(0)->text(),
                  QStringLiteral("Channel"));
        InteractiveChartView* view = viewIn(window, "widgetTime");
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(axisOf(view->chart(), Qt::Vertical)->titleText(), QStringLiteral("Amplitude (mV)"));
        // The choice values the slots compare by index stay where they were.
        EXPECT_EQ(child<QComboBox>(window, "comBoxTimeSpan")->count(), 121);

        // No Chinese text is left anywhere in the window or the settings
        // dialog: a text added without its translation shows up here.
        QStringList untranslated;
        QList<QWidget*> tops = {&window};
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->inherits("Settings"))
                tops << top;
        }
        EXPECT_EQ(tops.size(), 2) << "the settings dialog is a window of its own";
        for (QWidget* top : tops) {
            QStringList texts = {top->windowTitle()};
            for (QLabel* label : top->findChildren<QLabel*>())
                texts << label->text();
            for (QAbstractButton* button : top->findChildren<QAbstractButton*>())
                texts << button->text();
            for (QComboBox* box : top->findChildren<QComboBox*>())
                texts << itemsOf(box);
            for (QTabWidget* tabs : top->findChildren<QTabWidget*>()) {
                for (int i = 0; i < tabs->count(); ++i)
                    texts << tabs->tabText(i);
            }
            for (QTableWidget* table : top->findChildren<QTableWidget*>()) {
                for (int c = 0; c < table->columnCount(); ++c)
                    texts << table->horizontalHeaderItem(c)->text();
                for (int r = 0; r < table->rowCount(); ++r)
                    texts << table->item(r, 0)->text();
            }
            for (InteractiveChartView* view : top->findChildren<InteractiveChartView*>()) {
                for (QtCharts::QAbstractAxis* axis : view->chart()->axes())
                    texts << axis->titleText();
            }
            for (QAction* action : top->findChildren<QAction*>())
                texts << action->text();
            for (const QString& text : texts) {
                for (const QChar c : text) {
                    if (c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff) {
                        untranslated << text;
                        break;
                    }
                }
            }
        }
        EXPECT_TRUE(untranslated.isEmpty()) << untranslated.join(QStringLiteral(" | ")).toStdString();
    }
    QCoreApplication::removeTranslator(&translator);
}

TEST(MainWindowForm, CursorSwitchesStartOffAndTimeReadoutIsInSamplesAndSeconds)
{
    MainWindow window;
    auto* timeSwitch = child<QComboBox>(window, "comBoxTimeCursors");
    EXPECT_FALSE(timeSwitch->isHidden());
    EXPECT_EQ(timeSwitch->currentIndex(), 1);
    EXPECT_EQ(timeSwitch->currentText(), QStringLiteral("光标：关"));
    for (const char* name : {"comBoxCursors2", "comBoxCursors3", "comBoxFrequencyMarker"})
        EXPECT_EQ(child<QComboBox>(window, name)->currentIndex(), 1) << name;
    auto* markerSwitch = child<QComboBox>(window, "comBoxFrequencyMarker");
    EXPECT_FALSE(markerSwitch->isHidden());
    EXPECT_EQ(markerSwitch->currentText(), QStringLiteral("标记：关"));
    EXPECT_TRUE(child<QWidget>(window, "btnFrequencyNextPeak")->isHidden());
    markerSwitch->setCurrentIndex(0);
    EXPECT_FALSE(child<QWidget>(window, "btnFrequencyNextPeak")->isHidden());
    // The drawn spectrum starts as the frame's own; N shows with the average.
    auto* average = child<QComboBox>(window, "comBoxFrequencyAverage");
    EXPECT_EQ(average->currentIndex(), 0);
    EXPECT_TRUE(child<QWidget>(window, "spinFrequencyAverageCount")->isHidden());
    average->setCurrentIndex(1);
    EXPECT_FALSE(child<QWidget>(window, "spinFrequencyAverageCount")->isHidden());
    EXPECT_FALSE(child<QWidget>(window, "btnFrequencyAverageReset")->isHidden());
    InteractiveChartView* view = viewIn(window, "widgetTime");
    ASSERT_NE(view, nullptr);
    auto* cursors = view->findChild<ChartCursors*>();
    ASSERT_NE(cursors, nullptr);
    EXPECT_FALSE(cursors->isActive());

    // At the starting 1 GS/s: samples 250 and 500 are 250 ns and 500 ns,
    // 250 ns apart, 4 MHz.
    timeSwitch->setCurrentIndex(0);
    EXPECT_TRUE(cursors->isActive());
    ASSERT_TRUE(cursors->setValue(ChartCursors::X1, 250));
    ASSERT_TRUE(cursors->setValue(ChartCursors::X2, 500));
    ASSERT_TRUE(cursors->setValue(ChartCursors::Y1, 100));
    ASSERT_TRUE(cursors->setValue(ChartCursors::Y2, 300));
    const QString text = cursors->readoutText();
    for (const char* part : {"x1: 250 (250 ns)", "x2: 500 (500 ns)", "Δt: 250 ns", "1/Δt: 4 MHz", "Δy: 200"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part << "\n" << text.toStdString();
    timeSwitch->setCurrentIndex(1);
    EXPECT_FALSE(cursors->isActive());
}

TEST(MainWindowForm, ExportWritesWholeFilesOrNothing)
{
    MainWindow window;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;
    const int spectrum = int(h452::Panel::Frequency);

    // An empty panel: a message and no file.
    EXPECT_FALSE(window.exportPanelData(spectrum, dir.filePath("empty.csv"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("empty.csv")));

    // Spectrum CSV round trip: the points inside the visible 0 .. 500 MHz,
    // x in Hz, levels to the printed ten digits.
    InteractiveChartView* view = viewIn(window, "widgetFrequency");
    ASSERT_NE(view, nullptr);
    auto* series = qobject_cast<QtCharts::QXYSeries*>(view->chart()->series().first());
    ASSERT_NE(series, nullptr);
    series->replace(QVector<QPointF>{{0.5, -100.125}, {123.456789, -3.0103}, {499.9, -77.7}, {600, -1}});
    ASSERT_TRUE(window.exportPanelData(spectrum, dir.filePath("s.csv"), &error)) << error.toStdString();
    QFile file(dir.filePath("s.csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList rows;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts))
        if (!line.startsWith('#'))
            rows << line;
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0], QStringLiteral("freq_hz,ch0_level_db"));
    const double expected[][2] = {{0.5e6, -100.125}, {123.456789e6, -3.0103}, {499.9e6, -77.7}};
    for (int i = 0; i < 3; ++i) {
        const QStringList cells = rows[i + 1].split(',');
        ASSERT_EQ(cells.size(), 2);
        EXPECT_NEAR(cells[0].toDouble(), expected[i][0], 1e-9 * expected[i][0]);
        EXPECT_NEAR(cells[1].toDouble(), expected[i][1], 1e-9 * std::fabs(expected[i][1]));
    }

    // An unwritable folder: a message naming the file, nothing written.
    EXPECT_FALSE(window.exportPanelData(spectrum, dir.filePath("missing/s.csv"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("s.csv")));
    EXPECT_FALSE(window.exportPanelImage(spectrum, dir.filePath("missing/s.png"), 1, &error));

    // PNG at the panel's size and twice it, on the chart's dark background.
    view->resize(400, 300);
    for (int scale : {1, 2}) {
        const QString png = dir.filePath(QStringLiteral("s%1.png").arg(scale));
        ASSERT_TRUE(window.exportPanelImage(spectrum, png, scale, &error)) << error.toStdString();
        const QImage image(png);
        EXPECT_EQ(image.size(), view->size() * scale);
        EXPECT_LT(QColor(image.pixel(2, 2)).lightness(), 80);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);  // s.csv, s1.png, s2.png: no temporaries
}
