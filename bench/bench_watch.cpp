// Keep watching a site of 1000 devices for an hour: 360 searches, one every 10 s, their
// answers fed straight into the window's kept rows (a shown table), no socket and no waiting.
// Every tenth device falls silent for three rounds in six, so that rows go grey and come back.
// Then 60 rounds more in which every device answers from the other of two addresses each time,
// so that all 1000 rows change. Targets: the heap grows at most 1 MiB after the first search;
// no round of the hour takes more than 1.2 times the CPU of a single search of the same
// devices listed into an empty table (best of five); no event-loop stall above 50 ms of the
// window's own CPU time in either part.
#include "devicerecord.h"
#include "processormodel.h"
#include "stallmeter.h"
#include "threadcputime.h"
#include "watchtable.h"

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <QApplication>
#include <QEventLoop>
#include <QTableWidget>
#include <QTimer>
#include <vector>

namespace {

constexpr int deviceCount = 1000;
constexpr int rounds = 360;
constexpr int movingRounds = 60;

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

enum class Addresses { Kept, Alternating };

// The answers of round r.
QVector<DeviceRecord> answersOf(int round, Addresses addresses)
{
    QVector<DeviceRecord> answers;
    for (int i = 0; i < deviceCount; ++i) {
        if (i % 10 == 0 && (round / 3) % 2 == 1)
            continue;
        DeviceRecord record;
        record.serialNumber = QStringLiteral("SN%1").arg(i, 8, 10, QLatin1Char('0'));
        record.ipAddress = QStringLiteral("10.%1.%2.%3")
                               .arg(addresses == Addresses::Kept ? 0 : round % 2)
                               .arg(i / 250)
                               .arg(i % 250 + 1);
        record.macAddress = QStringLiteral("02:00:00:00:%1:%2")
                                .arg(i / 256, 2, 16, QLatin1Char('0'))
                                .arg(i % 256, 2, 16, QLatin1Char('0'));
        answers.append(record);
    }
    return answers;
}

QTableWidget *newTable()
{
    auto *table = new QTableWidget(0, 3);
    table->resize(491, 383);
    table->show();
    return table;
}

// CPU of one round: its answers shown and the table repainted.
double runRound(WatchTable &rows, const QVector<DeviceRecord> &answers, const QDateTime &when,
                WatchRows::Newness newness)
{
    const double before = threadCpuMs();
    rows.searchStarted();
    rows.answered(answers.constData(), int(answers.size()), when, newness);
    rows.searchEnded();
    QCoreApplication::processEvents();
    return threadCpuMs() - before;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QVector<DeviceRecord> first = answersOf(0, Addresses::Kept);
    QDateTime clock = QDateTime::currentDateTime();

    // A single search of the same devices, into an empty table.
    double singleSearch = 1e9;
    for (int run = 0; run < 5; ++run) {
        QTableWidget *table = newTable();
        {
            WatchTable rows(table);
            QCoreApplication::processEvents();
            singleSearch =
                std::min(singleSearch, runRound(rows, first, clock, WatchRows::Newness::Unmarked));
        }
        delete table;
    }

    // Rounds repeat every six: silent or not, and in the last part two address sets.
    std::vector<QVector<DeviceRecord>> answers;
    for (int round = 0; round < 6; ++round)
        answers.push_back(answersOf(round, Addresses::Kept));
    for (int round = 0; round < 6; ++round)
        answers.push_back(answersOf(round, Addresses::Alternating));
    QTableWidget *table = newTable();
    WatchTable rows(table);
    runRound(rows, first, clock, WatchRows::Newness::Unmarked);
    const size_t heapAfterFirst = heapInUse();
    size_t heapMost = heapAfterFirst;

    std::vector<double> roundCpu;
    std::vector<double> movingCpu;
    StallMeter stalls(5);
    stalls.start();
    QEventLoop loop;
    int round = 1;
    QTimer next;
    next.setSingleShot(true);
    QObject::connect(&next, &QTimer::timeout, [&] {
        clock = clock.addSecs(10);
        const bool moving = round >= rounds;
        const double cpu = runRound(rows, answers[size_t(round % 6 + (moving ? 6 : 0))], clock,
                                    WatchRows::Newness::Marked);
        (moving ? movingCpu : roundCpu).push_back(cpu);
        heapMost = std::max(heapMost, heapInUse());
        if (++round < rounds + movingRounds)
            next.start(1);
        else
            loop.quit();
    });
    next.start(1);
    loop.exec();
    stalls.stop();
    const size_t heapEnd = heapInUse();

    std::vector<double> sorted = roundCpu;
    std::sort(sorted.begin(), sorted.end());
    const double slowest = sorted.back();
    const double median = sorted[sorted.size() / 2];
    std::sort(movingCpu.begin(), movingCpu.end());
    const double growthKiB = double(std::max(heapMost, heapEnd) - heapAfterFirst) / 1024.0;
    const bool memoryMet = growthKiB <= 1024.0;
    const bool cpuMet = slowest <= 1.2 * singleSearch;
    const bool stallMet = stalls.longestCpuMs() <= 50.0;

    const auto row = [](const char *label, double value, int decimals) {
        std::printf("| %-52s | %9.*f |\n", label, decimals, value);
    };
    std::printf("Keep watching %d devices over %d searches (an hour at one every 10 s) and %d more "
                "that move "
                "them all; "
                "processor: %s; Qt %s\n\n",
                deviceCount, rounds, movingRounds, processorModel().constData(), qVersion());
    std::printf("| %-52s | %9s |\n", "measure", "value");
    std::printf("|%s|%s|\n", QByteArray(54, '-').constData(), QByteArray(11, '-').constData());
    row("rows kept", table->rowCount(), 0);
    row("rows not answering at the end", rows.rows().notAnsweringCount(), 0);
    row("single search, empty table, CPU (ms, best of 5)", singleSearch, 2);
    row("round while watching, median CPU (ms)", median, 2);
    row("round while watching, slowest CPU (ms)", slowest, 2);
    row("round with all 1000 rows changing, median CPU (ms)", movingCpu[movingCpu.size() / 2], 2);
    row("round with all 1000 rows changing, slowest CPU (ms)", movingCpu.back(), 2);
    row("heap after the first search (KiB)", double(heapAfterFirst) / 1024.0, 0);
    row("heap growth after the first search, most (KiB)", growthKiB, 1);
    row("longest stall, CPU (ms)", stalls.longestCpuMs(), 1);
    row("longest stall, wall clock (ms)", stalls.longestWallMs(), 1);
    std::printf("\ntargets:\n");
    std::printf("  heap growth after the first search (KiB)   %7.1f  (at most 1024)  %s\n",
                growthKiB, memoryMet ? "met" : "MISSED");
    std::printf("  slowest round / single search              %7.2f  (at most 1.20)  %s\n",
                slowest / singleSearch, cpuMet ? "met" : "MISSED");
    std::printf("  longest stall, CPU (ms)                    %7.1f  (at most 50.0)  %s\n",
                stalls.longestCpuMs(), stallMet ? "met" : "MISSED");
    const bool allKept = table->rowCount() == deviceCount;
    rows.clear();
    delete table;
    return allKept && memoryMet && cpuMet && stallMet ? 0 : 1;
}
