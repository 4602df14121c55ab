#include "mainwindow.h"
#include "windowparts.h"

#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

namespace {

// Which language this run expects, taken from the environment the test was started with,
// not from the code under test.
bool expectPolish()
{
    return qEnvironmentVariable("LC_ALL").startsWith(QLatin1String("pl"));
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void fixedSizeAndTitle();
    void formChildren();
    void buttonsAndHeaders();
    void logoAndIcon();
};

void TestMainWindow::fixedSizeAndTitle()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.minimumSize(), QSize(748, 433));
    QCOMPARE(window.maximumSize(), QSize(748, 433));
    QCOMPARE(window.size(), QSize(748, 433));
    window.resize(1000, 800);
    QCOMPARE(window.size(), QSize(748, 433));
    QCOMPARE(window.windowTitle(), QStringLiteral("Ostrel Scout"));
}

void TestMainWindow::formChildren()
{
    MainWindow window;
    QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
    QVERIFY(window.findChild<QMenuBar *>(QStringLiteral("menuBar")));
    QVERIFY(window.findChild<QWidget *>(QStringLiteral("centralWidget")));
    auto *toolBar = window.findChild<QToolBar *>(QStringLiteral("mainToolBar"));
    QVERIFY(toolBar);

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!toolBar->isVisible());
    // The removed status bar is deleted once the event loop has run.
    QTRY_VERIFY(!window.findChild<QStatusBar *>(QStringLiteral("statusBar")));
    QVERIFY(!window.findChild<QStatusBar *>());
}

void TestMainWindow::buttonsAndHeaders()
{
    MainWindow window;
    QPushButton *refresh = refreshButton(window);
    QPushButton *connect = connectButton(window);
    QVERIFY(refresh);
    QVERIFY(connect);

    QCOMPARE(refresh->geometry(), QRect(528, 398, 100, 30));
    QCOMPARE(connect->geometry(), QRect(638, 398, 100, 30));
    QVERIFY(refresh->isEnabled());
    QVERIFY(!connect->isEnabled());
    QVERIFY(statusLine(window));
    QCOMPARE(statusLine(window)->geometry(), QRect(247, 398, 271, 30));

    QTableWidget *table = deviceTable(window);
    QVERIFY(table);
    QCOMPARE(table->geometry(), QRect(247, 10, 491, 383));
    QCOMPARE(table->columnCount(), 3);
    QCOMPARE(table->horizontalHeaderItem(1)->text(), QStringLiteral("IP"));
    QCOMPARE(table->horizontalHeaderItem(2)->text(), QStringLiteral("MAC"));

    if (expectPolish()) {
        QCOMPARE(refresh->text(), QStringLiteral("Odśwież"));
        QCOMPARE(connect->text(), QStringLiteral("Połącz"));
        QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("Numer seryjny"));
    } else {
        QCOMPARE(refresh->text(), QStringLiteral("Refresh"));
        QCOMPARE(connect->text(), QStringLiteral("Connect"));
        QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("Serial Number"));
    }
}

void TestMainWindow::logoAndIcon()
{
    MainWindow window;
    QLabel *logo = logoLabel(window);
    QVERIFY(logo);
    QCOMPARE(logo->geometry(), QRect(0, 0, 247, 433));
    const QPixmap pixmap = logo->pixmap(Qt::ReturnByValue);
    QCOMPARE(pixmap.size(), QSize(247, 433));

    const QList<QSize> sizes = window.windowIcon().availableSizes();
    for (int size : {16, 32, 48, 64, 128, 256})
        QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
