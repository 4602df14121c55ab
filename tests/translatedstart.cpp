#include "language.h"

#include <QCoreApplication>

// Runs inside the application object's constructor, as the program's main does right after
// making it.
static void installTranslatorAtStart()
{
    Language::installTranslator(*QCoreApplication::instance());
}
Q_COREAPP_STARTUP_FUNCTION(installTranslatorAtStart)
