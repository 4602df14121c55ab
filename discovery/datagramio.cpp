#include "datagramio.h"

#include <cerrno>
#include <QHostAddress>
#include <QUdpSocket>

#ifdef Q_OS_LINUX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#elif defined(Q_OS_WIN)
#include <cstring>
#include <winsock2.h>
#endif

namespace {

#ifdef Q_OS_LINUX
// One system call: nothing to bound by time.
int readChunk(QUdpSocket &socket, DatagramChunk &chunk, int count)
{
    mmsghdr messages[DatagramChunk::capacity];
    iovec vectors[DatagramChunk::capacity];
    sockaddr_in from[DatagramChunk::capacity];
    for (int i = 0; i < count; ++i) {
        vectors[i] = iovec{chunk.data[i], DatagramChunk::datagramSize};
        messages[i] = mmsghdr{};
        messages[i].msg_hdr.msg_name = &from[i];
        messages[i].msg_hdr.msg_namelen = sizeof from[i];
        messages[i].msg_hdr.msg_iov = &vectors[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    const int read = ::recvmmsg(static_cast<int>(socket.socketDescriptor()), messages,
                                static_cast<unsigned>(count), MSG_DONTWAIT | MSG_TRUNC, nullptr);
    for (int i = 0; i < read; ++i) {
        chunk.sizes[i] = static_cast<int>(messages[i].msg_len);
        chunk.senders[i] = from[i].sin_family == AF_INET ? ntohl(from[i].sin_addr.s_addr) : 0;
    }
    return qMax(read, 0);
}
#elif defined(Q_OS_WIN)
// Windows has no call that takes several datagrams; one plain recvfrom() each is still far
// less work than the socket object's size query and read, which matters most under Wine, where
// every system call goes through the Wine server.
int readChunk(QUdpSocket &socket, DatagramChunk &chunk, int count, QDeadlineTimer deadline)
{
    const auto descriptor = static_cast<SOCKET>(socket.socketDescriptor());
    // Read whole, for the datagram's true size: Windows discards what a short buffer cuts off
    // and reports only that it was cut.
    char whole[65536];
    int read = 0;
    // Each read is a system call of its own (under Wine a slow one): bounded by time too.
    for (int attempt = 0;
         read < count && attempt < 2 * count && (read == 0 || !deadline.hasExpired()); ++attempt) {
        sockaddr_in from{};
        int fromLength = sizeof from;
        const int size = ::recvfrom(descriptor, whole, int(sizeof whole), 0,
                                    reinterpret_cast<sockaddr *>(&from), &fromLength);
        if (size == SOCKET_ERROR) {
            // A request that an unreachable port refused is reported on the next read; it
            // holds no datagram.
            if (::WSAGetLastError() == WSAECONNRESET)
                continue;
            break;
        }
        std::memcpy(chunk.data[read], whole, size_t(qMin(size, DatagramChunk::datagramSize)));
        chunk.sizes[read] = size;
        chunk.senders[read] = from.sin_family == AF_INET ? ntohl(from.sin_addr.s_addr) : 0;
        ++read;
    }
    return read;
}
#endif

} // namespace

int readDatagramsDirectly(QUdpSocket &socket, DatagramChunk &chunk, int maxCount,
                          QDeadlineTimer deadline)
{
    const int count = qBound(0, maxCount, DatagramChunk::capacity);
#ifdef Q_OS_LINUX
    Q_UNUSED(deadline)
    return readChunk(socket, chunk, count);
#elif defined(Q_OS_WIN)
    return readChunk(socket, chunk, count, deadline);
#else
    Q_UNUSED(socket)
    Q_UNUSED(chunk)
    Q_UNUSED(count)
    Q_UNUSED(deadline)
    return 0;
#endif
}

DatagramsSent sendDatagrams(QUdpSocket &socket, const QByteArray &payload,
                            const quint32 *destinations, int count, quint16 port)
{
    count = qBound(0, count, maxDatagramBatch);
    DatagramsSent result;
#ifdef Q_OS_LINUX
    // For a range of tens of thousands of addresses a call per datagram would cost as much as
    // the sending itself.
    sockaddr_in targets[maxDatagramBatch];
    mmsghdr messages[maxDatagramBatch];
    iovec vector{const_cast<char *>(payload.constData()), size_t(payload.size())};
    for (int i = 0; i < count; ++i) {
        targets[i] = sockaddr_in{};
        targets[i].sin_family = AF_INET;
        targets[i].sin_port = htons(port);
        targets[i].sin_addr.s_addr = htonl(destinations[i]);
        messages[i] = mmsghdr{};
        messages[i].msg_hdr.msg_name = &targets[i];
        messages[i].msg_hdr.msg_namelen = sizeof targets[i];
        messages[i].msg_hdr.msg_iov = &vector;
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    const int sent =
        ::sendmmsg(int(socket.socketDescriptor()), messages, unsigned(count), MSG_DONTWAIT);
    if (sent > 0 || count == 0) {
        result.count = qMax(sent, 0);
        return result;
    }
    const int error = errno;
    const bool full = error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS;
    result.stop = full ? SendStop::BufferFull : SendStop::Failed;
    result.error = qt_error_string(error);
#else
    for (; result.count < count; ++result.count) {
        const QHostAddress destination(destinations[result.count]);
        if (socket.writeDatagram(payload, destination, port) == payload.size())
            continue;
        result.stop = socket.error() == QAbstractSocket::TemporaryError ? SendStop::BufferFull
                                                                        : SendStop::Failed;
        result.error = socket.errorString();
        break;
    }
#endif
    return result;
}
