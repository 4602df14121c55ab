#include "loopbackdevice.h"
#include "mainwindow.h"
#include "urlcatcher.h"
#include "windowparts.h"

#include <QDesktopServices>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <QUrl>

namespace {

QStringList strings(std::initializer_list<const char *> texts)
{
    QStringList list;
    for (const char *text : texts)
        list << QString::fromLatin1(text);
    return list;
}

QStringList column(QTableWidget *table, int column)
{
    QStringList texts;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem *item = table->item(row, column);
        texts << (item ? item->text() : QStringLiteral("<empty>"));
    }
    return texts;
}

void clickHeader(QTableWidget *table, int column)
{
    QHeaderView *header = table->horizontalHeader();
    const QPoint centre(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
}

// Answers from count devices on 127.0.0.1, serials "prefix" followed by a number, and waits
// until the table lists them. They come in bursts that the socket's buffer surely holds, and
// all of them must arrive within the search's 5 s window, also in a slow sanitizer build.
void listMany(QTableWidget *table, const char *prefix, int count)
{
    constexpr int burst = 1000;
    QUdpSocket device;
    QVERIFY(device.bind(QHostAddress::LocalHost, 0));
    for (int n = 0; n < count; ++n) {
        const QByteArray serial = prefix + QByteArray::number(n).rightJustified(6, '0');
        const QByteArray datagram = "ACK " + serial + " 00:11:22:33:44:55";
        QCOMPARE(device.writeDatagram(datagram, QHostAddress::LocalHost, 44444), qint64(32));
        if ((n + 1) % burst == 0 || n + 1 == count)
            QTRY_COMPARE(table->rowCount(), n + 1);
    }
}

QPoint cellCentre(QTableWidget *table, int row, int column)
{
    return table->visualItemRect(table->item(row, column)).center();
}

} // namespace

class TestDeviceTable : public QObject
{
    Q_OBJECT

private slots:
    void rowsArriveInDiscoveryOrderAtTheBottom();
    void ipColumnSortsByAddressValue();
    void eachColumnAlternatesOnItsOwn();
    void connectFollowsSelection();
    void connectOpensTheSelectedRowAfterSorting();
    void doubleClickOpensThatRowWithoutEditor();
    void destructionAfterSortsAndRefreshes();
    void refreshesWithThousandsOfRows();
    void burstListsEveryDeviceInItsRow();
};

void TestDeviceTable::rowsArriveInDiscoveryOrderAtTheBottom()
{
    MainWindow window;
    QTableWidget *table = deviceTable(window);
    answer("SN00000003", "127.0.0.3");
    answer("SN00000001", "127.0.0.1");
    answer("SN00000003", "127.0.0.9"); // the first answer of a serial wins
    answer("SN00000002", "127.0.0.2");
    QTRY_COMPARE(table->rowCount(), 3);
    QCOMPARE(column(table, 0), strings({"SN00000003", "SN00000001", "SN00000002"}));
    QCOMPARE(column(table, 1), strings({"127.0.0.3", "127.0.0.1", "127.0.0.2"}));

    clickHeader(table, 0);
    QCOMPARE(column(table, 0), strings({"SN00000001", "SN00000002", "SN00000003"}));

    // Rows found after a sort go to the bottom, unsorted, until the next header click.
    answer("SN00000000", "127.0.0.4");
    QTRY_COMPARE(table->rowCount(), 4);
    QCOMPARE(column(table, 0), strings({"SN00000001", "SN00000002", "SN00000003", "SN00000000"}));
    QCOMPARE(column(table, 2).constLast(), QStringLiteral("00:11:22:33:44:55"));
}

void TestDeviceTable::ipColumnSortsByAddressValue()
{
    MainWindow window;
    QTableWidget *table = deviceTable(window);
    answer("SN00000010", "127.0.0.10");
    answer("SN00000009", "127.0.0.9");
    answer("SN00000100", "127.0.1.0");
    answer("SN00000002", "127.0.0.2");
    QTRY_COMPARE(table->rowCount(), 4);

    const QStringList ascending = strings({"127.0.0.2", "127.0.0.9", "127.0.0.10", "127.0.1.0"});
    clickHeader(table, 1);
    QCOMPARE(column(table, 1), ascending);
    clickHeader(table, 1);
    QStringList descending = ascending;
    std::reverse(descending.begin(), descending.end());
    QCOMPARE(column(table, 1), descending);
}

