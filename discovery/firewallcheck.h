#pragma once

#include "searchreport.h"

#include <QString>

// Whether a host firewall that may drop the devices' answers is active, as far as an ordinary
// user can tell: ufw enabled in its configuration, or a firewalld process running. root is the
// folder that stands for "/" (tests give another).
FirewallState activeFirewall(const QString &root = QStringLiteral("/"));
