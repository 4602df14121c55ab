#include "answerreader.h"

#include "discoverydatagram.h"
#include "discoverylog.h"
#include "printabletext.h"
#include "rangesender.h"
#include "releasegradually.h"

#include <QUdpSocket>
#include <utility>

namespace {

// Datagrams read from one socket in one pass. A peer that sends without pause must not keep
// the event loop from the rest of the program; the remainder is read in the next pass.
constexpr int batchPerSocket = 256;

// Datagrams already queued on one socket read at most when a search starts (and discarded) or
// when its receive window closes (and listed): about what the receive buffer holds, so that a
// flood cannot hold the program up.
constexpr int maxQueued = 4096;
// Nor may discarding or reading them hold the program up for long where each read is a system
// call of its own (Windows: under Wine, 4096 of them held a Refresh up for half a second and
// more).
constexpr int queuedReadMs = 20;

} // namespace

AnswerReader::AnswerReader(const SocketSet &sockets, RangeSender &rangeSender, QObject *parent)
    : QObject(parent)
    , sockets(sockets)
    , rangeSender(rangeSender)
{}

void AnswerReader::setRanges(const QVector<AddressRange> &ranges)
{
    searchRanges = ranges;
    rangeIndexByText.clear();
    for (int i = 0; i < ranges.size(); ++i)
        rangeIndexByText.insert(ranges.at(i).text, i);
}

void AnswerReader::setBroadcast(bool on)
{
    broadcast = on;
}

void AnswerReader::begin()
{
    ++generation;
    releaseGradually(devices, this);
    releaseGradually(knownSerials, this);
    // Answers still queued came after the last window closed; they belong to no search.
    discardQueued();
    rangeAnswers.clear();
    rangeCounted.clear();
    unreadable.clear();
    lateDevices = 0;
    lateSerials.clear();
    open = true;
}

void AnswerReader::close()
{
    open = false;
}

void AnswerReader::readQueuedNow()
{
    if (readQueued(maxQueued, QDeadlineTimer(queuedReadMs)))
        scheduleReceive();
}

void AnswerReader::receive()
{
    if (readQueued(batchPerSocket))
        scheduleReceive();
}

int AnswerReader::deviceCount() const
{
    return devices.size();
}

const DeviceRecord &AnswerReader::device(int index) const
{
    return devices.at(index);
}

void AnswerReader::fillCounts(SearchReport &report) const
{
    report.unreadable = unreadable.senders();
    report.unreadableOtherCount = unreadable.otherCount();
    report.lateDevices = lateDevices;
}

bool AnswerReader::readQueued(int perSocket, QDeadlineTimer deadline)
{
    // Read first, then list: the sockets are emptied quickly, and the listener's work for each
    // new device happens after the reading.
    batch.clear();
    bool moreWaiting = false;
    for (const SocketSet::Endpoint &endpoint : sockets.endpoints()) {
        if (endpoint.bound && readSocket(endpoint, perSocket, deadline))
            moreWaiting = true;
    }
    listRead();
    return moreWaiting;
}

bool AnswerReader::readSocket(const SocketSet::Endpoint &endpoint, int perSocket,
                              QDeadlineTimer deadline)
{
    QUdpSocket *socket = endpoint.socket;
    QHostAddress sender;
    // Read until the socket reports itself empty rather than asking first, and let the socket
    // object make the read that finds it empty: Qt announces new datagrams only after it has
    // read itself, so a socket must end every pass with such a read, or it falls silent. That
    // read is reported as a temporary socket error, which is ignored.
    for (int read = 0;;) {
        if (read >= perSocket || (read > 0 && deadline.hasExpired()))
            return true;
        const int wanted = qMin(DatagramChunk::capacity, perSocket - read);
        const int chunkRead = readDatagramsDirectly(*socket, chunk, wanted, deadline);
        for (int i = 0; i < chunkRead; ++i)
            collectAnswer(endpoint, chunk.data[i], chunk.sizes[i], chunk.senders[i]);
        read += chunkRead;
        // A short chunk found the socket empty; the socket object's read confirms that, or
        // takes what came meanwhile.
        if (chunkRead == wanted)
            continue;
        const qint64 fullSize = socket->pendingDatagramSize();
        const qint64 size =
            socket->readDatagram(chunk.data[0], DatagramChunk::datagramSize, &sender);
        if (size < 0)
            return false;
        collectAnswer(endpoint, chunk.data[0], static_cast<int>(qMax(size, fullSize)),
                      sender.toIPv4Address());
        ++read;
    }
}

void AnswerReader::listRead()
{
    // Listed from a vector of this pass's own: a listener that runs an event loop may come
    // back into receive().
    std::vector<DeviceRecord> taken;
    taken.swap(batch);
    const quint64 search = generation;
    const bool late = !open;
    const int lateBefore = lateDevices;
    for (DeviceRecord &record : taken) {
        if (late) {
            countLate(record);
            continue;
        }
        // One lookup decides and records: the set grows only for a serial not seen before.
        const int known = knownSerials.size();
        knownSerials.insert(record.serialNumber);
        if (knownSerials.size() == known) {
            qCDebug(lcDiscovery, "repeated answer of %s from %s",
                    qUtf8Printable(printableText(record.serialNumber)),
                    qUtf8Printable(record.ipAddress));
            if (!searchRanges.isEmpty())
                heardTwice(record);
            continue;
        }
        if (!record.range.isEmpty()) {
            countInRange(record);
            if (broadcast)
                rangeAnswers.insert(record.serialNumber, int(devices.size()));
        }
        devices.append(std::move(record));
        emit deviceFound();
        // A listener may have closed the window or started another search meanwhile: the
        // rest of this batch belongs to neither.
        if (!open || search != generation)
            break;
    }
    taken.clear();
    batch.swap(taken);

    if (lateDevices != lateBefore && search == generation)
        emit lateCounted();
}

