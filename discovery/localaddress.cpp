#include "localaddress.h"

#include "ipv4entry.h"

#include <QNetworkInterface>

QList<LocalAddress> localIPv4Addresses(const QStringList &interfaceNames)
{
    QList<LocalAddress> result;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        if (!interfaceNames.isEmpty() && !interfaceNames.contains(interface.name()))
            continue;
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries) {
            if (isIPv4Entry(entry))
                result.append(LocalAddress{entry.ip(), entry.prefixLength(), interface.index(),
                                           interface.name()});
        }
    }
    return result;
}
