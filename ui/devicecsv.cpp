#include "devicecsv.h"

#include "csvfield.h"

#include <QDate>

namespace DeviceCsv {

QChar separator(bool polish)
{
    return polish ? QLatin1Char(';') : QLatin1Char(',');
}

namespace {

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

QByteArray document(const QStringList &header, const QVector<QStringList> &rows, QChar separator)
{
    QString text;
    const auto appendLine = [&](const QStringList &fields) {
        for (int i = 0; i < fields.size(); ++i) {
            if (i > 0)
                text += separator;
            text += csvField(fields.at(i), separator);
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
