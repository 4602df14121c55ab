#include "netlab.h"

#include "childprocess.h"

#include <cerrno>
#include <cstring>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <sched.h>
#include <unistd.h>

namespace {

constexpr int commandTimeoutMs = 10000;

// ip lives in sbin, which an ordinary user's PATH may lack.
QString tool(const QString &name)
{
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(
            name,
            {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin")});
    return path;
}

QByteArray namespaceLink(const QByteArray &path)
{
    char target[128] = {};
    const ssize_t length = ::readlink(path.constData(), target, sizeof target - 1);
    return length > 0 ? QByteArray(target, int(length)) : QByteArray();
}

} // namespace

NetLab::NetLab() = default;

NetLab::~NetLab()
{
    while (!processes.empty())
        processes.pop_back();
    while (!holders.empty())
        holders.pop_back();
}

QString NetLab::unavailableReason()
{
    for (const char *name : {"ip", "nsenter", "unshare", "sleep"}) {
        if (tool(QLatin1String(name)).isEmpty())
            return QStringLiteral("the program %1 is missing").arg(QLatin1String(name));
    }
    QString error;
    if (!run(tool(QStringLiteral("unshare")), {QStringLiteral("-n"), QStringLiteral("true")},
             &error))
        return QStringLiteral("no permission to create network namespaces (run as root or "
                              "through scripts/isolated): ") +
               error;
    return {};
}

bool NetLab::enterNewNamespace(bool loopbackUp, QString *error)
{
    if (::unshare(CLONE_NEWNET) != 0) {
        *error = QStringLiteral("unshare(CLONE_NEWNET): %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (!loopbackUp)
        return true;
    return run(
        tool(QStringLiteral("ip")),
        {QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"), QStringLiteral("up")},
        error);
}

qint64 NetLab::newHolder(QString *error)
{
    auto holder = std::make_unique<ChildProcess>(tool(QStringLiteral("unshare")),
                                                 QStringList{QStringLiteral("-n"),
                                                             tool(QStringLiteral("sleep")),
                                                             QStringLiteral("infinity")});
    if (!holder->start(QString(), error))
        return 0;
    const qint64 pid = holder->pid();
    holders.push_back(std::move(holder));

    // The holder is ready once its namespace differs from this thread's.
    const QByteArray own = namespaceLink("/proc/thread-self/ns/net");
    const QByteArray peer = "/proc/" + QByteArray::number(pid) + "/ns/net";
    const QDeadlineTimer deadline(commandTimeoutMs);
    while (namespaceLink(peer) == own) {
        if (deadline.hasExpired()) {
            *error = QStringLiteral("a namespace did not appear");
            return 0;
        }
        QTest::qWait(5);
    }
    return pid;
}

bool NetLab::addLan(QString *error)
{
    const int lan = int(peerPids.size()) + 1;
    const qint64 pid = newHolder(error);
    if (pid == 0)
        return false;
    peerPids.push_back(pid);

    const QString ip = tool(QStringLiteral("ip"));
    const QString hostSide = QStringLiteral("lan%1h").arg(lan);
    const QString peerSide = QStringLiteral("lan%1p").arg(lan);
    const QString pidText = QString::number(pid);
    return run(ip,
               {QStringLiteral("link"), QStringLiteral("add"), hostSide, QStringLiteral("type"),
                QStringLiteral("veth"), QStringLiteral("peer"), QStringLiteral("name"), peerSide,
                QStringLiteral("netns"), pidText},
               error) &&
           run(ip,
               {QStringLiteral("addr"), QStringLiteral("add"),
                hostAddress(lan) + QLatin1String("/24"), QStringLiteral("dev"), hostSide},
               error) &&
           run(ip, {QStringLiteral("link"), QStringLiteral("set"), hostSide, QStringLiteral("up")},
               error) &&
           inPeer(lan,
                  {ip, QStringLiteral("addr"), QStringLiteral("add"),
                   peerAddress(lan) + QLatin1String("/24"), QStringLiteral("dev"), peerSide},
                  error) &&
           inPeer(
               lan,
               {ip, QStringLiteral("link"), QStringLiteral("set"), peerSide, QStringLiteral("up")},
               error) &&
           inPeer(lan,
                  {ip, QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"),
                   QStringLiteral("up")},
                  error);
}

bool NetLab::addNetworkBehind(int lan, QString *error)
{
    const int network = int(peerPids.size()) + 1;
    const qint64 pid = newHolder(error);
    if (pid == 0)
        return false;
    peerPids.push_back(pid);
    const QString ip = tool(QStringLiteral("ip"));
    const QString inside = QStringLiteral("net%1r").arg(network);
    const QString device = QStringLiteral("net%1d").arg(network);
    const QString prefix = QStringLiteral("10.0.%1.0/24").arg(network);
    return inPeer(lan,
                  {ip, QStringLiteral("link"), QStringLiteral("add"), inside,
                   QStringLiteral("type"), QStringLiteral("veth"), QStringLiteral("peer"),
                   QStringLiteral("name"), device, QStringLiteral("netns"), QString::number(pid)},
                  error) &&
           inPeer(lan,
                  {ip, QStringLiteral("addr"), QStringLiteral("add"),
                   hostAddress(network) + QLatin1String("/24"), QStringLiteral("dev"), inside},
                  error) &&
           inPeer(lan,
                  {ip, QStringLiteral("link"), QStringLiteral("set"), inside, QStringLiteral("up")},
                  error) &&
           inPeer(lan,
                  {tool(QStringLiteral("sh")), QStringLiteral("-c"),
                   QStringLiteral("echo 1 > /proc/sys/net/ipv4/ip_forward")},
                  error) &&
           inPeer(network,
                  {ip, QStringLiteral("addr"), QStringLiteral("add"),
                   peerAddress(network) + QLatin1String("/24"), QStringLiteral("dev"), device},
                  error) &&
           inPeer(network,
                  {ip, QStringLiteral("link"), QStringLiteral("set"), device, QStringLiteral("up")},
                  error) &&
           inPeer(network,
                  {ip, QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"),
                   QStringLiteral("up")},
                  error) &&
           inPeer(network,
                  {ip, QStringLiteral("route"), QStringLiteral("add"), QStringLiteral("default"),
                   QStringLiteral("via"), hostAddress(network)},
                  error) &&
           runIp({QStringLiteral("route"), QStringLiteral("add"), prefix, QStringLiteral("via"),
                  peerAddress(lan)},
                 error);
}

QString NetLab::hostAddress(int lan)
{
    return QStringLiteral("10.0.%1.1").arg(lan);
}

QString NetLab::peerAddress(int lan)
{
    return QStringLiteral("10.0.%1.2").arg(lan);
}

ChildProcess *NetLab::startSimulator(int lan, const QStringList &arguments, QString *error,
                                     const QString &readyPrefix)
{
    QStringList command{QStringLiteral("-t"), QString::number(peerPids.at(size_t(lan - 1))),
                        QStringLiteral("-n"), simulatorPath()};
    command += arguments;
    auto simulator = std::make_unique<ChildProcess>(tool(QStringLiteral("nsenter")), command);
    if (!simulator->start(readyPrefix, error))
        return nullptr;
    processes.push_back(std::move(simulator));
    return processes.back().get();
}

QString NetLab::simulatorPath()
{
    return QStringLiteral(SCOUT_DEVICE_SIM);
}

bool NetLab::runIp(const QStringList &arguments, QString *error)
{
    return run(tool(QStringLiteral("ip")), arguments, error);
}

bool NetLab::runIpInPeer(int lan, const QStringList &arguments, QString *error) const
{
    return inPeer(lan, QStringList{tool(QStringLiteral("ip"))} + arguments, error);
}

bool NetLab::run(const QString &program, const QStringList &arguments, QString *error)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(commandTimeoutMs);
    if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    const QString why = finished && process.exitStatus() == QProcess::NormalExit
                            ? QString::fromLocal8Bit(process.readAll()).trimmed()
                            : process.errorString();
    *error = QStringLiteral("%1 %2 failed: %3").arg(program, arguments.join(QLatin1Char(' ')), why);
    return false;
}

bool NetLab::inPeer(int lan, const QStringList &command, QString *error) const
{
    QStringList arguments{QStringLiteral("-t"), QString::number(peerPids.at(size_t(lan - 1))),
                          QStringLiteral("-n")};
    arguments += command;
    return run(tool(QStringLiteral("nsenter")), arguments, error);
}
