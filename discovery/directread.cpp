#include "directread.h"

#include <QUdpSocket>

#ifdef Q_OS_UNIX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

qint64 readDatagramDirectly(QUdpSocket &socket, char *buffer, int size, quint32 *sender)
{
#ifdef Q_OS_UNIX
    // Qt keeps its sockets non-blocking, so an empty queue returns at once.
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t read =
        ::recvfrom(static_cast<int>(socket.socketDescriptor()), buffer, static_cast<size_t>(size),
                   0, reinterpret_cast<sockaddr *>(&from), &length);
    if (read < 0)
        return -1;
    *sender = from.sin_family == AF_INET ? ntohl(from.sin_addr.s_addr) : 0;
    return read;
#else
    Q_UNUSED(socket)
    Q_UNUSED(buffer)
    Q_UNUSED(size)
    Q_UNUSED(sender)
    return -1;
#endif
}
