#pragma once

#include "addressranges.h"
#include "devicerecord.h"
#include "directread.h"
#include "localaddress.h"
#include "searchreport.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QVector>
#include <vector>

class QTimer;
class QUdpSocket;
class RangeSender;

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
    void send(const Endpoint &endpoint, const QByteArray &request);
    void receive();
    // Reads up to perSocket datagrams from each socket, for as long as deadline allows, and
    // lists them; true when more wait.
    bool readQueued(int perSocket,
                    QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));
    void take(const Endpoint &endpoint, const char *bytes, int size, quint32 senderIp);
    // Whether an answer from senderIp, in range rangeIndex, came from a request to the range.
    bool answeredRange(int rangeIndex, quint32 senderIp, const Endpoint &endpoint) const;
    // Counts the device of record as found by its range, once.
    void countInRange(const DeviceRecord &record);
    // A listed device answered again.
    void heardTwice(const DeviceRecord &record);
    void countUnreadable(quint32 senderIp, int size);
    void countLate(const DeviceRecord &record);
    void discardQueued();
    void scheduleReceive();
    void rangesSent();

    const QStringList interfaceNames;
    QList<Endpoint> endpoints;
    QTimer *timer = nullptr;
    RangeSender *rangeSender = nullptr;
    QVector<AddressRange> searchRanges;
    // Each range's entry in the report, by its text.
    QHash<QString, int> rangeReportIndex;
    bool broadcast = true;
    int receiveWindowMs = defaultReceiveWindowMs;
    QVector<DeviceRecord> devices;
    // What one pass read, before it is listed; kept to spare allocating it at every pass.
    std::vector<DeviceRecord> batch;
    DatagramChunk chunk;
    // The datagram being checked, over the chunk's bytes; kept to spare a header per datagram.
    QByteArray datagramView;
    // The serial numbers in devices, so that a duplicate costs one lookup however long the list.
    QSet<QString> knownSerials;
    // Devices listed as found through a range while the broadcast went out too, by serial
    // number: the index of their record.
    QHash<QString, int> rangeAnswers;
    // Devices counted as found by a range, by serial number.
    QSet<QString> rangeCounted;
    SearchReport searchReport;
    // Devices counted as late in this search, so that one answering twice counts once.
    QSet<QString> lateSerials;
    // The unreadable sender last counted, spared a lookup when the next datagram is its too.
    int lastUnreadable = -1;
    // Sender text of the latest answer read, spared formatting for the next from it.
    quint32 lastSenderIp = 0;
    QString lastSenderText;
    quint64 searchNumber = 0;
    bool receiving = false;
    bool receiveScheduled = false;
};
