#include "highdpi.h"
#include "language.h"
#include "mainwindow.h"
#include "scupdate.h"
#include "singleinstance.h"
#include "version.h"

#include <QApplication>

namespace {

// Brings the window to the front as a second start of the program asks for: shown again if it
// was closed while the update prompt kept the program running, restored if minimised.
void bringForward(QWidget &window)
{
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace

int main(int argc, char *argv[])
{
    HighDpi::enable();
    QApplication app(argc, argv);
    // Set before any object of the program exists: everything reads its version from here.
    QCoreApplication::setApplicationVersion(QStringLiteral(SCOUT_VERSION));

    // Decided before anything is sent: a second copy would find the discovery port taken.
    SingleInstance instance(SingleInstance::sessionServerName());
    if (!instance.claim())
        return 0;

    // Windows translate their texts as they are built.
    Language::installTranslator(app);

    MainWindow window;
    QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                     [&window] { bringForward(window); });
    window.show();

    // The checker has no parent and deletes itself once the check, or its prompt, is done.
    auto *updater = new SCUpdate(&app);
    updater->checkForUpdate();

    return app.exec();
}
