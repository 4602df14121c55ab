#include "labmacros.h"

#include <csignal>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <utility>

// The real program on private networks with simulated devices. Every test function moves into
// network namespaces of its own, so the program sees only that test's LANs.

namespace {

constexpr int runLimitMs = 60000;

// One device as the program printed it, whatever the format.
struct Printed
{
    QString serial;
    QString ip;
    QString mac;
    QString interface;
    QString network; // JSON formats only
};

struct Outcome
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    qint64 elapsedMs = 0;
};

// The program needs no display: it runs without DISPLAY and without a Qt platform.
QProcessEnvironment headlessEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return environment;
}

void startProgram(QProcess &process, const QStringList &arguments, const QStringList &wrapper = {})
{
    process.setProcessEnvironment(headlessEnvironment());
    if (wrapper.isEmpty())
        process.start(QStringLiteral(SCOUT_CLI), arguments);
    else
        process.start(wrapper.first(),
                      wrapper.mid(1) + QStringList{QStringLiteral(SCOUT_CLI)} + arguments);
}

// With a wrapper, the program runs as the wrapper's last arguments.
Outcome run(const QStringList &arguments, const QStringList &wrapper = {})
{
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    startProgram(process, arguments, wrapper);
    Outcome outcome;
    if (!process.waitForFinished(runLimitMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        qWarning("ostrel-scout-cli %s did not end by itself",
                 qPrintable(arguments.join(QLatin1Char(' '))));
        return outcome;
    }
    outcome.exitCode = process.exitCode();
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    outcome.elapsedMs = clock.elapsed();
    return outcome;
}

QString device(const char *serial, const char *mac)
{
    return QLatin1String(serial) + QLatin1Char(',') + QLatin1String(mac);
}

QStringList options(std::initializer_list<const char *> texts)
{
    QStringList result;
    for (const char *text : texts)
        result.append(QString::fromUtf8(text));
    return result;
}

QString interfaceOf(int lan)
{
    return QStringLiteral("lan%1h").arg(lan);
}

QString networkOf(int lan)
{
    return NetLab::hostAddress(lan) + QLatin1String("/24");
}

Printed fromJson(const QJsonObject &object)
{
    return {object.value(QStringLiteral("serial")).toString(),
            object.value(QStringLiteral("ip")).toString(),
            object.value(QStringLiteral("mac")).toString(),
            object.value(QStringLiteral("interface")).toString(),
            object.value(QStringLiteral("network")).toString()};
}

// Reads the output of a format back; false when it is not what that format promises. Texts
// in table and CSV must be plain (no spaces, commas or quotes) for this reading.
bool parse(const QString &format, const QByteArray &out, QVector<Printed> *devices)
{
    devices->clear();
    const QString text = QString::fromUtf8(out);
    if (format == QLatin1String("json")) {
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(out, &error);
        if (error.error != QJsonParseError::NoError || !document.isArray())
            return false;
        const QJsonArray array = document.array();
        for (const QJsonValue &value : array)
            devices->append(fromJson(value.toObject()));
        return true;
    }
    if (!text.endsWith(QLatin1Char('\n')))
        return !text.isEmpty() ? false : format == QLatin1String("jsonl");
    QStringList lines = text.split(QLatin1Char('\n'));
    lines.removeLast();
    if (format == QLatin1String("jsonl")) {
        for (const QString &line : std::as_const(lines)) {
            QJsonParseError error{};
            const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
            if (error.error != QJsonParseError::NoError || !document.isObject())
                return false;
            devices->append(fromJson(document.object()));
        }
        return true;
    }
    if (format == QLatin1String("csv")) {
        if (lines.value(0) != QLatin1String("SERIAL,IP,MAC,INTERFACE\r"))
            return false;
        for (int i = 1; i < lines.size(); ++i) {
            if (!lines.at(i).endsWith(QLatin1Char('\r')))
                return false;
            const QStringList fields = lines.at(i).chopped(1).split(QLatin1Char(','));
            if (fields.size() != 4)
                return false;
            devices->append({fields.at(0), fields.at(1), fields.at(2), fields.at(3), {}});
        }
        return true;
    }
    // The table: every column starts where its heading does.
    const QString header = lines.value(0);
    if (!header.startsWith(QLatin1String("SERIAL  ")))
        return false;
    const int columns[] = {0, int(header.indexOf(QLatin1String("IP"))),
                           int(header.indexOf(QLatin1String("MAC"))),
                           int(header.indexOf(QLatin1String("INTERFACE")))};
    for (int i = 1; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        QStringList fields;
        for (int c = 0; c < 4; ++c) {
            if (c > 0 && line.at(columns[c] - 1) != QLatin1Char(' '))
                return false;
            fields.append(line.mid(columns[c], c < 3 ? columns[c + 1] - columns[c] : -1).trimmed());
        }
        devices->append({fields.at(0), fields.at(1), fields.at(2), fields.at(3), {}});
    }
    return true;
}

QStringList serialsOf(const QVector<Printed> &devices)
{
    QStringList result;
    for (const Printed &printed : devices)
        result.append(printed.serial);
    return result;
}

// The record text of a serial given as bytes: each byte widened with its sign.
QString widened(const QByteArray &bytes)
{
    QString text;
    for (const char byte : bytes)
        text += QChar(ushort(qint16(qint8(byte))));
    return text;
}

// The requests that reached a simulator, as its log tells; its output is read while the event
// loop runs, and the program that sent them may have ended only just now.
QStringList requestsSeen(ChildProcess *simulator)
{
    QTest::qWait(300);
    return simulator->linesStartingWith(QStringLiteral("request from "));
}

// A watch's JSON lines so far, one "event SERIAL IP" each (a move adds "<-PREVIOUS"); every
// line must hold a time in ISO 8601.
QStringList watchEvents(const QByteArray &out)
{
    QStringList events;
    const QList<QByteArray> lines = out.split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i) {
        const QJsonObject object = QJsonDocument::fromJson(lines.at(i)).object();
        const QString previous = object.value(QStringLiteral("previous_ip")).toString();
        events << object.value(QStringLiteral("event")).toString() + QLatin1Char(' ') +
                      object.value(QStringLiteral("serial")).toString() + QLatin1Char(' ') +
                      object.value(QStringLiteral("ip")).toString() +
                      (previous.isEmpty() ? QString() : QLatin1String("<-") + previous);
        if (!QDateTime::fromString(object.value(QStringLiteral("time")).toString(), Qt::ISODate)
                 .isValid())
            events << QStringLiteral("no time: ") + QString::fromUtf8(lines.at(i));
    }
    return events;
}

QStringList watching(QProcess &program, QByteArray *out)
{
    *out += program.readAllStandardOutput();
    return watchEvents(*out);
}

