#include "csvfield.h"

QString csvField(const QString &text, QChar separator)
{
    QString field = guardFormula(text);
    const bool quoted = field.contains(separator) || field.contains(QLatin1Char('"')) ||
                        field.contains(QLatin1Char('\r')) || field.contains(QLatin1Char('\n'));
    if (!quoted)
        return field;
    field.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + field + QLatin1Char('"');
}

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
