#pragma once

#include <QtGlobal>

class QString;

// The order of the IP column: the text split at every non-digit into four groups, each read as
// a decimal number (0 where it does not convert), combined as the octets of a 32-bit address.
// A dotted IPv4 address gets its own value; any other text still gets a stable key.
quint32 ipSortKey(const QString &text);
