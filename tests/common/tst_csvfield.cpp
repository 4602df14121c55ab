#include "csvfield.h"

#include <QTest>

class TestCsvField : public QObject
{
    Q_OBJECT

private slots:
    void field_data();
    void field();
};

void TestCsvField::field_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("expected");

    const QChar comma = QLatin1Char(',');
    const QChar semicolon = QLatin1Char(';');
    QTest::newRow("plain") << QStringLiteral("AB12345678") << comma << QStringLiteral("AB12345678");
    QTest::newRow("empty") << QString() << comma << QString();
    QTest::newRow("separator") << QStringLiteral("a,b") << comma << QStringLiteral("\"a,b\"");
    QTest::newRow("other separator untouched")
        << QStringLiteral("a,b") << semicolon << QStringLiteral("a,b");
    QTest::newRow("own separator")
        << QStringLiteral("a;b") << semicolon << QStringLiteral("\"a;b\"");
    QTest::newRow("quotes doubled")
        << QStringLiteral("say \"hi\"") << comma << QStringLiteral("\"say \"\"hi\"\"\"");
    QTest::newRow("line feed") << QStringLiteral("a\nb") << comma << QStringLiteral("\"a\nb\"");
    QTest::newRow("carriage return inside")
        << QStringLiteral("a\rb") << comma << QStringLiteral("\"a\rb\"");
    // A spreadsheet would run these as formulas.
    for (const char *start : {"=", "+", "-", "@"}) {
        const QString text = QLatin1String(start) + QStringLiteral("SUM(A1)");
        QTest::newRow(start) << text << comma << QLatin1Char('\'') + text;
    }
    QTest::newRow("tab first") << QStringLiteral("\tx") << comma << QStringLiteral("'\tx");
    QTest::newRow("carriage return first, guarded and quoted")
        << QStringLiteral("\rx") << comma << QStringLiteral("\"'\rx\"");
    QTest::newRow("formula with separator and quote")
        << QStringLiteral("=HYPERLINK(\"x\",1)") << comma
        << QStringLiteral("\"'=HYPERLINK(\"\"x\"\",1)\"");
    QTest::newRow("formula signs later are text")
        << QStringLiteral("a=1+2-3@4") << comma << QStringLiteral("a=1+2-3@4");
    QTest::newRow("leading space is text")
        << QStringLiteral(" =1") << comma << QStringLiteral(" =1");
    const QString escape = QChar(0x1b) + QStringLiteral("[0m") + QChar(0);
    QTest::newRow("other control characters stay") << escape << comma << escape;
}

void TestCsvField::field()
{
    QFETCH(QString, text);
    QFETCH(QChar, separator);
    QFETCH(QString, expected);
    QCOMPARE(csvField(text, separator), expected);
}

QTEST_APPLESS_MAIN(TestCsvField)
#include "tst_csvfield.moc"