// Ends a watch as Ctrl+C does; its exit code, or -1.
int interrupted(QProcess &program, QByteArray *out, QByteArray *err)
{
    ::kill(pid_t(program.processId()), SIGINT);
    if (!program.waitForFinished(runLimitMs) || program.exitStatus() != QProcess::NormalExit)
        return -1;
    *out += program.readAllStandardOutput();
    *err = program.readAllStandardError();
    return program.exitCode();
}

int countOf(const QByteArray &haystack, const QByteArray &needle)
{
    return haystack.count(needle.constData());
}

// Requests to port 44444 that left through one of this computer's links.
class Capture
{
public:
    struct Request
    {
        double time;
        QString from; // address.port
        QString to;
    };

    explicit Capture(const QString &link)
        : tcpdump(QStringLiteral("tcpdump"),
                  {QStringLiteral("-i"), link, QStringLiteral("-n"), QStringLiteral("-l"),
                   QStringLiteral("-p"), QStringLiteral("-Q"), QStringLiteral("out"),
                   QStringLiteral("-tt"), QStringLiteral("udp dst port 44444")})
    {}
    bool start(QString *error) { return tcpdump.start(QStringLiteral("listening on"), error); }
    // What it saw so far, once the last of it has had time to come in.
    QVector<Request> requests()
    {
        QTest::qWait(300);
        QVector<Request> seen;
        // "TIME IP 10.0.1.1.44444 > 10.0.1.2.44444: UDP, length 6"
        for (const QString &line : tcpdump.lines()) {
            const QStringList fields = line.split(QLatin1Char(' '));
            if (fields.size() > 4 && fields.at(1) == QLatin1String("IP"))
                seen.append({fields.at(0).toDouble(), fields.at(2), fields.at(4).chopped(1)});
        }
        return seen;
    }

private:
    ChildProcess tcpdump;
};

#define START_CAPTURE(variable, link)                                                              \
    Capture variable(link);                                                                        \
    do {                                                                                           \
        QString error;                                                                             \
        QVERIFY2(variable.start(&error), qPrintable(error));                                       \
    } while (false)

} // namespace

class TestCliProgram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyFormatOnTwoLans_data();
    void everyFormatOnTwoLans();
    void anyBytesInSerials();
    void noDeviceExitsOne();
    void verboseTellsWhatTheSearchDid();
    void noDeviceNamesActiveFirewall();
    void usageErrorsExitTwo_data();
    void usageErrorsExitTwo();
    void noSocketExitsThree();
    void timeoutIsTheReceiveWindow();
    void countStopsEarly();
    void interfaceSearchesOnlyThatLan();
    void rangesNamedBesideListedDevices();
    void repeatPrintsLaterDeviceOnce();
    void interruptClosesJson();
    void systemErrorsInEnglishUnderPolish();
    void rangesLeaveFromTheirOwnAddresses_data();
    void rangesLeaveFromTheirOwnAddresses();
    void stallDoesNotBurst();
    void unsentRequestsCountedNotPaced();
    void receiveWindowCountsFromLastRequest();
    void fullSendBufferHoldsRequests();
    void watchSeesDeviceGoAndComeBack();
    void expectNamesTheMissing();
    void watchSeesAddressChangeOnce();
};

void TestCliProgram::initTestCase()
{
    const QString reason = NetLab::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(QStringLiteral("needs private network namespaces, but ") + reason));
}

void TestCliProgram::everyFormatOnTwoLans_data()
{
    QTest::addColumn<QString>("format");
    for (const char *format : {"table", "csv", "json", "jsonl"})
        QTest::newRow(format) << QString::fromLatin1(format);
}

void TestCliProgram::everyFormatOnTwoLans()
{
    QFETCH(QString, format);
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 4);
    START_SIMULATOR(first, lab, 1,
                    {QStringLiteral("--device"), device("FIRST00001", "aa:aa:aa:aa:aa:01"),
                     QStringLiteral("--device"), device("BOTH000001", "aa:aa:aa:aa:aa:02")});
    START_SIMULATOR(second, lab, 2,
                    {QStringLiteral("--device"), device("SECOND0001", "bb:bb:bb:bb:bb:01"),
                     QStringLiteral("--device"), device("BOTH000001", "bb:bb:bb:bb:bb:02")});
    // Answers one byte short, and answers with the marker in lower case.
    START_SIMULATOR(shortAnswers, lab, 3,
                    options({"--log", "--size", "31", "--device", "SHORT00001"}));
    START_SIMULATOR(lowerCase, lab, 4,
                    options({"--log", "--lowercase-marker", "--device", "LOWER00001"}));

    const QStringList arguments{QStringLiteral("--timeout"), QStringLiteral("1500")};
    const Outcome outcome = run(format == QLatin1String("table")
                                    ? arguments
                                    : arguments + QStringList{QStringLiteral("--format"), format});
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.err, QByteArray());
    QVector<Printed> devices;
    QVERIFY2(parse(format, outcome.out, &devices), outcome.out.constData());

    QStringList serials = serialsOf(devices);
    serials.sort();
    QCOMPARE(serials, options({"BOTH000001", "FIRST00001", "SECOND0001"}));
    // The malformed answers were sent, and dropped.
    QTRY_COMPARE(requestsSeen(shortAnswers).size(), 1);
    QTRY_COMPARE(requestsSeen(lowerCase).size(), 1);

    const bool json = format.startsWith(QLatin1String("json"));
    for (const Printed &printed : std::as_const(devices)) {
        int lan = printed.serial == QLatin1String("FIRST00001") ? 1 : 2;
        // The device on both LANs: address, MAC and interface all of one answer.
        if (printed.serial == QLatin1String("BOTH000001")) {
            lan = printed.ip == NetLab::peerAddress(1) ? 1 : 2;
            QCOMPARE(printed.mac, lan == 1 ? QStringLiteral("aa:aa:aa:aa:aa:02")
                                           : QStringLiteral("bb:bb:bb:bb:bb:02"));
        } else {
            QCOMPARE(printed.mac.left(15), lan == 1 ? QStringLiteral("aa:aa:aa:aa:aa:")
                                                    : QStringLiteral("bb:bb:bb:bb:bb:"));
        }
        QCOMPARE(printed.ip, NetLab::peerAddress(lan));
        QCOMPARE(printed.interface, interfaceOf(lan));
        if (json)
            QCOMPARE(printed.network, networkOf(lan));
    }
}

