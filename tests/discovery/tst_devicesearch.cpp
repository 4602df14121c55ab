#include "addressranges.h"
#include "childprocess.h"
#include "devicesearch.h"
#include "labmacros.h"
#include "searchstatus.h"
#include "udpcounters.h"

#include <memory>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

// The search as a whole: where its requests come from and which addresses it uses as the
// machine's networks change. Each test builds its own namespaces.

namespace {

QString device(const char *serial, const char *mac)
{
    return QLatin1String(serial) + QLatin1Char(',') + QLatin1String(mac);
}

QString requestFrom(const QString &address)
{
    return address + QLatin1String(":44444 to 255.255.255.255 (6 bytes)");
}

QStringList requestsSeenBy(ChildProcess *simulator)
{
    QStringList requests = simulator->linesStartingWith(QStringLiteral("request from "));
    requests.sort();
    return requests;
}

const DeviceRecord *findDevice(const DeviceSearch &search, const QString &serial)
{
    for (int i = 0; i < search.deviceCount(); ++i) {
        if (search.device(i).serialNumber == serial)
            return &search.device(i);
    }
    return nullptr;
}

QUdpSocket *socketOn(const DeviceSearch &search, const QString &address)
{
    const QList<QUdpSocket *> sockets = search.findChildren<QUdpSocket *>();
    for (QUdpSocket *socket : sockets) {
        if (socket->localAddress() == QHostAddress(address))
            return socket;
    }
    return nullptr;
}

} // namespace

class TestDeviceSearch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loopbackRequestComesFromLoopbackAddress();
    void everyAddressOfAnInterfaceAsks();
    void networksFollowTheMachine();
    void firstAnswerOfASerialWins();
    void takenPortSendsNothingUntilFree();
    void portHeldOnEveryAddressOrOnOne();
    void refusedSendsNamed();
    void unreadableCountedPerSenderUnderFlood();
    void lateAnswersCountedNeverListed();
    void answerQueuedAtTheEndIsListed();
    void loopbackOnlyWindowClosesWithFinished();
    void rangeSendingStopsAtOnce();
};

void TestDeviceSearch::initTestCase()
{
    const QString reason = NetLab::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(QStringLiteral("needs private network namespaces, but ") + reason));
}

void TestDeviceSearch::loopbackRequestComesFromLoopbackAddress()
{
    ENTER_NEW_NAMESPACE(true);
    DeviceSearch search;
    // Sees every limited broadcast on this machine's loopback; no other socket binds that.
    QUdpSocket capture;
    QVERIFY(capture.bind(QHostAddress(QHostAddress::Broadcast), 44444));
    QUdpSocket device;
    QVERIFY(device.bind(QHostAddress::LocalHost, 0));

    for (int round = 1; round <= 2; ++round) {
        search.start();
        QTRY_VERIFY(capture.hasPendingDatagrams());
        QHostAddress sender;
        quint16 port = 0;
        QByteArray request(64, Qt::Uninitialized);
        request.resize(int(capture.readDatagram(request.data(), request.size(), &sender, &port)));
        QCOMPARE(request, QByteArray("OSTREL"));
        QCOMPARE(sender, QHostAddress(QHostAddress::LocalHost));
        QCOMPARE(port, quint16(44444));
        QCOMPARE(device.writeDatagram("ACK LOOP000001 02:00:00:00:00:01", sender, port),
                 qint64(32));
        QTRY_COMPARE(search.deviceCount(), 1);
    }
    QTest::qWait(200);
    QVERIFY(!capture.hasPendingDatagrams());

    const DeviceRecord &record = search.device(0);
    QCOMPARE(record.ipAddress, QStringLiteral("127.0.0.1"));
    QCOMPARE(record.interfaceName, QStringLiteral("lo"));
    QCOMPARE(networkText(record), QStringLiteral("127.0.0.1/8"));
}

