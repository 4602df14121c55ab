#include "routelookup.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
using Length = int;
const qintptr noSocket = qintptr(INVALID_SOCKET);

QString lastError()
{
    return qt_error_string(WSAGetLastError());
}
#else
using Length = socklen_t;
const qintptr noSocket = -1;

QString lastError()
{
    return qt_error_string(errno);
}
#endif

// The source a socket that is not yet connected gets when connected to destination.
quint32 lookUp(qintptr descriptor, quint32 destination, quint16 port, QString *error)
{
    if (descriptor == noSocket) {
        *error = QStringLiteral("no socket to look up routes: ") + lastError();
        return 0;
    }
    using Native = decltype(::socket(0, 0, 0));
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = htonl(destination);
    // Connecting a datagram socket sends nothing; it only settles the route and the source.
    if (::connect(Native(descriptor), reinterpret_cast<const sockaddr *>(&target), sizeof target) !=
        0) {
        *error = lastError();
        return 0;
    }
    sockaddr_in local{};
    Length length = sizeof local;
    if (::getsockname(Native(descriptor), reinterpret_cast<sockaddr *>(&local), &length) != 0) {
        *error = lastError();
        return 0;
    }
    return ntohl(local.sin_addr.s_addr);
}

} // namespace

RouteLookup::RouteLookup()
{
#ifdef Q_OS_WIN
    // Counted by the system: Qt's own start-up of the sockets library stays untouched.
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
#else
    descriptor = qintptr(::socket(AF_INET, SOCK_DGRAM, 0));
#endif
}

RouteLookup::~RouteLookup()
{
#ifdef Q_OS_WIN
    WSACleanup();
#else
    if (descriptor != noSocket)
        ::close(int(descriptor));
#endif
}

quint32 RouteLookup::sourceFor(quint32 destination, quint16 port, QString *error)
{
#ifdef Q_OS_WIN
    const SOCKET fresh = ::socket(AF_INET, SOCK_DGRAM, 0);
    const quint32 local = lookUp(qintptr(fresh), destination, port, error);
    if (fresh != INVALID_SOCKET)
        closesocket(fresh);
    return local;
#else
    const quint32 local = lookUp(descriptor, destination, port, error);
    // Unconnected again, the socket forgets the source, and the next lookup gets its own.
    sockaddr none{};
    none.sa_family = AF_UNSPEC;
    ::connect(int(descriptor), &none, sizeof none);
    return local;
#endif
}
