#pragma once

#include "searchreport.h"

#include <QString>

// Whether a host firewall that may drop the devices' answers is active, as far as an ordinary
// user can tell: ufw enabled in its configuration, or a firewalld process running. root is the
// folder that stands for "/" (tests give another).
FirewallState activeFirewall(const QString &root = QStringLiteral("/"));

// Whether a firewall that drops the devices' answers could explain how a search ended: nothing
// listed, though requests went out to a network, and nothing came back, not even an unreadable
// or a late answer.
bool firewallCouldExplain(const SearchReport &report, int deviceCount);

// The active firewall when it could explain how the search ended; none, without looking, when
// it could not. The window and the finder both ask this once a search has ended.
FirewallState firewallToBlame(const SearchReport &report, int deviceCount,
                              const QString &root = QStringLiteral("/"));
