#include "childprocess.h"
#include "mainwindow.h"
#include "netlab.h"
#include "urlcatcher.h"
#include "watchview.h"
#include "windowparts.h"

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

// Keep watching and Compare with a list in the window, among simulated devices on two networks
// of its own: one device on each.
class TestWatchOnLans : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void stoppedDeviceNotAnsweringThenBack();
    void deviceWithNewAddressListedOnce();
    void listComparedAndMalformedListRefused();

private:
    // Starts the simulator of lan's device.
    ChildProcess *startDevice(int lan);

    std::unique_ptr<NetLab> lab;
    // The simulator of each LAN's device, by LAN.
    ChildProcess *devices[3] = {};
};

namespace {

const char *const serials[] = {"", "WATCHONE01", "WATCHTWO01"};
// Searches end 5 s after they start; the pause between them is short in the tests.
constexpr int twoSearchesMs = 20000;

QString rowText(QTableWidget *table, int row)
{
    return table->item(row, 0)->text() + QLatin1Char(' ') + table->item(row, 1)->text();
}

int rowOf(QTableWidget *table, const char *serial)
{
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->item(row, 0) && table->item(row, 0)->text() == QLatin1String(serial))
            return row;
    }
    return -1;
}

QString toolTipOf(QTableWidget *table, const char *serial)
{
    const int row = rowOf(table, serial);
    return row < 0 ? QStringLiteral("(no row)") : table->item(row, 1)->toolTip();
}

bool greyed(QTableWidget *table, const char *serial)
{
    const int row = rowOf(table, serial);
    return row >= 0 && table->item(row, 0)->data(Qt::ForegroundRole).isValid();
}

QString statusText(MainWindow &window)
{
    for (QLabel *label : window.findChildren<QLabel *>()) {
        if (label->accessibleName() == QLatin1String("Search status"))
            return label->text();
    }
    return {};
}

// The window with both devices listed, then watching, with a short pause between searches.
void startWatching(MainWindow &window)
{
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_COMPARE(deviceTable(window)->rowCount(), 2);
    auto *watch = window.findChild<WatchView *>();
    watch->setPause(100);
    QTest::keyClick(deviceTable(window), Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(watch->isWatching());
    QCOMPARE(deviceTable(window)->rowCount(), 2);
    QVERIFY(statusText(window).startsWith(QLatin1String("Watching: 2 answering, 0 not answering")));
}

} // namespace

void TestWatchOnLans::initTestCase()
{
    const QString reason = NetLab::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(QStringLiteral("needs private network namespaces, but ") + reason));
}

void TestWatchOnLans::init()
{
    QString error;
    QVERIFY2(NetLab::enterNewNamespace(true, &error), qPrintable(error));
    lab = std::make_unique<NetLab>();
    QVERIFY2(lab->addLan(&error), qPrintable(error));
    QVERIFY2(lab->addLan(&error), qPrintable(error));
    for (int lan = 1; lan <= 2; ++lan) {
        devices[lan] = startDevice(lan);
        QVERIFY(devices[lan]);
    }
}

void TestWatchOnLans::cleanup()
{
    lab.reset();
}

ChildProcess *TestWatchOnLans::startDevice(int lan)
{
    QString error;
    ChildProcess *device = lab->startSimulator(
        lan, {QStringLiteral("--device"), QString::fromLatin1(serials[lan])}, &error);
    if (!device)
        qWarning("%s", qPrintable(error));
    return device;
}

