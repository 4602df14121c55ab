#include "childprocess.h"
#include "labmacros.h"
#include "udpbroadcaster.h"
#include "udpcounters.h"

#include <algorithm>
#include <memory>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

// Every test runs in network namespaces of its own: the broadcaster sees only the test's LANs,
// and parallel tests do not compete for port 44444.

namespace {

struct Listed
{
    QString serialNumber;
    QString ipAddress;
    QString macAddress;
};

QVector<Listed> listed(UDPBroadcaster &broadcaster)
{
    QVector<Listed> result(broadcaster.deviceCount());
    for (int i = 0; i < result.size(); ++i)
        broadcaster.getDevice(result[i].serialNumber, result[i].ipAddress, result[i].macAddress, i);
    return result;
}

QStringList serials(UDPBroadcaster &broadcaster)
{
    QStringList result;
    for (const Listed &device : listed(broadcaster))
        result.append(device.serialNumber);
    return result;
}

QList<QUdpSocket *> socketsOf(UDPBroadcaster &broadcaster)
{
    return broadcaster.findChildren<QUdpSocket *>();
}

QUdpSocket *socketOn(UDPBroadcaster &broadcaster, const QString &address)
{
    for (QUdpSocket *socket : socketsOf(broadcaster)) {
        if (socket->localAddress() == QHostAddress(address))
            return socket;
    }
    return nullptr;
}

// What the simulator logs for a request of this program from the host's address on lan.
QString requestFrom(int lan)
{
    return QStringLiteral("%1:44444 to 255.255.255.255 (6 bytes)").arg(NetLab::hostAddress(lan));
}

QStringList repeated(const QString &line, int count)
{
    QStringList result;
    for (int i = 0; i < count; ++i)
        result.append(line);
    return result;
}

// Answers from count devices on 127.0.0.1, serials "prefix" and a 7-digit number, in bursts
// that the socket's buffer surely holds, until the broadcaster lists them all.
void answerFromLoopback(UDPBroadcaster &broadcaster, const char *prefix, int count)
{
    constexpr int burst = 200;
    QUdpSocket device;
    QVERIFY(device.bind(QHostAddress::LocalHost, 0));
    const int before = broadcaster.deviceCount();
    for (int n = 0; n < count; ++n) {
        const QByteArray serial = prefix + QByteArray::number(n).rightJustified(7, '0');
        const QByteArray datagram = "ACK " + serial + " 02:00:00:00:00:00";
        QCOMPARE(device.writeDatagram(datagram, QHostAddress::LocalHost, 44444), qint64(32));
        if ((n + 1) % burst == 0 || n + 1 == count)
            QTRY_COMPARE(broadcaster.deviceCount(), before + n + 1);
    }
}

QString device(const char *serial, const char *mac)
{
    return QLatin1String(serial) + QLatin1Char(',') + QLatin1String(mac);
}

} // namespace

class TestUdpBroadcaster : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void noAddressNoSocket();
    void loopbackOnly();
    void twoLans();
    void malformedAnswersDropped();
    void refreshRestartsWindow();
    void lateAnswerCountedNotListed();
    void floodKeepsEventLoopRunning();
    void largeSearchForgottenAtOnce();
};

void TestUdpBroadcaster::initTestCase()
{
    const QString reason = NetLab::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(QStringLiteral("needs private network namespaces, but ") + reason));
}

void TestUdpBroadcaster::noAddressNoSocket()
{
    ENTER_NEW_NAMESPACE(false);
    UDPBroadcaster broadcaster;
    QVERIFY(socketsOf(broadcaster).isEmpty());

    broadcaster.sendBroadcast();
    QTest::qWait(100);
    QCOMPARE(broadcaster.deviceCount(), 0);
    QTimer *timer = broadcaster.findChild<QTimer *>();
    QVERIFY(timer && timer->isActive());
}

