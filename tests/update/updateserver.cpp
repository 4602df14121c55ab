// scout-test-update-server: an update server on 127.0.0.1 for runs of the real program.
// Answers POSTs to PATH with status 200 and the JSON BODY, prints one line per request, and
// runs until it is ended. Run it only inside a private network namespace.
// Usage: scout-test-update-server PORT PATH BODY
#include "loopbackhttpserver.h"

#include <cstdio>
#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    bool ok = arguments.size() == 4;
    const uint port = arguments.value(1).toUInt(&ok);
    if (!ok || port > 65535) {
        std::fprintf(stderr, "usage: scout-test-update-server PORT PATH BODY\n");
        return 2;
    }

    LoopbackHttpServer server;
    server.setAnswer(arguments.at(2), LoopbackHttpServer::respond(200, arguments.at(3).toUtf8()));
    if (!server.listen(static_cast<quint16>(port))) {
        std::fprintf(stderr, "scout-test-update-server: cannot listen on port %u\n", port);
        return 1;
    }
    QObject::connect(&server, &LoopbackHttpServer::requestReceived, [&server] {
        const LoopbackHttpServer::Request &request = server.requests().constLast();
        std::printf("request %s %s %s\n", request.method.constData(), request.path.constData(),
                    request.body.constData());
        std::fflush(stdout);
    });
    std::printf("listening on %s\n", qPrintable(server.url(arguments.at(2)).toString()));
    std::fflush(stdout);
    return app.exec();
}
