#include "devicesearch.h"

#include "answerreader.h"
#include "discoverydatagram.h"
#include "discoverylog.h"
#include "printabletext.h"
#include "rangesender.h"
#include "socketset.h"

#include <cerrno>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <utility>

DeviceSearch::DeviceSearch(const QStringList &interfaceNames, QObject *parent)
    : QObject(parent)
    , sockets(new SocketSet(interfaceNames, this))
{
    updateSockets();
    rangeSender = new RangeSender(this);
    connect(rangeSender, &RangeSender::progressed, this, &DeviceSearch::reportChanged);
    connect(rangeSender, &RangeSender::done, this, &DeviceSearch::rangesSent);
    answers = new AnswerReader(*sockets, *rangeSender, this);
    connect(sockets, &SocketSet::datagramsWaiting, answers, &AnswerReader::receive);
    connect(answers, &AnswerReader::deviceFound, this, &DeviceSearch::deviceFound);
    connect(answers, &AnswerReader::deviceChanged, this, &DeviceSearch::deviceChanged);
    connect(answers, &AnswerReader::lateCounted, this, &DeviceSearch::reportChanged);
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] {
        // Answers already queued came in time, even if the event loop has not announced them.
        const quint64 search = searchNumber;
        answers->readQueuedNow();
        if (!receiving || search != searchNumber)
            return;
        qCInfo(lcDiscovery, "search ended: the receive window of %d ms is over; devices listed: %d",
               receiveWindowMs, answers->deviceCount());
        stop();
    });
}

DeviceSearch::~DeviceSearch() = default;

void DeviceSearch::start()
{
    ++searchNumber;
    rangeSender->clear();
    answers->begin();
    searchReport = SearchReport();
    searchReport.broadcast = broadcast;
    updateSockets();

    if (sockets->endpoints().isEmpty())
        qCInfo(lcDiscovery, "no IPv4 address to search from");
    for (const SearchReport::AddressError &error : std::as_const(searchReport.bindErrors))
        qCInfo(lcDiscovery, "address %s on %s: port %d not bound: %s",
               qUtf8Printable(error.address.toString()),
               qUtf8Printable(printableText(error.interfaceName)), int(discoveryPort),
               qUtf8Printable(printableText(error.error)));
    sockets->listen();
    sendBroadcast();

    receiving = true;
    if (searchRanges.isEmpty()) {
        timer->start(receiveWindowMs);
        return;
    }
    timer->stop();
    startRanges();
}

void DeviceSearch::startRanges()
{
    // Requests leave from the socket listening on the address the route picks, so that the
    // answer comes back to it.
    const auto sourceFor = [this](quint32 local) {
        for (const SocketSet::Endpoint &endpoint : sockets->endpoints()) {
            if (endpoint.bound && endpoint.local.address.toIPv4Address() == local)
                return RangeSender::Source{endpoint.socket, endpoint.local.interfaceName};
        }
        return RangeSender::Source();
    };
    rangeSender->setPassedOver(localBroadcastAddresses(sockets->locals()));
    rangeSender->start(searchRanges, sourceFor);
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
    answers->setRanges(ranges);
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
    answers->setBroadcast(on);
}

void DeviceSearch::sendBroadcast()
{
    const QByteArray request = discoveryRequest();
    for (const SocketSet::Endpoint &endpoint : sockets->endpoints()) {
        if (!endpoint.bound)
            continue;
        qCInfo(lcDiscovery, "address %s on %s: bound to port %d",
               qUtf8Printable(endpoint.local.address.toString()),
               qUtf8Printable(printableText(endpoint.local.interfaceName)), int(discoveryPort));
        if (broadcast)
            send(*endpoint.socket, endpoint.local, request);
    }
}

void DeviceSearch::send(QUdpSocket &socket, const LocalAddress &local, const QByteArray &request)
{
    // The request must leave through the socket's own interface with the socket's own address
    // as its source: devices answer to that address.
    const QNetworkDatagram datagram = requestDatagram(local);
#ifdef Q_OS_LINUX
    // Linux sends a limited broadcast from a socket bound to one address out of that address's
    // interface, with that address as source. Packet information would only spoil that: Qt
    // fills in the field that Linux ignores on sending and leaves the one it reads empty, so
    // the kernel would pick the source itself (0.0.0.0 on loopback, the primary address on an
    // interface with several).
    const qint64 sent = socket.writeDatagram(datagram.data(), datagram.destinationAddress(),
                                             quint16(datagram.destinationPort()));
#else
    const qint64 sent = socket.writeDatagram(datagram);
#endif
#ifdef Q_OS_LINUX
    // Qt names every failed send alike; the system's own reason says more.
    const int systemError = errno;
#else
    const int systemError = 0;
#endif
    const QString where = local.address.toString();
    if (sent == request.size()) {
        ++searchReport.requestsSent;
        qCInfo(lcDiscovery, "request sent from %s on %s", qUtf8Printable(where),
               qUtf8Printable(printableText(local.interfaceName)));
        return;
    }
    const QString error = systemError != 0 ? qt_error_string(systemError) : socket.errorString();
    searchReport.sendErrors.append(
        SearchReport::AddressError{local.interfaceName, local.address, error});
    qCInfo(lcDiscovery, "request from %s on %s not sent: %s", qUtf8Printable(where),
           qUtf8Printable(printableText(local.interfaceName)),
           qUtf8Printable(printableText(error)));
}

void DeviceSearch::stop()
{
    if (!receiving)
        return;
    receiving = false;
    timer->stop();
    rangeSender->stop();
    answers->close();
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
    return answers->deviceCount();
}

const DeviceRecord &DeviceSearch::device(int index) const
{
    return answers->device(index);
}

int DeviceSearch::boundSocketCount() const
{
    return sockets->boundCount();
}

int DeviceSearch::addressCount() const
{
    return sockets->endpoints().size();
}

const SearchReport &DeviceSearch::report() const
{
    searchReport.ranges = rangeSender->reports();
    answers->fillCounts(searchReport);
    return searchReport;
}

void DeviceSearch::updateSockets()
{
    sockets->update();
    searchReport.bindErrors = sockets->bindErrors();
    searchReport.networkAddressCount = sockets->networkAddressCount();
    searchReport.addressCount = sockets->endpoints().size();
}
