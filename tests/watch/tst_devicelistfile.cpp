#include "devicelistfile.h"

#include <QTest>

// Lists as the window and the finder save them, and files that are no such list.
class TestDeviceListFile : public QObject
{
    Q_OBJECT

private slots:
    void lists_data();
    void lists();
    void refused_data();
    void refused();
};

namespace {

// Each device as "SERIAL|IP|MAC".
QStringList flattened(const QVector<ListedDevice> &devices)
{
    QStringList result;
    for (const ListedDevice &device : devices)
        result << device.serialNumber + QLatin1Char('|') + device.ipAddress + QLatin1Char('|') +
                      device.macAddress;
    return result;
}

} // namespace

void TestDeviceListFile::lists_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("devices");

    const QStringList two{QStringLiteral("AB12345678|10.1.0.2|00:1a:2b:3c:4d:5e"),
                          QStringLiteral("CD98765432|10.2.0.7|00:1a:2b:3c:4d:5f")};
    QTest::newRow("window, English") << QByteArray("Serial Number,IP,MAC\r\n"
                                                   "AB12345678,10.1.0.2,00:1a:2b:3c:4d:5e\r\n"
                                                   "CD98765432,10.2.0.7,00:1a:2b:3c:4d:5f\r\n")
                                     << two;
    QTest::newRow("window, Polish, BOM") << QByteArray("\xef\xbb\xbfNumer seryjny;IP;MAC\r\n"
                                                       "AB12345678;10.1.0.2;00:1a:2b:3c:4d:5e\r\n"
                                                       "CD98765432;10.2.0.7;00:1a:2b:3c:4d:5f\r\n")
                                         << two;
    QTest::newRow("finder CSV, LF, blank end")
        << QByteArray("SERIAL,IP,MAC,INTERFACE\n"
                      "AB12345678,10.1.0.2,00:1a:2b:3c:4d:5e,eth1\n"
                      "CD98765432,10.2.0.7,00:1a:2b:3c:4d:5f,eth2\n\n")
        << two;
    QTest::newRow("finder JSON")
        << QByteArray("[\n  {\"serial\": \"AB12345678\", \"ip\": \"10.1.0.2\", \"mac\": "
                      "\"00:1a:2b:3c:4d:5e\", \"interface\": \"eth1\", \"network\": "
                      "\"10.1.0.1/24\"},\n  {\"serial\": \"CD98765432\", \"ip\": \"10.2.0.7\", "
                      "\"mac\": \"00:1a:2b:3c:4d:5f\", \"interface\": \"eth2\", \"range\": "
                      "\"10.2.0.0/24\"},\n  {\"serial\": \"EF00000001\", \"missing\": true}\n]\n")
        << two + QStringList{QStringLiteral("EF00000001||")};
    QTest::newRow("finder JSON lines")
        << QByteArray("{\"serial\": \"AB12345678\", \"ip\": \"10.1.0.2\", \"mac\": "
                      "\"00:1a:2b:3c:4d:5e\"}\n{\"serial\": \"CD98765432\", \"ip\": "
                      "\"10.2.0.7\", \"mac\": \"00:1a:2b:3c:4d:5f\"}\n")
        << two;
    QTest::newRow("empty lists") << QByteArray("SERIAL,IP,MAC,INTERFACE\r\n") << QStringList();
    QTest::newRow("empty array") << QByteArray("[]\n") << QStringList();
    // Quoted fields: separators, doubled quotes, a line break; formula guards taken off, but
    // not an apostrophe of the device's own.
    QTest::newRow("quotes and guards")
        << QByteArray("Numer seryjny;IP;MAC\r\n"
                      "\"a;\"\"b\"\"\r\nc,d\";10.1.0.2;'=cmd|' /C'\r\n"
                      "'-123456789;10.1.0.3;'+1a2b3c4d5e6f7g\r\n"
                      "'@bc'defghi;10.1.0.4;'\tx\r\n"
                      "'x23456789;;\r\n")
        << QStringList{QStringLiteral("a;\"b\"\r\nc,d|10.1.0.2|=cmd|' /C'"),
                       QStringLiteral("-123456789|10.1.0.3|+1a2b3c4d5e6f7g"),
                       QStringLiteral("@bc'defghi|10.1.0.4|\tx"), QStringLiteral("'x23456789||")};
    // Bytes 0x80 to 0xff of a serial come back as the code units the search made of them.
    QTest::newRow("high bytes") << QByteArray("SERIAL,IP,MAC\n\xef\xbf\xbf"
                                              "123456789,10.1.0.2,m\n")
                                << QStringList{QString(QChar(0xffff)) +
                                               QStringLiteral("123456789|10.1.0.2|m")};
}

