#include "verboselog.h"

#include <cstdio>
#include <QLoggingCategory>
#include <QString>

namespace {

QtMessageHandler defaultHandler = nullptr;
QLoggingCategory::CategoryFilter defaultFilter = nullptr;

bool isSearchLog(const char *category)
{
    return category && qstrcmp(category, "ostrel.discovery") == 0;
}

void verboseFilter(QLoggingCategory *category)
{
    defaultFilter(category);
    if (isSearchLog(category->categoryName())) {
        category->setEnabled(QtDebugMsg, true);
        category->setEnabled(QtInfoMsg, true);
    }
}

void verboseHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!isSearchLog(context.category)) {
        defaultHandler(type, context, message);
        return;
    }
    const QByteArray bytes =
        (QStringLiteral("ostrel-scout-cli: ") + message + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace

void installVerboseLog()
{
    defaultHandler = qInstallMessageHandler(verboseHandler);
    // Qt runs the new filter on every existing category inside installFilter(), before it
    // returns the old one: the default filter is fetched first (a null filter stands for it).
    defaultFilter = QLoggingCategory::installFilter(nullptr);
    QLoggingCategory::installFilter(verboseFilter);
}
