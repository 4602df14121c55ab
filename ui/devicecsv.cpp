#include "devicecsv.h"

#include <QDate>

namespace DeviceCsv {

QChar separator(bool polish)
{
    return polish ? QLatin1Char(';') : QLatin1Char(',');
}

namespace {

QString guardFormula(const QString &text)
{
    if (text.isEmpty())
        return text;
    const QChar first = text.at(0);
    if (first == QLatin1Char('=') || first == QLatin1Char('+') || first == QLatin1Char('-') ||
        first == QLatin1Char('@') || first == QLatin1Char('\t') || first == QLatin1Char('\r'))
        return QLatin1Char('\'') + text;
    return text;
}

// A field of the clipboard line: no tab or line break may split it, no formula may run.
QString clipboardField(const QString &text)
{
    QString value = guardFormula(text);
    for (QChar &c : value) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return value;
}

} // namespace

QString field(const QString &text, QChar separator)
{
    QString value = guardFormula(text);
    const bool quote = value.contains(separator) || value.contains(QLatin1Char('"')) ||
                       value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'));
    if (!quote)
        return value;
    value.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + value + QLatin1Char('"');
}

QByteArray document(const QStringList &header, const QVector<QStringList> &rows, QChar separator)
{
    QString text;
    const auto appendLine = [&](const QStringList &fields) {
        for (int i = 0; i < fields.size(); ++i) {
            if (i > 0)
                text += separator;
            text += field(fields.at(i), separator);
        }
        text += QLatin1String("\r\n");
    };
    appendLine(header);
    for (const QStringList &row : rows)
        appendLine(row);
    return text.toUtf8();
}

QString clipboardRow(const QString &serialNumber, const QString &ipAddress,
                     const QString &macAddress)
{
    return clipboardField(serialNumber) + QLatin1Char('\t') + clipboardField(ipAddress) +
           QLatin1Char('\t') + clipboardField(macAddress);
}

QString suggestedFileName(const QDate &date)
{
    return QStringLiteral("ostrel-devices-%1.csv").arg(date.toString(QStringLiteral("yyyy-MM-dd")));
}

} // namespace DeviceCsv
