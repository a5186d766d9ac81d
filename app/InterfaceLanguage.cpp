// Start-up language: see InterfaceLanguage.h.
#include "InterfaceLanguage.h"

#include <QCoreApplication>
#include <QFile>
#include <QTranslator>

namespace {

// Built from app/translations/Translation_en.ts into the program's resources.
const char kBuiltInEnglish[] = ":/translations/Translation_en.qm";
// Looked up relative to the working directory, by that exact name.
const char kWorkingDirectoryFile[] = "Translation_en.qm";

}  // namespace

bool parseInterfaceLanguage(const QStringList& args, InterfaceLanguage* language, QString* error)
{
    const QString option = QStringLiteral("--lang");
    bool seen = false;
    QString value;
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg == option) {
            seen = true;
            value = i + 1 < args.size() ? args.at(++i) : QString();
        } else if (arg.startsWith(option + QLatin1Char('='))) {
            seen = true;
            value = arg.mid(option.size() + 1);
        }
    }
    if (!seen)
        return true;
    if (value == QLatin1String("en")) {
        *language = InterfaceLanguage::English;
        return true;
    }
    if (value == QLatin1String("zh")) {
        *language = InterfaceLanguage::Chinese;
        return true;
    }
    *error = value.isEmpty() ? QStringLiteral("H452: --lang needs en or zh")
                             : QStringLiteral("H452: unknown language \"%1\" for --lang (en or zh)").arg(value);
    return false;
}

bool installInterfaceLanguage(QCoreApplication& app, QTranslator& translator, InterfaceLanguage language)
{
    switch (language) {
    case InterfaceLanguage::Chinese:
        return false;  // the built-in texts are Chinese
    case InterfaceLanguage::English:
        if (!translator.load(QString::fromLatin1(kBuiltInEnglish)))
            return false;
        return app.installTranslator(&translator);
    case InterfaceLanguage::FromWorkingDirectory:
        break;
    }
    const QString file = QString::fromLatin1(kWorkingDirectoryFile);
    if (!QFile::exists(file))
        return false;
    // A file that fails to load leaves the built-in Chinese texts.
    translator.load(file);
    app.installTranslator(&translator);
    return !translator.isEmpty();
}
