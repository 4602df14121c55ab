#pragma once

#include "searchreport.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// The status line of a search and its tooltip, from what the search saw: devices found so far
// while it runs; afterwards the first cause on this computer that explains a missing device,
// or the number found. A search that could send nothing shows its cause at once. The tooltip
// explains every cause seen. Plain logic, shared by the window and the finder.
class SearchStatus
{
    Q_DECLARE_TR_FUNCTIONS(SearchStatus)

public:
    SearchStatus(bool searching, int found, const SearchReport &report,
                 const FirewallState &firewall = {});

    QString line() const;
    QString toolTip() const;
    // The tooltip's lines without the general hint for a search that nobody answered.
    QStringList causes() const;
    // Whether the line says that this computer has no network, only loopback or nothing.
    bool networkMissing() const;

private:
    static QStringList addressLines(const QList<SearchReport::AddressError> &errors);
    static QStringList unreadableLines(const SearchReport &report);

    QString lineText;
    QStringList causeLines;
    QString toolTipText;
    bool lineSaysNoNetwork = false;
};
