#include "devicesimulator.h"

#include <cstdio>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <utility>

DeviceSimulator::DeviceSimulator(QList<Device> devices, AnswerFlaws flaws, int delayMs,
                                 bool logRequests, QObject *parent)
    : QObject(parent)
    , devices(std::move(devices))
    , flaws(flaws)
    , delayMs(delayMs)
    , logRequests(logRequests)
    , socket(new QUdpSocket(this))
{
    connect(socket, &QUdpSocket::readyRead, this, &DeviceSimulator::readRequests);
}

bool DeviceSimulator::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (!socket->bind(address, port)) {
        *error = socket->errorString();
        return false;
    }
    std::fprintf(stderr, "listening on %s:%u\n", qPrintable(address.toString()), unsigned(port));
    return true;
}

void DeviceSimulator::readRequests()
{
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram request = socket->receiveDatagram();
        const QHostAddress sender = request.senderAddress();
        const auto port = static_cast<quint16>(request.senderPort());
        const bool isRequest = request.data() == QByteArrayLiteral("OSTREL");
        // Tests read these lines to learn which requests reached this network.
        if (logRequests) {
            std::fprintf(stderr, "%s from %s:%u to %s (%d bytes)\n",
                         isRequest ? "request" : "ignored", qPrintable(sender.toString()),
                         unsigned(port), qPrintable(request.destinationAddress().toString()),
                         int(request.data().size()));
        }
        if (!isRequest)
            continue;
        if (delayMs > 0)
            QTimer::singleShot(delayMs, this, [this, sender, port] { answer(sender, port); });
        else
            answer(sender, port);
    }
}

void DeviceSimulator::answer(const QHostAddress &address, quint16 port)
{
    for (const Device &device : std::as_const(devices))
        socket->writeDatagram(makeAnswer(device.serial, device.mac, flaws), address, port);
}
