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

    // Senders named one by one at most; datagrams from others are only counted.
    static constexpr int maxUnreadableSenders = 16;

    // Local IPv4 addresses the search tried, and how many of them are not loopback.
    int addressCount = 0;
    int networkAddressCount = 0;
    // Addresses whose socket could not bind port 44444.
    QList<AddressError> bindErrors;
    // Requests sent, and those that could not be.
    int requestsSent = 0;
    QList<AddressError> sendErrors;
    // Invalid datagrams during the receive window, by sender, in order of arrival.
    QList<UnreadableSender> unreadable;
    int unreadableOtherCount = 0;
    // Devices not in the list whose answers came after the receive window closed.
    int lateDevices = 0;

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
    // Requests were due and every one of them failed.
    bool everySendFailed() const { return requestsSent == 0 && !sendErrors.isEmpty(); }
    // No request went out: no address, none bound, or every send failed.
    bool nothingSent() const { return addressCount == 0 || noAddressBound() || everySendFailed(); }
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
