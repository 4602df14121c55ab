#include "devicesearch.h"

#include "bindmode.h"
#include "directread.h"
#include "discoverydatagram.h"
#include "discoverylog.h"
#include "printabletext.h"
#include "rangesender.h"
#include "releasegradually.h"

#include <algorithm>
#include <cerrno>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <QVariant>
#include <utility>
#include <vector>

namespace {

// Many devices answer at the same moment; the kernel's default buffer holds only a few hundred
// answers. The kernel may grant less than this.
constexpr int receiveBufferBytes = 1024 * 1024;

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

DeviceSearch::DeviceSearch(const QStringList &interfaceNames, QObject *parent)
    : QObject(parent)
    , interfaceNames(interfaceNames)
{
    updateSockets();
    rangeSender = new RangeSender(this);
    connect(rangeSender, &RangeSender::progressed, this, &DeviceSearch::reportChanged);
    connect(rangeSender, &RangeSender::done, this, &DeviceSearch::rangesSent);
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] {
        // Answers already queued came in time, even if the event loop has not announced them.
        const quint64 search = searchNumber;
        if (readQueued(maxQueued, QDeadlineTimer(queuedReadMs)))
            scheduleReceive();
        if (!receiving || search != searchNumber)
            return;
        qCInfo(lcDiscovery, "search ended: the receive window of %d ms is over; devices listed: %d",
               receiveWindowMs, int(devices.size()));
        stop();
    });
}

DeviceSearch::~DeviceSearch() = default;

void DeviceSearch::start()
{
    ++searchNumber;
    rangeSender->stop();
    releaseGradually(devices, this);
    releaseGradually(knownSerials, this);
    // Answers still queued came after the last window closed; they belong to no search.
    discardQueued();
    rangeAnswers.clear();
    rangeCounted.clear();
    searchReport = SearchReport();
    searchReport.broadcast = broadcast;
    lateSerials.clear();
    lastUnreadable = -1;
    updateSockets();

    if (endpoints.isEmpty())
        qCInfo(lcDiscovery, "no IPv4 address to search from");
    for (const SearchReport::AddressError &error : std::as_const(searchReport.bindErrors))
        qCInfo(lcDiscovery, "address %s on %s: port %d not bound: %s",
               qUtf8Printable(error.address.toString()),
               qUtf8Printable(printableText(error.interfaceName)), int(discoveryPort),
               qUtf8Printable(printableText(error.error)));

    const QByteArray request = discoveryRequest();
    for (const Endpoint &endpoint : std::as_const(endpoints)) {
        if (!endpoint.bound)
            continue;
        qCInfo(lcDiscovery, "address %s on %s: bound to port %d",
               qUtf8Printable(endpoint.local.address.toString()),
               qUtf8Printable(printableText(endpoint.local.interfaceName)), int(discoveryPort));
        connect(endpoint.socket, &QUdpSocket::readyRead, this, &DeviceSearch::receive,
                Qt::UniqueConnection);
        if (broadcast)
            send(endpoint, request);
    }

    receiving = true;
    if (searchRanges.isEmpty()) {
        timer->start(receiveWindowMs);
        return;
    }
    timer->stop();
    // Requests leave from the socket listening on the address the route picks, so that the
    // answer comes back to it.
    const auto sourceFor = [this](quint32 local) {
        for (const Endpoint &endpoint : std::as_const(endpoints)) {
            if (endpoint.bound && endpoint.local.address.toIPv4Address() == local)
                return RangeSender::Source{endpoint.socket, endpoint.local.interfaceName};
        }
        return RangeSender::Source();
    };
    QList<LocalAddress> locals;
    for (const Endpoint &endpoint : std::as_const(endpoints))
        locals << endpoint.local;
    rangeSender->setPassedOver(localBroadcastAddresses(locals));
    rangeSender->start(searchRanges, sourceFor, &searchReport.ranges);
}