void AnswerReader::collectAnswer(const SocketSet::Endpoint &endpoint, const char *bytes, int size,
                                 quint32 senderIp)
{
    const int stored = qMin(size, DatagramChunk::datagramSize);
    QByteArray &datagram = datagramView;
    datagram.setRawData(bytes, static_cast<uint>(stored));
    if (size != discoveryAnswerSize || !isAnswer(datagram)) {
        // A request, ours or another searcher's, is no answer at all.
        if (open && datagram != discoveryRequest())
            unreadable.count(senderIp, size);
        return;
    }
    // A burst of answers mostly comes from few senders; spare the address formatting.
    if (senderIp != lastSenderIp || lastSenderText.isEmpty()) {
        lastSenderIp = senderIp;
        lastSenderText = QHostAddress(senderIp).toString();
    }
    DeviceRecord record = answerRecord(datagram, lastSenderText);
    record.interfaceName = endpoint.local.interfaceName;
    record.localAddress = endpoint.local.address;
    record.prefixLength = endpoint.local.prefixLength;
    if (!searchRanges.isEmpty()) {
        const AddressRange *range = rangeOf(searchRanges, senderIp);
        if (range && answeredRange(int(range - searchRanges.constData()), senderIp, endpoint))
            record.range = range->text;
    }
    batch.push_back(std::move(record));
}

bool AnswerReader::answeredRange(int rangeIndex, quint32 senderIp,
                                 const SocketSet::Endpoint &endpoint) const
{
    if (!broadcast)
        return true;
    // Answered the broadcast, unless the range's request to this address had gone out from
    // the address the answer came in on before the answer was read.
    const QList<SearchReport::RangeReport> &reports = rangeSender.reports();
    if (rangeIndex >= reports.size())
        return false;
    const SearchReport::RangeReport &report = reports.at(rangeIndex);
    return report.done > senderIp - searchRanges.at(rangeIndex).first &&
           report.localAddresses.contains(endpoint.local.address);
}

void AnswerReader::countInRange(const DeviceRecord &record)
{
    const int range = rangeIndexByText.value(record.range, -1);
    if (range < 0 || range >= rangeSender.reports().size())
        return;
    const int before = rangeCounted.size();
    rangeCounted.insert(record.serialNumber);
    if (rangeCounted.size() != before)
        rangeSender.countFound(range);
}

void AnswerReader::heardTwice(const DeviceRecord &record)
{
    // Listed from the broadcast's answer, the device answered its range's request too.
    if (!record.range.isEmpty())
        countInRange(record);
    // A device asked through a range that answers twice heard the broadcast too: it answered
    // on this computer's network, and belongs to it, wrong address and all.
    if (rangeAnswers.isEmpty())
        return;
    const auto found = rangeAnswers.constFind(record.serialNumber);
    if (found == rangeAnswers.constEnd())
        return;
    const int index = found.value();
    rangeAnswers.erase(found);
    devices[index].range.clear();
    emit deviceChanged(index);
}

void AnswerReader::countLate(const DeviceRecord &record)
{
    // Devices already listed are not missing; the count stays bounded under a flood.
    constexpr int maxLateSerials = 4096;
    if (knownSerials.contains(record.serialNumber) || lateSerials.size() >= maxLateSerials)
        return;
    const int before = lateSerials.size();
    lateSerials.insert(record.serialNumber);
    if (lateSerials.size() == before)
        return;
    ++lateDevices;
    qCInfo(lcDiscovery, "late answer of %s from %s, after the receive window closed",
           qUtf8Printable(printableText(record.serialNumber)), qUtf8Printable(record.ipAddress));
}

void AnswerReader::discardQueued()
{
    const QDeadlineTimer deadline(queuedReadMs);
    for (const SocketSet::Endpoint &endpoint : sockets.endpoints()) {
        if (!endpoint.bound)
            continue;
        // Only about what is queued now: a flood must not hold the search up.
        int discarded = 0;
        for (int chunkRead = DatagramChunk::capacity;
             chunkRead == DatagramChunk::capacity && discarded < maxQueued &&
             !deadline.hasExpired();
             discarded += chunkRead)
            chunkRead =
                readDatagramsDirectly(*endpoint.socket, chunk, DatagramChunk::capacity, deadline);
        // Ends with the socket object's own read, which keeps its announcements coming; where
        // there is no direct read, it does all the reading, for as long as the deadline allows.
        const int limit = qMax(maxQueued - discarded, DatagramChunk::capacity);
        for (int i = 0; i < limit && (i == 0 || !deadline.hasExpired()); ++i, ++discarded) {
            if (endpoint.socket->readDatagram(chunk.data[0], DatagramChunk::datagramSize) < 0)
                break;
        }
        if (discarded > 0)
            qCInfo(lcDiscovery, "%d datagrams queued on %s discarded before the request", discarded,
                   qPrintable(endpoint.local.address.toString()));
    }
}

void AnswerReader::scheduleReceive()
{
    if (receiveScheduled)
        return;
    receiveScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            receiveScheduled = false;
            receive();
        },
        Qt::QueuedConnection);
}
