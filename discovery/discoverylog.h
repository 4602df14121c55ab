#pragma once

#include <QLoggingCategory>

// What the search did, for support: addresses, requests, unreadable and repeated answers, the
// end of each search. Off unless turned on, e.g. QT_LOGGING_RULES="ostrel.*=true".
Q_DECLARE_LOGGING_CATEGORY(lcDiscovery)
