#pragma once

#include <QByteArray>
#include <QObject>

class QHostAddress;
class QTcpServer;
class QTcpSocket;

// The small web interface of the simulated devices: every HTTP request gets the same page.
class WebPage : public QObject
{
    Q_OBJECT

public:
    explicit WebPage(QByteArray html, QObject *parent = nullptr);

    bool listen(const QHostAddress &address, quint16 port, QString *error);

private:
    void serve(QTcpSocket *client);

    QByteArray html;
    QTcpServer *server;
};
