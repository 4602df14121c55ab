// How fast the broadcaster takes in answers on loopback, against a bare recvfrom loop measured
// in the same run. Each round fills a socket's receive queue with answers, then times how long
// the receiver needs to empty it, so only the receiving side is measured. Runs only where
// loopback is the sole network (scripts/isolated gives that), since the broadcaster sends a
// real discovery request from every local address.
#include "deviceanswer.h"
#include "discoverydatagram.h"
#include "loopbackonly.h"
#include "processormodel.h"
#include "udpbroadcaster.h"
#include "udpcounters.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <netinet/in.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QUdpSocket>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr quint16 rawPort = discoveryPort + 1;
constexpr quint64 answersPerCase = 200000;
constexpr int requestedBufferBytes = 1024 * 1024;
// Every broadcaster case must end inside one receive window of 5000 ms.
constexpr qint64 caseLimitMs = 4500;
constexpr qint64 settleMs = 300;

[[noreturn]] void fail(const char *message)
{
    std::fprintf(stderr, "bench: %s\n", message);
    std::exit(2);
}

// CPU time of this thread: on a shared machine, time spent waiting for a core is not the
// receiver's cost. Draining never blocks, so the receiver is on the CPU the whole time.
qint64 cpuNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

UdpCounters udpCounters()
{
    UdpCounters counters;
    if (!counters.read())
        fail("cannot read the UDP counters in /proc/self/net/snmp");
    return counters;
}

sockaddr_in loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int udpSocket(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(port);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        fail("cannot bind a loopback UDP socket");
    return fd;
}

struct Measurement
{
    quint64 answers = 0;
    quint64 dropped = 0;
    qint64 nanoseconds = 0;

    double perSecond() const { return nanoseconds > 0 ? answers * 1e9 / nanoseconds : 0; }
};

// Sends count answers (answer n made by answerFor) in rounds of fill, and after each
// round runs drain, which must empty the receiving queue; only drain is timed.
class Ingest
{
public:
    explicit Ingest(int fill)
        : fill(fill)
        , sender(udpSocket(0))
    {}
    ~Ingest() { ::close(sender); }

    Measurement run(quint16 port, quint64 count,
                    const std::function<QByteArray(quint64)> &answerFor,
                    const std::function<void()> &drain) const
    {
        const sockaddr_in target = loopback(port);
        const UdpCounters before = udpCounters();
        Measurement result;
        for (quint64 sent = 0; sent < count;) {
            const quint64 round = qMin<quint64>(fill, count - sent);
            for (quint64 i = 0; i < round; ++i, ++sent) {
                const QByteArray answer = answerFor(sent);
                ::sendto(sender, answer.constData(), size_t(answer.size()), 0,
                         reinterpret_cast<const sockaddr *>(&target), sizeof target);
            }
            const qint64 start = cpuNanoseconds();
            drain();
            result.nanoseconds += cpuNanoseconds() - start;
        }
        const UdpCounters after = udpCounters();
        result.answers = after.delivered - before.delivered;
        result.dropped = after.dropped - before.dropped;
        return result;
    }

    const int fill;

private:
    const int sender;
};

QByteArray distinctAnswer(quint64 n)
{
    const auto index = static_cast<quint32>(n);
    return makeAnswer(generatedSerial(index), generatedMac(index));
}

// How many answers one receive queue holds, so that rounds never overflow it.
int queueCapacity(int fd)
{
    const sockaddr_in target = loopback(rawPort);
    const int sender = udpSocket(0);
    const QByteArray answer = distinctAnswer(0);
    for (int i = 0; i < 20000; ++i)
        ::sendto(sender, answer.constData(), size_t(answer.size()), 0,
                 reinterpret_cast<const sockaddr *>(&target), sizeof target);
    ::close(sender);
    int held = 0;
    char buffer[discoveryAnswerSize + 1];
    while (::recv(fd, buffer, sizeof buffer, 0) >= 0)
        ++held;
    return held;
}

void drainRaw(int fd)
{
    char buffer[discoveryAnswerSize + 1];
    sockaddr_in from{};
    socklen_t length = sizeof from;
    while (::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from), &length) >=
           0)
        length = sizeof from;
}

class BroadcasterCase
{
public:
    BroadcasterCase(UDPBroadcaster &broadcaster, QUdpSocket &socket, const Ingest &ingest)
        : broadcaster(broadcaster)
        , socket(socket)
        , ingest(ingest)
    {}

    // A new search with listed devices already in the list, then count answers by answerFor.
    Measurement run(quint64 listed, quint64 count,
                    const std::function<QByteArray(quint64)> &answerFor)
    {
        broadcaster.sendBroadcast();
        started.start();
        // The previous case's list is let go of a slice per event-loop pass; that belongs to
        // the search that ended (the soak benchmark measures it), not to this case's reading.
        QElapsedTimer settling;
        settling.start();
        while (settling.elapsed() < settleMs)
            QCoreApplication::processEvents();
        drain();
        if (listed > 0)
            ingest.run(discoveryPort, listed, distinctAnswer, [this] { drain(); });
        if (quint64(broadcaster.deviceCount()) != listed)
            fail("the broadcaster did not list every distinct answer");
        const Measurement result = ingest.run(discoveryPort, count, answerFor, [this] { drain(); });
        if (started.elapsed() > caseLimitMs)
            fail("a case took longer than one receive window; lower answersPerCase");
        return result;
    }

private:
    void drain()
    {
        do {
            QCoreApplication::processEvents();
            if (started.elapsed() > caseLimitMs)
                fail("the receive window closed before the answers were read");
        } while (socket.hasPendingDatagrams());
    }