void TestUdpBroadcaster::loopbackOnly()
{
    ENTER_NEW_NAMESPACE(true);
    UDPBroadcaster broadcaster;
    const QList<QUdpSocket *> sockets = socketsOf(broadcaster);
    QCOMPARE(sockets.size(), 1);
    QUdpSocket *socket = sockets.first();
    QCOMPARE(socket->state(), QAbstractSocket::BoundState);
    QCOMPARE(socket->localAddress(), QHostAddress(QHostAddress::LocalHost));
    QCOMPARE(socket->localPort(), quint16(44444));

    // 1 MiB asked; Linux grants up to net.core.rmem_max and reports twice what it granted.
    QFile maxFile(QStringLiteral("/proc/sys/net/core/rmem_max"));
    QVERIFY(maxFile.open(QIODevice::ReadOnly));
    const int rmemMax = maxFile.readAll().trimmed().toInt();
    const int granted =
        socket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
    QVERIFY2(granted >= qMin(1024 * 1024, rmemMax),
             qPrintable(QStringLiteral("granted %1, rmem_max %2").arg(granted).arg(rmemMax)));

    broadcaster.sendBroadcast();
    QTest::qWait(200);
    QCOMPARE(broadcaster.deviceCount(), 0);

    QString serial = QStringLiteral("s"), ip = QStringLiteral("i"), mac = QStringLiteral("m");
    for (int index : {-1, 0, 1}) {
        broadcaster.getDevice(serial, ip, mac, index);
        QCOMPARE(serial + ip + mac, QStringLiteral("sim"));
    }
}

void TestUdpBroadcaster::twoLans()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 2);
    START_SIMULATOR(first, lab, 1,
                    {QStringLiteral("--log"), QStringLiteral("--device"),
                     device("FIRST00001", "aa:aa:aa:aa:aa:01"), QStringLiteral("--device"),
                     device("BOTH000001", "aa:aa:aa:aa:aa:02")});
    START_SIMULATOR(second, lab, 2,
                    {QStringLiteral("--log"), QStringLiteral("--device"),
                     device("SECOND0001", "bb:bb:bb:bb:bb:01"), QStringLiteral("--device"),
                     device("BOTH000001", "bb:bb:bb:bb:bb:02")});

    UDPBroadcaster broadcaster;
    QStringList bound;
    for (QUdpSocket *socket : socketsOf(broadcaster)) {
        QCOMPARE(socket->localPort(), quint16(44444));
        bound.append(socket->localAddress().toString());
    }
    QCOMPARE(bound, QStringList({QStringLiteral("127.0.0.1"), NetLab::hostAddress(1),
                                 NetLab::hostAddress(2)}));

    // Each emission must find its record already in the list.
    QList<int> countsAtSignal;
    connect(&broadcaster, &UDPBroadcaster::deviceFound, this,
            [&] { countsAtSignal.append(broadcaster.deviceCount()); });

    for (int search = 1; search <= 2; ++search) {
        countsAtSignal.clear();
        broadcaster.sendBroadcast();
        QCOMPARE(broadcaster.deviceCount(), 0);
        QTRY_COMPARE(broadcaster.deviceCount(), 3);
        QTest::qWait(500);
        QCOMPARE(countsAtSignal, QList<int>({1, 2, 3}));

        // Each LAN heard exactly one request per search, from the host's own address there.
        QCOMPARE(first->linesStartingWith(QStringLiteral("request from ")),
                 repeated(requestFrom(1), search));
        QCOMPARE(second->linesStartingWith(QStringLiteral("request from ")),
                 repeated(requestFrom(2), search));

        QHash<QString, Listed> bySerial;
        for (const Listed &device : listed(broadcaster))
            bySerial.insert(device.serialNumber, device);
        QCOMPARE(bySerial.size(), 3);
        QCOMPARE(bySerial.value(QStringLiteral("FIRST00001")).ipAddress, NetLab::peerAddress(1));
        QCOMPARE(bySerial.value(QStringLiteral("FIRST00001")).macAddress,
                 QStringLiteral("aa:aa:aa:aa:aa:01"));
        QCOMPARE(bySerial.value(QStringLiteral("SECOND0001")).ipAddress, NetLab::peerAddress(2));
        // The device on both LANs is listed once, with address and MAC of the same answer.
        const Listed both = bySerial.value(QStringLiteral("BOTH000001"));
        QVERIFY2((both.ipAddress == NetLab::peerAddress(1) &&
                  both.macAddress == QLatin1String("aa:aa:aa:aa:aa:02")) ||
                     (both.ipAddress == NetLab::peerAddress(2) &&
                      both.macAddress == QLatin1String("bb:bb:bb:bb:bb:02")),
                 qPrintable(both.ipAddress + QLatin1Char(' ') + both.macAddress));
    }

    QString serial = QStringLiteral("s"), ip = QStringLiteral("i"), mac = QStringLiteral("m");
    broadcaster.getDevice(serial, ip, mac, 3);
    QCOMPARE(serial + ip + mac, QStringLiteral("sim"));
}

