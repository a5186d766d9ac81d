// Entry of the H452 console: the application object, the interface language
// (the optional English translation from the working directory, or the one
// --lang names), the one main window and the event loop. The window is
// destroyed before the translator and the application.
#include "InterfaceLanguage.h"
#include "mainwindow.h"

#include <QApplication>
#include <QFont>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

namespace {

// --screenshot FILE [--screenshot-delay MS]: once the window has run for the
// delay (2000 ms by default: the default set-up, a few frames and the panel
// relayout), save it as a PNG and quit with 0, or with 1 when the file cannot
// be written. QWidget::grab() renders the OpenGL-drawn traces too where an
// OpenGL context exists (under Xvfb, not on the bare offscreen platform).
struct ScreenshotRequest
{
    QString file;
    int delayMs = 2000;
};

// False (after a message) when the options are malformed.
bool parseScreenshotRequest(const QStringList& args, ScreenshotRequest* request)
{
    const int fileAt = args.indexOf(QStringLiteral("--screenshot"));
    if (fileAt < 0)
        return true;
    if (fileAt + 1 >= args.size() || args.at(fileAt + 1).isEmpty()) {
        std::fprintf(stderr, "H452: --screenshot needs a file name\n");
        return false;
    }
    request->file = args.at(fileAt + 1);
    const int delayAt = args.indexOf(QStringLiteral("--screenshot-delay"));
    if (delayAt >= 0) {
        bool ok = false;
        const int delayMs = delayAt + 1 < args.size() ? args.at(delayAt + 1).toInt(&ok) : -1;
        if (!ok || delayMs < 0 || delayMs > 600000) {
            std::fprintf(stderr, "H452: --screenshot-delay needs milliseconds from 0 to 600000\n");
            return false;
        }
        request->delayMs = delayMs;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    // Our options are read before the application object exists, so that a
    // malformed one gets its own message and exit code even where no display
    // can be opened.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    ScreenshotRequest screenshot;
    if (!parseScreenshotRequest(args, &screenshot))
        return 2;
    InterfaceLanguage language = InterfaceLanguage::FromWorkingDirectory;
    QString languageError;
    if (!parseInterfaceLanguage(args, &language, &languageError)) {
        std::fprintf(stderr, "%s\n", qPrintable(languageError));
        return 2;
    }
    QApplication app(argc, argv);
    // The version shown in the window title ("示波器控制台 v1.0.0.0").
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0.0"));
    // The form asks for fonts that Linux does not have; map them to real CJK
    // families before any widget is built so that Chinese text renders.
    const QStringList cjk = {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei")};
    QFont::insertSubstitutions(QStringLiteral("微软雅黑 Light"), cjk);
    QFont::insertSubstitutions(QStringLiteral("微软雅黑"), cjk);
    QFont::insertSubstitutions(QStringLiteral("华文细黑"), cjk);

    QTranslator translator;
    installInterfaceLanguage(app, translator, language);

    MainWindow window;
    window.show();
    if (!screenshot.file.isEmpty()) {
        QTimer::singleShot(screenshot.delayMs, &window, [&window, &screenshot]() {
            const bool saved = window.grab().save(screenshot.file, "PNG");
            if (!saved)
                std::fprintf(stderr, "H452: cannot write the screenshot %s\n", qPrintable(screenshot.file));
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
