// The eye drawn from hit counts.
//
// The eye series of the analysis (Eye.h) stays the model: the same traces,
// 50 positions, at most 200 a frame, the 1,000,000-point cap trimmed at a
// separator, cleared on a change of the eye channel. Its changes still reach
// this thread in the frame updates (EyeChange: a batch, a trim count, a
// clear). Instead of handing a million-point list to a line series on every
// update (a copy and a full redraw each time), each change goes into the
// channel's EyeHitHistory, which keeps the same points and their hit counts,
// and EyeImageItem paints the counts through the eye chart's axes. In the
// "轨迹" look every cell a trace passed shows in the channel colour (what the
// series drew); "色阶" grades the cells from rare to frequent. The eye's line
// series stay in the chart, empty, so the chart keeps its layout.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "ChannelPalette.h"
#include "EyeImageItem.h"

#include <QChart>
#include <QComboBox>
#include <QHBoxLayout>
#include <QStyledItemDelegate>
#include <QValueAxis>

#include <vector>

void MainWindow::setupEyeImage()
{
    const PanelParts& eye = panel(h452::Panel::Eye);
    if (!eye.chart)
        return;
    eyeImage = new EyeImageItem(eye.chart, eye.axisX, eye.axisY);
    const auto refresh = [this] { eyeImage->refresh(); };
    connect(eye.chart, &QtCharts::QChart::plotAreaChanged, this, refresh);
    connect(eye.axisX, &QtCharts::QValueAxis::rangeChanged, this, refresh);
    connect(eye.axisY, &QtCharts::QValueAxis::rangeChanged, this, refresh);

    // The look, beside the channel list and styled like it.
    comBoxEyeLook = new QComboBox(ui->widgetEyeTitle);
    comBoxEyeLook->setObjectName(QStringLiteral("comBoxEyeLook"));
    comBoxEyeLook->addItems({tr("轨迹"), tr("色阶")});
    comBoxEyeLook->setFixedSize(ui->comBoxEyeChn->size());
    comBoxEyeLook->setFont(ui->comBoxEyeChn->font());
    comBoxEyeLook->setStyleSheet(ui->comBoxEyeChn->styleSheet());
    comBoxEyeLook->setItemDelegate(new QStyledItemDelegate(comBoxEyeLook));
    if (auto* row = qobject_cast<QHBoxLayout*>(ui->widgetEyeTitle->layout()))
        row->insertWidget(row->indexOf(ui->comBoxEyeChn) + 1, comBoxEyeLook);
    connect(comBoxEyeLook, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { eyeImage->setColourScale(index == 1); });
    showEyeImage();
}

void MainWindow::applyEyeChanges(const h452::FrameUpdate& update)
{
    std::vector<double> x, y;
    bool changed = false;
    for (std::size_t c = 0; c < eyeHits.size(); ++c) {
        const h452::EyeChange& e = update.eye[c];
        if (e.isEmpty())
            continue;
        x.resize(std::size_t(e.batch.size()));
        y.resize(std::size_t(e.batch.size()));
        for (int i = 0; i < e.batch.size(); ++i) {
            x[std::size_t(i)] = e.batch[i].x();
            y[std::size_t(i)] = e.batch[i].y();
        }
        eyeHits[c].apply(e.clear, x.data(), y.data(), x.size(),
                         std::size_t(std::max<std::int64_t>(0, e.trimFront)));
        changed = true;
    }
    if (changed)
        showEyeImage();
}

void MainWindow::showEyeImage()
{
    if (!eyeImage)
        return;
    const int c = eyeChannel.load() & 3;
    eyeImage->setImage(&eyeHits[std::size_t(c)].image(), h452::kChannelColours[std::size_t(c)]);
}
