#include "udpbroadcaster.h"

#include "devicesearch.h"

UDPBroadcaster::UDPBroadcaster()
    : QWidget(nullptr)
    , search(new DeviceSearch({}, this))
{
    connect(search, &DeviceSearch::deviceFound, this, &UDPBroadcaster::deviceFound);
    connect(search, &DeviceSearch::deviceChanged, this, &UDPBroadcaster::deviceChanged);
    connect(search, &DeviceSearch::finished, this, &UDPBroadcaster::searchFinished);
    connect(search, &DeviceSearch::reportChanged, this, &UDPBroadcaster::reportChanged);
}

UDPBroadcaster::~UDPBroadcaster() = default;

void UDPBroadcaster::sendBroadcast()
{
    search->start();
}

void UDPBroadcaster::setRanges(const QVector<AddressRange> &ranges)
{
    search->setRanges(ranges);
}

void UDPBroadcaster::stopSending()
{
    search->stopSending();
}

bool UDPBroadcaster::isSendingRanges() const
{
    return search->isSendingRanges();
}

int UDPBroadcaster::deviceCount() const
{
    return search->deviceCount();
}

void UDPBroadcaster::getDevice(QString &serialNumber, QString &ipAddress, QString &macAddress,
                               int index)
{
    if (index < 0 || index >= search->deviceCount())
        return;
    const DeviceRecord &record = search->device(index);
    serialNumber = record.serialNumber;
    ipAddress = record.ipAddress;
    macAddress = record.macAddress;
}

const DeviceRecord &UDPBroadcaster::device(int index) const
{
    return search->device(index);
}

bool UDPBroadcaster::isReceiving() const
{
    return search->isReceiving();
}

const SearchReport &UDPBroadcaster::report() const
{
    return search->report();
}
