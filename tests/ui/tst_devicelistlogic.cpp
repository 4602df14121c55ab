#include "addressconflicts.h"
#include "addressmarks.h"
#include "csvfield.h"
#include "devicecsv.h"
#include "mainwindow.h"
#include "networkcheck.h"
#include "rangedialog.h"
#include "statusline.h"

#include <QDate>
#include <QHostAddress>
#include <QTest>

namespace {

// Which language this run expects, taken from the environment the test was started with,
// not from the code under test.
bool expectPolish()
{
    return qEnvironmentVariable("LC_ALL").startsWith(QLatin1String("pl"));
}

// A serial as the window gets it from a device's bytes: each byte widened as a signed 8-bit
// value, so 0x80 to 0xff become U+FF80 to U+FFFF.
QString deviceText(const QByteArray &bytes)
{
    QString text;
    for (const char byte : bytes)
        text += QChar(ushort(short(static_cast<signed char>(byte))));
    return text;
}

} // namespace

// The window's logic that needs no widget: CSV and clipboard texts, address checks, the status
// line's and the tooltips' texts.
class TestDeviceListLogic : public QObject
{
    Q_OBJECT

private slots:
    void csvField_data();
    void csvField();
    void csvDocument();
    void csvKeepsDeviceBytes();
    void clipboardRowIsOneLine();
    void suggestedFileName();
    void inNetwork_data();
    void inNetwork();
    void conflicts();
    void toolTips();
    void statusLink();
    void sweepEstimate_data();
    void sweepEstimate();
};

void TestDeviceListLogic::csvField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("comma");
    QTest::addColumn<QString>("semicolon");

    QTest::newRow("plain") << "SN00000001"
                           << "SN00000001"
                           << "SN00000001";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
    QTest::newRow("comma") << "AB,CD"
                           << "\"AB,CD\""
                           << "AB,CD";
    QTest::newRow("semicolon") << "AB;CD"
                               << "AB;CD"
                               << "\"AB;CD\"";
    QTest::newRow("quotes doubled") << "A\"B\""
                                    << "\"A\"\"B\"\"\""
                                    << "\"A\"\"B\"\"\"";
    QTest::newRow("line feed") << "AB\nCD"
                               << "\"AB\nCD\""
                               << "\"AB\nCD\"";
    QTest::newRow("carriage return inside") << "AB\rCD"
                                            << "\"AB\rCD\""
                                            << "\"AB\rCD\"";
    QTest::newRow("formula =") << "=1+2"
                               << "'=1+2"
                               << "'=1+2";
    QTest::newRow("formula +") << "+123"
                               << "'+123"
                               << "'+123";
    QTest::newRow("formula -") << "-1"
                               << "'-1"
                               << "'-1";
    QTest::newRow("formula @") << "@SUM(A1)"
                               << "'@SUM(A1)"
                               << "'@SUM(A1)";
    QTest::newRow("leading tab") << "\tX"
                                 << "'\tX"
                                 << "'\tX";
    QTest::newRow("leading carriage return") << "\rX"
                                             << "\"'\rX\""
                                             << "\"'\rX\"";
    QTest::newRow("formula and separator") << "=HYPERLINK(\"x\",1)"
                                           << "\"'=HYPERLINK(\"\"x\"\",1)\""
                                           << "\"'=HYPERLINK(\"\"x\"\",1)\"";
    QTest::newRow("marks inside are harmless") << "A=B-C+D@E"
                                               << "A=B-C+D@E"
                                               << "A=B-C+D@E";
    QTest::newRow("apostrophe first stays") << "'x"
                                            << "'x"
                                            << "'x";
}

void TestDeviceListLogic::csvField()
{
    QFETCH(QString, text);
    QFETCH(QString, comma);
    QFETCH(QString, semicolon);
    QCOMPARE(::csvField(text, QLatin1Char(',')), comma);
    QCOMPARE(::csvField(text, QLatin1Char(';')), semicolon);
}

void TestDeviceListLogic::csvDocument()
{
    QCOMPARE(DeviceCsv::separator(false), QLatin1Char(','));
    QCOMPARE(DeviceCsv::separator(true), QLatin1Char(';'));

    const QStringList header{QStringLiteral("Numer seryjny"), QStringLiteral("IP"),
                             QStringLiteral("MAC")};
    const QVector<QStringList> rows{
        {QStringLiteral("SN;0000001"), QStringLiteral("10.0.0.1"),
         QStringLiteral("00:11:22:33:44:55")},
        {QStringLiteral("=cmd|' /C"), QStringLiteral("10.0.0.2"), QStringLiteral("a\"b\r\nc")}};
    QCOMPARE(DeviceCsv::document(header, rows, QLatin1Char(';')),
             QByteArray("Numer seryjny;IP;MAC\r\n"
                        "\"SN;0000001\";10.0.0.1;00:11:22:33:44:55\r\n"
                        "'=cmd|' /C;10.0.0.2;\"a\"\"b\r\nc\"\r\n"));
    QCOMPARE(DeviceCsv::document(header, rows, QLatin1Char(',')),
             QByteArray("Numer seryjny,IP,MAC\r\n"
                        "SN;0000001,10.0.0.1,00:11:22:33:44:55\r\n"
                        "'=cmd|' /C,10.0.0.2,\"a\"\"b\r\nc\"\r\n"));
    // Only the header: an empty list still names its columns.
    QCOMPARE(DeviceCsv::document(header, {}, QLatin1Char(',')),
             QByteArray("Numer seryjny,IP,MAC\r\n"));
}

