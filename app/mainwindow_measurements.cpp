// The measurements panel's standard view. See mainwindow_measurements.h.
#include "mainwindow_measurements.h"

#include <QApplication>
#include <QBoxLayout>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// Texts live in the window's translation context, so Translation_en.ts
// carries them beside the window's own. Literal texts call
// QCoreApplication::translate themselves (lupdate finds them there); the
// tables of QT_TRANSLATE_NOOP texts go through here.
QString text(const char* source)
{
    return QCoreApplication::translate("MainWindow", source);
}

// The title bar's buttons look like the form's own.
const char* const kButtonStyle =
    "QPushButton{background-color: rgb(226, 228, 230); color: black; border: none; padding: 5px;}\n"
    "QPushButton:hover{background-color: white; border: 1px solid rgb(67, 134, 186);}\n"
    "QPushButton:pressed, QPushButton:checked{background-color: rgb(67, 134, 186); color: white; "
    "border: 1px solid rgb(67, 134, 186);}";

// How each of the table's own figures is counted, in its column order.
const char* const kTableTips[] = {
    QT_TRANSLATE_NOOP("MainWindow", "通道编号"),
    QT_TRANSLATE_NOOP("MainWindow", "频点 1…N/2 的总功率减去谐波 1…5(各 ±h 频点,重叠频点计两次),按 dBm 换算,"
                                    "不按 ENBW 修正"),
    QT_TRANSLATE_NOOP("MainWindow", "同一噪声在 50 Ω 上的均方根电压"),
    QT_TRANSLATE_NOOP("MainWindow", "谐波 1…5(含基波)/ 噪声,谐波不折叠"),
    QT_TRANSLATE_NOOP("MainWindow", "(SNR − 1.76) / 6.02,由 SNR 而非 SINAD 得出"),
    QT_TRANSLATE_NOOP("MainWindow", "最强频点的电平,满量程 32767"),
    QT_TRANSLATE_NOOP("MainWindow", "最强频点的频率"),
    QT_TRANSLATE_NOOP("MainWindow", "基波 ±h 频点之外的最高频点减去基波电平,负数"),
    QT_TRANSLATE_NOOP("MainWindow", "基波 ±h 频点 / 其余频点 1…N/2"),
};

struct StandardColumn {
    const char* header;  // translated when tr is set
    bool tr;
    const char* tip;
};

// The standard view's columns after the channel: the ten figures of
// StandardFigures::value() in order, the fit's ENOB, the warnings.
const StandardColumn kStandardColumns[] = {
    {QT_TRANSLATE_NOOP("MainWindow", "基波(MHz)"), true,
     QT_TRANSLATE_NOOP("MainWindow", "直流所占频点之外最强谱线所占频点的功率加权中心频率")},
    {QT_TRANSLATE_NOOP("MainWindow", "基波(dBFS)"), true,
     QT_TRANSLATE_NOOP("MainWindow", "基波所占频点的功率之和;满量程为峰值 32768 的正弦")},
    {"SINAD(dB)", false,
     QT_TRANSLATE_NOOP("MainWindow", "基波 / (谐波 2…K + 噪声);噪声为无人占用频点的功率按全频带折算")},
    {"SNR(dB)", false, QT_TRANSLATE_NOOP("MainWindow", "基波 / 噪声(不含谐波,含非谐波杂散)")},
    {"THD(dBc)", false, QT_TRANSLATE_NOOP("MainWindow", "谐波 2…K 之和 / 基波;谐波按奈奎斯特与直流折叠,"
                                                        "重复占用的频点只计一次")},
    {"SFDR(dBc)", false, QT_TRANSLATE_NOOP("MainWindow", "基波 / 最大杂散(谐波或非谐波,不含直流),正数")},
    {"SFDR(dBFS)", false, QT_TRANSLATE_NOOP("MainWindow", "满量程 / 最大杂散,正数")},
    {"ENOB", false, QT_TRANSLATE_NOOP("MainWindow", "(SINAD − 1.76) / 6.02")},
    {"ENOB(FS)", false, QT_TRANSLATE_NOOP("MainWindow", "以满量程为参考的 SINAD 得出的 ENOB")},
    {"NSD(dBFS/Hz)", false,
     QT_TRANSLATE_NOOP("MainWindow", "噪声 / 满量程 / (fs/2);已计入窗口的 ENBW = N·Σw²/(Σw)²")},
    {QT_TRANSLATE_NOOP("MainWindow", "拟合 ENOB"), true,
     QT_TRANSLATE_NOOP("MainWindow", "四参数正弦拟合:log2(65536 / (√12 · 残差均方根))")},
    {QT_TRANSLATE_NOOP("MainWindow", "警告"), true, QT_TRANSLATE_NOOP("MainWindow", "图标的提示给出原因")},
};
constexpr int kStandardColumnCount = int(sizeof kStandardColumns / sizeof kStandardColumns[0]);
constexpr int kFitColumn = h452::StandardFigures::kCount;  // after the ten figures
constexpr int kWarningColumn = kFitColumn + 1;

