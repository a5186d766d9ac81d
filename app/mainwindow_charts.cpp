// MainWindow::setupCharts(): completes the form with what it does not hold:
// the auto button's menu, the settings dialog, the controls that start
// hidden, the edits' validators and defaults, the record-length list, the
// measurements table, the five dark charts with their axes, series and
// views, the overview strip and the splitter that stacks the six panels.
// Also the small lookups the slots use to reach a channel's series and a
// panel's parts.
#include "mainwindow.h"
#include "ui_mainwindow.h"

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

const QColor kChannelColours[4] = {QColor(240, 228, 66), QColor(86, 180, 233), QColor(237, 11, 244),
                                   QColor(0, 158, 115)};
const QColor kGrid(103, 103, 103);
const QColor kLabelText(220, 220, 220);
const QString kUnselectedSwatch = QStringLiteral("background-color: rgb(247, 247, 247);");

struct AxisSetup
{
    double min;
    double max;
    int ticks;
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

QValueAxis* makeAxis(QObject* parent, const AxisSetup& setup, const QString& title, const char* labelFormat)
{
    auto* axis = new QValueAxis(parent);
    axis->setRange(setup.min, setup.max);
    axis->setTickCount(setup.ticks);
    if (!title.isEmpty())
        axis->setTitleText(title);
    if (labelFormat)
        axis->setLabelFormat(QString::fromLatin1(labelFormat));
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
    series->setColor(kChannelColours[channel]);
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

    // Time chart.
    timeChart = new QChart();
    styleChart(timeChart);
    timeAxisX = makeAxis(this, {0, 1000, 21}, QString(), nullptr);
    timeAxisY = makeAxis(this, {-425, 425, 9}, tr("幅度(mv)"), "%.3f");
    addAxes(timeChart, timeAxisX, timeAxisY);
    for (int ch = 0; ch < 4; ++ch) {
        timeSeries[ch] = new QLineSeries(this);
        addChannelSeries(timeChart, timeSeries[ch], ch, timeAxisX, timeAxisY);
    }
    timeChart->setMargins(QMargins(5, 5, 5, 5));
    timeChart->legend()->hide();
    timeView = makeView(timeChart);

    // Spectrum chart.
    spectrumChart = new QChart();
    styleChart(spectrumChart);
    spectrumAxisX = makeAxis(this, {0, 500, 21}, tr("频谱 (MHz)"), nullptr);
    spectrumAxisY = makeAxis(this, {-150, -30, 9}, tr("幅度(dBm)"), "%.3f");
    addAxes(spectrumChart, spectrumAxisX, spectrumAxisY);
    for (int ch = 0; ch < 4; ++ch) {
        spectrumSeries[ch] = new QLineSeries(this);
        addChannelSeries(spectrumChart, spectrumSeries[ch], ch, spectrumAxisX, spectrumAxisY);
    }
    spectrumChart->setMargins(QMargins(5, 5, 5, 1));
    spectrumChart->legend()->hide();
    spectrumView = makeView(spectrumChart);

    // Frequency-response chart.
    freqRspChart = new QChart();
    styleChart(freqRspChart);
    freqRspAxisX = makeAxis(this, {180, 220, 21}, tr("频响 (MHz)"), nullptr);
    freqRspAxisY = makeAxis(this, {-50, -30, 11}, tr("幅度(dBFS)"), "%.3f");
    addAxes(freqRspChart, freqRspAxisX, freqRspAxisY);
    for (int ch = 0; ch < 4; ++ch) {
        freqRspSeries[ch] = new QLineSeries(this);
        addChannelSeries(freqRspChart, freqRspSeries[ch], ch, freqRspAxisX, freqRspAxisY);
    }
    freqRspChart->setMargins(QMargins(5, 5, 5, 1));
    freqRspChart->legend()->hide();
    freqRspView = makeView(freqRspChart);

    ui->plotTime->addWidget(timeView);
    ui->plotFrequency->addWidget(spectrumView);
    ui->plotFrequencyRsp->addWidget(freqRspView);

    // Constellation chart: scatter series, then the grey cross and the
    // (initially empty) red reference outline on top.
    constellationChart = new QChart();
    styleChart(constellationChart);
    constellationAxisI = makeAxis(this, {-1.2, 1.2, 21}, tr("I"), nullptr);
    constellationAxisQ = makeAxis(this, {-1.2, 1.2, 11}, tr("Q"), "%.3f");
    addAxes(constellationChart, constellationAxisI, constellationAxisQ);
    for (int ch = 0; ch < 4; ++ch) {
        constellationSeries[ch] = new QScatterSeries(this);
        constellationSeries[ch]->setMarkerShape(QScatterSeries::MarkerShapeCircle);
        constellationSeries[ch]->setMarkerSize(4);
        addChannelSeries(constellationChart, constellationSeries[ch], ch, constellationAxisI, constellationAxisQ);
    }
    constellationChart->setMargins(QMargins(5, 5, 5, 1));
    constellationChart->legend()->hide();
    constellationView = makeView(constellationChart);
    constellationZeroLineI =
        makeGuideLine(this, constellationChart, constellationAxisI, constellationAxisQ, kGrid, 2);
    constellationZeroLineI->append(-40000, 0);
    constellationZeroLineI->append(40000, 0);
    constellationZeroLineQ =
        makeGuideLine(this, constellationChart, constellationAxisI, constellationAxisQ, kGrid, 2);
    constellationZeroLineQ->append(0, -40000);
    constellationZeroLineQ->append(0, 40000);
    constellationReference =
        makeGuideLine(this, constellationChart, constellationAxisI, constellationAxisQ, QColor(255, 0, 0), 1);

    // Eye chart: axes and view first, then the series.
    eyeChart = new QChart();
    styleChart(eyeChart);
    eyeAxisX = makeAxis(this, {0, 1, 21}, QString(), nullptr);
    eyeAxisY = makeAxis(this, {-50, -30, 11}, QString(), "%.3f");
    addAxes(eyeChart, eyeAxisX, eyeAxisY);
    eyeChart->setMargins(QMargins(5, 5, 5, 5));
    eyeChart->legend()->hide();
    eyeView = makeView(eyeChart);
    for (int ch = 0; ch < 4; ++ch) {
        eyeSeries[ch] = new QLineSeries(this);
        addChannelSeries(eyeChart, eyeSeries[ch], ch, eyeAxisX, eyeAxisY);
    }

    ui->plotConstellation->addWidget(constellationView);
    ui->plotEye->addWidget(eyeView);
    // Every panel starts collapsed; the default set-up expands Time once the
    // event loop runs.
    for (InteractiveChartView* view : {timeView, spectrumView, freqRspView, constellationView, eyeView})
        view->setVisible(false);

    // Overview strip: its own four traces, in no chart.
    ui->labTimePlot->chart = timeChart;
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
    QWidget* const panels[6] = {ui->widgetTime, ui->widgetMeasurements, ui->widgetFrequency,
                                ui->widgetFrequencyRsp, ui->widgetConstellation, ui->widgetEye};
    for (QWidget* panel : panels)
        ui->verticalLayout_4->removeWidget(panel);
    plotSplitter = new QSplitter(Qt::Vertical, ui->widgetPlot);
    plotSplitter->setObjectName(QStringLiteral("plotSplitter"));
    plotSplitter->setStyleSheet(QStringLiteral(
        "QSplitter::handle{background-color: rgb(169, 172, 175); height: 4px; border: none;}\n"
        "QSplitter::handle:hover{background-color: rgb(169, 172, 175); height: 4px; border: none;}\n"
        "QSplitter::handle:pressed{background-color: rgb(169, 172, 175); height: 4px; border: none;}"));
    plotSplitter->setChildrenCollapsible(false);
    plotSplitter->setHandleWidth(5);
    for (QWidget* panel : panels)
        plotSplitter->addWidget(panel);
    plotSplitter->setSizes({1, 1, 1, 1, 1, 1});
    ui->verticalLayout_4->insertWidget(1, plotSplitter, 1);
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

std::array<QXYSeries*, 6> MainWindow::channelSeries(int channel) const
{
    if (channel < 0 || channel > 3)
        return {};
    return {timeSeries[channel], spectrumSeries[channel], freqRspSeries[channel],
            constellationSeries[channel], eyeSeries[channel], overviewSeries[channel]};
}

InteractiveChartView* MainWindow::panelView(int panel) const
{
    switch (panel) {
    case 0: return timeView;
    case 2: return spectrumView;
    case 3: return freqRspView;
    case 4: return constellationView;
    case 5: return eyeView;
    default: return nullptr;
    }
}

QValueAxis* MainWindow::panelAxisY(int panel) const
{
    switch (panel) {
    case 0: return timeAxisY;
    case 2: return spectrumAxisY;
    case 3: return freqRspAxisY;
    case 4: return constellationAxisQ;
    case 5: return eyeAxisY;
    default: return nullptr;
    }
}

QWidget* MainWindow::panelWidget(int panel) const
{
    switch (panel) {
    case 0: return ui->widgetTime;
    case 1: return ui->widgetMeasurements;
    case 2: return ui->widgetFrequency;
    case 3: return ui->widgetFrequencyRsp;
    case 4: return ui->widgetConstellation;
    case 5: return ui->widgetEye;
    default: return nullptr;
    }
}

QWidget* MainWindow::panelContent(int panel) const
{
    if (panel == 1)
        return ui->statTable;
    return panelView(panel);
}

QPushButton* MainWindow::panelShowButton(int panel) const
{
    switch (panel) {
    case 0: return ui->btnTimeShow;
    case 1: return ui->btnMeasurementsShow;
    case 2: return ui->btnFrequencyShow;
    case 3: return ui->btnFrequencyRspShow;
    case 4: return ui->btnConstellationShow;
    case 5: return ui->btnEyeShow;
    default: return nullptr;
    }
}
