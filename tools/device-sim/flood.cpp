#include "flood.h"

#include "deviceanswer.h"

#include <chrono>
#include <cstdio>
#include <QHostAddress>
#include <QUdpSocket>
#include <thread>

namespace {

// Duplicates repeat one of this many most recent serial numbers.
constexpr quint64 duplicateRange = 1000;

// A well-mixed 64-bit value of n (splitmix64), for choices that must repeat from run to run.
quint64 mixed(quint64 n)
{
    n += 0x9e3779b97f4a7c15ull;
    n = (n ^ (n >> 30)) * 0xbf58476d1ce4e5b9ull;
    n = (n ^ (n >> 27)) * 0x94d049bb133111ebull;
    return n ^ (n >> 31);
}

QByteArray answerOf(quint64 device, const AnswerFlaws &flaws = {})
{
    const auto n = static_cast<quint32>(device);
    return makeAnswer(generatedSerial(n), generatedMac(n), flaws);
}

QByteArray malformed(quint64 index)
{
    const quint64 random = mixed(index);
    // Serial numbers that no distinct answer uses, so a malformed answer taken for a good one
    // would show.
    const quint64 device = 0xf0000000u | (index & 0x0fffffff);
    AnswerFlaws flaws;
    switch (random % 6) {
    case 0: {
        QByteArray bytes(static_cast<int>((random >> 8) % 65), Qt::Uninitialized);
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(mixed(random + quint64(i)));
        return bytes;
    }
    case 1:
        flaws.size = 31;
        return answerOf(device, flaws);
    case 2:
        flaws.size = 33;
        return answerOf(device, flaws);
    case 3:
        flaws.lowercaseMarker = true;
        return answerOf(device, flaws);
    case 4:
        flaws.tabSeparator = true;
        return answerOf(device, flaws);
    default:
        return QByteArrayLiteral("OSTREL");
    }
}

} // namespace

QByteArray floodDatagram(quint64 index, const FloodMix &mix, FloodKind *kind)
{
    const auto distinct = quint64(mix.distinct);
    const quint64 cycle = distinct + quint64(mix.duplicate) + quint64(mix.malformed);
    const quint64 round = index / cycle;
    const quint64 position = index % cycle;
    if (position < distinct) {
        *kind = FloodKind::Distinct;
        return answerOf(round * distinct + position);
    }
    if (position < distinct + quint64(mix.duplicate)) {
        *kind = FloodKind::Duplicate;
        const quint64 sentSoFar = (round + 1) * distinct;
        const quint64 back = mixed(index) % qMin(sentSoFar, duplicateRange);
        return answerOf(sentSoFar - 1 - back);
    }
    *kind = FloodKind::Malformed;
    return malformed(index);
}

bool flood(const QHostAddress &source, quint16 sourcePort, const QHostAddress &target,
           quint16 targetPort, quint64 count, int durationMs, int rate, const FloodMix &mix,
           QString *error)
{
    using Clock = std::chrono::steady_clock;

    QUdpSocket socket;
    if (!socket.bind(source, sourcePort)) {
        *error = socket.errorString();
        return false;
    }

    std::fprintf(stderr, "flood: sending to %s:%u\n", qPrintable(target.toString()),
                 unsigned(targetPort));
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + std::chrono::milliseconds(durationMs);
    quint64 sent = 0;
    quint64 failed = 0;
    quint64 sentOfKind[3] = {};
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
        FloodKind kind = FloodKind::Distinct;
        if (socket.writeDatagram(floodDatagram(sent, mix, &kind), target, targetPort) < 0) {
            // A full send queue is only a pause; the same datagram goes out again. A second of
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
        ++sentOfKind[static_cast<int>(kind)];
        ++sent;
    }

    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    std::fprintf(stderr,
                 "flood: sent %llu answers to %s:%u in %lld ms (%llu sends retried; %llu distinct, "
                 "%llu duplicates, %llu malformed)\n",
                 static_cast<unsigned long long>(sent), qPrintable(target.toString()),
                 unsigned(targetPort), static_cast<long long>(elapsed),
                 static_cast<unsigned long long>(failed),
                 static_cast<unsigned long long>(sentOfKind[0]),
                 static_cast<unsigned long long>(sentOfKind[1]),
                 static_cast<unsigned long long>(sentOfKind[2]));
    return true;
}
