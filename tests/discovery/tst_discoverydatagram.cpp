#include "bindmode.h"
#include "discoverydatagram.h"
#include "ipv4entry.h"

#include <QHostAddress>
#include <QNetworkAddressEntry>
#include <QTest>

namespace {

// A well-formed answer: "ACK", space, 10 serial bytes, space, 17 MAC bytes.
QByteArray answer(const QByteArray &serial = QByteArrayLiteral("AB12345678"),
                  const QByteArray &mac = QByteArrayLiteral("00:1a:2b:3c:4d:5e"))
{
    return QByteArrayLiteral("ACK ") + serial + ' ' + mac;
}

const QHostAddress device(QStringLiteral("192.168.17.203"));

} // namespace

class TestDiscoveryDatagram : public QObject
{
    Q_OBJECT

private slots:
    void requestIsSixBytes();
    void requestLeavesFromItsSocketsAddress();
    void portTakenOnBind();
    void sizes_data();
    void sizes();
    void markers_data();
    void markers();
    void fieldsKeepEveryByte();
    void senderAddressAsText();
    void ipv4Entries_data();
    void ipv4Entries();
};

void TestDiscoveryDatagram::requestIsSixBytes()
{
    QCOMPARE(discoveryRequest(), QByteArray("OSTREL", 6));
    QCOMPARE(discoveryRequest().size(), 6);
}

void TestDiscoveryDatagram::requestLeavesFromItsSocketsAddress()
{
    const LocalAddress local{QHostAddress(QStringLiteral("10.4.0.7")), 24, 9,
                             QStringLiteral("lan")};
    const QNetworkDatagram datagram = requestDatagram(local);
    QCOMPARE(datagram.data(), discoveryRequest());
    QCOMPARE(datagram.destinationAddress(), QHostAddress(QHostAddress::Broadcast));
    QCOMPARE(datagram.destinationPort(), 44444);
    QCOMPARE(datagram.senderAddress(), local.address);
    QCOMPARE(datagram.senderPort(), 44444);
    QCOMPARE(datagram.interfaceIndex(), 9u);
}

void TestDiscoveryDatagram::portTakenOnBind()
{
    QVERIFY(bindErrorMeansPortTaken(QAbstractSocket::AddressInUseError));
    // Windows' answer to a port held exclusively by another program; elsewhere a permission.
#ifdef Q_OS_WIN
    QVERIFY(bindErrorMeansPortTaken(QAbstractSocket::SocketAccessError));
#else
    QVERIFY(!bindErrorMeansPortTaken(QAbstractSocket::SocketAccessError));
#endif
}

void TestDiscoveryDatagram::sizes_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("0 bytes") << QByteArray() << false;
    QTest::newRow("6 bytes, the request itself") << discoveryRequest() << false;
    QTest::newRow("31 bytes") << answer().left(31) << false;
    QTest::newRow("32 bytes") << answer() << true;
    QTest::newRow("33 bytes") << QByteArray(answer() + ' ') << false;
    QTest::newRow("33 bytes, zero at the end") << QByteArray(answer() + '\0') << false;
}

void TestDiscoveryDatagram::sizes()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, accepted);
    QCOMPARE(parseAnswer(datagram, device).has_value(), accepted);
    QCOMPARE(isAnswer(datagram), accepted);
}

void TestDiscoveryDatagram::markers_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<char>("byte");

    QTest::newRow("lower-case marker") << 0 << 'a';
    QTest::newRow("marker ACk") << 2 << 'k';
    QTest::newRow("marker with byte 0xc1") << 0 << char(0xc1);
    QTest::newRow("tab after the marker") << 3 << '\t';
    QTest::newRow("zero after the marker") << 3 << '\0';
    QTest::newRow("byte 0xa0 after the marker") << 3 << char(0xa0);
    QTest::newRow("tab before the MAC") << 14 << '\t';
    QTest::newRow("colon before the MAC") << 14 << ':';
}

