#include "language.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

// The translations are compiled into this library; a static library's resources are only
// linked in when something refers to them.
static void initTranslationResources()
{
    Q_INIT_RESOURCE(translations);
}

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
    auto *translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral(":/translations/ostrel-scout_pl.qm")) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

} // namespace Language
