#pragma once

#include "devicerecord.h"

#include <QList>
#include <QNetworkInterface>
#include <QSet>
#include <QVector>
#include <QWidget>

class QTimer;
class QUdpSocket;

// Runs the device search: one UDP socket on every IPv4 address of the machine, a request from
// each at every search, and the distinct devices that answered within the receive window, in
// order of discovery. A widget only so that the window can own it; it is never shown.
class UDPBroadcaster : public QWidget
{
    Q_OBJECT

public:
    UDPBroadcaster();
    ~UDPBroadcaster() override;

    // Starts a search: empties the list, sends the request and opens a 5000 ms window.
    void sendBroadcast();
    int deviceCount() const;
    // Leaves the strings unchanged when index is not that of a listed device.
    void getDevice(QString &serialNumber, QString &ipAddress, QString &macAddress, int index);

signals:
    // One record has been appended to the list.
    void deviceFound();

private slots:
    void receive();
    void stopReceiving();

private:
    bool isKnownDevice(const DeviceRecord &record) const;
    void scheduleReceive();

    QList<QUdpSocket *> sockets;
    QTimer *timer = nullptr;
    QVector<DeviceRecord> devices;
    QList<QNetworkInterface> interfaces;
    // The interface of each socket, by index: the request leaves through it.
    QList<int> socketInterfaces;
    // The serial numbers in devices, so that a duplicate costs one lookup however long the list.
    QSet<QString> knownSerials;
    bool receiving = false;
    bool receiveScheduled = false;
};