void TestDiscoveryDatagram::markers()
{
    QFETCH(int, offset);
    QFETCH(char, byte);
    QByteArray datagram = answer();
    datagram[offset] = byte;
    QVERIFY(!parseAnswer(datagram, device));
}

void TestDiscoveryDatagram::fieldsKeepEveryByte()
{
    // Trailing spaces stay, zero bytes become characters of code 0, and bytes from 0x80 are
    // sign-extended: 0xe9 is the unit 0xffe9, not the letter é.
    const QByteArray serial("AB12\0\xe9\x7f\x80  ", 10);
    const QByteArray mac("\xff\x01"
                         "bcdefghijklmn  ",
                         17);
    const std::optional<DeviceRecord> record = parseAnswer(answer(serial, mac), device);
    QVERIFY(record);

    QCOMPARE(record->serialNumber.size(), 10);
    QCOMPARE(record->serialNumber.left(4), QStringLiteral("AB12"));
    QCOMPARE(record->serialNumber.at(4).unicode(), ushort(0));
    QCOMPARE(record->serialNumber.at(5).unicode(), ushort(0xffe9));
    QCOMPARE(record->serialNumber.at(6).unicode(), ushort(0x7f));
    QCOMPARE(record->serialNumber.at(7).unicode(), ushort(0xff80));
    QCOMPARE(record->serialNumber.right(2), QStringLiteral("  "));

    QCOMPARE(record->macAddress.size(), 17);
    QCOMPARE(record->macAddress.at(0).unicode(), ushort(0xffff));
    QCOMPARE(record->macAddress.at(1).unicode(), ushort(0x01));
    QCOMPARE(record->macAddress.mid(2), QStringLiteral("bcdefghijklmn  "));

    const std::optional<DeviceRecord> plain = parseAnswer(answer(), device);
    QVERIFY(plain);
    QCOMPARE(plain->serialNumber, QStringLiteral("AB12345678"));
    QCOMPARE(plain->macAddress, QStringLiteral("00:1a:2b:3c:4d:5e"));
}

void TestDiscoveryDatagram::senderAddressAsText()
{
    QCOMPARE(parseAnswer(answer(), device)->ipAddress, QStringLiteral("192.168.17.203"));
    QCOMPARE(parseAnswer(answer(), QHostAddress(QStringLiteral("10.0.0.7")))->ipAddress,
             QStringLiteral("10.0.0.7"));
    QCOMPARE(answerRecord(answer(), QStringLiteral("1.2.3.4")).ipAddress,
             QStringLiteral("1.2.3.4"));
}

void TestDiscoveryDatagram::ipv4Entries_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("ipv4");

    QTest::newRow("one-digit first group") << QStringLiteral("1.2.3.4") << true;
    QTest::newRow("two-digit first group") << QStringLiteral("10.0.0.1") << true;
    QTest::newRow("loopback") << QStringLiteral("127.0.0.1") << true;
    QTest::newRow("link-local") << QStringLiteral("169.254.10.20") << true;
    QTest::newRow("IPv6 loopback") << QStringLiteral("::1") << false;
    QTest::newRow("IPv6 link-local") << QStringLiteral("fe80::1") << false;
    QTest::newRow("IPv6 global") << QStringLiteral("2001:db8::5") << false;
    QTest::newRow("IPv4-mapped IPv6") << QStringLiteral("::ffff:10.1.2.3") << false;
    QTest::newRow("no address") << QString() << false;
}

void TestDiscoveryDatagram::ipv4Entries()
{
    QFETCH(QString, address);
    QFETCH(bool, ipv4);
    QNetworkAddressEntry entry;
    if (!address.isEmpty())
        entry.setIp(QHostAddress(address));
    QCOMPARE(isIPv4Entry(entry), ipv4);
}

QTEST_APPLESS_MAIN(TestDiscoveryDatagram)
#include "tst_discoverydatagram.moc"
