#pragma once

#include <QByteArray>
#include <QTest>
#include <QUdpSocket>

// Answers as a device would: from its own loopback address to the window's socket on
// 127.0.0.1, the only address in the test's network namespace. serial is any 10 bytes, as a
// device may send them.
//
// Each address sends from a port of its own, 40000 plus the address's last two bytes: Wine
// binds a socket on any address but 127.0.0.1 to every address, so that everything it sends
// over loopback comes from 127.0.0.1, and the Windows tests' Wine runner puts the address back
// by the port (scripts/wine-run.in).
inline void answer(const QByteArray &serial, const char *ip, const char *mac = "00:11:22:33:44:55")
{
    const QByteArray datagram = "ACK " + serial + ' ' + mac;
    QVERIFY(datagram.size() == 32);
    const QHostAddress from(QString::fromLatin1(ip));
    const auto port = static_cast<quint16>(40000 + (from.toIPv4Address() & 0x1ff));
    QUdpSocket device;
    QVERIFY(device.bind(from, port));
    QCOMPARE(device.writeDatagram(datagram, QHostAddress::LocalHost, 44444), qint64(32));
}
