#pragma once

#include <functional>
#include <QtGlobal>

// How many requests may go out now, at no more than a rate: a bucket that fills at the rate up
// to two ticks' worth (a wake-up a little late loses nothing), and a count of the last 100 ms
// that lets out no more than a tenth of the rate and one tick's worth there. After a longer
// stall (a suspended computer, a stopped process) it starts again with one tick's worth and
// goes on at the rate: what the stall held up is not made up for. Only what spend() is told counts,
// so that requests the system never took cost none of the pace. It keeps the time and nothing else:
// its user sends, and waits as waitNs() says.
class Pacer
{
public:
    // Nanoseconds on a clock that never goes back.
    using Clock = std::function<qint64()>;
    // The usual wait between two passes of sending: at most about 100 wake-ups a second.
    static constexpr qint64 tickNs = 10 * 1000 * 1000;
    static constexpr qint64 windowNs = 100 * 1000 * 1000;

    // A pacer on the system's monotonic clock, or on clock (tests give their own).
    explicit Pacer(Clock clock = {});

    // Starts again at perSecond (at least 1) with one request due at once.
    void start(int perSecond);
    // How many requests may go out now.
    quint64 allowance();
    // count requests went out.
    void spend(quint64 count);
    // Nanoseconds until the next request may go out: 0 when one may now, otherwise at least a
    // tick.
    qint64 waitNs();

private:
    // Brings the bucket and the last 100 ms up to now; how many the last 100 ms still allow.
    quint64 update();

    Clock clock;
    int rate = 1;
    // Requests due, fractions of one included.
    double due = 0;
    double capacity = 1;
    double afterStall = 1;
    qint64 lastNs = 0;
    // Requests that went out in the last 100 ms, by the time they went, oldest first; when the
    // list is full, the newest entry takes more (counted a little longer than due).
    struct Spent
    {
        qint64 atNs;
        quint64 count;
    };
    static constexpr int maxSpent = 32;
    Spent spent[maxSpent];
    int spentCount = 0;
    quint64 inWindow = 0;
    quint64 windowLimit = 1;
};
