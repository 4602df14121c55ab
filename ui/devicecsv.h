#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>
#include <QVector>

class QDate;

// The device list as text for other programs: a spreadsheet file and a line for the clipboard.
// Serial numbers and MAC texts are whatever bytes a device sent, so nothing here trusts them.
namespace DeviceCsv {

// Polish spreadsheets read the comma as the decimal point and expect fields split by ';'.
QChar separator(bool polish);

// The header and the rows, one line each, CRLF line ends, UTF-8, each field as csvField()
// makes it.
QByteArray document(const QStringList &header, const QVector<QStringList> &rows, QChar separator);

// One row for the clipboard, as a spreadsheet pastes it: serial, IP and MAC split by tabs, on
// one line (tabs and line breaks inside a field become spaces), formulas guarded as above.
QString clipboardRow(const QString &serialNumber, const QString &ipAddress,
                     const QString &macAddress);

// The name the save dialog suggests, ostrel-devices-<yyyy-MM-dd>.csv.
QString suggestedFileName(const QDate &date);

} // namespace DeviceCsv
