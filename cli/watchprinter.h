#pragma once

#include "clioptions.h"
#include "devicewatch.h"

#include <QDateTime>
#include <QString>

// --watch: what changed at a site, one event at a time as it happens, with its time: in the
// table's form, one aligned line per event under a heading, or as JSON lines.
class WatchPrinter
{
public:
    WatchPrinter(OutputFormat format, int lostAfter);

    // The heading of the table; nothing for JSON lines.
    QString begin() const;
    QString answered(const DeviceRecord &record, const QDateTime &when);
    QString searchEnded(const QDateTime &when);
    // How the watch ended, for standard error: the searches and the devices, those that do
    // not answer named.
    QString summary() const;

private:
    QString event(const DeviceWatch::Change &change, const QDateTime &when) const;

    const OutputFormat format;
    DeviceWatch watch;
};
