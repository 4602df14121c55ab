#pragma once

#include <QString>
#include <QtGlobal>

// Asks the routing table which local address a datagram to a destination would leave from,
// without sending anything: a datagram socket connected to the destination learns the source
// the system picked for it. A socket keeps the source of its first connection, so every lookup
// starts from an unconnected socket: on Linux the same one, disconnected again after each
// lookup; on Windows, which keeps the source even then, a new one each time.
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
    // The lookup socket (Linux); Windows makes one for each lookup.
    qintptr descriptor = -1;
};
