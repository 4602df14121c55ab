#pragma once

#include <QString>

// Device texts come from the network and may hold any code unit; these make them safe to print.

// A JSON string, quotes included. Everything but printable ASCII is escaped, so the output is
// plain ASCII whatever a device sends.
QString jsonString(const QString &text);
