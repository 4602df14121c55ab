#include "highdpi.h"

#include <QGuiApplication>

namespace HighDpi {

void enable()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 always scales and always uses high-DPI pixmaps; there these attributes are
    // deprecated and do nothing.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
    // The images exist at 1x and 2x: a fractional factor (Qt 6's default passes 1.5 through)
    // would draw them scaled and blurred. Qt 5 rounds by default; both round.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::Round);
}

} // namespace HighDpi
