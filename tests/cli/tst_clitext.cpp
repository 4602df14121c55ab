#include "bindmode.h"
#include "clioptions.h"
#include "devicerecord.h"
#include "devicewriter.h"
#include "discoverylog.h"
#include "interruptnotifier.h"
#include "verboselog.h"
#include "watchprinter.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <csignal>
#endif

Q_DECLARE_METATYPE(OutputFormat)

namespace {

DeviceRecord record(const QString &serial, const QString &ip = QStringLiteral("10.1.0.2"))
{
    DeviceRecord result;
    result.serialNumber = serial;
    result.ipAddress = ip;
    result.macAddress = QStringLiteral("aa:bb:cc:dd:ee:01");
    result.interfaceName = QStringLiteral("eth0");
    result.localAddress = QHostAddress(QStringLiteral("10.1.0.1"));
    result.prefixLength = 24;
    return result;
}

QString run(OutputFormat format, const QList<DeviceRecord> &records,
            DeviceWriter::Target target = DeviceWriter::Target::FileOrPipe)
{
    DeviceWriter writer(format, target);
    QString text = writer.begin();
    for (const DeviceRecord &device : records)
        text += writer.device(device);
    return text + writer.end();
}

} // namespace

class TestCliText : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void everyOption();
    void helpAndVersion();
    void usageErrors_data();
    void usageErrors();
    void unknownInterface();
    void watchOptions();
    void expectedDevices();

    void table();
    void csv();
    void json_data();
    void json();
    void watchEvents();

    void interruptComesThroughTheEventLoop();
    void verboseLogBesideEarlierCategories();
};

void TestCliText::defaults()
{
    CliOptions options;
    options.count = 7;
    QString error;
    QVERIFY(parseCliOptions({}, &options, &error));
    QCOMPARE(options.format, OutputFormat::Table);
    QCOMPARE(options.timeoutMs, 5000);
    QCOMPARE(options.count, 0);
    QVERIFY(options.interfaces.isEmpty());
    QCOMPARE(options.repeatSeconds, 0);
    QVERIFY(!options.help && !options.version);
}

void TestCliText::everyOption()
{
    CliOptions options;
    QString error;
    QVERIFY2(
        parseCliOptions({QStringLiteral("--format"), QStringLiteral("csv"),
                         QStringLiteral("--timeout=250"), QStringLiteral("--count"),
                         QStringLiteral("3"), QStringLiteral("--interface"), QStringLiteral("eth0"),
                         QStringLiteral("--interface=lan 2"), QStringLiteral("--repeat"),
                         QStringLiteral("2147483"), QStringLiteral("--format=jsonl")},
                        &options, &error),
        qPrintable(error));
    // The last --format counts; --interface adds up.
    QCOMPARE(options.format, OutputFormat::JsonLines);
    QCOMPARE(options.timeoutMs, 250);
    QCOMPARE(options.count, 3);
    QCOMPARE(options.interfaces, QStringList({QStringLiteral("eth0"), QStringLiteral("lan 2")}));
    QCOMPARE(options.repeatSeconds, 2147483);

    QVERIFY(parseCliOptions({QStringLiteral("--format"), QStringLiteral("json"),
                             QStringLiteral("--timeout"), QStringLiteral("2147483647")},
                            &options, &error));
    QCOMPARE(options.format, OutputFormat::Json);
    QCOMPARE(options.timeoutMs, 2147483647);
    QVERIFY(parseCliOptions({QStringLiteral("--format=table")}, &options, &error));
    QCOMPARE(options.format, OutputFormat::Table);
    QCOMPARE(options.rate, 2000);
    QVERIFY(options.broadcast && options.ranges.isEmpty());

    QVERIFY(parseCliOptions({QStringLiteral("-a"), QStringLiteral("10.3.0.1 10.2.0.0/30"),
                             QStringLiteral("--no-broadcast"), QStringLiteral("--rate"),
                             QStringLiteral("100000"), QStringLiteral("--address=10.1.0.5"),
                             QStringLiteral("-a10.4.0.0/30"), QStringLiteral("-a=10.5.0.1")},
                            &options, &error));
    QStringList ranges;
    for (const AddressRange &range : std::as_const(options.ranges))
        ranges << range.text;
    // The short option takes its value joined, after "=" or as the next argument.
    QCOMPARE(ranges, QStringList({QStringLiteral("10.1.0.5"), QStringLiteral("10.2.0.0/30"),
                                  QStringLiteral("10.3.0.1"), QStringLiteral("10.4.0.0/30"),
                                  QStringLiteral("10.5.0.1")}));
    QCOMPARE(options.rate, 100000);
    QVERIFY(!options.broadcast);
}