void TestUdpBroadcaster::malformedAnswersDropped()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 5);
    const QStringList flaws[] = {
        {},
        {QStringLiteral("--size"), QStringLiteral("31")},
        {QStringLiteral("--size"), QStringLiteral("33")},
        {QStringLiteral("--lowercase-marker")},
        {QStringLiteral("--tab-separator")},
    };
    std::vector<ChildProcess *> simulators;
    for (int lan = 1; lan <= 5; ++lan) {
        const QString serial = QStringLiteral("LAN%1").arg(lan).leftJustified(10, QLatin1Char('0'));
        START_SIMULATOR(simulator, lab, lan,
                        flaws[lan - 1] + QStringList{QStringLiteral("--log"),
                                                     QStringLiteral("--device"), serial});
        simulators.push_back(simulator);
    }

    UDPBroadcaster broadcaster;
    UdpCounters before;
    QVERIFY(before.read());
    broadcaster.sendBroadcast();
    QTRY_COMPARE(broadcaster.deviceCount(), 1);
    QTest::qWait(1000);

    QCOMPARE(serials(broadcaster), QStringList{QStringLiteral("LAN1000000")});
    // Each unreadable answer is named with its sender, its size and why.
    const QList<SearchReport::UnreadableSender> unreadable = broadcaster.report().unreadable;
    QCOMPARE(unreadable.size(), 4);
    const struct
    {
        int size;
        SearchReport::Unreadable reason;
    } expected[] = {{31, SearchReport::Unreadable::WrongSize},
                    {33, SearchReport::Unreadable::WrongSize},
                    {32, SearchReport::Unreadable::WrongMarkers},
                    {32, SearchReport::Unreadable::WrongMarkers}};
    for (int lan = 2; lan <= 5; ++lan) {
        const auto sender = std::find_if(unreadable.begin(), unreadable.end(), [&](const auto &u) {
            return u.sender == QHostAddress(NetLab::peerAddress(lan));
        });
        QVERIFY(sender != unreadable.end());
        QCOMPARE(sender->count, 1);
        QCOMPARE(sender->size, expected[lan - 2].size);
        QCOMPARE(sender->reason, expected[lan - 2].reason);
    }
    // The others were heard, answered and read, and then dropped for their form.
    for (int lan = 1; lan <= 5; ++lan)
        QCOMPARE(simulators[size_t(lan - 1)]->linesStartingWith(QStringLiteral("request from ")),
                 QStringList{requestFrom(lan)});
    UdpCounters after;
    QVERIFY(after.read());
    QCOMPARE(after.delivered - before.delivered, quint64(5));
}