void TestDeviceTable::eachColumnAlternatesOnItsOwn()
{
    MainWindow window;
    QTableWidget *table = deviceTable(window);

    // A click on the empty table sorts nothing but still turns that column to descending.
    clickHeader(table, 0);

    answer("SN00000001", "127.0.0.5", "AA:00:00:00:00:01");
    answer("SN00000002", "127.0.0.4", "AA:00:00:00:00:03");
    answer("SN00000003", "127.0.0.6", "AA:00:00:00:00:02");
    QTRY_COMPARE(table->rowCount(), 3);

    clickHeader(table, 0);
    QCOMPARE(column(table, 0), strings({"SN00000003", "SN00000002", "SN00000001"}));
    clickHeader(table, 2);
    QCOMPARE(column(table, 2),
             strings({"AA:00:00:00:00:01", "AA:00:00:00:00:02", "AA:00:00:00:00:03"}));

    // Refresh empties the table but keeps every column's next direction.
    QTest::mouseClick(refreshButton(window), Qt::LeftButton);
    QCOMPARE(table->rowCount(), 0);
    answer("SN00000001", "127.0.0.5", "AA:00:00:00:00:01");
    answer("SN00000002", "127.0.0.4", "AA:00:00:00:00:03");
    QTRY_COMPARE(table->rowCount(), 2);
    clickHeader(table, 0);
    QCOMPARE(column(table, 0), strings({"SN00000001", "SN00000002"}));
    clickHeader(table, 2);
    QCOMPARE(column(table, 2), strings({"AA:00:00:00:00:03", "AA:00:00:00:00:01"}));
}

void TestDeviceTable::connectFollowsSelection()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableWidget *table = deviceTable(window);
    QPushButton *connect = connectButton(window);

    answer("SN00000001", "127.0.0.5");
    answer("SN00000002", "127.0.0.6");
    QTRY_COMPARE(table->rowCount(), 2);
    QVERIFY(!connect->isEnabled());

    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cellCentre(table, 1, 0));
    QVERIFY(connect->isEnabled());
    table->clearSelection();
    QVERIFY(!connect->isEnabled());
    table->selectRow(0);
    QVERIFY(connect->isEnabled());

    QTest::mouseClick(refreshButton(window), Qt::LeftButton);
    QVERIFY(!connect->isEnabled());
    QVERIFY(refreshButton(window)->isEnabled());
    answer("SN00000001", "127.0.0.5");
    QTRY_COMPARE(table->rowCount(), 1);
    QVERIFY(!connect->isEnabled());
}

void TestDeviceTable::connectOpensTheSelectedRowAfterSorting()
{
    UrlCatcher browser;
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableWidget *table = deviceTable(window);

    answer("SN00000009", "127.0.0.10");
    answer("SN00000001", "127.0.0.20");
    QTRY_COMPARE(table->rowCount(), 2);
    clickHeader(table, 0);

    // Row 0 now shows the device that was found second.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cellCentre(table, 0, 2));
    QTest::mouseClick(connectButton(window), Qt::LeftButton);
    QCOMPARE(browser.opened, QList<QUrl>({QUrl(QStringLiteral("http://127.0.0.20"))}));
    QCOMPARE(browser.opened.constFirst().toString(), QStringLiteral("http://127.0.0.20"));
}