void TestDeviceListLogic::csvKeepsDeviceBytes()
{
    QByteArray bytes;
    for (int byte = 0x80; byte <= 0xff; ++byte)
        bytes += char(byte);
    const QString serial = deviceText(bytes);
    const QByteArray csv = DeviceCsv::document({QStringLiteral("S")}, {{serial}}, QLatin1Char(','));
    // Valid UTF-8 that reads back as the very characters the window shows, no byte order mark.
    QVERIFY(!csv.startsWith("\xef\xbb\xbf"));
    QCOMPARE(QString::fromUtf8(csv), QStringLiteral("S\r\n") + serial + QStringLiteral("\r\n"));
}

void TestDeviceListLogic::clipboardRowIsOneLine()
{
    QCOMPARE(DeviceCsv::clipboardRow(QStringLiteral("SN00000001"), QStringLiteral("10.0.0.1"),
                                     QStringLiteral("00:11:22:33:44:55")),
             QStringLiteral("SN00000001\t10.0.0.1\t00:11:22:33:44:55"));
    // A device's tabs and line breaks cannot add cells or lines, nor its formulas run.
    QCOMPARE(DeviceCsv::clipboardRow(QStringLiteral("A\tB\nC\rD"), QStringLiteral("10.0.0.1"),
                                     QStringLiteral("=1+2")),
             QStringLiteral("A B C D\t10.0.0.1\t'=1+2"));
    QCOMPARE(DeviceCsv::clipboardRow(QStringLiteral("\tX"), QString(), QString()),
             QStringLiteral("' X\t\t"));
}

void TestDeviceListLogic::suggestedFileName()
{
    QCOMPARE(DeviceCsv::suggestedFileName(QDate(2026, 3, 7)),
             QStringLiteral("ostrel-devices-2026-03-07.csv"));
}

void TestDeviceListLogic::inNetwork_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("local");
    QTest::addColumn<int>("prefix");
    QTest::addColumn<bool>("inside");

    QTest::newRow("same /24") << "10.1.0.7"
                              << "10.1.0.1" << 24 << true;
    QTest::newRow("other /24") << "10.1.1.7"
                               << "10.1.0.1" << 24 << false;
    QTest::newRow("factory address") << "192.168.1.100"
                                     << "10.1.0.1" << 24 << false;
    QTest::newRow("inside /16") << "10.1.200.7"
                                << "10.1.0.1" << 16 << true;
    QTest::newRow("last of /30") << "10.1.0.3"
                                 << "10.1.0.1" << 30 << true;
    QTest::newRow("past /30") << "10.1.0.4"
                              << "10.1.0.1" << 30 << false;
    QTest::newRow("/32 itself") << "10.1.0.1"
                                << "10.1.0.1" << 32 << true;
    QTest::newRow("/32 other") << "10.1.0.2"
                               << "10.1.0.1" << 32 << false;
    QTest::newRow("/0 holds all") << "203.0.113.9"
                                  << "10.1.0.1" << 0 << true;
    QTest::newRow("loopback /8") << "127.0.0.5"
                                 << "127.0.0.1" << 8 << true;
    QTest::newRow("unknown prefix") << "192.168.1.100"
                                    << "10.1.0.1" << -1 << true;
    QTest::newRow("prefix too long") << "192.168.1.100"
                                     << "10.1.0.1" << 33 << true;
    QTest::newRow("no local address") << "192.168.1.100"
                                      << "" << 24 << true;
    QTest::newRow("device text not an address") << "not an address"
                                                << "10.1.0.1" << 24 << true;
}

void TestDeviceListLogic::inNetwork()
{
    QFETCH(QString, device);
    QFETCH(QString, local);
    QFETCH(int, prefix);
    QFETCH(bool, inside);
    QCOMPARE(isInNetwork(QHostAddress(device), QHostAddress(local), prefix), inside);
}

