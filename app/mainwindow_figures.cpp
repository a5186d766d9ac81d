// Figures beside the constellation and the eye.
//
// The Constellation title bar takes the symbol rate (a value and a unit) and
// both title bars a figures switch in the style of the cursor lists, off at
// start. The figures are computed by frame processing on the acquisition
// thread (SymbolFigures.h, EyeFigures.h; the eye's at most every
// kEyeFiguresIntervalMs) and arrive with the frame updates; this file only
// shows them: a compact readout in the top-right corner of the plot in the
// panel's own colours (values in the channel colours), a tooltip on each
// figure's name saying how it is computed and to what it is referred, and
// on each absent value the reason. With the constellation's figures on, the
// last frame's decided ideal points and error vectors are drawn too.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "ChannelPalette.h"
#include "DeviceState.h"
#include "InteractiveChartView.h"
#include "SymbolErrorItem.h"

#include <QChart>
#include <QComboBox>
#include <QDoubleValidator>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using h452::ConstellationFigures;
using h452::EyeFigures;
using h452::MeasuredFigure;

// The switch lists: index 0 off (the start), 1 on.
constexpr int kFiguresOn = 1;

// How a figure is shown: value times scale with decimals and a unit, or
// with an SI prefix when unit is given and si is set.
struct Format {
    double scale;
    int decimals;
    const char* unit;
    bool si;
};

template <class Figures>
struct Row {
    const char* name;     // translated in the MainWindow context
    const char* tooltip;  // translated in the MainWindow context
    MeasuredFigure Figures::*figure;
    Format format;
};

const Row<ConstellationFigures> kConstellationRows[] = {
    {QT_TRANSLATE_NOOP("MainWindow", "EVM rms"),
     QT_TRANSLATE_NOOP("MainWindow", "误差矢量幅度的均方根，相对理想星座的均方根（各点等概率）。符号判决前已去除残余载波、拟合增益与相位并选取最佳采样时刻。"),
     &ConstellationFigures::evmRmsPercent, {1, 2, "%", false}},
    {QT_TRANSLATE_NOOP("MainWindow", "EVM rms (dB)"),
     QT_TRANSLATE_NOOP("MainWindow", "20·log10(EVM rms)，参考同上。"), &ConstellationFigures::evmRmsDb, {1, 1, "dB", false}},
    {QT_TRANSLATE_NOOP("MainWindow", "EVM peak"),
     QT_TRANSLATE_NOOP("MainWindow", "最大误差矢量，相对理想星座中最大的点。"), &ConstellationFigures::evmPeakPercent,
     {1, 2, "%", false}},
    {QT_TRANSLATE_NOOP("MainWindow", "MER"),
     QT_TRANSLATE_NOOP("MainWindow", "−20·log10(EVM rms)，参考为理想星座的均方根。"), &ConstellationFigures::merDb,
     {1, 1, "dB", false}},
    {QT_TRANSLATE_NOOP("MainWindow", "相位误差"),
     QT_TRANSLATE_NOOP("MainWindow", "实测符号相对判决理想点的相位差的均方根。"), &ConstellationFigures::phaseErrorRmsDeg,
     {1, 2, "°", false}},
    {QT_TRANSLATE_NOOP("MainWindow", "幅度误差"),
     QT_TRANSLATE_NOOP("MainWindow", "|实测| − |理想| 的均方根，相对理想星座的均方根。"),
     &ConstellationFigures::magnitudeErrorRmsPercent, {1, 2, "%", false}},
    {QT_TRANSLATE_NOOP("MainWindow", "载波偏移"),
     QT_TRANSLATE_NOOP("MainWindow", "残余载波：由 M 次方（BPSK 2，QPSK 4，8PSK 8，QAM 4）估计，再由相位斜率细化；载波高于混频频率时为正。"),
     &ConstellationFigures::carrierOffsetHz, {1, 4, "Hz", true}},
    {QT_TRANSLATE_NOOP("MainWindow", "载波"),
     QT_TRANSLATE_NOOP("MainWindow", "混频频率（最强谱线）加载波偏移。"), &ConstellationFigures::carrierHz,
     {1, 6, "Hz", true}},
    {QT_TRANSLATE_NOOP("MainWindow", "I/Q 增益不平衡"),
     QT_TRANSLATE_NOOP("MainWindow", "由实测 = a·d + b·conj(d) 拟合：20·log10(|a−b| / |a+b|)（Q 轴增益相对 I 轴）。"),
     &ConstellationFigures::iqGainImbalanceDb, {1, 2, "dB", false}},
    {QT_TRANSLATE_NOOP("MainWindow", "正交误差"),
     QT_TRANSLATE_NOOP("MainWindow", "同一拟合：arg((a−b) / (a+b))，Q 轴偏离 90° 的角度。"),
     &ConstellationFigures::quadratureErrorDeg, {1, 2, "°", false}},
    {QT_TRANSLATE_NOOP("MainWindow", "符号数"),
     QT_TRANSLATE_NOOP("MainWindow", "参与计算的符号数（最后一帧）。"), &ConstellationFigures::symbols, {1, 0, "", false}},
};

