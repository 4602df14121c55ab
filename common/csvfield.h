#pragma once

#include <QChar>
#include <QString>

// One field of a CSV record (RFC 4180), for device texts that come from the network. A field
// that a spreadsheet would take for a formula (starting with = + - @, a tab or a carriage
// return) gets a leading apostrophe, so that opening the file runs nothing. A field holding the
// separator, a double quote, a carriage return or a line feed is put in double quotes, its
// quotes doubled.
QString csvField(const QString &text, QChar separator);

// The text with a leading apostrophe when a spreadsheet would take it for a formula.
QString guardFormula(const QString &text);
