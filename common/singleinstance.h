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
    // one, named after the user and the display either way.
    static QString sessionServerName();

    // True when this copy is the one to run: it now listens for later starts (or, when the
    // socket cannot be made at all, runs without it). False when another copy runs and has
    // been asked to show its window; this copy should then end. A socket or lock file that
    // another user made is never trusted: this copy then runs without the shortcut.
    bool claim();

signals:
    // A later start asked for the window.
    void activationRequested();

private:
    bool askRunningCopy();
    void acceptConnections();
    void readRequest(QLocalSocket *socket);

    QString serverName;
    QLocalServer *server = nullptr;
};
