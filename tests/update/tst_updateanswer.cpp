#include "updateanswer.h"

#include <QTest>

class TestUpdateAnswer : public QObject
{
    Q_OBJECT

private slots:
    void offers_data();
    void offers();
    void notAnAnswer_data();
    void notAnAnswer();
    void sizeLimit();
    void openableInstaller_data();
    void openableInstaller();
};

void TestUpdateAnswer::offers_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QUrl>("installer");

    const QUrl none;
    QTest::newRow("version and installer")
        << 200 << QByteArray(R"({"newestVersion":"2.1","installer":"https://x.example/s.exe"})")
        << QStringLiteral("2.1") << QUrl(QStringLiteral("https://x.example/s.exe"));
    // Comparing with the running version is the caller's business.
    QTest::newRow("same version") << 200 << QByteArray(R"({"newestVersion":"2.0"})")
                                  << QStringLiteral("2.0") << none;
    QTest::newRow("trailing space kept")
        << 200 << QByteArray(R"({"newestVersion":"2.0 "})") << QStringLiteral("2.0 ") << none;
    QTest::newRow("other members ignored")
        << 200 << QByteArray(R"({"notes":[1,2],"newestVersion":"3.0","size":12})")
        << QStringLiteral("3.0") << none;
    QTest::newRow("installer not a string")
        << 200 << QByteArray(R"({"newestVersion":"2.1","installer":42})") << QStringLiteral("2.1")
        << none;
    QTest::newRow("installer parsed tolerantly")
        << 200 << QByteArray(R"({"newestVersion":"2.1","installer":"http://x.example/a b.exe"})")
        << QStringLiteral("2.1") << QUrl(QStringLiteral("http://x.example/a%20b.exe"));
    QTest::newRow("unicode version") << 200 << QByteArray(R"({"newestVersion":"2.1 \u0105"})")
                                     << QStringLiteral("2.1 ą") << none;
    QTest::newRow("201") << 201 << QByteArray(R"({"newestVersion":"2.1"})") << QStringLiteral("2.1")
                         << none;
    QTest::newRow("299") << 299 << QByteArray(R"({"newestVersion":"2.1"})") << QStringLiteral("2.1")
                         << none;
}

void TestUpdateAnswer::offers()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, version);
    QFETCH(QUrl, installer);

    const std::optional<UpdateOffer> offer = readUpdateAnswer(status, body);
    QVERIFY(offer);
    QCOMPARE(offer->newestVersion, version);
    QCOMPARE(offer->installer, installer);
}

void TestUpdateAnswer::notAnAnswer_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");

    const QByteArray good = R"({"newestVersion":"2.1","installer":"https://x.example/s.exe"})";
    QTest::newRow("no status") << 0 << good;
    QTest::newRow("199") << 199 << good;
    QTest::newRow("300") << 300 << good;
    QTest::newRow("404") << 404 << good;
    QTest::newRow("500") << 500 << good;
    QTest::newRow("empty body") << 200 << QByteArray();
    QTest::newRow("empty object") << 200 << QByteArray("{}");
    QTest::newRow("empty version") << 200 << QByteArray(R"({"newestVersion":""})");
    QTest::newRow("version as number") << 200 << QByteArray(R"({"newestVersion":2.1})");
    QTest::newRow("version as null") << 200 << QByteArray(R"({"newestVersion":null})");
    QTest::newRow("version as object")
        << 200 << QByteArray(R"({"newestVersion":{"major":2,"minor":1}})");
    QTest::newRow("array") << 200 << QByteArray(R"([{"newestVersion":"2.1"}])");
    QTest::newRow("string") << 200 << QByteArray(R"("2.1")");
    QTest::newRow("number") << 200 << QByteArray("2.1");
    QTest::newRow("html") << 200
                          << QByteArray("<!DOCTYPE html><html><body>Sign in to the network"
                                        "</body></html>");
    QTest::newRow("truncated") << 200 << good.left(good.size() - 1);
    QTest::newRow("trailing garbage") << 200 << good + "}";
    QTest::newRow("two objects") << 200 << good + good;
    QTest::newRow("nul bytes") << 200 << QByteArray("\0\0\0\0", 4);
    QTest::newRow("invalid UTF-8") << 200 << QByteArray("{\"newestVersion\":\"2.1\xff\xfe\"") + "}";
}

void TestUpdateAnswer::notAnAnswer()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);

    QVERIFY(!readUpdateAnswer(status, body));
}

void TestUpdateAnswer::sizeLimit()
{
    QByteArray body = R"({"newestVersion":"2.1","padding":""})";
    body.insert(body.size() - 2, QByteArray(maxUpdateAnswerSize - body.size(), 'x'));
    QCOMPARE(body.size(), maxUpdateAnswerSize);
    QVERIFY(readUpdateAnswer(200, body));

    body.insert(body.size() - 2, 'x');
    QVERIFY(!readUpdateAnswer(200, body));
}

void TestUpdateAnswer::openableInstaller_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("openable");

    QTest::newRow("http") << QStringLiteral("http://x.example/scout-2.1.exe") << true;
    QTest::newRow("https") << QStringLiteral("https://x.example/scout-2.1.exe") << true;
    QTest::newRow("upper-case scheme") << QStringLiteral("HTTPS://x.example/s.exe") << true;
    QTest::newRow("with port and query")
        << QStringLiteral("https://x.example:8443/get?file=s.exe") << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("relative") << QStringLiteral("/downloads/s.exe") << false;
    QTest::newRow("file") << QStringLiteral("file:///usr/bin/xterm") << false;
    QTest::newRow("file with host") << QStringLiteral("file://server/share/s.exe") << false;
    QTest::newRow("custom handler") << QStringLiteral("scout-helper:run?x=1") << false;
    QTest::newRow("javascript") << QStringLiteral("javascript:alert(1)") << false;
    QTest::newRow("ftp") << QStringLiteral("ftp://x.example/s.exe") << false;
    QTest::newRow("smb") << QStringLiteral("smb://x.example/share/s.exe") << false;
    QTest::newRow("http without host") << QStringLiteral("http:///etc/passwd") << false;
    QTest::newRow("http opaque") << QStringLiteral("http:s.exe") << false;
}

void TestUpdateAnswer::openableInstaller()
{
    QFETCH(QString, url);
    QFETCH(bool, openable);

    QCOMPARE(isOpenableInstallerUrl(QUrl(url, QUrl::TolerantMode)), openable);
}

QTEST_APPLESS_MAIN(TestUpdateAnswer)
#include "tst_updateanswer.moc"
