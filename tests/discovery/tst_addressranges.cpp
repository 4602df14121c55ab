#include "addressranges.h"

#include <QHostAddress>
#include <QTest>

// The ranges a user types in the window or gives the finder: what each form means, and the
// message that rejects bad input.
class TestAddressRanges : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void rangeOfAnAddress();
};

void TestAddressRanges::parse_data()
{
    QTest::addColumn<QString>("input");
    // Each range as "text first last", or the whole message when the input is bad.
    QTest::addColumn<QStringList>("ranges");
    QTest::addColumn<QString>("error");
    const auto ok = [](const char *input, std::initializer_list<const char *> texts) {
        QStringList ranges;
        for (const char *text : texts)
            ranges << QString::fromUtf8(text);
        QTest::newRow(input) << QString::fromUtf8(input) << ranges << QString();
    };
    const auto bad = [](const char *input, const char *error) {
        QTest::newRow(input) << QString::fromUtf8(input) << QStringList()
                             << QString::fromUtf8(error);
    };
    ok("", {});
    ok(" , ", {});
    ok("10.2.0.7", {"10.2.0.7 10.2.0.7 10.2.0.7"});
    ok("10.2.0.0/24", {"10.2.0.0/24 10.2.0.1 10.2.0.254"});
    ok("10.2.0.77/24", {"10.2.0.0/24 10.2.0.1 10.2.0.254"});
    ok("10.2.0.4/30", {"10.2.0.4/30 10.2.0.5 10.2.0.6"});
    ok("10.2.0.4/31", {"10.2.0.4/31 10.2.0.4 10.2.0.5"});
    ok("10.2.0.9/32", {"10.2.0.9/32 10.2.0.9 10.2.0.9"});
    ok("10.2.0.10-10.2.0.99", {"10.2.0.10-10.2.0.99 10.2.0.10 10.2.0.99"});
    ok("10.2.0.10-99", {"10.2.0.10-10.2.0.99 10.2.0.10 10.2.0.99"});
    ok("10.2.0.250-10.2.1.5", {"10.2.0.250-10.2.1.5 10.2.0.250 10.2.1.5"});
    // Any mix of commas and spaces; the ranges in address order.
    ok("10.3.0.1,  10.2.0.0/30\t10.1.0.5-6",
       {"10.1.0.5-10.1.0.6 10.1.0.5 10.1.0.6", "10.2.0.0/30 10.2.0.1 10.2.0.2",
        "10.3.0.1 10.3.0.1 10.3.0.1"});
    ok("10.0.0.0/16", {"10.0.0.0/16 10.0.0.1 10.0.255.254"});
    ok("10.0.0.0-10.0.255.255", {"10.0.0.0-10.0.255.255 10.0.0.0 10.0.255.255"});
    bad("10.2.0.300", "10.2.0.300: not an IPv4 address");
    bad("10.2.0", "10.2.0: not an IPv4 address");
    bad("10.2.0.x/24", "10.2.0.x/24: not an IPv4 address");
    bad("10.2.0.1, 10.2..1", "10.2..1: not an IPv4 address");
    bad("10.2.0.0/33", "10.2.0.0/33: the prefix length after / must be 0 to 32");
    bad("10.2.0.0/", "10.2.0.0/: the prefix length after / must be 0 to 32");
    bad("10.2.0.9-3", "10.2.0.9-3: the end comes before the start");
    bad("10.2.0.9-300", "10.2.0.9-300: the end after - is not an IPv4 address or a number from "
                        "0 to 255");
    bad("10.0.0.0/8", "10.0.0.0/8: 16 777 214 addresses, more than 65 536 in one search");
    bad("0.0.0.0-255.255.255.255",
        "0.0.0.0-255.255.255.255: 4 294 967 296 addresses, more than 65 536 in one search");
    ok("10.0.0.0/16 10.1.0.0/30",
       {"10.0.0.0/16 10.0.0.1 10.0.255.254", "10.1.0.0/30 10.1.0.1 10.1.0.2"});
    bad("10.0.0.0/16 10.1.0.0/29",
        "10.1.0.0/29: 65 540 addresses with the ranges before it, more than 65 536 in one search");
    bad("224.0.0.1", "224.0.0.1: a multicast address");
    bad("223.255.255.250-224.0.0.1", "223.255.255.250-224.0.0.1: holds multicast addresses");
    bad("127.0.0.1", "127.0.0.1: a loopback address");
    bad("0.0.0.0", "0.0.0.0: not a device's address");
    bad("0.0.0.0-0.0.0.9", "0.0.0.0-0.0.0.9: holds 0.0.0.0");
    bad("255.255.255.255", "255.255.255.255: the broadcast address");
    bad("10.2.0.0/24 10.2.0.7", "10.2.0.7: overlaps 10.2.0.0/24");
}

void TestAddressRanges::parse()
{
    QFETCH(QString, input);
    QFETCH(QStringList, ranges);
    QFETCH(QString, error);
    QString message = QStringLiteral("unset");
    const QVector<AddressRange> parsed = parseAddressRanges(input, &message);
    QCOMPARE(message, error);
    QStringList described;
    for (const AddressRange &range : parsed)
        described << range.text + QLatin1Char(' ') + QHostAddress(range.first).toString() +
                         QLatin1Char(' ') + QHostAddress(range.last).toString();
    QCOMPARE(described, ranges);
}

void TestAddressRanges::rangeOfAnAddress()
{
    QString error;
    const QVector<AddressRange> ranges =
        parseAddressRanges(QStringLiteral("10.2.0.0/24 10.5.0.9"), &error);
    const auto found = [&](const char *address) {
        const AddressRange *range =
            rangeOf(ranges, QHostAddress(QLatin1String(address)).toIPv4Address());
        return range ? range->text : QString();
    };
    QCOMPARE(found("10.2.0.1"), QStringLiteral("10.2.0.0/24"));
    QCOMPARE(found("10.2.0.0"), QString());
    QCOMPARE(found("10.5.0.9"), QStringLiteral("10.5.0.9"));
    QCOMPARE(found("10.5.0.10"), QString());
    QCOMPARE(found("9.0.0.0"), QString());
}

QTEST_GUILESS_MAIN(TestAddressRanges)
#include "tst_addressranges.moc"
