#include "devicewatch.h"

DeviceWatch::DeviceWatch(int lostAfter)
    : lostAfter(lostAfter)
{}

QVector<DeviceWatch::Change> DeviceWatch::answered(const DeviceRecord &record,
                                                   const QDateTime &when)
{
    const auto known = indexOfSerial.constFind(record.serialNumber);
    if (known == indexOfSerial.constEnd()) {
        indexOfSerial.insert(record.serialNumber, int(seen.size()));
        Device device;
        device.record = record;
        device.lastAnswer = when;
        device.firstSearch = searches;
        seen.append(device);
        return {{Event::Found, record, {}}};
    }
    Device &device = seen[*known];
    if (device.answeredThisSearch)
        return {};
    device.answeredThisSearch = true;
    device.missedSearches = 0;
    device.lastAnswer = when;
    QVector<Change> changes;
    if (!device.answering) {
        device.answering = true;
        changes.append({Event::Back, record, {}});
    }
    if (record.ipAddress != device.record.ipAddress) {
        device.previousAddress = device.record.ipAddress;
        changes.append({Event::Moved, record, device.previousAddress});
    }
    device.record = record;
    return changes;
}

QVector<DeviceWatch::Change> DeviceWatch::searchEnded()
{
    QVector<Change> changes;
    for (Device &device : seen) {
        if (device.firstSearch < searches)
            device.isNew = false;
        if (!device.answeredThisSearch && device.answering &&
            ++device.missedSearches == lostAfter) {
            device.answering = false;
            changes.append({Event::Lost, device.record, {}});
        }
        device.answeredThisSearch = false;
    }
    ++searches;
    return changes;
}

const QVector<DeviceWatch::Device> &DeviceWatch::devices() const
{
    return seen;
}

int DeviceWatch::answeringCount() const
{
    return int(seen.size()) - notAnsweringCount();
}

int DeviceWatch::notAnsweringCount() const
{
    int count = 0;
    for (const Device &device : seen)
        count += device.answering ? 0 : 1;
    return count;
}

int DeviceWatch::searchCount() const
{
    return searches;
}
