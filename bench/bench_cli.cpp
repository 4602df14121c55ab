// ostrel-scout-cli against a burst of answers: the device simulator on a private LAN answers
// the request with 1000 devices at once, and the time runs from the request leaving the
// machine to the moment the program's 1000th line reaches this reader. The kernel hands every
// broadcast sent to a local socket bound to the broadcast address too, stamped with its time,
// which marks the request. Each of five runs starts the program afresh; the best run and the
// median are printed. Runs only where loopback is the sole network (scripts/isolated gives
// that); the LAN is a namespace of its own.
#include "loopbackonly.h"
#include "netlab.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSet>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int devices = 1000;
constexpr int runs = 5;
constexpr qint64 runLimitMs = 20000;
// A person sees the whole burst listed at once.
constexpr double targetMs = 250;

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "bench: %s\n", qPrintable(message));
    std::exit(2);
}

struct Run
{
    double firstLineMs = 0;
    double lastLineMs = 0;
};

qint64 realtimeNs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// A socket that receives the requests this machine broadcasts, with the kernel's time stamp.
int requestWatcher()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(44444);
    address.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) != 0 ||
        ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        fail(QStringLiteral("cannot watch for the broadcast request"));
    return fd;
}

// The time stamp of the request that left from the LAN's address, or -1.
qint64 requestSentNs(int watcher)
{
    qint64 result = -1;
    for (;;) {
        char data[64];
        char control[256];
        sockaddr_in from{};
        iovec vector{data, sizeof data};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &vector;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t size = ::recvmsg(watcher, &message, 0);
        if (size < 0)
            return result;
        char sender[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender);
        if (QByteArray(data, int(size)) != "OSTREL" ||
            QLatin1String(sender) != NetLab::hostAddress(1))
            continue;
        for (cmsghdr *header = CMSG_FIRSTHDR(&message); header;
             header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_TIMESTAMPNS) {
                timespec stamp{};
                std::memcpy(&stamp, CMSG_DATA(header), sizeof stamp);
                result = qint64(stamp.tv_sec) * 1000000000 + stamp.tv_nsec;
            }
        }
    }
}

Run runOnce(int watcher)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);

    qint64 firstLineNs = -1;
    qint64 lastLineNs = -1;
    QByteArray output;
    QObject::connect(&program, &QProcess::readyReadStandardOutput, [&] {
        output += program.readAllStandardOutput();
        const qint64 now = realtimeNs();
        const int lines = output.count('\n');
        if (lines > 0 && firstLineNs < 0)
            firstLineNs = now;
        if (lines >= devices && lastLineNs < 0)
            lastLineNs = now;
    });

    QElapsedTimer clock;
    clock.start();
    program.start(QStringLiteral(SCOUT_CLI),
                  {QStringLiteral("--format"), QStringLiteral("jsonl"), QStringLiteral("--count"),
                   QString::number(devices), QStringLiteral("--timeout"), QStringLiteral("10000")});
    while (program.state() != QProcess::NotRunning) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (clock.elapsed() > runLimitMs)
            fail(QStringLiteral("the program did not end"));
    }
    output += program.readAllStandardOutput();
    if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0)
        fail(QStringLiteral("the program ended with status %1").arg(program.exitCode()));

    // Every device printed, each once.
    const QList<QByteArray> lines = output.trimmed().split('\n');
    if (lines.size() != devices || QSet<QByteArray>(lines.begin(), lines.end()).size() != devices)
        fail(QStringLiteral("%1 lines printed, not %2 distinct devices")
                 .arg(lines.size())
                 .arg(devices));
    const qint64 requestNs = requestSentNs(watcher);
    if (requestNs < 0)
        fail(QStringLiteral("the request from the LAN's address was not seen"));
    return {(firstLineNs - requestNs) / 1e6, (lastLineNs - requestNs) / 1e6};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (!hasOnlyLoopback())
        fail(QStringLiteral("this machine has addresses beyond loopback; run through "
                            "scripts/isolated"));
    const QString reason = NetLab::unavailableReason();
    if (!reason.isEmpty())
        fail(QStringLiteral("needs private network namespaces, but ") + reason);

    QString error;
    if (!NetLab::enterNewNamespace(true, &error))
        fail(error);
    NetLab lab;
    if (!lab.addLan(&error))
        fail(error);
    ChildProcess *simulator = lab.startSimulator(
        1, {QStringLiteral("--log"), QStringLiteral("--devices"), QString::number(devices)},
        &error);
    if (!simulator)
        fail(error);

    const int watcher = requestWatcher();
    std::vector<Run> results;
    for (int i = 0; i < runs; ++i)
        results.push_back(runOnce(watcher));
    ::close(watcher);
    std::sort(results.begin(), results.end(),
              [](const Run &a, const Run &b) { return a.lastLineMs < b.lastLineMs; });
    const Run &best = results.front();
    const Run &median = results[results.size() / 2];

    const bool met = best.lastLineMs <= targetMs;
    std::printf("ostrel-scout-cli (Qt %s), burst of %d answers on a LAN, all %d printed (jsonl): "
                "request to last line %.1f ms (median %.1f ms), to first line %.1f ms; best of %d "
                "runs; target at most %.0f ms %s\n",
                qVersion(), devices, devices, best.lastLineMs, median.lastLineMs, best.firstLineMs,
                runs, targetMs, met ? "met" : "MISSED");
    return met ? 0 : 1;
}
