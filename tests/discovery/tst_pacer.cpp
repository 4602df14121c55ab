#include "pacer.h"

#include <algorithm>
#include <QTest>
#include <vector>

// The pacer on a clock of the test's own: a sender that hands over what the pacer allows, skips
// addresses it cannot send, and sleeps as the pacer says, over whole seconds of such a clock.

namespace {

constexpr qint64 msNs = 1000 * 1000;
constexpr qint64 secondNs = 1000 * msNs;

struct Pass
{
    qint64 atNs;
    quint64 sent;
};

// The most requests within any window of the given length, [start, start + length).
quint64 mostWithin(const std::vector<Pass> &passes, qint64 lengthNs)
{
    quint64 most = 0;
    quint64 inWindow = 0;
    size_t first = 0;
    for (const Pass &pass : passes) {
        inWindow += pass.sent;
        while (passes[first].atNs <= pass.atNs - lengthNs)
            inWindow -= passes[first++].sent;
        most = std::max(most, inWindow);
    }
    return most;
}

quint64 sentBetween(const std::vector<Pass> &passes, qint64 fromNs, qint64 toNs)
{
    quint64 sent = 0;
    for (const Pass &pass : passes) {
        if (pass.atNs >= fromNs && pass.atNs < toNs)
            sent += pass.sent;
    }
    return sent;
}

} // namespace

class TestPacer : public QObject
{
    Q_OBJECT

private slots:
    void keepsTheRateAsACeiling_data();
    void keepsTheRateAsACeiling();
};

void TestPacer::keepsTheRateAsACeiling_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("seconds");
    // A stall of the sender's whole program after stallAtMs, or none.
    QTest::addColumn<int>("stallAtMs");
    QTest::addColumn<int>("stallMs");
    // Every how many addresses one cannot be sent (no route, no socket); 0: none.
    QTest::addColumn<int>("unsendableEvery");
    // How much later than asked the sender wakes each time, in ms.
    QTest::addColumn<int>("lateMs");

    QTest::newRow("steady 1 000") << 1000 << 3 << 0 << 0 << 0 << 0;
    QTest::newRow("steady 2 000") << 2000 << 3 << 0 << 0 << 0 << 0;
    QTest::newRow("rate 1") << 1 << 10 << 0 << 0 << 0 << 0;
    QTest::newRow("rate 50") << 50 << 4 << 0 << 0 << 0 << 0;
    QTest::newRow("rate 100 000") << 100000 << 2 << 0 << 0 << 0 << 0;
    QTest::newRow("stall of 3 s at 1 000") << 1000 << 3 << 1000 << 3000 << 0 << 0;
    QTest::newRow("stall of 10 s at 1") << 1 << 10 << 4500 << 10000 << 0 << 0;
    QTest::newRow("stall of 3 s at 100 000") << 100000 << 2 << 500 << 3000 << 0 << 0;
    QTest::newRow("every other address unsendable") << 100 << 3 << 0 << 0 << 2 << 0;
    QTest::newRow("unsendable and a stall") << 2000 << 3 << 1500 << 2000 << 3 << 0;
    QTest::newRow("late wake-ups at 2 000") << 2000 << 3 << 0 << 0 << 0 << 4;
    QTest::newRow("late wake-ups and a stall") << 1000 << 3 << 700 << 3000 << 0 << 7;
}

void TestPacer::keepsTheRateAsACeiling()
{
    QFETCH(int, rate);
    QFETCH(int, seconds);
    QFETCH(int, stallAtMs);
    QFETCH(int, stallMs);
    QFETCH(int, unsendableEvery);
    QFETCH(int, lateMs);

    qint64 now = 7 * secondNs; // any start
    const qint64 startNs = now;
    const qint64 stallAtNs = startNs + stallAtMs * msNs;
    const qint64 stallNs = stallMs * msNs;
    const qint64 endNs = startNs + seconds * secondNs + stallNs;
    Pacer pacer([&now] { return now; });
    pacer.start(rate);

    std::vector<Pass> passes;
    quint64 addresses = 0;
    bool stalled = stallNs == 0;
    quint64 firstAfterStall = 0;
    while (now < endNs) {
        const bool resumed = !stalled && now >= stallAtNs;
        if (resumed) {
            now += stallNs;
            stalled = true;
        }
        const quint64 allowed = pacer.allowance();
        quint64 sent = 0;
        while (sent < allowed) {
            ++addresses;
            if (unsendableEvery == 0 || addresses % quint64(unsendableEvery) != 0)
                ++sent;
        }
        pacer.spend(sent);
        passes.push_back({now, sent});
        if (resumed)
            firstAfterStall = sent;
        // Everything due went out: the next wake-up is a tick away at least, never at once.
        const qint64 wait = pacer.waitNs();
        QVERIFY2(wait >= Pacer::tickNs, qPrintable(QString::number(wait)));
        now += wait + lateMs * msNs;
    }

    // The rate, over the time not stalled, late wake-ups or not.
    const quint64 sent = sentBetween(passes, startNs, endNs);
    const double expected = double(rate) * seconds;
    QVERIFY2(sent >= expected * 0.98 && sent <= expected * 1.01 + 1,
             qPrintable(QString::number(sent)));
    // A ceiling over every second and every 100 ms: the rate, and a tick's worth more (two over
    // a second).
    const quint64 perSecond = mostWithin(passes, secondNs);
    const quint64 per100Ms = mostWithin(passes, 100 * msNs);
    QVERIFY2(perSecond <= quint64(std::max(1.0, rate * 1.02)),
             qPrintable(QString::number(perSecond)));
    QVERIFY2(per100Ms <= quint64(std::max(1.0, rate * 0.11)),
             qPrintable(QString::number(per100Ms)));
    // About 100 wake-ups a second at most.
    QVERIFY2(passes.size() <= size_t(seconds) * 101 + 2,
             qPrintable(QString::number(passes.size())));
    if (stallNs > 0) {
        // What the stall held up is never made up for: a tick's worth, then the rate again.
        QVERIFY2(firstAfterStall <= quint64(std::max(1, rate / 100)),
                 qPrintable(QString::number(firstAfterStall)));
        const qint64 resumedNs = stallAtNs + stallNs;
        const quint64 second = sentBetween(passes, resumedNs, resumedNs + secondNs);
        QVERIFY2(second >= quint64(rate) * 97 / 100, qPrintable(QString::number(second)));
    }
    // Addresses that could not be sent took none of the pace.
    if (unsendableEvery > 0)
        QCOMPARE(addresses - sent, addresses / quint64(unsendableEvery));
}

QTEST_APPLESS_MAIN(TestPacer)
#include "tst_pacer.moc"
