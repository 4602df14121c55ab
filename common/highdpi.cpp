#include "highdpi.h"

#include <QCoreApplication>

namespace HighDpi {

void enable()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
}

} // namespace HighDpi
