// Measuring cursors on the Time, Spectrum and Frequency-response panels and
// the Spectrum panel's peak and harmonic markers. For the cursors: the
// switches that turn them on (the form's cursor list in the Time title bar,
// a list in the same style in the other two) and the readouts, which say
// what a bench engineer reads off: Time in samples and seconds with Δt and
// 1/Δt, y in converter codes; Spectrum and Frequency response in hertz with
// each shown channel's level at both cursors and the difference in dB. The
// cursors themselves (drawing, dragging, typed values) are ChartCursors.
// The markers are switched by the form's marker list; "next peak" sits
// beside it and shows only while they are on.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "ChartCursors.h"
#include "ChartMarkers.h"
#include "DeviceState.h"
#include "InteractiveChartView.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QXYSeries>

#include <cmath>

namespace {

using h452::Panel;

// In the cursor lists index 0 is on and index 1 off, as in the form.
constexpr int kCursorsOn = 0;
constexpr int kCursorsOff = 1;
// Buttons added to title bars: the colours of the form's title-bar lists.
const char* const kTitleButtonStyle = "QPushButton{background-color: rgb(226, 228, 230); color: black; border: none; "
                                      "padding: 1px 8px;}"
                                      "QPushButton:hover{background-color: white; border: 1px solid rgb(67, 134, 186);}";
// The spectrum and frequency-response axes are in MHz.
constexpr double kHzPerMHz = 1e6;

// A value with an SI prefix and four significant digits: "250 ns", "4 MHz".
QString si(double value, const char* unit)
{
    if (!std::isfinite(value))
        return QStringLiteral("-");
    static const struct { double scale; const char* prefix; } kPrefixes[] = {
        {1e9, "G"}, {1e6, "M"}, {1e3, "k"}, {1, ""}, {1e-3, "m"}, {1e-6, "µ"}, {1e-9, "n"}, {1e-12, "p"}};
    const double magnitude = std::fabs(value);
    for (const auto& p : kPrefixes) {
        if (magnitude >= p.scale || p.scale == 1e-12)
            return QStringLiteral("%1 %2%3").arg(QString::number(value / p.scale, 'g', 4),
                                                 QString::fromUtf8(p.prefix), QLatin1String(unit));
    }
    return QString();
}

QString number(double value)
{
    return std::isfinite(value) ? QString::number(value, 'g', 6) : QStringLiteral("-");
}

}  // namespace

void MainWindow::setupInstruments()
{
    const Panel withCursors[] = {Panel::Time, Panel::Frequency, Panel::FrequencyRsp};
    for (Panel p : withCursors) {
        const PanelParts& parts = panel(p);
        if (!parts.view)
            continue;
        auto* c = new ChartCursors(parts.view);
        cursors[static_cast<std::size_t>(p)] = c;
        for (QtCharts::QXYSeries* s : parts.series)
            c->watch(s);
    }

    if (ChartCursors* c = cursors[int(Panel::Time)]) {
        c->setReadout([this](const ChartCursors& k) {
            const double x1 = k.value(ChartCursors::X1), x2 = k.value(ChartCursors::X2);
            const double y1 = k.value(ChartCursors::Y1), y2 = k.value(ChartCursors::Y2);
            const double fs = sampleRateHz;
            const double dt = (x2 - x1) / fs;
            // Symbols and units read the same in both languages.
            return QStringLiteral("x1: %1 (%2)   x2: %3 (%4)\nΔt: %5   1/Δt: %6\ny1: %7   y2: %8   Δy: %9")
                .arg(number(x1), si(x1 / fs, "s"), number(x2), si(x2 / fs, "s"), si(dt, "s"),
                     dt != 0.0 ? si(1.0 / dt, "Hz") : QStringLiteral("-"), number(y1), number(y2), number(y2 - y1));
        });
    }
    for (Panel p : {Panel::Frequency, Panel::FrequencyRsp}) {
        ChartCursors* c = cursors[static_cast<std::size_t>(p)];
        if (!c)
            continue;
        const PanelParts* parts = &panel(p);
        c->setReadout([this, parts](const ChartCursors& k) {
            const double f1 = k.value(ChartCursors::X1), f2 = k.value(ChartCursors::X2);
            QString text = QStringLiteral("f1: %1   f2: %2   Δf: %3")
                               .arg(si(f1 * kHzPerMHz, "Hz"), si(f2 * kHzPerMHz, "Hz"), si((f2 - f1) * kHzPerMHz, "Hz"));
            for (int ch = 0; ch < 4; ++ch) {
                const QtCharts::QXYSeries* s = parts->series[static_cast<std::size_t>(ch)];
                if (!s || !s->isVisible() || s->count() == 0)
                    continue;
                const double l1 = ChartCursors::valueAt(s, f1), l2 = ChartCursors::valueAt(s, f2);
                text += QStringLiteral("\n%1: %2 dB   %3 dB   Δ %4 dB")
                            .arg(tr("通道 %1").arg(ch), number(l1), number(l2), number(l2 - l1));
            }
            const double y1 = k.value(ChartCursors::Y1), y2 = k.value(ChartCursors::Y2);
            return text + QStringLiteral("\ny1: %1 dB   y2: %2 dB   Δy: %3 dB").arg(number(y1), number(y2), number(y2 - y1));
        });
    }

    // The Time panel's switch is the form's own list; Spectrum and Frequency
    // response get a copy of it beside their other title-bar controls.
    QComboBox* timeSwitch = ui->comBoxTimeCursors;
    timeSwitch->setCurrentIndex(kCursorsOff);
    timeSwitch->setVisible(true);
    // Each goes just before `beside` or, with `after`, just behind it: next
    // to the title in both bars, not across the bar's stretch.
    const struct { Panel panel; QWidget* beside; bool after; } copies[] = {
        {Panel::Frequency, ui->comBoxFrequencyMarker, false},
        {Panel::FrequencyRsp, ui->comBoxFrequencyRspChn, true},
    };
    std::array<QComboBox*, h452::kPanelCount> switches{};
    switches[int(Panel::Time)] = timeSwitch;
    for (const auto& copy : copies) {
        auto* layout = qobject_cast<QHBoxLayout*>(copy.beside->parentWidget()->layout());
        if (!layout || layout->indexOf(copy.beside) < 0)
            continue;
        auto* box = new QComboBox(copy.beside->parentWidget());
        box->setObjectName(QStringLiteral("comBoxCursors%1").arg(int(copy.panel)));
        box->setMinimumSize(timeSwitch->minimumSize());
        box->setMaximumSize(timeSwitch->maximumSize());
        box->setFont(timeSwitch->font());
        box->setStyleSheet(timeSwitch->styleSheet());
        box->addItems({timeSwitch->itemText(kCursorsOn), timeSwitch->itemText(kCursorsOff)});
        box->setCurrentIndex(kCursorsOff);
        layout->insertWidget(layout->indexOf(copy.beside) + (copy.after ? 1 : 0), box);
        switches[static_cast<std::size_t>(copy.panel)] = box;
    }
    for (std::size_t p = 0; p < switches.size(); ++p) {
        ChartCursors* c = cursors[p];
        if (!switches[p] || !c)
            continue;
        connect(switches[p], QOverload<int>::of(&QComboBox::currentIndexChanged), c,
                [c](int index) { c->setActive(index == kCursorsOn); });
    }

    // Markers: the form's list, index 0 on, starting off.
    if (panel(Panel::Frequency).view) {
        spectrumMarkers = new ChartMarkers(panel(Panel::Frequency).view, panel(Panel::Frequency).series,
                                           [this] { return sampleRateHz; });
        QComboBox* markerSwitch = ui->comBoxFrequencyMarker;
        markerSwitch->setCurrentIndex(kCursorsOff);
        markerSwitch->setVisible(true);
        auto* next = new QPushButton(tr("下一峰值"), markerSwitch->parentWidget());
        next->setObjectName(QStringLiteral("btnFrequencyNextPeak"));
        next->setFont(markerSwitch->font());
        next->setMinimumHeight(markerSwitch->minimumHeight());
        next->setMaximumHeight(markerSwitch->maximumHeight());
        next->setStyleSheet(QLatin1String(kTitleButtonStyle));
        next->setVisible(false);
        if (auto* layout = qobject_cast<QHBoxLayout*>(markerSwitch->parentWidget()->layout()))
            layout->insertWidget(layout->indexOf(markerSwitch) + 1, next);
        ChartMarkers* markers = spectrumMarkers;
        connect(markerSwitch, QOverload<int>::of(&QComboBox::currentIndexChanged), markers,
                [markers, next](int index) {
                    markers->setActive(index == kCursorsOn);
                    next->setVisible(index == kCursorsOn);
                });
        connect(next, &QPushButton::clicked, markers, &ChartMarkers::nextPeak);
    }

    setupSpectrumAveraging();
    setupExport();
}

