#include "updatewindow.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

// Which language this run expects, taken from the environment the test was started with,
// not from the code under test.
bool expectPolish()
{
    return qEnvironmentVariable("LC_ALL").startsWith(QLatin1String("pl"));
}

QPushButton *buttonAt(UpdateWindow &window, int x)
{
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        if (button->geometry().x() == x)
            return button;
    }
    return nullptr;
}

QPushButton *updateButton(UpdateWindow &window)
{
    return buttonAt(window, 90);
}

QPushButton *cancelButton(UpdateWindow &window)
{
    return buttonAt(window, 210);
}

QString expectedMessage(const QString &version)
{
    if (expectPolish())
        return QStringLiteral("Ostrel Scout w wersji ") + version +
               QStringLiteral(" jest już dostępny.");
    return QStringLiteral("Ostrel Scout v") + version + QStringLiteral(" is now available.");
}

} // namespace

class TestUpdateWindow : public QObject
{
    Q_OBJECT

private slots:
    void textsAndGeometry();
    void fixedSize();
    void label_data();
    void label();
    void updateButtonAccepts();
    void cancelButtonEndsQuietly();
    void closeControlOnlyHides();
};

void TestUpdateWindow::textsAndGeometry()
{
    UpdateWindow window(QStringLiteral("2.1"));
    QVERIFY(!window.isVisible());
    QVERIFY(!window.parent());

    const QList<QLabel *> labels = window.findChildren<QLabel *>();
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first()->geometry(), QRect(10, 10, 380, 50));
    QCOMPARE(window.findChildren<QPushButton *>().size(), 2);
    QPushButton *update = updateButton(window);
    QPushButton *cancel = cancelButton(window);
    QVERIFY(update);
    QVERIFY(cancel);
    QCOMPARE(update->geometry(), QRect(90, 100, 100, 30));
    QCOMPARE(cancel->geometry(), QRect(210, 100, 100, 30));
    QCOMPARE(update->nextInFocusChain(), cancel);

    if (expectPolish()) {
        QCOMPARE(window.windowTitle(), QStringLiteral("Aktualizacja Ostrel Scout"));
        QCOMPARE(update->text(), QStringLiteral("Aktualizuj"));
        QCOMPARE(cancel->text(), QStringLiteral("Anuluj"));
    } else {
        QCOMPARE(window.windowTitle(), QStringLiteral("Ostrel Scout Update"));
        QCOMPARE(update->text(), QStringLiteral("Update now"));
        QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
    }
    QCOMPARE(labels.first()->text(), expectedMessage(QStringLiteral("2.1")));
}

void TestUpdateWindow::fixedSize()
{
    UpdateWindow window(QStringLiteral("2.1"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.minimumSize(), QSize(400, 150));
    QCOMPARE(window.maximumSize(), QSize(400, 150));
    QCOMPARE(window.size(), QSize(400, 150));
    window.resize(800, 600);
    QCOMPARE(window.size(), QSize(400, 150));
    window.resize(100, 50);
    QCOMPARE(window.size(), QSize(400, 150));
}

void TestUpdateWindow::label_data()
{
    QTest::addColumn<QString>("version");

    QTest::newRow("empty") << QString();
    QTest::newRow("very long") << QStringLiteral("2.1-").repeated(200);
    QTest::newRow("markup") << QStringLiteral("<b>2.1</b>");
    QTest::newRow("line break") << QStringLiteral("2.1\n2.2");
}

// The version is shown unchanged between the two texts; a long one is cut off by the label,
// which neither wraps nor makes the window grow.
void TestUpdateWindow::label()
{
    QFETCH(QString, version);

    UpdateWindow window(version);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto *label = window.findChild<QLabel *>();
    QVERIFY(label);
    QCOMPARE(label->text(), expectedMessage(version));
    QVERIFY(!label->wordWrap());
    QCOMPARE(label->geometry(), QRect(10, 10, 380, 50));
    QCOMPARE(window.size(), QSize(400, 150));
}

void TestUpdateWindow::updateButtonAccepts()
{
    QPointer<UpdateWindow> window = new UpdateWindow(QStringLiteral("2.1"));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QSignalSpy accepted(window, &UpdateWindow::updateAccepted);
    QSignalSpy destroyed(window, &QObject::destroyed);

    QPushButton *update = updateButton(*window);
    QTest::mouseClick(update, Qt::LeftButton);
    QCOMPARE(accepted.count(), 1);
    QCOMPARE(destroyed.count(), 0);
    // A second press before the window has gone does not count again.
    update->click();
    QTRY_VERIFY(window.isNull());
    QCOMPARE(accepted.count(), 1);
    QCOMPARE(destroyed.count(), 1);
}

void TestUpdateWindow::cancelButtonEndsQuietly()
{
    QPointer<UpdateWindow> window = new UpdateWindow(QStringLiteral("2.1"));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QSignalSpy accepted(window, &UpdateWindow::updateAccepted);

    QTest::mouseClick(cancelButton(*window), Qt::LeftButton);
    QTRY_VERIFY(window.isNull());
    QCOMPARE(accepted.count(), 0);
}

void TestUpdateWindow::closeControlOnlyHides()
{
    QPointer<UpdateWindow> window = new UpdateWindow(QStringLiteral("2.1"));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QSignalSpy accepted(window, &UpdateWindow::updateAccepted);

    QVERIFY(window->close());
    QTest::qWait(50);
    QVERIFY(!window.isNull());
    QVERIFY(!window->isVisible());
    QCOMPARE(accepted.count(), 0);
    delete window;
}

QTEST_MAIN(TestUpdateWindow)
#include "tst_updatewindow.moc"
