#include "devicelistfile.h"

#include <QHash>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

QString DeviceListError::text() const
{
    if (line == 0)
        return reason;
    return QCoreApplication::translate("DeviceList", "line %1: %2").arg(line).arg(reason);
}

namespace {

struct Reader
{
    QVector<ListedDevice> *devices;
    DeviceListError *error;
    QHash<QString, int> lineOfSerial;

    bool fail(int line, const QString &reason)
    {
        error->line = line;
        error->reason = reason;
        return false;
    }

    bool add(int line, const ListedDevice &device)
    {
        if (device.serialNumber.isEmpty())
            return fail(line, QCoreApplication::translate("DeviceList", "no serial number"));
        if (device.serialNumber.size() != 10)
            return fail(line, QCoreApplication::translate(
                                  "DeviceList", "the serial number \"%1\" is not 10 characters")
                                  .arg(device.serialNumber));
        if (!device.ipAddress.isEmpty() &&
            QHostAddress(device.ipAddress).protocol() != QAbstractSocket::IPv4Protocol)
            return fail(line,
                        QCoreApplication::translate("DeviceList", "\"%1\" is not an IPv4 address")
                            .arg(device.ipAddress));
        const int first = lineOfSerial.value(device.serialNumber);
        if (first > 0)
            return fail(
                line, QCoreApplication::translate("DeviceList", "%1 is listed already, on line %2")
                          .arg(device.serialNumber)
                          .arg(first));
        lineOfSerial.insert(device.serialNumber, line);
        devices->append(device);
        return true;
    }
};

// The apostrophe that the window and the finder put before a field a spreadsheet would run.
QString unguarded(const QString &field)
{
    if (field.size() < 2 || field.at(0) != QLatin1Char('\''))
        return field;
    const QChar next = field.at(1);
    if (next == QLatin1Char('=') || next == QLatin1Char('+') || next == QLatin1Char('-') ||
        next == QLatin1Char('@') || next == QLatin1Char('\t') || next == QLatin1Char('\r'))
        return field.mid(1);
    return field;
}

// The header's columns: serial number, IP and MAC, and the finder's interface.
bool knownHeader(const QStringList &fields)
{
    if (fields.size() != 3 && fields.size() != 4)
        return false;
    static const QStringList serialNames{QStringLiteral("serial number"),
                                         QStringLiteral("numer seryjny"), QStringLiteral("serial")};
    return serialNames.contains(fields.at(0).trimmed().toLower()) &&
           fields.at(1).trimmed().compare(QLatin1String("ip"), Qt::CaseInsensitive) == 0 &&
           fields.at(2).trimmed().compare(QLatin1String("mac"), Qt::CaseInsensitive) == 0 &&
           (fields.size() == 3 ||
            fields.at(3).trimmed().compare(QLatin1String("interface"), Qt::CaseInsensitive) == 0);
}

// RFC 4180 records; a quoted field may hold separators, doubled quotes and line breaks. line is
// where the record starts; afterwards where the next one does.
bool csvRecord(const QString &text, int *position, int *line, QChar separator, QStringList *fields,
               Reader *reader)
{
    fields->clear();
    QString field;
    bool quoted = false;
    bool closed = false;
    int at = *position;
    const int start = *line;
    for (; at < text.size(); ++at) {
        const QChar c = text.at(at);
        if (quoted && !closed) {
            if (c == QLatin1Char('"')) {
                if (at + 1 < text.size() && text.at(at + 1) == QLatin1Char('"'))
                    field += text.at(++at);
                else
                    closed = true;
            } else {
                if (c == QLatin1Char('\n'))
                    ++*line;
                field += c;
            }
            continue;
        }
        if (c == separator) {
            fields->append(field);
            field.clear();
            quoted = closed = false;
        } else if (c == QLatin1Char('\n') || (c == QLatin1Char('\r') && at + 1 < text.size() &&
                                              text.at(at + 1) == QLatin1Char('\n'))) {
            at += c == QLatin1Char('\r') ? 2 : 1;
            break;
        } else if (closed) {
            return reader->fail(
                *line, QCoreApplication::translate("DeviceList",
                                                   "text after the closing quote of a field"));
        } else if (c == QLatin1Char('"')) {
            if (!field.isEmpty())
                return reader->fail(*line, QCoreApplication::translate(
                                               "DeviceList", "a quote inside an unquoted field"));
            quoted = true;
        } else {
            field += c;
        }
    }
    if (quoted && !closed)
        return reader->fail(
            start, QCoreApplication::translate("DeviceList", "a quoted field is not closed"));
    fields->append(field);
    *position = at;
    ++*line;
    return true;
}

bool readCsv(const QString &text, Reader *reader)
{
    const int headerEnd = int(text.indexOf(QLatin1Char('\n')));
    const QString headerLine = text.left(headerEnd).remove(QLatin1Char('\r'));
    QChar separator;
    for (const QChar candidate : {QLatin1Char(','), QLatin1Char(';')}) {
        if (knownHeader(headerLine.split(candidate)))
            separator = candidate;
    }
    if (separator.isNull())
        return reader->fail(1, QCoreApplication::translate(
                                   "DeviceList", "not a list of devices: the first line does not "
                                                 "name the columns serial number, IP and MAC"));
    const int columns = int(headerLine.split(separator).size());
    int position = headerEnd < 0 ? int(text.size()) : headerEnd + 1;
    int line = 2;
    QStringList fields;
    while (position < text.size()) {
        const int start = line;
        if (!csvRecord(text, &position, &line, separator, &fields, reader))
            return false;
        // Blank lines, as an editor may leave at the end, hold no device.
        if (fields.size() == 1 && fields.first().trimmed().isEmpty())
            continue;
        if (fields.size() != columns)
            return reader->fail(start, QCoreApplication::translate(
                                           "DeviceList", "%1 fields where the header has %2")
                                           .arg(fields.size())
                                           .arg(columns));
        if (!reader->add(
                start, {unguarded(fields.at(0)), unguarded(fields.at(1)), unguarded(fields.at(2))}))
            return false;
    }
    return true;
}

int lineAt(const QByteArray &content, int offset)
{
    return int(content.left(offset).count('\n')) + 1;
}

bool jsonDevice(const QJsonValue &value, int line, Reader *reader)
{
    if (!value.isObject())
        return reader->fail(line, QCoreApplication::translate("DeviceList", "not a JSON object"));
    const QJsonObject object = value.toObject();
    ListedDevice device;
    const std::pair<const char *, QString *> keys[] = {
        {"serial", &device.serialNumber}, {"ip", &device.ipAddress}, {"mac", &device.macAddress}};
    for (const auto &[key, target] : keys) {
        const QJsonValue field = object.value(QLatin1String(key));
        if (field.isUndefined())
            continue;
        if (!field.isString())
            return reader->fail(line,
                                QCoreApplication::translate("DeviceList", "\"%1\" is not a text")
                                    .arg(QLatin1String(key)));
        *target = field.toString();
    }
    return reader->add(line, device);
}

// Where each element of the array that the document is starts: the finder writes one a line.
QVector<int> elementOffsets(const QByteArray &content)
{
    QVector<int> offsets;
    int depth = 0;
    bool inString = false;
    bool awaiting = false;
    for (int at = 0; at < content.size(); ++at) {
        const char c = content.at(at);
        if (inString) {
            if (c == '\\')
                ++at;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (depth == 1 && awaiting && c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != ']') {
            offsets.append(at);
            awaiting = false;
        }
        if (c == '"')
            inString = true;
        else if (c == '[' || c == '{')
            awaiting = ++depth == 1;
        else if (c == ']' || c == '}')
            --depth;
        else if (c == ',' && depth == 1)
            awaiting = true;
    }
    return offsets;
}

bool readJsonArray(const QByteArray &content, Reader *reader)
{
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(content, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return reader->fail(lineAt(content, parseError.offset),
                            QCoreApplication::translate("DeviceList", "not valid JSON: %1")
                                .arg(parseError.errorString()));
    const QJsonArray array = document.array();
    const QVector<int> offsets = elementOffsets(content);
    for (int i = 0; i < array.size(); ++i) {
        if (!jsonDevice(array.at(i), lineAt(content, offsets.value(i)), reader))
            return false;
    }
    return true;
}

bool readJsonLines(const QByteArray &content, Reader *reader)
{
    const QList<QByteArray> lines = content.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        if (lines.at(i).trimmed().isEmpty())
            continue;
        QJsonParseError parseError{};
        const QJsonDocument document = QJsonDocument::fromJson(lines.at(i), &parseError);
        if (parseError.error != QJsonParseError::NoError)
            return reader->fail(i + 1,
                                QCoreApplication::translate("DeviceList", "not valid JSON: %1")
                                    .arg(parseError.errorString()));
        if (!jsonDevice(document.isObject() ? QJsonValue(document.object()) : QJsonValue(), i + 1,
                        reader))
            return false;
    }
    return true;
}

} // namespace

bool readDeviceList(const QByteArray &content, QVector<ListedDevice> *devices,
                    DeviceListError *error)
{
    devices->clear();
    *error = DeviceListError();
    Reader reader{devices, error, {}};
    // Spreadsheets save UTF-8 with a byte order mark.
    const QByteArray bytes = content.startsWith("\xef\xbb\xbf") ? content.mid(3) : content;
    const QByteArray start = bytes.trimmed().left(1);
    bool ok = false;
    if (start.isEmpty())
        ok = reader.fail(0, QCoreApplication::translate("DeviceList", "the file is empty"));
    else if (start == "[")
        ok = readJsonArray(bytes, &reader);
    else if (start == "{")
        ok = readJsonLines(bytes, &reader);
    else
        ok = readCsv(QString::fromUtf8(bytes), &reader);
    if (!ok)
        devices->clear();
    return ok;
}
