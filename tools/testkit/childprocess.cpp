#include "childprocess.h"

#include <QDeadlineTimer>
#include <QTest>

namespace {

constexpr int startTimeoutMs = 10000;

} // namespace

ChildProcess::ChildProcess(const QString &program, const QStringList &arguments)
{
    process.setProgram(program);
    process.setArguments(arguments);
    // The simulator reports on standard error; a child's output may come on either.
    process.setProcessChannelMode(QProcess::MergedChannels);
}

ChildProcess::~ChildProcess()
{
    stop();
}

void ChildProcess::stop()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

bool ChildProcess::start(const QString &readyPrefix, QString *error)
{
    process.start();
    if (!process.waitForStarted(startTimeoutMs)) {
        *error =
            QStringLiteral("%1 did not start: %2").arg(process.program(), process.errorString());
        return false;
    }
    const QDeadlineTimer deadline(startTimeoutMs);
    while (!readyPrefix.isEmpty() && linesStartingWith(readyPrefix).isEmpty()) {
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning) {
            *error = QStringLiteral("%1 %2 did not print \"%3\"; it printed: %4")
                         .arg(process.program(), process.arguments().join(QLatin1Char(' ')),
                              readyPrefix, collected.join(QLatin1String(" | ")));
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}

QStringList ChildProcess::lines()
{
    pending += process.readAllStandardOutput();
    for (int end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
        collected.append(QString::fromUtf8(pending.left(end)));
        pending.remove(0, end + 1);
    }
    return collected;
}

QStringList ChildProcess::linesStartingWith(const QString &prefix)
{
    QStringList result;
    const QStringList all = lines();
    for (const QString &line : all) {
        if (line.startsWith(prefix))
            result.append(line.mid(prefix.size()));
    }
    return result;
}

bool ChildProcess::isRunning() const
{
    return process.state() != QProcess::NotRunning;
}

qint64 ChildProcess::pid() const
{
    return process.processId();
}
