#include "udpcounters.h"

#include <QFile>
#include <QList>

bool UdpCounters::read()
{
    QFile file(QStringLiteral("/proc/self/net/snmp"));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Files under /proc report size 0, so read everything at once rather than line by line.
    // The "Udp:" lines come in pairs: the counter names, then their values.
    const QList<QByteArray> lines = file.readAll().split('\n');
    QList<QByteArray> names;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.value(0) != "Udp:")
            continue;
        if (names.isEmpty()) {
            names = fields;
            continue;
        }
        const int deliveredAt = names.indexOf("InDatagrams");
        const int droppedAt = names.indexOf("RcvbufErrors");
        const int sentAt = names.indexOf("OutDatagrams");
        if (deliveredAt < 0 || droppedAt < 0 || sentAt < 0)
            return false;
        sent = fields.value(sentAt).toULongLong();
        delivered = fields.value(deliveredAt).toULongLong();
        dropped = fields.value(droppedAt).toULongLong();
        return true;
    }
    return false;
}
