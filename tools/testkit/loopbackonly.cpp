#include "loopbackonly.h"

#include <QHostAddress>
#include <QNetworkInterface>

bool hasOnlyLoopback()
{
    const QList<QHostAddress> addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress &address : addresses) {
        if (!address.isLoopback())
            return false;
    }
    return true;
}
