#include "devicewriter.h"

#include "csvfield.h"
#include "devicerecord.h"
#include "printabletext.h"

#include <utility>

namespace {

const QLatin1String gap("  ");

QStringList tableHeading()
{
    return {QStringLiteral("SERIAL"), QStringLiteral("IP"), QStringLiteral("MAC"),
            QStringLiteral("INTERFACE")};
}

// The last column is not padded.
QString tableRow(const QStringList &cells, const QList<int> &widths)
{
    QString row;
    for (int column = 0; column < cells.size() - 1; ++column)
        row += cells.at(column).leftJustified(widths.at(column)) + gap;
    return row + cells.last() + QLatin1Char('\n');
}

// RFC 4180 ends every record with CR LF.
QString csvRow(const QStringList &fields)
{
    QString row;
    for (const QString &field : fields) {
        if (!row.isEmpty())
            row += QLatin1Char(',');
        row += csvField(field, QLatin1Char(','));
    }
    return row + QLatin1String("\r\n");
}

} // namespace

QString deviceJson(const DeviceRecord &record, const QString &before, const QString &after)
{
    return QLatin1Char('{') + (before.isEmpty() ? QString() : before + QLatin1String(", ")) +
           QLatin1String("\"serial\": ") +
           printableText(record.serialNumber, PrintableFor::JsonString) +
           QLatin1String(", \"ip\": ") + printableText(record.ipAddress, PrintableFor::JsonString) +
           QLatin1String(", \"mac\": ") +
           printableText(record.macAddress, PrintableFor::JsonString) +
           QLatin1String(", \"interface\": ") +
           printableText(record.interfaceName, PrintableFor::JsonString) +
           QLatin1String(", \"network\": ") +
           printableText(networkText(record), PrintableFor::JsonString) +
           (record.range.isEmpty()
                ? QString()
                : QString(QLatin1String(", \"range\": ") +
                          printableText(record.range, PrintableFor::JsonString))) +
           (after.isEmpty() ? QString() : QLatin1String(", ") + after) + QLatin1Char('}');
}

DeviceWriter::DeviceWriter(OutputFormat format, Target target)
    : format(format)
    , target(target)
    // A serial number, the longest dotted quad and a MAC text, as devices normally send them.
    , columnWidths{10, 15, 17}
{}

QString DeviceWriter::begin()
{
    switch (format) {
    case OutputFormat::Table:
        break;
    case OutputFormat::Csv:
        return csvRow({QStringLiteral("SERIAL"), QStringLiteral("IP"), QStringLiteral("MAC"),
                       QStringLiteral("INTERFACE")});
    case OutputFormat::Json:
        return QStringLiteral("[");
    case OutputFormat::JsonLines:
        break;
    }
    return {};
}

QString DeviceWriter::device(const DeviceRecord &record)
{
    ++written;
    switch (format) {
    case OutputFormat::Table:
        heldRows.append({printableText(record.serialNumber), printableText(record.ipAddress),
                         printableText(record.macAddress), printableText(record.interfaceName)});
        break;
    case OutputFormat::Csv: {
        QStringList fields{record.serialNumber, record.ipAddress, record.macAddress,
                           record.interfaceName};
        if (target == Target::Terminal) {
            for (QString &field : fields)
                field = printableText(field);
        }
        return csvRow(fields);
    }
    case OutputFormat::Json:
        return QLatin1String(written == 1 ? "\n  " : ",\n  ") + deviceJson(record);
    case OutputFormat::JsonLines:
        return deviceJson(record) + QLatin1Char('\n');
    }
    return {};
}

QString DeviceWriter::missing(const QString &serialNumber, const QString &ipAddress,
                              const QString &macAddress)
{
    QString object =
        QLatin1String("{\"serial\": ") + printableText(serialNumber, PrintableFor::JsonString);
    if (!ipAddress.isEmpty())
        object += QLatin1String(", \"ip\": ") + printableText(ipAddress, PrintableFor::JsonString);
    if (!macAddress.isEmpty())
        object +=
            QLatin1String(", \"mac\": ") + printableText(macAddress, PrintableFor::JsonString);
    object += QLatin1String(", \"missing\": true}");
    switch (format) {
    case OutputFormat::Json:
        return QLatin1String(++written == 1 ? "\n  " : ",\n  ") + object;
    case OutputFormat::JsonLines:
        return object + QLatin1Char('\n');
    case OutputFormat::Table:
    case OutputFormat::Csv:
        break;
    }
    return {};
}

QString DeviceWriter::searchEnded()
{
    if (heldRows.isEmpty())
        return {};
    for (const QStringList &row : std::as_const(heldRows)) {
        for (int column = 0; column < columnWidths.size(); ++column)
            columnWidths[column] = qMax(columnWidths.at(column), int(row.at(column).size()));
    }
    QString text;
    if (!headingWritten) {
        headingWritten = true;
        text += tableRow(tableHeading(), columnWidths);
    }
    for (const QStringList &row : std::as_const(heldRows))
        text += tableRow(row, columnWidths);
    heldRows.clear();
    return text;
}

QString DeviceWriter::end()
{
    switch (format) {
    case OutputFormat::Table: {
        const QString rows = searchEnded();
        return headingWritten ? rows : tableRow(tableHeading(), columnWidths);
    }
    case OutputFormat::Json:
        return QLatin1String(written == 0 ? "]\n" : "\n]\n");
    case OutputFormat::Csv:
    case OutputFormat::JsonLines:
        break;
    }
    return {};
}