void TestDeviceListFile::lists()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, devices);
    QVector<ListedDevice> read;
    DeviceListError error;
    QVERIFY2(readDeviceList(content, &read, &error), qPrintable(error.text()));
    QCOMPARE(flattened(read), devices);
}

void TestDeviceListFile::refused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("error");

    const QByteArray header("SERIAL,IP,MAC,INTERFACE\r\n");
    const QByteArray good("AB12345678,10.1.0.2,00:1a:2b:3c:4d:5e,eth1\r\n");
    QTest::newRow("empty") << QByteArray() << "the file is empty";
    QTest::newRow("blank") << QByteArray(" \r\n\n") << "the file is empty";
    QTest::newRow("other CSV")
        << QByteArray("name,price\r\napple,1\r\n")
        << "line 1: not a list of devices: the first line does not name the columns serial "
           "number, IP and MAC";
    QTest::newRow("mixed separators")
        << QByteArray("Serial Number;IP,MAC\r\n")
        << "line 1: not a list of devices: the first line does not name the columns serial "
           "number, IP and MAC";
    QTest::newRow("field count") << header + good + "CD98765432,10.2.0.7,m,eth2,x\r\n"
                                 << "line 3: 5 fields where the header has 4";
    QTest::newRow("unclosed quote") << header + good + "\"CD98765432,10.2.0.7,m,eth2\r\n" + good
                                    << "line 3: a quoted field is not closed";
    QTest::newRow("after quote") << header + "\"AB1234567\"8,10.1.0.2,m,eth1\r\n"
                                 << "line 2: text after the closing quote of a field";
    QTest::newRow("stray quote") << header + "AB1234\"5678,10.1.0.2,m,eth1\r\n"
                                 << "line 2: a quote inside an unquoted field";
    // The line count goes on past a line break inside a quoted field.
    QTest::newRow("short serial after break")
        << header + "\"AB12\r\n3456\",10.1.0.2,m,eth1\r\nAB123,10.1.0.3,m,eth1\r\n"
        << "line 4: the serial number \"AB123\" is not 10 characters";
    QTest::newRow("no serial") << header + ",10.1.0.2,m,eth1\r\n"
                               << "line 2: no serial number";
    QTest::newRow("bad address") << header + "AB12345678,10.1.0.300,m,eth1\r\n"
                                 << "line 2: \"10.1.0.300\" is not an IPv4 address";
    QTest::newRow("twice") << header + good + good
                           << "line 3: AB12345678 is listed already, on line 2";
    QTest::newRow("JSON syntax") << QByteArray(
                                        "[\n  {\"serial\": \"AB12345678\"},\n  {\"serial\": }\n]\n")
                                 << "line 3: not valid JSON: ";
    QTest::newRow("JSON element")
        << QByteArray("[\n  {\"serial\": \"AB12345678\"},\n  \"CD98765432\"\n]\n")
        << "line 3: not a JSON object";
    QTest::newRow("JSON key type")
        << QByteArray("[{\"serial\": \"AB12345678\"},\n {\"serial\": \"CD98765432\", \"ip\": 7}]")
        << "line 2: \"ip\" is not a text";
    QTest::newRow("JSON lines") << QByteArray(
                                       "{\"serial\": \"AB12345678\"}\n\n{\"ip\": \"10.1.0.2\"}\n")
                                << "line 3: no serial number";
    QTest::newRow("JSON lines syntax")
        << QByteArray("{\"serial\": \"AB12345678\"}\n{\n") << "line 2: not valid JSON: ";
}

void TestDeviceListFile::refused()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    QVector<ListedDevice> read{{QStringLiteral("OLD0000001"), {}, {}}};
    DeviceListError fault;
    QVERIFY(!readDeviceList(content, &read, &fault));
    // Qt's own words for a JSON fault differ between its versions: only the start is compared.
    if (error.endsWith(QLatin1String(": ")))
        QVERIFY2(fault.text().startsWith(error), qPrintable(fault.text()));
    else
        QCOMPARE(fault.text(), error);
    QVERIFY(read.isEmpty());
}

QTEST_GUILESS_MAIN(TestDeviceListFile)
#include "tst_devicelistfile.moc"
