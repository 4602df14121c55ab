#include "firewallcheck.h"

#include "searchverdict.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

bool ufwEnabled(const QDir &root)
{
    QFile conf(root.filePath(QStringLiteral("etc/ufw/ufw.conf")));
    if (!conf.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    // The file is small; a larger one is not ufw's.
    constexpr qint64 maxSize = qint64(64) * 1024;
    const QString text = QString::fromUtf8(conf.read(maxSize));
    static const QRegularExpression enabled(
        QStringLiteral("^\\s*ENABLED\\s*=\\s*[\"']?yes[\"']?\\s*$"),
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    return enabled.match(text).hasMatch();
}

// firewalld runs without a PID file under systemd, so look for its process by name.
bool firewalldRunning(const QDir &root)
{
    const QDir proc(root.filePath(QStringLiteral("proc")));
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        entry.toUInt(&number);
        if (!number)
            continue;
        QFile comm(proc.filePath(entry + QLatin1String("/comm")));
        if (comm.open(QIODevice::ReadOnly) && comm.read(64).trimmed() == "firewalld")
            return true;
    }
    return false;
}

} // namespace

FirewallState activeFirewall(const QString &root)
{
    const QDir dir(root);
    if (ufwEnabled(dir))
        return {QStringLiteral("ufw"), QStringLiteral("ufw allow ostrel-scout")};
    if (firewalldRunning(dir))
        return {QStringLiteral("firewalld"),
                QStringLiteral("firewall-cmd --add-service=ostrel-scout")};
    return {};
}

bool firewallCouldExplain(const SearchReport &report, int deviceCount)
{
    return deviceCount == 0 && !SearchVerdict(report).nothingSent() && !report.noNetwork() &&
           report.unreadableCount() == 0 && report.lateDevices == 0;
}

FirewallState firewallToBlame(const SearchReport &report, int deviceCount, const QString &root)
{
    // Looking reads files and processes: only when the answer could matter.
    if (!firewallCouldExplain(report, deviceCount))
        return {};
    return activeFirewall(root);
}
