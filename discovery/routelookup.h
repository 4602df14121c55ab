#pragma once

#include <QString>
#include <QtGlobal>

// Asks the routing table which local address a datagram to a destination would leave from,
// without sending anything: a datagram socket connected to the destination learns the source
// the system picked for it.
class RouteLookup
{
public:
    RouteLookup();
    ~RouteLookup();
    RouteLookup(const RouteLookup &) = delete;
    RouteLookup &operator=(const RouteLookup &) = delete;

    // The local IPv4 address for destination, or 0 with error set (no route, for instance).
    quint32 sourceFor(quint32 destination, quint16 port, QString *error);

private:
    qintptr descriptor = -1;
};