void MainWindow::setupSpectrumAveraging()
{
    // Mode list, N and Reset in the Spectrum title bar, before the marker
    // list, in the form's style; N and Reset only while they mean something.
    QComboBox* style = ui->comBoxFrequencyMarker;
    auto* layout = qobject_cast<QHBoxLayout*>(style->parentWidget()->layout());
    if (!layout)
        return;
    auto* mode = new QComboBox(style->parentWidget());
    mode->setObjectName(QStringLiteral("comBoxFrequencyAverage"));
    mode->setMinimumSize(style->minimumSize());
    mode->setMaximumSize(style->maximumSize());
    mode->setFont(style->font());
    mode->setStyleSheet(style->styleSheet());
    // Item order = SpectrumAverageMode.
    mode->addItems({tr("正常"), tr("功率平均"), tr("峰值保持")});
    auto* count = new QSpinBox(style->parentWidget());
    count->setObjectName(QStringLiteral("spinFrequencyAverageCount"));
    count->setRange(h452::kMinAverageCount, h452::kMaxAverageCount);
    count->setValue(spectrumAverageCount);
    count->setPrefix(QStringLiteral("N = "));
    count->setFont(style->font());
    count->setMaximumHeight(style->maximumHeight());
    count->setVisible(false);
    auto* reset = new QPushButton(tr("复位"), style->parentWidget());
    reset->setObjectName(QStringLiteral("btnFrequencyAverageReset"));
    reset->setFont(style->font());
    reset->setMaximumHeight(style->maximumHeight());
    reset->setStyleSheet(QLatin1String(kTitleButtonStyle));
    reset->setVisible(false);
    const int at = layout->indexOf(style);
    layout->insertWidget(at, reset);
    layout->insertWidget(at, count);
    layout->insertWidget(at, mode);

    connect(mode, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this, count, reset](int index) {
        const auto m = static_cast<h452::SpectrumAverageMode>(index);
        count->setVisible(m == h452::SpectrumAverageMode::PowerAverage);
        reset->setVisible(m != h452::SpectrumAverageMode::Normal);
        DataLock lock;
        spectrumAverageMode = m;
    });
    // The spin box keeps typed values within 2 .. 1024 itself.
    connect(count, QOverload<int>::of(&QSpinBox::valueChanged), this, [this](int n) {
        DataLock lock;
        spectrumAverageCount = n;
    });
    connect(reset, &QPushButton::clicked, this, [this] {
        DataLock lock;
        ++spectrumAverageResets;
    });
}
