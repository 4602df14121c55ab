#include "mainwindow.h"

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

QPushButton *buttonAt(MainWindow &window, int x)
{
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        if (button->geometry().x() == x)
            return button;
    }
    return nullptr;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void fixedSizeAndTitle();
    void formChildren();
    void buttons();
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

void TestMainWindow::buttons()
{
    MainWindow window;
    QPushButton *refresh = buttonAt(window, 528);
    QPushButton *connect = buttonAt(window, 638);
    QVERIFY(refresh);
    QVERIFY(connect);

    QCOMPARE(refresh->geometry(), QRect(528, 398, 100, 30));
    QCOMPARE(connect->geometry(), QRect(638, 398, 100, 30));
    QVERIFY(refresh->isEnabled());
    QVERIFY(!connect->isEnabled());

    if (expectPolish()) {
        QCOMPARE(refresh->text(), QStringLiteral("Odśwież"));
        QCOMPARE(connect->text(), QStringLiteral("Połącz"));
    } else {
        QCOMPARE(refresh->text(), QStringLiteral("Refresh"));
        QCOMPARE(connect->text(), QStringLiteral("Connect"));
    }
}

void TestMainWindow::logoAndIcon()
{
    MainWindow window;
    auto *logo = window.findChild<QLabel *>();
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
