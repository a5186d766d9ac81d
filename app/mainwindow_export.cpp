// Export of what a panel shows: the chart as a PNG (as drawn, at its size or
// twice it), its data as CSV, and the measurements table as CSV. Reached from
// each panel's context menu and by Ctrl+S (image) and Ctrl+E (data) for the
// panel under the mouse. Files go through QSaveFile (a temporary beside the
// target, renamed only when complete), so an unwritable folder or a failure
// half-way leaves no half-written file; the user is told why in a message.
//
// CSV contents, every file starting with "# " lines naming the panel, the
// sample rate and the time the panel's data last changed:
//   Time:      sample, time_s, one column per shown channel (codes), from the
//              unthinned copy of the record, inside the visible x range;
//   Spectrum:  freq_hz, one level_db column per shown channel: every bin of
//              the last frame inside the visible x range, not the thinned
//              drawn points (the averaged or held trace when the panel
//              averages);
//   Frequency response: long form channel, freq_hz, level_db (its x
//              differs per channel);
//   Constellation and eye: point lists channel, x, y inside the visible x
//              range (the eye from its kept traces, an empty row between
//              traces).
// The context menu of the cursor panels also sets a cursor by typed value.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "ChartCursors.h"
#include "DeviceState.h"
#include "InteractiveChartView.h"

#include <QAction>
#include <QBuffer>
#include <QChart>
#include <QDateTime>
#include <QDir>
#include <QInputDialog>
#include <QLineEdit>
#include <QFileDialog>
#include <QLineSeries>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QSaveFile>
#include <QTextStream>
#include <QShortcut>
#include <QTableWidget>
#include <QValueAxis>
#include <QXYSeries>

#include <cmath>

