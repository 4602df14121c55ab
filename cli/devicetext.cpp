#include "devicetext.h"

namespace {

QString hexEscape(const char *prefix, uint value, int digits)
{
    return QLatin1String(prefix) + QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0'));
}

} // namespace

QString jsonString(const QString &text)
{
    QString result;
    result.reserve(text.size() + 2);
    result += QLatin1Char('"');
    for (const QChar c : text) {
        const ushort code = c.unicode();
        switch (code) {
        case '"':
            result += QLatin1String("\\\"");
            break;
        case '\\':
            result += QLatin1String("\\\\");
            break;
        case '\b':
            result += QLatin1String("\\b");
            break;
        case '\f':
            result += QLatin1String("\\f");
            break;
        case '\n':
            result += QLatin1String("\\n");
            break;
        case '\r':
            result += QLatin1String("\\r");
            break;
        case '\t':
            result += QLatin1String("\\t");
            break;
        default:
            // Surrogates go one by one: a pair gives the two escapes JSON expects.
            if (code < 0x20 || code >= 0x7f)
                result += hexEscape("\\u", code, 4);
            else
                result += c;
        }
    }
    result += QLatin1Char('"');
    return result;
}