void TestDeviceSearch::everyAddressOfAnInterfaceAsks()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    const QString second = QStringLiteral("10.0.1.5");
    IP({QStringLiteral("addr"), QStringLiteral("add"), second + QLatin1String("/24"),
        QStringLiteral("dev"), QStringLiteral("lan1h")});
    START_SIMULATOR(simulator, lab, 1,
                    {QStringLiteral("--log"), QStringLiteral("--device"),
                     device("MULTI00001", "02:00:00:00:00:02")});

    DeviceSearch search;
    QVERIFY(socketOn(search, NetLab::hostAddress(1)));
    QVERIFY(socketOn(search, second));
    QStringList expected;
    for (int round = 1; round <= 2; ++round) {
        search.start();
        expected << requestFrom(NetLab::hostAddress(1)) << requestFrom(second);
        expected.sort();
        QTRY_COMPARE(requestsSeenBy(simulator), expected);
        // Answered on both addresses, listed once.
        QTRY_COMPARE(search.deviceCount(), 1);
    }
    QTest::qWait(300);
    QCOMPARE(search.deviceCount(), 1);
    QCOMPARE(requestsSeenBy(simulator), expected);
}

void TestDeviceSearch::networksFollowTheMachine()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    START_SIMULATOR(first, lab, 1,
                    {QStringLiteral("--log"), QStringLiteral("--device"),
                     device("FIRST00001", "02:00:00:00:01:01")});
    DeviceSearch search;
    search.start();
    QTRY_COMPARE(search.deviceCount(), 1);
    QCOMPARE(search.boundSocketCount(), 2);
    QUdpSocket *loopbackSocket = socketOn(search, QStringLiteral("127.0.0.1"));
    QVERIFY(loopbackSocket);

    // A network that comes up after the first search is searched by the next one.
    ADD_LANS(lab, 1);
    START_SIMULATOR(second, lab, 2,
                    {QStringLiteral("--log"), QStringLiteral("--device"),
                     device("SECOND0001", "02:00:00:00:02:01")});
    search.start();
    QTRY_COMPARE(search.deviceCount(), 2);
    QCOMPARE(search.boundSocketCount(), 3);
    // The simulator logs the request before it answers, but the log may reach the test later.
    QTRY_COMPARE(requestsSeenBy(second), QStringList{requestFrom(NetLab::hostAddress(2))});
    const DeviceRecord *late = findDevice(search, QStringLiteral("SECOND0001"));
    QVERIFY(late);
    QCOMPARE(late->ipAddress, NetLab::peerAddress(2));
    QCOMPARE(late->interfaceName, QStringLiteral("lan2h"));
    QCOMPARE(networkText(*late), NetLab::hostAddress(2) + QLatin1String("/24"));
    const DeviceRecord *early = findDevice(search, QStringLiteral("FIRST00001"));
    QVERIFY(early);
    QCOMPARE(early->interfaceName, QStringLiteral("lan1h"));

    // An address that went away is no longer used; the others carry on, their sockets kept.
    IP({QStringLiteral("addr"), QStringLiteral("del"),
        NetLab::hostAddress(1) + QLatin1String("/24"), QStringLiteral("dev"),
        QStringLiteral("lan1h")});
    search.start();
    QCOMPARE(search.boundSocketCount(), 2);
    QTRY_COMPARE(requestsSeenBy(second).size(), 2);
    QTRY_COMPARE(search.deviceCount(), 1);
    QTest::qWait(300);
    QCOMPARE(search.device(0).serialNumber, QStringLiteral("SECOND0001"));
    QTRY_COMPARE(requestsSeenBy(first), QStringList({requestFrom(NetLab::hostAddress(1)),
                                                     requestFrom(NetLab::hostAddress(1))}));
    QCOMPARE(socketOn(search, QStringLiteral("127.0.0.1")), loopbackSocket);
    QTRY_VERIFY(!socketOn(search, NetLab::hostAddress(1)));
}

