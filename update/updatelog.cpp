#include "updatelog.h"

// Only info and debug are used, so that the category stays silent unless turned on.
Q_LOGGING_CATEGORY(lcUpdate, "ostrel.update", QtWarningMsg)
