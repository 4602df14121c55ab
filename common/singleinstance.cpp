#include "singleinstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

const QByteArray showRequest = QByteArrayLiteral("show\n");
const QByteArray shownAnswer = QByteArrayLiteral("shown\n");
constexpr qint64 maxRequestSize = 64;
// A running copy answers at once, so a later start is gone within a second. One that has just
// started answers only once its window is built, which can take seconds on a loaded machine;
// silence longer than the answer wait means it hangs.
constexpr int connectWaitMs = 300;
constexpr int answerWaitMs = 5000;
// Long enough for another start to make its decision, which takes milliseconds.
constexpr int lockWaitMs = 3000;

// Letters, digits, dots and dashes; a display's screen number (":0.0") is the same session.
QString fileNamePart(QString text)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    const int dot = text.lastIndexOf(QLatin1Char('.'));
    if (colon >= 0 && dot > colon)
        text.truncate(dot);
    for (QChar &c : text) {
        const bool plain = c.unicode() < 128 &&
                           (c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-'));
        if (!plain)
            c = QLatin1Char('_');
    }
    return text;
}

// QLocalServer puts a name that is not a path into the temporary folder.
QString socketFilePath(const QString &serverName)
{
    return QFileInfo(serverName).isAbsolute() ? serverName : QDir::temp().filePath(serverName);
}

// In a folder that every user can write to, another user may have made the file first: such a
// file is no copy of ours, and its answer must not end this start.
bool madeByAnotherUser(const QString &path)
{
#ifdef Q_OS_UNIX
    const QFileInfo file(path);
    return file.exists() && file.ownerId() != ::getuid();
#else
    Q_UNUSED(path)
    return false;
#endif
}

} // namespace

SingleInstance::SingleInstance(const QString &serverName, QObject *parent)
    : QObject(parent)
    , serverName(serverName)
{}

QString SingleInstance::sessionServerName()
{
#ifdef Q_OS_UNIX
    const QString user = QString::number(::getuid());
#else
    const QString user = qEnvironmentVariable("USERNAME");
#endif
#ifdef Q_OS_WIN
    DWORD sessionId = 0;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &sessionId);
    const QString session = QString::number(sessionId);
#else
    QString session = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (session.isEmpty())
        session = qEnvironmentVariable("DISPLAY");
#endif
    QString name =
        QStringLiteral("ostrel-scout-%1-%2").arg(fileNamePart(user), fileNamePart(session));
#ifdef Q_OS_UNIX
    // The runtime folder is the user's alone; the temporary folder is everybody's.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(name);
    // Display :0 of another mount namespace (its own /tmp/.X11-unix) is another X server.
    struct stat mountNamespace;
    if (::stat("/proc/self/ns/mnt", &mountNamespace) == 0)
        name += QLatin1Char('-') + QString::number(mountNamespace.st_ino);
#endif
    return name;
}

QString SingleInstance::notAnsweringText()
{
    return tr("Ostrel Scout is already running but does not answer. End it, for example in the "
              "system monitor, and start Ostrel Scout again.");
}

SingleInstance::Claim SingleInstance::claim()
{
    // Two copies started at the same moment decide one after the other. Without the lock (a
    // folder where it cannot be made) the decision is made all the same.
    const QString socketPath = socketFilePath(serverName);
    const QString lockPath = socketPath + QLatin1String(".lock");
    if (madeByAnotherUser(socketPath) || madeByAnotherUser(lockPath))
        return Claim::Run;
    QLockFile lock(lockPath);
    lock.tryLock(lockWaitMs);

    const Claim answer = askRunningCopy();
    if (answer != Claim::Run)
        return answer;
    // Nothing answers, so a socket file still there was left by a copy that crashed or was
    // killed.
    QLocalServer::removeServer(serverName);
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    // Once the program is ending, a later start must not wait for it but take over.
    if (const QCoreApplication *application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, server, &QLocalServer::close);
    // A socket that cannot be made only costs later starts their shortcut: run all the same.
    server->listen(serverName);
    return Claim::Run;
}

SingleInstance::Claim SingleInstance::askRunningCopy()
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(connectWaitMs))
        return Claim::Run;
    socket.write(showRequest);
    socket.waitForBytesWritten(answerWaitMs);
    while (socket.bytesAvailable() < shownAnswer.size() && socket.waitForReadyRead(answerWaitMs)) {
    }
    if (socket.readAll() == shownAnswer)
        return Claim::HandedOver;
    // A copy that is closing down hangs up without answering: this one takes over. One that
    // keeps the connection without answering hangs; silence would leave the user waiting for
    // a window that never comes.
    return socket.state() == QLocalSocket::ConnectedState ? Claim::NotAnswering : Claim::Run;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        readRequest(socket);
    }
}

void SingleInstance::readRequest(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        // Whatever this is, it is not a request.
        if (socket->bytesAvailable() > maxRequestSize)
            socket->abort();
        return;
    }
    if (socket->readLine(maxRequestSize + 1) == showRequest) {
        emit activationRequested();
        socket->write(shownAnswer);
    }
    socket->disconnectFromServer();
}