void TestUdpBroadcaster::refreshRestartsWindow()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    START_SIMULATOR(late, lab, 1,
                    {QStringLiteral("--log"), QStringLiteral("--delay"), QStringLiteral("6000"),
                     QStringLiteral("--device"), QStringLiteral("LATE000001")});
    UDPBroadcaster broadcaster;
    QUdpSocket *lanSocket = socketOn(broadcaster, NetLab::hostAddress(1));
    QVERIFY(lanSocket);

    QElapsedTimer clock;
    broadcaster.sendBroadcast();
    clock.start();
    QTest::qWait(2000);
    broadcaster.sendBroadcast();
    QCOMPARE(broadcaster.deviceCount(), 0);

    // The answer to the first request comes at 6 s, after the first window would have closed,
    // but inside the window that the refresh opened until 7 s.
    QTRY_COMPARE_WITH_TIMEOUT(broadcaster.deviceCount(), 1, 6000);
    QVERIFY2(clock.elapsed() >= 5500, qPrintable(QString::number(clock.elapsed())));

    // The answer to the refresh's request comes at 8 s, after that window closed: it is read,
    // and neither listed again nor counted as late, since the device is listed.
    QTRY_VERIFY_WITH_TIMEOUT(!broadcaster.isReceiving(), 2000);
    QTest::qWait(1500);
    QCOMPARE(broadcaster.deviceCount(), 1);
    QCOMPARE(broadcaster.report().lateDevices, 0);
    QVERIFY(!lanSocket->hasPendingDatagrams());
    QCOMPARE(late->linesStartingWith(QStringLiteral("request from ")), repeated(requestFrom(1), 2));
}

void TestUdpBroadcaster::lateAnswerCountedNotListed()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    START_SIMULATOR(late, lab, 1,
                    {QStringLiteral("--delay"), QStringLiteral("5600"), QStringLiteral("--device"),
                     QStringLiteral("LATE000002")});
    UDPBroadcaster broadcaster;
    QSignalSpy changed(&broadcaster, &UDPBroadcaster::reportChanged);
    broadcaster.sendBroadcast();
    QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, 8000);
    QCOMPARE(broadcaster.report().lateDevices, 1);
    QCOMPARE(broadcaster.deviceCount(), 0);

    // The next search starts without it, and lists it only when it answers again in time.
    broadcaster.sendBroadcast();
    QCOMPARE(broadcaster.report().lateDevices, 0);
    QTest::qWait(1000);
    QCOMPARE(broadcaster.deviceCount(), 0);
}

