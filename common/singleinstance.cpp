#include "singleinstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

const QByteArray showRequest = QByteArrayLiteral("show\n");
const QByteArray shownAnswer = QByteArrayLiteral("shown\n");
constexpr qint64 maxRequestSize = 64;
// A later start must be gone within a second, whatever the running copy is doing.
constexpr int connectWaitMs = 300;
constexpr int answerWaitMs = 600;
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
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    const QString name =
        QStringLiteral("ostrel-scout-%1-%2").arg(fileNamePart(user), fileNamePart(display));
#ifdef Q_OS_UNIX
    // The runtime folder is the user's alone; the temporary folder is everybody's.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(name);
#endif
    return name;
}

bool SingleInstance::claim()
{
    // Two copies started at the same moment decide one after the other. Without the lock (a
    // folder where it cannot be made) the decision is made all the same.
    const QString socketPath = socketFilePath(serverName);
    const QString lockPath = socketPath + QLatin1String(".lock");
    if (madeByAnotherUser(socketPath) || madeByAnotherUser(lockPath))
        return true;
    QLockFile lock(lockPath);
    lock.tryLock(lockWaitMs);

    if (askRunningCopy())
        return false;
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
    return true;
}

bool SingleInstance::askRunningCopy()
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(connectWaitMs))
        return false;
    socket.write(showRequest);
    socket.waitForBytesWritten(answerWaitMs);
    while (socket.bytesAvailable() < shownAnswer.size() && socket.waitForReadyRead(answerWaitMs)) {
    }
    if (socket.readAll() == shownAnswer)
        return true;
    // A copy that is closing down hangs up without answering: this one takes over. One that
    // is too busy to answer in time still runs and shows its window when it gets to it.
    return socket.state() == QLocalSocket::ConnectedState;
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
