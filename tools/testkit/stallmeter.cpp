#include "stallmeter.h"

#include "threadcputime.h"

#include <algorithm>

StallMeter::StallMeter(int tickMs)
    : tickMs(tickMs)
{
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [this] { tick(); });
}

void StallMeter::start()
{
    sinceTick.start();
    cpuAtTick = threadCpuMs();
    ticker.start(tickMs);
}

void StallMeter::stop()
{
    ticker.stop();
}

void StallMeter::tick()
{
    const double cpu = threadCpuMs();
    wallMs = std::max(wallMs, double(sinceTick.nsecsElapsed()) / 1e6);
    cpuMs = std::max(cpuMs, cpu - cpuAtTick);
    sinceTick.restart();
    cpuAtTick = cpu;
}
