#include "devicewriter.h"

#include "csvfield.h"
#include "devicerecord.h"
#include "devicetext.h"

namespace {

// The widths of a serial number, the longest dotted quad and a MAC text; a longer text (an
// escaped one) pushes the rest of its row along.
constexpr int serialWidth = 10;
constexpr int ipWidth = 15;
constexpr int macWidth = 17;
const QLatin1String gap("  ");

QString tableRow(const QString &serial, const QString &ip, const QString &mac,
                 const QString &interface)
{
    return serial.leftJustified(serialWidth) + gap + ip.leftJustified(ipWidth) + gap +
           mac.leftJustified(macWidth) + gap + interface + QLatin1Char('\n');
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

QString jsonObject(const DeviceRecord &record)
{
    return QLatin1String("{\"serial\": ") + jsonString(record.serialNumber) +
           QLatin1String(", \"ip\": ") + jsonString(record.ipAddress) +
           QLatin1String(", \"mac\": ") + jsonString(record.macAddress) +
           QLatin1String(", \"interface\": ") + jsonString(record.interfaceName) +
           QLatin1String(", \"network\": ") + jsonString(networkText(record)) + QLatin1Char('}');
}

} // namespace

DeviceWriter::DeviceWriter(OutputFormat format)
    : format(format)
{}

QString DeviceWriter::begin()
{
    switch (format) {
    case OutputFormat::Table:
        return tableRow(QStringLiteral("SERIAL"), QStringLiteral("IP"), QStringLiteral("MAC"),
                        QStringLiteral("INTERFACE"));
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
        return tableRow(terminalText(record.serialNumber), terminalText(record.ipAddress),
                        terminalText(record.macAddress), terminalText(record.interfaceName));
    case OutputFormat::Csv:
        return csvRow(
            {record.serialNumber, record.ipAddress, record.macAddress, record.interfaceName});
    case OutputFormat::Json:
        return QLatin1String(written == 1 ? "\n  " : ",\n  ") + jsonObject(record);
    case OutputFormat::JsonLines:
        return jsonObject(record) + QLatin1Char('\n');
    }
    return {};
}

QString DeviceWriter::end()
{
    if (format == OutputFormat::Json)
        return QLatin1String(written == 0 ? "]\n" : "\n]\n");
    return {};
}
