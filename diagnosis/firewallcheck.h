#pragma once

#include "searchreport.h"

#include <functional>
#include <QString>

// Whether a host firewall that may drop the devices' answers is active, as far as an ordinary
// user can tell: ufw enabled in its configuration, or a firewalld process running. root is the
// folder that stands for "/" (tests give another).
FirewallState activeFirewall(const QString &root = QStringLiteral("/"));

// The host firewall, asked for by the verdict on a search only when it could matter.
using FirewallLookup = std::function<FirewallState()>;

// Looks for the active firewall the first time it is asked, and answers the same after: looking
// reads files and processes, and late answers make the verdict again and again.
FirewallLookup firewallLookedForOnce(const QString &root = QStringLiteral("/"));
