#include "childprocess.h"
#include "mainwindow.h"
#include "netlab.h"
#include "rangedialog.h"
#include "urlcatcher.h"
#include "windowparts.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QUdpSocket>

// The window on a machine with two networks, each with simulated devices on it.
class TestWindowOnLans : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void devicesOfBothLansListedThenRefreshEmpties();
    void addressProblemsMarkedOnTheirRows();
    void burstBeyondOneListingPassThenSilence();
    void devicesBehindRouterAfterSearchingOtherNetworks();
    void rangeDialogKeepsItsWidth();
};

namespace {

// Opens "Search other networks…" with the keys, searches text there and waits for the dialog
// to close.
void searchRanges(MainWindow &window, const QString &text)
{
    // A dialog closed before is gone first.
    QTRY_VERIFY(!window.findChild<RangeDialog *>());
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(deviceTable(window), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_VERIFY(window.findChild<RangeDialog *>());
    RangeDialog *dialog = window.findChild<RangeDialog *>();
    auto *field = dialog->findChild<QLineEdit *>();
    field->setText(text);
    for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
        if (button->text() == QLatin1String("Search"))
            QTest::mouseClick(button, Qt::LeftButton);
    }
    QTRY_VERIFY(!window.findChild<RangeDialog *>());
}

} // namespace

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

void TestWindowOnLans::addressProblemsMarkedOnTheirRows()
{
    QString error;
    QVERIFY2(NetLab::enterNewNamespace(true, &error), qPrintable(error));
    NetLab lab;
    for (int lan = 1; lan <= 3; ++lan)
        QVERIFY2(lab.addLan(&error), qPrintable(error));

    // LAN 2's device keeps an address from elsewhere (a factory setting, say): it answers from
    // 192.168.77.7, outside 10.0.2.0/24. The host may take such answers on that link.
    const auto words = [](const char *command) {
        return QString::fromLatin1(command).split(QLatin1Char(' '));
    };
    QVERIFY2(lab.runIpInPeer(2, words("addr flush dev lan2p"), &error), qPrintable(error));
    QVERIFY2(lab.runIpInPeer(2, words("addr add 192.168.77.7/24 dev lan2p"), &error),
             qPrintable(error));
    QVERIFY2(lab.runIpInPeer(2, words("route add 10.0.2.0/24 dev lan2p src 192.168.77.7"), &error),
             qPrintable(error));
    QVERIFY2(NetLab::runIp(words("route add 192.168.77.0/24 dev lan2h"), &error),
             qPrintable(error));

    // LAN 1: two devices answer from one address. LAN 3: all is well.
    QVERIFY2(lab.startSimulator(1,
                                {QStringLiteral("--device"), QStringLiteral("SHARED0001"),
                                 QStringLiteral("--device"), QStringLiteral("SHARED0002")},
                                &error),
             qPrintable(error));
    QVERIFY2(
        lab.startSimulator(2, {QStringLiteral("--device"), QStringLiteral("ELSEWHERE1")}, &error),
        qPrintable(error));
    QVERIFY2(
        lab.startSimulator(3, {QStringLiteral("--device"), QStringLiteral("RIGHTNET01")}, &error),
        qPrintable(error));

    MainWindow window;
    window.show();
    QTableWidget *table = deviceTable(window);
    QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), 4, 2000);

    const auto rowOf = [&](const char *serial) {
        for (int row = 0; row < table->rowCount(); ++row) {
            if (table->item(row, 0)->text() == QLatin1String(serial))
                return row;
        }
        return -1;
    };
    const auto check = [&] {
        const int elsewhere = rowOf("ELSEWHERE1");
        const int right = rowOf("RIGHTNET01");
        QVERIFY(elsewhere >= 0 && right >= 0);
        QCOMPARE(table->item(elsewhere, 1)->text(), QStringLiteral("192.168.77.7"));
        QVERIFY(!table->item(elsewhere, 1)->icon().isNull());
        const QString wrongTip = table->item(elsewhere, 0)->toolTip();
        QVERIFY2(wrongTip.startsWith(QLatin1String("Answered on lan2h (10.0.2.1/24)\n")),
                 qPrintable(wrongTip));
        QVERIFY2(wrongTip.contains(QLatin1String("192.168.77.7")), qPrintable(wrongTip));
        QVERIFY2(wrongTip.contains(QLatin1String("10.0.2.0/24")), qPrintable(wrongTip));

        QVERIFY(table->item(right, 1)->icon().isNull());
        QCOMPARE(table->item(right, 2)->toolTip(),
                 QStringLiteral("Answered on lan3h (10.0.3.1/24)"));

        for (const char *serial : {"SHARED0001", "SHARED0002"}) {
            const int row = rowOf(serial);
            QVERIFY(row >= 0);
            QCOMPARE(table->item(row, 1)->text(), NetLab::peerAddress(1));
            QVERIFY(!table->item(row, 1)->icon().isNull());
            const QString tip = table->item(row, 1)->toolTip();
            QVERIFY2(tip.startsWith(QLatin1String("Answered on lan1h (10.0.1.1/24)\n")),
                     qPrintable(tip));
            QVERIFY2(tip.contains(QLatin1String("Connect can reach only one")), qPrintable(tip));
        }
    };
    check();
    for (int column : {1, 0, 2, 1}) {
        QTest::mouseClick(
            table->horizontalHeader()->viewport(), Qt::LeftButton, {},
            QPoint(table->horizontalHeader()->sectionViewportPosition(column) + 5, 5));
        check();
    }

    // Their addresses searched as ranges too, the two devices still answered the broadcast on
    // their networks: the mark stays where it was, and no tooltip names a range.
    searchRanges(window, QStringLiteral("10.0.3.2 192.168.77.0/24"));
    QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), 4, 2000);
    // The range's requests reach both devices as well; their answers change nothing.
    QTest::qWait(500);
    check();
}

