#include "terminaltext.h"

namespace {

QString byteEscape(uint value)
{
    return QStringLiteral("\\x%1").arg(value, 2, 16, QLatin1Char('0'));
}

} // namespace

QString terminalText(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        const ushort code = c.unicode();
        if (code == '\\')
            result += QLatin1String("\\\\");
        else if (code < 0x20 || (code >= 0x7f && code <= 0x9f))
            result += byteEscape(code);
        else if (code >= 0xff80)
            result += byteEscape(code & 0xffu);
        else
            result += c;
    }
    return result;
}
