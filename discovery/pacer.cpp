#include "pacer.h"

#include <algorithm>
#include <cmath>
#include <QElapsedTimer>
#include <utility>

namespace {

constexpr double nsPerSecond = 1e9;
// What rounding may take off a request that is due: a wait that ends exactly when one is due
// must find it due.
constexpr double roundingSlack = 1e-6;

} // namespace

Pacer::Pacer(Clock newClock)
    : clock(std::move(newClock))
{
    if (!clock) {
        clock = [elapsed = QElapsedTimer()]() mutable {
            if (!elapsed.isValid())
                elapsed.start();
            return elapsed.nsecsElapsed();
        };
    }
}

void Pacer::start(int perSecond)
{
    rate = qMax(1, perSecond);
    const double perTick = double(rate) * double(tickNs) / nsPerSecond;
    afterStall = qMax(1.0, perTick);
    capacity = qMax(1.0, 2 * perTick);
    windowLimit = quint64(qMax(
        1.0, std::floor(double(rate) * double(windowNs) / nsPerSecond + perTick + roundingSlack)));
    due = 1;
    spentCount = 0;
    inWindow = 0;
    lastNs = clock();
}

quint64 Pacer::allowance()
{
    const quint64 room = update();
    const quint64 bucket = due + roundingSlack < 1 ? 0 : quint64(std::floor(due + roundingSlack));
    return qMin(bucket, room);
}

void Pacer::spend(quint64 count)
{
    if (count == 0)
        return;
    due -= double(count);
    inWindow += count;
    if (spentCount > 0 && (spent[spentCount - 1].atNs == lastNs || spentCount == maxSpent))
        spent[spentCount - 1].count += count;
    else
        spent[spentCount++] = Spent{lastNs, count};
}

qint64 Pacer::waitNs()
{
    const quint64 room = update();
    const bool dueNow = due + roundingSlack >= 1;
    if (dueNow && room > 0)
        return 0;
    qint64 wait = 0;
    if (!dueNow)
        wait = qint64(std::ceil((1 - due) * nsPerSecond / double(rate)));
    if (room == 0)
        wait = qMax(wait, spent[0].atNs + windowNs - lastNs);
    return qMax(tickNs, wait);
}

quint64 Pacer::update()
{
    const qint64 now = clock();
    // A wake-up up to a tick late loses nothing; after a longer stall the sending starts again
    // with one tick's worth, and whatever the stall kept back is let go.
    if (now - lastNs > 2 * tickNs)
        due = qMax(due, afterStall);
    else
        due = qMin(capacity, due + double(now - lastNs) * double(rate) / nsPerSecond);
    lastNs = now;
    int expired = 0;
    while (expired < spentCount && spent[expired].atNs <= now - windowNs)
        inWindow -= spent[expired++].count;
    if (expired > 0) {
        std::copy(spent + expired, spent + spentCount, spent);
        spentCount -= expired;
    }
    return inWindow >= windowLimit ? 0 : windowLimit - inWindow;
}
