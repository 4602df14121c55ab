#include "peakmemory.h"

#ifdef Q_OS_WIN
#include <windows.h>
// After windows.h, whose types it uses.
#include <psapi.h>
#else
#include <QFile>
#endif

qint64 peakResidentKiB()
{
#ifdef Q_OS_WIN
    // The peak working set.
    PROCESS_MEMORY_COUNTERS counters = {};
    if (!::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
        return -1;
    return static_cast<qint64>(counters.PeakWorkingSetSize / 1024);
#else
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLongLong();
    }
    return -1;
#endif
}
