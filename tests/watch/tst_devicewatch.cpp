#include "devicelistcheck.h"
#include "devicewatch.h"

#include <QTest>

// Rounds of searches written as text: each round the devices that answer ("STAY000001@10.0.0.2")
// and the events expected, "event SERIAL IP" (moved: "... IP<-OLD"), first those of the
// answers, then those of the search's end.
class TestDeviceWatch : public QObject
{
    Q_OBJECT

private slots:
    void rounds_data();
    void rounds();
    void newUntilNextSearchEnds();
    void listCheck();
};

namespace {

using Rounds = QList<QStringList>;

QString eventText(const DeviceWatch::Change &change)
{
    static const char *const names[] = {"found", "lost", "back", "moved"};
    QString text = QLatin1String(names[int(change.event)]) + QLatin1Char(' ') +
                   change.device.serialNumber + QLatin1Char(' ') + change.device.ipAddress;
    if (!change.previousAddress.isEmpty())
        text += QLatin1String("<-") + change.previousAddress;
    return text;
}

Rounds texts(std::initializer_list<std::initializer_list<const char *>> rounds)
{
    Rounds result;
    for (const auto &round : rounds) {
        QStringList events;
        for (const char *event : round)
            events << QString::fromLatin1(event);
        result << events;
    }
    return result;
}

DeviceRecord record(const QString &answer)
{
    DeviceRecord device;
    device.serialNumber = answer.section(QLatin1Char('@'), 0, 0);
    device.ipAddress = answer.section(QLatin1Char('@'), 1);
    return device;
}

} // namespace

void TestDeviceWatch::rounds_data()
{
    QTest::addColumn<int>("lostAfter");
    QTest::addColumn<Rounds>("answers");
    QTest::addColumn<Rounds>("events");
    QTest::addColumn<int>("answering");
    QTest::addColumn<int>("notAnswering");

    const QString stay = QStringLiteral("STAY000001@10.0.0.2");
    const QString gone = QStringLiteral("GONE000001@10.0.0.3");
    const QString move = QStringLiteral("MOVE000001@10.0.0.4");
    const QString moved = QStringLiteral("MOVE000001@10.0.0.9");
    const Rounds answers{{stay, gone, move}, {stay, moved}, {stay, moved},
                         {stay, moved},      {stay, gone},  {stay, gone, moved}};
    QTest::newRow("lost after 2") << 2 << answers
                                  << texts(
                                         {{"found STAY000001 10.0.0.2", "found GONE000001 10.0.0.3",
                                           "found MOVE000001 10.0.0.4"},
                                          {"moved MOVE000001 10.0.0.9<-10.0.0.4"},
                                          {"lost GONE000001 10.0.0.3"},
                                          {},
                                          {"back GONE000001 10.0.0.3"},
                                          {}})
                                  << 3 << 0;
    QTest::newRow("lost after 1")
        << 1 << answers
        << texts({{"found STAY000001 10.0.0.2", "found GONE000001 10.0.0.3",
                   "found MOVE000001 10.0.0.4"},
                  {"moved MOVE000001 10.0.0.9<-10.0.0.4", "lost GONE000001 10.0.0.3"},
                  {},
                  {},
                  {"back GONE000001 10.0.0.3", "lost MOVE000001 10.0.0.9"},
                  {"back MOVE000001 10.0.0.9"}})
        << 3 << 0;
    // Silent once, then back from elsewhere and answering twice in one search.
    QTest::newRow("back elsewhere")
        << 1 << Rounds{{gone}, {}, {moved, move, gone}, {}}
        << texts({{"found GONE000001 10.0.0.3"},
                  {"lost GONE000001 10.0.0.3"},
                  {"found MOVE000001 10.0.0.9", "back GONE000001 10.0.0.3"},
                  {"lost GONE000001 10.0.0.3", "lost MOVE000001 10.0.0.9"}})
        << 0 << 2;
    QTest::newRow("lost and back moved")
        << 1 << Rounds{{move}, {}, {moved}}
        << texts({{"found MOVE000001 10.0.0.4"},
                  {"lost MOVE000001 10.0.0.4"},
                  {"back MOVE000001 10.0.0.9", "moved MOVE000001 10.0.0.9<-10.0.0.4"}})
        << 1 << 0;
}

void TestDeviceWatch::rounds()
{
    QFETCH(int, lostAfter);
    QFETCH(Rounds, answers);
    QFETCH(Rounds, events);
    QFETCH(int, answering);
    QFETCH(int, notAnswering);

    DeviceWatch watch(lostAfter);
    const QDateTime start(QDate(2026, 5, 4), QTime(10, 42, 13));
    for (int round = 0; round < answers.size(); ++round) {
        QStringList seen;
        for (const QString &answer : answers.at(round)) {
            const auto changes = watch.answered(record(answer), start.addSecs(round * 10));
            for (const DeviceWatch::Change &change : changes)
                seen << eventText(change);
        }
        for (const DeviceWatch::Change &change : watch.searchEnded())
            seen << eventText(change);
        QCOMPARE(seen, events.at(round));
    }
    QCOMPARE(watch.searchCount(), answers.size());
    QCOMPARE(watch.answeringCount(), answering);
    QCOMPARE(watch.notAnsweringCount(), notAnswering);
    // The time of the last answer stays with a device that fell silent.
    for (const DeviceWatch::Device &device : watch.devices()) {
        if (!device.answering)
            QVERIFY(device.lastAnswer < start.addSecs((answers.size() - 1) * 10));
    }
}

void TestDeviceWatch::newUntilNextSearchEnds()
{
    DeviceWatch watch;
    const QDateTime now = QDateTime::currentDateTime();
    watch.answered(record(QStringLiteral("FIRST00001@10.0.0.2")), now);
    watch.searchEnded();
    watch.answered(record(QStringLiteral("LATER00001@10.0.0.3")), now);
    QCOMPARE(watch.devices().at(0).isNew, true);
    watch.searchEnded();
    QCOMPARE(watch.devices().at(0).isNew, false);
    QCOMPARE(watch.devices().at(1).isNew, true);
    // A moved device remembers where it was.
    watch.answered(record(QStringLiteral("FIRST00001@10.0.0.7")), now);
    QCOMPARE(watch.devices().at(0).previousAddress, QStringLiteral("10.0.0.2"));
    watch.searchEnded();
    QCOMPARE(watch.devices().at(1).isNew, false);
}

void TestDeviceWatch::listCheck()
{
    const ListedDevice first{QStringLiteral("FIRST00001"), QStringLiteral("10.0.0.2"), {}};
    const ListedDevice second{QStringLiteral("SECOND0001"), {}, {}};
    DeviceListCheck check({first, second, first});
    QVERIFY(!check.allAnswered());
    check.answered(QStringLiteral("OTHER00001"));
    QVERIFY(!check.isListed(QStringLiteral("OTHER00001")));
    check.answered(QStringLiteral("SECOND0001"));
    check.answered(QStringLiteral("SECOND0001"));
    QCOMPARE(check.missing().size(), 1);
    QCOMPARE(check.missing().at(0).ipAddress, first.ipAddress);
    QVERIFY(!check.allAnswered());
    check.answered(QStringLiteral("FIRST00001"));
    QVERIFY(check.allAnswered());
    QVERIFY(check.missing().isEmpty());
}

QTEST_GUILESS_MAIN(TestDeviceWatch)
#include "tst_devicewatch.moc"
