#pragma once

#include "addressranges.h"
#include "datagramio.h"
#include "devicerecord.h"
#include "searchreport.h"
#include "socketset.h"
#include "unreadabletally.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QVector>
#include <vector>

class RangeSender;

// Reads the answers from a search's sockets and lists each device once, by serial number, in
// order of discovery. Answers that come once the receive window closed are counted as late,
// datagrams that are no answer as unreadable. A device found through a range is counted in
// the range's report.
class AnswerReader : public QObject
{
    Q_OBJECT

public:
    AnswerReader(const SocketSet &sockets, RangeSender &rangeSender, QObject *parent = nullptr);

    // The ranges searched besides the broadcast, and whether the broadcast goes out: an answer
    // from a range's address came through the range only when it does not.
    void setRanges(const QVector<AddressRange> &ranges);
    void setBroadcast(bool on);
    // A new search: forgets the devices and counts, drops the datagrams still queued (they
    // came after the last window closed), and opens the receive window.
    void begin();
    // Closes the receive window: answers from now on are only counted as late.
    void close();
    // Reads what the sockets hold now, up to a bound, and lists it.
    void readQueuedNow();
    // Reads a batch from each socket; the rest follows from the event loop.
    void receive();

    int deviceCount() const;
    const DeviceRecord &device(int index) const;
    // Writes the unreadable datagrams and late devices of the latest search into report.
    void fillCounts(SearchReport &report) const;

signals:
    void deviceFound();
    // The listed device index turned out to have answered the broadcast: it names no range.
    void deviceChanged(int index);
    // Late answers were counted.
    void lateCounted();

private:
    // Reads up to perSocket datagrams from each socket, for as long as deadline allows, and
    // lists them; true when more wait.
    bool readQueued(int perSocket,
                    QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));
    // Reads from one socket into batch; true when more wait.
    bool readSocket(const SocketSet::Endpoint &endpoint, int perSocket, QDeadlineTimer deadline);
    // Lists the devices read, or counts them as late.
    void listRead();
    // Checks one datagram and keeps the record of an answer in batch.
    void collectAnswer(const SocketSet::Endpoint &endpoint, const char *bytes, int size,
                       quint32 senderIp);
    // Whether an answer from senderIp, in range rangeIndex, came from a request to the range.
    bool answeredRange(int rangeIndex, quint32 senderIp, const SocketSet::Endpoint &endpoint) const;
    // Counts the device of record as found by its range, once.
    void countInRange(const DeviceRecord &record);
    // A listed device answered again.
    void heardTwice(const DeviceRecord &record);
    void countLate(const DeviceRecord &record);
    void discardQueued();
    void scheduleReceive();

    const SocketSet &sockets;
    RangeSender &rangeSender;
    QVector<AddressRange> searchRanges;
    // Each range's index, by its text.
    QHash<QString, int> rangeIndexByText;
    bool broadcast = true;
    bool open = false;
    quint64 generation = 0;
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
    UnreadableTally unreadable;
    int lateDevices = 0;
    // Devices counted as late in this search, so that one answering twice counts once.
    QSet<QString> lateSerials;
    // Sender text of the latest answer read, spared formatting for the next from it.
    quint32 lastSenderIp = 0;
    QString lastSenderText;
    bool receiveScheduled = false;
};