void TestCliProgram::anyBytesInSerials()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    // Quotes, backslashes, terminal controls (colour, clear screen, cursor home, bell), line
    // breaks, a zero byte, C1 controls as bytes, and bytes 0x80 to 0xff.
    const QList<QByteArray> serials{
        QByteArray("\"q\\\"b\\\\\"/'", 10),
        QByteArray("\x1b[31m\x1b[2J\a", 10),
        QByteArray("\x00\x01\t\n\r\x1f\x7f\x1b[H", 10),
        QByteArray("\x80\x9b\xc3\xa9\xe9\xfe\xff\x85\x90\xa0", 10),
        QByteArray("=cmd|' /C'", 10),
    };
    // Each device answers twice, so that -v tells of the repeated answers.
    QStringList arguments;
    for (int twice = 0; twice < 2; ++twice) {
        for (const QByteArray &serial : serials)
            arguments << QStringLiteral("--device-hex") << QString::fromLatin1(serial.toHex());
    }
    START_SIMULATOR(simulator, lab, 1, arguments);
    QStringList expected;
    for (const QByteArray &serial : serials)
        expected.append(widened(serial));

    // JSON and JSON lines give back exactly the record's text, and are plain ASCII.
    for (const char *format : {"json", "jsonl"}) {
        const Outcome outcome =
            run(options({"--timeout", "1500", "--format"}) + QStringList{QLatin1String(format)});
        QCOMPARE(outcome.exitCode, 0);
        for (const char byte : outcome.out)
            QVERIFY2((byte >= 0x20 && byte < 0x7f) || byte == '\n', format);
        QVector<Printed> devices;
        QVERIFY2(parse(QLatin1String(format), outcome.out, &devices), outcome.out.constData());
        QCOMPARE(serialsOf(devices), expected);
    }

    // The table and the log: nothing a terminal would act on, every control and high byte as
    // \xNN.
    const Outcome table = run(options({"-v", "--timeout", "1500"}));
    QCOMPARE(table.exitCode, 0);
    for (const char byte : QByteArray(table.out + table.err))
        QVERIFY2((byte >= 0x20 && byte < 0x7f) || byte == '\n',
                 qPrintable(QString::number(quint8(byte), 16)));
    QVERIFY2(table.err.contains("repeated answer of \\x1b[31m\\x1b[2J\\x07 from 10.0.1.2\n"),
             table.err.constData());
    const QStringList shown{
        QStringLiteral("\"q\\\\\"b\\\\\\\\\"/'"),
        QStringLiteral("\\x1b[31m\\x1b[2J\\x07"),
        QStringLiteral("\\x00\\x01\\x09\\x0a\\x0d\\x1f\\x7f\\x1b[H"),
        QStringLiteral("\\x80\\x9b\\xc3\\xa9\\xe9\\xfe\\xff\\x85\\x90\\xa0"),
        QStringLiteral("=cmd|' /C'"),
    };
    // Every column starts under its heading, however wide the escapes make it.
    QVector<Printed> rows;
    QVERIFY2(parse(QStringLiteral("table"), table.out, &rows), table.out.constData());
    QCOMPARE(serialsOf(rows), shown);

    // CSV keeps the texts, quoted where they hold quotes or line breaks, and guards the formula.
    const Outcome csv = run(options({"--timeout", "1500", "--format", "csv"}));
    QCOMPARE(csv.exitCode, 0);
    QVERIFY(csv.out.startsWith("SERIAL,IP,MAC,INTERFACE\r\n"));
    QVERIFY(csv.out.contains("\r\n\"\"\"q\\\"\"b\\\\\"\"/'\",10.0.1.2,"));
    QVERIFY(csv.out.contains(QByteArray("\r\n\"" + serials.at(2) + "\",10.0.1.2,")));
    QVERIFY(csv.out.contains("\r\n'=cmd|' /C',10.0.1.2,"));
    // Written to a terminal, CSV is escaped as the table is.
    const QStringList terminal{QStringLiteral("sh"), QStringLiteral("-c"),
                               QStringLiteral("exec script -qec \"$*\" /dev/null"),
                               QStringLiteral("sh")};
    const Outcome onTerminal = run(options({"--timeout", "1500", "--format", "csv"}), terminal);
    QCOMPARE(onTerminal.exitCode, 0);
    QVERIFY2(!onTerminal.out.contains('\x1b'), onTerminal.out.constData());
    QVERIFY2(onTerminal.out.contains("\n\\x1b[31m\\x1b[2J\\x07,10.0.1.2,"),
             onTerminal.out.constData());
}

void TestCliProgram::noDeviceExitsOne()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    // Only malformed answers come.
    START_SIMULATOR(simulator, lab, 1, options({"--log", "--tab-separator"}));

    const Outcome table = run(options({"--timeout", "800"}));
    QCOMPARE(table.exitCode, 1);
    QCOMPARE(table.out, QByteArray("SERIAL      IP               MAC                INTERFACE\n"));
    // Standard error names the cause, in one line.
    QCOMPARE(table.err, QByteArray("ostrel-scout-cli: No devices: answers could not be read (1 "
                                   "answer from 10.0.1.2 could not be read (wrong markers))\n"));
    const Outcome json = run(options({"--timeout", "800", "--format", "json"}));
    QCOMPARE(json.exitCode, 1);
    QCOMPARE(json.out, QByteArray("[]\n"));
    const Outcome lines = run(options({"--timeout", "800", "--format", "jsonl"}));
    QCOMPARE(lines.exitCode, 1);
    QCOMPARE(lines.out, QByteArray());
    QTRY_COMPARE(requestsSeen(simulator).size(), 3);
}

void TestCliProgram::verboseTellsWhatTheSearchDid()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 4);
    START_SIMULATOR(repeating, lab, 1,
                    {QStringLiteral("--device"), device("REPEAT0001", "aa:aa:aa:aa:aa:01"),
                     QStringLiteral("--device"), device("REPEAT0001", "aa:aa:aa:aa:aa:02")});
    START_SIMULATOR(longAnswers, lab, 2, options({"--size", "33", "--device", "LONG000001"}));
    START_SIMULATOR(lowerCase, lab, 3, options({"--lowercase-marker", "--device", "LOWER00001"}));
    Q_UNUSED(repeating)
    Q_UNUSED(longAnswers)
    Q_UNUSED(lowerCase)
    // An interface name may hold control characters: the lines show them escaped.
    const QString strangeName = QStringLiteral("lan4\x1b[7m");
    QString error;
    for (const QStringList &command :
         {QStringList{QStringLiteral("link"), QStringLiteral("set"), interfaceOf(4),
                      QStringLiteral("down")},
          QStringList{QStringLiteral("link"), QStringLiteral("set"), interfaceOf(4),
                      QStringLiteral("name"), strangeName},
          QStringList{QStringLiteral("link"), QStringLiteral("set"), strangeName,
                      QStringLiteral("up")}})
        QVERIFY2(NetLab::runIp(command, &error), qPrintable(error));
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress(NetLab::hostAddress(4)), 44444));

    const Outcome outcome = run(options({"-v", "--timeout", "1000", "--format", "csv"}));
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.out.count('\n'), 2);
    QStringList expected{
        QStringLiteral("address 127.0.0.1 on lo: bound to port 44444"),
        QStringLiteral("request sent from 127.0.0.1 on lo"),
        QStringLiteral("address 10.0.4.1 on lan4\\x1b[7m: port 44444 not bound: The bound address "
                       "is already in use"),
        QStringLiteral("unreadable datagram from 10.0.2.2: 33 bytes, wrong size"),
        QStringLiteral("unreadable datagram from 10.0.3.2: 32 bytes, wrong markers"),
        QStringLiteral("repeated answer of REPEAT0001 from 10.0.1.2"),
        QStringLiteral("search ended: the receive window of 1000 ms is over; devices listed: 1")};
    for (int lan = 1; lan <= 3; ++lan)
        expected << QStringLiteral("address %1 on lan%2h: bound to port 44444")
                        .arg(NetLab::hostAddress(lan))
                        .arg(lan)
                 << QStringLiteral("request sent from %1 on lan%2h")
                        .arg(NetLab::hostAddress(lan))
                        .arg(lan);
    for (QString &line : expected)
        line.prepend(QLatin1String("ostrel-scout-cli: "));
    expected.sort();
    QStringList lines = QString::fromUtf8(outcome.err).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.sort();
    QCOMPARE(lines, expected);
}

