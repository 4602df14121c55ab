#pragma once

#include "localaddress.h"

#include <QString>
#include <QVector>

// Addresses the search sends its request to one by one, besides the broadcast: for devices
// behind a router, which no broadcast reaches.
struct AddressRange
{
    // As the user would write it again: "10.2.0.7", "10.2.0.0/24", "10.2.0.10-10.2.0.99".
    QString text;
    // First and last address, both searched.
    quint32 first = 0;
    quint32 last = 0;

    quint32 size() const { return last - first + 1; }
};

// The most addresses one search sends to, all ranges together.
constexpr quint32 maxRangeAddresses = 65536;

// Reads ranges separated by commas or spaces: single addresses, CIDR blocks (without their
// network and broadcast addresses for /30 and larger; host bits set mean the block) and dash
// ranges ("10.2.0.10-10.2.0.99" or "10.2.0.10-99"). The ranges come back in address order.
// Refused: 0.0.0.0/8, 127.0.0.0/8, 224.0.0.0/4, 240.0.0.0/4 (255.255.255.255 included),
// overlaps, more than maxRangeAddresses in all, and a range that is only the broadcast address
// of the network of one of localAddresses (the addresses the search sends from; in a larger
// range that address is passed over). On bad input returns nothing, and error names the part
// and why.
QVector<AddressRange> parseAddressRanges(const QString &text, QString *error,
                                         const QList<LocalAddress> &localAddresses = {});

// The range that is only the broadcast address of the network of one of localAddresses, and
// why it may not be searched; an empty text when there is none. Ranges as parseAddressRanges
// gives them.
QString localBroadcastIn(const QVector<AddressRange> &ranges,
                         const QList<LocalAddress> &localAddresses);

// The broadcast addresses of the networks of localAddresses: a request to one would reach
// every host there (or be refused), so ranges pass over them.
QVector<quint32> localBroadcastAddresses(const QList<LocalAddress> &localAddresses);

// The range holding address, or nullptr; ranges as parseAddressRanges gives them.
const AddressRange *rangeOf(const QVector<AddressRange> &ranges, quint32 address);

// 65536 as "65 536": how the messages about ranges write counts.
QString groupedNumber(quint64 number);