void TestWindowOnLans::burstBeyondOneListingPassThenSilence()
{
    // More answers than the window lists in one pass (4 096) wait at once, and then none come:
    // the rest must be listed without a further answer to wake the window. A socket's buffer
    // holds a few hundred answers, so they wait on twenty addresses of the window's own.
    QString error;
    QVERIFY2(NetLab::enterNewNamespace(true, &error), qPrintable(error));
    constexpr int addresses = 20;
    constexpr int perAddress = 250;
    const auto address = [](int n) {
        return QStringLiteral("10.99.0.%1").arg(n + 1);
    };
    for (int n = 0; n < addresses; ++n) {
        QVERIFY2(NetLab::runIp({QStringLiteral("addr"), QStringLiteral("add"),
                                address(n) + QStringLiteral("/32"), QStringLiteral("dev"),
                                QStringLiteral("lo")},
                               &error),
                 qPrintable(error));
    }

    MainWindow window;
    QTableWidget *table = deviceTable(window);
    QUdpSocket devices;
    QVERIFY(devices.bind(QHostAddress::LocalHost, 0));
    for (int n = 0; n < addresses * perAddress; ++n) {
        const QByteArray datagram =
            "ACK " + QByteArray::number(n).rightJustified(10, '0') + " 00:11:22:33:44:55";
        QCOMPARE(devices.writeDatagram(datagram, QHostAddress(address(n % addresses)), 44444),
                 qint64(32));
    }
    QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), addresses * perAddress, 3000);
}

