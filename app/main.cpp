#include "highdpi.h"
#include "language.h"
#include "mainwindow.h"
#ifdef SCOUT_UPDATE_CHECK
#include "scupdate.h"
#endif
#include "singleinstance.h"
#include "version.h"

#include <cstdio>
#include <QApplication>
#include <QMessageBox>

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

    // Windows translate their texts as they are built.
    Language::installTranslator(app);

    // Decided before anything is sent: a second copy would find the discovery port taken.
    SingleInstance instance(SingleInstance::sessionServerName());
    switch (instance.claim()) {
    case SingleInstance::Claim::Run:
        break;
    case SingleInstance::Claim::HandedOver:
        return 0;
    case SingleInstance::Claim::NotAnswering: {
        const QString text = SingleInstance::notAnsweringText();
        std::fprintf(stderr, "%s\n", qUtf8Printable(text));
        QMessageBox::warning(nullptr, QStringLiteral("Ostrel Scout"), text);
        return 1;
    }
    }

    MainWindow window;
    QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                     [&window] { bringForward(window); });
    window.show();

#ifdef SCOUT_UPDATE_CHECK
    // The checker deletes itself once the check, or its prompt, is done.
    auto *updater = new SCUpdate(&app);
    updater->checkForUpdate();
#endif

    return app.exec();
}