const Row<EyeFigures> kEyeRows[] = {
    {QT_TRANSLATE_NOOP("MainWindow", "眼高"),
     QT_TRANSLATE_NOOP("MainWindow", "最佳采样时刻的 (高电平均值 − 3σ) − (低电平均值 + 3σ)，单位为码值。"),
     &EyeFigures::height, {1, 0, "", false}},
    {QT_TRANSLATE_NOOP("MainWindow", "眼宽"),
     QT_TRANSLATE_NOOP("MainWindow", "1 UI（半个轨迹周期）减去过零点的分布（各自均值 ± 3σ，相对每帧拟合的时钟）。"),
     &EyeFigures::widthUi, {1, 3, "UI", false}},
    {QT_TRANSLATE_NOOP("MainWindow", "幅度"),
     QT_TRANSLATE_NOOP("MainWindow", "最佳采样时刻高、低电平均值之差，单位为码值。"), &EyeFigures::amplitude,
     {1, 0, "", false}},
    {QT_TRANSLATE_NOOP("MainWindow", "交叉点"),
     QT_TRANSLATE_NOOP("MainWindow", "平均上升沿与平均下降沿相交的电平，相对幅度，从低电平算起。"),
     &EyeFigures::crossingPercent, {1, 1, "%", false}},
    {QT_TRANSLATE_NOOP("MainWindow", "上升时间"),
     QT_TRANSLATE_NOOP("MainWindow", "20 % 到 80 % 的上升时间，所有上升沿的平均。"), &EyeFigures::riseTimeS,
     {1, 4, "s", true}},
    {QT_TRANSLATE_NOOP("MainWindow", "下降时间"),
     QT_TRANSLATE_NOOP("MainWindow", "80 % 到 20 % 的下降时间，所有下降沿的平均。"), &EyeFigures::fallTimeS,
     {1, 4, "s", true}},
    {QT_TRANSLATE_NOOP("MainWindow", "抖动 rms"),
     QT_TRANSLATE_NOOP("MainWindow", "阈值过零点相对每帧全部过零点拟合的时钟的时间间隔误差（TIE）的标准差。"),
     &EyeFigures::jitterRmsS, {1, 4, "s", true}},
    {QT_TRANSLATE_NOOP("MainWindow", "抖动 pp"),
     QT_TRANSLATE_NOOP("MainWindow", "同一 TIE 的峰峰值。"), &EyeFigures::jitterPpS, {1, 4, "s", true}},
    {QT_TRANSLATE_NOOP("MainWindow", "Q 因子"),
     QT_TRANSLATE_NOOP("MainWindow", "最佳采样时刻的 (高均值 − 低均值) / (σ高 + σ低)。"), &EyeFigures::qFactor,
     {1, 2, "", false}},
    {QT_TRANSLATE_NOOP("MainWindow", "轨迹数"),
     QT_TRANSLATE_NOOP("MainWindow", "自上次清除以来保留的轨迹数。"), &EyeFigures::traces, {1, 0, "", false}},
};

