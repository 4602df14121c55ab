#include "watchrows.h"

#include <QSet>
#include <QTest>

// The window's kept rows over searches, written as steps: "A@1" device A answers from 10.0.0.1
// while watching, "a@1" answers as one of the devices listed before watching began, "/" one
// search ends and the next begins, "L:A,C@9" compares with a list of A and C (at 10.0.0.9).
// The rows come out as "SERIAL IP marks".
class TestWatchRows : public QObject
{
    Q_OBJECT

private slots:
    void steps_data();
    void steps();
    void texts();
};

namespace {

QString address(const QString &suffix)
{
    return suffix.isEmpty() ? QString() : QStringLiteral("10.0.0.") + suffix;
}

QString run(WatchRows &rows, const QString &steps, QDateTime *clock)
{
    QSet<int> back;
    for (const QString &step : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        *clock = clock->addSecs(1);
        if (step == QLatin1String("/")) {
            rows.searchEnded();
            rows.searchStarted();
            back.clear();
        } else if (step.startsWith(QLatin1String("L:"))) {
            QVector<ListedDevice> list;
            for (const QString &entry : step.mid(2).split(QLatin1Char(','))) {
                const QStringList parts = entry.split(QLatin1Char('@'));
                list.append({parts.at(0), address(parts.value(1)), {}});
            }
            rows.compareWith(list);
        } else {
            const QStringList parts = step.split(QLatin1Char('@'));
            const bool watching = parts.at(0).at(0).isUpper();
            DeviceRecord record;
            record.serialNumber = parts.at(0).toUpper();
            record.ipAddress = address(parts.at(1));
            const WatchRows::Update update =
                rows.answered(record, *clock,
                              watching ? WatchRows::Newness::Marked : WatchRows::Newness::Unmarked);
            if (update.back)
                back.insert(update.row);
        }
    }
    QStringList described;
    for (int index = 0; index < rows.rowCount(); ++index) {
        const WatchRows::Row &row = rows.row(index);
        QStringList words{row.serialNumber, row.ipAddress};
        if (row.isNew)
            words << QStringLiteral("new");
        if (!row.answering && !row.missing)
            words << QStringLiteral("lost");
        if (back.contains(index))
            words << QStringLiteral("back");
        if (!row.previousAddress.isEmpty())
            words << QStringLiteral("from ") + row.previousAddress;
        if (row.missing)
            words << QStringLiteral("missing");
        if (row.notInList)
            words << QStringLiteral("notinlist");
        if (WatchRows::isGreyed(row))
            words << QStringLiteral("grey");
        described << words.join(QLatin1Char(' '));
    }
    return described.join(QStringLiteral("; "));
}

} // namespace

void TestWatchRows::steps_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("expected");
    QTest::newRow("new while watching, until the next search") << "a@1 / B@2"
                                                               << "A 10.0.0.1; B 10.0.0.2 new";
    QTest::newRow("new mark gone") << "a@1 / B@2 / A@1 B@2"
                                   << "A 10.0.0.1; B 10.0.0.2";
    QTest::newRow("one search missed") << "a@1 b@2 / A@1 /"
                                       << "A 10.0.0.1; B 10.0.0.2";
    QTest::newRow("two searches missed") << "a@1 b@2 / A@1 / A@1 /"
                                         << "A 10.0.0.1; B 10.0.0.2 lost grey";
    QTest::newRow("both missed") << "a@1 b@2 / / /"
                                 << "A 10.0.0.1 lost grey; B 10.0.0.2 lost grey";
    QTest::newRow("back") << "a@1 b@2 / A@1 / A@1 / A@1 B@2"
                          << "A 10.0.0.1; B 10.0.0.2 back";
    QTest::newRow("back elsewhere") << "a@1 b@2 / A@1 / A@1 / B@5"
                                    << "A 10.0.0.1; B 10.0.0.5 back from 10.0.0.2";
    QTest::newRow("moved, one row") << "a@1 b@2 / B@3 A@1"
                                    << "A 10.0.0.1; B 10.0.0.3 from 10.0.0.2";
    QTest::newRow("moved twice names the latest") << "a@1 / A@2 / A@3"
                                                  << "A 10.0.0.3 from 10.0.0.2";
    QTest::newRow("answering twice in a search") << "a@1 b@2 / A@1 A@1 / A@1 /"
                                                 << "A 10.0.0.1; B 10.0.0.2 lost grey";
    QTest::newRow("list: missing and not in the list")
        << "a@1 b@2 L:A,C@9"
        << "A 10.0.0.1; B 10.0.0.2 notinlist; C 10.0.0.9 missing grey";
    QTest::newRow("list without addresses") << "a@1 L:A,C,D"
                                            << "A 10.0.0.1; C  missing grey; D  missing grey";
    QTest::newRow("missing device answers") << "a@1 L:A,C@9 / C@4"
                                            << "A 10.0.0.1; C 10.0.0.4";
    QTest::newRow("new device not in the list") << "a@1 L:A / B@2"
                                                << "A 10.0.0.1; B 10.0.0.2 new notinlist";
    QTest::newRow("second list replaces the first")
        << "a@1 b@2 L:C@9 L:A,D@8"
        << "A 10.0.0.1; B 10.0.0.2 notinlist; D 10.0.0.8 missing grey";
    QTest::newRow("listed device lost") << "a@1 b@2 L:A,B / A@1 / A@1 /"
                                        << "A 10.0.0.1; B 10.0.0.2 lost grey";
}

void TestWatchRows::steps()
{
    QFETCH(QString, steps);
    QFETCH(QString, expected);
    WatchRows rows;
    QDateTime clock(QDate(2026, 3, 2), QTime(10, 42, 0));
    QCOMPARE(run(rows, steps, &clock), expected);
}

void TestWatchRows::texts()
{
    WatchRows rows;
    QDateTime clock(QDate(2026, 3, 2), QTime(10, 42, 10));
    // A step a second from 10:42:11: B last answered at 10:42:14, C first at 10:42:20.
    run(rows, QStringLiteral("a@1 / A@1 B@2 / A@1 / A@1 / C@3"), &clock);
    QCOMPARE(WatchRows::toolTip(rows.row(1)), QStringLiteral("Not answering since 10:42:14"));
    QCOMPARE(WatchRows::toolTip(rows.row(2)), QStringLiteral("New: first answered at 10:42:20"));
    QCOMPARE(rows.statusLine(WatchRows::Watching::On, clock),
             QStringLiteral("Watching: 2 answering, 1 not answering (10:42:20)"));
    run(rows, QStringLiteral("L:A,B,D@7 / A@5"), &clock);
    QCOMPARE(WatchRows::toolTip(rows.row(0)), QStringLiteral("Answered from 10.0.0.1 before"));
    QCOMPARE(WatchRows::toolTip(rows.row(2)), QStringLiteral("Answers, but is not in the list"));
    QCOMPARE(WatchRows::toolTip(rows.row(3)), QStringLiteral("In the list, not answering"));
    QCOMPARE(rows.statusLine(WatchRows::Watching::Off, clock),
             QStringLiteral("2 answering, 1 not, 1 missing, 1 not in the list"));
    rows.clear();
    QCOMPARE(rows.rowCount(), 0);
    QCOMPARE(rows.statusLine(WatchRows::Watching::On, QDateTime()),
             QStringLiteral("Watching: 0 answering, 0 not answering"));
}

QTEST_GUILESS_MAIN(TestWatchRows)
#include "tst_watchrows.moc"