void DeviceSearch::stopSending()
{
    if (!rangeSender->isSending())
        return;
    rangeSender->stop();
    searchReport.rangesStopped = true;
    qCInfo(lcDiscovery, "sending to the ranges stopped");
    emit reportChanged();
    rangesSent();
}

bool DeviceSearch::isSendingRanges() const
{
    return rangeSender->isSending();
}

void DeviceSearch::rangesSent()
{
    // The receive window counts from the last request.
    if (receiving)
        timer->start(receiveWindowMs);
}

void DeviceSearch::setRanges(const QVector<AddressRange> &ranges)
{
    searchRanges = ranges;
    rangeReportIndex.clear();
    for (int i = 0; i < ranges.size(); ++i)
        rangeReportIndex.insert(ranges.at(i).text, i);
}

const QVector<AddressRange> &DeviceSearch::ranges() const
{
    return searchRanges;
}

void DeviceSearch::setRate(int perSecond)
{
    rangeSender->setRate(perSecond);
}

void DeviceSearch::setBroadcast(bool on)
{
    broadcast = on;
}

void DeviceSearch::send(const Endpoint &endpoint, const QByteArray &request)
{
    // The request must leave through the socket's own interface with the socket's own address
    // as its source: devices answer to that address.
    const QNetworkDatagram datagram = requestDatagram(endpoint.local);
#ifdef Q_OS_LINUX
    // Linux sends a limited broadcast from a socket bound to one address out of that address's
    // interface, with that address as source. Packet information would only spoil that: Qt
    // fills in the field that Linux ignores on sending and leaves the one it reads empty, so
    // the kernel would pick the source itself (0.0.0.0 on loopback, the primary address on an
    // interface with several).
    const qint64 sent = endpoint.socket->writeDatagram(
        datagram.data(), datagram.destinationAddress(), quint16(datagram.destinationPort()));
#else
    const qint64 sent = endpoint.socket->writeDatagram(datagram);
#endif
#ifdef Q_OS_LINUX
    // Qt names every failed send alike; the system's own reason says more.
    const int systemError = errno;
#else
    const int systemError = 0;
#endif
    const QString where = endpoint.local.address.toString();
    if (sent == request.size()) {
        ++searchReport.requestsSent;
        qCInfo(lcDiscovery, "request sent from %s on %s", qUtf8Printable(where),
               qUtf8Printable(printableText(endpoint.local.interfaceName)));
        return;
    }
    const QString error =
        systemError != 0 ? qt_error_string(systemError) : endpoint.socket->errorString();
    searchReport.sendErrors.append(
        SearchReport::AddressError{endpoint.local.interfaceName, endpoint.local.address, error});
    qCInfo(lcDiscovery, "request from %s on %s not sent: %s", qUtf8Printable(where),
           qUtf8Printable(printableText(endpoint.local.interfaceName)),
           qUtf8Printable(printableText(error)));
}

void DeviceSearch::stop()
{
    if (!receiving)
        return;
    receiving = false;
    timer->stop();
    rangeSender->stop();
    emit finished();
}

void DeviceSearch::setReceiveWindow(int ms)
{
    receiveWindowMs = ms;
}

bool DeviceSearch::isReceiving() const
{
    return receiving;
}

int DeviceSearch::deviceCount() const
{
    return devices.size();
}

const DeviceRecord &DeviceSearch::device(int index) const
{
    return devices.at(index);
}

int DeviceSearch::boundSocketCount() const
{
    int bound = 0;
    for (const Endpoint &endpoint : endpoints)
        bound += endpoint.bound ? 1 : 0;
    return bound;
}

int DeviceSearch::addressCount() const
{
    return endpoints.size();
}

const SearchReport &DeviceSearch::report() const
{
    return searchReport;
}