void TestWatchOnLans::stoppedDeviceNotAnsweringThenBack()
{
    MainWindow window;
    startWatching(window);
    QTableWidget *table = deviceTable(window);
    devices[2]->stop();
    QTRY_VERIFY_WITH_TIMEOUT(
        toolTipOf(table, serials[2]).startsWith(QLatin1String("Not answering since ")),
        twoSearchesMs);
    QVERIFY(greyed(table, serials[2]));
    QVERIFY(!greyed(table, serials[1]));
    QCOMPARE(toolTipOf(table, serials[1]), QStringLiteral("Answered on lan1h (10.0.1.1/24)"));
    QCOMPARE(table->rowCount(), 2);
    QVERIFY(statusText(window).startsWith(QLatin1String("Watching: 1 answering, 1 not answering")));

    devices[2] = startDevice(2);
    QVERIFY(devices[2]);
    QTRY_VERIFY_WITH_TIMEOUT(!greyed(table, serials[2]), twoSearchesMs);
    QCOMPARE(toolTipOf(table, serials[2]), QStringLiteral("Answered on lan2h (10.0.2.1/24)"));
    // Highlighted for a moment.
    QVERIFY(table->item(rowOf(table, serials[2]), 0)->data(Qt::BackgroundRole).isValid());
    QCOMPARE(table->rowCount(), 2);
    QVERIFY(statusText(window).startsWith(QLatin1String("Watching: 2 answering, 0 not answering")));

    // Off: the rows stay as they are, and no search follows.
    QTest::keyClick(table, Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
    devices[1]->stop();
    QTest::qWait(6000);
    QCOMPARE(table->rowCount(), 2);
    QVERIFY(!greyed(table, serials[1]));
}

void TestWatchOnLans::deviceWithNewAddressListedOnce()
{
    // Runs ip commands beside a LAN's device, or on this side for LAN 0.
    const auto ip = [this](int lan, std::initializer_list<const char *> commands) {
        QString error;
        for (const char *command : commands) {
            const QStringList words = QString::fromLatin1(command).split(QLatin1Char(' '));
            if (!(lan ? lab->runIpInPeer(lan, words, &error) : NetLab::runIp(words, &error))) {
                qWarning("%s", qPrintable(error));
                return false;
            }
        }
        return true;
    };
    // LAN 1's device answers from 192.168.77.7, outside 10.0.1.0/24.
    QVERIFY(ip(1, {"addr flush dev lan1p", "addr add 192.168.77.7/24 dev lan1p",
                   "route replace 10.0.1.0/24 dev lan1p src 192.168.77.7"}));
    QVERIFY(ip(0, {"route add 192.168.77.0/24 dev lan1h"}));
    MainWindow window;
    startWatching(window);
    QTableWidget *table = deviceTable(window);
    const auto warned = [table](const char *serial) {
        return !table->item(rowOf(table, serial), 1)->icon().isNull();
    };
    const QString outside = QStringLiteral("Answered on lan1h (10.0.1.1/24)\nIts address %1 lies "
                                           "outside that network");
    QVERIFY(warned(serials[1]));
    QVERIFY(toolTipOf(table, serials[1]).startsWith(outside.arg(QLatin1String("192.168.77.7"))));
    QVERIFY(!warned(serials[2]));
    QCOMPARE(toolTipOf(table, serials[2]), QStringLiteral("Answered on lan2h (10.0.2.1/24)"));

    // It moves, still outside: its row keeps the mark, and names the old address first.
    QVERIFY(ip(1, {"addr del 192.168.77.7/24 dev lan1p", "addr add 192.168.77.8/24 dev lan1p",
                   "route replace 10.0.1.0/24 dev lan1p src 192.168.77.8"}));
    QTRY_COMPARE_WITH_TIMEOUT(rowText(table, rowOf(table, serials[1])),
                              QStringLiteral("WATCHONE01 192.168.77.8"), twoSearchesMs);
    QVERIFY(warned(serials[1]));
    QVERIFY2(toolTipOf(table, serials[1])
                 .startsWith(QLatin1String("Answered from 192.168.77.7 before\n") +
                             outside.arg(QLatin1String("192.168.77.8"))),
             qPrintable(toolTipOf(table, serials[1])));

    // Into its network: the mark goes.
    QVERIFY(ip(1, {"addr del 192.168.77.8/24 dev lan1p", "route flush dev lan1p",
                   "addr add 10.0.1.3/24 dev lan1p"}));
    QTRY_COMPARE_WITH_TIMEOUT(rowText(table, rowOf(table, serials[1])),
                              QStringLiteral("WATCHONE01 10.0.1.3"), twoSearchesMs);
    QVERIFY(!warned(serials[1]));
    QCOMPARE(toolTipOf(table, serials[1]),
             QStringLiteral("Answered from 192.168.77.8 before\nAnswered on lan1h (10.0.1.1/24)"));
    QCOMPARE(rowText(table, rowOf(table, serials[2])), QStringLiteral("WATCHTWO01 10.0.2.2"));
    QCOMPARE(table->rowCount(), 2);

    // LAN 2's device takes the same address: both rows are marked.
    QVERIFY(ip(2, {"addr flush dev lan2p", "addr add 10.0.1.3/24 dev lan2p",
                   "route replace 10.0.2.0/24 dev lan2p src 10.0.1.3"}));
    QVERIFY(ip(0, {"route add 10.0.1.3/32 dev lan2h"}));
    QTRY_COMPARE_WITH_TIMEOUT(rowText(table, rowOf(table, serials[2])),
                              QStringLiteral("WATCHTWO01 10.0.1.3"), twoSearchesMs);
    const QString shared = QStringLiteral("Another listed device answers from 10.0.1.3 too");
    for (const char *serial : {serials[1], serials[2]})
        QVERIFY(warned(serial) && toolTipOf(table, serial).contains(shared));
    QCOMPARE(table->rowCount(), 2);

    // Refresh empties the rows and the watch goes on from there, marks and all.
    QTest::mouseClick(refreshButton(window), Qt::LeftButton);
    QCOMPARE(table->rowCount(), 0);
    QTRY_COMPARE(table->rowCount(), 2);
    QVERIFY(toolTipOf(table, serials[1])
                .startsWith(QLatin1String("Answered on lan1h (10.0.1.1/24)\n") + shared));
    QVERIFY(warned(serials[1]) && warned(serials[2]));
    QVERIFY(window.findChild<WatchView *>()->isWatching());
}

void TestWatchOnLans::listComparedAndMalformedListRefused()
{
    UrlCatcher browser;
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTableWidget *table = deviceTable(window);
    QTRY_COMPARE(table->rowCount(), 2);
    const QString before = rowText(table, 0) + QLatin1Char('|') + rowText(table, 1);
    const QString tipBefore = toolTipOf(table, serials[1]);
    QTemporaryDir folder;
    const auto compare = [&](const char *name, const QByteArray &content) {
        QFile file(folder.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        window.findChild<WatchView *>()->compareAction()->trigger();
        QTRY_VERIFY(window.findChild<QFileDialog *>());
        auto *dialog = window.findChild<QFileDialog *>();
        dialog->selectFile(file.fileName());
        static_cast<QDialog *>(dialog)->accept();
        QTRY_VERIFY(!window.findChild<QFileDialog *>());
    };

    compare("broken.csv", "Serial Number,IP,MAC\nWATCHONE01,10.0.1.2,00:11:22:33:44:55\n"
                          "TOOSHORT,10.0.2.2,00:11:22:33:44:56\n");
    QTRY_VERIFY(window.findChild<QMessageBox *>(QStringLiteral("listRefused")));
    auto *box = window.findChild<QMessageBox *>(QStringLiteral("listRefused"));
    QVERIFY2(box->text().contains(QLatin1String("broken.csv is not a list of devices: line 3: ")),
             qPrintable(box->text()));
    box->close();
    QTRY_VERIFY(!window.findChild<QMessageBox *>());
    QCOMPARE(rowText(table, 0) + QLatin1Char('|') + rowText(table, 1), before);
    QCOMPARE(toolTipOf(table, serials[1]), tipBefore);
    QVERIFY(!window.findChild<WatchView *>()->holdsTable());

    // Quoted fields are unquoted.
    compare("site.csv", "Serial Number,IP,MAC\n\"WATCHONE01\",10.0.1.2,00:11:22:33:44:55\n"
                        "GONE000001,10.0.9.9,00:11:22:33:44:57\n");
    QTRY_COMPARE(table->rowCount(), 3);
    QCOMPARE(toolTipOf(table, serials[1]), QStringLiteral("Answered on lan1h (10.0.1.1/24)"));
    QCOMPARE(toolTipOf(table, serials[2]),
             QStringLiteral("Answers, but is not in the list\nAnswered on lan2h (10.0.2.1/24)"));
    // A device never heard from has no address marks.
    QCOMPARE(toolTipOf(table, "GONE000001"), QStringLiteral("In the list, not answering"));
    QVERIFY(table->item(rowOf(table, "GONE000001"), 1)->icon().isNull());
    QVERIFY(greyed(table, "GONE000001"));
    QVERIFY2(statusText(window).contains(QLatin1String("1 missing, 1 not in the list")),
             qPrintable(statusText(window)));
    table->selectRow(rowOf(table, "GONE000001"));
    QTest::mouseClick(connectButton(window), Qt::LeftButton);
    QCOMPARE(browser.opened, QList<QUrl>{QUrl(QStringLiteral("http://10.0.9.9"))});

    // Refresh ends the comparison.
    QTest::mouseClick(refreshButton(window), Qt::LeftButton);
    QTRY_COMPARE(table->rowCount(), 2);
    QVERIFY(!toolTipOf(table, serials[2]).contains(QLatin1String("list")));
    QVERIFY(!statusText(window).contains(QLatin1String("missing")));
}

QTEST_MAIN(TestWatchOnLans)
#include "tst_watchonlans.moc"
