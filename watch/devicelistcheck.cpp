#include "devicelistcheck.h"

DeviceListCheck::DeviceListCheck(const QVector<ListedDevice> &devices)
{
    // Several lists may name the same device; the first names it.
    for (const ListedDevice &device : devices) {
        if (!listed.contains(device.serialNumber)) {
            listed.insert(device.serialNumber);
            expected.append(device);
        }
    }
}

bool DeviceListCheck::isEmpty() const
{
    return expected.isEmpty();
}

bool DeviceListCheck::isListed(const QString &serialNumber) const
{
    return listed.contains(serialNumber);
}

void DeviceListCheck::answered(const QString &serialNumber)
{
    if (listed.contains(serialNumber))
        answeredSerials.insert(serialNumber);
}

bool DeviceListCheck::allAnswered() const
{
    return answeredSerials.size() == listed.size();
}

QVector<ListedDevice> DeviceListCheck::missing() const
{
    QVector<ListedDevice> result;
    for (const ListedDevice &device : expected) {
        if (!answeredSerials.contains(device.serialNumber))
            result.append(device);
    }
    return result;
}
