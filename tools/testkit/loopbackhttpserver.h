#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// A small HTTP server on 127.0.0.1 for the update check's tests. It records every request and
// answers each path with the answer set for it: in one write, in pieces with pauses, never,
// or never completely.
class LoopbackHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method;
        QByteArray path;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;

        // The value of a header, looked up without regard to case; empty if absent.
        QByteArray header(const QByteArray &name) const;
    };

    struct Answer
    {
        QList<QByteArray> pieces; // written one after another
        int pauseMs = 0;          // before each piece after the first
        bool keepOpen = false;    // leave the connection open after the last piece
    };

    // A complete answer with Content-Length, written at once; the server then closes.
    // extraHeaders are further header lines, each ending in "\r\n".
    static Answer respond(int status, const QByteArray &body,
                          const QByteArray &contentType = QByteArrayLiteral("application/json"),
                          const QByteArray &extraHeaders = {});
    // Reads the request and never writes anything.
    static Answer silent();
    // The same answer cut into pieces of at most pieceSize bytes, pauseMs apart.
    static Answer split(const Answer &answer, int pieceSize, int pauseMs);
    // A 200 answer in chunked transfer coding, one chunk per part, pauseMs apart.
    static Answer chunked(const QList<QByteArray> &parts, int pauseMs);

    explicit LoopbackHttpServer(QObject *parent = nullptr);

    // On 127.0.0.1, at port or, with 0, a free one.
    bool listen(quint16 port = 0);
    QUrl url(const QString &path = QStringLiteral("/scout/check")) const;
    // A loopback address on which nothing listens: connecting there is refused.
    static QUrl refusedUrl();

    void setAnswer(const QString &path, const Answer &answer);

    const QList<Request> &requests() const { return received; }
    // Connections that the client closed before the server had written the whole answer.
    int clientCloseCount() const { return clientCloses; }

signals:
    // A whole request has been read; it is the last of requests().
    void requestReceived();

private:
    void accept();
    void readRequest(QTcpSocket *socket);
    void writePiece(QTcpSocket *socket, const Answer &answer, int index);

    QTcpServer server;
    QHash<QByteArray, Answer> answers;
    QHash<QTcpSocket *, QByteArray> pending;
    QSet<QTcpSocket *> answered;
    QList<Request> received;
    int clientCloses = 0;
};
