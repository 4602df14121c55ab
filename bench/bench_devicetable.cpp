// How the main window copes with a search that brings 10 000 devices: event-loop stalls while
// the rows arrive, the time to list them, against a bare table filled in one go; sorting by IP
// against sorting by serial; and emptying the full table with Refresh.
//
// Sends over loopback to port 44444: run it inside a private network namespace.
#include "mainwindow.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <netinet/in.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int deviceCount = 10000;

QByteArray answer(int n)
{
    char datagram[33];
    std::snprintf(datagram, sizeof datagram, "ACK SN%08d 02:00:%02X:%02X:%02X:%02X", n,
                  (n >> 24) & 0xff, (n >> 16) & 0xff, (n >> 8) & 0xff, n & 0xff);
    return QByteArray(datagram, 32);
}

// Devices answer in bursts of a few hundred, each burst once the window has listed most of the
// one before, so the socket's buffer never overflows: the benchmark measures the window, not
// the kernel's drops.
constexpr int burst = 256;

void answerFromDevices(const std::atomic<int> &listed, std::atomic<bool> &stop)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(44444);
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int n = 0; n < deviceCount && !stop; ++n) {
        while (n - listed > burst && !stop)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        const QByteArray datagram = answer(n);
        ::sendto(fd, datagram.constData(), size_t(datagram.size()), 0,
                 reinterpret_cast<const sockaddr *>(&target), sizeof target);
    }
    ::close(fd);
}

double milliseconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

QTableWidget *tableOf(MainWindow &window)
{
    return window.findChild<QTableWidget *>();
}

void clickHeader(QTableWidget *table, int column)
{
    QHeaderView *header = table->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 5, 5));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    MainWindow window;
    window.show();
    QTableWidget *table = tableOf(window);

    // The longest gap between ticks of a 10 ms timer is the longest stall of the event loop.
    QElapsedTimer sinceTick;
    double longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, milliseconds(sinceTick));
        sinceTick.restart();
    });

    std::atomic<bool> stop{false};
    std::atomic<int> listedSoFar{0};
    QObject::connect(table->model(), &QAbstractItemModel::rowsInserted,
                     [&] { listedSoFar = table->rowCount(); });
    QElapsedTimer listing;
    listing.start();
    sinceTick.start();
    ticker.start(10);
    std::thread devices(answerFromDevices, std::cref(listedSoFar), std::ref(stop));
    while (table->rowCount() < deviceCount && listing.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double listMs = milliseconds(listing);
    ticker.stop();
    stop = true;
    devices.join();
    const int listed = table->rowCount();

    QElapsedTimer bareTimer;
    bareTimer.start();
    {
        QTableWidget bare(nullptr);
        bare.setColumnCount(3);
        bare.setRowCount(deviceCount);
        for (int n = 0; n < deviceCount; ++n) {
            const QByteArray datagram = answer(n);
            bare.setItem(n, 0, new QTableWidgetItem(QString::fromLatin1(datagram.mid(4, 10))));
            bare.setItem(n, 1, new QTableWidgetItem(QStringLiteral("127.0.0.1")));
            bare.setItem(n, 2, new QTableWidgetItem(QString::fromLatin1(datagram.mid(15, 17))));
        }
        bare.resizeColumnToContents(2);
    }
    const double bareMs = milliseconds(bareTimer);

    // Sort keys differ per row only by serial here, so sort by IP on varied addresses too.
    for (int row = 0; row < listed; ++row) {
        table->item(row, 1)->setText(QStringLiteral("10.%1.%2.%3")
                                         .arg((row * 7919) % 256)
                                         .arg((row * 104729) % 256)
                                         .arg(row % 256));
    }
    QElapsedTimer sortTimer;
    sortTimer.start();
    clickHeader(table, 1);
    const double sortIpMs = milliseconds(sortTimer);
    sortTimer.restart();
    clickHeader(table, 0);
    const double sortSerialMs = milliseconds(sortTimer);

    QPushButton *refresh = nullptr;
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        if (button->geometry().x() == 528)
            refresh = button;
    }
    QElapsedTimer refreshTimer;
    refreshTimer.start();
    QTest::mouseClick(refresh, Qt::LeftButton);
    const double refreshMs = milliseconds(refreshTimer);

    const auto row = [](const QString &label, double value, int decimals) {
        std::printf("| %-40s | %9.*f |\n", qPrintable(label), decimals, value);
    };
    std::printf("| %-40s | %9s |\n", "measure", "value");
    std::printf("|%s|%s|\n", QByteArray(42, '-').constData(), QByteArray(11, '-').constData());
    row(QStringLiteral("devices listed"), listed, 0);
    row(QStringLiteral("time to list them (ms)"), listMs, 1);
    row(QStringLiteral("longest event-loop stall meanwhile (ms)"), longestGap, 1);
    row(QStringLiteral("bare table filled in one go (ms)"), bareMs, 1);
    row(QStringLiteral("sort %1 rows by IP (ms)").arg(listed), sortIpMs, 1);
    row(QStringLiteral("sort %1 rows by serial (ms)").arg(listed), sortSerialMs, 1);
    row(QStringLiteral("IP sort / serial sort"), sortIpMs / sortSerialMs, 2);
    row(QStringLiteral("Refresh with %1 rows (ms)").arg(listed), refreshMs, 1);
    return listed == deviceCount ? 0 : 1;
}
