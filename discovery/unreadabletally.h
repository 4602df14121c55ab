#pragma once

#include "searchreport.h"

#include <QList>

// Datagrams that were no answer, by sender in order of arrival. A bounded list: the cost of a
// datagram stays the same however many senders there are; those past the bound are only
// counted.
class UnreadableTally
{
public:
    void clear();
    // One datagram of size bytes from senderIp.
    void count(quint32 senderIp, int size);

    const QList<SearchReport::UnreadableSender> &senders() const;
    int otherCount() const;

private:
    QList<SearchReport::UnreadableSender> named;
    int others = 0;
    // The sender last counted, spared a lookup when the next datagram is its too.
    int last = -1;
};
