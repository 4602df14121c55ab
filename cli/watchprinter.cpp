#include "watchprinter.h"

#include "devicewriter.h"
#include "printabletext.h"

#include <QStringList>

namespace {

const char *const eventNames[] = {"found", "lost", "back", "moved"};

// The widths of a time, an event's name, a serial number, the longest dotted quad and a MAC
// text; wider texts push the columns after them along.
const int widths[] = {8, 5, 10, 15, 17};

QString tableLine(const QStringList &cells)
{
    QString line;
    for (int column = 0; column < cells.size() - 1; ++column)
        line += cells.at(column).leftJustified(widths[column]) + QLatin1String("  ");
    return line + cells.last();
}

// ISO 8601 with the local offset from UTC, which a plain local time would leave out.
QString isoTime(const QDateTime &when)
{
    return when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODate);
}

} // namespace

WatchPrinter::WatchPrinter(OutputFormat format, int lostAfter)
    : format(format)
    , watch(lostAfter)
{}

QString WatchPrinter::begin() const
{
    if (format != OutputFormat::Table)
        return {};
    return tableLine({QStringLiteral("TIME"), QStringLiteral("EVENT"), QStringLiteral("SERIAL"),
                      QStringLiteral("IP"), QStringLiteral("MAC"), QStringLiteral("INTERFACE")}) +
           QLatin1Char('\n');
}

QString WatchPrinter::answered(const DeviceRecord &record, const QDateTime &when)
{
    QString text;
    for (const DeviceWatch::Change &change : watch.answered(record, when))
        text += event(change, when);
    return text;
}

QString WatchPrinter::searchEnded(const QDateTime &when)
{
    QString text;
    for (const DeviceWatch::Change &change : watch.searchEnded())
        text += event(change, when);
    return text;
}

QString WatchPrinter::summary() const
{
    QStringList silent;
    for (const DeviceWatch::Device &device : watch.devices()) {
        if (!device.answering)
            silent << printableText(device.record.serialNumber);
    }
    QString text = QStringLiteral("watch ended after %1 searches: %2 answering, %3 not answering")
                       .arg(watch.searchCount())
                       .arg(watch.answeringCount())
                       .arg(watch.notAnsweringCount());
    if (!silent.isEmpty())
        text += QLatin1String(" (") + silent.join(QLatin1String(", ")) + QLatin1Char(')');
    return text;
}

QString WatchPrinter::event(const DeviceWatch::Change &change, const QDateTime &when) const
{
    const QLatin1String name(eventNames[int(change.event)]);
    const DeviceRecord &device = change.device;
    if (format == OutputFormat::JsonLines) {
        const QString before = QLatin1String("\"event\": \"") + name +
                               QLatin1String("\", \"time\": \"") + isoTime(when) + QLatin1Char('"');
        const QString after =
            change.previousAddress.isEmpty()
                ? QString()
                : QLatin1String("\"previous_ip\": ") +
                      printableText(change.previousAddress, PrintableFor::JsonString);
        return deviceJson(device, before, after) + QLatin1Char('\n');
    }
    QString line =
        tableLine({when.toString(QStringLiteral("HH:mm:ss")), name,
                   printableText(device.serialNumber), printableText(device.ipAddress),
                   printableText(device.macAddress), printableText(device.interfaceName)});
    if (!change.previousAddress.isEmpty())
        line += QLatin1String("  (was ") + printableText(change.previousAddress) + QLatin1Char(')');
    return line + QLatin1Char('\n');
}
