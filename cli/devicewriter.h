#pragma once

#include "clioptions.h"

#include <QString>

struct DeviceRecord;

// A device as one JSON object: serial, ip, mac, interface, network and, when found through a
// range, range. before and after are further members, put first and last.
QString deviceJson(const DeviceRecord &record, const QString &before = {},
                   const QString &after = {});

// The output of one run in the chosen format, piece by piece: what comes before the first
// device, each device as it is listed, what a search's end releases, and what closes the
// output. Every piece is whole lines except in JSON, whose array elements are separated as the
// next one comes.
//
// The table holds its rows back until the search ends: an escaped device text can be four
// times its length, and the columns are as wide as the widest text in them, heading included.
// A later search of the same run widens the columns for its own rows only.
class DeviceWriter
{
public:
    // Where the output goes. On a terminal CSV fields are escaped as the table's texts are;
    // into a pipe or a file they stay as the devices sent them.
    enum class Target { FileOrPipe, Terminal };

    explicit DeviceWriter(OutputFormat format, Target target = Target::FileOrPipe);

    QString begin();
    QString device(const DeviceRecord &record);
    // A device expected but not heard, with what its list gave: only JSON lists it, marked
    // "missing": true.
    QString missing(const QString &serialNumber, const QString &ipAddress,
                    const QString &macAddress);
    // The rows held back so far, in columns measured on them (with the heading before the
    // first rows); empty for the other formats.
    QString searchEnded();
    QString end();

private:
    OutputFormat format;
    Target target = Target::FileOrPipe;
    int written = 0;
    QList<QStringList> heldRows;
    QList<int> columnWidths;
    bool headingWritten = false;
};
