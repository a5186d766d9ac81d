// The start-up language: what --lang accepts, and which translation each
// choice installs (the built-in English resource, none for Chinese, the
// working directory's file by default).
#include "InterfaceLanguage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTranslator>

#include <gtest/gtest.h>

namespace {

QString windowTitle()
{
    return QCoreApplication::translate("MainWindow", "示波器控制台");
}

// Runs install() with dir as the working directory, then takes the
// translator out again so that later tests see the Chinese texts.
struct InstallResult {
    bool installed = false;
    QString title;
};
InstallResult installIn(const QString& dir, InterfaceLanguage language)
{
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir);
    QTranslator translator;
    InstallResult r;
    r.installed = installInterfaceLanguage(*QCoreApplication::instance(), translator, language);
    r.title = windowTitle();
    QCoreApplication::removeTranslator(&translator);
    QDir::setCurrent(previous);
    return r;
}

}  // namespace

TEST(InterfaceLanguage, ParsesTheOptionAndRejectsUnknownValues)
{
    struct Case {
        QStringList args;
        bool ok;
        InterfaceLanguage expected;
    };
    const InterfaceLanguage wd = InterfaceLanguage::FromWorkingDirectory;
    const Case cases[] = {
        {{"H452"}, true, wd},
        {{"H452", "--lang", "en"}, true, InterfaceLanguage::English},
        {{"H452", "--lang=zh"}, true, InterfaceLanguage::Chinese},
        {{"H452", "--lang", "en", "--screenshot", "x.png", "--lang", "zh"}, true, InterfaceLanguage::Chinese},
        {{"H452", "--lang"}, false, wd},
        {{"H452", "--lang="}, false, wd},
        {{"H452", "--lang", "fr"}, false, wd},
        {{"H452", "--lang", "EN"}, false, wd},
        // The program's own name is never read as an option.
        {{"--lang=fr"}, true, wd},
    };
    for (const Case& c : cases) {
        InterfaceLanguage language = wd;
        QString error;
        const bool ok = parseInterfaceLanguage(c.args, &language, &error);
        EXPECT_EQ(ok, c.ok) << c.args.join(' ').toStdString();
        EXPECT_EQ(language, c.expected) << c.args.join(' ').toStdString();
        EXPECT_EQ(error.isEmpty(), c.ok) << c.args.join(' ').toStdString();
    }
}

TEST(InterfaceLanguage, EachChoiceInstallsItsTranslation)
{
    QTemporaryDir empty;
    QTemporaryDir withFile;
    ASSERT_TRUE(empty.isValid() && withFile.isValid());
    // The working-directory file: the built-in English, copied out.
    ASSERT_TRUE(QFile::copy(QStringLiteral(":/translations/Translation_en.qm"),
                            withFile.filePath(QStringLiteral("Translation_en.qm"))));
    const QString english = QStringLiteral("Oscilloscope Console");
    const QString chinese = QStringLiteral("示波器控制台");

    const InstallResult builtIn = installIn(empty.path(), InterfaceLanguage::English);
    EXPECT_TRUE(builtIn.installed);
    EXPECT_EQ(builtIn.title, english);

    const InstallResult noFile = installIn(empty.path(), InterfaceLanguage::FromWorkingDirectory);
    EXPECT_FALSE(noFile.installed);
    EXPECT_EQ(noFile.title, chinese);

    const InstallResult fromFile = installIn(withFile.path(), InterfaceLanguage::FromWorkingDirectory);
    EXPECT_TRUE(fromFile.installed);
    EXPECT_EQ(fromFile.title, english);

    // Asking for Chinese wins over a translation file in the working folder.
    const InstallResult forcedChinese = installIn(withFile.path(), InterfaceLanguage::Chinese);
    EXPECT_FALSE(forcedChinese.installed);
    EXPECT_EQ(forcedChinese.title, chinese);
    EXPECT_EQ(windowTitle(), chinese);
}