// In flag order, as the analysis library numbers them.
const char* const kWarningTexts[h452::kFigureWarningCount] = {
    QT_TRANSLATE_NOOP("MainWindow", "码值达到 32767 或 −32768:转换器削波,指标包含该失真。"),
    QT_TRANSLATE_NOOP("MainWindow", "最大谱线是直流:信号可能弱于偏置。"),
    QT_TRANSLATE_NOOP("MainWindow", "矩形窗下信号位于频点之间:泄漏主导噪声与失真指标。"),
    QT_TRANSLATE_NOOP("MainWindow", "折叠后的谐波落在基波频点上:THD 不含它。"),
    QT_TRANSLATE_NOOP("MainWindow", "折叠后的谐波落在直流频点上:THD 不含它。"),
    QT_TRANSLATE_NOOP("MainWindow", "两个信号的频点重叠:相关谐波的电平无法分开。"),
    QT_TRANSLATE_NOOP("MainWindow", "基波频点触及直流频点:其电平与指标不可靠。"),
    QT_TRANSLATE_NOOP("MainWindow", "基波频点触及奈奎斯特频点:其镜像与之重叠。"),
    QT_TRANSLATE_NOOP("MainWindow", "基波低于 −40 dBFS:ENOB 描述的是信号而非转换器。"),
    QT_TRANSLATE_NOOP("MainWindow", "正弦拟合的 ENOB 与满量程频谱 ENOB 相差超过 0.5 位。"),
};

QString warningSentences(std::uint32_t warnings)
{
    QStringList lines;
    for (int w = 0; w < h452::kFigureWarningCount; ++w)
        if (warnings & static_cast<std::uint32_t>(h452::figureWarningAt(w)))
            lines << QStringLiteral("%1: %2").arg(QLatin1String(h452::figureWarningCode(w)),
                                                  text(kWarningTexts[w]));
    return lines.join(QLatin1Char('\n'));
}

QString number(double value)
{
    return std::isnan(value) ? QStringLiteral("—") : QString::number(value, 'f', 2);
}

// "latest (mean ± σ)"; without statistics the latest value alone.
QString withStats(double latest, const h452::RunningStats& s)
{
    if (s.count() == 0)
        return number(latest);
    return QStringLiteral("%1 (%2 ± %3)").arg(number(latest), number(s.mean()), number(s.std()));
}

void setCell(QTableWidget* table, int row, int column, const QString& value)
{
    QTableWidgetItem* item = table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        table->setItem(row, column, item);
    }
    if (item->text() != value)
        item->setText(value);
}

QTableWidget* makeTable(QWidget* parent, const QStringList& headers)
{
    auto* table = new QTableWidget(4, headers.size(), parent);
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setStyleSheet(QStringLiteral("QTableWidget{background-color: rgb(247, 247, 247);}"));
    for (int row = 0; row < 4; ++row)
        table->setItem(row, 0, new QTableWidgetItem(QStringLiteral("%1%2").arg(QCoreApplication::translate("MainWindow", "通道 ")).arg(row)));
    return table;
}

QPushButton* makeButton(QWidget* parent, const QString& label, const QString& tip, int width)
{
    auto* button = new QPushButton(label, parent);
    button->setToolTip(tip);
    button->setStyleSheet(QLatin1String(kButtonStyle));
    // At least `width`, wider when the text needs it (the English labels are
    // longer than the Chinese ones).
    button->setFixedSize(std::max(width, button->sizeHint().width()), 26);
    return button;
}

}  // namespace

