#include "devicesearch.h"

#include "directread.h"
#include "discoverydatagram.h"
#include "releasegradually.h"

#include <algorithm>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <QVariant>
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
        if (!endpoint.bound)
            continue;
        connect(endpoint.socket, &QUdpSocket::readyRead, this, &DeviceSearch::receive,
                Qt::UniqueConnection);
        // The request must leave through the socket's own interface with the socket's own
        // address as its source: devices answer to that address.
#ifdef Q_OS_LINUX
        // Linux sends a limited broadcast from a socket bound to one address out of that
        // address's interface, with that address as source. Packet information would only
        // spoil that: Qt fills in the field that Linux ignores on sending and leaves the
        // one it reads empty, so the kernel would pick the source itself (0.0.0.0 on
        // loopback, the primary address on an interface with several).
        endpoint.socket->writeDatagram(request, QHostAddress(QHostAddress::Broadcast),
                                       discoveryPort);
#else
        QNetworkDatagram datagram(request, QHostAddress(QHostAddress::Broadcast), discoveryPort);
        datagram.setInterfaceIndex(static_cast<uint>(endpoint.local.interfaceIndex));
        datagram.setSender(endpoint.local.address, discoveryPort);
        endpoint.socket->writeDatagram(datagram);
#endif
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
        bound += endpoint.bound ? 1 : 0;
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
            return old.local.address == local.address && old.bound;
        });
        if (kept != previous.end()) {
            endpoints.append(Endpoint{kept->socket, local, true});
            previous.erase(kept);
        } else {
            endpoints.append(openSocket(local));
        }
    }
    // Later, not now: this may run inside a signal of one of these sockets.
    for (const Endpoint &gone : qAsConst(previous)) {
        gone.socket->disconnect(this);
        gone.socket->close();
        gone.socket->deleteLater();
    }
}

DeviceSearch::Endpoint DeviceSearch::openSocket(const LocalAddress &local)
{
    // A socket whose bind failed stays silent until the next search tries again.
    auto *socket = new QUdpSocket(this);
    const bool bound =
        socket->bind(local.address, discoveryPort, QAbstractSocket::DefaultForPlatform);
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                            QVariant(receiveBufferBytes));
    return Endpoint{socket, local, bound};
}

void DeviceSearch::receive()
{
    // Read first, then list: the sockets are emptied quickly, and the listener's work for each
    // new device happens after the reading.
    batch.clear();
    bool moreWaiting = false;
    QByteArray datagram;
    QHostAddress sender;
    quint32 lastSenderIp = 0;
    QString lastSenderText;
    const auto take = [&](const Endpoint &endpoint, const char *bytes, int size, quint32 senderIp) {
        datagram.setRawData(bytes, static_cast<uint>(size));
        if (!isAnswer(datagram))
            return;
        // A burst of answers mostly comes from few senders; spare the address formatting.
        if (senderIp != lastSenderIp || lastSenderText.isEmpty()) {
            lastSenderIp = senderIp;
            lastSenderText = QHostAddress(senderIp).toString();
        }
        DeviceRecord record = answerRecord(datagram, lastSenderText);
        record.interfaceName = endpoint.local.interfaceName;
        record.localAddress = endpoint.local.address;
        record.prefixLength = endpoint.local.prefixLength;
        batch.push_back(std::move(record));
    };
    for (const Endpoint &endpoint : qAsConst(endpoints)) {
        QUdpSocket *socket = endpoint.socket;
        if (!endpoint.bound)
            continue;
        // Read until the socket reports itself empty rather than asking first, and let the
        // socket object make the read that finds it empty: Qt announces new datagrams only
        // after it has read itself, so a socket must end every pass with such a read, or it
        // falls silent. That read is reported as a temporary socket error, which is ignored.
        for (int read = 0;;) {
            if (read >= batchPerSocket) {
                moreWaiting = true;
                break;
            }
            const int wanted = qMin(DatagramChunk::capacity, batchPerSocket - read);
            const int chunkRead = readDatagramsDirectly(*socket, chunk, wanted);
            for (int i = 0; i < chunkRead; ++i)
                take(endpoint, chunk.data[i], chunk.sizes[i], chunk.senders[i]);
            read += chunkRead;
            // A short chunk found the socket empty; the socket object's read confirms that, or
            // takes what came meanwhile.
            if (chunkRead == wanted)
                continue;
            const qint64 size =
                socket->readDatagram(chunk.data[0], DatagramChunk::datagramSize, &sender);
            if (size < 0)
                break;
            take(endpoint, chunk.data[0], static_cast<int>(size), sender.toIPv4Address());
            ++read;
        }
    }

    // Listed from a vector of this pass's own: a listener that runs an event loop may come
    // back into receive().
    std::vector<DeviceRecord> taken;
    taken.swap(batch);
    const quint64 search = searchNumber;
    for (DeviceRecord &record : taken) {
        // One lookup decides and records: the set grows only for a serial not seen before.
        const int known = knownSerials.size();
        knownSerials.insert(record.serialNumber);
        if (knownSerials.size() == known)
            continue;
        devices.append(std::move(record));
        emit deviceFound();
        // A listener may have closed the window or started another search meanwhile: the
        // rest of this batch belongs to neither.
        if (!receiving || search != searchNumber)
            break;
    }
    taken.clear();
    batch.swap(taken);

    if (moreWaiting && receiving)
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