void TestCliProgram::noDeviceNamesActiveFirewall()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    // The program sees a ufw configuration that says it is enabled, in a mount namespace of its
    // own whose /etc holds nothing else.
    const QStringList ufwEnabled{
        QStringLiteral("unshare"),
        QStringLiteral("-m"),
        QStringLiteral("sh"),
        QStringLiteral("-c"),
        QStringLiteral("mount -t tmpfs tmpfs /etc && mkdir /etc/ufw && echo ENABLED=yes > "
                       "/etc/ufw/ufw.conf && exec \"$@\""),
        QStringLiteral("sh")};
    const Outcome outcome = run(options({"--timeout", "300", "--format", "jsonl"}), ufwEnabled);
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.out, QByteArray());
    QCOMPARE(outcome.err,
             QByteArray("ostrel-scout-cli: No devices: is a firewall blocking them? (ufw is "
                        "active on this computer and may drop the devices' answers (UDP port "
                        "44444). To let them in, run as administrator: ufw allow ostrel-scout)\n"));
}

void TestCliProgram::usageErrorsExitTwo_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown option") << options({"--debug"}) << "unknown option --debug";
    QTest::newRow("bad number")
        << options({"--timeout", "5s"})
        << "--timeout needs a whole number from 1 to 2147483647, not \"5s\"";
    QTest::newRow("bad count") << options({"--count=0"})
                               << "--count needs a whole number from 1 to 2147483647, not \"0\"";
    QTest::newRow("bad format") << options({"--format", "xml"})
                                << "--format is table, csv, json or jsonl, not \"xml\"";
    QTest::newRow("unknown interface") << options({"--interface", "lan1h", "--interface", "wlan7"})
                                       << "no network interface named \"wlan7\"";
    // The broadcast address of either local network.
    QTest::newRow("local broadcast")
        << options({"-a", "10.0.1.255"})
        << "10.0.1.255: the broadcast address of the network 10.0.1.0/24 on lan1h";
    QTest::newRow("other local broadcast")
        << options({"-a10.0.9.1", "--address", "10.0.2.255"})
        << "10.0.2.255: the broadcast address of the network 10.0.2.0/24 on lan2h";
    QTest::newRow("reserved") << options({"--address=0.0.0.1"})
                              << "0.0.0.1: not a device's address (0.0.0.0/8)";
    QTest::newRow("no such list") << options({"--expect", "site.cvs"})
                                  << "--expect needs a list file or a serial number of 10 "
                                     "characters; there is no file \"site.cvs\"";
    QTest::newRow("rate alone") << options({"--rate", "10"})
                                << "--rate needs --address: it paces the requests to the ranges";
    // What was typed comes back escaped.
    QTest::newRow("escape typed") << options({"-a", "10.0.9.1\x1b[2J"})
                                  << "10.0.9.1\\x1b[2J: \"\\x1b\" does not separate ranges: use "
                                     "commas or spaces";
}

void TestCliProgram::usageErrorsExitTwo()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 2);
    START_SIMULATOR(simulator, lab, 1, options({"--log"}));

    const Outcome outcome = run(arguments);
    QCOMPARE(outcome.exitCode, 2);
    QCOMPARE(outcome.out, QByteArray());
    const QStringList lines = QString::fromUtf8(outcome.err).split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QLatin1String("ostrel-scout-cli: ") + message);
    QVERIFY(lines.value(1).startsWith(QLatin1String("Usage: ostrel-scout-cli ")));
    QVERIFY(requestsSeen(simulator).isEmpty());
}

void TestCliProgram::noSocketExitsThree()
{
    const QByteArray emptyTable("SERIAL      IP               MAC                INTERFACE\n");
    const QByteArray takenEverywhere(
        "ostrel-scout-cli: Port 44444 is in use by another program (Another program holds UDP "
        "port 44444 on every address of this computer (perhaps Ostrel Scout is already open), so "
        "no request was sent. Close that program and press Refresh.; 127.0.0.1 on lo: port 44444 "
        "is in use by another program; 10.0.1.1 on lan1h: port 44444 is in use by another "
        "program)\n");
    {
        // No address at all: loopback is down, and there is nothing else.
        ENTER_NEW_NAMESPACE(false);
        const Outcome outcome = run(options({"--timeout", "300"}));
        QCOMPARE(outcome.exitCode, 3);
        QCOMPARE(outcome.out, emptyTable);
        QCOMPARE(outcome.err,
                 QByteArray("ostrel-scout-cli: no socket could be opened: no IPv4 address of "
                            "this machine\n"));
    }

    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    START_SIMULATOR(simulator, lab, 1, options({"--log"}));
    // Another program holds port 44444 on every address, not sharing it.
    QUdpSocket onLoopback;
    QUdpSocket onLan;
    QVERIFY(onLoopback.bind(QHostAddress::LocalHost, 44444, QAbstractSocket::DontShareAddress));
    QVERIFY(
        onLan.bind(QHostAddress(NetLab::hostAddress(1)), 44444, QAbstractSocket::DontShareAddress));
    // The output is still whole JSON; -v names every address and why it was not used.
    const Outcome taken = run(options({"-v", "--timeout", "300", "--format", "json"}));
    QCOMPARE(taken.exitCode, 3);
    QCOMPARE(taken.out, QByteArray("[]\n"));
    const QByteArray notBound(
        "ostrel-scout-cli: address 127.0.0.1 on lo: port 44444 not bound: The bound address is "
        "already in use\nostrel-scout-cli: address 10.0.1.1 on lan1h: port 44444 not bound: The "
        "bound address is already in use\n");
    QCOMPARE(taken.err, QByteArray(notBound + takenEverywhere));
    const Outcome onInterface = run(options({"--interface", "lan1h"}));
    QCOMPARE(onInterface.exitCode, 3);
    QCOMPARE(onInterface.out, emptyTable);
    QVERIFY2(onInterface.err.endsWith(" Close that program and press Refresh.; 10.0.1.1 on lan1h: "
                                      "port 44444 is in use by another program)\n"),
             onInterface.err.constData());
    // Nothing was sent.
    QVERIFY(requestsSeen(simulator).isEmpty());

    // One free address is enough.
    onLan.close();
    const Outcome oneFree = run(options({"--timeout", "1000", "--format", "jsonl"}));
    QCOMPARE(oneFree.exitCode, 0);
    QTRY_COMPARE(requestsSeen(simulator).size(), 1);

    // A search that is running holds the port as well, as the window program does.
    onLoopback.close();
    QProcess holder;
    startProgram(holder, options({"--repeat", "1", "--timeout", "500", "--format", "jsonl"}));
    QByteArray held;
    QTRY_VERIFY2_WITH_TIMEOUT((held += holder.readAllStandardOutput()).contains("\"SIM0000000\""),
                              QByteArray(held + holder.readAllStandardError()).constData(), 20000);
    const Outcome second = run(options({"--timeout", "300"}));
    QCOMPARE(second.exitCode, 3);
    QCOMPARE(second.err, takenEverywhere);
    ::kill(pid_t(holder.processId()), SIGTERM);
    QVERIFY(holder.waitForFinished(runLimitMs));
    QCOMPARE(holder.exitStatus(), QProcess::NormalExit);
    QCOMPARE(holder.exitCode(), 0);
}

