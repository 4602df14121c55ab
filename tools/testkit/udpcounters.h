#pragma once

#include <QtGlobal>

// The kernel's UDP counters for the calling process's network namespace.
struct UdpCounters
{
    quint64 delivered = 0; // datagrams handed to a reader
    quint64 dropped = 0;   // datagrams dropped because a receive queue was full
    quint64 sent = 0;      // datagrams sent

    // Reads /proc/self/net/snmp; false if it cannot be read.
    bool read();
};
