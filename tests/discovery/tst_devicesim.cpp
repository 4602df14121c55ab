#include "childprocess.h"
#include "netlab.h"

#include <QNetworkDatagram>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

// The device simulator, on loopback in a network namespace of the test's own.
namespace {

constexpr quint16 simulatorPort = 44444;
constexpr quint16 clientPort = 50000;

QByteArray bytes(const char *text)
{
    return QByteArray(text);
}

} // namespace

class TestDeviceSim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void help();
    void answers_data();
    void answers();
    void answersNothingElse();
    void delay();
    void webPage();
    void flood();
    void floodMix();

private:
    // Starts the simulator on 127.0.0.1 with extra arguments.
    ChildProcess *start(const QStringList &arguments,
                        const QString &readyPrefix = QStringLiteral("listening on "));
    // Datagrams that reach the client socket within ms milliseconds.
    QList<QNetworkDatagram> receive(int ms);

    std::unique_ptr<ChildProcess> simulator;
    std::unique_ptr<QUdpSocket> client;
};

void TestDeviceSim::initTestCase()
{
    const QString reason = NetLab::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(QStringLiteral("needs private network namespaces, but ") + reason));
}

void TestDeviceSim::init()
{
    QString error;
    QVERIFY2(NetLab::enterNewNamespace(true, &error), qPrintable(error));
    client = std::make_unique<QUdpSocket>();
    QVERIFY(client->bind(QHostAddress::LocalHost, clientPort));
}

void TestDeviceSim::cleanup()
{
    simulator.reset();
    client.reset();
}

ChildProcess *TestDeviceSim::start(const QStringList &arguments, const QString &readyPrefix)
{
    simulator = std::make_unique<ChildProcess>(
        NetLab::simulatorPath(),
        QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1")} + arguments);
    QString error;
    if (!simulator->start(readyPrefix, &error)) {
        qWarning("%s", qPrintable(error));
        return nullptr;
    }
    return simulator.get();
}

QList<QNetworkDatagram> TestDeviceSim::receive(int ms)
{
    QList<QNetworkDatagram> result;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QTest::qWait(10);
        while (client->hasPendingDatagrams())
            result.append(client->receiveDatagram());
    }
    return result;
}

void TestDeviceSim::help()
{
    QProcess process;
    process.start(NetLab::simulatorPath(), {QStringLiteral("--help")});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    for (const char *option :
         {"--listen", "--port", "--device", "--device-hex", "--devices", "--web", "--size",
          "--lowercase-marker", "--tab-separator", "--delay", "--log", "--flood", "--rate",
          "--count", "--duration", "--mix"})
        QVERIFY2(text.contains(QLatin1String(option)), option);
}

void TestDeviceSim::answers_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<QByteArray>>("expected");

    const QString device = QStringLiteral("--device");
    QTest::newRow("one generated device")
        << QStringList() << QList<QByteArray>{bytes("ACK SIM0000000 02:00:00:00:00:00")};
    QTest::newRow("devices in order, short serial padded")
        << QStringList{device, QStringLiteral("AB1,00:11:22:33:44:55"), device,
                       QStringLiteral("CD23456789,66:77:88:99:aa:bb")}
        << QList<QByteArray>{bytes("ACK AB1        00:11:22:33:44:55"),
                             bytes("ACK CD23456789 66:77:88:99:aa:bb")};
    QTest::newRow("serial of any bytes, in hexadecimal")
        << QStringList{QStringLiteral("--device-hex"), QStringLiteral("00221B5c80ffE9,aa:bb"),
                       QStringLiteral("--device-hex"), QStringLiteral("41")}
        << QList<QByteArray>{QByteArray("ACK \0\"\x1b\\\x80\xff\xe9    aa:bb            ", 32),
                             bytes("ACK A          02:00:00:00:00:01")};
    QTest::newRow("generated devices")
        << QStringList{QStringLiteral("--devices"), QStringLiteral("2")}
        << QList<QByteArray>{bytes("ACK SIM0000000 02:00:00:00:00:00"),
                             bytes("ACK SIM0000001 02:00:00:00:00:01")};
    QTest::newRow("31 bytes") << QStringList{QStringLiteral("--size"), QStringLiteral("31")}
                              << QList<QByteArray>{bytes("ACK SIM0000000 02:00:00:00:00:0")};
    QTest::newRow("33 bytes") << QStringList{QStringLiteral("--size"), QStringLiteral("33")}
                              << QList<QByteArray>{
                                     QByteArray("ACK SIM0000000 02:00:00:00:00:00\0", 33)};
    QTest::newRow("lower-case marker")
        << QStringList{QStringLiteral("--lowercase-marker")}
        << QList<QByteArray>{bytes("ack SIM0000000 02:00:00:00:00:00")};
    QTest::newRow("tab separators")
        << QStringList{QStringLiteral("--tab-separator")}
        << QList<QByteArray>{bytes("ACK\tSIM0000000\t02:00:00:00:00:00")};
}

void TestDeviceSim::answers()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<QByteArray>, expected);
    QVERIFY(start(arguments));

    client->writeDatagram(QByteArrayLiteral("OSTREL"), QHostAddress::LocalHost, simulatorPort);
    const QList<QNetworkDatagram> received = receive(500);
    QList<QByteArray> data;
    for (const QNetworkDatagram &datagram : received) {
        data.append(datagram.data());
        QCOMPARE(datagram.senderPort(), int(simulatorPort));
    }
    QCOMPARE(data, expected);
}