// The reasons of absent figures as the window says them (the analysis
// library keeps its texts in English for the JSON report).
const struct {
    const char* reason;
    const char* text;
} kReasons[] = {
    {h452::figurereason::kNotComputed, QT_TRANSLATE_NOOP("MainWindow", "未计算")},
    {h452::figurereason::kNoSymbolRate, QT_TRANSLATE_NOOP("MainWindow", "未设置符号率")},
    {h452::figurereason::kNoSampleRate, QT_TRANSLATE_NOOP("MainWindow", "未设置采样率")},
    {h452::figurereason::kSymbolRateTooHigh, QT_TRANSLATE_NOOP("MainWindow", "符号率高于采样率的一半")},
    {h452::figurereason::kTooFewSymbols, QT_TRANSLATE_NOOP("MainWindow", "符号太少")},
    {h452::figurereason::kNoSignal, QT_TRANSLATE_NOOP("MainWindow", "无信号")},
    {h452::figurereason::kNoCarrier, QT_TRANSLATE_NOOP("MainWindow", "无载波谱线")},
    {h452::figurereason::kBpskNoQAxis, QT_TRANSLATE_NOOP("MainWindow", "BPSK 没有 Q 轴")},
    {h452::figurereason::kOneAxis, QT_TRANSLATE_NOOP("MainWindow", "判决只在一条轴上")},
    {h452::figurereason::kTooFewTraces, QT_TRANSLATE_NOOP("MainWindow", "轨迹太少")},
    {h452::figurereason::kTooFewCrossings, QT_TRANSLATE_NOOP("MainWindow", "过零点太少")},
    {h452::figurereason::kNoEyeOpening, QT_TRANSLATE_NOOP("MainWindow", "眼图未张开")},
    {h452::figurereason::kNoLevelSpread, QT_TRANSLATE_NOOP("MainWindow", "电平无噪声分布")},
};

QString reasonText(const char* reason)
{
    for (const auto& r : kReasons)
        if (std::strcmp(r.reason, reason) == 0)
            return MainWindow::tr(r.text);
    return QString::fromUtf8(reason);
}

QString formatValue(const MeasuredFigure& f, const Format& format)
{
    if (!f.present())
        return QStringLiteral("—");
    const double v = f.value * format.scale;
    if (!std::isfinite(v))
        return QStringLiteral("—");
    if (format.si && v != 0.0) {
        static const struct { double scale; const char* prefix; } kPrefixes[] = {
            {1e9, "G"}, {1e6, "M"}, {1e3, "k"}, {1, ""}, {1e-3, "m"}, {1e-6, "µ"}, {1e-9, "n"}, {1e-12, "p"}};
        for (const auto& p : kPrefixes) {
            if (std::fabs(v) >= p.scale || p.scale == 1e-12)
                return QStringLiteral("%1 %2%3")
                    .arg(QString::number(v / p.scale, 'g', format.decimals + 1), QString::fromUtf8(p.prefix),
                         QString::fromUtf8(format.unit));
        }
    }
    const QString number = QString::number(v, 'f', format.decimals);
    return *format.unit ? number + QLatin1Char(' ') + QString::fromUtf8(format.unit) : number;
}

}  // namespace

// A grid in the plot's corner: a name column, then one value column per
// channel. Labels are made once; columns of channels without figures hide.
class FigureReadout : public QFrame
{
public:
    // Object names: the frame "figureReadout", value labels
    // "figureValue<row>_<channel>", rows in the order of the figure table.
    FigureReadout(QWidget* parent, int rows) : QFrame(parent)
    {
        setObjectName(QStringLiteral("figureReadout"));
        // The panel's colours: the plot area's dark grey, the grid line
        // colour for the frame, the axis label colour for the text.
        setStyleSheet(QStringLiteral("QFrame#figureReadout{background-color: rgba(38, 38, 38, 225); "
                                     "border: 1px solid rgb(103, 103, 103);}"
                                     "QLabel{color: rgb(220, 220, 220); background: transparent;}"));
        setAttribute(Qt::WA_TransparentForMouseEvents, false);
        auto* grid = new QGridLayout(this);
        grid->setContentsMargins(6, 4, 6, 4);
        grid->setHorizontalSpacing(10);
        grid->setVerticalSpacing(0);
        QFont small = font();
        small.setPointSize(8);
        setFont(small);
        for (int c = 0; c < 4; ++c) {
            header_[c] = new QLabel(MainWindow::tr("通道 %1").arg(c), this);
            header_[c]->setStyleSheet(QStringLiteral("color: %1;").arg(h452::kChannelColours[std::size_t(c)].name()));
            grid->addWidget(header_[c], 0, c + 1, Qt::AlignRight);
        }
        for (int r = 0; r < rows; ++r) {
            names_.push_back(new QLabel(this));
            grid->addWidget(names_.back(), r + 1, 0);
            std::array<QLabel*, 4> values{};
            for (int c = 0; c < 4; ++c) {
                values[std::size_t(c)] = new QLabel(this);
                values[std::size_t(c)]->setObjectName(QStringLiteral("figureValue%1_%2").arg(r).arg(c));
                values[std::size_t(c)]->setStyleSheet(
                    QStringLiteral("color: %1;").arg(h452::kChannelColours[std::size_t(c)].name()));
                grid->addWidget(values[std::size_t(c)], r + 1, c + 1, Qt::AlignRight);
            }
            values_.push_back(values);
        }
        hide();
    }

