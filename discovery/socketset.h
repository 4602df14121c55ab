#pragma once

#include "localaddress.h"
#include "searchreport.h"

#include <QList>
#include <QObject>
#include <QStringList>

class QUdpSocket;

// One UDP socket on port 44444 of every IPv4 address of the machine (or of the chosen
// interfaces), brought in line with the addresses whenever asked: a network that comes up later
// gets its socket, a socket whose address went away is closed.
class SocketSet : public QObject
{
    Q_OBJECT

public:
    struct Endpoint
    {
        QUdpSocket *socket = nullptr;
        LocalAddress local;
        // Whether binding to the address worked. Qt would bind a socket that failed to any
        // address and port at its first send, so such a socket never sends.
        bool bound = false;
    };

    // With interface names, only the addresses of those interfaces take part.
    explicit SocketSet(const QStringList &interfaceNames, QObject *parent = nullptr);

    // Sockets on addresses that are still there stay as they are; a socket whose bind failed
    // gets another try.
    void update();
    // Announces datagramsWaiting() for every bound socket from now on.
    void listen();

    const QList<Endpoint> &endpoints() const;
    int boundCount() const;
    QList<LocalAddress> locals() const;
    // The addresses whose socket could not bind, as of the last update().
    const QList<SearchReport::AddressError> &bindErrors() const;
    // Addresses that are not loopback, as of the last update().
    int networkAddressCount() const;

signals:
    // A bound socket has datagrams to read.
    void datagramsWaiting();

private:
    Endpoint openSocket(const LocalAddress &local);

    const QStringList interfaceNames;
    QList<Endpoint> sockets;
    QList<SearchReport::AddressError> errors;
    int networkAddresses = 0;
};
