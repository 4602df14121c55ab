#include "unreadabletally.h"

#include <QTest>

class TestUnreadableTally : public QObject
{
    Q_OBJECT

private slots:
    void sendersInOrderOfArrival();
    void boundedList();
};

void TestUnreadableTally::sendersInOrderOfArrival()
{
    // Two senders interleaved: each keeps its place, its count and its latest size and reason.
    const quint32 first = 0x0a000002;
    const quint32 second = 0x0a000003;
    UnreadableTally tally;
    tally.count(second, 40);
    tally.count(first, 31);
    tally.count(second, 32);
    tally.count(second, 32);
    QCOMPARE(tally.senders().size(), 2);
    QCOMPARE(tally.senders().at(0).sender.toIPv4Address(), second);
    QCOMPARE(tally.senders().at(0).count, 3);
    QCOMPARE(tally.senders().at(0).size, 32);
    QCOMPARE(tally.senders().at(0).reason, SearchReport::Unreadable::WrongMarkers);
    QCOMPARE(tally.senders().at(1).sender.toIPv4Address(), first);
    QCOMPARE(tally.senders().at(1).count, 1);
    QCOMPARE(tally.senders().at(1).reason, SearchReport::Unreadable::WrongSize);
    QCOMPARE(tally.otherCount(), 0);

    tally.clear();
    QVERIFY(tally.senders().isEmpty());
    tally.count(first, 1);
    QCOMPARE(tally.senders().first().count, 1);
}

void TestUnreadableTally::boundedList()
{
    UnreadableTally tally;
    for (quint32 i = 0; i <= quint32(SearchReport::maxUnreadableSenders); ++i)
        tally.count(0x0a000001 + i, 5);
    // A named sender still counts past the bound; a new one is only counted.
    tally.count(0x0a000001, 5);
    tally.count(0x0b000001, 5);
    QCOMPARE(tally.senders().size(), SearchReport::maxUnreadableSenders);
    QCOMPARE(tally.senders().first().count, 2);
    QCOMPARE(tally.otherCount(), 2);
}

QTEST_GUILESS_MAIN(TestUnreadableTally)
#include "tst_unreadabletally.moc"
