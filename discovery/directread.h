#pragma once

#include <QDeadlineTimer>
#include <QtGlobal>

class QUdpSocket;

// Datagrams read from a socket in one go, each cut to datagramSize bytes; sizes are those
// they had before the cut.
struct DatagramChunk
{
    static constexpr int capacity = 64;
    // One byte more than an answer, so that a longer datagram shows its excess.
    static constexpr int datagramSize = 33;

    char data[capacity][datagramSize];
    int sizes[capacity];
    quint32 senders[capacity];
};

// Reads up to maxCount waiting datagrams (at most DatagramChunk::capacity) from the socket's
// descriptor, bypassing the socket object: how many were read, 0 when none was waiting or
// where no direct read is available. senders are IPv4 addresses. On Linux one system call
// takes the whole chunk, on Windows one plain call each, where Qt makes more calls and more
// work of its own per datagram; that matters when hundreds of thousands of answers arrive.
//
// On Windows the reading also stops once deadline has expired (one datagram is read at least).
//
// Qt stops announcing new datagrams on a socket until the socket object itself has read, so
// direct reads must be followed by a read through QUdpSocket::readDatagram() that finds the
// socket empty.
int readDatagramsDirectly(QUdpSocket &socket, DatagramChunk &chunk, int maxCount,
                          QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));
