#pragma once

#include <QtGlobal>

class QUdpSocket;

// Reads one datagram from the socket's descriptor with a single system call, bypassing the
// socket object: its size, or -1 when nothing was read. sender receives the sender's IPv4
// address. Qt's own read costs about as much again as the system call, which matters when
// hundreds of thousands of answers arrive. Where no direct read is available it reads nothing.
//
// Qt stops announcing new datagrams on a socket until the socket object itself has read, so a
// loop of direct reads must end with a read through QUdpSocket::readDatagram().
qint64 readDatagramDirectly(QUdpSocket &socket, char *buffer, int size, quint32 *sender);