void DeviceSearch::updateSockets()
{
    // Sockets on addresses that are still there stay as they are; a socket whose bind failed
    // gets another try.
    QList<Endpoint> previous;
    previous.swap(endpoints);
    searchReport.bindErrors.clear();
    searchReport.networkAddressCount = 0;
    const QList<LocalAddress> addresses = localIPv4Addresses(interfaceNames);
    for (const LocalAddress &local : addresses) {
        auto kept = std::find_if(previous.begin(), previous.end(), [&](const Endpoint &old) {
            return old.local.address == local.address && old.bound;
        });
        if (kept != previous.end()) {
            endpoints.append(Endpoint{kept->socket, local, true});
            previous.erase(kept);
        } else {
            endpoints.append(openSocket(local));
        }
        if (!local.address.isLoopback())
            ++searchReport.networkAddressCount;
    }
    searchReport.addressCount = endpoints.size();
    // Later, not now: this may run inside a signal of one of these sockets.
    for (const Endpoint &gone : std::as_const(previous)) {
        gone.socket->disconnect(this);
        gone.socket->close();
        gone.socket->deleteLater();
    }
}

DeviceSearch::Endpoint DeviceSearch::openSocket(const LocalAddress &local)
{
    // A socket whose bind failed stays silent until the next search tries again.
    auto *socket = new QUdpSocket(this);
    const bool bound = socket->bind(local.address, discoveryPort, discoveryBindMode());
    if (!bound) {
        const bool inUse = bindErrorMeansPortTaken(socket->error());
        searchReport.bindErrors.append(SearchReport::AddressError{
            local.interfaceName, local.address, socket->errorString(), inUse});
    }
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                            QVariant(receiveBufferBytes));
    return Endpoint{socket, local, bound};
}

void DeviceSearch::receive()
{
    if (readQueued(batchPerSocket))
        scheduleReceive();
}

bool DeviceSearch::readQueued(int perSocket, QDeadlineTimer deadline)
{
    // Read first, then list: the sockets are emptied quickly, and the listener's work for each
    // new device happens after the reading.
    batch.clear();
    bool moreWaiting = false;
    QHostAddress sender;
    for (const Endpoint &endpoint : std::as_const(endpoints)) {
        QUdpSocket *socket = endpoint.socket;
        if (!endpoint.bound)
            continue;
        // Read until the socket reports itself empty rather than asking first, and let the
        // socket object make the read that finds it empty: Qt announces new datagrams only
        // after it has read itself, so a socket must end every pass with such a read, or it
        // falls silent. That read is reported as a temporary socket error, which is ignored.
        for (int read = 0;;) {
            if (read >= perSocket || (read > 0 && deadline.hasExpired())) {
                moreWaiting = true;
                break;
            }
            const int wanted = qMin(DatagramChunk::capacity, perSocket - read);
            const int chunkRead = readDatagramsDirectly(*socket, chunk, wanted, deadline);
            for (int i = 0; i < chunkRead; ++i)
                take(endpoint, chunk.data[i], chunk.sizes[i], chunk.senders[i]);
            read += chunkRead;
            // A short chunk found the socket empty; the socket object's read confirms that, or
            // takes what came meanwhile.
            if (chunkRead == wanted)
                continue;
            const qint64 fullSize = socket->pendingDatagramSize();
            const qint64 size =
                socket->readDatagram(chunk.data[0], DatagramChunk::datagramSize, &sender);
            if (size < 0)
                break;
            take(endpoint, chunk.data[0], static_cast<int>(qMax(size, fullSize)),
                 sender.toIPv4Address());
            ++read;
        }
    }

    // Listed from a vector of this pass's own: a listener that runs an event loop may come
    // back into receive().
    std::vector<DeviceRecord> taken;
    taken.swap(batch);
    const quint64 search = searchNumber;
    const bool late = !receiving;
    const int lateBefore = searchReport.lateDevices;
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
        if (!receiving || search != searchNumber)
            break;
    }
    taken.clear();
    batch.swap(taken);

    if (searchReport.lateDevices != lateBefore && search == searchNumber)
        emit reportChanged();
    return moreWaiting;
}

