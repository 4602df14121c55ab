#pragma once

#include <QLoggingCategory>

// What the update check did, for support. Off unless turned on, e.g.
// QT_LOGGING_RULES="ostrel.*=true".
Q_DECLARE_LOGGING_CATEGORY(lcUpdate)
