#include "firewallcheck.h"

#include <memory>
#include <optional>
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

FirewallLookup firewallLookedForOnce(const QString &root)
{
    auto seen = std::make_shared<std::optional<FirewallState>>();
    return [seen, root] {
        if (!*seen)
            *seen = activeFirewall(root);
        return **seen;
    };
}
