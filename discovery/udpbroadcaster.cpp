#include "udpbroadcaster.h"

#include "discoverydatagram.h"
#include "ipv4entry.h"
#include "releasegradually.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <vector>

namespace {

constexpr int receiveWindowMs = 5000;

// Many devices answer at the same moment; the kernel's default buffer holds only a few hundred
// answers. The kernel may grant less than this.
constexpr int receiveBufferBytes = 1024 * 1024;

// Datagrams read from one socket in one pass. A peer that sends without pause must not keep
// the event loop from the rest of the program; the remainder is read in the next pass.
constexpr int batchPerSocket = 256;

} // namespace

UDPBroadcaster::UDPBroadcaster()
    : QWidget(nullptr)
{
    interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : qAsConst(interfaces)) {
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries) {
            if (!isIPv4Entry(entry))
                continue;
            // A socket whose bind failed is kept: its sends fail without notice, like those of
            // an interface that went away.
            auto *socket = new QUdpSocket(this);
            socket->bind(entry.ip(), discoveryPort, QAbstractSocket::DefaultForPlatform);
            socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                                    receiveBufferBytes);
            sockets.append(socket);
            socketInterfaces.append(interface.index());
        }
    }
    timer = new QTimer(this);
}

UDPBroadcaster::~UDPBroadcaster()
{
    delete timer;
}

void UDPBroadcaster::sendBroadcast()
{
    releaseGradually(devices, this);
    releaseGradually(knownSerials, this);

    const QByteArray request = discoveryRequest();
    for (int i = 0; i < sockets.size(); ++i) {
        QUdpSocket *socket = sockets.at(i);
        connect(socket, &QUdpSocket::readyRead, this, &UDPBroadcaster::receive,
                Qt::UniqueConnection);
        // Naming the interface makes the limited broadcast leave where the socket's address
        // lives, also on systems that would otherwise pick one interface for all of them.
        QNetworkDatagram datagram(request, QHostAddress(QHostAddress::Broadcast), discoveryPort);
        datagram.setInterfaceIndex(static_cast<uint>(socketInterfaces.at(i)));
        socket->writeDatagram(datagram);
    }

    connect(timer, &QTimer::timeout, this, &UDPBroadcaster::stopReceiving, Qt::UniqueConnection);
    timer->start(receiveWindowMs);
    receiving = true;

    // Answers that came after an earlier window closed are still queued, and a socket does not
    // announce them again until it has been read, so look at every socket once now.
    scheduleReceive();
}

int UDPBroadcaster::deviceCount() const
{
    return devices.size();
}

void UDPBroadcaster::getDevice(QString &serialNumber, QString &ipAddress, QString &macAddress,
                               int index)
{
    if (index < 0 || index >= devices.size())
        return;
    const DeviceRecord &record = devices.at(index);
    serialNumber = record.serialNumber;
    ipAddress = record.ipAddress;
    macAddress = record.macAddress;
}

void UDPBroadcaster::receive()
{
    // Read first, then list: the sockets are emptied quickly, and the window's work for each
    // new device happens after the reading.
    std::vector<DeviceRecord> batch;
    bool moreWaiting = false;
    // One byte more than an answer, so that a longer datagram shows its excess.
    QByteArray datagram(discoveryAnswerSize + 1, Qt::Uninitialized);
    QHostAddress sender;
    QHostAddress lastSender;
    QString lastSenderText;
    for (QUdpSocket *socket : qAsConst(sockets)) {
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
            batch.push_back(answerRecord(datagram, lastSenderText));
        }
    }

    for (DeviceRecord &record : batch) {
        if (isKnownDevice(record))
            continue;
        knownSerials.insert(record.serialNumber);
        devices.append(std::move(record));
        emit deviceFound();
    }

    if (moreWaiting)
        scheduleReceive();
}

void UDPBroadcaster::stopReceiving()
{
    receiving = false;
    for (QUdpSocket *socket : qAsConst(sockets))
        disconnect(socket, &QUdpSocket::readyRead, this, &UDPBroadcaster::receive);
}

bool UDPBroadcaster::isKnownDevice(const DeviceRecord &record) const
{
    return knownSerials.contains(record.serialNumber);
}

void UDPBroadcaster::scheduleReceive()
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
