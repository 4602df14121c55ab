#pragma once

#include <QString>

// The IP column's key rule read literally, for checking the fast one: four groups split at
// non-digits, each converted by QString::toInt() in base 10, 0 where that fails.
inline quint32 literalIpKey(const QString &text)
{
    QString groups[4];
    int j = 0;
    for (int p = 0; j < 4; ++p) {
        if (p < text.size() && text.at(p).isDigit())
            groups[j] += text.at(p);
        else
            ++j;
    }
    quint32 key = 0;
    for (const QString &group : groups) {
        bool ok = false;
        const int value = group.toInt(&ok, 10);
        key = key * 256u + (ok ? quint32(value) : 0u);
    }
    return key;
}
