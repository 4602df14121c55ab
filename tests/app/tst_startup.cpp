#include "loopbackhttpserver.h"
#include "mainwindow.h"
#include "scupdate.h"
#include "updateprompts.h"
#include "updatewindow.h"
#include "version.h"

#include <QApplication>
#include <QNetworkProxy>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

QList<QWidget *> visibleWindows()
{
    QList<QWidget *> visible;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible())
            visible.append(widget);
    }
    return visible;
}

} // namespace

// The main window together with the update check, the way start-up puts them together.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowWorksWithServerUnreachable();
    // Runs the application's event loop, so it goes last.
    void promptKeepsProcessRunning();
};

void TestStartup::initTestCase()
{
    QCoreApplication::setApplicationVersion(QStringLiteral(SCOUT_VERSION));
    // A proxy from the environment must not come between the checker and the test's server.
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void TestStartup::windowWorksWithServerUnreachable()
{
    MainWindow window;
    window.show();
    // The built-in address does not resolve here, and nothing listens on the other one.
    QPointer<SCUpdate> unresolved = new SCUpdate(qApp);
    unresolved->checkForUpdate();
    QPointer<SCUpdate> refused = new SCUpdate(qApp, LoopbackHttpServer::refusedUrl());
    refused->checkForUpdate();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto *refresh = window.findChild<QPushButton *>(QStringLiteral("refreshButton"));
    QVERIFY(refresh);
    QTest::mouseClick(refresh, Qt::LeftButton);

    QTRY_VERIFY_WITH_TIMEOUT(unresolved.isNull() && refused.isNull(), 6000);
    QVERIFY(window.isVisible());
    QCOMPARE(visibleWindows(), QList<QWidget *>{&window});
    QVERIFY(updatePrompts().isEmpty());
}

void TestStartup::promptKeepsProcessRunning()
{
    LoopbackHttpServer server;
    QVERIFY(server.listen());
    server.setAnswer(QStringLiteral("/scout/check"),
                     LoopbackHttpServer::respond(200, R"({"newestVersion":"2.1"})"));

    MainWindow window;
    window.show();
    QPointer<SCUpdate> checker = new SCUpdate(qApp, server.url());
    checker->checkForUpdate();
    QTRY_COMPARE(updatePrompts().size(), 1);
    QPointer<UpdateWindow> prompt = updatePrompts().constFirst();
    QVERIFY(QTest::qWaitForWindowExposed(prompt));
    QPushButton *cancel = promptButton(prompt, "Cancel");
    QVERIFY(cancel);

    // Close the main window first; a while later, with the loop still running, cancel the
    // prompt. The loop must end only then, by the rule of the last window closed.
    bool runningWithPromptOnly = false;
    QTimer::singleShot(0, &window, [&window] { window.close(); });
    QTimer::singleShot(300, cancel, [&] {
        runningWithPromptOnly = !window.isVisible() && prompt->isVisible();
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    watchdog.start(10000);

    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(runningWithPromptOnly);
    QVERIFY(prompt.isNull());
    QTRY_VERIFY(checker.isNull());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
