#include "devicesearch.h"

#include "discoverydatagram.h"
#include "releasegradually.h"

#include <algorithm>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <vector>

namespace {

// Many devices answer at the same moment; the kernel's default buffer holds only a few hundred
// answers. The kernel may grant less than this.
constexpr int receiveBufferBytes = 1024 * 1024;

// Datagrams read from one socket in one pass. A peer that sends without pause must not keep
// the event loop from the rest of the program; the remainder is read in the next pass.
constexpr int batchPerSocket = 256;

} // namespace

DeviceSearch::DeviceSearch(const QStringList &interfaceNames, QObject *parent)
    : QObject(parent)
    , interfaceNames(interfaceNames)
{
    updateSockets();
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &DeviceSearch::stop);
}

DeviceSearch::~DeviceSearch() = default;

void DeviceSearch::start()
{
    ++searchNumber;
    releaseGradually(devices, this);
    releaseGradually(knownSerials, this);
    updateSockets();

    const QByteArray request = discoveryRequest();
    for (const Endpoint &endpoint : qAsConst(endpoints)) {
        connect(endpoint.socket, &QUdpSocket::readyRead, this, &DeviceSearch::receive,
                Qt::UniqueConnection);
        // The limited broadcast leaves through the socket's own interface and carries the
        // socket's own address as its source: devices answer to that address, and left to
        // itself the kernel would pick the interface's primary address, or none on loopback.
        QNetworkDatagram datagram(request, QHostAddress(QHostAddress::Broadcast), discoveryPort);
        datagram.setInterfaceIndex(static_cast<uint>(endpoint.local.interfaceIndex));
        datagram.setSender(endpoint.local.address, discoveryPort);
        endpoint.socket->writeDatagram(datagram);
    }

    timer->start(receiveWindowMs);
    receiving = true;

    // Answers that came after an earlier window closed are still queued, and a socket does not
    // announce them again until it has been read, so look at every socket once now.
    scheduleReceive();
}

void DeviceSearch::stop()
{
    for (const Endpoint &endpoint : qAsConst(endpoints))
        disconnect(endpoint.socket, &QUdpSocket::readyRead, this, &DeviceSearch::receive);
    if (!receiving)
        return;
    receiving = false;
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
        bound += endpoint.socket->state() == QAbstractSocket::BoundState ? 1 : 0;
    return bound;
}

int DeviceSearch::addressCount() const
{
    return endpoints.size();
}

void DeviceSearch::updateSockets()
{
    // Sockets on addresses that are still there stay as they are, answers queued in them
    // included; a socket whose bind failed gets another try.
    QList<Endpoint> previous;
    previous.swap(endpoints);
    const QList<LocalAddress> addresses = localIPv4Addresses(interfaceNames);
    for (const LocalAddress &local : addresses) {
        auto kept = std::find_if(previous.begin(), previous.end(), [&](const Endpoint &old) {
            return old.local.address == local.address &&
                   old.socket->state() == QAbstractSocket::BoundState;
        });
        if (kept != previous.end()) {
            endpoints.append(Endpoint{kept->socket, local});
            previous.erase(kept);
        } else {
            endpoints.append(Endpoint{openSocket(local), local});
        }
    }
    // Later, not now: this may run inside a signal of one of these sockets.
    for (const Endpoint &gone : qAsConst(previous)) {
        gone.socket->disconnect(this);
        gone.socket->close();
        gone.socket->deleteLater();
    }
}

QUdpSocket *DeviceSearch::openSocket(const LocalAddress &local)
{
    // A socket whose bind failed is kept until the next search: its sends fail without notice.
    auto *socket = new QUdpSocket(this);
    socket->bind(local.address, discoveryPort, QAbstractSocket::DefaultForPlatform);
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, receiveBufferBytes);
    return socket;
}

void DeviceSearch::receive()
{
    // Read first, then list: the sockets are emptied quickly, and the listener's work for each
    // new device happens after the reading.
    std::vector<DeviceRecord> batch;
    bool moreWaiting = false;
    // One byte more than an answer, so that a longer datagram shows its excess.
    QByteArray datagram(discoveryAnswerSize + 1, Qt::Uninitialized);
    QHostAddress sender;
    QHostAddress lastSender;
    QString lastSenderText;
    for (const Endpoint &endpoint : qAsConst(endpoints)) {
        QUdpSocket *socket = endpoint.socket;
        if (socket->state() != QAbstractSocket::BoundState)
            continue;
        // Read until the socket reports itself empty rather than asking first: Qt announces
        // new datagrams only after a read, so a socket that this pass empties after its own
        // readyRead() was already queued must still end with a read, or it falls silent. The
        // read that finds nothing is reported as a temporary socket error, which is ignored.
        for (int read = 0;; ++read) {
            if (read == batchPerSocket) {
                moreWaiting = true;
                break;
            }
            datagram.resize(discoveryAnswerSize + 1);
            const qint64 size = socket->readDatagram(datagram.data(), datagram.size(), &sender);
            if (size < 0)
                break;
            datagram.resize(static_cast<int>(size));
            if (!isAnswer(datagram))
                continue;
            // A burst of answers mostly comes from few senders; spare the address formatting.
            if (sender != lastSender) {
                lastSender = sender;
                lastSenderText = sender.toString();
            }
            DeviceRecord record = answerRecord(datagram, lastSenderText);
            record.interfaceName = endpoint.local.interfaceName;
            record.localAddress = endpoint.local.address;
            record.prefixLength = endpoint.local.prefixLength;
            batch.push_back(std::move(record));
        }
    }

    const quint64 search = searchNumber;
    for (DeviceRecord &record : batch) {
        if (knownSerials.contains(record.serialNumber))
            continue;
        knownSerials.insert(record.serialNumber);
        devices.append(std::move(record));
        emit deviceFound();
        // A listener may have closed the window or started another search meanwhile: the
        // rest of this batch belongs to neither.
        if (!receiving || search != searchNumber)
            return;
    }

    if (moreWaiting)
        scheduleReceive();
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
            if (receiving)
                receive();
        },
        Qt::QueuedConnection);
}