    void setName(int row, const QString& name, const QString& tooltip)
    {
        names_[std::size_t(row)]->setText(name);
        names_[std::size_t(row)]->setToolTip(tooltip);
    }
    void setValue(int row, int channel, const QString& text, const char* reason)
    {
        QLabel* label = values_[std::size_t(row)][std::size_t(channel)];
        label->setText(text);
        label->setToolTip(reason ? reasonText(reason) : QString());
    }
    void showChannels(const bool shown[4])
    {
        for (int c = 0; c < 4; ++c) {
            header_[c]->setVisible(shown[c]);
            for (auto& row : values_)
                row[std::size_t(c)]->setVisible(shown[c]);
        }
        adjustSize();
        place();
    }
    // Top-right corner of the parent, clear of the axis labels' side.
    void place()
    {
        if (QWidget* p = parentWidget())
            move(std::max(0, p->width() - width() - 12), 8);
    }

private:
    QLabel* header_[4] = {};
    std::vector<QLabel*> names_;
    std::vector<std::array<QLabel*, 4>> values_;
};

namespace {

template <class Figures, std::size_t N>
void nameRows(FigureReadout* readout, const Row<Figures> (&rows)[N])
{
    for (std::size_t r = 0; r < N; ++r)
        readout->setName(int(r), MainWindow::tr(rows[r].name), MainWindow::tr(rows[r].tooltip));
}

template <class Figures, std::size_t N>
void fillColumn(FigureReadout* readout, int channel, const Figures& figures, const Row<Figures> (&rows)[N])
{
    for (std::size_t r = 0; r < N; ++r) {
        const MeasuredFigure& f = figures.*(rows[r].figure);
        readout->setValue(int(r), channel, formatValue(f, rows[r].format), f.present() ? nullptr : f.reason);
    }
}

// A title-bar list in the style of `model`, inserted after `after`.
QComboBox* addSwitch(QWidget* after, QComboBox* model, const QString& objectName)
{
    auto* layout = qobject_cast<QHBoxLayout*>(after->parentWidget()->layout());
    auto* box = new QComboBox(after->parentWidget());
    box->setObjectName(objectName);
    box->setFont(model->font());
    box->setStyleSheet(model->styleSheet());
    box->setMaximumHeight(model->maximumHeight());
    box->addItems({MainWindow::tr("指标：关"), MainWindow::tr("指标：开")});
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    if (layout)
        layout->insertWidget(layout->indexOf(after) + 1, box);
    return box;
}

}  // namespace

