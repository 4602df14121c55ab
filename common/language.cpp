#include "language.h"

#include <QLocale>

namespace Language {

bool isPolish()
{
    return QLocale::system().language() == QLocale::Polish;
}

QString pick(const char *polish, const char *english)
{
    return QString::fromUtf8(isPolish() ? polish : english);
}

} // namespace Language