void TestDeviceSearch::firstAnswerOfASerialWins()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 2);
    // The same serial on two LANs: the second LAN's socket is read later in every pass, but its
    // device answers first.
    START_SIMULATOR(slow, lab, 1,
                    {QStringLiteral("--delay"), QStringLiteral("400"), QStringLiteral("--device"),
                     device("TWIN000001", "aa:aa:aa:aa:aa:01")});
    // One device sending the same serial twice, with two MACs, in this order.
    START_SIMULATOR(fast, lab, 2,
                    {QStringLiteral("--device"), device("TWIN000001", "bb:bb:bb:bb:bb:01"),
                     QStringLiteral("--device"), device("SAME000001", "cc:cc:cc:cc:cc:01"),
                     QStringLiteral("--device"), device("SAME000001", "cc:cc:cc:cc:cc:02")});
    Q_UNUSED(slow)
    Q_UNUSED(fast)

    DeviceSearch search;
    search.start();
    QTRY_COMPARE(search.deviceCount(), 2);
    QTest::qWait(800);
    QCOMPARE(search.deviceCount(), 2);
    const DeviceRecord *twin = findDevice(search, QStringLiteral("TWIN000001"));
    QVERIFY(twin);
    QCOMPARE(twin->ipAddress, NetLab::peerAddress(2));
    QCOMPARE(twin->macAddress, QStringLiteral("bb:bb:bb:bb:bb:01"));
    const DeviceRecord *same = findDevice(search, QStringLiteral("SAME000001"));
    QVERIFY(same);
    QCOMPARE(same->macAddress, QStringLiteral("cc:cc:cc:cc:cc:01"));
}

void TestDeviceSearch::takenPortSendsNothingUntilFree()
{
    ENTER_NEW_NAMESPACE(true);
    auto blocker = std::make_unique<QUdpSocket>();
    QVERIFY(blocker->bind(QHostAddress::LocalHost, 44444));
    QUdpSocket capture;
    QVERIFY(capture.bind(QHostAddress(QHostAddress::Broadcast), 44444));

    // Another program holds the port: no request may leave from some other port instead.
    DeviceSearch search;
    QCOMPARE(search.addressCount(), 1);
    QCOMPARE(search.boundSocketCount(), 0);
    search.start();
    QTest::qWait(300);
    QVERIFY(!capture.hasPendingDatagrams());
    QCOMPARE(search.boundSocketCount(), 0);

    // Once the port is free, the next search binds it and asks from the address itself.
    blocker.reset();
    search.start();
    QCOMPARE(search.boundSocketCount(), 1);
    QTRY_VERIFY(capture.hasPendingDatagrams());
    QHostAddress sender;
    quint16 port = 0;
    char request[16];
    QCOMPARE(capture.readDatagram(request, sizeof request, &sender, &port), qint64(6));
    QCOMPARE(sender, QHostAddress(QHostAddress::LocalHost));
    QCOMPARE(port, quint16(44444));
}

void TestDeviceSearch::portHeldOnEveryAddressOrOnOne()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 2);
    START_SIMULATOR(first, lab, 1, {QStringLiteral("--log")});
    START_SIMULATOR(second, lab, 2, {QStringLiteral("--log")});
    // Without a bound socket Qt would send from any address and port, out of the default route.
    IP({QStringLiteral("route"), QStringLiteral("add"), QStringLiteral("default"),
        QStringLiteral("dev"), QStringLiteral("lan1h")});

    std::vector<std::unique_ptr<QUdpSocket>> holders;
    for (const QString &address :
         {QStringLiteral("127.0.0.1"), NetLab::hostAddress(1), NetLab::hostAddress(2)}) {
        holders.push_back(std::make_unique<QUdpSocket>());
        QVERIFY(holders.back()->bind(QHostAddress(address), 44444));
    }
    DeviceSearch search;
    search.start();
    QVERIFY(search.report().portInUseEverywhere());
    QCOMPARE(search.report().bindErrors.size(), 3);
    QCOMPARE(search.report().requestsSent, 0);
    QCOMPARE(SearchStatus(SearchState::Searching, 0, search.report()).line(),
             QStringLiteral("Port 44444 is in use by another program"));

    // Held on LAN 1 only: the others search, and nothing reaches LAN 1 from any address or port.
    holders.erase(holders.begin());
    holders.erase(holders.begin() + 1);
    search.start();
    const SearchReport &report = search.report();
    QCOMPARE(report.bindErrors.size(), 1);
    QCOMPARE(report.bindErrors.first().address, QHostAddress(NetLab::hostAddress(1)));
    QCOMPARE(report.bindErrors.first().interfaceName, QStringLiteral("lan1h"));
    QVERIFY(report.bindErrors.first().portInUse);
    QCOMPARE(report.requestsSent, 2);
    QTRY_COMPARE(requestsSeenBy(second), QStringList{requestFrom(NetLab::hostAddress(2))});
    QTest::qWait(300);
    QCOMPARE(first->lines().filter(QStringLiteral("request from ")), QStringList());
    QCOMPARE(first->lines().filter(QStringLiteral("ignored")), QStringList());
    QVERIFY(SearchStatus(SearchState::Ended, 0, report)
                .toolTip()
                .contains(QStringLiteral("10.0.1.1 on lan1h: port 44444 is in use")));
}

