#pragma once

#include "firewallcheck.h"
#include "searchreport.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

enum class SearchState {
    Searching,
    Ended,
};

// The verdict on a search, from what it saw: the status line and its tooltip, devices found so
// far while it runs; afterwards the first cause on this computer that explains a missing device,
// or the number found. A search that could send nothing shows its cause at once. The tooltip
// explains every cause seen. The window and the finder both show this one verdict.
class SearchStatus
{
    Q_DECLARE_TR_FUNCTIONS(SearchStatus)

public:
    // deviceCount: the devices the search found, also those not shown yet. firewall is asked
    // only when a firewall could explain an ended search that found nothing.
    SearchStatus(SearchState state, int deviceCount, const SearchReport &report,
                 const FirewallLookup &firewall = {});

    QString line() const;
    QString toolTip() const;
    // The tooltip's lines without the general hint for a search that nobody answered.
    QStringList causes() const;
    // Whether the line says that this computer has no network, only loopback or nothing.
    bool networkMissing() const;
    // Whether the search has ended listing nothing, though it could have sent: the devices
    // may be on other networks, behind a router.
    bool offerOtherNetworks() const;
    // Whether not one request to an address range went out though all were dealt with.
    bool rangeUnsent() const;
    // The lines that name the ranges to which nothing could be sent or where nobody answered.
    QStringList rangeLines() const;

private:
    QStringList bindLines(const SearchReport &report) const;
    QString progressLine(const SearchReport &report, const SearchReport::RangeReport *range) const;
    // Sets what the line says besides its text.
    QString endLine(const SearchReport &report);
    static QStringList addressLines(const QList<SearchReport::AddressError> &errors);
    static QStringList unreadableLines(const SearchReport &report);

    const int found;
    bool nothingSent = false;
    bool noNetwork = false;
    bool firewallSuspected = false;
    bool nobodyAnswered = false;
    QString lineText;
    QStringList causeLines;
    QString toolTipText;
    bool lineSaysNoNetwork = false;
    bool otherNetworks = false;
    bool unsentRange = false;
    QStringList rangeTexts;
};
