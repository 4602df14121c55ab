#include "singleinstance.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <csignal>
#include <cstring>
#include <sched.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
std::wstring pipePath(const QString &name)
{
    return QString(QLatin1String("\\\\.\\pipe\\") + name).toStdWString();
}

// A client's attempt to reach the pipe: ERROR_SUCCESS when a free instance took it.
DWORD connectionError(const QString &name)
{
    const HANDLE client = ::CreateFileW(pipePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (client == INVALID_HANDLE_VALUE)
        return ::GetLastError();
    ::CloseHandle(client);
    return ERROR_SUCCESS;
}
#else
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

// A server at path, run by a child process as another user, that answers every request as a
// copy of the program would; its PID, or -1. The socket file is root's, as if the stranger had
// reached a file of ours, so that only the server's own user can give it away.
pid_t startStrangersServer(const QString &path)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray file = QFile::encodeName(path);
        ::strncpy(address.sun_path, file.constData(), sizeof address.sun_path - 1);
        const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0 ||
            ::bind(server, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::listen(server, 4) != 0 || ::write(ready[1], "+", 1) != 1)
            ::_exit(1);
        ::close(ready[1]);
        for (int client; (client = ::accept(server, nullptr, nullptr)) >= 0; ::close(client)) {
            char request[64];
            if (::read(client, request, sizeof request) > 0 && ::write(client, "shown\n", 6) < 0)
                ::_exit(1);
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    const bool listening = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    if (!listening) {
        ::waitpid(child, nullptr, 0);
        return -1;
    }
    return child;
}
#endif

} // namespace

// The hand-over between copies is tested on the real program (tests/app/second-start); here,
// what a name that others can reach lets another user or program do.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
#ifdef Q_OS_WIN
    void pipeNameHoldsUserAndSession();
    void pipeNameTakenByAnotherIsNotJoined_data();
    void pipeNameTakenByAnotherIsNotJoined();
#else
    void filesOfAnotherUserAreNotTrusted_data();
    void filesOfAnotherUserAreNotTrusted();
    void serverOfAnotherUserIsNotTrusted();
    void sessionsOfOtherMountNamespacesDoNotMeet();
#endif
};

#ifdef Q_OS_WIN
// Pipe names are seen by every session and user: each user's copy in each session has its own.
void TestSingleInstance::pipeNameHoldsUserAndSession()
{
    DWORD session = 0;
    QVERIFY(::ProcessIdToSessionId(::GetCurrentProcessId(), &session));
    const QByteArray user = qgetenv("USERNAME");
    const auto restore = qScopeGuard([user] { qputenv("USERNAME", user); });
    QStringList names;
    for (const char *name : {"anna", "Jan Kowalski"}) {
        qputenv("USERNAME", name);
        names << SingleInstance::sessionServerName();
    }
    const QString suffix = QLatin1Char('-') + QString::number(session);
    QCOMPARE(names, QStringList({QLatin1String("ostrel-scout-anna") + suffix,
                                 QLatin1String("ostrel-scout-Jan_Kowalski") + suffix}));
}

void TestSingleInstance::pipeNameTakenByAnotherIsNotJoined_data()
{
    QTest::addColumn<bool>("taken");
    QTest::newRow("free") << false;
    QTest::newRow("taken") << true;
}

// Another program's pipe of the name, which anyone may add instances to, its one instance busy:
// nothing there answers as a copy of ours. This copy runs, and adds no instance of its own that
// later starts might reach instead of the other's.
void TestSingleInstance::pipeNameTakenByAnotherIsNotJoined()
{
    QFETCH(bool, taken);
    const QString name =
        QStringLiteral("ostrel-scout-test-%1").arg(QCoreApplication::applicationPid());
    HANDLE theirs = INVALID_HANDLE_VALUE;
    HANDLE busy = INVALID_HANDLE_VALUE;
    const auto close = qScopeGuard([&theirs, &busy] {
        for (const HANDLE handle : {busy, theirs}) {
            if (handle != INVALID_HANDLE_VALUE)
                ::CloseHandle(handle);
        }
    });
    if (taken) {
        SECURITY_DESCRIPTOR open;
        QVERIFY(::InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
        QVERIFY(::SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
        SECURITY_ATTRIBUTES attributes = {sizeof attributes, &open, FALSE};
        theirs = ::CreateNamedPipeW(pipePath(name).c_str(), PIPE_ACCESS_DUPLEX,
                                    PIPE_TYPE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 0, 0, 0,
                                    &attributes);
        QVERIFY(theirs != INVALID_HANDLE_VALUE);
        busy = ::CreateFileW(pipePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, 0, nullptr);
        QVERIFY(busy != INVALID_HANDLE_VALUE);
    }

    SingleInstance instance(name);
    QVERIFY(instance.claim() == SingleInstance::Claim::Run);
    QCOMPARE(connectionError(name), taken ? DWORD(ERROR_PIPE_BUSY) : DWORD(ERROR_SUCCESS));
}
#else

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

// Another user's server behind a socket file of ours: its answer does not end this start, and
// its socket stays where it is.
void TestSingleInstance::serverOfAnotherUserIsNotTrusted()
{
    if (::getuid() != 0)
        QSKIP("running a server as another user needs root");
    QTemporaryDir folder;
    QVERIFY(QFile::setPermissions(folder.path(), QFileDevice::Permissions(0x7777)));
    const QString name = folder.filePath(QStringLiteral("scout"));
    const pid_t stranger = startStrangersServer(name);
    QVERIFY(stranger > 0);
    const auto stop = qScopeGuard([stranger] {
        ::kill(stranger, SIGKILL);
        ::waitpid(stranger, nullptr, 0);
    });
    QCOMPARE(::chown(QFile::encodeName(name).constData(), 0, 0), 0);

    SingleInstance later(name);
    QVERIFY(later.claim() == SingleInstance::Claim::Run);
    QVERIFY(QFileInfo(name).exists());
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

#endif

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
