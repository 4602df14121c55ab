#include "addressranges.h"

#include <algorithm>
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
    void localBroadcastRefused_data();
    void localBroadcastRefused();
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
    // No device has an address of these blocks: each is refused with its reason, at both
    // ends; the link-local block stays, devices without DHCP take their address there.
    bad("224.0.0.1", "224.0.0.1: a multicast address (224.0.0.0/4)");
    bad("223.255.255.250-224.0.0.1",
        "223.255.255.250-224.0.0.1: holds multicast addresses (224.0.0.0/4)");
    bad("239.255.255.255", "239.255.255.255: a multicast address (224.0.0.0/4)");
    bad("127.0.0.1", "127.0.0.1: a loopback address (127.0.0.0/8)");
    bad("127.255.255.254", "127.255.255.254: a loopback address (127.0.0.0/8)");
    bad("126.255.255.250-127.0.0.0",
        "126.255.255.250-127.0.0.0: holds loopback addresses (127.0.0.0/8)");
    bad("0.0.0.0", "0.0.0.0: not a device's address (0.0.0.0/8)");
    bad("0.0.0.0-0.0.0.9", "0.0.0.0-0.0.0.9: holds addresses of 0.0.0.0/8, which are no device's");
    bad("0.255.255.254", "0.255.255.254: not a device's address (0.0.0.0/8)");
    bad("0.1.0.0/16", "0.1.0.0/16: holds addresses of 0.0.0.0/8, which are no device's");
    bad("240.0.0.1", "240.0.0.1: a reserved address (240.0.0.0/4)");
    bad("255.255.255.254", "255.255.255.254: a reserved address (240.0.0.0/4)");
    bad("239.255.255.0-240.0.0.5",
        "239.255.255.0-240.0.0.5: holds reserved addresses (240.0.0.0/4)");
    bad("255.255.0.0/16", "255.255.0.0/16: holds reserved addresses (240.0.0.0/4)");
    bad("255.255.255.255", "255.255.255.255: the broadcast address");
    ok("1.0.0.0/24", {"1.0.0.0/24 1.0.0.1 1.0.0.254"});
    ok("126.255.255.254", {"126.255.255.254 126.255.255.254 126.255.255.254"});
    ok("223.255.255.254", {"223.255.255.254 223.255.255.254 223.255.255.254"});
    ok("169.254.0.0/16", {"169.254.0.0/16 169.254.0.1 169.254.255.254"});
    // A separator other than commas and spaces is named as the fault, not what follows it.
    bad("10.30.0.0/24;10.31.0.0/24",
        "10.30.0.0/24;10.31.0.0/24: \";\" does not separate ranges: use commas or spaces");
    bad("10.2.0.1, 10.2.0.5|10.2.0.9",
        "10.2.0.5|10.2.0.9: \"|\" does not separate ranges: use commas or spaces");
    bad("10.0.0.0/24 x", "x: not an IPv4 address");
    // A character beyond the first 65 536, named whole.
    bad("10.0.0.1\xf0\x9f\x94\xa5"
        "10.0.0.2",
        "10.0.0.1\xf0\x9f\x94\xa5"
        "10.0.0.2: \"\xf0\x9f\x94\xa5\" does not separate ranges: use commas or spaces");
    // The short dash form keeps the start's first three groups, whatever they are.
    ok("10.2.5.10-99", {"10.2.5.10-10.2.5.99 10.2.5.10 10.2.5.99"});
    ok("192.168.200.1-254", {"192.168.200.1-192.168.200.254 192.168.200.1 192.168.200.254"});
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

void TestAddressRanges::localBroadcastRefused_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("error");
    const auto row = [](const char *input, const char *error) {
        QTest::newRow(input) << QString::fromUtf8(input) << QString::fromUtf8(error);
    };
    row("10.1.0.255", "10.1.0.255: the broadcast address of the network 10.1.0.0/24 on eth0");
    row("10.2.255.255", "10.2.255.255: the broadcast address of the network 10.2.0.0/16 on eth1");
    // Inside a larger range it is passed over as the requests go out, not refused.
    row("10.5.0.9 10.1.0.0/23", "");
    row("10.2.255.200-10.3.0.5", "");
    // Inside a network but not its broadcast address, or a network's block without it.
    row("10.2.0.255", "");
    row("10.1.0.0/24, 10.2.0.0/17", "");
    // A /31 has no broadcast address.
    row("10.9.0.1", "");
}

void TestAddressRanges::localBroadcastRefused()
{
    QFETCH(QString, input);
    QFETCH(QString, error);
    const auto local = [](const char *address, int prefixLength, const char *name) {
        return LocalAddress{QHostAddress(QLatin1String(address)), prefixLength, 1,
                            QString::fromLatin1(name)};
    };
    QList<LocalAddress> locals = {local("10.1.0.1", 24, "eth0"), local("10.2.0.1", 16, "eth1"),
                                  local("10.9.0.0", 31, "p2p"), local("127.0.0.1", 8, "lo")};
    // The same judgement whichever network comes first.
    for (int order = 0; order < 2; ++order) {
        QString message = QStringLiteral("unset");
        const QVector<AddressRange> parsed = parseAddressRanges(input, &message, locals);
        QCOMPARE(message, error);
        QCOMPARE(parsed.isEmpty(), !error.isEmpty());
        std::reverse(locals.begin(), locals.end());
    }
    // Without the local networks, the same text passes.
    QString message;
    QVERIFY(!parseAddressRanges(input, &message).isEmpty());
}

QTEST_GUILESS_MAIN(TestAddressRanges)
#include "tst_addressranges.moc"