void TestCliText::helpAndVersion()
{
    CliOptions options;
    QString error;
    QVERIFY(
        parseCliOptions({QStringLiteral("--count"), QStringLiteral("2"), QStringLiteral("--help")},
                        &options, &error));
    QVERIFY(options.help);
    QVERIFY(parseCliOptions({QStringLiteral("-h")}, &options, &error));
    QVERIFY(options.help);
    QVERIFY(parseCliOptions({QStringLiteral("/?")}, &options, &error));
    QVERIFY(options.help);
    QVERIFY(helpText().contains(QLatin1String("  -h, --help ")));
    QVERIFY(parseCliOptions({QStringLiteral("--version")}, &options, &error));
    QVERIFY(options.version && !options.help && !options.verbose);
    QVERIFY(parseCliOptions({QStringLiteral("-v"), QStringLiteral("--count=1")}, &options, &error));
    QVERIFY(options.verbose);
    QVERIFY(parseCliOptions({QStringLiteral("--verbose")}, &options, &error));
    QVERIFY(options.verbose);
}

void TestCliText::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");

    const auto row = [](const char *name, QStringList arguments, const char *error) {
        QTest::newRow(name) << arguments << QString::fromUtf8(error);
    };
    row("unknown option", {QStringLiteral("--debug")}, "unknown option --debug");
    row("unknown with value", {QStringLiteral("--colour=red")}, "unknown option --colour");
    row("unknown short option", {QStringLiteral("-x")}, "unknown option -x");
    row("positional", {QStringLiteral("eth0")}, "unexpected argument \"eth0\"");
    row("lone dash", {QStringLiteral("-")}, "unexpected argument \"-\"");
    row("missing value", {QStringLiteral("--timeout")}, "--timeout needs a value");
    row("flag with value", {QStringLiteral("--version=2")}, "--version takes no value");
    row("verbose with value", {QStringLiteral("--verbose=yes")}, "--verbose takes no value");
    row("unknown format", {QStringLiteral("--format"), QStringLiteral("xml")},
        "--format is table, csv, json or jsonl, not \"xml\"");
    row("empty format", {QStringLiteral("--format=")},
        "--format is table, csv, json or jsonl, not \"\"");
    row("empty interface", {QStringLiteral("--interface=")}, "--interface needs a name");
    const char *const range = "--timeout needs a whole number from 1 to 2147483647, not ";
    for (const char *bad : {"abc", "0", "-5", "+5", " 5", "5 ", "5.0", "1e3", "0x10", "2147483648",
                            "99999999999", ""})
        row(qPrintable(QStringLiteral("timeout \"%1\"").arg(QLatin1String(bad))),
            {QStringLiteral("--timeout"), QLatin1String(bad)},
            qPrintable(QLatin1String(range) + QLatin1Char('"') + QLatin1String(bad) +
                       QLatin1Char('"')));
    row("count 0", {QStringLiteral("--count"), QStringLiteral("0")},
        "--count needs a whole number from 1 to 2147483647, not \"0\"");
    row("repeat 0", {QStringLiteral("--repeat=0")},
        "--repeat needs a whole number from 1 to 2147483, not \"0\"");
    // Seconds that would overflow the timer's milliseconds.
    row("repeat too long", {QStringLiteral("--repeat=2147484")},
        "--repeat needs a whole number from 1 to 2147483, not \"2147484\"");
    // An option where a value should be means the value was left out; a negative number is
    // still a value.
    row("interface before option",
        {QStringLiteral("--interface"), QStringLiteral("--timeout"), QStringLiteral("300")},
        "--interface needs a value");
    row("count before option",
        {QStringLiteral("--count"), QStringLiteral("--timeout"), QStringLiteral("300")},
        "--count needs a value");
    row("format before short option", {QStringLiteral("--format"), QStringLiteral("-h")},
        "--format needs a value");
    row("rate 0", {QStringLiteral("--rate=0")},
        "--rate needs a whole number from 1 to 100000, not \"0\"");
    row("rate too high", {QStringLiteral("--rate=100001")},
        "--rate needs a whole number from 1 to 100000, not \"100001\"");
    row("bad range", {QStringLiteral("-a"), QStringLiteral("10.2.0.300")},
        "10.2.0.300: not an IPv4 address");
    // The limit and overlaps count across the options.
    row("ranges overlap across options",
        {QStringLiteral("-a"), QStringLiteral("10.2.0.0/24"), QStringLiteral("--address=10.2.0.9")},
        "10.2.0.9: overlaps 10.2.0.0/24");
    row("empty range", {QStringLiteral("--address=")}, "--address needs an address or a range");
    row("only the ranges, but none", {QStringLiteral("--no-broadcast")},
        "--no-broadcast needs --address");
    row("rate without ranges", {QStringLiteral("--rate"), QStringLiteral("500")},
        "--rate needs --address: it paces the requests to the ranges");
    row("short address without value", {QStringLiteral("-a")}, "--address needs a value");
    row("joined short address, bad", {QStringLiteral("-a10.2.0.0/24;10.3.0.0/24")},
        "10.2.0.0/24;10.3.0.0/24: \";\" does not separate ranges: use commas or spaces");
    row("reserved range", {QStringLiteral("-a"), QStringLiteral("240.0.0.0/24")},
        "240.0.0.0/24: holds reserved addresses (240.0.0.0/4)");
    row("lost after without watch", {QStringLiteral("--lost-after=1")},
        "--lost-after needs --watch");
    row("total time without watch", {QStringLiteral("--timeout-total"), QStringLiteral("60")},
        "--timeout-total needs --watch");
    row("lost after 0", {QStringLiteral("--watch"), QStringLiteral("--lost-after=0")},
        "--lost-after needs a whole number from 1 to 1000, not \"0\"");
    row("watch with value", {QStringLiteral("--watch=yes")}, "--watch takes no value");
    row("watch and count", {QStringLiteral("--watch"), QStringLiteral("--count=1")},
        "--count does not go with --watch: a watch lists events");
    row("watch as CSV", {QStringLiteral("--format=csv"), QStringLiteral("--watch")},
        "--watch prints its events as a table or as jsonl, not as csv");
    row("watch as JSON", {QStringLiteral("--watch"), QStringLiteral("--format=json")},
        "--watch prints its events as a table or as jsonl, not as json");
    row("expect without value", {QStringLiteral("--expect")}, "--expect needs a value");
}

