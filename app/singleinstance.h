#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// One running copy of the program per user and desktop session. The copy that runs listens on a
// local socket; a copy started after it asks it, through that socket, to bring its window
// forward, and then ends without doing anything else.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // serverName: the local socket's name or path, e.g. sessionServerName().
    explicit SingleInstance(const QString &serverName, QObject *parent = nullptr);

    // The socket for this user and desktop session: in the user's runtime folder when there is
    // one, named after the user and the display either way. On Windows, where pipes are seen
    // by every session, the name holds the session; in the shared temporary folder, the mount
    // namespace, since displays of the same number in other namespaces are other sessions.
    static QString sessionServerName();

    enum class Claim {
        // This copy is the one to run: it now listens for later starts (or, when the socket
        // cannot be made at all, runs without it).
        Run,
        // Another copy runs and has been asked to show its window; this copy should end.
        HandedOver,
        // Another copy holds the socket but gave no answer in time: it hangs, so this copy
        // should tell the user (notAnsweringText) and end.
        NotAnswering,
    };

    // A socket or lock file that another user made, or a running copy of another user, is never
    // trusted: this copy then runs without the shortcut. So does one that finds the Windows pipe
    // name taken by a pipe that did not answer as a copy of ours.
    Claim claim();

    static QString notAnsweringText();

signals:
    // A later start asked for the window.
    void activationRequested();

private:
    enum class Answer {
        // No copy listens (or one that is closing down hung up): this copy takes the socket.
        Nobody,
        // Another user's program holds the socket.
        Stranger,
        Shown,
        // Connected, but no answer within the answer wait.
        Silent,
    };
    Answer askRunningCopy();
    void acceptConnections();
    void readRequest(QLocalSocket *socket);

    QString serverName;
    QLocalServer *server = nullptr;
};
