#include "loopbackhttpserver.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return QByteArrayLiteral("OK");
    case 204:
        return QByteArrayLiteral("No Content");
    case 302:
        return QByteArrayLiteral("Found");
    case 404:
        return QByteArrayLiteral("Not Found");
    case 500:
        return QByteArrayLiteral("Internal Server Error");
    default:
        return QByteArrayLiteral("Status");
    }
}

} // namespace

QByteArray LoopbackHttpServer::Request::header(const QByteArray &name) const
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return {};
}

LoopbackHttpServer::Answer LoopbackHttpServer::respond(int status, const QByteArray &body,
                                                       const QByteArray &contentType,
                                                       const QByteArray &extraHeaders)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) +
                      "\r\nContent-Type: " + contentType +
                      "\r\nContent-Length: " + QByteArray::number(body.size()) +
                      "\r\nConnection: close\r\n" + extraHeaders + "\r\n";
    Answer answer;
    answer.pieces.append(head + body);
    return answer;
}

LoopbackHttpServer::Answer LoopbackHttpServer::silent()
{
    Answer answer;
    answer.keepOpen = true;
    return answer;
}

LoopbackHttpServer::Answer LoopbackHttpServer::split(const Answer &answer, int pieceSize,
                                                     int pauseMs)
{
    const QByteArray whole = answer.pieces.join();
    Answer result = answer;
    result.pieces.clear();
    result.pauseMs = pauseMs;
    for (int at = 0; at < whole.size(); at += pieceSize)
        result.pieces.append(whole.mid(at, pieceSize));
    return result;
}

LoopbackHttpServer::Answer LoopbackHttpServer::chunked(const QList<QByteArray> &parts, int pauseMs)
{
    Answer answer;
    answer.pauseMs = pauseMs;
    answer.pieces.append("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                         "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n");
    for (const QByteArray &part : parts)
        answer.pieces.append(QByteArray::number(part.size(), 16) + "\r\n" + part + "\r\n");
    answer.pieces.append("0\r\n\r\n");
    return answer;
}

LoopbackHttpServer::LoopbackHttpServer(QObject *parent)
    : QObject(parent)
{
    connect(&server, &QTcpServer::newConnection, this, &LoopbackHttpServer::accept);
}

bool LoopbackHttpServer::listen(quint16 port)
{
    return server.listen(QHostAddress::LocalHost, port);
}

QUrl LoopbackHttpServer::url(const QString &path) const
{
    QUrl address;
    address.setScheme(QStringLiteral("http"));
    address.setHost(QStringLiteral("127.0.0.1"));
    address.setPort(server.serverPort());
    address.setPath(path);
    return address;
}

QUrl LoopbackHttpServer::refusedUrl()
{
    // A port that was just free and is closed again.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    QUrl address(QStringLiteral("http://127.0.0.1/scout/check"));
    address.setPort(probe.serverPort());
    return address;
}

void LoopbackHttpServer::setAnswer(const QString &path, const Answer &answer)
{
    answers.insert(path.toUtf8(), answer);
}

void LoopbackHttpServer::accept()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        socket->setParent(this);
        pending.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (!answered.remove(socket))
                ++clientCloses;
            pending.remove(socket);
            socket->deleteLater();
        });
    }
}

void LoopbackHttpServer::readRequest(QTcpSocket *socket)
{
    auto buffered = pending.find(socket);
    if (buffered == pending.end())
        return;
    *buffered += socket->readAll();

    const int headEnd = buffered->indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;
    QList<QByteArray> lines = buffered->left(headEnd).split('\n');
    Request request;
    const QList<QByteArray> requestLine = lines.takeFirst().trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    for (const QByteArray &line : lines) {
        const int colon = line.indexOf(':');
        request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    const int length = request.header("Content-Length").toInt();
    if (buffered->size() < headEnd + 4 + length)
        return;
    request.body = buffered->mid(headEnd + 4, length);
    pending.erase(buffered);
    received.append(request);
    emit requestReceived();

    const Answer answer = answers.value(request.path, respond(404, {}, "text/plain"));
    writePiece(socket, answer, 0);
}

void LoopbackHttpServer::writePiece(QTcpSocket *socket, const Answer &answer, int index)
{
    if (index < answer.pieces.size()) {
        socket->write(answer.pieces.at(index));
        if (index + 1 < answer.pieces.size()) {
            QTimer::singleShot(answer.pauseMs, socket, [this, socket, answer, index] {
                writePiece(socket, answer, index + 1);
            });
            return;
        }
    }
    if (!answer.keepOpen) {
        // Closing waits until everything written has gone out.
        answered.insert(socket);
        socket->disconnectFromHost();
    }
}
