#pragma once

#include "devicerecord.h"
#include "directread.h"
#include "localaddress.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QVector>
#include <vector>

class QTimer;
class QUdpSocket;

// The device search: one UDP socket on every IPv4 address of the machine, a request from each
// at every search, and the distinct devices that answered within the receive window, in order
// of discovery. The machine's addresses are read again at every search, so a network that
// comes up later is searched and a socket whose address went away is closed.
class DeviceSearch : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultReceiveWindowMs = 5000;

    // With interface names, only the addresses of those interfaces take part.
    explicit DeviceSearch(const QStringList &interfaceNames = {}, QObject *parent = nullptr);
    ~DeviceSearch() override;

    // Starts a search: brings the sockets in line with the machine's addresses, empties the
    // list, sends the request from every socket and opens the receive window. A search
    // started while the window is open starts afresh.
    void start();
    // The receive window of the searches started from now on; 5000 ms unless set.
    void setReceiveWindow(int ms);
    // Closes the receive window now; answers that come later wait for the next search.
    void stop();
    bool isReceiving() const;

    int deviceCount() const;
    // index must be that of a listed device.
    const DeviceRecord &device(int index) const;
    // Sockets bound to their address; a search with none sends nothing.
    int boundSocketCount() const;
    // The local IPv4 addresses the latest search sent from, or tried to.
    int addressCount() const;

signals:
    // One record has been appended to the list.
    void deviceFound();
    // The receive window has closed.
    void finished();

private:
    struct Endpoint
    {
        QUdpSocket *socket = nullptr;
        LocalAddress local;
        // Whether binding to the address worked. Qt would bind a socket that failed to any
        // address and port at its first send, so such a socket never sends.
        bool bound = false;
    };

    void updateSockets();
    Endpoint openSocket(const LocalAddress &local);
    void receive();
    void scheduleReceive();

    const QStringList interfaceNames;
    QList<Endpoint> endpoints;
    QTimer *timer = nullptr;
    int receiveWindowMs = defaultReceiveWindowMs;
    QVector<DeviceRecord> devices;
    // What one pass read, before it is listed; kept to spare allocating it at every pass.
    std::vector<DeviceRecord> batch;
    DatagramChunk chunk;
    // The serial numbers in devices, so that a duplicate costs one lookup however long the list.
    QSet<QString> knownSerials;
    quint64 searchNumber = 0;
    bool receiving = false;
    bool receiveScheduled = false;
};
