#include "datagramio.h"

#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

// The direct reads of both builds (recvmmsg on Linux, recvfrom on Windows) against datagrams
// of known sizes from a known sender, and the batched sends to two destinations.
class TestDatagramIo : public QObject
{
    Q_OBJECT

private slots:
    void sizesSendersAndBound();
    void windowsReadsBoundedByTime();
    void sendsToEachAndStopsAtFailure();
};

void TestDatagramIo::sizesSendersAndBound()
{
    QUdpSocket receiver;
    QUdpSocket sender;
    QVERIFY(receiver.bind(QHostAddress::LocalHost, 0));
    QVERIFY(sender.bind(QHostAddress::LocalHost, 0));
    // An answer, one longer than any answer, one byte.
    const QByteArray datagrams[] = {QByteArray(32, 'a'), QByteArray(40, 'b'), QByteArray(1, 'c')};
    for (const QByteArray &datagram : datagrams)
        QCOMPARE(sender.writeDatagram(datagram, QHostAddress::LocalHost, receiver.localPort()),
                 qint64(datagram.size()));
    QTRY_VERIFY(receiver.hasPendingDatagrams());

    // At most as many as asked for; the rest stays queued for the next read.
    struct Read
    {
        int size;
        QByteArray data;
        quint32 sender;
    };
    QVector<Read> reads;
    DatagramChunk chunk;
    const auto take = [&](int count) {
        for (int i = 0; i < count; ++i)
            reads.append(
                {chunk.sizes[i],
                 QByteArray(chunk.data[i], qMin(chunk.sizes[i], DatagramChunk::datagramSize)),
                 chunk.senders[i]});
        return count;
    };
    QCOMPARE(take(readDatagramsDirectly(receiver, chunk, 2)), 2);
    QCOMPARE(take(readDatagramsDirectly(receiver, chunk, DatagramChunk::capacity)), 1);
    QCOMPARE(readDatagramsDirectly(receiver, chunk, DatagramChunk::capacity), 0);

    for (int i = 0; i < 3; ++i) {
        QCOMPARE(reads.at(i).size, int(datagrams[i].size()));
        QCOMPARE(reads.at(i).data, datagrams[i].left(DatagramChunk::datagramSize));
        QCOMPARE(reads.at(i).sender, QHostAddress(QHostAddress::LocalHost).toIPv4Address());
    }
}

void TestDatagramIo::windowsReadsBoundedByTime()
{
    QUdpSocket receiver;
    QUdpSocket sender;
    QVERIFY(receiver.bind(QHostAddress::LocalHost, 0));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(sender.writeDatagram(QByteArray(32, 'a'), QHostAddress::LocalHost,
                                      receiver.localPort()),
                 qint64(32));
    QTRY_VERIFY(receiver.hasPendingDatagrams());
    QTest::qWait(50);
    // Past its deadline a read takes one datagram where each is a system call of its own;
    // Linux takes the whole chunk in one call.
    DatagramChunk chunk;
    QDeadlineTimer expired(0);
#ifdef Q_OS_WIN
    QCOMPARE(readDatagramsDirectly(receiver, chunk, DatagramChunk::capacity, expired), 1);
    QCOMPARE(readDatagramsDirectly(receiver, chunk, DatagramChunk::capacity), 2);
#else
    QCOMPARE(readDatagramsDirectly(receiver, chunk, DatagramChunk::capacity, expired), 3);
#endif
}

void TestDatagramIo::sendsToEachAndStopsAtFailure()
{
    // Both loopback destinations reach the one receiver on every address.
    QUdpSocket receiver;
    QUdpSocket sender;
    QVERIFY(receiver.bind(QHostAddress::AnyIPv4, 0));
    QVERIFY(sender.bind(QHostAddress::LocalHost, 0));
    const QByteArray payload(32, 'r');
    const quint32 two[] = {QHostAddress(QStringLiteral("127.0.0.2")).toIPv4Address(),
                           QHostAddress(QStringLiteral("127.0.0.1")).toIPv4Address()};
    const DatagramsSent sent = sendDatagrams(sender, payload, two, 2, receiver.localPort());
    QCOMPARE(sent.count, 2);
    QCOMPARE(sent.stop, SendStop::None);
    for (int i = 0; i < 2; ++i) {
        QTRY_VERIFY(receiver.hasPendingDatagrams());
        const QNetworkDatagram datagram = receiver.receiveDatagram();
        QCOMPARE(datagram.data(), payload);
        QCOMPARE(datagram.senderPort(), int(sender.localPort()));
    }

    // No route to the first: it fails with the system's reason, and the one after it waits.
    const quint32 unroutable[] = {QHostAddress(QStringLiteral("203.0.113.9")).toIPv4Address(),
                                  two[1]};
    const DatagramsSent failed =
        sendDatagrams(sender, payload, unroutable, 2, receiver.localPort());
    QCOMPARE(failed.count, 0);
    QCOMPARE(failed.stop, SendStop::Failed);
    QVERIFY(!failed.error.isEmpty());
    QTest::qWait(50);
    QVERIFY(!receiver.hasPendingDatagrams());
}

QTEST_GUILESS_MAIN(TestDatagramIo)
#include "tst_datagramio.moc"