    UDPBroadcaster &broadcaster;
    QUdpSocket &socket;
    const Ingest &ingest;
    QElapsedTimer started;
};

struct Case
{
    const char *name;
    quint64 listed;
};

// The raw loop first, as the ceiling; then the broadcaster, accepting and rejecting.
constexpr Case cases[] = {
    {"raw recvfrom loop", 0},         {"accepted (distinct serials)", 0},
    {"rejected (duplicates)", 10},    {"rejected (duplicates)", 1000},
    {"rejected (duplicates)", 50000},
};
constexpr int caseCount = sizeof cases / sizeof cases[0];
constexpr int repeats = 5;

void printRow(const char *name, quint64 listed, const Measurement &best, const Measurement &median,
              double rawRate)
{
    const QByteArray listedText = listed > 0 ? QByteArray::number(listed) : QByteArrayLiteral("-");
    std::printf("%-28s %6s %8llu %8.3f s %11.0f %11.0f %7.2f\n", name, listedText.constData(),
                static_cast<unsigned long long>(best.answers), best.nanoseconds / 1e9,
                best.perSecond(), median.perSecond(), best.perSecond() / rawRate);
    if (best.dropped > 0)
        std::printf("%-28s (%llu answers dropped by the kernel: queue overflow)\n", "",
                    static_cast<unsigned long long>(best.dropped));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!hasOnlyLoopback())
        fail("this machine has addresses beyond loopback; run through scripts/isolated");

    UDPBroadcaster broadcaster;
    const QList<QUdpSocket *> sockets = broadcaster.findChildren<QUdpSocket *>();
    if (sockets.size() != 1 || sockets.first()->state() != QAbstractSocket::BoundState)
        fail("expected exactly one bound socket, on 127.0.0.1 (is loopback up?)");
    QUdpSocket &socket = *sockets.first();
    const int granted = socket.socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();

    const int raw = udpSocket(rawPort);
    ::setsockopt(raw, SOL_SOCKET, SO_RCVBUF, &requestedBufferBytes, sizeof requestedBufferBytes);
    const Ingest ingest(queueCapacity(raw) * 3 / 4);
    if (ingest.fill < 16)
        fail("the receive queue holds too few answers to measure");

    // The cases take turns, and each is judged by its fastest run: on a shared machine the
    // slower runs also measure the neighbours. The median shows how much that mattered.
    std::vector<Measurement> runs[caseCount];
    BroadcasterCase broadcasterCase(broadcaster, socket, ingest);
    for (int repeat = 0; repeat < repeats; ++repeat) {
        for (int i = 0; i < caseCount; ++i) {
            const quint64 listed = cases[i].listed;
            if (i == 0) {
                runs[i].push_back(
                    ingest.run(rawPort, answersPerCase, distinctAnswer, [raw] { drainRaw(raw); }));
            } else if (listed == 0) {
                runs[i].push_back(broadcasterCase.run(0, answersPerCase, distinctAnswer));
                if (quint64(broadcaster.deviceCount()) != runs[i].back().answers)
                    fail("a distinct answer was not listed");
            } else {
                runs[i].push_back(broadcasterCase.run(listed, answersPerCase, [listed](quint64 n) {
                    return distinctAnswer(n % listed);
                }));
                if (quint64(broadcaster.deviceCount()) != listed)
                    fail("a duplicate answer was listed");
            }
        }
    }
    Measurement best[caseCount];
    Measurement median[caseCount];
    for (int i = 0; i < caseCount; ++i) {
        std::sort(runs[i].begin(), runs[i].end(), [](const Measurement &a, const Measurement &b) {
            return a.nanoseconds < b.nanoseconds;
        });
        best[i] = runs[i].front();
        median[i] = runs[i][runs[i].size() / 2];
    }
    ::close(raw);

    std::printf(
        "Discovery ingest on loopback: receive buffer granted %d bytes (asked %d), "
        "%d answers per round.\nProcessor: %s; Qt %s\nTime: CPU time of the receiving thread "
        "while it empties its queue, best of %d runs.\n\n",
        granted, requestedBufferBytes, ingest.fill, processorModel().constData(), qVersion(),
        repeats);
    std::printf("%-28s %6s %8s %10s %11s %11s %7s\n", "case", "listed", "answers", "time",
                "answers/s", "median/s", "vs raw");
    const double rawRate = best[0].perSecond();
    for (int i = 0; i < caseCount; ++i)
        printRow(cases[i].name, cases[i].listed, best[i], median[i], rawRate);

    const double acceptedShare = best[1].perSecond() / rawRate;
    const double rejectionSlowdown = best[2].perSecond() / best[4].perSecond();
    const bool acceptedMet = acceptedShare >= 0.5;
    const bool rejectionMet = rejectionSlowdown <= 2.0;
    std::printf("\ntargets:\n");
    std::printf("  accepted rate / raw rate              %5.2f  (at least 0.50)  %s\n",
                acceptedShare, acceptedMet ? "met" : "MISSED");
    std::printf("  rejection time, 50000 / 10 listed     %5.2f  (at most 2.00)   %s\n",
                rejectionSlowdown, rejectionMet ? "met" : "MISSED");
    return acceptedMet && rejectionMet ? 0 : 1;
}