StandardMeasurementsView::StandardMeasurementsView(QWidget* titleBar, QTableWidget* statTable, QObject* parent)
    : QObject(parent), statTable_(statTable)
{
    statTableMaxHeight_ = statTable->maximumHeight();
    for (int c = 0; c < statTable->columnCount() && c < int(std::size(kTableTips)); ++c)
        if (QTableWidgetItem* header = statTable->horizontalHeaderItem(c))
            header->setToolTip(text(kTableTips[c]));

    switch_ = makeButton(titleBar, QCoreApplication::translate("MainWindow", "标准"), QCoreApplication::translate("MainWindow", "切换测量视图:表格规定的八项指标或 IEEE 1241 标准指标"), 60);
    switch_->setCheckable(true);
    reset_ = makeButton(titleBar, QCoreApplication::translate("MainWindow", "复位"), QCoreApplication::translate("MainWindow", "清除统计(均值、标准差、最小、最大、次数)"), 60);
    reset_->setEnabled(false);
    if (auto* bar = qobject_cast<QBoxLayout*>(titleBar->layout())) {
        int at = bar->count();
        for (int i = 0; i < bar->count(); ++i)
            if (qobject_cast<QLabel*>(bar->itemAt(i)->widget())) {
                at = i + 1;
                break;
            }
        bar->insertWidget(at, switch_);
        bar->insertWidget(at + 1, reset_);
    }

    standard_ = new QWidget(statTable->parentWidget());
    auto* box = new QVBoxLayout(standard_);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(2);
    QStringList headers{QCoreApplication::translate("MainWindow", "通道")};
    for (const StandardColumn& c : kStandardColumns)
        headers << (c.tr ? text(c.header) : QLatin1String(c.header));
    figures_ = makeTable(standard_, headers);
    figures_->setObjectName(QStringLiteral("standardFigureTable"));
    figures_->horizontalHeaderItem(0)->setToolTip(text(kTableTips[0]));
    for (int c = 0; c < kStandardColumnCount; ++c)
        figures_->horizontalHeaderItem(c + 1)->setToolTip(
            text(kStandardColumns[c].tip) + QLatin1Char('\n') + QCoreApplication::translate("MainWindow", "最新值(均值 ± σ,自复位起)"));
    QStringList harmonicHeaders{QCoreApplication::translate("MainWindow", "通道")};
    for (int m = 2; m <= h452::kDefaultMaxHarmonic; ++m)
        harmonicHeaders << QStringLiteral("H%1").arg(m);
    harmonics_ = makeTable(standard_, harmonicHeaders);
    harmonics_->setObjectName(QStringLiteral("standardHarmonicTable"));
    harmonics_->horizontalHeaderItem(0)->setToolTip(text(kTableTips[0]));
    for (int m = 2; m <= h452::kDefaultMaxHarmonic; ++m)
        harmonics_->horizontalHeaderItem(m - 1)->setToolTip(
            QCoreApplication::translate("MainWindow", "第 %1 次谐波:电平(dBc)@ 折叠后的频率(MHz)").arg(m));
    box->addWidget(figures_, 3);
    box->addWidget(harmonics_, 2);
    standard_->hide();
    if (auto* panel = qobject_cast<QBoxLayout*>(statTable->parentWidget()->layout()))
        panel->insertWidget(panel->indexOf(statTable) + 1, standard_, 1);
    statTable->installEventFilter(this);

    connect(switch_, &QPushButton::toggled, this, &StandardMeasurementsView::setStandardView);
    connect(reset_, &QPushButton::clicked, this, [this] { store_.resetStatistics(); });
}

bool StandardMeasurementsView::standardShown() const
{
    return switch_->isChecked();
}

void StandardMeasurementsView::setStandardView(bool shown)
{
    reset_->setEnabled(shown);
    if (shown)
        store_.resetStatistics();  // statistics cover the frames seen in this view
    updateVisibility();
}

void StandardMeasurementsView::updateVisibility()
{
    const bool standard = switch_->isChecked();
    const bool expanded = !statTable_->isHidden();
    statTable_->setMaximumHeight(standard ? 0 : statTableMaxHeight_);
    // The panel's collapse hides statTable; the standard tables follow it,
    // and frames compute the set (with fit and statistics) only while it
    // is on screen.
    standard_->setVisible(standard && expanded);
    store_.setStandardView(standard && expanded);
}

