// Searching address ranges: the three costs of sending the request to every address of a
// range. (1) CPU time of sending to 65 536 addresses without a rate limit, against a bare loop
// of sendto() of the same datagrams in the same run (best of five each; target: at most
// twice). (2) The longest stall of the main window's event loop while a /16 goes out at the
// default rate, from "Search other networks…" on (a 10 ms timer's longest gap, for the first
// 8 seconds, 16 000 requests; the work per batch stays the same to the end; target: at most
// 50 ms of the window's own CPU time). (3) The heap a /16 search holds above the same search
// without ranges (target: at most 1 MiB).
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
#include <malloc.h>
#include <netinet/in.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int rounds = 5;
constexpr quint32 firstAddress = 0x0a4d0000; // 10.77.0.0
constexpr quint32 addressCount = 65536;
constexpr int stallSeconds = 8;

QVector<AddressRange> wholeRange()
{
    QString error;
    return parseAddressRanges(QStringLiteral("10.77.0.0-10.77.255.255"), &error);
}

// The same 6 bytes to the same addresses, from a socket on the same local address.
double bareSendCpuMs()
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
    for (quint32 n = 0; n < addressCount; ++n) {
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
    row("window: longest stall at 2 000/s, wall clock (ms)", stalls.wallMs, 1);
    row("window: longest stall at 2 000/s, CPU (ms)", stalls.cpuMs, 1);

    const double ratio = search / bare;
    const double extraKiB = rangeHeap - plainHeap;
    const bool cpuMet = ratio <= 2.0 && sent == addressCount;
    const bool stallMet = stalls.cpuMs <= 50.0 && stalls.cpuMs > 0;
    const bool memoryMet = extraKiB <= 1024.0;
    std::printf("\ntargets:\n");
    std::printf("  search / bare sendto() loop, CPU      %6.2f  (at most 2.00)    %s\n", ratio,
                cpuMet ? "met" : "MISSED");
    std::printf("  longest stall, CPU (ms)               %6.1f  (at most 50.0)    %s\n",
                stalls.cpuMs, stallMet ? "met" : "MISSED");
    std::printf("  heap above a plain search (KiB)       %6.1f  (at most 1024.0)  %s\n", extraKiB,
                memoryMet ? "met" : "MISSED");
    return cpuMet && stallMet && memoryMet ? 0 : 1;
}
