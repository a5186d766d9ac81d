// End to end: starts the built H452 under an invisible X server with
// --screenshot and checks the picture it saves: the window at its size, the
// dark overview strip and chart, the OpenGL-drawn trace of channel 0 (which
// only an X server with OpenGL draws; the bare offscreen platform leaves it
// blank), and the light control column on the right.
#include <QColor>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

int countColour(const QImage& image, const QRect& area, const QColor& colour)
{
    const QRect r = area.intersected(image.rect());
    const QRgb wanted = colour.rgb();
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x)
            n += (image.pixel(x, y) & 0xffffff) == (wanted & 0xffffff);
    }
    return n;
}

}  // namespace

TEST(Screenshot, ShowsTheWindowWithDarkChartsTraceAndControlColumn)
{
    const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfbRun.isEmpty())
        GTEST_SKIP() << "xvfb-run is not installed (tools/install-deps.sh installs it)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString shot = dir.filePath(QStringLiteral("shot.png"));

    QProcess program;
    // The working folder holds no translation: the console starts in Chinese.
    program.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("LOMPCIE_BOARDS"));
    // Mesa's software driver leaks a little at exit; not ours to judge.
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(xvfbRun, {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1600x1000x24 -dpi 96"),
                            QStringLiteral(H452_PROGRAM), QStringLiteral("--screenshot"), shot,
                            QStringLiteral("--screenshot-delay"), QStringLiteral("3000")});
    ASSERT_TRUE(program.waitForStarted(10000));
    const bool finished = program.waitForFinished(180000);
    if (!finished)
        program.kill();
    ASSERT_TRUE(finished) << "H452 did not quit after its screenshot";
    ASSERT_EQ(program.exitCode(), 0) << program.readAll().toStdString();

    QImage image(shot);
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.size(), QSize(1290, 861));
    image = image.convertToFormat(QImage::Format_RGB32);

    // The control column is 344 px wide at the right edge; the plot column
    // takes the rest (less the 2 px gap between them).
    const QRect plotColumn(0, 0, 1290 - 344 - 2, 861);
    const QRect controlColumn(1290 - 344, 0, 344, 861);

    // The overview strip across the top of the plot column.
    EXPECT_GT(countColour(image, QRect(0, 0, plotColumn.width(), 40), QColor(38, 38, 38)),
              plotColumn.width() * 40 / 2);
    // The expanded time chart: its grey frame and its darker plot area fill
    // a good part of the column.
    const int chartFrame = countColour(image, plotColumn, QColor(60, 60, 60));
    const int plotArea = countColour(image, plotColumn.adjusted(0, 40, 0, 0), QColor(38, 38, 38));
    EXPECT_GT(chartFrame, 5000);
    EXPECT_GT(plotArea, plotColumn.width() * 200);
    // Channel 0's trace, drawn through OpenGL without antialiasing.
    EXPECT_GT(countColour(image, plotColumn, QColor(240, 228, 66)), 300);
    // The light control column.
    EXPECT_GT(countColour(image, controlColumn, QColor(247, 247, 247)), 344 * 861 / 2);
}

namespace {

// Runs H452 on the offscreen platform (no X server needed) and returns its
// exit code, or -1 when it does not end within the time-out.
int runProgram(const QStringList& args, QByteArray* output)
{
    QTemporaryDir dir;
    QProcess program;
    program.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("LOMPCIE_BOARDS"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(QStringLiteral(H452_PROGRAM), args);
    if (!program.waitForFinished(120000)) {
        program.kill();
        program.waitForFinished(5000);
        return -1;
    }
    *output = program.readAll();
    return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
}

}  // namespace

TEST(Screenshot, MalformedOptionsAreRefusedBeforeTheWindowOpens)
{
    QByteArray output;
    EXPECT_EQ(runProgram({QStringLiteral("--screenshot")}, &output), 2);
    EXPECT_TRUE(output.contains("--screenshot needs a file name")) << output.toStdString();
    EXPECT_EQ(runProgram({QStringLiteral("--screenshot"), QStringLiteral("x.png"), QStringLiteral("--screenshot-delay"),
                          QStringLiteral("soon")},
                         &output),
              2);
    EXPECT_EQ(runProgram({QStringLiteral("--screenshot"), QStringLiteral("x.png"), QStringLiteral("--screenshot-delay"),
                          QStringLiteral("-5")},
                         &output),
              2);
}

TEST(Screenshot, UnwritableFileEndsWithAFailureCode)
{
    QByteArray output;
    EXPECT_EQ(runProgram({QStringLiteral("--screenshot"), QStringLiteral("/nonexistent-folder/shot.png"),
                          QStringLiteral("--screenshot-delay"), QStringLiteral("0")},
                         &output),
              1);
    EXPECT_TRUE(output.contains("cannot write the screenshot")) << output.toStdString();
}
