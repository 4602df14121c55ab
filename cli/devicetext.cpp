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

QString terminalText(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        const ushort code = c.unicode();
        if (code == '\\')
            result += QLatin1String("\\\\");
        else if (code < 0x20 || (code >= 0x7f && code <= 0x9f))
            result += hexEscape("\\x", code, 2);
        else if (code >= 0xff80)
            result += hexEscape("\\x", code & 0xffu, 2);
        else
            result += c;
    }
    return result;
}