namespace {

using h452::Panel;

// File-name stems of the panels (index = Panel).
const char* const kPanelStems[h452::kPanelCount] = {"time", "measurements", "spectrum", "frequency-response",
                                                    "constellation", "eye"};

QString number(double v)
{
    return QString::number(v, 'g', 10);
}

bool saveBytes(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = MainWindow::tr("无法写入 %1：%2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}

}  // namespace

QString MainWindow::defaultExportPath(int panelIndex, const QString& suffix) const
{
    const QString stem = panelIndex >= 0 && panelIndex < h452::kPanelCount ? QLatin1String(kPanelStems[panelIndex])
                                                                         : QStringLiteral("panel");
    return QDir::current().filePath(
        QStringLiteral("%1-%2.%3").arg(stem, QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")),
                                       suffix));
}

bool MainWindow::exportPanelImage(int panelIndex, const QString& path, int scale, QString* error) const
{
    const PanelParts& parts = panelAt(panelIndex);
    if (!parts.view || scale < 1 || scale > 2) {
        if (error)
            *error = tr("这个面板没有图像可保存");
        return false;
    }
    // Rendered rather than grabbed, so the 2x image is drawn at twice the
    // resolution instead of scaled up, and a collapsed panel still renders.
    QImage image(parts.view->size() * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(parts.chart ? parts.chart->backgroundBrush().color() : QColor(Qt::black));
    {
        QPainter painter(&image);
        parts.view->render(&painter);
    }
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    return saveBytes(path, bytes, error);
}

bool MainWindow::exportPanelData(int panelIndex, const QString& path, QString* error) const
{
    QString text;
    QTextStream out(&text);
    const auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    if (panelIndex == int(Panel::Measurements)) {
        const QTableWidget* table = ui->statTable;
        QStringList header;
        for (int c = 0; c < table->columnCount(); ++c)
            header << (table->horizontalHeaderItem(c) ? table->horizontalHeaderItem(c)->text() : QString());
        out << QStringLiteral("channel,") << header.join(QLatin1Char(',')) << '\n';
        for (int r = 0; r < table->rowCount(); ++r) {
            out << (table->verticalHeaderItem(r) ? table->verticalHeaderItem(r)->text() : QString::number(r));
            for (int c = 0; c < table->columnCount(); ++c)
                out << ',' << (table->item(r, c) ? table->item(r, c)->text() : QString());
            out << '\n';
        }
        out.flush();
        return saveBytes(path, text.toUtf8(), error);
    }

    const PanelParts& parts = panelAt(panelIndex);
    if (!parts.chart || !parts.axisX)
        return fail(tr("这个面板没有数据可导出"));
    const double lo = parts.axisX->min(), hi = parts.axisX->max();
    const Panel which = static_cast<Panel>(panelIndex);
    // The Time panel exports the unthinned record, the spectrum every bin of
    // its last frame (below), the others what is drawn.
    std::array<const QtCharts::QXYSeries*, 4> source{};
    for (int ch = 0; ch < 4; ++ch) {
        const QtCharts::QXYSeries* s = parts.series[std::size_t(ch)];
        if (!s || !s->isVisible() || s->count() == 0)
            continue;
        const QtCharts::QXYSeries* whole = overviewSeries[ch];
        source[std::size_t(ch)] = which == Panel::Time && whole && whole->count() >= s->count() ? whole : s;
    }
    // The eye is drawn from its kept points' hit counts, so its series stay
    // empty: its points come from the kept history of the eye's channel.
    const h452::EyeHitHistory* eye = nullptr;
    if (which == Panel::Eye) {
        const h452::EyeHitHistory& kept = eyeHistory(eyeChannel.load());
        if (kept.size() > 0)
            eye = &kept;
    }
    bool any = eye != nullptr;
    for (const auto* s : source)
        any = any || s;
    if (!any)
        return fail(tr("这个面板没有数据可导出"));

    out << "# panel," << kPanelStems[panelIndex] << '\n'
        << "# sample_rate_hz," << number(sampleRateHz) << '\n'
        << "# frame_time," << panelDataTime[std::size_t(panelIndex)].toString(Qt::ISODateWithMs) << '\n';
    // The spectrum's every bin from the last frame it drew; the drawn points
    // only when that frame is no longer at hand (none drew a spectrum since).
    std::vector<double> binHz;
    std::array<std::vector<double>, 4> binDb;
    if (which == Panel::Frequency) {
        DataLock lock;
        frameProcessor.lastSpectrum(binHz, binDb);
    }
    bool allBins = !binHz.empty();
    for (int ch = 0; ch < 4 && allBins; ++ch)
        allBins = !source[std::size_t(ch)] || binDb[std::size_t(ch)].size() == binHz.size();
    if (allBins) {
        out << "freq_hz";
        for (int ch = 0; ch < 4; ++ch)
            if (source[std::size_t(ch)])
                out << ",ch" << ch << "_level_db";
        out << '\n';
        for (std::size_t i = 0; i < binHz.size(); ++i) {
            const double mhz = binHz[i] / 1e6;
            if (mhz < lo || mhz > hi)
                continue;
            out << number(binHz[i]);
            for (int ch = 0; ch < 4; ++ch)
                if (source[std::size_t(ch)])
                    out << ',' << number(binDb[std::size_t(ch)][i]);
            out << '\n';
        }
    } else if (which == Panel::Time || which == Panel::Frequency) {
        // One row per x of the first shown channel; the others are the same
        // bins or samples, read by position.
        const QtCharts::QXYSeries* first = nullptr;
        for (const auto* s : source)
            if (s && !first)
                first = s;
        const QVector<QPointF> xs = first->pointsVector();
        std::array<QVector<QPointF>, 4> pts;
        out << (which == Panel::Time ? "sample,time_s" : "freq_hz");
        for (int ch = 0; ch < 4; ++ch) {
            if (!source[std::size_t(ch)])
                continue;
            pts[std::size_t(ch)] = source[std::size_t(ch)]->pointsVector();
            out << ",ch" << ch << (which == Panel::Time ? "_code" : "_level_db");
        }
        out << '\n';
        for (int i = 0; i < xs.size(); ++i) {
            const double x = xs[i].x();
            if (x < lo || x > hi)
                continue;
            if (which == Panel::Time)
                out << number(x) << ',' << number(x / sampleRateHz);
            else
                out << number(x * 1e6);
            for (int ch = 0; ch < 4; ++ch)
                if (source[std::size_t(ch)])
                    out << ',' << (i < pts[std::size_t(ch)].size() ? number(pts[std::size_t(ch)][i].y()) : QString());
            out << '\n';
        }
    } else {
        const bool freq = which == Panel::FrequencyRsp;
        out << (freq ? "channel,freq_hz,level_db\n" : "channel,x,y\n");
        if (eye) {
            // The traces as drawn, inside the visible x range; a trace's
            // separator is kept as an empty row so the traces stay apart.
            const double* ex = eye->x();
            const double* ey = eye->y();
            for (std::size_t i = 0; i < eye->size(); ++i) {
                if (std::isnan(ex[i]))
                    out << '\n';
                else if (ex[i] >= lo && ex[i] <= hi)
                    out << eyeChannel.load() << ',' << number(ex[i]) << ',' << number(ey[i]) << '\n';
            }
        }
        for (int ch = 0; ch < 4; ++ch) {
            if (!source[std::size_t(ch)])
                continue;
            for (const QPointF& p : source[std::size_t(ch)]->pointsVector())
                if (p.x() >= lo && p.x() <= hi)
                    out << ch << ',' << number(freq ? p.x() * 1e6 : p.x()) << ',' << number(p.y()) << '\n';
        }
    }
    out.flush();
    return saveBytes(path, text.toUtf8(), error);
}

void MainWindow::setupExport()
{
    for (int p = 0; p < h452::kPanelCount; ++p) {
        const PanelParts& parts = panelAt(p);
        QWidget* target = parts.view ? static_cast<QWidget*>(parts.view) : parts.content;
        if (!target)
            continue;
        for (const QtCharts::QXYSeries* s : parts.series)
            if (s)
                connect(s, &QtCharts::QXYSeries::pointsReplaced, this,
                        [this, p] { panelDataTime[std::size_t(p)] = QDateTime::currentDateTime(); });
        target->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(target, &QWidget::customContextMenuRequested, this, [this, p, target](const QPoint& at) {
            QMenu menu(target);
            if (panelAt(p).view) {
                menu.addAction(tr("保存图像 (PNG)…"), this, [this, p] { exportWithDialog(p, false, 1); });
                menu.addAction(tr("保存图像 2× (PNG)…"), this, [this, p] { exportWithDialog(p, false, 2); });
            }
            menu.addAction(tr("导出数据 (CSV)…"), this, [this, p] { exportWithDialog(p, true, 1); });
            if (ChartCursors* c = cursors[std::size_t(p)]; c && c->isActive()) {
                menu.addSeparator();
                const char* names[] = {"x1", "x2", "y1", "y2"};
                for (int line = 0; line < ChartCursors::kLineCount; ++line)
                    menu.addAction(tr("设置光标 %1…").arg(QLatin1String(names[line])), this, [this, c, line, names] {
                        bool ok = false;
                        const QString typed = QInputDialog::getText(this, tr("设置光标"), QLatin1String(names[line]),
                                                                    QLineEdit::Normal,
                                                                    number(c->value(ChartCursors::Line(line))), &ok);
                        if (ok && !c->setValueText(ChartCursors::Line(line), typed))
                            QMessageBox::warning(this, tr("设置光标"), tr("“%1”不是坐标轴可见范围内的数值").arg(typed));
                    });
            }
            menu.exec(target->mapToGlobal(at));
        });
    }
    // The panel under the mouse; the Time panel when the mouse is elsewhere.
    const auto panelUnderMouse = [this] {
        for (int p = 0; p < h452::kPanelCount; ++p) {
            const PanelParts& parts = panelAt(p);
            QWidget* w = parts.view ? static_cast<QWidget*>(parts.view) : parts.content;
            if (w && w->isVisible() && w->underMouse())
                return p;
        }
        return int(Panel::Time);
    };
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this), &QShortcut::activated, this,
            [this, panelUnderMouse] { exportWithDialog(panelUnderMouse(), false, 1); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_E), this), &QShortcut::activated, this,
            [this, panelUnderMouse] { exportWithDialog(panelUnderMouse(), true, 1); });
}

void MainWindow::exportWithDialog(int panelIndex, bool data, int scale)
{
    const QString suffix = data ? QStringLiteral("csv") : QStringLiteral("png");
    const QString path = QFileDialog::getSaveFileName(
        this, data ? tr("导出数据 (CSV)…") : tr("保存图像 (PNG)…"), defaultExportPath(panelIndex, suffix),
        data ? QStringLiteral("CSV (*.csv)") : QStringLiteral("PNG (*.png)"));
    if (path.isEmpty())
        return;
    QString error;
    const bool ok = data ? exportPanelData(panelIndex, path, &error) : exportPanelImage(panelIndex, path, scale, &error);
    if (!ok)
        QMessageBox::warning(this, data ? tr("导出数据 (CSV)…") : tr("保存图像 (PNG)…"), error);
}
