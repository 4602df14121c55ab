#include "webpage.h"

#include <cstdio>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

// A client that never finishes its request headers is not kept forever.
constexpr int maxRequestBytes = 16 * 1024;

} // namespace

WebPage::WebPage(QByteArray html, QObject *parent)
    : QObject(parent)
    , html(std::move(html))
    , server(new QTcpServer(this))
{
    connect(server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *client = server->nextPendingConnection()) {
            connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QTcpSocket::readyRead, this, [this, client] { serve(client); });
        }
    });
}

bool WebPage::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (!server->listen(address, port)) {
        *error = server->errorString();
        return false;
    }
    std::fprintf(stderr, "web page on %s:%u\n", qPrintable(address.toString()),
                 unsigned(server->serverPort()));
    return true;
}

void WebPage::serve(QTcpSocket *client)
{
    // The request itself does not matter; answer once its headers are complete.
    const QByteArray received = client->peek(maxRequestBytes);
    if (!received.contains("\r\n\r\n") && received.size() < maxRequestBytes)
        return;
    client->readAll();
    disconnect(client, &QTcpSocket::readyRead, this, nullptr);

    QByteArray response = QByteArrayLiteral("HTTP/1.0 200 OK\r\n"
                                            "Content-Type: text/html; charset=utf-8\r\n"
                                            "Connection: close\r\n"
                                            "Content-Length: ");
    response += QByteArray::number(html.size()) + "\r\n\r\n" + html;
    client->write(response);
    client->disconnectFromHost();
}
