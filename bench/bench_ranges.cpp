// Searching address ranges: what sending the request to every address of a range costs.
// (1) CPU time of sending to 65 536 addresses without a rate limit, against a bare loop
// of sendto() of the same datagrams in the same run (best of five each; target: at most
// twice). (2) The longest stall of the main window's event loop while a /16 goes out at the
// default rate, from "Search other networks…" on (a 10 ms timer's longest gap, for the first
// 8 seconds, 16 000 requests; the work per batch stays the same to the end; target: at most
// 50 ms of the window's own CPU time). (3) The heap a /16 search holds above the same search
// without ranges (target: at most 1 MiB). (4) Paced sending at the default rate for 4 s: its
// CPU time against the search of as many addresses without a rate limit (target: at most
// twice; a bare sendto() loop of as many datagrams is shown beside), and the
// times the thread slept and woke (target: at most 110 a second). (5) A /16 at 1 000 a second
// whose event loop stalls for 3 s, as a stopped process or a suspended laptop would: the most
// requests that left within any 100 ms after it, as a capture on the link sees them (target:
// at most 110).
//
// The requests go to 10.77.0.0/16, routed to a peer namespace that drops them: run it inside
// a private network namespace (make bench does).
#include "devicesearch.h"
#include "mainwindow.h"
#include "netlab.h"
#include "processormodel.h"
#include "rangedialog.h"
#include "stallmeter.h"
#include "threadcputime.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <linux/if_packet.h>
#include <malloc.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int rounds = 5;
constexpr quint32 firstAddress = 0x0a4d0000; // 10.77.0.0
constexpr quint32 addressCount = 65536;
constexpr int stallSeconds = 8;
constexpr int pacedSeconds = 4;
constexpr int stalledRate = 1000;

// The first count addresses of 10.77.0.0/16, all of it by default.
QVector<AddressRange> wholeRange(quint32 count = addressCount)
{
    QString error;
    return parseAddressRanges(
        QStringLiteral("10.77.0.0-") + QHostAddress(firstAddress + count - 1).toString(), &error);
}

// The same 6 bytes to the same addresses, from a socket on the same local address.
double bareSendCpuMs(quint32 count = addressCount)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(0x0a000101); // 10.0.1.1
    ::bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(44444);
    const double before = threadCpuMs();
    for (quint32 n = 0; n < count; ++n) {
        target.sin_addr.s_addr = htonl(firstAddress + n);
        ::sendto(fd, "OSTREL", 6, 0, reinterpret_cast<const sockaddr *>(&target), sizeof target);
    }
    const double spent = threadCpuMs() - before;
    ::close(fd);
    return spent;
}

bool rangesFinished(const DeviceSearch &search)
{
    return !search.report().ranges.isEmpty() && search.report().ranges.constFirst().finished();
}

// One search of the range without a rate limit, until its last request went out.
double searchSendCpuMs(DeviceSearch &search, quint32 *sent)
{
    const double before = threadCpuMs();
    search.start();
    while (!rangesFinished(search))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double spent = threadCpuMs() - before;
    *sent = search.report().ranges.constFirst().sent;
    search.stop();
    return spent;
}

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

// The most heap a search holds above what was in use before it started, in KiB.
double searchHeapKiB(DeviceSearch &search)
{
    QCoreApplication::processEvents();
    const size_t before = heapInUse();
    size_t most = before;
    const QMetaObject::Connection sample = QObject::connect(
        &search, &DeviceSearch::reportChanged, [&] { most = std::max(most, heapInUse()); });
    search.start();
    most = std::max(most, heapInUse());
    QElapsedTimer clock;
    clock.start();
    while ((!search.ranges().isEmpty() && !rangesFinished(search)) || clock.elapsed() < 200) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        most = std::max(most, heapInUse());
    }
    QObject::disconnect(sample);
    search.stop();
    return double(most - before) / 1024.0;
}

