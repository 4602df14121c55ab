#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

// One IPv4 address of the machine that the search sends from.
struct LocalAddress
{
    QHostAddress address;
    int prefixLength = -1;
    int interfaceIndex = 0;
    QString interfaceName;
};

// The machine's IPv4 addresses, in the order of the interfaces and, within an interface, of
// its address entries. With names, only the addresses of the interfaces so named.
QList<LocalAddress> localIPv4Addresses(const QStringList &interfaceNames = {});
