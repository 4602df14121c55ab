#pragma once

#include <functional>
#include <QtGlobal>

// How many requests may go out now, at no more than a rate: a bucket that fills at the rate up
// to one tick's worth. It never lets more than the rate out over any second, nor more than a
// tenth of it plus one tick's worth over any 100 ms; after a stall (a suspended computer, a
// stopped process) it goes on at the rate, and what the stall held up is not made up for. Only
// what spend() is told counts, so that requests the system never took cost none of the pace.
// It keeps the time and nothing else: its user sends, and waits as waitNs() says.
class Pacer
{
public:
    // Nanoseconds on a clock that never goes back.
    using Clock = std::function<qint64()>;
    // The usual wait between two passes of sending: at most about 100 wake-ups a second.
    static constexpr qint64 tickNs = 10 * 1000 * 1000;

    // A pacer on the system's monotonic clock, or on clock (tests give their own).
    explicit Pacer(Clock clock = {});

    // Starts again at perSecond (at least 1) with one request due at once.
    void start(int perSecond);
    // How many requests may go out now.
    quint64 allowance();
    // count requests went out.
    void spend(quint64 count);
    // Nanoseconds until the next request is due: 0 when one is due now, otherwise at least a
    // tick, when a tick's worth (or at least one) has come due.
    qint64 waitNs();

private:
    void refill();

    Clock clock;
    int rate = 1;
    // Requests due, fractions of one included; at most one tick's worth.
    double due = 0;
    double capacity = 1;
    qint64 lastNs = 0;
};
