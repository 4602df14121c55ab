#include "printabletext.h"

#include <initializer_list>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

Q_DECLARE_METATYPE(PrintableFor)

namespace {

// Every code unit an answer can put into a record: bytes 0x00 to 0x7f as they are, bytes 0x80
// to 0xff widened with their sign.
QString everyAnswerCodeUnit()
{
    QString text;
    for (int byte = 0; byte < 256; ++byte)
        text += QChar(ushort(qint16(qint8(quint8(byte)))));
    return text;
}

QString units(std::initializer_list<ushort> codes)
{
    QString text;
    for (const ushort code : codes)
        text += QChar(code);
    return text;
}

} // namespace

class TestPrintableText : public QObject
{
    Q_OBJECT

private slots:
    void escapes_data();
    void escapes();
    void everyAnswerCodeUnitBecomesAscii_data();
    void everyAnswerCodeUnitBecomesAscii();
    void jsonParsesBackEveryCodeUnit();
};

void TestPrintableText::escapes_data()
{
    QTest::addColumn<PrintableFor>("target");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const auto terminal = [](const char *name, const QString &text, const QString &expected) {
        QTest::addRow("terminal: %s", name) << PrintableFor::Terminal << text << expected;
    };
    terminal("plain", QStringLiteral("AB12345678"), QStringLiteral("AB12345678"));
    terminal("colour change", QChar(0x1b) + QStringLiteral("[31mRED"),
             QStringLiteral("\\x1b[31mRED"));
    terminal("cursor and line controls", units({0, 8, 9, 10, 13, 0x7f}),
             QStringLiteral("\\x00\\x08\\x09\\x0a\\x0d\\x7f"));
    terminal("C1 controls", units({0x85, 0x9b, 0x9f}), QStringLiteral("\\x85\\x9b\\x9f"));
    terminal("answer bytes above 0x7f as bytes", units({0xff80, 0xff9b, 0xffe9, 0xffff}),
             QStringLiteral("\\x80\\x9b\\xe9\\xff"));
    terminal("backslash doubled, so escapes cannot be forged", QStringLiteral("\\x1b"),
             QStringLiteral("\\\\x1b"));
    terminal("letters from an interface name stay", QString::fromUtf8("sieć0"),
             QString::fromUtf8("sieć0"));
    terminal("a quote stays", QStringLiteral("a\"b"), QStringLiteral("a\"b"));

    const auto json = [](const char *name, const QString &text, const QString &expected) {
        QTest::addRow("json: %s", name) << PrintableFor::JsonString << text << expected;
    };
    json("plain", QStringLiteral("AB12 /:.-"), QStringLiteral("\"AB12 /:.-\""));
    json("empty", QString(), QStringLiteral("\"\""));
    json("quote and backslash", QStringLiteral("a\"b\\c"), QStringLiteral("\"a\\\"b\\\\c\""));
    json("short escapes", QStringLiteral("\b\f\n\r\t"), QStringLiteral("\"\\b\\f\\n\\r\\t\""));
    json("other controls", units({0, 1, 0x1b, 0x1f, 0x7f}),
         QStringLiteral("\"\\u0000\\u0001\\u001b\\u001f\\u007f\""));
    json("answer bytes above 0x7f", units({0xff80, 0xffe9, 0xffff}),
         QStringLiteral("\"\\uff80\\uffe9\\uffff\""));
    json("letters beyond ASCII", QString::fromUtf8("é€"), QStringLiteral("\"\\u00e9\\u20ac\""));
    json("surrogate pair", QString::fromUtf8("\xf0\x9f\x98\x80"),
         QStringLiteral("\"\\ud83d\\ude00\""));
}

void TestPrintableText::escapes()
{
    QFETCH(PrintableFor, target);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(printableText(text, target), expected);
}

void TestPrintableText::everyAnswerCodeUnitBecomesAscii_data()
{
    QTest::addColumn<PrintableFor>("target");
    QTest::newRow("terminal") << PrintableFor::Terminal;
    QTest::newRow("json") << PrintableFor::JsonString;
}

// Nothing a device sends reaches the output as a control character or beyond ASCII.
void TestPrintableText::everyAnswerCodeUnitBecomesAscii()
{
    QFETCH(PrintableFor, target);
    const QString shown = printableText(everyAnswerCodeUnit(), target);
    for (const QChar c : shown)
        QVERIFY2(c.unicode() >= 0x20 && c.unicode() < 0x7f,
                 qPrintable(QString::number(c.unicode())));
    // Printable ASCII is shown as it is, but for what each target must escape.
    const QString printable = target == PrintableFor::Terminal
                                  ? QStringLiteral(" !\"#$%&'()*+,-./")
                                  : QStringLiteral(" !\\\"#$%&'()*+,-./");
    QVERIFY(shown.contains(printable + QLatin1String("0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                     "[\\\\]^_`abcdefghijklmnopqrstuvwxyz{|}~")));
}

void TestPrintableText::jsonParsesBackEveryCodeUnit()
{
    const QString all = everyAnswerCodeUnit();
    const QString json =
        QLatin1Char('[') + printableText(all, PrintableFor::JsonString) + QLatin1Char(']');
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8(), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(document.array().at(0).toString(), all);
}

QTEST_GUILESS_MAIN(TestPrintableText)
#include "tst_printabletext.moc"
