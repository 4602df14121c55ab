#pragma once

#include "firewallcheck.h"

#include <QLabel>

struct SearchReport;
enum class SearchState;

// The line left of the buttons: how the search goes and, once it has ended, what it found or
// why nothing, in full in the tooltip. A search that listed nothing though it could have sent
// offers "Search other networks…" as a link (linkActivated).
class StatusLine : public QLabel
{
    Q_OBJECT

public:
    explicit StatusLine(QWidget *parent);

    // Shows the verdict on the search as it stands; deviceCount counts the devices found, also
    // those not listed yet.
    void showVerdict(SearchState state, int deviceCount, const SearchReport &report);
    // Shows line in place of the verdict's (keeping watch says how the devices are); the
    // tooltip still explains the latest search.
    void showInstead(const QString &line);
    // A new search: the firewall is looked for again when it could explain the search's end.
    void newSearch();

    // The status line with the link to "Search other networks…" after it, as rich text.
    static QString withLink(const QString &line, const QString &link);

private:
    FirewallLookup firewall;
};
