#include "childprocess.h"
#include "mainwindow.h"
#include "netlab.h"
#include "windowparts.h"

#include <QTest>

// The window on a machine with two networks, each with simulated devices on it.
class TestWindowOnLans : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void devicesOfBothLansListedThenRefreshEmpties();
};

void TestWindowOnLans::initTestCase()
{
    const QString reason = NetLab::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(QStringLiteral("needs private network namespaces, but ") + reason));
}

void TestWindowOnLans::devicesOfBothLansListedThenRefreshEmpties()
{
    QString error;
    QVERIFY2(NetLab::enterNewNamespace(true, &error), qPrintable(error));
    NetLab lab;
    QVERIFY2(lab.addLan(&error), qPrintable(error));
    QVERIFY2(lab.addLan(&error), qPrintable(error));
    const auto simulate = [&](int lan, const char *serials) {
        QStringList arguments;
        for (const QString &serial : QString::fromLatin1(serials).split(QLatin1Char(' ')))
            arguments << QStringLiteral("--device") << serial;
        return lab.startSimulator(lan, arguments, &error);
    };
    ChildProcess *first = simulate(1, "LANONE0001 LANONE0002 LANONE0003");
    QVERIFY2(first, qPrintable(error));
    ChildProcess *second = simulate(2, "LANTWO0001 LANTWO0002");
    QVERIFY2(second, qPrintable(error));

    MainWindow window;
    window.show();
    QTableWidget *table = deviceTable(window);
    // The answers of both networks are in within a second of the window's start.
    QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), 5, 1000);

    QStringList found;
    for (int row = 0; row < table->rowCount(); ++row)
        found << table->item(row, 0)->text() + QLatin1Char(' ') + table->item(row, 1)->text();
    found.sort();
    const QString lanOne = NetLab::peerAddress(1);
    const QString lanTwo = NetLab::peerAddress(2);
    QCOMPARE(
        found,
        QStringList({QStringLiteral("LANONE0001 ") + lanOne, QStringLiteral("LANONE0002 ") + lanOne,
                     QStringLiteral("LANONE0003 ") + lanOne, QStringLiteral("LANTWO0001 ") + lanTwo,
                     QStringLiteral("LANTWO0002 ") + lanTwo}));

    first->stop();
    second->stop();
    QTest::mouseClick(refreshButton(window), Qt::LeftButton);
    QCOMPARE(table->rowCount(), 0);
    QTest::qWait(1000);
    QCOMPARE(table->rowCount(), 0);
}

QTEST_MAIN(TestWindowOnLans)
#include "tst_windowonlans.moc"