void TestCliProgram::timeoutIsTheReceiveWindow()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    START_SIMULATOR(late, lab, 1, options({"--delay", "2000", "--device", "LATE000001"}));

    // The answer comes 2 s after the request: after a 500 ms window, within a 20 s one.
    const Outcome shortWindow = run(options({"--timeout", "500", "--format", "jsonl"}));
    QCOMPARE(shortWindow.exitCode, 1);
    QCOMPARE(shortWindow.out, QByteArray());
    const Outcome longWindow =
        run(options({"--timeout", "20000", "--format", "jsonl", "--count", "1"}));
    QCOMPARE(longWindow.exitCode, 0);
    QCOMPARE(countOf(longWindow.out, "\"LATE000001\""), 1);
}

void TestCliProgram::countStopsEarly()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    START_SIMULATOR(simulator, lab, 1, options({"--devices", "5"}));

    const Outcome outcome =
        run(options({"--timeout", "60000", "--count", "2", "--format", "jsonl"}));
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.out.count('\n'), 2);
    // Stopped on the second device, not at the end of the minute's window.
    QVERIFY2(outcome.elapsedMs < 30000, qPrintable(QString::number(outcome.elapsedMs)));
}

void TestCliProgram::interfaceSearchesOnlyThatLan()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 2);
    START_SIMULATOR(first, lab, 1, options({"--log", "--device", "FIRST00001"}));
    START_SIMULATOR(second, lab, 2, options({"--log", "--device", "SECOND0001"}));

    const Outcome outcome =
        run(options({"--interface", "lan2h", "--timeout", "1000", "--format", "jsonl"}));
    QCOMPARE(outcome.exitCode, 0);
    QVector<Printed> devices;
    QVERIFY(parse(QStringLiteral("jsonl"), outcome.out, &devices));
    QCOMPARE(serialsOf(devices), options({"SECOND0001"}));
    QCOMPARE(
        requestsSeen(second),
        QStringList{
            QStringLiteral("%1:44444 to 255.255.255.255 (6 bytes)").arg(NetLab::hostAddress(2))});
    QVERIFY(requestsSeen(first).isEmpty());

    // Repeated, the option adds interfaces.
    const Outcome both = run(options({"--interface", "lan1h", "--interface", "lan2h", "--timeout",
                                      "1000", "--format", "jsonl"}));
    QVERIFY(parse(QStringLiteral("jsonl"), both.out, &devices));
    QCOMPARE(devices.size(), 2);
    QCOMPARE(requestsSeen(first).size(), 1);
    QCOMPARE(requestsSeen(second).size(), 2);

    // Loopback alone chosen, on a machine with networks: the choice is named, not the machine.
    const Outcome loopback = run(options({"--interface", "lo", "--timeout", "300"}));
    QCOMPARE(loopback.exitCode, 1);
    QCOMPARE(loopback.err,
             QByteArray("ostrel-scout-cli: the chosen interface lo has no network address\n"));
}

void TestCliProgram::rangesNamedBesideListedDevices()
{
    // Both LANs' devices answer the broadcast; a range with no route and a range where nobody
    // answers are named on standard error all the same, whatever the order given, and the
    // range that could not be searched sets the exit status.
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 2);
    START_SIMULATOR(first, lab, 1, options({"--device", "FIRST00001"}));
    START_SIMULATOR(second, lab, 2, options({"--device", "SECOND0001"}));
    const QByteArray named = "ostrel-scout-cli: 10.50.0.0/30: no route to it from this computer\n"
                             "ostrel-scout-cli: 10.0.1.200: no device answered (1 request from "
                             "10.0.1.1)\n";
    for (const QStringList &ranges : {options({"-a", "10.50.0.0/30", "-a", "10.0.1.200"}),
                                      options({"-a", "10.0.1.200", "-a", "10.50.0.0/30"})}) {
        const Outcome outcome =
            run(ranges + options({"--timeout", "500", "--format", "jsonl", "--rate", "1000"}));
        QVector<Printed> devices;
        QVERIFY(parse(QStringLiteral("jsonl"), outcome.out, &devices));
        QStringList serials = serialsOf(devices);
        serials.sort();
        QCOMPARE(serials, options({"FIRST00001", "SECOND0001"}));
        QCOMPARE(outcome.err, named);
        QCOMPARE(outcome.exitCode, 4);
    }

    // Only one LAN chosen: the other network's range is reached from an address without a
    // socket, so nothing is sent to it, and the finder says so beside the device it listed.
    const Outcome chosen = run(options(
        {"--interface", "lan1h", "-a", "10.0.2.0/29", "--timeout", "500", "--format", "jsonl"}));
    QVector<Printed> devices;
    QVERIFY(parse(QStringLiteral("jsonl"), chosen.out, &devices));
    QCOMPARE(serialsOf(devices), options({"FIRST00001"}));
    QCOMPARE(chosen.err,
             QByteArray("ostrel-scout-cli: 10.0.2.0/29: reached from 10.0.2.1, where the search "
                        "could not listen for answers, so nothing was sent to it\n"));
    QCOMPARE(chosen.exitCode, 4);

    // Only ranges, and no route to any: the cause is the range, not the cable or a firewall.
    const Outcome nothing =
        run(options({"--no-broadcast", "-a", "10.50.0.0/30", "--timeout", "300"}));
    QCOMPARE(nothing.err,
             QByteArray("ostrel-scout-cli: The search could not be sent (10.50.0.0/30: "
                        "no route to it from this computer)\n"));
    QCOMPARE(nothing.exitCode, 4);
    // A range holding a device that answered the broadcast first found it all the same:
    // nothing to say, status 0.
    const Outcome found =
        run(options({"-a", "10.0.2.0/29", "--timeout", "300", "--format", "jsonl"}));
    QCOMPARE(found.err, QByteArray());
    QCOMPARE(found.exitCode, 0);
}

