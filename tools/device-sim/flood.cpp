#include "flood.h"

#include "deviceanswer.h"

#include <chrono>
#include <cstdio>
#include <QHostAddress>
#include <QUdpSocket>
#include <thread>

bool flood(const QHostAddress &source, quint16 sourcePort, const QHostAddress &target,
           quint16 targetPort, quint64 count, int durationMs, int rate, QString *error)
{
    using Clock = std::chrono::steady_clock;

    QUdpSocket socket;
    if (!socket.bind(source, sourcePort)) {
        *error = socket.errorString();
        return false;
    }

    std::printf("flood: sending to %s:%u\n", qPrintable(target.toString()), unsigned(targetPort));
    std::fflush(stdout);
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + std::chrono::milliseconds(durationMs);
    quint64 sent = 0;
    quint64 failed = 0;
    int failedInRow = 0;
    while (sent < count) {
        Clock::time_point now = Clock::now();
        if (durationMs > 0 && now >= end)
            break;
        if (rate > 0) {
            const auto due = start + std::chrono::nanoseconds(sent * 1000000000ull / quint64(rate));
            if (due > now)
                std::this_thread::sleep_until(due);
        }
        const auto n = static_cast<quint32>(sent);
        if (socket.writeDatagram(makeAnswer(generatedSerial(n), generatedMac(n)), target,
                                 targetPort) < 0) {
            // A full send queue is only a pause; the same answer goes out again. A second of
            // failures in a row means the target cannot be reached at all.
            ++failed;
            if (++failedInRow == 10000) {
                *error = socket.errorString();
                return false;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            continue;
        }
        failedInRow = 0;
        ++sent;
    }

    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    std::printf("flood: sent %llu answers to %s:%u in %lld ms (%llu sends retried)\n",
                static_cast<unsigned long long>(sent), qPrintable(target.toString()),
                unsigned(targetPort), static_cast<long long>(elapsed),
                static_cast<unsigned long long>(failed));
    std::fflush(stdout);
    return true;
}
