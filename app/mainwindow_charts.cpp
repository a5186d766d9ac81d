// MainWindow::setupCharts(): completes the form with what it does not hold:
// the auto button's menu, the settings dialog, the controls that start
// hidden, the edits' validators and defaults, the record-length list, the
// measurements table, the five dark charts with their axes, series and
// views, the overview strip and the splitter that stacks the six panels.
// Also the small lookups the slots use to reach a channel's series and a
// panel's parts.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "ChannelPalette.h"
#include "ChartToLabelConverter.h"
#include "InteractiveChartView.h"
#include "mainwindow_measurements.h"
#include "Settings.h"

#include <QAbstractItemView>
#include <QBrush>
#include <QChart>
#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QLegend>
#include <QLineSeries>
#include <QMenu>
#include <QPen>
#include <QRegExp>
#include <QRegExpValidator>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScatterSeries>
#include <QSplitter>
#include <QTableWidget>
#include <QValueAxis>

using QtCharts::QChart;
using QtCharts::QLineSeries;
using QtCharts::QScatterSeries;
using QtCharts::QValueAxis;
using QtCharts::QXYSeries;

namespace {

const QColor kGrid(103, 103, 103);
const QColor kLabelText(220, 220, 220);
const QString kUnselectedSwatch = QStringLiteral("background-color: rgb(247, 247, 247);");

using h452::Panel;

struct AxisSetup
{
    double min;
    double max;
    int ticks;
    const char* title;        // translated in the MainWindow context; null: none
    const char* labelFormat;  // null: the axis' default
};

// The five charts, in panel order. Measurements has no chart.
struct ChartSetup
{
    Panel panel;
    AxisSetup x;
    AxisSetup y;
    int marginBottom;  // the time and eye charts keep 5 px below; the others 1
    bool scatter;      // constellation points rather than lines
};

const ChartSetup kCharts[] = {
    {Panel::Time, {0, 1000, 21, nullptr, nullptr},
     {-425, 425, 9, QT_TRANSLATE_NOOP("MainWindow", "幅度(mv)"), "%.3f"}, 5, false},
    {Panel::Frequency, {0, 500, 21, QT_TRANSLATE_NOOP("MainWindow", "频谱 (MHz)"), nullptr},
     {-150, -30, 9, QT_TRANSLATE_NOOP("MainWindow", "幅度(dBm)"), "%.3f"}, 1, false},
    {Panel::FrequencyRsp, {180, 220, 21, QT_TRANSLATE_NOOP("MainWindow", "频响 (MHz)"), nullptr},
     {-50, -30, 11, QT_TRANSLATE_NOOP("MainWindow", "幅度(dBFS)"), "%.3f"}, 1, false},
    {Panel::Constellation, {-1.2, 1.2, 21, QT_TRANSLATE_NOOP("MainWindow", "I"), nullptr},
     {-1.2, 1.2, 11, QT_TRANSLATE_NOOP("MainWindow", "Q"), "%.3f"}, 1, true},
    {Panel::Eye, {0, 1, 21, nullptr, nullptr}, {-50, -30, 11, nullptr, "%.3f"}, 5, false},
};

// The dark look shared by the five charts.
void styleChart(QChart* chart)
{
    chart->setBackgroundBrush(QBrush(QColor(60, 60, 60)));
    chart->setTitleBrush(QBrush(kLabelText));
    chart->setPlotAreaBackgroundBrush(QBrush(QColor(38, 38, 38)));
    chart->setPlotAreaBackgroundVisible(true);
    chart->legend()->setLabelColor(kLabelText);
    chart->legend()->hide();
}

QValueAxis* makeAxis(QObject* parent, const AxisSetup& setup)
{
    auto* axis = new QValueAxis(parent);
    axis->setRange(setup.min, setup.max);
    axis->setTickCount(setup.ticks);
    if (setup.title)
        axis->setTitleText(MainWindow::tr(setup.title));
    if (setup.labelFormat)
        axis->setLabelFormat(QString::fromLatin1(setup.labelFormat));
    // 21 ticks across a panel leave about 40 px per label: a small font
    // keeps "1000.0" whole instead of elided.
    QFont labelsFont = axis->labelsFont();
    labelsFont.setPointSize(7);
    axis->setLabelsFont(labelsFont);
    axis->setTitleBrush(QBrush(QColor(118, 122, 125)));
    axis->setLabelsBrush(QBrush(kLabelText));
    axis->setGridLineColor(kGrid);
    axis->setLinePen(QPen(QBrush(kGrid), 1.0, Qt::SolidLine));
    return axis;
}

void addAxes(QChart* chart, QValueAxis* x, QValueAxis* y)
{
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
}

// Channel series go through OpenGL: every frame replaces their points.
void addChannelSeries(QChart* chart, QXYSeries* series, int channel, QValueAxis* x, QValueAxis* y)
{
    series->setColor(h452::kChannelColours[std::size_t(channel)]);
    series->setUseOpenGL(true);
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

InteractiveChartView* makeView(QChart* chart)
{
    auto* view = new InteractiveChartView(chart);
    view->setBackgroundBrush(QBrush(QColor(60, 60, 60)));
    view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Antialiasing costs too much at the frame rate of the traces.
    view->setRenderHint(QPainter::Antialiasing, true);
    view->setRenderHint(QPainter::Antialiasing, false);
    return view;
}

QLineSeries* makeGuideLine(QObject* parent, QChart* chart, QValueAxis* x, QValueAxis* y, const QColor& colour,
                           int width)
{
    auto* line = new QLineSeries(parent);
    line->setColor(colour);
    line->setPen(QPen(QBrush(colour), width, Qt::SolidLine));
    line->setColor(colour);
    chart->addSeries(line);
    line->attachAxis(x);
    line->attachAxis(y);
    return line;
}

}  // namespace

void MainWindow::setupCharts()
{
    // Auto button menu: the button text remembers the last choice.
    auto* autoMenu = new QMenu(ui->tbtnAuto);
    autoSetupAction = new QAction(tr("自动设置"), this);
    defaultSetupAction = new QAction(tr("默认设置"), this);
    autoMenu->addAction(autoSetupAction);
    autoMenu->addAction(defaultSetupAction);
    ui->tbtnAuto->setMenu(autoMenu);

    settingsDialog = new Settings();

    // Every swatch starts grey; a channel switched on takes its colour.
    for (QLabel* swatch : {ui->labChn0Color, ui->labChn0Num, ui->labChn1Color, ui->labChn1Num, ui->labChn2Color,
                           ui->labChn2Num, ui->labChn3Color, ui->labChn3Num})
        swatch->setStyleSheet(kUnselectedSwatch);

    // Controls of a fuller instrument that this board does not use yet.
    for (QWidget* w : {static_cast<QWidget*>(ui->widgetCh0), static_cast<QWidget*>(ui->widgetCh1),
                       static_cast<QWidget*>(ui->widgetCh2), static_cast<QWidget*>(ui->widgetCh3),
                       static_cast<QWidget*>(ui->btnChn0More), static_cast<QWidget*>(ui->btnChn1More),
                       static_cast<QWidget*>(ui->btnChn2More), static_cast<QWidget*>(ui->btnChn3More),
                       static_cast<QWidget*>(ui->btnTriggerConfig), static_cast<QWidget*>(ui->labFFT1ChnSrc),
                       static_cast<QWidget*>(ui->comBoxFFT1ChnSrc), static_cast<QWidget*>(ui->btnFFT1More),
                       static_cast<QWidget*>(ui->comBoxTimeCursors), static_cast<QWidget*>(ui->btnTimeConfig),
                       static_cast<QWidget*>(ui->btnTimeVisible), static_cast<QWidget*>(ui->comBoxTimeChn),
                       static_cast<QWidget*>(ui->btnMeasurementsAdd), static_cast<QWidget*>(ui->btnMeasurementsMore),
                       static_cast<QWidget*>(ui->btnMeasurementsFresh),
                       static_cast<QWidget*>(ui->btnMeasurementsVisible),
                       static_cast<QWidget*>(ui->comBoxFrequencyMarker), static_cast<QWidget*>(ui->comBoxFrequencyFFT),
                       static_cast<QWidget*>(ui->btnFrequencyConfig), static_cast<QWidget*>(ui->btnFrequencyX),
                       static_cast<QWidget*>(ui->btnFrequencyY), static_cast<QWidget*>(ui->btnFrequencyVisible),
                       static_cast<QWidget*>(ui->btnFrequencyRspConfig), static_cast<QWidget*>(ui->btnFrequencyRspX),
                       static_cast<QWidget*>(ui->btnFrequencyRspY), static_cast<QWidget*>(ui->btnFrequencyRspVisible),
                       static_cast<QWidget*>(ui->btnConstellationVisible), static_cast<QWidget*>(ui->btnEyeVisible)})
        w->setVisible(false);
    ui->comBoxFrequencyRspChn->setEnabled(false);
    for (QLabel* swatch : {ui->labFFT1Color, ui->labFFT1Num})
        swatch->setStyleSheet(kUnselectedSwatch);

    // The scrolling column is exactly as tall as its content.
    ui->widgetConfig->adjustSize();
    ui->scrollAreaWidgetContents->setFixedHeight(ui->widgetConfig->height());

    for (QWidget* w : {static_cast<QWidget*>(ui->statTable), static_cast<QWidget*>(ui->btnFFT),
                       static_cast<QWidget*>(ui->btnAAddB), static_cast<QWidget*>(ui->comBoxFrequencyRspChn)})
        w->setVisible(false);

    // Record length: 2 to 6 digits without a leading zero. DDR4 address: up
    // to 12 hexadecimal digits of either case.
    ui->editXPosValue->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[1-9][0-9]{1,5}")), this));
    ui->editDDR4Value->setValidator(new QRegExpValidator(
        QRegExp(QStringLiteral("^[0-9a-fA-F]{0,12}$"), Qt::CaseSensitive, QRegExp::RegExp), this));

    // Set before the signal wiring, so no slot runs for them.
    ui->labXPos->setText(tr("采样点数"));
    ui->editXPosValue->setText(QStringLiteral("1000"));
    ui->labLevel->setText(tr("触发阈值"));
    ui->editLevel->setText(QStringLiteral("100"));
    ui->labHysteresis->setText(tr("触发时间"));
    ui->editHysteresis->setText(QStringLiteral("100"));
    ui->comBoxSlope->setCurrentIndex(1);

    // Record-length list: item i (1 to 120) is a time axis ending at 20 * i
    // samples; "X" is a span off that grid.
    ui->comBoxTimeSpan->clear();
    ui->comBoxTimeSpan->insertItem(0, QStringLiteral("X"));
    for (int i = 1; i <= 120; ++i)
        ui->comBoxTimeSpan->insertItem(i, QString::number(i));
    ui->comBoxTimeSpan->setCurrentIndex(50);

    setupStatTable();

    // The panels: the form's parts, then one chart per chart panel.
    struct FormParts {
        QWidget* widget;
        QPushButton* showButton;
        QVBoxLayout* plot;  // where the chart's view goes; null for Measurements
    };
    const FormParts form[h452::kPanelCount] = {
        {ui->widgetTime, ui->btnTimeShow, ui->plotTime},
        {ui->widgetMeasurements, ui->btnMeasurementsShow, nullptr},
        {ui->widgetFrequency, ui->btnFrequencyShow, ui->plotFrequency},
        {ui->widgetFrequencyRsp, ui->btnFrequencyRspShow, ui->plotFrequencyRsp},
        {ui->widgetConstellation, ui->btnConstellationShow, ui->plotConstellation},
        {ui->widgetEye, ui->btnEyeShow, ui->plotEye},
    };
    for (int p = 0; p < h452::kPanelCount; ++p) {
        panels[std::size_t(p)].widget = form[p].widget;
        panels[std::size_t(p)].showButton = form[p].showButton;
    }
    panels[std::size_t(Panel::Measurements)].content = ui->statTable;

    for (const ChartSetup& setup : kCharts) {
        PanelParts& parts = panels[std::size_t(setup.panel)];
        auto* chart = new QChart();
        styleChart(chart);
        parts.chart = chart;
        parts.axisX = makeAxis(this, setup.x);
        parts.axisY = makeAxis(this, setup.y);
        addAxes(chart, parts.axisX, parts.axisY);
        for (int ch = 0; ch < 4; ++ch) {
            QXYSeries* series = nullptr;
            if (setup.scatter) {
                auto* scatter = new QScatterSeries(this);
                scatter->setMarkerShape(QScatterSeries::MarkerShapeCircle);
                scatter->setMarkerSize(4);
                series = scatter;
            } else {
                series = new QLineSeries(this);
            }
            addChannelSeries(chart, series, ch, parts.axisX, parts.axisY);
            parts.series[std::size_t(ch)] = series;
        }
        chart->setMargins(QMargins(5, 5, 5, setup.marginBottom));
        chart->legend()->hide();
        parts.view = makeView(chart);
        parts.content = parts.view;
        form[int(setup.panel)].plot->addWidget(parts.view);
        // Every panel starts collapsed; the default set-up expands Time once
        // the event loop runs.
        parts.view->setVisible(false);
    }

    // On top of the constellation's points: the grey cross and the
    // (initially empty) red reference outline.
    const PanelParts& constellation = panel(Panel::Constellation);
    const auto guideLine = [&](const QColor& colour, int width) {
        return makeGuideLine(this, constellation.chart, constellation.axisX, constellation.axisY, colour, width);
    };
    constellationZeroLineI = guideLine(kGrid, 2);
    constellationZeroLineI->append(-40000, 0);
    constellationZeroLineI->append(40000, 0);
    constellationZeroLineQ = guideLine(kGrid, 2);
    constellationZeroLineQ->append(0, -40000);
    constellationZeroLineQ->append(0, 40000);
    constellationReference = guideLine(QColor(255, 0, 0), 1);

    // Overview strip: its own four traces, in no chart.
    ui->labTimePlot->chart = panel(Panel::Time).chart;
    ui->labTimePlot->update();
    for (int ch = 0; ch < 4; ++ch)
        overviewSeries[ch] = new QLineSeries(this);
    ui->labTimePlot->series0 = overviewSeries[0];
    ui->labTimePlot->series1 = overviewSeries[1];
    ui->labTimePlot->series2 = overviewSeries[2];
    ui->labTimePlot->series3 = overviewSeries[3];
    ui->labTimePlot->update();

    // The six panels move from the form's column into one vertical splitter
    // directly below the overview strip.
    for (const PanelParts& parts : panels)
        ui->verticalLayout_4->removeWidget(parts.widget);
    plotSplitter = new QSplitter(Qt::Vertical, ui->widgetPlot);
    plotSplitter->setObjectName(QStringLiteral("plotSplitter"));
    plotSplitter->setStyleSheet(QStringLiteral(
        "QSplitter::handle{background-color: rgb(169, 172, 175); height: 4px; border: none;}\n"
        "QSplitter::handle:hover{background-color: rgb(169, 172, 175); height: 4px; border: none;}\n"
        "QSplitter::handle:pressed{background-color: rgb(169, 172, 175); height: 4px; border: none;}"));
    plotSplitter->setChildrenCollapsible(false);
    plotSplitter->setHandleWidth(5);
    for (const PanelParts& parts : panels)
        plotSplitter->addWidget(parts.widget);
    plotSplitter->setSizes({1, 1, 1, 1, 1, 1});
    ui->verticalLayout_4->insertWidget(1, plotSplitter, 1);

    setupEyeImage();
    setupPictureFigures();
}

void MainWindow::setupStatTable()
{
    QTableWidget* table = ui->statTable;
    table->setColumnCount(9);
    // Sorting is on from the start so a click on a header sorts. The rows are
    // filled after it, so the indicator is put on the channel column in
    // ascending order first: the rows then stay channel 0 to 3 from the top,
    // the order the statistics update writes them in.
    table->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    table->setSortingEnabled(true);
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft);
    table->horizontalHeader()->setHighlightSections(false);
    table->horizontalHeader()->setStyleSheet(QStringLiteral(
        "QHeaderView::section{background-color: rgb(250, 250, 250); color: black; border: 1px solid #A9ACAF;}\n"
        "QHeaderView::section:hover{background-color: white; border: 1px solid rgb(67, 134, 186);}\n"
        "QHeaderView::section:pressed{background-color: rgb(67, 134, 186); color: white; "
        "border: 1px solid rgb(67, 134, 186);}"));
    table->setHorizontalHeaderLabels({tr("通道"), tr("NSD(dBm)"), QStringLiteral("NSD(nV)"), QStringLiteral("SNR"),
                                      QStringLiteral("ENOB"), QStringLiteral("MAX(dBFS)"),
                                      QStringLiteral("Frequ(MHz)"), QStringLiteral("SFDR"), QStringLiteral("SINAD")});
    table->setRowCount(4);
    const QString channelNames[4] = {tr("通道 0"), tr("通道 1"), tr("通道 2"), tr("通道 3")};
    for (int row = 0; row < 4; ++row)
        table->setItem(row, 0, new QTableWidgetItem(channelNames[row]));
    for (int row = 0; row < 4; ++row) {
        for (int column = 1; column < 9; ++column)
            table->setItem(row, column, new QTableWidgetItem(QStringLiteral("0.00")));
    }
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    standardMeasurements = new StandardMeasurementsView(ui->widgetMeasurementsTitle, table, this);
}

const MainWindow::PanelParts& MainWindow::panelAt(int index) const
{
    static const PanelParts none{};
    if (index < 0 || index >= h452::kPanelCount)
        return none;
    return panels[std::size_t(index)];
}

std::array<QXYSeries*, 6> MainWindow::channelSeries(int channel) const
{
    if (channel < 0 || channel > 3)
        return {};
    const std::size_t c = std::size_t(channel);
    return {panel(Panel::Time).series[c], panel(Panel::Frequency).series[c],
            panel(Panel::FrequencyRsp).series[c], panel(Panel::Constellation).series[c],
            panel(Panel::Eye).series[c], overviewSeries[channel]};
}