void TestCliProgram::repeatPrintsLaterDeviceOnce()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 2);
    START_SIMULATOR(first, lab, 1, options({"--device", "EARLY00001", "--device", "BOTH000001"}));

    QProcess program;
    startProgram(program, options({"--repeat", "1", "--timeout", "700", "--format", "jsonl"}));
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += program.readAllStandardOutput()).count('\n') == 2, 20000);

    // A device on the second LAN appears later, beside one already printed from the first.
    START_SIMULATOR(second, lab, 2,
                    options({"--log", "--device", "LATER00001", "--device", "BOTH000001"}));
    QTRY_VERIFY_WITH_TIMEOUT((out += program.readAllStandardOutput()).contains("LATER00001"),
                             20000);
    // Three more searches, each hearing all three devices again.
    const int heard = requestsSeen(second).size();
    QTRY_VERIFY_WITH_TIMEOUT(requestsSeen(second).size() >= heard + 3, 20000);
    QTest::qWait(1000);

    QVERIFY(program.state() == QProcess::Running);
    ::kill(pid_t(program.processId()), SIGINT);
    QVERIFY(program.waitForFinished(runLimitMs));
    out += program.readAllStandardOutput();
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    QVector<Printed> devices;
    QVERIFY2(parse(QStringLiteral("jsonl"), out, &devices), out.constData());
    QStringList serials = serialsOf(devices);
    QCOMPARE(serials.mid(2), options({"LATER00001"}));
    serials.sort();
    QCOMPARE(serials, options({"BOTH000001", "EARLY00001", "LATER00001"}));
}

void TestCliProgram::interruptClosesJson()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 2);
    START_SIMULATOR(simulator, lab, 1, options({"--devices", "2"}));

    for (const bool withDevices : {true, false}) {
        QProcess program;
        const QStringList interface {
            QStringLiteral("--interface"), interfaceOf(withDevices ? 1 : 2)
        };
        startProgram(program, options({"--timeout", "60000", "--format", "json"}) + interface);
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += program.readAllStandardOutput()).count("\"serial\"") ==
                                         (withDevices ? 2 : 0) &&
                                     out.startsWith('['),
                                 20000);
        QElapsedTimer clock;
        clock.start();
        ::kill(pid_t(program.processId()), SIGINT);
        QVERIFY(program.waitForFinished(runLimitMs));
        QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));
        out += program.readAllStandardOutput();
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), withDevices ? 0 : 1);

        QVector<Printed> devices;
        QVERIFY2(parse(QStringLiteral("json"), out, &devices), out.constData());
        QCOMPARE(devices.size(), withDevices ? 2 : 0);
    }
}

void TestCliProgram::systemErrorsInEnglishUnderPolish()
{
    // A Polish locale of the system's C library, made here so that no installed one is needed.
    QTemporaryDir locales;
    QString error;
    if (!locales.isValid() ||
        !NetLab::run(QStringLiteral("localedef"),
                     {QStringLiteral("-i"), QStringLiteral("pl_PL"), QStringLiteral("-f"),
                      QStringLiteral("UTF-8"), locales.filePath(QStringLiteral("pl_PL.UTF-8"))},
                     &error))
        QSKIP(qPrintable(QStringLiteral("no Polish locale can be made here: ") + error));
    ENTER_NEW_NAMESPACE(true);

    // No route to the range: the system's reason is quoted in an English line, in English.
    QProcess process;
    QProcessEnvironment environment = headlessEnvironment();
    environment.insert(QStringLiteral("LOCPATH"), locales.path());
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("pl_PL.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(SCOUT_CLI),
                  options({"-v", "--no-broadcast", "-a", "10.50.0.1", "--timeout", "200"}));
    QVERIFY(process.waitForFinished(runLimitMs));
    QCOMPARE(process.exitCode(), 4);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.contains(QLatin1String(
                 "range 10.50.0.1: request to 10.50.0.1 not sent: Network is unreachable")),
             qPrintable(err));
}

void TestCliProgram::rangesLeaveFromTheirOwnAddresses_data()
{
    QTest::addColumn<bool>("routedFirst");
    QTest::addColumn<bool>("loopbackUp");
    QTest::newRow("LAN range first") << false << true;
    QTest::newRow("routed range first") << true << true;
    // The first socket is then a LAN's, not loopback's.
    QTest::newRow("without loopback") << true << false;
}

void TestCliProgram::rangesLeaveFromTheirOwnAddresses()
{
    QFETCH(bool, routedFirst);
    QFETCH(bool, loopbackUp);
    // A device on LAN 1, and one on network 3 behind a router on LAN 2.
    ENTER_NEW_NAMESPACE(loopbackUp);
    NetLab lab;
    ADD_LANS(lab, 2);
    QString error;
    QVERIFY2(lab.addNetworkBehind(2, &error), qPrintable(error));
    START_SIMULATOR(onLan, lab, 1, options({"--device", "ONLAN00001"}));
    START_SIMULATOR(routed, lab, 3, options({"--device", "ROUTED0001"}));
    Q_UNUSED(onLan)
    Q_UNUSED(routed)
    START_CAPTURE(lan1, interfaceOf(1));
    START_CAPTURE(lan2, interfaceOf(2));

    const QStringList lanRange{QStringLiteral("-a"), NetLab::peerAddress(1)};
    const QStringList routedRange{QStringLiteral("-a"), QStringLiteral("10.0.3.0/24")};
    const Outcome outcome =
        run(options({"--no-broadcast", "-v", "--format", "jsonl", "--timeout", "1000"}) +
            (routedFirst ? routedRange + lanRange : lanRange + routedRange));
    QCOMPARE(outcome.exitCode, 0);
    QVector<Printed> devices;
    QVERIFY2(parse(QStringLiteral("jsonl"), outcome.out, &devices), outcome.out.constData());
    QStringList serials = serialsOf(devices);
    serials.sort();
    QCOMPARE(serials, options({"ONLAN00001", "ROUTED0001"}));
    QVERIFY2(outcome.err.contains("range 10.0.1.2: requests from 10.0.1.1 on lan1h\n") &&
                 outcome.err.contains("range 10.0.3.0/24: requests from 10.0.2.1 on lan2h\n"),
             outcome.err.constData());

    // Each request left from the address the routing table picks for it, and from no other.
    const QVector<Capture::Request> onLan1 = lan1.requests();
    QCOMPARE(onLan1.size(), 1);
    QCOMPARE(onLan1.constFirst().from, QStringLiteral("10.0.1.1.44444"));
    QCOMPARE(onLan1.constFirst().to, QStringLiteral("10.0.1.2.44444"));
    const QVector<Capture::Request> onLan2 = lan2.requests();
    QCOMPARE(onLan2.size(), 254);
    for (int i = 0; i < onLan2.size(); ++i) {
        QCOMPARE(onLan2.at(i).from, QStringLiteral("10.0.2.1.44444"));
        QCOMPARE(onLan2.at(i).to, QStringLiteral("10.0.3.%1.44444").arg(i + 1));
    }
}