void TestDeviceSim::answersNothingElse()
{
    ChildProcess *sim = start({QStringLiteral("--log")});
    QVERIFY(sim);
    QVERIFY(receive(300).isEmpty());

    client->writeDatagram(QByteArrayLiteral("OSTRE"), QHostAddress::LocalHost, simulatorPort);
    client->writeDatagram(QByteArrayLiteral("OSTREL!"), QHostAddress::LocalHost, simulatorPort);
    client->writeDatagram(QByteArrayLiteral("ostrel"), QHostAddress::LocalHost, simulatorPort);
    QVERIFY(receive(500).isEmpty());
    QCOMPARE(sim->linesStartingWith(QStringLiteral("ignored from 127.0.0.1:50000")).size(), 3);
    QVERIFY(sim->linesStartingWith(QStringLiteral("request from")).isEmpty());
}

void TestDeviceSim::delay()
{
    QVERIFY(start({QStringLiteral("--delay"), QStringLiteral("800")}));
    QElapsedTimer clock;
    clock.start();
    client->writeDatagram(QByteArrayLiteral("OSTREL"), QHostAddress::LocalHost, simulatorPort);
    QTRY_VERIFY_WITH_TIMEOUT(client->hasPendingDatagrams(), 5000);
    QVERIFY2(clock.elapsed() >= 700, qPrintable(QString::number(clock.elapsed())));
}

void TestDeviceSim::webPage()
{
    QVERIFY(start({QStringLiteral("--web"), QStringLiteral("8080"), QStringLiteral("--device"),
                   QStringLiteral("WEB0000001")}));
    QTcpSocket http;
    http.connectToHost(QHostAddress::LocalHost, 8080);
    QVERIFY(http.waitForConnected(5000));
    http.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray response;
    QTRY_VERIFY_WITH_TIMEOUT(
        (response += http.readAll(), http.state() == QAbstractSocket::UnconnectedState), 5000);
    response += http.readAll();
    QVERIFY2(response.startsWith("HTTP/1.0 200 OK\r\n"), response.constData());
    QVERIFY(response.contains("WEB0000001"));
}

void TestDeviceSim::flood()
{
    ChildProcess *sim = start({QStringLiteral("--flood"), QStringLiteral("127.0.0.1:50000"),
                               QStringLiteral("--count"), QStringLiteral("100"),
                               QStringLiteral("--rate"), QStringLiteral("1000")},
                              QStringLiteral("flood: sending"));
    QVERIFY(sim);
    QTRY_VERIFY_WITH_TIMEOUT(!sim->isRunning(), 10000);
    QCOMPARE(
        sim->linesStartingWith(QStringLiteral("flood: sent 100 answers to 127.0.0.1:50000")).size(),
        1);

    QSet<QByteArray> serials;
    for (const QNetworkDatagram &datagram : receive(100)) {
        QCOMPARE(datagram.data().size(), 32);
        QVERIFY(datagram.data().startsWith("ACK "));
        serials.insert(datagram.data().mid(4, 10));
    }
    QCOMPARE(serials.size(), 100);

    QProcess unbounded;
    unbounded.start(NetLab::simulatorPath(),
                    {QStringLiteral("--flood"), QStringLiteral("127.0.0.1"),
                     QStringLiteral("--count"), QStringLiteral("0")});
    QVERIFY(unbounded.waitForFinished(10000));
    QCOMPARE(unbounded.exitCode(), 2);
}

void TestDeviceSim::floodMix()
{
    ChildProcess *sim =
        start({QStringLiteral("--flood"), QStringLiteral("127.0.0.1:50000"),
               QStringLiteral("--count"), QStringLiteral("200"), QStringLiteral("--rate"),
               QStringLiteral("2000"), QStringLiteral("--mix"), QStringLiteral("1:2:1")},
              QStringLiteral("flood: sending"));
    QVERIFY(sim);
    QTRY_VERIFY_WITH_TIMEOUT(!sim->isRunning(), 10000);
    QCOMPARE(sim->linesStartingWith(QStringLiteral("flood: sent 200 answers")).size(), 1);
    QVERIFY(sim->lines()
                .join(QLatin1Char('\n'))
                .contains(QLatin1String("50 distinct, 100 duplicates, 50 malformed")));

    // Every fourth datagram from the first is a new serial number, the next two repeat earlier
    // ones, the fourth is no answer.
    const QList<QNetworkDatagram> received = receive(200);
    QCOMPARE(received.size(), 200);
    QSet<QByteArray> sent;
    for (int i = 0; i < received.size(); ++i) {
        const QByteArray data = received.at(i).data();
        const bool answer = data.size() == 32 && data.startsWith("ACK ") && data.at(14) == ' ';
        const QByteArray serial = data.mid(4, 10);
        switch (i % 4) {
        case 0:
            QVERIFY(answer);
            QVERIFY(!sent.contains(serial));
            sent.insert(serial);
            break;
        case 3:
            QVERIFY2(!answer, data.constData());
            break;
        default:
            QVERIFY(answer);
            QVERIFY(sent.contains(serial));
        }
    }
    QCOMPARE(sent.size(), 50);

    QProcess noDistinct;
    noDistinct.start(NetLab::simulatorPath(),
                     {QStringLiteral("--flood"), QStringLiteral("127.0.0.1:50000"),
                      QStringLiteral("--mix"), QStringLiteral("0:1:1")});
    QVERIFY(noDistinct.waitForFinished(10000));
    QCOMPARE(noDistinct.exitCode(), 2);
}

QTEST_GUILESS_MAIN(TestDeviceSim)
#include "tst_devicesim.moc"
