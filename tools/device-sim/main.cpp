// ostrel-device-sim: stands in for Ostrel devices on a network, for tests and manual tries.
#include "devicesimulator.h"
#include "flood.h"
#include "webpage.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

const char *const description = R"help(Stands in for one or many Ostrel devices on a network.

Listens on UDP port 44444 and answers every discovery request "OSTREL" with one 32-byte
answer per simulated device, sent to the request's sender address and port. It sends
nothing else, except in flood mode, which sends answers to the address given without any
request. Devices are given with --device or --device-hex or generated with --devices
(serials SIM0000000, SIM0000001, ..., MACs 02:00:00:00:00:00, ...); with none of these, one
device is generated.

Misbehaviour for tests of the receiving side: --size, --lowercase-marker, --tab-separator,
--delay, --flood (with --mix, duplicates and malformed datagrams among the answers).

Its messages go to standard error, which keeps standard output free for whatever runs beside
it. Prints "listening on ADDRESS:PORT" once it is ready; with --log one line per datagram:
"request from ADDRESS:PORT to DESTINATION (N bytes)", or "ignored ..." for anything but a
request. Runs until interrupted. Flood mode prints "flood: sending to ADDRESS:PORT" when it
starts and "flood: sent N answers ..." when its count or duration is reached, then exits.

Only run it in a private network namespace or on a network of your own.)help";

struct Endpoint
{
    QHostAddress address;
    quint16 port = 0;
};

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "ostrel-device-sim: %s\n", qPrintable(message));
    std::exit(2);
}

quint64 number(const QCommandLineParser &parser, const QString &option, quint64 maximum)
{
    bool ok = false;
    const quint64 value = parser.value(option).toULongLong(&ok);
    if (!ok || value > maximum)
        fail(QStringLiteral("--%1 needs a whole number from 0 to %2").arg(option).arg(maximum));
    return value;
}

QHostAddress address(const QString &text)
{
    QHostAddress result;
    if (!result.setAddress(text) || result.protocol() != QAbstractSocket::IPv4Protocol)
        fail(QStringLiteral("not an IPv4 address: %1").arg(text));
    return result;
}

// "ADDRESS" or "ADDRESS:PORT"
Endpoint endpoint(const QString &text, quint16 defaultPort)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    Endpoint result{address(colon < 0 ? text : text.left(colon)), defaultPort};
    if (colon >= 0) {
        bool ok = false;
        const uint port = text.mid(colon + 1).toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            fail(QStringLiteral("not a port: %1").arg(text.mid(colon + 1)));
        result.port = static_cast<quint16>(port);
    }
    return result;
}

// "DISTINCT:DUPLICATE:MALFORMED"
FloodMix floodMix(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    int shares[3] = {};
    bool ok = parts.size() == 3;
    for (int i = 0; ok && i < 3; ++i) {
        shares[i] = parts.at(i).toInt(&ok);
        ok = ok && shares[i] >= 0 && shares[i] <= 1000;
    }
    if (!ok || shares[0] == 0)
        fail(QStringLiteral("--mix needs DISTINCT:DUPLICATE:MALFORMED, whole numbers up to 1000, "
                            "DISTINCT at least 1: %1")
                 .arg(text));
    return FloodMix{shares[0], shares[1], shares[2]};
}

QList<DeviceSimulator::Device> devices(const QCommandLineParser &parser)
{
    QList<DeviceSimulator::Device> result;
    // The MAC after the comma of a device's text, or a generated one.
    const auto add = [&result](const QByteArray &serial, const QString &text, int comma) {
        const quint32 n = static_cast<quint32>(result.size());
        result.append({serial, comma < 0 ? generatedMac(n) : text.mid(comma + 1).toLatin1()});
    };
    const QStringList given = parser.values(QStringLiteral("device"));
    for (const QString &text : given) {
        const int comma = text.indexOf(QLatin1Char(','));
        add(text.left(comma < 0 ? text.size() : comma).toLatin1(), text, comma);
    }
    // Serials of any bytes, control characters and bytes above 0x7f included.
    const QStringList hexGiven = parser.values(QStringLiteral("device-hex"));
    for (const QString &text : hexGiven) {
        const int comma = text.indexOf(QLatin1Char(','));
        const QString hex = text.left(comma < 0 ? text.size() : comma);
        const QByteArray serial = QByteArray::fromHex(hex.toLatin1());
        if (hex.isEmpty() || serial.toHex() != hex.toLatin1().toLower())
            fail(QStringLiteral("--device-hex needs the serial's bytes in hexadecimal: %1")
                     .arg(text));
        add(serial, text, comma);
    }
    const quint64 generated = parser.isSet(QStringLiteral("devices"))
                                  ? number(parser, QStringLiteral("devices"), 1000000)
                                  : (given.isEmpty() && hexGiven.isEmpty() ? 1 : 0);
    for (quint32 n = 0; n < generated; ++n)
        result.append({generatedSerial(n), generatedMac(n)});
    return result;
}

QByteArray escaped(const QByteArray &text)
{
    return QString::fromLatin1(text).toHtmlEscaped().toUtf8();
}