void TestCliProgram::stallDoesNotBurst()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    // Routed to the LAN's peer, which drops them.
    IP({QStringLiteral("route"), QStringLiteral("add"), QStringLiteral("10.77.0.0/16"),
        QStringLiteral("via"), NetLab::peerAddress(1)});
    START_CAPTURE(capture, interfaceOf(1));

    // Stopped for 3 s while it sends at 1 000 a second, then continued.
    QProcess program;
    startProgram(program, options({"--no-broadcast", "-a", "10.77.0.0/16", "--rate", "1000",
                                   "--format", "json"}));
    QVERIFY(program.waitForStarted());
    QTest::qWait(700);
    ::kill(pid_t(program.processId()), SIGSTOP);
    QTest::qWait(3000);
    ::kill(pid_t(program.processId()), SIGCONT);
    QTest::qWait(1000);
    ::kill(pid_t(program.processId()), SIGINT);
    QVERIFY(program.waitForFinished(runLimitMs));

    // At the rate again, the stall's share never made up for: at most the rate's 100 and a
    // tick's 10 in any 100 ms, and a little for the capture's own timing.
    const QVector<Capture::Request> requests = capture.requests();
    QVERIFY2(requests.size() > 1000, qPrintable(QString::number(requests.size())));
    int most = 0;
    for (int first = 0, last = 0; last < requests.size(); ++last) {
        while (requests.at(last).time - requests.at(first).time >= 0.1)
            ++first;
        most = qMax(most, last - first + 1);
    }
    QVERIFY2(most <= 115, qPrintable(QString::number(most)));
}

void TestCliProgram::unsentRequestsCountedNotPaced()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    // 10.0.8.0/24 has no route; 10.0.9.0/24 has one, but a firewall drops what is sent there.
    IP({QStringLiteral("route"), QStringLiteral("add"), QStringLiteral("unreachable"),
        QStringLiteral("10.0.8.0/24")});
    IP({QStringLiteral("route"), QStringLiteral("add"), QStringLiteral("10.0.9.0/24"),
        QStringLiteral("via"), NetLab::peerAddress(1)});
    QString nft = QStandardPaths::findExecutable(QStringLiteral("nft"));
    if (nft.isEmpty())
        nft = QStandardPaths::findExecutable(QStringLiteral("nft"), {QStringLiteral("/usr/sbin")});
    QString error;
    QVERIFY2(NetLab::run(nft,
                         {QStringLiteral("add table ip scout; add chain ip scout out { type filter "
                                         "hook output priority 0; }; add rule ip scout out ip "
                                         "daddr 10.0.9.0/24 drop")},
                         &error),
             qPrintable(error));

    // 508 requests at 10 a second would take 50 s, were they paced.
    const Outcome outcome = run(options({"--no-broadcast", "-a", "10.0.8.0/24", "-a", "10.0.9.0/24",
                                         "--rate", "10", "-v", "--timeout", "300"}));
    QCOMPARE(outcome.exitCode, 4);
    QVERIFY2(outcome.elapsedMs < 5000, qPrintable(QString::number(outcome.elapsedMs)));
    for (const char *expected :
         {"range 10.0.8.0/24: request to 10.0.8.1 not sent: No route to host\n",
          "range 10.0.8.0/24: 0 requests sent, 254 not sent\n",
          "range 10.0.9.0/24: requests from 10.0.1.1 on lan1h\n",
          "range 10.0.9.0/24: request to 10.0.9.1 not sent: Operation not permitted\n",
          "range 10.0.9.0/24: 0 requests sent, 254 not sent\n"})
        QVERIFY2(outcome.err.contains(expected), outcome.err.constData());
}

void TestCliProgram::receiveWindowCountsFromLastRequest()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    QString error;
    QVERIFY2(lab.addNetworkBehind(1, &error), qPrintable(error));
    // Asked first, the device answers 2.5 s later: after the window of 1 s, counted from the
    // start, but within it counted from the last of the 20 requests, 1.9 s after the first.
    START_SIMULATOR(late, lab, 2, options({"--delay", "2500", "--device", "LATE000001"}));
    Q_UNUSED(late)
    const Outcome outcome = run(options({"--no-broadcast", "-a", "10.0.2.2-21", "--rate", "10",
                                         "--timeout", "1000", "--format", "jsonl"}));
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(countOf(outcome.out, "\"LATE000001\""), 1);
    QVERIFY2(outcome.elapsedMs >= 2800, qPrintable(QString::number(outcome.elapsedMs)));
}

void TestCliProgram::fullSendBufferHoldsRequests()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 1);
    IP({QStringLiteral("route"), QStringLiteral("add"), QStringLiteral("10.77.0.0/16"),
        QStringLiteral("via"), NetLab::peerAddress(1)});
    // The LAN lets out a few thousand small datagrams a second: sent faster, they fill the
    // socket's send buffer, and the system takes no more until some have left.
    QString tc = QStandardPaths::findExecutable(QStringLiteral("tc"));
    if (tc.isEmpty())
        tc = QStandardPaths::findExecutable(QStringLiteral("tc"), {QStringLiteral("/usr/sbin")});
    QString error;
    QVERIFY2(NetLab::run(tc,
                         options({"qdisc", "add", "dev", "lan1h", "root", "tbf", "rate", "1mbit",
                                  "burst", "1600", "limit", "10000000"}),
                         &error),
             qPrintable(error));
    START_CAPTURE(capture, interfaceOf(1));

    // Held back and handed over again as room comes: none lost.
    const Outcome outcome = run(options(
        {"--no-broadcast", "-a", "10.77.0.0/22", "--rate", "100000", "-v", "--timeout", "300"}));
    QCOMPARE(outcome.exitCode, 1);
    QVERIFY2(outcome.err.contains("range 10.77.0.0/22: 1022 requests sent, 0 not sent\n"),
             outcome.err.constData());
    QTest::qWait(1000);
    QCOMPARE(capture.requests().size(), 1022);
}

