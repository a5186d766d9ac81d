// Settings: the main window's non-modal settings dialog. Its acquisition page
// turns a typed sample rate into the nearest rate the board can produce
// (SampleRate.h) and announces it with the register values through
// sigSampleRateChange; its display page has six switches whose states it
// announces, 1 ms after the last change, through sigShowStateChange.
//
// The acquisition page also chooses the block size of continuous transfer
// (comBoxBlockSize, built here rather than in the form: 4 KiB to 16 MiB,
// 8 KiB by default) and the memory of the ring between stream and recorder
// (comBoxRingMemory: 8 MiB to 4 GiB, 8 MiB by default), announced through
// sigBlockSizeChange and sigRingMemoryChange; the window takes them at the
// next recording.
//
// The record-length field and button, the sampling-method, sampling-mode and
// interpolation choices and the manual-override switch are shown for the
// look of a full instrument dialog but have no behaviour: the record length
// is set in the main window's control column, and the board has no other
// acquisition modes to select.
#pragma once

#include <QDialog>
#include <QString>

class QTimer;

namespace Ui {
class Settings;
}

class Settings : public QDialog
{
    Q_OBJECT

public:
    explicit Settings(QWidget* parent = nullptr);
    ~Settings() override;

    // What the main window calls before showing the dialog: when its own
    // displayed rate differs from the last accepted text, that text becomes
    // the last accepted one and is put into the rate field.
    void showSampleRate(const QString& rateText);

    // The owned form; the main window and the tests reach its widgets by name.
    Ui::Settings* ui;
    // The last rate text accepted and announced (empty at construction).
    QString lastSampleRate;

signals:
    // rate text, m (RateMode), o (DecimationCode), r (DecimationFactor).
    void sigSampleRateChange(QString sampleRate, int sampleRatParam, int dataParam, int CICParam);
    // show[0..5]: Time, Measurements, Frequency, FrequencyRsp, Constellation,
    // Eye; show[6..9] are always false. The array lives only during the
    // emission, so receivers copy what they keep (connect directly).
    void sigShowStateChange(bool show[10]);
    // The chosen block size of continuous transfer, in bytes.
    void sigBlockSizeChange(qint64 bytes);
    // The chosen memory of the ring of blocks, in bytes.
    void sigRingMemoryChange(qint64 bytes);

private slots:
    void onbtnSampleRateClicked();
    void oncheckShowStateChanged(int state);

private:
    void emitShowState();

    // A row of the acquisition page: label and a choice of sizes from
    // `from` to `to` (doubling), `chosen` selected; each choice announced
    // through `announce`.
    void addSizeRow(const QString& labelText, const QString& name, qint64 from, qint64 to, qint64 chosen,
                    void (Settings::*announce)(qint64));

    // Merges a burst of switch changes into one announcement.
    QTimer* showStateTimer;
};
