#include "localaddress.h"

#include "ipv4entry.h"

#include <QNetworkInterface>

QList<LocalAddress> localIPv4Addresses(const QStringList &interfaceNames)
{
    QList<LocalAddress> result;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        // Windows' own interface names ("ethernet_32768") mean nothing to a user, the names it
        // shows ("Ethernet") do; elsewhere the two are the same. Either one selects.
        const QString shownName = interface.humanReadableName();
        if (!interfaceNames.isEmpty() && !interfaceNames.contains(interface.name()) &&
            !interfaceNames.contains(shownName))
            continue;
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries) {
            if (isIPv4Entry(entry))
                result.append(
                    LocalAddress{entry.ip(), entry.prefixLength(), interface.index(), shownName});
        }
    }
    return result;
}
