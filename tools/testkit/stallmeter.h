#pragma once

#include <QElapsedTimer>
#include <QTimer>

// The longest stall of the calling thread's event loop while it runs: the longest gap between
// ticks of a precise timer, in wall time and in the thread's CPU time (the part its own work
// took, whatever else the machine does).
class StallMeter
{
public:
    explicit StallMeter(int tickMs);
    StallMeter(const StallMeter &) = delete;
    StallMeter &operator=(const StallMeter &) = delete;

    void start();
    void stop();
    double longestWallMs() const { return wallMs; }
    double longestCpuMs() const { return cpuMs; }

private:
    void tick();

    const int tickMs;
    QTimer ticker;
    QElapsedTimer sinceTick;
    double cpuAtTick = 0;
    double wallMs = 0;
    double cpuMs = 0;
};
