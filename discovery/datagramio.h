#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QtGlobal>

class QUdpSocket;

// The platform's direct datagram calls, beside the socket object: many datagrams per system call
// where the system has such a call. They matter when hundreds of thousands of datagrams come in
// or go out.

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

// Datagrams sent in one call at most.
constexpr int maxDatagramBatch = 64;

// Why a batch of sends stopped before its end.
enum class SendStop {
    None,
    // The system's send buffer is full for now.
    BufferFull,
    Failed,
};

struct DatagramsSent
{
    // Datagrams the system took, the first ones of the batch.
    int count = 0;
    // What became of the datagram after them, with the system's error text.
    SendStop stop = SendStop::None;
    QString error;
};

// Sends payload to port on each of count destinations (IPv4 addresses, at most
// maxDatagramBatch) from the socket, in order. On Linux one system call, past the socket
// object, which may take only the first few without an error: the error, if any, comes with
// the next call. Elsewhere one send each through the socket object, up to the first that
// fails.
DatagramsSent sendDatagrams(QUdpSocket &socket, const QByteArray &payload,
                            const quint32 *destinations, int count, quint16 port);
