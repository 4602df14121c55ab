#pragma once

#include "addressranges.h"
#include "devicerecord.h"
#include "localaddress.h"
#include "searchreport.h"

#include <QObject>
#include <QStringList>
#include <QVector>

class AnswerReader;
class QTimer;
class QUdpSocket;
class RangeSender;
class SocketSet;

// The device search: one UDP socket on every IPv4 address of the machine, a request from each
// at every search, and the distinct devices that answered within the receive window, in order
// of discovery. The machine's addresses are read again at every search, so a network that
// comes up later is searched and a socket whose address went away is closed. Answers that come
// after the window closed are counted, never listed, not even by the next search.
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
    // The receive window of the searches started from now on; 5000 ms unless set. With
    // ranges it counts from the last request sent.
    void setReceiveWindow(int ms);
    // Address ranges that the searches started from now on send the request to, one
    // datagram per address, besides the broadcast; none unless set.
    void setRanges(const QVector<AddressRange> &ranges);
    const QVector<AddressRange> &ranges() const;
    // Requests to the ranges per second at most; 2000 unless set, 0 for no limit.
    void setRate(int perSecond);
    // Whether searches broadcast the request; they do unless set otherwise.
    void setBroadcast(bool on);
    // Sends no more requests to the ranges; the receive window counts from the last one sent.
    void stopSending();
    bool isSendingRanges() const;
    // Closes the receive window now; answers that come later are only counted (report()).
    void stop();
    bool isReceiving() const;

    int deviceCount() const;
    // index must be that of a listed device.
    const DeviceRecord &device(int index) const;
    // Sockets bound to their address; a search with none sends nothing.
    int boundSocketCount() const;
    // The local IPv4 addresses the latest search sent from, or tried to.
    int addressCount() const;
    // What the latest search saw besides its devices.
    const SearchReport &report() const;

signals:
    // One record has been appended to the list.
    void deviceFound();
    // The listed device index turned out to have answered the broadcast, not only a range:
    // its record no longer names a range.
    void deviceChanged(int index);
    // The receive window has closed.
    void finished();
    // The report changed after the receive window closed (late answers came), or while
    // requests go out to the ranges.
    void reportChanged();

private:
    void updateSockets();
    void sendBroadcast();
    void send(QUdpSocket &socket, const LocalAddress &local, const QByteArray &request);
    void startRanges();
    void rangesSent();

    SocketSet *sockets = nullptr;
    RangeSender *rangeSender = nullptr;
    AnswerReader *answers = nullptr;
    QTimer *timer = nullptr;
    QVector<AddressRange> searchRanges;
    bool broadcast = true;
    int receiveWindowMs = defaultReceiveWindowMs;
    // What the sockets, the range sender and the answer reader report is gathered into it when
    // asked.
    mutable SearchReport searchReport;
    quint64 searchNumber = 0;
    bool receiving = false;
};
