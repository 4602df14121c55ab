// The main window under a flood: for 30 s (or the seconds given) the device simulator sends
// datagrams to the window's socket as fast as loopback takes them, two duplicates and one
// malformed datagram for every new serial number, while Refresh is pressed every second.
// Measures the longest stall of the event loop and the resident memory against the rows
// listed, and checks that the window then closes and the program ends cleanly.
//
// Floods 127.0.0.1: run it only inside a private network namespace (scripts/isolated).
#include "loopbackonly.h"
#include "mainwindow.h"
#include "stallmeter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <unistd.h>

namespace {

constexpr int defaultSeconds = 30;
constexpr int refreshIntervalMs = 1000;
constexpr double stallLimitMs = 50;
// What one listed row may cost in resident memory: its three table items and texts, the
// broadcaster's record and the table's bookkeeping take well under a kilobyte.
constexpr double bytesPerRowLimit = 2048;
// Room for what the window allocates once, on its first rows and its first refresh.
constexpr double fixedSlackBytes = 8 * 1024 * 1024;

[[noreturn]] void fail(const char *message)
{
    std::fprintf(stderr, "soak: %s\n", message);
    std::exit(2);
}

double residentBytes()
{
    FILE *file = std::fopen("/proc/self/statm", "r");
    unsigned long size = 0;
    unsigned long resident = 0;
    if (!file || std::fscanf(file, "%lu %lu", &size, &resident) != 2)
        fail("cannot read /proc/self/statm");
    std::fclose(file);
    return double(resident) * double(sysconf(_SC_PAGESIZE));
}

double milliseconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double mebibytes(double bytes)
{
    return bytes / (1024 * 1024);
}

QPushButton *refreshButton(MainWindow &window)
{
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        if (button->geometry().x() == 528)
            return button;
    }
    fail("no Refresh button");
}

