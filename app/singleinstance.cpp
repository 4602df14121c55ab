#include "singleinstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
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
// silence longer than the answer wait, counted from the connection attempt to the answer, means
// it hangs.
constexpr int connectWaitMs = 300;
constexpr int answerWaitMs = 5000;
// Long enough for another start to make its decision, which takes milliseconds. A lock that a
// killed copy left behind costs at most this: Qt takes it over once it sees its holder gone, but
// a holder that is dead and not yet reaped still counts as running. So a start never waits for
// others longer than the lock wait and the answer wait together.
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

#ifdef Q_OS_WIN
// The account a process runs as (its token's user SID); empty when that cannot be read.
QByteArray processUser(HANDLE process)
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    QByteArray buffer(int(size), '\0');
    const bool read =
        size > 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    ::CloseHandle(token);
    if (!read)
        return {};
    const PSID sid = reinterpret_cast<const TOKEN_USER *>(buffer.constData())->User.Sid;
    return QByteArray(static_cast<const char *>(sid), int(::GetLengthSid(sid)));
}

// A pipe's name is the whole machine's: one that exists already was made by another program or
// another user (a copy of ours would have answered), and QLocalServer would only add its own
// instances to it, where later starts might reach the other's. So the first instance is made
// here, where a name already taken makes it fail; it admits this user alone, and it is closed
// once QLocalServer's instances hold the name.
HANDLE createFirstPipeInstance(const QString &serverName)
{
    const QByteArray user = processUser(::GetCurrentProcess());
    if (user.isEmpty())
        return INVALID_HANDLE_VALUE;
    const auto sid = PSID(user.constData());
    QByteArray aclBuffer(int(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(sid)), '\0');
    const auto acl = reinterpret_cast<PACL>(aclBuffer.data());
    SECURITY_DESCRIPTOR descriptor;
    if (!::InitializeAcl(acl, DWORD(aclBuffer.size()), ACL_REVISION) ||
        !::AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid) ||
        !::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE))
        return INVALID_HANDLE_VALUE;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
    const QString path = QLatin1String("\\\\.\\pipe\\") + serverName;
    // The modes QLocalServer gives its instances: every instance of a pipe must share them.
    const HANDLE pipe = ::CreateNamedPipeW(reinterpret_cast<const wchar_t *>(path.utf16()),
                                           PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                           PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                           PIPE_UNLIMITED_INSTANCES, 0, 0, 0, &attributes);
    // Wine ignores the flag and adds the instance; the count of instances tells all the same.
    DWORD instances = 0;
    if (pipe != INVALID_HANDLE_VALUE &&
        (!::GetNamedPipeHandleStateW(pipe, nullptr, &instances, nullptr, nullptr, nullptr, 0) ||
         instances != 1)) {
        ::CloseHandle(pipe);
        return INVALID_HANDLE_VALUE;
    }
    return pipe;
}
#endif

// Whoever answers must be this user: another user's program could have taken the name first
// (a Windows pipe name is the machine's, the temporary folder everybody's), and its answer would
// end every start. A server whose user cannot be told is another user's.
bool servedByAnotherUser(const QLocalSocket &socket)
{
#if defined(Q_OS_LINUX)
    ucred peer = {};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) !=
               0 ||
           peer.uid != ::getuid();
#elif defined(Q_OS_WIN)
    ULONG serverId = 0;
    if (!::GetNamedPipeServerProcessId(HANDLE(socket.socketDescriptor()), &serverId))
        return true;
    const HANDLE server = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, serverId);
    if (!server)
        return true;
    const QByteArray serverUser = processUser(server);
    ::CloseHandle(server);
    return serverUser.isEmpty() || serverUser != processUser(::GetCurrentProcess());
#else
    Q_UNUSED(socket)
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

    switch (askRunningCopy()) {
    case Answer::Shown:
        return Claim::HandedOver;
    case Answer::Silent:
        return Claim::NotAnswering;
    case Answer::Stranger:
        return Claim::Run;
    case Answer::Nobody:
        break;
    }
    // Nothing answers, so a socket file still there was left by a copy that crashed or was
    // killed.
    QLocalServer::removeServer(serverName);
#ifdef Q_OS_WIN
    const HANDLE firstInstance = createFirstPipeInstance(serverName);
    if (firstInstance == INVALID_HANDLE_VALUE)
        return Claim::Run;
#endif
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    // Once the program is ending, a later start must not wait for it but take over.
    if (const QCoreApplication *application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, server, &QLocalServer::close);
    // A socket that cannot be made only costs later starts their shortcut: run all the same.
    server->listen(serverName);
#ifdef Q_OS_WIN
    ::CloseHandle(firstInstance);
#endif
    return Claim::Run;
}

SingleInstance::Answer SingleInstance::askRunningCopy()
{
    const QDeadlineTimer answerDeadline(answerWaitMs);
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(connectWaitMs))
        return Answer::Nobody;
    if (servedByAnotherUser(socket))
        return Answer::Stranger;
    socket.write(showRequest);
    socket.waitForBytesWritten(int(answerDeadline.remainingTime()));
    while (socket.bytesAvailable() < shownAnswer.size() &&
           socket.waitForReadyRead(int(answerDeadline.remainingTime()))) {
    }
    if (socket.readAll() == shownAnswer)
        return Answer::Shown;
    // A copy that is closing down hangs up without answering: this one takes over. One that
    // keeps the connection without answering hangs; silence would leave the user waiting for
    // a window that never comes.
    return socket.state() == QLocalSocket::ConnectedState ? Answer::Silent : Answer::Nobody;
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