void TestDeviceSearch::refusedSendsNamed()
{
    const QString nft = QStandardPaths::findExecutable(
        QStringLiteral("nft"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    if (nft.isEmpty())
        QSKIP("needs nft to refuse the requests");
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    // A local firewall rule makes the system refuse the request on LAN 1.
    QString error;
    QVERIFY2(NetLab::run(nft,
                         {QStringLiteral("add table ip scout; add chain ip scout out { type filter "
                                         "hook output priority 0; }; add rule ip scout out oifname "
                                         "lan1h udp dport 44444 drop")},
                         &error),
             qPrintable(error));
    DeviceSearch search;
    search.start();
    QCOMPARE(search.report().requestsSent, 1);
    QCOMPARE(search.report().sendErrors.size(), 1);
    const SearchReport::AddressError &refused = search.report().sendErrors.first();
    QCOMPARE(refused.interfaceName, QStringLiteral("lan1h"));
    QCOMPARE(refused.address, QHostAddress(NetLab::hostAddress(1)));
    QCOMPARE(refused.error, QStringLiteral("Operation not permitted"));

    // Refused everywhere: the search could not be sent at all.
    QVERIFY2(
        NetLab::run(nft, {QStringLiteral("add rule ip scout out udp dport 44444 drop")}, &error),
        qPrintable(error));
    search.start();
    QCOMPARE(search.report().requestsSent, 0);
    QCOMPARE(search.report().sendErrors.size(), 2);
    QCOMPARE(SearchStatus(SearchState::Searching, 0, search.report()).line(),
             QStringLiteral("The search could not be sent"));
}

void TestDeviceSearch::unreadableCountedPerSenderUnderFlood()
{
    ENTER_NEW_NAMESPACE(true);
    DeviceSearch search;
    search.start();
    // Garbage from 40 senders, the first with most, and requests, which are no answers.
    constexpr int senders = 40;
    constexpr int rounds = 500;
    std::vector<std::unique_ptr<QUdpSocket>> sockets;
    for (int i = 0; i < senders; ++i) {
        sockets.push_back(std::make_unique<QUdpSocket>());
        QVERIFY(sockets.back()->bind(QHostAddress(QStringLiteral("127.0.1.%1").arg(i + 1)), 0));
    }
    UdpCounters before;
    QVERIFY(before.read());
    constexpr int requests = 10;
    for (int i = 0; i < requests; ++i)
        sockets[0]->writeDatagram("OSTREL", QHostAddress::LocalHost, 44444);
    const QByteArray wrong = QByteArray(31, 'x');
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < senders; ++i)
            sockets[size_t(i)]->writeDatagram(i == 0 ? wrong : QByteArray(40, 'y'),
                                              QHostAddress::LocalHost, 44444);
        if (round % 50 == 0)
            QTest::qWait(1);
    }
    QTest::qWait(500);
    UdpCounters after;
    QVERIFY(after.read());
    // Every datagram read but the requests was counted; the named senders stay bounded.
    QCOMPARE(search.report().unreadableCount() + requests, int(after.delivered - before.delivered));
    const SearchReport &report = search.report();
    QCOMPARE(report.unreadable.size(), SearchReport::maxUnreadableSenders);
    QCOMPARE(report.unreadable.first().sender, QHostAddress(QStringLiteral("127.0.1.1")));
    QCOMPARE(report.unreadable.first().size, 31);
    QCOMPARE(report.unreadable.at(1).size, 40);
    QVERIFY(report.unreadableOtherCount > 0);
    QVERIFY(SearchStatus(SearchState::Ended, 0, report)
                .toolTip()
                .contains(QStringLiteral(" answers from 127.0.1.1 could not be read (31 bytes)")));
}