void MainWindow::setupPictureFigures()
{
    const PanelParts& constellation = panel(h452::Panel::Constellation);
    const PanelParts& eye = panel(h452::Panel::Eye);
    if (!constellation.view || !eye.view)
        return;
    QComboBox* model = ui->comBoxConstellationType;

    // Symbol rate: a value and its unit, beside the modulation list.
    auto* layout = qobject_cast<QHBoxLayout*>(model->parentWidget()->layout());
    editSymbolRate = new QLineEdit(model->parentWidget());
    editSymbolRate->setObjectName(QStringLiteral("editConstellationSymbolRate"));
    editSymbolRate->setPlaceholderText(tr("符号率"));
    editSymbolRate->setToolTip(tr("符号率；为空或 0 时不计算星座指标"));
    editSymbolRate->setFont(model->font());
    editSymbolRate->setMaximumHeight(model->maximumHeight());
    editSymbolRate->setMaximumWidth(80);
    auto* validator = new QDoubleValidator(0.0, 1e12, 6, editSymbolRate);
    validator->setNotation(QDoubleValidator::StandardNotation);
    validator->setLocale(QLocale::c());
    editSymbolRate->setValidator(validator);
    comBoxSymbolRateUnit = new QComboBox(model->parentWidget());
    comBoxSymbolRateUnit->setObjectName(QStringLiteral("comBoxConstellationSymbolUnit"));
    comBoxSymbolRateUnit->setFont(model->font());
    comBoxSymbolRateUnit->setStyleSheet(model->styleSheet());
    comBoxSymbolRateUnit->setMaximumHeight(model->maximumHeight());
    // Units read the same in both languages.
    comBoxSymbolRateUnit->addItems({QStringLiteral("Bd"), QStringLiteral("kBd"), QStringLiteral("MBd"),
                                    QStringLiteral("GBd")});
    comBoxSymbolRateUnit->setCurrentIndex(2);
    if (layout) {
        layout->insertWidget(layout->indexOf(model) + 1, editSymbolRate);
        layout->insertWidget(layout->indexOf(editSymbolRate) + 1, comBoxSymbolRateUnit);
    }
    const auto applyRate = [this] {
        static const double kUnitScale[] = {1.0, 1e3, 1e6, 1e9};
        bool ok = false;
        const double value = QLocale::c().toDouble(editSymbolRate->text(), &ok);
        const int unit = std::clamp(comBoxSymbolRateUnit->currentIndex(), 0, 3);
        const double hz = ok && std::isfinite(value) && value > 0.0 ? value * kUnitScale[unit] : 0.0;
        DataLock lock;
        symbolRateHz = std::isfinite(hz) ? hz : 0.0;
    };
    connect(editSymbolRate, &QLineEdit::textChanged, this, applyRate);
    connect(comBoxSymbolRateUnit, QOverload<int>::of(&QComboBox::currentIndexChanged), this, applyRate);

    comBoxConstellationFigures = addSwitch(comBoxSymbolRateUnit, model, QStringLiteral("comBoxConstellationFigures"));
    comBoxEyeFigures = addSwitch(comBoxEyeLook ? static_cast<QWidget*>(comBoxEyeLook) : ui->comBoxEyeChn, model,
                                 QStringLiteral("comBoxEyeFigures"));

    constellationReadout = new FigureReadout(constellation.view, int(std::size(kConstellationRows)));
    nameRows(constellationReadout, kConstellationRows);
    eyeReadout = new FigureReadout(eye.view, int(std::size(kEyeRows)));
    nameRows(eyeReadout, kEyeRows);
    symbolErrors = new SymbolErrorItem(constellation.chart);
    connect(constellation.chart, &QtCharts::QChart::plotAreaChanged, this, [this] {
        symbolErrors->refresh();
        constellationReadout->place();
    });
    connect(eye.chart, &QtCharts::QChart::plotAreaChanged, this, [this] { eyeReadout->place(); });

    connect(comBoxConstellationFigures, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
        const bool on = index == kFiguresOn;
        {
            DataLock lock;
            constellationFiguresOn = on;
        }
        if (!on) {
            constellationReadout->hide();
            symbolErrors->clear();
        }
    });
    connect(comBoxEyeFigures, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
        const bool on = index == kFiguresOn;
        {
            DataLock lock;
            eyeFiguresOn = on;
        }
        if (!on)
            eyeReadout->hide();
    });
}

void MainWindow::applyPictureFigures(const h452::PictureFigures& figures)
{
    if (!constellationReadout || !eyeReadout)
        return;
    bool constellationShown[4] = {false, false, false, false};
    bool anyConstellation = false;
    for (int c = 0; c < 4; ++c) {
        if (!figures.constellation[c])
            continue;
        const ConstellationFigures& f = figures.constellationFigures[c];
        fillColumn(constellationReadout, c, f, kConstellationRows);
        symbolErrors->setSymbols(c, h452::kChannelColours[std::size_t(c)], f.symbolI, f.symbolQ, f.idealI, f.idealQ);
        constellationShown[c] = anyConstellation = true;
    }
    // Only a switch that is still on shows what was computed while it was.
    if (anyConstellation && comBoxConstellationFigures->currentIndex() == kFiguresOn) {
        for (int c = 0; c < 4; ++c)
            if (!constellationShown[c] && !channelEnabled[c])
                symbolErrors->setSymbols(c, QColor(), {}, {}, {}, {});
        constellationReadout->showChannels(constellationShown);
        constellationReadout->show();
        constellationReadout->raise();
    } else if (comBoxConstellationFigures->currentIndex() != kFiguresOn) {
        symbolErrors->clear();
    }
    if (figures.eye && comBoxEyeFigures->currentIndex() == kFiguresOn) {
        const int c = figures.eyeChannel & 3;
        fillColumn(eyeReadout, c, figures.eyeFigures, kEyeRows);
        bool shown[4] = {false, false, false, false};
        shown[c] = true;
        eyeReadout->showChannels(shown);
        eyeReadout->show();
        eyeReadout->raise();
    }
}
