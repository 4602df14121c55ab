#include "networkcheck.h"

#include <QHostAddress>

bool isInNetwork(const QHostAddress &device, const QHostAddress &local, int prefixLength)
{
    if (device.protocol() != QAbstractSocket::IPv4Protocol ||
        local.protocol() != QAbstractSocket::IPv4Protocol || prefixLength < 0 || prefixLength > 32)
        return true;
    return device.isInSubnet(local, prefixLength);
}