void TestDeviceTable::doubleClickOpensThatRowWithoutEditor()
{
    UrlCatcher browser;
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableWidget *table = deviceTable(window);

    answer("SN00000001", "127.0.0.7");
    answer("SN00000002", "127.0.0.8");
    QTRY_COMPARE(table->rowCount(), 2);

    for (int column = 0; column < 3; ++column) {
        // A person's double-click: a press and release, then the second press.
        const QPoint centre = cellCentre(table, 1, column);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, centre);
        QVERIFY(!table->findChild<QLineEdit *>());
    }
    const QUrl expected(QStringLiteral("http://127.0.0.8"));
    QCOMPARE(browser.opened, QList<QUrl>({expected, expected, expected}));
    QCOMPARE(table->item(1, 0)->text(), QStringLiteral("SN00000002"));
}

void TestDeviceTable::destructionAfterSortsAndRefreshes()
{
    auto window = std::make_unique<MainWindow>();
    QTableWidget *table = deviceTable(*window);
    answer("SN00000001", "127.0.0.3");
    answer("SN00000002", "127.0.0.2");
    QTRY_COMPARE(table->rowCount(), 2);
    clickHeader(table, 1);
    QTest::mouseClick(refreshButton(*window), Qt::LeftButton);
    QCOMPARE(table->rowCount(), 0);

    answer("SN00000003", "127.0.0.4");
    answer("SN00000004", "127.0.0.1");
    QTRY_COMPARE(table->rowCount(), 2);
    clickHeader(table, 1);
    clickHeader(table, 0);

    // The sanitizer build turns a double delete or a leaked record into a failure here.
    QSignalSpy destroyed(table, &QObject::destroyed);
    window.reset();
    QCOMPARE(destroyed.count(), 1);
}

void TestDeviceTable::refreshesWithThousandsOfRows()
{
    // Refresh hands the records of a large search to the event loop to free; none of it may
    // show in the table, in the next search's rows, or outlive the window.
    auto window = std::make_unique<MainWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTableWidget *table = deviceTable(*window);
    // A fresh search, so that its whole window is left for the answers.
    QTest::mouseClick(refreshButton(*window), Qt::LeftButton);
    listMany(table, "SNAA", 3000);
    clickHeader(table, 0);
    table->selectRow(2500);
    table->scrollToItem(table->item(2500, 0));

    QTest::mouseClick(refreshButton(*window), Qt::LeftButton);
    QCOMPARE(table->rowCount(), 0);
    QVERIFY(table->selectionModel()->selectedIndexes().isEmpty());
    QVERIFY(!connectButton(*window)->isEnabled());

    // The same devices are new to the next search.
    listMany(table, "SNAA", 2500);
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("SNAA000000"));
    QCOMPARE(table->item(2499, 0)->text(), QStringLiteral("SNAA002499"));

    // Two refreshes in a row, the window closed while their records are still being freed.
    QTest::mouseClick(refreshButton(*window), Qt::LeftButton);
    listMany(table, "SNBB", 2500);
    QTest::mouseClick(refreshButton(*window), Qt::LeftButton);
    QCOMPARE(table->rowCount(), 0);
    window.reset();
}

void TestDeviceTable::burstListsEveryDeviceInItsRow()
{
    // A thousand answers at once: the rows are placed while the list of records grows, and
    // every cell must still show its own record.
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableWidget *table = deviceTable(window);
    QTest::mouseClick(refreshButton(window), Qt::LeftButton);
    QUdpSocket device;
    QVERIFY(device.bind(QHostAddress::LocalHost, 0));
    QStringList serials;
    QStringList macs;
    for (int n = 0; n < 1000; ++n) {
        const QByteArray serial = "SNCC" + QByteArray::number(n).rightJustified(6, '0');
        const QByteArray mac = "02:00:00:00:" + QByteArray::number(n / 256 + 16, 16) + ':' +
                               QByteArray::number(n % 256 + 256, 16).right(2);
        serials << QString::fromLatin1(serial);
        macs << QString::fromLatin1(mac);
        QCOMPARE(device.writeDatagram("ACK " + serial + ' ' + mac, QHostAddress::LocalHost, 44444),
                 qint64(32));
    }
    QTRY_COMPARE(table->rowCount(), 1000);
    QCOMPARE(column(table, 0), serials);
    QCOMPARE(column(table, 2), macs);
}

QTEST_MAIN(TestDeviceTable)
#include "tst_devicetable.moc"