long sleepsOfThread()
{
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

quint32 rangeSent(const DeviceSearch &search)
{
    return search.report().ranges.isEmpty() ? 0 : search.report().ranges.constFirst().sent;
}

struct Paced
{
    double cpuMs = 0;
    quint32 sent = 0;
    double wakeupsPerSecond = 0;
};

// The event loop alone, woken every 10 ms for as long: what the wake-ups of paced sending cost
// before it sends anything.
double idleTicksCpuMs()
{
    DeviceSearch search;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.start(10);
    const double before = threadCpuMs();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < pacedSeconds * 1000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return threadCpuMs() - before;
}

// A /16 at the default rate for a few seconds.
Paced pacedSend()
{
    DeviceSearch search;
    search.setRanges(wholeRange());
    search.setBroadcast(false);
    const long sleepsBefore = sleepsOfThread();
    const double before = threadCpuMs();
    QElapsedTimer clock;
    clock.start();
    search.start();
    while (clock.elapsed() < pacedSeconds * 1000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    Paced paced;
    paced.cpuMs = threadCpuMs() - before;
    paced.wakeupsPerSecond =
        double(sleepsOfThread() - sleepsBefore) * 1000.0 / double(clock.elapsed());
    paced.sent = rangeSent(search);
    search.stop();
    return paced;
}

// The times requests left through a link, as the kernel stamped them.
class LinkCapture
{
public:
    explicit LinkCapture(const char *link)
        // Only a socket for every protocol sees what this computer sends.
        : descriptor(::socket(AF_PACKET, SOCK_DGRAM | SOCK_NONBLOCK, htons(ETH_P_ALL)))
    {
        const int on = 1;
        ::setsockopt(descriptor, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        sockaddr_ll address{};
        address.sll_family = AF_PACKET;
        address.sll_protocol = htons(ETH_P_ALL);
        address.sll_ifindex = int(if_nametoindex(link));
        ::bind(descriptor, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    }
    ~LinkCapture() { ::close(descriptor); }
    LinkCapture(const LinkCapture &) = delete;
    LinkCapture &operator=(const LinkCapture &) = delete;

    // Reads what came since the last call; read often, the socket's buffer is small.
    void take()
    {
        char packet[64];
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
        for (;;) {
            sockaddr_ll from{};
            iovec vector{packet, sizeof packet};
            msghdr message{};
            message.msg_name = &from;
            message.msg_namelen = sizeof from;
            message.msg_iov = &vector;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            if (::recvmsg(descriptor, &message, 0) < 0)
                return;
            const cmsghdr *header = CMSG_FIRSTHDR(&message);
            if (from.sll_pkttype != PACKET_OUTGOING || from.sll_protocol != htons(ETH_P_IP) ||
                !header || header->cmsg_type != SO_TIMESTAMPNS)
                continue;
            timespec stamp{};
            std::memcpy(&stamp, CMSG_DATA(header), sizeof stamp);
            timesNs.push_back(qint64(stamp.tv_sec) * 1000000000 + stamp.tv_nsec);
        }
    }
    std::vector<qint64> timesNs;

private:
    int descriptor;
};

// The most requests that left within any 100 ms after a 3 s stall of the event loop one second
// into a /16 at 1 000 a second.
quint32 peakAfterStall()
{
    DeviceSearch search;
    search.setRanges(wholeRange());
    search.setBroadcast(false);
    search.setRate(stalledRate);
    LinkCapture capture("lan1h");
    QElapsedTimer clock;
    clock.start();
    search.start();
    while (clock.elapsed() < 1000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        capture.take();
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    while (clock.elapsed() < 6000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        capture.take();
    }
    search.stop();
    const std::vector<qint64> &times = capture.timesNs;
    size_t peak = 0;
    for (size_t first = 0, last = 0; last < times.size(); ++last) {
        while (times[last] - times[first] >= 100 * 1000 * 1000)
            ++first;
        peak = std::max(peak, last - first + 1);
    }
    return quint32(peak);
}

struct Stalls
{
    double wallMs = 0;
    double cpuMs = 0;
};

// The window from the dialog on, while its search sends at the default rate.
Stalls windowStalls()
{
    MainWindow window;
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window))
        return {};
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    auto *dialog = window.findChild<RangeDialog *>();
    if (!dialog)
        return {};
    dialog->findChild<QLineEdit *>()->setText(QStringLiteral("10.77.0.0/16"));

    StallMeter stalls(10);
    QElapsedTimer clock;
    clock.start();
    stalls.start();
    dialog->accept();
    while (clock.elapsed() < stallSeconds * 1000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    stalls.stop();
    return {stalls.longestWallMs(), stalls.longestCpuMs()};
}

} // namespace

int main(int argc, char *argv[])
{
    // Headless, as the other benchmarks: `make bench` needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString error;
    if (!NetLab::enterNewNamespace(true, &error)) {
        std::fprintf(stderr, "bench-ranges: %s\n", qPrintable(error));
        return 1;
    }
    NetLab lab;
    if (!lab.addLan(&error) || !NetLab::runIp({QStringLiteral("route"), QStringLiteral("add"),
                                               QStringLiteral("10.77.0.0/16"),
                                               QStringLiteral("via"), NetLab::peerAddress(1)},
                                              &error)) {
        std::fprintf(stderr, "bench-ranges: %s\n", qPrintable(error));
        return 1;
    }

    double bare = 1e300;
    double search = 1e300;
    quint32 sent = 0;
    {
        DeviceSearch ranges;
        ranges.setRanges(wholeRange());
        ranges.setRate(0);
        ranges.setBroadcast(false);
        for (int round = 0; round < rounds; ++round) {
            bare = std::min(bare, bareSendCpuMs());
            search = std::min(search, searchSendCpuMs(ranges, &sent));
        }
    }

    double plainHeap = 0;
    double rangeHeap = 0;
    {
        DeviceSearch plain;
        plainHeap = searchHeapKiB(plain);
        DeviceSearch ranges;
        ranges.setRanges(wholeRange());
        ranges.setRate(0);
        rangeHeap = searchHeapKiB(ranges);
    }

    const Paced paced = pacedSend();
    double pacedBare = 1e300;
    double unpaced = 1e300;
    {
        DeviceSearch same;
        same.setRanges(wholeRange(paced.sent));
        same.setRate(0);
        same.setBroadcast(false);
        quint32 unpacedSent = 0;
        for (int round = 0; round < rounds; ++round) {
            pacedBare = std::min(pacedBare, bareSendCpuMs(paced.sent));
            unpaced = std::min(unpaced, searchSendCpuMs(same, &unpacedSent));
        }
    }
    const quint32 burst = peakAfterStall();
    const double idle = idleTicksCpuMs();

    const Stalls stalls = windowStalls();

    const auto row = [](const char *label, double value, int decimals) {
        std::printf("| %-56s | %9.*f |\n", label, decimals, value);
    };
    std::printf("Searching 65 536 addresses; processor: %s; Qt %s\n\n",
                processorModel().constData(), qVersion());
    std::printf("| %-56s | %9s |\n", "measure", "value");
    std::printf("|%s|%s|\n", QByteArray(58, '-').constData(), QByteArray(11, '-').constData());
    row("bare sendto() loop, 65 536 datagrams, CPU (ms)", bare, 1);
    row("search of 10.77.0.0/16 without rate limit, CPU (ms)", search, 1);
    row("requests the search sent", sent, 0);
    row("heap of a search without ranges (KiB)", plainHeap, 1);
    row("heap of a search of 65 536 addresses (KiB)", rangeHeap, 1);
    row("paced at 2 000/s for 4 s, CPU (ms)", paced.cpuMs, 1);
    row("requests the paced search sent", paced.sent, 0);
    row("the search of as many without rate limit, CPU (ms)", unpaced, 1);
    row("bare sendto() loop of as many datagrams, CPU (ms)", pacedBare, 1);
    row("paced at 2 000/s, wake-ups a second", paced.wakeupsPerSecond, 1);
    row("event loop woken every 10 ms for 4 s, CPU (ms)", idle, 1);
    row("after a 3 s stall at 1 000/s, most requests in 100 ms", burst, 0);
    row("window: longest stall at 2 000/s, wall clock (ms)", stalls.wallMs, 1);
    row("window: longest stall at 2 000/s, CPU (ms)", stalls.cpuMs, 1);

    const double ratio = search / bare;
    const double extraKiB = rangeHeap - plainHeap;
    const bool cpuMet = ratio <= 2.0 && sent == addressCount;
    const bool stallMet = stalls.cpuMs <= 50.0 && stalls.cpuMs > 0;
    const bool memoryMet = extraKiB <= 1024.0;
    // Pacing's own cost: against the same search of as many addresses without a rate limit,
    // which asks the routing table for each destination as the paced one does.
    const double pacedRatio = paced.cpuMs / unpaced;
    const bool pacedMet = pacedRatio <= 2.0 && paced.sent >= quint32(pacedSeconds * 1900);
    const bool wakeupsMet = paced.wakeupsPerSecond <= 110.0;
    const bool burstMet = burst <= 110 && burst > 0;
    std::printf("\ntargets:\n");
    std::printf("  search / bare sendto() loop, CPU      %6.2f  (at most 2.00)    %s\n", ratio,
                cpuMet ? "met" : "MISSED");
    std::printf("  longest stall, CPU (ms)               %6.1f  (at most 50.0)    %s\n",
                stalls.cpuMs, stallMet ? "met" : "MISSED");
    std::printf("  heap above a plain search (KiB)       %6.1f  (at most 1024.0)  %s\n", extraKiB,
                memoryMet ? "met" : "MISSED");
    std::printf("  paced / unpaced, same requests, CPU   %6.2f  (at most 2.00)    %s\n", pacedRatio,
                pacedMet ? "met" : "MISSED");
    std::printf("  (paced / bare sendto() loop, CPU      %6.2f)\n", paced.cpuMs / pacedBare);
    std::printf("  paced wake-ups a second               %6.1f  (at most 110.0)   %s\n",
                paced.wakeupsPerSecond, wakeupsMet ? "met" : "MISSED");
    std::printf("  requests in 100 ms after a stall      %6u  (at most 110)     %s\n", burst,
                burstMet ? "met" : "MISSED");
    return cpuMet && stallMet && memoryMet && pacedMet && wakeupsMet && burstMet ? 0 : 1;
}
