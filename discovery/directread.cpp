#include "directread.h"

#include <QUdpSocket>

#ifdef Q_OS_LINUX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

int readDatagramsDirectly(QUdpSocket &socket, DatagramChunk &chunk, int maxCount)
{
#ifdef Q_OS_LINUX
    const int count = qBound(0, maxCount, DatagramChunk::capacity);
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
#else
    Q_UNUSED(socket)
    Q_UNUSED(chunk)
    Q_UNUSED(maxCount)
    return 0;
#endif
}