void TestCliProgram::watchSeesDeviceGoAndComeBack()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 2);
    START_SIMULATOR(staying, lab, 1, options({"--log", "--device", "STAY000001"}));
    START_SIMULATOR(going, lab, 2, options({"--device", "GONE000001"}));

    QProcess program;
    startProgram(program,
                 options({"--watch", "--repeat", "1", "--timeout", "500", "--format", "jsonl"}));
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT(watching(program, &out).size() == 2, 20000);
    QStringList events = watchEvents(out);
    events.sort();
    QCOMPARE(events, options({"found GONE000001 10.0.2.2", "found STAY000001 10.0.1.2"}));

    // Stopped once a search has heard it: the next two searches miss it.
    const auto requests = [staying] {
        return staying->linesStartingWith(QStringLiteral("request from ")).size();
    };
    const int heard = int(requests());
    QTRY_VERIFY_WITH_TIMEOUT(requests() > heard, 20000);
    QTest::qWait(200);
    going->stop();
    const int stoppedAt = int(requests());
    QTRY_VERIFY_WITH_TIMEOUT(watching(program, &out).size() == 3, 20000);
    QCOMPARE(watchEvents(out).at(2), QStringLiteral("lost GONE000001 10.0.2.2"));
    QVERIFY2(requests() >= stoppedAt + 2, qPrintable(QString::number(requests() - stoppedAt)));

    START_SIMULATOR(restarted, lab, 2, options({"--device", "GONE000001"}));
    QTRY_VERIFY_WITH_TIMEOUT(watching(program, &out).size() == 4, 20000);
    QCOMPARE(watchEvents(out).at(3), QStringLiteral("back GONE000001 10.0.2.2"));

    QByteArray err;
    QCOMPARE(interrupted(program, &out, &err), 0);
    QCOMPARE(watchEvents(out).size(), 4);
    QVERIFY2(err.startsWith("ostrel-scout-cli: watch ended after ") &&
                 err.endsWith(" searches: 2 answering, 0 not answering\n"),
             err.constData());
}

void TestCliProgram::expectNamesTheMissing()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 2);
    START_SIMULATOR(first, lab, 1, options({"--device", "FIRST00001"}));
    START_SIMULATOR(second, lab, 2, options({"--device", "SECOND0001"}));

    // The site's list, as this program saves it.
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString list = folder.filePath(QStringLiteral("site.csv"));
    const Outcome saved = run(options({"--timeout", "800", "--format", "csv"}));
    QCOMPARE(saved.exitCode, 0);
    QFile file(list);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(saved.out) == saved.out.size());
    file.close();
    const QStringList expectList{QStringLiteral("--expect"), list};
    QCOMPARE(run(options({"--timeout", "800"}) + expectList).exitCode, 0);

    second->stop();
    const Outcome missing = run(options({"--timeout", "800", "--format", "json"}) + expectList);
    QCOMPARE(missing.exitCode, 1);
    QCOMPARE(missing.err,
             QByteArray("ostrel-scout-cli: expected, not answering: SECOND0001 (10.0.2.2)\n"));
    const QJsonArray array = QJsonDocument::fromJson(missing.out).array();
    QCOMPARE(array.size(), 2);
    QCOMPARE(array.at(0).toObject().value(QStringLiteral("serial")).toString(),
             QStringLiteral("FIRST00001"));
    QVERIFY(!array.at(0).toObject().contains(QStringLiteral("missing")));
    const QJsonObject absent = array.at(1).toObject();
    QCOMPARE(absent.value(QStringLiteral("serial")).toString(), QStringLiteral("SECOND0001"));
    QCOMPARE(absent.value(QStringLiteral("ip")).toString(), NetLab::peerAddress(2));
    QCOMPARE(absent.value(QStringLiteral("missing")), QJsonValue(true));

    // A watch for it gives up when its total time is over.
    const Outcome waited =
        run(options({"--watch", "--repeat", "1", "--timeout", "300", "--timeout-total", "2",
                     "--expect", "SECOND0001", "--format", "jsonl"}));
    QCOMPARE(waited.exitCode, 1);
    QCOMPARE(watchEvents(waited.out), options({"found FIRST00001 10.0.1.2"}));
    QVERIFY2(waited.err.startsWith(
                 "ostrel-scout-cli: expected, not answering: SECOND0001\nostrel-scout-cli: watch "
                 "ended after "),
             waited.err.constData());

    // Restarted, it ends the watch at once: well before the first search's 5 seconds.
    START_SIMULATOR(restarted, lab, 2, options({"--device", "SECOND0001"}));
    const Outcome back = run(options({"--watch"}) + expectList);
    QCOMPARE(back.exitCode, 0);
    QVERIFY2(back.elapsedMs < 4000, qPrintable(QString::number(back.elapsedMs)));
    QVERIFY2(back.out.startsWith("TIME      EVENT  SERIAL      IP  ") && back.out.contains("\n") &&
                 back.out.contains("  found  SECOND0001  10.0.2.2  "),
             back.out.constData());
}

void TestCliProgram::watchSeesAddressChangeOnce()
{
    ENTER_NEW_NAMESPACE(true);
    NetLab lab;
    ADD_LANS(lab, 2);
    START_SIMULATOR(moving, lab, 1, options({"--log", "--device", "MOVE000001"}));
    START_SIMULATOR(staying, lab, 2, options({"--device", "STAY000001"}));

    QProcess program;
    startProgram(program,
                 options({"--watch", "--repeat", "1", "--timeout", "500", "--format", "jsonl"}));
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT(watching(program, &out).size() == 2, 20000);

    QString error;
    QVERIFY2(lab.runIpInPeer(1, options({"addr", "flush", "dev", "lan1p"}), &error),
             qPrintable(error));
    QVERIFY2(lab.runIpInPeer(1, options({"addr", "add", "10.0.1.7/24", "dev", "lan1p"}), &error),
             qPrintable(error));
    QTRY_VERIFY_WITH_TIMEOUT(watching(program, &out).size() == 3, 20000);
    QCOMPARE(watchEvents(out).at(2), QStringLiteral("moved MOVE000001 10.0.1.7<-10.0.1.2"));
    // Three more searches hear it at its new address: nothing more to tell.
    const int heard = requestsSeen(moving).size();
    QTRY_VERIFY_WITH_TIMEOUT(requestsSeen(moving).size() >= heard + 3, 20000);
    QByteArray err;
    QCOMPARE(interrupted(program, &out, &err), 0);
    QCOMPARE(watchEvents(out).size(), 3);
}

QTEST_GUILESS_MAIN(TestCliProgram)
#include "tst_cliprogram.moc"