void TestCliText::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    CliOptions options;
    QString actual;
    QVERIFY(!parseCliOptions(arguments, &options, &actual));
    QCOMPARE(actual, error);
}

void TestCliText::watchOptions()
{
    CliOptions options;
    QString error;
    QVERIFY(parseCliOptions({QStringLiteral("--watch")}, &options, &error));
    QVERIFY(options.watch);
    QCOMPARE(options.repeatSeconds, 10);
    QCOMPARE(options.lostAfter, 2);
    QCOMPARE(options.totalTimeoutSeconds, 0);
    QVERIFY(parseCliOptions({QStringLiteral("--repeat=1"), QStringLiteral("--lost-after"),
                             QStringLiteral("1"), QStringLiteral("--timeout-total=30"),
                             QStringLiteral("--expect"), QStringLiteral("AB12345678"),
                             QStringLiteral("--watch"), QStringLiteral("--expect=site.csv")},
                            &options, &error));
    QCOMPARE(options.repeatSeconds, 1);
    QCOMPARE(options.lostAfter, 1);
    QCOMPARE(options.totalTimeoutSeconds, 30);
    QCOMPARE(options.expected,
             QStringList({QStringLiteral("AB12345678"), QStringLiteral("site.csv")}));
}

void TestCliText::expectedDevices()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const auto write = [&folder](const char *name, const QByteArray &content) {
        QFile file(folder.filePath(QLatin1String(name)));
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    };
    QVERIFY(write("site.csv", "SERIAL,IP,MAC,INTERFACE\r\nAB12345678,10.1.0.2,m,eth0\r\n"));
    // A file whose name could be a serial number is read as the list it is.
    QVERIFY(write("CD98765432", "[{\"serial\": \"EF00000001\"}]"));
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder.path()));
    const auto back = qScopeGuard([&before] { QDir::setCurrent(before); });

    QVector<ListedDevice> devices;
    QString error;
    QVERIFY2(readExpected({QStringLiteral("site.csv"), QStringLiteral("GH00000001"),
                           QStringLiteral("CD98765432")},
                          &devices, &error),
             qPrintable(error));
    QCOMPARE(devices.size(), 3);
    QCOMPARE(devices.at(0).ipAddress, QStringLiteral("10.1.0.2"));
    QCOMPARE(devices.at(1).serialNumber, QStringLiteral("GH00000001"));
    QCOMPARE(devices.at(2).serialNumber, QStringLiteral("EF00000001"));

    QVERIFY(write("empty.json", "[]\n"));
    QVERIFY(!readExpected({QStringLiteral("empty.json")}, &devices, &error));
    QCOMPARE(error, QStringLiteral("empty.json: lists no device"));
    QVERIFY(!readExpected({QStringLiteral("site.cvs")}, &devices, &error));
    QCOMPARE(error, QStringLiteral("--expect needs a list file or a serial number of 10 "
                                   "characters; there is no file \"site.cvs\""));
}