void TestDeviceSearch::lateAnswersCountedNeverListed()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    START_SIMULATOR(simulator, lab, 1,
                    {QStringLiteral("--log"), QStringLiteral("--delay"), QStringLiteral("700"),
                     QStringLiteral("--device"), device("LATE000002", "02:00:00:00:00:03")});
    DeviceSearch search;
    search.setReceiveWindow(400);
    QSignalSpy changed(&search, &DeviceSearch::reportChanged);
    search.start();
    QTRY_COMPARE(search.report().lateDevices, 1);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(search.deviceCount(), 0);

    // An answer still queued when the next search starts (the program was busy) belongs to the
    // search before: it is not listed, even if that device is gone by now.
    search.start();
    QTest::qWait(450);
    QVERIFY(!search.isReceiving());
    QThread::msleep(600);
    search.start();
    QTest::qWait(300);
    QCOMPARE(search.deviceCount(), 0);
    QCOMPARE(search.report().lateDevices, 0);
    QCOMPARE(requestsSeenBy(simulator).size(), 3);
}

void TestDeviceSearch::answerQueuedAtTheEndIsListed()
{
    ENTER_NEW_NAMESPACE(true);
    DeviceSearch search;
    QSignalSpy finished(&search, &DeviceSearch::finished);
    search.start();
    QUdpSocket device;
    QVERIFY(device.bind(QHostAddress::LocalHost, 0));
    QCOMPARE(
        device.writeDatagram("ACK QUEUED0001 02:00:00:00:00:04", QHostAddress::LocalHost, 44444),
        qint64(32));
    // The answer is queued, and the event loop has not run to announce it when the receive
    // window's timer fires.
    QUdpSocket *socket = socketOn(search, QStringLiteral("127.0.0.1"));
    QVERIFY(socket && socket->hasPendingDatagrams());
    const QList<QTimer *> timers =
        search.findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(timers.size(), 1);
    QVERIFY(QMetaObject::invokeMethod(timers.first(), "timeout"));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(search.deviceCount(), 1);
    QTest::qWait(200);
    QCOMPARE(search.deviceCount(), 1);
    QCOMPARE(search.report().lateDevices, 0);
}

void TestDeviceSearch::loopbackOnlyWindowClosesWithFinished()
{
    ENTER_NEW_NAMESPACE(true);
    DeviceSearch search;
    QSignalSpy finished(&search, &DeviceSearch::finished);
    search.start();
    QVERIFY(search.isReceiving());
    search.stop();
    QVERIFY(!search.isReceiving());
    QCOMPARE(finished.count(), 1);
    // Loopback alone: the request went out, but there is no network to search.
    QCOMPARE(search.report().addressCount, 1);
    QCOMPARE(search.report().requestsSent, 1);
    QVERIFY(search.report().noNetwork());
    QCOMPARE(SearchStatus(SearchState::Ended, 0, search.report()).line(),
             QStringLiteral("No network connection"));
    // Closing a closed window announces nothing.
    search.stop();
    QCOMPARE(finished.count(), 1);
}

void TestDeviceSearch::rangeSendingStopsAtOnce()
{
    // A /24 at 50 requests per second, cut short by stop() and by a new search without ranges:
    // afterwards only the new search's broadcasts go out.
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    QString error;
    const QVector<AddressRange> range = parseAddressRanges(QStringLiteral("10.0.1.0/24"), &error);
    DeviceSearch search;
    search.setRate(50);
    for (const bool restart : {false, true}) {
        search.setRanges(range);
        search.start();
        QTest::qWait(200);
        const quint32 done = search.report().ranges.constFirst().done;
        QVERIFY2(done > 0 && done < 100, qPrintable(QString::number(done)));
        UdpCounters before;
        QVERIFY(before.read());
        if (restart) {
            search.setRanges({});
            search.start();
        } else {
            search.stop();
        }
        QTest::qWait(300);
        UdpCounters after;
        QVERIFY(after.read());
        QCOMPARE(after.sent - before.sent, quint64(restart ? search.report().requestsSent : 0));
        QCOMPARE(search.report().ranges.isEmpty(), restart);
    }
}

QTEST_MAIN(TestDeviceSearch)
#include "tst_devicesearch.moc"