void TestUdpBroadcaster::floodKeepsEventLoopRunning()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    UDPBroadcaster broadcaster;
    QUdpSocket *lanSocket = socketOn(broadcaster, NetLab::hostAddress(1));
    QVERIFY(lanSocket);

    // The window does table work for every new device; with it the flood outpaces the reading,
    // so the sockets never run empty while it lasts.
    connect(&broadcaster, &UDPBroadcaster::deviceFound, this, [] {
        QElapsedTimer work;
        work.start();
        while (work.nsecsElapsed() < 20000) {
        }
    });

    QElapsedTimer clock;
    clock.start();
    QVector<qint64> ticks;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { ticks.append(clock.elapsed()); });
    ticker.start(10);

    broadcaster.sendBroadcast();
    UdpCounters before;
    QVERIFY(before.read());
    const qint64 floodStart = clock.elapsed();
    QString floodError;
    ChildProcess *flood = lab.startSimulator(1,
                                             {QStringLiteral("--flood"), NetLab::hostAddress(1),
                                              QStringLiteral("--rate"), QStringLiteral("100000"),
                                              QStringLiteral("--duration"), QStringLiteral("2000"),
                                              QStringLiteral("--count"), QStringLiteral("0")},
                                             &floodError, QStringLiteral("flood: sending"));
    QVERIFY2(flood, qPrintable(floodError));
    QTRY_VERIFY_WITH_TIMEOUT(!flood->isRunning(), 10000);
    const qint64 floodEnd = clock.elapsed();
    QTRY_VERIFY(!lanSocket->hasPendingDatagrams());
    QTest::qWait(100);
    QVERIFY2(clock.elapsed() < 5000, "the flood outlasted the receive window");

    // The event loop kept turning while the flood lasted: reading everything before returning
    // would have held it for the whole 2 s. Sanitizer builds turn it slowly, hence the margin.
    qint64 longestGap = 0;
    int ticksDuringFlood = 0;
    for (int i = 1; i < ticks.size(); ++i) {
        if (ticks[i] < floodStart || ticks[i - 1] > floodEnd)
            continue;
        ++ticksDuringFlood;
        longestGap = qMax(longestGap, ticks[i] - ticks[i - 1]);
    }
    QVERIFY2(ticksDuringFlood >= 4 && longestGap < (floodEnd - floodStart) / 4,
             qPrintable(QStringLiteral("%1 ticks in %2 ms, longest gap %3 ms")
                            .arg(ticksDuringFlood)
                            .arg(floodEnd - floodStart)
                            .arg(longestGap)));

    // Every answer the kernel delivered was read and listed once; the kernel dropped the rest.
    const QRegularExpression sentLine(QStringLiteral("^(\\d+) answers"));
    const QStringList summary = flood->linesStartingWith(QStringLiteral("flood: sent "));
    QCOMPARE(summary.size(), 1);
    const quint64 sent = sentLine.match(summary.first()).captured(1).toULongLong();
    UdpCounters after;
    QVERIFY(after.read());
    const auto count = quint64(broadcaster.deviceCount());
    QCOMPARE(count, after.delivered - before.delivered);
    QCOMPARE(count + (after.dropped - before.dropped), sent);
    QVERIFY(count > 0);

    QSet<QString> distinct;
    for (const Listed &device : listed(broadcaster)) {
        QCOMPARE(device.ipAddress, NetLab::peerAddress(1));
        distinct.insert(device.serialNumber);
    }
    QCOMPARE(quint64(distinct.size()), count);
    qInfo("flood: %llu sent, %llu listed, %d ticks in %lld ms, longest gap %lld ms",
          static_cast<unsigned long long>(sent), static_cast<unsigned long long>(count),
          ticksDuringFlood, floodEnd - floodStart, longestGap);
}

void TestUdpBroadcaster::largeSearchForgottenAtOnce()
{
    // A new search frees the records of a large one bit by bit, but must forget them at once.
    ENTER_NEW_NAMESPACE(true);
    auto broadcaster = std::make_unique<UDPBroadcaster>();
    broadcaster->sendBroadcast();
    answerFromLoopback(*broadcaster, "OLD", 5000);
    QCOMPARE(broadcaster->deviceCount(), 5000);
    QCOMPARE(serials(*broadcaster).constLast(), QStringLiteral("OLD0004999"));

    broadcaster->sendBroadcast();
    QCOMPARE(broadcaster->deviceCount(), 0);
    QString serial = QStringLiteral("unchanged");
    QString ip;
    QString mac;
    broadcaster->getDevice(serial, ip, mac, 0);
    QCOMPARE(serial, QStringLiteral("unchanged"));

    answerFromLoopback(*broadcaster, "NEW", 10);
    answerFromLoopback(*broadcaster, "OLD", 3000);
    const QStringList found = serials(*broadcaster);
    QCOMPARE(found.size(), 3010);
    QCOMPARE(QSet<QString>(found.begin(), found.end()).size(), 3010);
    QCOMPARE(found.constFirst(), QStringLiteral("NEW0000000"));
    QCOMPARE(found.constLast(), QStringLiteral("OLD0002999"));

    // Destroyed while the two earlier lists are still being freed.
    broadcaster->sendBroadcast();
    broadcaster.reset();
}

QTEST_MAIN(TestUdpBroadcaster)
#include "tst_udpbroadcaster.moc"
