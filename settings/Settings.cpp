// The settings dialog: rate entry and panel switches.
#include "Settings.h"
#include "BlockSize.h"
#include "SampleRate.h"
#include "ui_Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QDebug>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

Settings::Settings(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::Settings)
    , showStateTimer(new QTimer(this))
{
    ui->setupUi(this);
    showStateTimer->setSingleShot(true);
    showStateTimer->setInterval(1);
    connect(showStateTimer, &QTimer::timeout, this, &Settings::emitShowState);
    connect(ui->btnSampleRate, &QPushButton::clicked, this, &Settings::onbtnSampleRateClicked);
    for (QCheckBox* box : {ui->checkBoxTime, ui->checkBoxMeasure, ui->checkBoxFreq, ui->checkBoxFreqRsp,
                           ui->checkBoxConstellation, ui->checkBoxEye})
        connect(box, &QCheckBox::stateChanged, this, &Settings::oncheckShowStateChanged);

    // The block size of continuous transfer and the ring's memory, each on
    // its own row below the rate.
    addSizeRow(tr("传输块大小"), QStringLiteral("BlockSize"), blocksize::kMinBytes, blocksize::kMaxBytes,
               blocksize::kDefaultBytes, &Settings::sigBlockSizeChange);
    addSizeRow(tr("环形缓冲区"), QStringLiteral("RingMemory"), blocksize::kDefaultRingBytes, blocksize::kMaxRingBytes,
               blocksize::kDefaultRingBytes, &Settings::sigRingMemoryChange);
}

void Settings::addSizeRow(const QString& labelText, const QString& name, qint64 from, qint64 to, qint64 chosen,
                          void (Settings::*announce)(qint64))
{
    auto* label = new QLabel(labelText, ui->widgetAcquisition);
    label->setObjectName(QStringLiteral("lab") + name);
    label->setFont(ui->labSampleRate->font());
    auto* box = new QComboBox(ui->widgetAcquisition);
    box->setObjectName(QStringLiteral("comBox") + name);
    box->setMaximumSize(ui->comBoxMethod->maximumSize());
    for (qint64 bytes = from; bytes <= to; bytes *= 2) {
        box->addItem(blocksize::bytesText(bytes), bytes);
        if (bytes == chosen)
            box->setCurrentIndex(box->count() - 1);
    }
    const int row = ui->gridLayoutAcquisition->rowCount();
    ui->gridLayoutAcquisition->addWidget(label, row, 0);
    ui->gridLayoutAcquisition->addWidget(box, row, ui->gridLayoutAcquisition->columnCount() - 1);
    connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this, box, announce](int index) {
        if (index >= 0)
            emit(this->*announce)(box->itemData(index).toLongLong());
    });
}

Settings::~Settings()
{
    delete ui;
}

void Settings::showSampleRate(const QString& rateText)
{
    if (rateText == lastSampleRate)
        return;
    lastSampleRate = rateText;
    ui->editSampleRate->setText(rateText);
}

void Settings::onbtnSampleRateClicked()
{
    TypedSampleRate typed;
    if (!parseSampleRateText(ui->editSampleRate->text(), &typed)) {
        ui->editSampleRate->setText(lastSampleRate);
        return;
    }
    qDebug() << "用户输入采样率 =" << typed.value << typed.unit;
    SampleRateChoice choice;
    if (!snapSampleRate(typed.rateHz, &choice)) {
        ui->editSampleRate->setText(lastSampleRate);
        return;
    }
    ui->editSampleRate->setText(choice.rateText);
    if (choice.rateText == lastSampleRate)
        return;
    lastSampleRate = choice.rateText;
    emit sigSampleRateChange(choice.rateText, choice.mode, choice.decimationCode, choice.factor);
    qDebug() << "onbtnSampleRateClicked" << choice.rateText << choice.mode << choice.decimationCode
             << choice.factor;
}

void Settings::oncheckShowStateChanged(int)
{
    // Restarting the timer merges switches changed in one pass into one signal.
    showStateTimer->start();
}

void Settings::emitShowState()
{
    bool show[10] = {ui->checkBoxTime->isChecked(),
                     ui->checkBoxMeasure->isChecked(),
                     ui->checkBoxFreq->isChecked(),
                     ui->checkBoxFreqRsp->isChecked(),
                     ui->checkBoxConstellation->isChecked(),
                     ui->checkBoxEye->isChecked(),
                     false,
                     false,
                     false,
                     false};
    emit sigShowStateChange(show);
}
