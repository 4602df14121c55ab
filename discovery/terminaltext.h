#pragma once

#include <QString>

// Device texts come from the network and may hold any code unit; wherever one is printed for
// a person (the finder's table, a log line), it goes through this.

// The text for a terminal: control characters (C0, DEL, C1) as \xNN, and the code units
// U+FF80 to U+FFFF, which stand for the answer's bytes 0x80 to 0xff, as \xNN of that byte;
// a backslash as \\, so that the escapes cannot be forged. Nothing printed can move the
// cursor or change colours.
QString terminalText(const QString &text);