// Malformed flood datagrams carry serial numbers from 4026531840 (0xf0000000) up; none may be
// listed.
bool listsMalformed(QTableWidget *table)
{
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem *item = table->item(row, 0);
        bool number = false;
        if (item && item->text().toULongLong(&number) >= 0xf0000000u && number)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!hasOnlyLoopback())
        fail("this machine has addresses beyond loopback; run through scripts/isolated");
    const int seconds = argc > 1 ? std::atoi(argv[1]) : defaultSeconds;
    if (seconds <= 0)
        fail("usage: scout-soak [SECONDS]");

    auto window = std::make_unique<MainWindow>();
    window->show();
    QTableWidget *table = window->findChild<QTableWidget *>();
    QPushButton *refresh = refreshButton(*window);
    QTest::qWait(500);
    const double baselineBytes = residentBytes();

    double longestRefreshMs = 0;
    double peakBytes = baselineBytes;
    int mostRows = 0;
    int searches = 1;
    qint64 rowsListed = 0;
    bool memoryWithinBound = true;

    StallMeter stalls(1);

    // Memory is judged against the most rows any search listed so far: freed memory need not
    // go back to the system, but it must be reused.
    const auto sample = [&] {
        const int rows = table->rowCount();
        mostRows = std::max(mostRows, rows);
        rowsListed += rows;
        const double bytes = residentBytes();
        peakBytes = std::max(peakBytes, bytes);
        const double bound = baselineBytes + fixedSlackBytes + bytesPerRowLimit * mostRows;
        memoryWithinBound = memoryWithinBound && bytes <= bound;
    };
    QTimer refresher;
    QObject::connect(&refresher, &QTimer::timeout, [&] {
        sample();
        QElapsedTimer pressed;
        pressed.start();
        QTest::mouseClick(refresh, Qt::LeftButton);
        longestRefreshMs = std::max(longestRefreshMs, milliseconds(pressed));
        ++searches;
    });

    QProcess simulator;
    simulator.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    QObject::connect(&simulator, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
                     [&] { QTimer::singleShot(200, &app, &QCoreApplication::quit); });
    simulator.start(QStringLiteral(SCOUT_DEVICE_SIM),
                    {QStringLiteral("--listen"), QStringLiteral("127.0.0.1"),
                     QStringLiteral("--port"), QStringLiteral("44445"), QStringLiteral("--flood"),
                     QStringLiteral("127.0.0.1:44444"), QStringLiteral("--mix"),
                     QStringLiteral("1:2:1"), QStringLiteral("--count"), QStringLiteral("0"),
                     QStringLiteral("--duration"), QString::number(seconds * 1000)});
    if (!simulator.waitForStarted())
        fail("the device simulator did not start");

    stalls.start();
    refresher.start(refreshIntervalMs);
    const int loopResult = QApplication::exec();
    stalls.stop();
    refresher.stop();
    sample();
    const double endBytes = residentBytes();

    const bool malformedListed = listsMalformed(table);
    const QString summary = QString::fromLocal8Bit(simulator.readAllStandardError())
                                .split(QLatin1Char('\n'))
                                .filter(QStringLiteral("flood: sent"))
                                .value(0)
                                .trimmed();
    const bool floodOk = simulator.exitStatus() == QProcess::NormalExit &&
                         simulator.exitCode() == 0 && !summary.isEmpty();

    window->close();
    QElapsedTimer closing;
    closing.start();
    window.reset();
    const double closeMs = milliseconds(closing);

    const double perRow = mostRows > 0 ? (peakBytes - baselineBytes) / mostRows : 0;
    std::printf("%s\n\n", qPrintable(summary));
    std::printf("| measure                                      | value     | limit     |\n");
    std::printf("|----------------------------------------------|-----------|-----------|\n");
    std::printf("| flood (s)                                    | %9d |           |\n", seconds);
    std::printf("| searches (Refresh every %4d ms)             | %9d |           |\n",
                refreshIntervalMs, searches);
    std::printf("| rows listed, all searches                    | %9lld |           |\n",
                static_cast<long long>(rowsListed));
    std::printf("| rows listed, most in one search              | %9d |           |\n", mostRows);
    std::printf("| longest event-loop stall, CPU time (ms)      | %9.1f | %9.0f |\n",
                stalls.longestCpuMs(), stallLimitMs);
    std::printf("| longest event-loop stall, wall time (ms)     | %9.1f |           |\n",
                stalls.longestWallMs());
    std::printf("| longest Refresh press (ms)                   | %9.1f |           |\n",
                longestRefreshMs);
    std::printf("| resident memory before the flood (MiB)       | %9.1f |           |\n",
                mebibytes(baselineBytes));
    std::printf("| resident memory, peak (MiB); limit: before + |           |           |\n");
    std::printf("|   %1.0f MiB + %4.0f B per row of largest search  | %9.1f | %9.1f |\n",
                mebibytes(fixedSlackBytes), bytesPerRowLimit, mebibytes(peakBytes),
                mebibytes(baselineBytes + fixedSlackBytes + bytesPerRowLimit * mostRows));
    std::printf("| resident memory at the end (MiB)             | %9.1f |           |\n",
                mebibytes(endBytes));
    std::printf("| peak growth / rows of the largest search (B) | %9.0f |           |\n", perRow);
    std::printf("| closing the window (ms)                      | %9.1f |           |\n", closeMs);

    bool passed = true;
    const auto check = [&passed](bool condition, const char *what) {
        if (!condition) {
            std::printf("FAILED: %s\n", what);
            passed = false;
        }
    };
    check(floodOk, "the flood did not run to its end");
    check(loopResult == 0, "the event loop ended with an error");
    check(mostRows > 0, "no device was listed");
    check(stalls.longestCpuMs() <= stallLimitMs, "the event loop stalled too long");
    check(memoryWithinBound, "resident memory grew beyond its bound");
    check(!malformedListed, "a malformed datagram was listed as a device");
    std::printf("%s\n", passed ? "soak passed" : "soak FAILED");
    return passed ? 0 : 1;
}
