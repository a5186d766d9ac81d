// The interface language chosen at start-up.
//
// Without an option the console behaves as it always has: it loads
// "Translation_en.qm" from its working directory when that file is there and
// otherwise shows its built-in Chinese texts. `--lang en` loads the English
// translation built into the program's resources (so an installed program
// needs no file beside it), `--lang zh` keeps the Chinese texts even when a
// translation file lies in the working directory. Any other value is an
// error: the program says so in one line and exits with 2, like its other
// malformed options, rather than guessing a language.
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;
class QTranslator;

enum class InterfaceLanguage { FromWorkingDirectory, English, Chinese };

// Reads `--lang VALUE` or `--lang=VALUE` from the program's arguments (the
// last one wins). Returns false and sets *error to a one-line message when
// the value is missing or unknown; *language is then left unchanged.
bool parseInterfaceLanguage(const QStringList& args, InterfaceLanguage* language, QString* error);

// Loads the chosen translation into translator and installs it on app.
// Returns true when a translation was installed. The translator must
// outlive every window built afterwards.
bool installInterfaceLanguage(QCoreApplication& app, QTranslator& translator, InterfaceLanguage language);
