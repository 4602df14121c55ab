#include "unreadabletally.h"

#include "discoverydatagram.h"
#include "discoverylog.h"

void UnreadableTally::clear()
{
    named.clear();
    others = 0;
    last = -1;
}

void UnreadableTally::count(quint32 senderIp, int size)
{
    const auto reason = size == discoveryAnswerSize ? SearchReport::Unreadable::WrongMarkers
                                                    : SearchReport::Unreadable::WrongSize;
    qCInfo(lcDiscovery, "unreadable datagram from %s: %d bytes, %s",
           qPrintable(QHostAddress(senderIp).toString()), size,
           reason == SearchReport::Unreadable::WrongMarkers ? "wrong markers" : "wrong size");
    int index = last;
    if (index < 0 || named.at(index).sender.toIPv4Address() != senderIp) {
        index = -1;
        for (int i = 0; i < named.size() && index < 0; ++i) {
            if (named.at(i).sender.toIPv4Address() == senderIp)
                index = i;
        }
    }
    if (index < 0) {
        if (named.size() >= SearchReport::maxUnreadableSenders) {
            ++others;
            return;
        }
        named.append(SearchReport::UnreadableSender{QHostAddress(senderIp), 0, 0, reason});
        index = named.size() - 1;
    }
    SearchReport::UnreadableSender &entry = named[index];
    ++entry.count;
    entry.size = size;
    entry.reason = reason;
    last = index;
}

const QList<SearchReport::UnreadableSender> &UnreadableTally::senders() const
{
    return named;
}

int UnreadableTally::otherCount() const
{
    return others;
}
