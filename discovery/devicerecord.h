#pragma once

#include <QHostAddress>
#include <QString>

// One device found by a search. Two records describe the same device when their serial numbers
// are equal; the address and the MAC text take no part in that.
struct DeviceRecord
{
    QString serialNumber;
    QString ipAddress;
    QString macAddress;
    // Where the answer came in: the interface and the local address (with its prefix) of the
    // socket that read it.
    QString interfaceName;
    QHostAddress localAddress;
    int prefixLength = -1;
    // The address range the device's address lies in, when the search sent to ranges: the
    // device was asked directly, across routers, and may be on another network.
    QString range;
};
// Implicitly shared members move by plain copy, which keeps a long list cheap to grow.
Q_DECLARE_TYPEINFO(DeviceRecord, Q_MOVABLE_TYPE);

// The network an answer came in on, as "10.1.0.1/24".
QString networkText(const DeviceRecord &record);
