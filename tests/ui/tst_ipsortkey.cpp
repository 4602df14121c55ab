#include "ipsortkey.h"
#include "literalipkey.h"

#include <QTest>

class TestIpSortKey : public QObject
{
    Q_OBJECT

private slots:
    void sameKey_data();
    void sameKey();
    void order_data();
    void order();
    void dottedQuadIsAddressValue();
    void matchesPlainReading_data();
    void matchesPlainReading();
};

void TestIpSortKey::sameKey_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("equivalent");

    QTest::newRow("leading zeros") << "192.168.001.010"
                                   << "192.168.1.10";
    QTest::newRow("two groups") << "10.1"
                                << "10.1.0.0";
    QTest::newRow("five groups") << "1.2.3.4.5"
                                 << "1.2.3.4";
    QTest::newRow("empty group") << "1..2.3"
                                 << "1.0.2.3";
    QTest::newRow("empty text") << ""
                                << "0.0.0.0";
    QTest::newRow("no digits") << "abc"
                               << "0.0.0.0";
    QTest::newRow("any separator") << "10-0-0-1"
                                   << "10.0.0.1";
    QTest::newRow("group above 255 carries") << "1.2.3.256"
                                             << "1.2.4.0";
    QTest::newRow("wraps modulo 2^32") << "256.0.0.1"
                                       << "0.0.0.1";
    QTest::newRow("group beyond int counts as 0") << "99999999999.0.0.1"
                                                  << "0.0.0.1";
    QTest::newRow("non-ASCII separator") << QStringLiteral("10\u00b70\u00b70\u00b71") << "10.0.0.1";
}

void TestIpSortKey::sameKey()
{
    QFETCH(QString, text);
    QFETCH(QString, equivalent);
    QCOMPARE(ipSortKey(text), ipSortKey(equivalent));
}

void TestIpSortKey::order_data()
{
    QTest::addColumn<QString>("lower");
    QTest::addColumn<QString>("higher");

    QTest::newRow("last group by value") << "192.168.1.9"
                                         << "192.168.1.10";
    QTest::newRow("carry into third") << "10.0.0.255"
                                      << "10.0.1.0";
    QTest::newRow("first group by value") << "9.255.255.255"
                                          << "10.0.0.0";
    QTest::newRow("unsigned top bit") << "127.255.255.255"
                                      << "128.0.0.0";
    QTest::newRow("highest address") << "255.255.255.254"
                                     << "255.255.255.255";
}

void TestIpSortKey::order()
{
    QFETCH(QString, lower);
    QFETCH(QString, higher);
    QVERIFY(ipSortKey(lower) < ipSortKey(higher));
}

void TestIpSortKey::dottedQuadIsAddressValue()
{
    QCOMPARE(ipSortKey(QStringLiteral("192.168.1.10")), 0xc0a8010au);
    QCOMPARE(ipSortKey(QStringLiteral("0.0.0.0")), 0u);
    QCOMPARE(ipSortKey(QStringLiteral("255.255.255.255")), 0xffffffffu);
}

void TestIpSortKey::matchesPlainReading_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("largest int") << QStringLiteral("2147483647.1.2.3");
    QTest::newRow("just above int") << QStringLiteral("2147483648.1.2.3");
    QTest::newRow("long zeros") << QStringLiteral("0000000000000000000000001.2.3.4");
    QTest::newRow("arabic-indic digits") << QStringLiteral("\u0661\u0660.0.0.1");
    QTest::newRow("mixed digits") << QStringLiteral("1\u0661.2.3.4");
    QTest::newRow("fullwidth digits") << QStringLiteral("\uff11\uff10.0.0.1");
    QTest::newRow("surrogate pair") << QStringLiteral("1\U0001D7CF.2.3.4");
    QTest::newRow("spaces") << QStringLiteral(" 10 . 0 . 0 . 1 ");
}

void TestIpSortKey::matchesPlainReading()
{
    QFETCH(QString, text);
    QCOMPARE(ipSortKey(text), literalIpKey(text));
}

QTEST_MAIN(TestIpSortKey)
#include "tst_ipsortkey.moc"