void TestWindowOnLans::devicesBehindRouterAfterSearchingOtherNetworks()
{
    // LAN 1's peer is a router; network 2 behind it holds a device.
    QString error;
    QVERIFY2(NetLab::enterNewNamespace(true, &error), qPrintable(error));
    NetLab lab;
    QVERIFY2(lab.addLan(&error), qPrintable(error));
    QVERIFY2(lab.addNetworkBehind(1, &error), qPrintable(error));
    QVERIFY2(
        lab.startSimulator(2, {QStringLiteral("--device"), QStringLiteral("ROUTED0001")}, &error),
        qPrintable(error));
    UrlCatcher browser;
    MainWindow window;
    window.show();
    QTableWidget *table = deviceTable(window);
    QLabel *status = statusLine(window);
    QVERIFY(status);

    // The broadcast does not pass the router: nothing is listed, and the status line offers
    // the other networks.
    QTRY_VERIFY_WITH_TIMEOUT(status->text().contains(QLatin1String("Search other networks")), 7000);
    QCOMPARE(table->rowCount(), 0);
    QVERIFY(QMetaObject::invokeMethod(status, "linkActivated",
                                      Q_ARG(QString, QStringLiteral("#ranges"))));
    RangeDialog *dialog = window.findChild<RangeDialog *>();
    QVERIFY(dialog && dialog->isVisible());
    auto *field = dialog->findChild<QLineEdit *>();
    QPushButton *search = nullptr;
    QPushButton *clear = nullptr;
    for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
        if (button->text() == QLatin1String("Search"))
            search = button;
        if (button->text() == QLatin1String("Clear"))
            clear = button;
    }
    QVERIFY(field && search && clear);
    QTest::keyClicks(field, QStringLiteral("10.0.2.300"));
    QVERIFY(!search->isEnabled());
    bool shown = false;
    for (QLabel *label : dialog->findChildren<QLabel *>())
        shown = shown || label->text() == QLatin1String("10.0.2.300: not an IPv4 address");
    QVERIFY(shown);
    field->clear();
    QTest::keyClicks(field, QStringLiteral("10.0.2.0/24"));
    QVERIFY(search->isEnabled());
    QTest::mouseClick(search, Qt::LeftButton);

    // Found through the range, without the wrong-network mark; Connect opens them.
    QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), 1, 2000);
    QCOMPARE(table->item(0, 1)->text(), NetLab::peerAddress(2));
    QVERIFY(table->item(0, 1)->icon().isNull());
    QCOMPARE(table->item(0, 0)->toolTip(),
             QStringLiteral("Found by searching 10.0.2.0/24, through 10.0.1.1 on lan1h"));
    table->selectRow(0);
    QTest::mouseClick(connectButton(window), Qt::LeftButton);
    QCOMPARE(browser.opened.size(), 1);
    QCOMPARE(browser.opened.constFirst().host(), NetLab::peerAddress(2));

    // Every Refresh searches the range again, until the dialog clears it.
    QTest::mouseClick(refreshButton(window), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), 1, 2000);
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(table, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_VERIFY(window.findChild<RangeDialog *>());
    dialog = window.findChild<RangeDialog *>();
    QCOMPARE(dialog->findChild<QLineEdit *>()->text(), QStringLiteral("10.0.2.0/24"));
    for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
        if (button->text() == QLatin1String("Clear"))
            QTest::mouseClick(button, Qt::LeftButton);
    }
    QCOMPARE(table->rowCount(), 0);
    QTest::qWait(1000);
    QCOMPARE(table->rowCount(), 0);

    // A sweep of a /16 takes half a minute: the dialog says so before it starts.
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(table, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_VERIFY(window.findChild<RangeDialog *>());
    dialog = window.findChild<RangeDialog *>();
    dialog->findChild<QLineEdit *>()->setText(QStringLiteral("10.0.0.0/16"));
    bool estimated = false;
    for (QLabel *label : dialog->findChildren<QLabel *>())
        estimated = estimated || label->text() == QLatin1String("Asking 65 534 addresses takes "
                                                                "about 33 seconds at 2 000 "
                                                                "requests a second.");
    QVERIFY(estimated);
    dialog->reject();
    searchRanges(window, QStringLiteral("10.0.0.0/16"));

    // The routed device answers some 500 requests in; the line shows the progress and the
    // device, each phrase whole on its line, and the button stops the sweep.
    QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), 1, 3000);
    QTRY_VERIFY(status->text().contains(
        QStringLiteral("devices found: 1").replace(QLatin1Char(' '), QChar(QChar::Nbsp))));
    const QStringList phrases = status->text().split(QLatin1Char(' '));
    QCOMPARE(phrases.size(), 3);
    QVERIFY2(phrases.at(0).startsWith(QStringLiteral("Searching\u00a010.0.0.0/16:")),
             qPrintable(status->text()));
    for (const QString &phrase : phrases)
        QVERIFY2(status->fontMetrics().boundingRect(phrase).width() <=
                     status->contentsRect().width(),
                 qPrintable(phrase));
    QCOMPARE(refreshButton(window)->text(), QStringLiteral("Stop"));
    // Refresh by key goes on with the sweep: nothing is emptied, nothing asked again.
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(table, Qt::Key_F5);
    QCOMPARE(table->rowCount(), 1);
    QVERIFY(status->text().contains(QLatin1String("10.0.0.0/16")));
    QTest::mouseClick(refreshButton(window), Qt::LeftButton);
    QCOMPARE(refreshButton(window)->text(), QStringLiteral("Refresh"));
    QVERIFY(!status->text().contains(QLatin1String("10.0.0.0/16")));
    QVERIFY2(
        status->toolTip().contains(QLatin1String("The search of the ranges was stopped after")),
        qPrintable(status->toolTip()));
    QCOMPARE(table->rowCount(), 1);
    // Stopped, the ranges are kept for the next search.
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(table, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_VERIFY(window.findChild<RangeDialog *>());
    dialog = window.findChild<RangeDialog *>();
    QCOMPARE(dialog->findChild<QLineEdit *>()->text(), QStringLiteral("10.0.0.0/16"));
    dialog->reject();
}

void TestWindowOnLans::rangeDialogKeepsItsWidth()
{
    // 300 characters in the field: the field scrolls, the message wraps, the dialog keeps its
    // width on the screen, before, during and after.
    RangeDialog dialog(QString(), {}, 2000);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const int width = dialog.width();
    QVERIFY(width <= dialog.screen()->availableGeometry().width());
    auto *field = dialog.findChild<QLineEdit *>();
    for (const QString &text :
         QStringList{QString(300, QLatin1Char('1')),
                     QStringLiteral("10.2.0.7 ").repeated(33) + QStringLiteral("x"), QString()}) {
        field->setText(text);
        QApplication::processEvents();
        QCOMPARE(dialog.width(), width);
        QVERIFY(dialog.minimumSizeHint().width() <= width);
    }
}

QTEST_MAIN(TestWindowOnLans)
#include "tst_windowonlans.moc"
