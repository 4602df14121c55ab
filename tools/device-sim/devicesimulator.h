#pragma once

#include "deviceanswer.h"

#include <QHostAddress>
#include <QList>
#include <QObject>

class QUdpSocket;

// Stands in for a set of devices behind one UDP socket: every request "OSTREL" it receives is
// answered, to the request's sender address and port, with one answer per device.
class DeviceSimulator : public QObject
{
    Q_OBJECT

public:
    struct Device
    {
        QByteArray serial;
        QByteArray mac;
    };

    DeviceSimulator(QList<Device> devices, AnswerFlaws flaws, int delayMs, bool logRequests,
                    QObject *parent = nullptr);

    bool listen(const QHostAddress &address, quint16 port, QString *error);

private:
    void readRequests();
    void answer(const QHostAddress &address, quint16 port);

    QList<Device> devices;
    AnswerFlaws flaws;
    int delayMs;
    bool logRequests;
    QUdpSocket *socket;
};