bool StandardMeasurementsView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == statTable_ && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        updateVisibility();
    return QObject::eventFilter(watched, event);
}

void StandardMeasurementsView::refresh(const bool channelEnabled[4])
{
    if (statTable_->isHidden())
        return;  // panel collapsed: nothing shown, nothing asked for
    const h452::StandardFigureStore::Snapshot s = store_.snapshot();
    if (switch_->isChecked()) {
        if (s.valid)
            fillStandard(s, channelEnabled);
        return;
    }
    store_.requestWarnings();
    if (s.valid)
        fillWarningTips(s, channelEnabled);
}

void StandardMeasurementsView::fillStandard(const h452::StandardFigureStore::Snapshot& s,
                                            const bool channelEnabled[4])
{
    for (int k = 0; k < 4; ++k) {
        const h452::StandardChannelResult& r = s.channels[std::size_t(k)];
        if (!channelEnabled[k] || !r.processed)
            continue;
        const h452::ChannelFigureStats& stats = s.stats[std::size_t(k)];
        // Statistics are kept in the units of the reports (Hz); the table
        // shows the fundamental in MHz.
        constexpr int kTableCount = h452::ChannelFigures::kCount;
        for (int f = 0; f < h452::StandardFigures::kCount; ++f) {
            const h452::RunningStats& st = stats.figures[std::size_t(kTableCount + f)];
            if (f == 0) {
                if (st.count())
                    setCell(figures_, k, 1,
                            QStringLiteral("%1 (%2 ± %3)")
                                .arg(number(r.figures.fundamentalHz / 1e6), number(st.mean() / 1e6),
                                     number(st.std() / 1e6)));
                else
                    setCell(figures_, k, 1, number(r.figures.fundamentalHz / 1e6));
                continue;
            }
            setCell(figures_, k, f + 1, withStats(r.figures.value(f), st));
        }
        const int fitEnob = kTableCount + h452::StandardFigures::kCount + h452::kSineFitFigureCount - 1;
        setCell(figures_, k, kFitColumn + 1,
                withStats(h452::sineFitValue(r.fit, h452::kSineFitFigureCount - 1),
                          stats.figures[std::size_t(fitEnob)]));
        const QString tip = warningSentences(r.figures.warnings);
        setCell(figures_, k, kWarningColumn + 1, tip.isEmpty() ? QString() : QString::number(tip.count('\n') + 1));
        QTableWidgetItem* item = figures_->item(k, kWarningColumn + 1);
        item->setIcon(tip.isEmpty() ? QIcon()
                                    : QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning));
        item->setToolTip(tip);
        for (std::size_t j = 0; j + 1 < std::size_t(harmonics_->columnCount()); ++j) {
            QString cell = number(h452::kAbsent);
            if (j < r.figures.harmonics.size()) {
                const h452::HarmonicLine& line = r.figures.harmonics[j];
                cell = QStringLiteral("%1 @ %2").arg(number(line.levelDbc), number(line.freqHz / 1e6));
            }
            setCell(harmonics_, k, int(j) + 1, cell);
        }
    }
    // "latest (mean ± σ)" is wider than a header: show it whole.
    figures_->resizeColumnsToContents();
    harmonics_->resizeColumnsToContents();
}

void StandardMeasurementsView::fillWarningTips(const h452::StandardFigureStore::Snapshot& s,
                                               const bool channelEnabled[4])
{
    // statTable sorts its rows: a channel's row is found by its label.
    for (int k = 0; k < 4; ++k) {
        const h452::StandardChannelResult& r = s.channels[std::size_t(k)];
        if (!channelEnabled[k] || !r.processed)
            continue;
        const QString label = QStringLiteral("%1%2").arg(QCoreApplication::translate("MainWindow", "通道 ")).arg(k);
        for (int row = 0; row < statTable_->rowCount(); ++row) {
            QTableWidgetItem* item = statTable_->item(row, 0);
            if (item && item->text() == label) {
                const QString tip = warningSentences(r.figures.warnings);
                if (item->toolTip() != tip)
                    item->setToolTip(tip);
                break;
            }
        }
    }
}
