#include "mainwindow.h"
#include "version.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Set before any object of the program exists: everything reads its version from here.
    QCoreApplication::setApplicationVersion(QStringLiteral(SCOUT_VERSION));

    MainWindow window;
    window.show();

    return app.exec();
}
