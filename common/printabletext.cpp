#include "printabletext.h"

namespace {

QString hexEscape(const char *prefix, uint value, int digits)
{
    return QLatin1String(prefix) + QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0'));
}

QString terminalEscape(ushort code)
{
    if (code < 0x20 || (code >= 0x7f && code <= 0x9f))
        return hexEscape("\\x", code, 2);
    if (code >= 0xff80)
        return hexEscape("\\x", code & 0xffu, 2);
    return QString();
}

QString jsonEscape(ushort code)
{
    switch (code) {
    case '"':
        return QStringLiteral("\\\"");
    case '\b':
        return QStringLiteral("\\b");
    case '\f':
        return QStringLiteral("\\f");
    case '\n':
        return QStringLiteral("\\n");
    case '\r':
        return QStringLiteral("\\r");
    case '\t':
        return QStringLiteral("\\t");
    default:
        // Surrogates go one by one: a pair gives the two escapes JSON expects.
        if (code < 0x20 || code >= 0x7f)
            return hexEscape("\\u", code, 4);
        return QString();
    }
}

} // namespace

QString printableText(const QString &text, PrintableFor target)
{
    const bool json = target == PrintableFor::JsonString;
    QString result;
    result.reserve(text.size() + 2);
    if (json)
        result += QLatin1Char('"');
    for (const QChar c : text) {
        const ushort code = c.unicode();
        const QString escape = code == '\\' ? QStringLiteral("\\\\")
                               : json       ? jsonEscape(code)
                                            : terminalEscape(code);
        if (escape.isEmpty())
            result += c;
        else
            result += escape;
    }
    if (json)
        result += QLatin1Char('"');
    return result;
}