void TestCliText::unknownInterface()
{
    const QStringList available{QStringLiteral("lo"), QStringLiteral("eth0")};
    QCOMPARE(firstUnknownInterface({}, available), QString());
    QCOMPARE(firstUnknownInterface({QStringLiteral("eth0"), QStringLiteral("lo")}, available),
             QString());
    QCOMPARE(
        firstUnknownInterface(
            {QStringLiteral("eth0"), QStringLiteral("eth1"), QStringLiteral("wlan0")}, available),
        QStringLiteral("eth1"));
    // Names are exact.
    QCOMPARE(firstUnknownInterface({QStringLiteral("ETH0")}, available), QStringLiteral("ETH0"));
}

void TestCliText::table()
{
    DeviceRecord odd =
        record(QChar(0x1b) + QStringLiteral("[2J12345"), QStringLiteral("10.1.0.200"));
    odd.interfaceName = QStringLiteral("lan2");
    const QStringList lines = run(OutputFormat::Table, {record(QStringLiteral("AB12345678")), odd})
                                  .split(QLatin1Char('\n'));
    // The columns are as wide as the escaped texts in them.
    QCOMPARE(
        lines,
        QStringList({QStringLiteral("SERIAL        IP               MAC                INTERFACE"),
                     QStringLiteral("AB12345678    10.1.0.2         aa:bb:cc:dd:ee:01  eth0"),
                     QStringLiteral("\\x1b[2J12345  10.1.0.200       aa:bb:cc:dd:ee:01  lan2"),
                     QString()}));
    QCOMPARE(run(OutputFormat::Table, {}),
             QStringLiteral("SERIAL      IP               MAC                INTERFACE\n"));
}

void TestCliText::csv()
{
    DeviceRecord guarded = record(QStringLiteral("=1+2,\"x\"\n"));
    guarded.macAddress = QStringLiteral("-aa:bb");
    QCOMPARE(run(OutputFormat::Csv, {record(QStringLiteral("AB12345678")), guarded}),
             QStringLiteral("SERIAL,IP,MAC,INTERFACE\r\n"
                            "AB12345678,10.1.0.2,aa:bb:cc:dd:ee:01,eth0\r\n"
                            "\"'=1+2,\"\"x\"\"\n\",10.1.0.2,'-aa:bb,eth0\r\n"));
    QCOMPARE(run(OutputFormat::Csv, {}), QStringLiteral("SERIAL,IP,MAC,INTERFACE\r\n"));
    // To a terminal: escaped first, then quoted and guarded as any field.
    DeviceRecord coloured = record(QChar(0x1b) + QStringLiteral("[31m,=x\n"));
    coloured.interfaceName = QStringLiteral("=eth0");
    QCOMPARE(run(OutputFormat::Csv, {coloured}, DeviceWriter::Target::Terminal),
             QStringLiteral("SERIAL,IP,MAC,INTERFACE\r\n"
                            "\"\\x1b[31m,=x\\x0a\",10.1.0.2,aa:bb:cc:dd:ee:01,'=eth0\r\n"));
}

void TestCliText::json_data()
{
    QTest::addColumn<int>("devices");
    QTest::newRow("none") << 0;
    QTest::newRow("one") << 1;
    QTest::newRow("three") << 3;
}

void TestCliText::json()
{
    QFETCH(int, devices);
    QList<DeviceRecord> records;
    for (int n = 0; n < devices; ++n)
        records.append(
            record(QStringLiteral("SER\"\\%1").arg(n), QStringLiteral("10.1.0.%1").arg(n + 2)));
    const QString text = run(OutputFormat::Json, records);
    QVERIFY(text.endsWith(QLatin1String("]\n")));
    QJsonParseError error{};
    const QJsonArray array = QJsonDocument::fromJson(text.toUtf8(), &error).array();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(array.size(), devices);
    for (int n = 0; n < devices; ++n) {
        const QJsonObject object = array.at(n).toObject();
        QCOMPARE(object.keys(), QStringList({QStringLiteral("interface"), QStringLiteral("ip"),
                                             QStringLiteral("mac"), QStringLiteral("network"),
                                             QStringLiteral("serial")}));
        QCOMPARE(object.value(QStringLiteral("serial")).toString(), records.at(n).serialNumber);
        QCOMPARE(object.value(QStringLiteral("ip")).toString(), records.at(n).ipAddress);
        QCOMPARE(object.value(QStringLiteral("mac")).toString(), records.at(n).macAddress);
        QCOMPARE(object.value(QStringLiteral("interface")).toString(), QStringLiteral("eth0"));
        QCOMPARE(object.value(QStringLiteral("network")).toString(), QStringLiteral("10.1.0.1/24"));
    }
}

