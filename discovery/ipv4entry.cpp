#include "ipv4entry.h"

#include <QNetworkAddressEntry>

bool isIPv4Entry(const QNetworkAddressEntry &entry)
{
    const QString text = entry.ip().toString();
    for (int index = 1; index <= 3; ++index) {
        if (index < text.size() && text.at(index) == QLatin1Char('.'))
            return true;
    }
    return false;
}
