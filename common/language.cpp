#include "language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

// The translations are compiled into this library; a static library's resources are only
// linked in when something refers to them.
static void initTranslationResources()
{
    Q_INIT_RESOURCE(translations);
}

namespace {

bool install(QCoreApplication &app, const QString &fileName, const QString &folder)
{
    auto *translator = new QTranslator(&app);
    if (!translator->load(fileName, folder) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

QString qtTranslationsFolder()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
}

} // namespace

namespace Language {

bool isPolish()
{
    return QLocale::system().language() == QLocale::Polish;
}

bool installTranslator(QCoreApplication &app)
{
    if (!isPolish())
        return false;
    initTranslationResources();
    // Qt's own texts (the buttons and labels of file dialogs and message boxes) come from
    // Qt's translations folder; without them those dialogs stay English.
    // qtbase_pl, not qt_pl: that one only names the modules' files and fails to load when
    // one of them is not there, as where only what the program uses is installed (Windows).
    install(app, QStringLiteral("qtbase_pl"), qtTranslationsFolder());
    return install(app, QStringLiteral("ostrel-scout_pl.qm"), QStringLiteral(":/translations"));
}

} // namespace Language
