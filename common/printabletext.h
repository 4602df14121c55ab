#pragma once

#include <QString>

// Device and server texts come from the network and may hold any code unit; wherever one is
// printed for a person or a program (the finder's output, a log line), it goes through
// printableText. Either way a backslash is doubled, so that the escapes cannot be forged.
enum class PrintableFor {
    // Control characters (C0, DEL, C1) as \xNN, and the code units U+FF80 to U+FFFF, which
    // stand for an answer's bytes 0x80 to 0xff, as \xNN of that byte; other letters stay.
    // Nothing printed can move the cursor or change colours.
    Terminal,
    // A JSON string, quotes included. Everything but printable ASCII is escaped, so the
    // output is plain ASCII whatever a device sends.
    JsonString,
};

QString printableText(const QString &text, PrintableFor target = PrintableFor::Terminal);