void DeviceSearch::take(const Endpoint &endpoint, const char *bytes, int size, quint32 senderIp)
{
    const int stored = qMin(size, DatagramChunk::datagramSize);
    QByteArray &datagram = datagramView;
    datagram.setRawData(bytes, static_cast<uint>(stored));
    if (size != discoveryAnswerSize || !isAnswer(datagram)) {
        // A request, ours or another searcher's, is no answer at all.
        if (receiving && datagram != discoveryRequest())
            countUnreadable(senderIp, size);
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

bool DeviceSearch::answeredRange(int rangeIndex, quint32 senderIp, const Endpoint &endpoint) const
{
    if (!broadcast)
        return true;
    // Answered the broadcast, unless the range's request to this address had gone out from
    // the address the answer came in on before the answer was read.
    if (rangeIndex >= searchReport.ranges.size())
        return false;
    const SearchReport::RangeReport &report = searchReport.ranges.at(rangeIndex);
    return report.done > senderIp - searchRanges.at(rangeIndex).first &&
           report.localAddresses.contains(endpoint.local.address);
}

void DeviceSearch::countInRange(const DeviceRecord &record)
{
    const int range = rangeReportIndex.value(record.range, -1);
    if (range < 0 || range >= searchReport.ranges.size())
        return;
    const int before = rangeCounted.size();
    rangeCounted.insert(record.serialNumber);
    if (rangeCounted.size() != before)
        ++searchReport.ranges[range].found;
}

void DeviceSearch::heardTwice(const DeviceRecord &record)
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

void DeviceSearch::countUnreadable(quint32 senderIp, int size)
{
    const auto reason = size == discoveryAnswerSize ? SearchReport::Unreadable::WrongMarkers
                                                    : SearchReport::Unreadable::WrongSize;
    qCInfo(lcDiscovery, "unreadable datagram from %s: %d bytes, %s",
           qPrintable(QHostAddress(senderIp).toString()), size,
           reason == SearchReport::Unreadable::WrongMarkers ? "wrong markers" : "wrong size");
    // A bounded list: the cost of a datagram stays the same however many senders there are.
    QList<SearchReport::UnreadableSender> &senders = searchReport.unreadable;
    int index = lastUnreadable;
    if (index < 0 || senders.at(index).sender.toIPv4Address() != senderIp) {
        index = -1;
        for (int i = 0; i < senders.size() && index < 0; ++i) {
            if (senders.at(i).sender.toIPv4Address() == senderIp)
                index = i;
        }
    }
    if (index < 0) {
        if (senders.size() >= SearchReport::maxUnreadableSenders) {
            ++searchReport.unreadableOtherCount;
            return;
        }
        senders.append(SearchReport::UnreadableSender{QHostAddress(senderIp), 0, 0, reason});
        index = senders.size() - 1;
    }
    SearchReport::UnreadableSender &entry = senders[index];
    ++entry.count;
    entry.size = size;
    entry.reason = reason;
    lastUnreadable = index;
}

void DeviceSearch::countLate(const DeviceRecord &record)
{
    // Devices already listed are not missing; the count stays bounded under a flood.
    constexpr int maxLateSerials = 4096;
    if (knownSerials.contains(record.serialNumber) || lateSerials.size() >= maxLateSerials)
        return;
    const int before = lateSerials.size();
    lateSerials.insert(record.serialNumber);
    if (lateSerials.size() == before)
        return;
    ++searchReport.lateDevices;
    qCInfo(lcDiscovery, "late answer of %s from %s, after the receive window closed",
           qUtf8Printable(printableText(record.serialNumber)), qUtf8Printable(record.ipAddress));
}

void DeviceSearch::discardQueued()
{
    const QDeadlineTimer deadline(queuedReadMs);
    for (const Endpoint &endpoint : std::as_const(endpoints)) {
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

void DeviceSearch::scheduleReceive()
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
