// The settings dialog on the offscreen platform: its form, the rate entry
// with its announcement and debug line, and the deferred panel switches.
#include "Settings.h"
#include "ui_Settings.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStringList>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

QStringList gMessages;

void captureMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    gMessages.append(message);
}

struct MessageCapture
{
    QtMessageHandler previous;
    MessageCapture() : previous(qInstallMessageHandler(captureMessage)) { gMessages.clear(); }
    ~MessageCapture() { qInstallMessageHandler(previous); }
};

void enterRate(Settings& dialog, const QString& text)
{
    dialog.ui->editSampleRate->setText(text);
    QTest::mouseClick(dialog.ui->btnSampleRate, Qt::LeftButton);
}

}  // namespace

TEST(SettingsDialog, FormHasItsTabsAndSwitches)
{
    Settings dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("设置"));
    EXPECT_EQ(dialog.size(), QSize(452, 418));
    EXPECT_EQ(dialog.ui->tabWidget->tabPosition(), QTabWidget::West);
    EXPECT_EQ(dialog.ui->tabWidget->currentIndex(), 1);
    ASSERT_EQ(dialog.ui->tabWidget->count(), 3);
    EXPECT_EQ(dialog.ui->tabWidget->tabText(0), QStringLiteral("水平"));
    EXPECT_EQ(dialog.ui->tabWidget->tabText(1), QStringLiteral("采集"));
    EXPECT_EQ(dialog.ui->tabWidget->tabText(2), QStringLiteral("显示"));
    EXPECT_EQ(dialog.ui->editSampleRate->text(), QStringLiteral("1GS/s"));
    EXPECT_TRUE(dialog.lastSampleRate.isEmpty());
    for (QCheckBox* box : {dialog.ui->checkBoxTime, dialog.ui->checkBoxMeasure, dialog.ui->checkBoxFreq,
                           dialog.ui->checkBoxFreqRsp, dialog.ui->checkBoxConstellation, dialog.ui->checkBoxEye}) {
        EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
        EXPECT_TRUE(box->text().isEmpty());
    }
    EXPECT_FALSE(dialog.ui->checkBoxTime->isEnabled());
    EXPECT_TRUE(dialog.ui->checkBoxMeasure->isEnabled());
}

TEST(SettingsDialog, AnnouncesASnappedRateOnceAndLogsItReadably)
{
    MessageCapture capture;
    Settings dialog;
    QSignalSpy changed(&dialog, &Settings::sigSampleRateChange);

    enterRate(dialog, QStringLiteral("12 MS/s"));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toString(), QStringLiteral("10.417MS/s"));
    EXPECT_EQ(changed.at(0).at(1).toInt(), 2);
    EXPECT_EQ(changed.at(0).at(2).toInt(), 19);
    EXPECT_EQ(changed.at(0).at(3).toInt(), 6);
    EXPECT_EQ(dialog.ui->editSampleRate->text(), QStringLiteral("10.417MS/s"));
    EXPECT_EQ(dialog.lastSampleRate, QStringLiteral("10.417MS/s"));
    // The debug line is readable text, not bytes of another code page.
    ASSERT_FALSE(gMessages.isEmpty());
    EXPECT_TRUE(gMessages.first().startsWith(QStringLiteral("用户输入采样率 = 12"))) << gMessages.first().toStdString();
    EXPECT_TRUE(gMessages.first().contains(QStringLiteral("MS/S")));
    EXPECT_TRUE(gMessages.last().startsWith(QStringLiteral("onbtnSampleRateClicked")));

    // The same rate again (typed differently) announces nothing.
    enterRate(dialog, QStringLiteral("11MS/s"));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(dialog.ui->editSampleRate->text(), QStringLiteral("10.417MS/s"));

    enterRate(dialog, QStringLiteral("1gs/s"));
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed.at(1).at(0).toString(), QStringLiteral("1GS/s"));
    EXPECT_EQ(changed.at(1).at(1).toInt(), 0);
    EXPECT_EQ(changed.at(1).at(2).toInt(), -1);
    EXPECT_EQ(changed.at(1).at(3).toInt(), -1);
}

TEST(SettingsDialog, RefusedEntriesRestoreTheLastAcceptedText)
{
    Settings dialog;
    QSignalSpy changed(&dialog, &Settings::sigSampleRateChange);
    enterRate(dialog, QStringLiteral("100kS/s"));
    ASSERT_EQ(changed.count(), 1);
    for (const QString& bad : {QStringLiteral("50 S/s"), QStringLiteral("fast"), QString()}) {
        enterRate(dialog, bad);
        EXPECT_EQ(dialog.ui->editSampleRate->text(), QStringLiteral("89.286KS/s")) << bad.toStdString();
    }
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(dialog.lastSampleRate, QStringLiteral("89.286KS/s"));
}

TEST(SettingsDialog, ShowSampleRateTakesTheWindowsText)
{
    Settings dialog;
    QSignalSpy changed(&dialog, &Settings::sigSampleRateChange);
    dialog.showSampleRate(QStringLiteral("500MS/s"));
    EXPECT_EQ(dialog.lastSampleRate, QStringLiteral("500MS/s"));
    EXPECT_EQ(dialog.ui->editSampleRate->text(), QStringLiteral("500MS/s"));
    // Applying the rate the window already shows announces nothing.
    QTest::mouseClick(dialog.ui->btnSampleRate, Qt::LeftButton);
    EXPECT_EQ(changed.count(), 0);
    // An unchanged text leaves what the user is typing alone.
    dialog.ui->editSampleRate->setText(QStringLiteral("3MS/s"));
    dialog.showSampleRate(QStringLiteral("500MS/s"));
    EXPECT_EQ(dialog.ui->editSampleRate->text(), QStringLiteral("3MS/s"));
}

TEST(SettingsDialog, PanelSwitchesAnnounceOnceAfterTheBurst)
{
    Settings dialog;
    std::vector<std::array<bool, 10>> received;
    QObject::connect(&dialog, &Settings::sigShowStateChange, [&received](bool show[10]) {
        std::array<bool, 10> copy{};
        for (int i = 0; i < 10; ++i)
            copy[size_t(i)] = show[i];
        received.push_back(copy);
    });

    dialog.ui->checkBoxMeasure->setChecked(false);
    // Deferred: nothing yet, inside the same event-loop pass.
    EXPECT_TRUE(received.empty());
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), size_t(1), 5000);
    const std::array<bool, 10> expected = {true, false, true, true, true, true, false, false, false, false};
    EXPECT_EQ(received[0], expected);

    // Two switches in one pass give one announcement with both changes.
    dialog.ui->checkBoxEye->setChecked(false);
    dialog.ui->checkBoxMeasure->setChecked(true);
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), size_t(2), 5000);
    const std::array<bool, 10> expected2 = {true, true, true, true, true, false, false, false, false, false};
    EXPECT_EQ(received[1], expected2);
    // No stray third signal follows: wait until the timer has surely fired
    // by letting another deferred change through, then count.
    dialog.ui->checkBoxFreq->setChecked(false);
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), size_t(3), 5000);
    EXPECT_FALSE(received[2][2]);
}
