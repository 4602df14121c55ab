#pragma once

#include <QString>

// One device found by a search. Two records describe the same device when their serial numbers
// are equal; the address and the MAC text take no part in that.
struct DeviceRecord
{
    QString serialNumber;
    QString ipAddress;
    QString macAddress;
};
// Three implicitly shared strings move by plain copy, which keeps a long list cheap to grow.
Q_DECLARE_TYPEINFO(DeviceRecord, Q_MOVABLE_TYPE);
