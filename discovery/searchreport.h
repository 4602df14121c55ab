#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

// What a search saw on this computer besides the devices it listed: the facts from which the
// window's status line and the finder's messages name why a device may be missing.
struct SearchReport
{
    // A local address the search could not use or could not send from.
    struct AddressError
    {
        QString interfaceName;
        QHostAddress address;
        // The system's error text.
        QString error;
        // Another program holds port 44444 on this address.
        bool portInUse = false;
    };

    enum class Unreadable {
        WrongSize,
        WrongMarkers,
    };

    // Datagrams from one sender that were not valid answers.
    struct UnreadableSender
    {
        QHostAddress sender;
        int count = 0;
        // The size and the reason of the latest of them.
        int size = 0;
        Unreadable reason = Unreadable::WrongSize;
    };

    // The requests of one address range, and what came of them.
    struct RangeReport
    {
        QString range;
        quint32 addressCount = 0;
        // Addresses dealt with so far: sent to, failed, without a socket to send from, or
        // passed over as a local network's broadcast address.
        quint32 done = 0;
        quint32 sent = 0;
        quint32 passedOver = 0;
        // The local addresses requests left from, in order of first use.
        QList<QHostAddress> localAddresses;
        // Destinations the routing table reaches through a local address without a bound
        // socket: no answer could come back, so nothing was sent to them.
        quint32 unbound = 0;
        QList<QHostAddress> unboundLocalAddresses;
        // Failed sends, by the system's error text.
        struct SendError
        {
            QString error;
            quint32 count = 0;
            // The first destination that failed so.
            QHostAddress first;
        };
        QList<SendError> sendErrors;
        // Devices listed whose address lies in the range.
        int found = 0;

        bool finished() const { return done >= addressCount; }
    };

    // Senders named one by one at most; datagrams from others are only counted.
    static constexpr int maxUnreadableSenders = 16;

    // Local IPv4 addresses the search tried, and how many of them are not loopback.
    int addressCount = 0;
    int networkAddressCount = 0;
    // Addresses whose socket could not bind port 44444.
    QList<AddressError> bindErrors;
    // Whether the request was broadcast; requests sent, and those that could not be.
    bool broadcast = true;
    int requestsSent = 0;
    QList<AddressError> sendErrors;
    // Invalid datagrams during the receive window, by sender, in order of arrival.
    QList<UnreadableSender> unreadable;
    int unreadableOtherCount = 0;
    // Devices not in the list whose answers came after the receive window closed.
    int lateDevices = 0;
    // The address ranges searched besides the broadcast, in address order.
    QList<RangeReport> ranges;
    // The sending to the ranges was stopped before their end.
    bool rangesStopped = false;

    // No address could be bound, so nothing was sent.
    bool noAddressBound() const { return addressCount > 0 && bindErrors.size() >= addressCount; }
    bool portInUseEverywhere() const
    {
        if (!noAddressBound())
            return false;
        for (const AddressError &error : bindErrors) {
            if (!error.portInUse)
                return false;
        }
        return true;
    }
    // No IPv4 address at all, or only loopback.
    bool noNetwork() const { return networkAddressCount == 0; }
    int unreadableCount() const
    {
        int count = unreadableOtherCount;
        for (const UnreadableSender &sender : unreadable)
            count += sender.count;
        return count;
    }
};

// A host firewall seen as active without privileges, and the command that lets the devices'
// answers in; an empty name when none is seen.
struct FirewallState
{
    QString name;
    QString allowCommand;
};
