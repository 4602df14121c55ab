#include "socketset.h"

#include "bindmode.h"
#include "discoverydatagram.h"

#include <algorithm>
#include <QUdpSocket>
#include <QVariant>

namespace {

// Many devices answer at the same moment; the kernel's default buffer holds only a few hundred
// answers. The kernel may grant less than this.
constexpr int receiveBufferBytes = 1024 * 1024;

} // namespace

SocketSet::SocketSet(const QStringList &interfaceNames, QObject *parent)
    : QObject(parent)
    , interfaceNames(interfaceNames)
{}

void SocketSet::update()
{
    QList<Endpoint> previous;
    previous.swap(sockets);
    errors.clear();
    networkAddresses = 0;
    const QList<LocalAddress> addresses = localIPv4Addresses(interfaceNames);
    for (const LocalAddress &local : addresses) {
        auto kept = std::find_if(previous.begin(), previous.end(), [&](const Endpoint &old) {
            return old.local.address == local.address && old.bound;
        });
        if (kept != previous.end()) {
            sockets.append(Endpoint{kept->socket, local, true});
            previous.erase(kept);
        } else {
            sockets.append(openSocket(local));
        }
        if (!local.address.isLoopback())
            ++networkAddresses;
    }
    // Later, not now: this may run inside a signal of one of these sockets.
    for (const Endpoint &gone : std::as_const(previous)) {
        gone.socket->disconnect(this);
        gone.socket->close();
        gone.socket->deleteLater();
    }
}

SocketSet::Endpoint SocketSet::openSocket(const LocalAddress &local)
{
    // A socket whose bind failed stays silent until the next update tries again.
    auto *socket = new QUdpSocket(this);
    const bool bound = socket->bind(local.address, discoveryPort, discoveryBindMode());
    if (!bound) {
        const bool inUse = bindErrorMeansPortTaken(socket->error());
        errors.append(SearchReport::AddressError{local.interfaceName, local.address,
                                                 socket->errorString(), inUse});
    }
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                            QVariant(receiveBufferBytes));
    return Endpoint{socket, local, bound};
}

void SocketSet::listen()
{
    for (const Endpoint &endpoint : std::as_const(sockets)) {
        if (endpoint.bound)
            connect(endpoint.socket, &QUdpSocket::readyRead, this, &SocketSet::datagramsWaiting,
                    Qt::UniqueConnection);
    }
}

const QList<SocketSet::Endpoint> &SocketSet::endpoints() const
{
    return sockets;
}

int SocketSet::boundCount() const
{
    return int(std::count_if(sockets.begin(), sockets.end(),
                             [](const Endpoint &endpoint) { return endpoint.bound; }));
}

QList<LocalAddress> SocketSet::locals() const
{
    QList<LocalAddress> addresses;
    for (const Endpoint &endpoint : sockets)
        addresses << endpoint.local;
    return addresses;
}

const QList<SearchReport::AddressError> &SocketSet::bindErrors() const
{
    return errors;
}

int SocketSet::networkAddressCount() const
{
    return networkAddresses;
}