void TestDeviceListLogic::conflicts()
{
    AddressConflicts conflicts;
    QCOMPARE(conflicts.add(QStringLiteral("10.0.0.5"), 0), QVector<int>());
    QCOMPARE(conflicts.add(QStringLiteral("10.0.0.6"), 1), QVector<int>());
    QVERIFY(!conflicts.isConflict(QStringLiteral("10.0.0.5")));
    // The second device on an address brings the first into the conflict as well.
    QCOMPARE(conflicts.add(QStringLiteral("10.0.0.5"), 2), QVector<int>({0, 2}));
    QVERIFY(conflicts.isConflict(QStringLiteral("10.0.0.5")));
    // A third joins alone: the others are marked already.
    QCOMPARE(conflicts.add(QStringLiteral("10.0.0.5"), 3), QVector<int>({3}));
    QVERIFY(!conflicts.isConflict(QStringLiteral("10.0.0.6")));

    conflicts.clear();
    QVERIFY(!conflicts.isConflict(QStringLiteral("10.0.0.5")));
    QCOMPARE(conflicts.add(QStringLiteral("10.0.0.5"), 0), QVector<int>());
}

void TestDeviceListLogic::toolTips()
{
    using Network = AddressMarks::Network;
    using Conflict = AddressMarks::Conflict;
    const QHostAddress local(QStringLiteral("10.1.0.1"));
    const QString answered =
        expectPolish() ? QStringLiteral("Urządzenie odpowiedziało przez eth0 (10.1.0.1/24)")
                       : QStringLiteral("Answered on eth0 (10.1.0.1/24)");

    QCOMPARE(AddressMarks::toolTip(QStringLiteral("eth0"), local, 24, QStringLiteral("10.1.0.7"),
                                   Network::Inside, Conflict::None),
             answered);

    const QString wrong =
        AddressMarks::toolTip(QStringLiteral("eth0"), local, 24, QStringLiteral("192.168.1.100"),
                              Network::Outside, Conflict::None);
    QStringList lines = wrong.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), answered);
    // It names the device's address and the network to give it an address in.
    QVERIFY2(lines.at(1).contains(QLatin1String("192.168.1.100")), qPrintable(wrong));
    QVERIFY2(lines.at(2).contains(QLatin1String("10.1.0.0/24")), qPrintable(wrong));

    const QString conflict =
        AddressMarks::toolTip(QStringLiteral("eth0"), local, 24, QStringLiteral("10.1.0.7"),
                              Network::Inside, Conflict::SharedAddress);
    lines = conflict.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines.at(1).contains(QLatin1String("10.1.0.7")), qPrintable(conflict));
    QVERIFY2(
        lines.at(1).contains(expectPolish() ? QStringLiteral("Połącz") : QStringLiteral("Connect")),
        qPrintable(conflict));

    // Both at once; and nothing known about where the answer came in.
    QCOMPARE(AddressMarks::toolTip(QStringLiteral("eth0"), local, 24,
                                   QStringLiteral("192.168.1.100"), Network::Outside,
                                   Conflict::SharedAddress)
                 .count(QLatin1Char('\n')),
             4);
    QCOMPARE(AddressMarks::toolTip(QString(), QHostAddress(), -1, QStringLiteral("10.1.0.7"),
                                   Network::Inside, Conflict::None),
             QString());
}

void TestDeviceListLogic::statusLink()
{
    // The link is a sentence of its own; a line that ends a sentence already gets no stop.
    const QString link = QStringLiteral("Search other networks…");
    const QString tail = QStringLiteral(" <a href=\"#ranges\">Search other networks…</a>");
    QCOMPARE(StatusLine::withLink(QStringLiteral("No devices: check cable, power, network"), link),
             QStringLiteral("No devices: check cable, power, network.") + tail);
    QCOMPARE(StatusLine::withLink(QStringLiteral("No devices: is a firewall <b>?"), link),
             QStringLiteral("No devices: is a firewall &lt;b&gt;?") + tail);
}

void TestDeviceListLogic::sweepEstimate_data()
{
    QTest::addColumn<quint64>("addresses");
    QTest::addColumn<int>("rate");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("polish");
    QTest::newRow("a /24 starts without a word") << quint64(254) << 2000 << QString() << QString();
    QTest::newRow("under 3 s") << quint64(4000) << 2000 << QString() << QString();
    QTest::newRow("a /16")
        << quint64(65534) << 2000
        << "Asking 65 534 addresses takes about 33 seconds at 2 000 requests a second."
        << "Adresów do odpytania: 65 534; potrwa to około 33 s przy 2 000 zapytań na sekundę.";
    QTest::newRow("minutes")
        << quint64(65536) << 100
        << "Asking 65 536 addresses takes about 11 minutes at 100 requests a second."
        << "Adresów do odpytania: 65 536; potrwa to około 11 min przy 100 zapytań na sekundę.";
    QTest::newRow("no limit") << quint64(65536) << 0 << QString() << QString();
}

void TestDeviceListLogic::sweepEstimate()
{
    QFETCH(quint64, addresses);
    QFETCH(int, rate);
    QFETCH(QString, english);
    QFETCH(QString, polish);
    QCOMPARE(RangeDialog::estimate(addresses, rate), expectPolish() ? polish : english);
}

QTEST_MAIN(TestDeviceListLogic)
#include "tst_devicelistlogic.moc"
