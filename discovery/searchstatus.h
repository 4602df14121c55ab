#pragma once

#include "searchreport.h"

#include <QCoreApplication>
#include <QString>

// The status line of a search and its tooltip, from what the search saw: devices found so far
// while it runs; afterwards the first cause on this computer that explains a missing device,
// or the number found. Plain logic, shared by the window and the finder.
class SearchStatus
{
    Q_DECLARE_TR_FUNCTIONS(SearchStatus)

public:
    SearchStatus(bool searching, int found, const SearchReport &report,
                 const FirewallState &firewall = {});

    QString line() const;
    QString toolTip() const;

private:
    QString lineText;
    QString toolTipText;
};
