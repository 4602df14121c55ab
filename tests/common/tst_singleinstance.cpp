#include "singleinstance.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// sessionServerName() as a process in a mount namespace of its own sees it; empty when no
// such namespace can be made here.
QByteArray nameInOwnMountNamespace()
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (::unshare(CLONE_NEWNS) == 0 || ::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0) {
            const QByteArray name = SingleInstance::sessionServerName().toUtf8();
            if (::write(pipeEnds[1], name.constData(), size_t(name.size())) < 0)
                ::_exit(1);
        }
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    QByteArray name;
    char buffer[256];
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        name.append(buffer, int(got));
    ::close(pipeEnds[0]);
    ::waitpid(child, nullptr, 0);
    return name;
}

} // namespace

// The hand-over between copies is tested on the real program (tests/app/second-start); here,
// what a shared temporary folder lets another user do.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void filesOfAnotherUserAreNotTrusted_data();
    void filesOfAnotherUserAreNotTrusted();
    void sessionsOfOtherMountNamespacesDoNotMeet();
};

void TestSingleInstance::filesOfAnotherUserAreNotTrusted_data()
{
    QTest::addColumn<QString>("strangersFile");
    QTest::addColumn<bool>("runs");
    QTest::newRow("ours") << QString() << false;
    QTest::newRow("socket of another user") << QStringLiteral("socket") << true;
    QTest::newRow("lock of another user") << QStringLiteral("lock") << true;
}

void TestSingleInstance::filesOfAnotherUserAreNotTrusted()
{
    QFETCH(QString, strangersFile);
    QFETCH(bool, runs);
    if (::getuid() != 0)
        QSKIP("giving a file to another user needs root");

    QTemporaryDir folder;
    const QString name = folder.filePath(QStringLiteral("scout"));
    // The running copy: it holds the socket and answers later starts.
    SingleInstance running(name);
    QVERIFY(running.claim() == SingleInstance::Claim::Run);
    const QString lockPath = name + QLatin1String(".lock");
    if (strangersFile == QLatin1String("socket"))
        QCOMPARE(::chown(QFile::encodeName(name).constData(), 65534, 65534), 0);
    if (strangersFile == QLatin1String("lock")) {
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.close();
        QCOMPARE(::chown(QFile::encodeName(lockPath).constData(), 65534, 65534), 0);
    }

    SingleInstance later(name);
    QCOMPARE(later.claim() == SingleInstance::Claim::Run, runs);
}

// Without a runtime folder the socket goes to the shared temporary folder, where a display :0
// of another mount namespace (its own /tmp/.X11-unix, its own X server) is another session.
void TestSingleInstance::sessionsOfOtherMountNamespacesDoNotMeet()
{
    qunsetenv("XDG_RUNTIME_DIR");
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("DISPLAY", ":0");
    const QString here = SingleInstance::sessionServerName();
    QVERIFY(!QFileInfo(here).isAbsolute());
    const QByteArray there = nameInOwnMountNamespace();
    if (there.isEmpty())
        QSKIP("no mount namespace of its own can be made here");
    QVERIFY2(QString::fromUtf8(there) != here, there.constData());
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
