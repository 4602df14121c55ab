#include "pacer.h"

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
    capacity = qMax(1.0, double(rate) * double(tickNs) / nsPerSecond);
    due = 1;
    lastNs = clock();
}

quint64 Pacer::allowance()
{
    refill();
    return due + roundingSlack < 1 ? 0 : quint64(std::floor(due + roundingSlack));
}

void Pacer::spend(quint64 count)
{
    due -= double(count);
}

qint64 Pacer::waitNs()
{
    refill();
    if (due + roundingSlack >= 1)
        return 0;
    const double untilOne = (1 - due) * nsPerSecond / double(rate);
    return qMax(tickNs, qint64(std::ceil(untilOne)));
}

void Pacer::refill()
{
    const qint64 now = clock();
    // Whatever a stall kept back beyond one tick's worth is let go.
    due = qMin(capacity, due + double(now - lastNs) * double(rate) / nsPerSecond);
    lastNs = now;
}
