#include "processormodel.h"

#include <QFile>

QByteArray processorModel()
{
    // Files in /proc report no size, so they are read whole rather than line by line.
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    if (cpuinfo.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = cpuinfo.readAll().split('\n');
        for (const QByteArray &line : lines) {
            const int colon = line.indexOf(':');
            if (line.startsWith("model name") && colon >= 0)
                return line.mid(colon + 1).trimmed();
        }
    }
    return QByteArrayLiteral("unknown processor");
}
