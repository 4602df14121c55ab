#include "highdpi.h"
#include "language.h"
#include "mainwindow.h"
#include "scupdate.h"
#include "version.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    HighDpi::enable();
    QApplication app(argc, argv);
    // Set before any object of the program exists: everything reads its version from here.
    QCoreApplication::setApplicationVersion(QStringLiteral(SCOUT_VERSION));
    // Windows translate their texts as they are built.
    Language::installTranslator(app);

    MainWindow window;
    window.show();

    // The checker has no parent and deletes itself once the check, or its prompt, is done.
    auto *updater = new SCUpdate(&app);
    updater->checkForUpdate();

    return app.exec();
}