void TestCliText::watchEvents()
{
    const QDateTime when(QDate(2026, 5, 4), QTime(10, 42, 13), Qt::OffsetFromUTC, 7200);
    DeviceRecord odd = record(QChar(0x1b) + QStringLiteral("[2J12345"));
    WatchPrinter table(OutputFormat::Table, 1);
    QString text = table.begin();
    text += table.answered(record(QStringLiteral("AB12345678")), when);
    text += table.answered(odd, when);
    text += table.searchEnded(when);
    text += table.answered(record(QStringLiteral("AB12345678"), QStringLiteral("10.1.0.9")), when);
    text += table.searchEnded(when.addSecs(1));
    QCOMPARE(text.split(QLatin1Char('\n')),
             QStringList({QStringLiteral("TIME      EVENT  SERIAL      IP               MAC      "
                                         "          INTERFACE"),
                          QStringLiteral("10:42:13  found  AB12345678  10.1.0.2         "
                                         "aa:bb:cc:dd:ee:01  eth0"),
                          QStringLiteral("10:42:13  found  \\x1b[2J12345  10.1.0.2         "
                                         "aa:bb:cc:dd:ee:01  eth0"),
                          QStringLiteral("10:42:13  moved  AB12345678  10.1.0.9         "
                                         "aa:bb:cc:dd:ee:01  eth0  (was 10.1.0.2)"),
                          QStringLiteral("10:42:14  lost   \\x1b[2J12345  10.1.0.2         "
                                         "aa:bb:cc:dd:ee:01  eth0"),
                          QString()}));
    QCOMPARE(table.summary(), QStringLiteral("watch ended after 2 searches: 1 answering, 1 not "
                                             "answering (\\x1b[2J12345)"));

    WatchPrinter lines(OutputFormat::JsonLines, 2);
    QVERIFY(lines.begin().isEmpty());
    lines.answered(record(QStringLiteral("AB12345678")), when);
    text = lines.answered(record(QStringLiteral("AB12345678"), QStringLiteral("10.1.0.9")), when);
    QVERIFY(text.isEmpty());
    lines.searchEnded(when);
    text = lines.answered(record(QStringLiteral("AB12345678"), QStringLiteral("10.1.0.9")), when);
    QVERIFY(text.endsWith(QLatin1Char('\n')));
    const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
    QCOMPARE(object.value(QStringLiteral("event")).toString(), QStringLiteral("moved"));
    QCOMPARE(object.value(QStringLiteral("time")).toString(),
             QStringLiteral("2026-05-04T10:42:13+02:00"));
    QCOMPARE(object.value(QStringLiteral("ip")).toString(), QStringLiteral("10.1.0.9"));
    QCOMPARE(object.value(QStringLiteral("previous_ip")).toString(), QStringLiteral("10.1.0.2"));
    QCOMPARE(object.value(QStringLiteral("network")).toString(), QStringLiteral("10.1.0.1/24"));
}

// Ctrl+C in the terminal: on Linux a signal, on Windows a console event on a thread of its own.
void TestCliText::interruptComesThroughTheEventLoop()
{
    InterruptNotifier notifier;
    QSignalSpy interrupted(&notifier, &InterruptNotifier::interrupted);
#ifdef Q_OS_WIN
    if (runningUnderWine())
        QSKIP("Wine sends no console event from inside; its Ctrl+C is tested from outside");
    QVERIFY(::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0));
#else
    QCOMPARE(::raise(SIGTERM), 0);
#endif
    QCOMPARE(interrupted.count(), 0);
    QTRY_COMPARE(interrupted.count(), 1);
}

// Installed last: it stays for the rest of the run.
void TestCliText::verboseLogBesideEarlierCategories()
{
    // Qt runs the filter on every category that exists while it installs it.
    const QLoggingCategory earlier("scout.test.earlier", QtWarningMsg);
    installVerboseLog();
    QVERIFY(lcDiscovery().isDebugEnabled());
    QVERIFY(lcDiscovery().isInfoEnabled());
    QVERIFY(!earlier.isInfoEnabled());
    QVERIFY(earlier.isWarningEnabled());
}

QTEST_GUILESS_MAIN(TestCliText)
#include "tst_clitext.moc"