QByteArray page(const QList<DeviceSimulator::Device> &devices)
{
    QByteArray html = QByteArrayLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                                        "<title>Ostrel device</title></head><body>\n"
                                        "<h1>Ostrel device (simulated)</h1>\n<ul>\n");
    for (const DeviceSimulator::Device &device : devices)
        html += "<li>" + escaped(device.serial) + " " + escaped(device.mac) + "</li>\n";
    return html + "</ul>\n</body></html>\n";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ostrel-device-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(description));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("listen"),
         QStringLiteral("Receive requests on <address> (default 0.0.0.0)."),
         QStringLiteral("address"), QStringLiteral("0.0.0.0")},
        {QStringLiteral("port"), QStringLiteral("UDP port to receive requests on (default 44444)."),
         QStringLiteral("port"), QStringLiteral("44444")},
        {QStringLiteral("device"),
         QStringLiteral("A simulated device; repeat for more. The serial is cut or padded with "
                        "spaces to 10 characters, the MAC to 17; without a MAC one is generated."),
         QStringLiteral("serial[,mac]")},
        {QStringLiteral("device-hex"),
         QStringLiteral("Like --device, with the serial's bytes given in hexadecimal, so that "
                        "it may hold any byte."),
         QStringLiteral("hex[,mac]")},
        {QStringLiteral("devices"), QStringLiteral("Add <count> generated devices."),
         QStringLiteral("count")},
        {QStringLiteral("web"),
         QStringLiteral("Serve a small web page on TCP <port> of the listen address (0: any "
                        "free port)."),
         QStringLiteral("port")},
        {QStringLiteral("size"),
         QStringLiteral("Answer with <bytes> bytes: cut off, or padded with zero bytes."),
         QStringLiteral("bytes")},
        {QStringLiteral("lowercase-marker"), QStringLiteral("Answer \"ack\" instead of \"ACK\".")},
        {QStringLiteral("tab-separator"),
         QStringLiteral("Put tabs where the answer has its two spaces.")},
        {QStringLiteral("delay"), QStringLiteral("Answer <ms> milliseconds after the request."),
         QStringLiteral("ms")},
        {QStringLiteral("log"), QStringLiteral("Print one line for every datagram received.")},
        {QStringLiteral("flood"),
         QStringLiteral("Flood mode: send answers with distinct serial numbers to "
                        "<address>[:port] (default port 44444) from the listen address and "
                        "port, without waiting for requests, then exit."),
         QStringLiteral("address[:port]")},
        {QStringLiteral("rate"),
         QStringLiteral("Flood: answers per second (default 0: as fast as possible)."),
         QStringLiteral("count"), QStringLiteral("0")},
        {QStringLiteral("count"),
         QStringLiteral("Flood: number of answers (default 10000; 0: no limit)."),
         QStringLiteral("count"), QStringLiteral("10000")},
        {QStringLiteral("duration"),
         QStringLiteral("Flood: stop after <ms> milliseconds (default 0: no limit)."),
         QStringLiteral("ms"), QStringLiteral("0")},
        {QStringLiteral("mix"),
         QStringLiteral("Flood: of every D+U+M datagrams, D answers with new serial numbers, U "
                        "repeating recent ones, M malformed (default 1:0:0)."),
         QStringLiteral("D:U:M"), QStringLiteral("1:0:0")},
    });
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        fail(QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first()));

    const QHostAddress listenAddress = address(parser.value(QStringLiteral("listen")));
    const auto port = static_cast<quint16>(number(parser, QStringLiteral("port"), 65535));
    QString error;

    if (parser.isSet(QStringLiteral("flood"))) {
        const Endpoint target = endpoint(parser.value(QStringLiteral("flood")), 44444);
        quint64 count = number(parser, QStringLiteral("count"), ~quint64(0));
        const auto durationMs =
            static_cast<int>(number(parser, QStringLiteral("duration"), INT_MAX));
        if (count == 0 && durationMs == 0)
            fail(QStringLiteral("a flood needs --count or --duration"));
        if (count == 0)
            count = ~quint64(0);
        const auto rate = static_cast<int>(number(parser, QStringLiteral("rate"), INT_MAX));
        if (!flood(listenAddress, port, target.address, target.port, count, durationMs, rate,
                   floodMix(parser.value(QStringLiteral("mix"))), &error))
            fail(error);
        return 0;
    }

    AnswerFlaws flaws;
    if (parser.isSet(QStringLiteral("size")))
        flaws.size = static_cast<int>(number(parser, QStringLiteral("size"), 65507));
    flaws.lowercaseMarker = parser.isSet(QStringLiteral("lowercase-marker"));
    flaws.tabSeparator = parser.isSet(QStringLiteral("tab-separator"));
    const int delayMs = parser.isSet(QStringLiteral("delay"))
                            ? static_cast<int>(number(parser, QStringLiteral("delay"), INT_MAX))
                            : 0;
    const QList<DeviceSimulator::Device> simulated = devices(parser);

    std::optional<WebPage> web;
    if (parser.isSet(QStringLiteral("web"))) {
        web.emplace(page(simulated));
        if (!web->listen(listenAddress,
                         static_cast<quint16>(number(parser, QStringLiteral("web"), 65535)),
                         &error))
            fail(QStringLiteral("web page: %1").arg(error));
    }

    DeviceSimulator simulator(simulated, flaws, delayMs, parser.isSet(QStringLiteral("log")));
    if (!simulator.listen(listenAddress, port, &error))
        fail(QStringLiteral("UDP port %1: %2").arg(port).arg(error));
    return app.exec();
}
