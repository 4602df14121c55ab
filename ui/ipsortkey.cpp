#include "ipsortkey.h"

#include <limits>
#include <QString>
#include <QStringView>

namespace {

// A group's value as QString::toInt() in base 10 gives it, 0 where that fails. Sorting calls
// this for every comparison, so plain ASCII digits are added up directly.
quint32 groupValue(QStringView group)
{
    constexpr qint64 limit = std::numeric_limits<int>::max();
    qint64 value = 0;
    for (const QChar c : group) {
        if (c.unicode() < '0' || c.unicode() > '9') {
            bool ok = false;
            const int converted = group.toInt(&ok, 10);
            return ok ? quint32(converted) : 0u;
        }
        value = value * 10 + (c.unicode() - '0');
        if (value > limit)
            return 0;
    }
    return quint32(value);
}

} // namespace

quint32 ipSortKey(const QString &text)
{
    quint32 key = 0;
    int group = 0;
    int start = 0;
    // Position text.size() closes the last group as if a separator stood there.
    for (int p = 0; p <= text.size() && group < 4; ++p) {
        if (p < text.size() && text.at(p).isDigit())
            continue;
        key = key * 256u + groupValue(QStringView(text).mid(start, p - start));
        start = p + 1;
        ++group;
    }
    // Texts with fewer than four groups leave the last ones empty, that is zero.
    for (; group < 4; ++group)
        key *= 256u;
    return key;
}
