#include "loopbackhttpserver.h"
#include "peakmemory.h"
#include "scupdate.h"
#include "updateprompts.h"
#include "updatewindow.h"
#include "version.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLoggingCategory>
#include <QNetworkProxy>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <zlib.h>

using Answer = LoopbackHttpServer::Answer;
Q_DECLARE_METATYPE(Answer)

namespace {

const QByteArray offer21 = R"({"newestVersion":"2.1","installer":"https://x.example/s.exe"})";

SCUpdate *startCheck(const QUrl &url)
{
    auto *checker = new SCUpdate(qApp, url);
    checker->checkForUpdate();
    return checker;
}

Answer offering(const QByteArray &body)
{
    return LoopbackHttpServer::respond(200, body);
}

// offer21 padded to exactly size bytes.
QByteArray offer21OfSize(int size)
{
    const QByteArray open = R"("padding":")";
    const QByteArray close = R"(",)";
    QByteArray padded = offer21;
    padded.insert(1, open + QByteArray(size - offer21.size() - open.size() - close.size(), 'x') +
                         close);
    return padded;
}

// A gzip stream of size zero bytes, deflated a mebibyte at a time into about a thousandth of
// that.
QByteArray gzippedZeros(qint64 size)
{
    z_stream stream{};
    // Window bits 15 + 16: a gzip header and trailer around the deflate data.
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        return {};
    QByteArray zeros(1 << 20, '\0');
    QByteArray output(1 << 16, Qt::Uninitialized);
    QByteArray gzipped;
    int result = Z_OK;
    for (qint64 left = size; result == Z_OK;) {
        const qint64 piece = qMin<qint64>(left, zeros.size());
        left -= piece;
        stream.next_in = reinterpret_cast<Bytef *>(zeros.data());
        stream.avail_in = static_cast<uInt>(piece);
        do {
            stream.next_out = reinterpret_cast<Bytef *>(output.data());
            stream.avail_out = static_cast<uInt>(output.size());
            result = deflate(&stream, left == 0 ? Z_FINISH : Z_NO_FLUSH);
            gzipped.append(output.constData(), output.size() - static_cast<int>(stream.avail_out));
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return result == Z_STREAM_END ? gzipped : QByteArray();
}

} // namespace

// Records, in order, the URLs handed to the desktop and the objects that went.
class FlowLog : public QObject
{
    Q_OBJECT

public:
    void watch(QObject *object, const QString &name)
    {
        connect(object, &QObject::destroyed, this, [this, name] { events.append(name); });
    }

    QStringList events;

public slots:
    void openUrl(const QUrl &url) { events.append(QStringLiteral("open ") + url.toString()); }
};

class TestSCUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void requestAsSentAndSameVersion();
    void offered_data();
    void offered();
    void notOffered_data();
    void notOffered();
    void compressedAnswerNeverInflated();
    void timeLimitCoversWholeAnswer();
    void splitAnswerDecidedOnce_data();
    void splitAnswerDecidedOnce();

    void acceptOpensInstallerThenEnds();
    void acceptAfterTimeLimit();
    void cancelEndsPromptThenChecker();
    void closeControlEndsNothing();
    void unsafeInstallerNotOpened_data();
    void unsafeInstallerNotOpened();
    void serverTextsLoggedInert();

private:
    // Starts a check against a server answering with the given answer and waits for its prompt.
    UpdateWindow *promptFor(LoopbackHttpServer &server, const Answer &answer,
                            QPointer<SCUpdate> &checker);

    FlowLog log;
};

void TestSCUpdate::initTestCase()
{
    QCoreApplication::setApplicationVersion(QStringLiteral(SCOUT_VERSION));
    // A proxy from the environment must not come between the checker and the test's server.
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    for (const char *scheme : {"http", "https", "file", "scout-helper", "javascript"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &log, "openUrl");
}

void TestSCUpdate::cleanup()
{
    qDeleteAll(updatePrompts());
    QTest::qWait(0);
    log.events.clear();
}

void TestSCUpdate::cleanupTestCase()
{
    for (const char *scheme : {"http", "https", "file", "scout-helper", "javascript"})
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
}

UpdateWindow *TestSCUpdate::promptFor(LoopbackHttpServer &server, const Answer &answer,
                                      QPointer<SCUpdate> &checker)
{
    if (!server.listen())
        return nullptr;
    server.setAnswer(QStringLiteral("/scout/check"), answer);
    checker = startCheck(server.url());
    log.watch(checker, QStringLiteral("checker"));
    if (!QTest::qWaitFor([] { return !updatePrompts().isEmpty(); }, 4000))
        return nullptr;
    UpdateWindow *prompt = updatePrompts().constFirst();
    log.watch(prompt, QStringLiteral("prompt"));
    return QTest::qWaitForWindowExposed(prompt) ? prompt : nullptr;
}

void TestSCUpdate::requestAsSentAndSameVersion()
{
    LoopbackHttpServer server;
    QVERIFY(server.listen());
    server.setAnswer(QStringLiteral("/scout/check"), offering(R"({"newestVersion":"2.0"})"));

    QPointer<SCUpdate> checker = startCheck(server.url());
    QSignalSpy available(checker, &SCUpdate::updateAvailable);
    QTRY_VERIFY(checker.isNull());

    QCOMPARE(server.requests().size(), 1);
    const LoopbackHttpServer::Request &request = server.requests().constFirst();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.path, QByteArray("/scout/check"));
    QCOMPARE(request.header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(request.header("Content-Length"), QByteArray("22"));
    QCOMPARE(request.body, QByteArray("operating_system=WIN32"));
    // The answer comes as it is, never compressed (see compressedAnswerNeverInflated).
    QCOMPARE(request.header("Accept-Encoding"), QByteArray("identity"));
    // Nothing of the program's own beyond the content type and the encoding; the rest is what
    // Qt always sends.
    const QList<QByteArray> httpStack = {"host",       "content-type",    "content-length",
                                         "connection", "accept-encoding", "accept-language",
                                         "user-agent"};
    for (const auto &header : request.headers)
        QVERIFY2(httpStack.contains(header.first.toLower()), header.first.constData());

    // Up to date: no prompt, and the check is not repeated.
    QTest::qWait(300);
    QCOMPARE(available.count(), 0);
    QVERIFY(updatePrompts().isEmpty());
    QCOMPARE(server.requests().size(), 1);
}

void TestSCUpdate::offered_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QString>("version");

    // Any version text other than the running one is offered, newer or not.
    for (const char *version : {"2.1", "1.9", "2.0.0", "2.0 ", "v2.0"}) {
        const QByteArray body = R"({"newestVersion":")" + QByteArray(version) + R"("})";
        QTest::newRow(version) << offering(body) << QString::fromLatin1(version);
    }
    QTest::newRow("status 201") << LoopbackHttpServer::respond(201, offer21)
                                << QStringLiteral("2.1");
    QTest::newRow("served as text/html")
        << LoopbackHttpServer::respond(200, offer21, "text/html") << QStringLiteral("2.1");
    // The size limit itself is still an answer, whether it comes at once or in pieces.
    const QByteArray atLimit = offer21OfSize(65536);
    QTest::newRow("body of exactly 64 KiB") << offering(atLimit) << QStringLiteral("2.1");
    QTest::newRow("body of exactly 64 KiB, in pieces")
        << LoopbackHttpServer::split(offering(atLimit), 16 * 1024, 20) << QStringLiteral("2.1");
}

void TestSCUpdate::offered()
{
    QFETCH(Answer, answer);
    QFETCH(QString, version);

    LoopbackHttpServer server;
    QPointer<SCUpdate> checker;
    UpdateWindow *prompt = promptFor(server, answer, checker);
    QVERIFY(prompt);
    QVERIFY(prompt->isVisible());
    QVERIFY(prompt->findChild<QLabel *>()->text().contains(QStringLiteral(" v") + version +
                                                           QStringLiteral(" is")));
    QVERIFY(!checker.isNull());

    QTest::mouseClick(promptButton(prompt, "Cancel"), Qt::LeftButton);
    QTRY_VERIFY(checker.isNull());
    QVERIFY(updatePrompts().isEmpty());
}

void TestSCUpdate::notOffered_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<bool>("clientGivesUp");

    QByteArray big = offer21;
    big.insert(1, R"("padding":")" + QByteArray(100 * 1024, 'x') + R"(",)");
    // Announces 200 KiB, sends half of it and stalls.
    Answer neverEnding;
    neverEnding.pieces.append("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                              "Content-Length: 204800\r\n\r\n" +
                              big.left(100 * 1024));
    neverEnding.keepOpen = true;

    Answer truncated = offering(offer21);
    truncated.pieces.first().chop(10);

    using S = LoopbackHttpServer;
    QTest::newRow("same version") << offering(R"({"newestVersion":"2.0"})") << false << false;
    QTest::newRow("version as number") << offering(R"({"newestVersion":2.1})") << false << false;
    QTest::newRow("array") << offering(R"([{"newestVersion":"2.1"}])") << false << false;
    QTest::newRow("empty object") << offering("{}") << false << false;
    QTest::newRow("html")
        << S::respond(200, "<html><body><form>Log in to use this network</form></body></html>",
                      "text/html")
        << false << false;
    QTest::newRow("empty body") << offering({}) << false << false;
    QTest::newRow("status 204") << S::respond(204, {}) << false << false;
    QTest::newRow("status 500") << S::respond(500, offer21) << false << false;
    QTest::newRow("status 404") << S::respond(404, offer21) << false << false;
    QTest::newRow("100 KiB body") << offering(big) << false << false;
    QTest::newRow("100 KiB body, never finished") << neverEnding << false << true;
    QTest::newRow("connection closed mid-body") << truncated << false << false;
    QTest::newRow("connection refused") << Answer() << true << false;
    // A redirect is not an answer, even to an address that would offer an update.
    for (int status : {301, 302, 303, 307, 308}) {
        QTest::newRow(qPrintable(QStringLiteral("status %1 to an offer").arg(status)))
            << S::respond(status, {}, "text/html", "Location: /scout/elsewhere\r\n") << false
            << false;
    }
}

// None of these is an answer: the checker ends without a prompt, as soon as the reply says
// so and well before its time limit.
void TestSCUpdate::notOffered()
{
    QFETCH(Answer, answer);
    QFETCH(bool, refused);
    QFETCH(bool, clientGivesUp);

    LoopbackHttpServer server;
    QVERIFY(server.listen());
    server.setAnswer(QStringLiteral("/scout/check"), answer);
    server.setAnswer(QStringLiteral("/scout/elsewhere"), offering(offer21));

    QPointer<SCUpdate> checker = startCheck(refused ? server.refusedUrl() : server.url());
    QSignalSpy available(checker, &SCUpdate::updateAvailable);
    QTRY_VERIFY_WITH_TIMEOUT(checker.isNull(), 4000);
    QCOMPARE(available.count(), 0);
    QVERIFY(updatePrompts().isEmpty());
    QCOMPARE(server.requests().size(), refused ? 0 : 1);
    if (clientGivesUp)
        QTRY_COMPARE(server.clientCloseCount(), 1);
}

// A server that compresses although asked not to: 512 MiB of zeros in about 500 KiB of gzip.
// The check reads the bytes as they came, which are not JSON, so nothing is offered, and
// nothing is ever inflated.
void TestSCUpdate::compressedAnswerNeverInflated()
{
    const QByteArray gzipped = gzippedZeros(qint64(512) << 20);
    QVERIFY(!gzipped.isEmpty());
    QVERIFY2(gzipped.size() < 4 << 20, qPrintable(QString::number(gzipped.size())));

    LoopbackHttpServer server;
    QVERIFY(server.listen());
    server.setAnswer(QStringLiteral("/scout/check"),
                     LoopbackHttpServer::respond(200, gzipped, "application/json",
                                                 "Content-Encoding: gzip\r\n"));

    const qint64 peakBefore = peakResidentKiB();
    QVERIFY(peakBefore > 0);
    QPointer<SCUpdate> checker = startCheck(server.url());
    QSignalSpy available(checker, &SCUpdate::updateAvailable);
    // Gone on the size limit, or on the time limit at the latest; the memory tells which.
    QTRY_VERIFY_WITH_TIMEOUT(checker.isNull(), 10000);
    // Whatever Qt's network thread still had under way has ended by now.
    QTest::qWait(500);
    const qint64 growthKiB = peakResidentKiB() - peakBefore;

    QCOMPARE(available.count(), 0);
    QVERIFY(updatePrompts().isEmpty());
    QVERIFY2(growthKiB < 32 * 1024,
             qPrintable(QString::number(growthKiB) + QStringLiteral(" KiB")));
}

// Three slow servers at once: one never answers, one starts an answer and finishes it too
// late, one answers only after the limit. Each answer would offer an update if it were read.
void TestSCUpdate::timeLimitCoversWholeAnswer()
{
    LoopbackHttpServer server;
    QVERIFY(server.listen());
    const int lateMs = 7000;
    Answer started = LoopbackHttpServer::split(offering(offer21), 120, lateMs);
    QCOMPARE(started.pieces.size(), 2);
    Answer late = offering(offer21);
    late.pieces.prepend({});
    late.pauseMs = lateMs;
    server.setAnswer(QStringLiteral("/silent"), LoopbackHttpServer::silent());
    server.setAnswer(QStringLiteral("/started"), started);
    server.setAnswer(QStringLiteral("/late"), late);

    QElapsedTimer clock;
    clock.start();
    QList<qint64> endedAfter;
    QObject watcher;
    for (const char *path : {"/silent", "/started", "/late"}) {
        SCUpdate *checker = startCheck(server.url(QLatin1String(path)));
        connect(checker, &QObject::destroyed, &watcher,
                [&] { endedAfter.append(clock.elapsed()); });
    }

    QTRY_COMPARE_WITH_TIMEOUT(endedAfter.size(), 3, lateMs - 500);
    for (qint64 ms : endedAfter)
        QVERIFY2(ms >= 4900, qPrintable(QString::number(ms)));
    QVERIFY(updatePrompts().isEmpty());
    QCOMPARE(server.requests().size(), 3);
    // The abandoned requests are closed, not left hanging.
    QTRY_COMPARE(server.clientCloseCount(), 3);
}

void TestSCUpdate::splitAnswerDecidedOnce_data()
{
    QTest::addColumn<Answer>("answer");

    QTest::newRow("7-byte pieces") << LoopbackHttpServer::split(offering(offer21), 7, 30);
    QTest::newRow("chunked") << LoopbackHttpServer::chunked(
        {R"({"newestVersion")", R"(:"2.1","inst)", R"(aller":"https://x.example/s.exe"})"}, 200);
}

void TestSCUpdate::splitAnswerDecidedOnce()
{
    QFETCH(Answer, answer);

    LoopbackHttpServer server;
    QPointer<SCUpdate> checker;
    UpdateWindow *prompt = promptFor(server, answer, checker);
    QVERIFY(prompt);
    QSignalSpy available(checker, &SCUpdate::updateAvailable);
    QTest::qWait(300);
    QCOMPARE(available.count(), 0);
    QCOMPARE(updatePrompts().size(), 1);

    // The offer is the one the whole body makes.
    QTest::mouseClick(promptButton(prompt, "Update now"), Qt::LeftButton);
    QTRY_VERIFY(updatePrompts().isEmpty());
    QCOMPARE(log.events.constFirst(), QStringLiteral("open https://x.example/s.exe"));
}

void TestSCUpdate::acceptOpensInstallerThenEnds()
{
    LoopbackHttpServer server;
    QPointer<SCUpdate> checker;
    UpdateWindow *prompt = promptFor(server, offering(offer21), checker);
    QVERIFY(prompt);

    QTest::mouseClick(promptButton(prompt, "Update now"), Qt::LeftButton);
    QTRY_VERIFY(updatePrompts().isEmpty());
    QCOMPARE(log.events, QStringList({QStringLiteral("open https://x.example/s.exe"),
                                      QStringLiteral("checker"), QStringLiteral("prompt")}));
    QVERIFY(checker.isNull());
}

// The time limit is for the answer: a prompt left open longer than that still opens the
// installer.
void TestSCUpdate::acceptAfterTimeLimit()
{
    LoopbackHttpServer server;
    QPointer<SCUpdate> checker;
    UpdateWindow *prompt = promptFor(server, offering(offer21), checker);
    QVERIFY(prompt);

    QTest::qWait(6000);
    QVERIFY(!checker.isNull());
    QTest::mouseClick(promptButton(prompt, "Update now"), Qt::LeftButton);
    QTRY_VERIFY(updatePrompts().isEmpty());
    QCOMPARE(log.events, QStringList({QStringLiteral("open https://x.example/s.exe"),
                                      QStringLiteral("checker"), QStringLiteral("prompt")}));
}

void TestSCUpdate::cancelEndsPromptThenChecker()
{
    LoopbackHttpServer server;
    QPointer<SCUpdate> checker;
    UpdateWindow *prompt = promptFor(server, offering(offer21), checker);
    QVERIFY(prompt);

    QTest::mouseClick(promptButton(prompt, "Cancel"), Qt::LeftButton);
    QTRY_VERIFY(checker.isNull());
    QCOMPARE(log.events, QStringList({QStringLiteral("prompt"), QStringLiteral("checker")}));
}

void TestSCUpdate::closeControlEndsNothing()
{
    LoopbackHttpServer server;
    QPointer<SCUpdate> checker;
    QPointer<UpdateWindow> prompt = promptFor(server, offering(offer21), checker);
    QVERIFY(prompt);

    QVERIFY(prompt->close());
    QTest::qWait(200);
    QVERIFY(!prompt.isNull());
    QVERIFY(!prompt->isVisible());
    QVERIFY(!checker.isNull());
    QVERIFY(log.events.isEmpty());

    // Whatever ends the prompt later still ends the checker.
    delete prompt;
    QTRY_VERIFY(checker.isNull());
}

void TestSCUpdate::unsafeInstallerNotOpened_data()
{
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("file") << QByteArray(
        R"({"newestVersion":"2.1","installer":"file:///usr/bin/xterm"})");
    QTest::newRow("custom scheme")
        << QByteArray(R"({"newestVersion":"2.1","installer":"scout-helper:run?cmd=x"})");
    QTest::newRow("javascript") << QByteArray(
        R"j({"newestVersion":"2.1","installer":"javascript:alert(1)"})j");
    QTest::newRow("missing") << QByteArray(R"({"newestVersion":"2.1"})");
    QTest::newRow("not a string") << QByteArray(R"({"newestVersion":"2.1","installer":7})");
}

// The flow goes on as on any acceptance; only no URL reaches the desktop.
void TestSCUpdate::unsafeInstallerNotOpened()
{
    QFETCH(QByteArray, body);

    LoopbackHttpServer server;
    QPointer<SCUpdate> checker;
    UpdateWindow *prompt = promptFor(server, offering(body), checker);
    QVERIFY(prompt);

    QTest::mouseClick(promptButton(prompt, "Update now"), Qt::LeftButton);
    QTRY_VERIFY(updatePrompts().isEmpty());
    QCOMPARE(log.events, QStringList({QStringLiteral("checker"), QStringLiteral("prompt")}));
}

namespace {

QStringList updateLog;

void keepUpdateLog(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    if (context.category && qstrcmp(context.category, "ostrel.update") == 0)
        updateLog.append(message);
}

} // namespace

// The log names what the server sent, escaped: a version or an address cannot move the cursor
// or change colours of the terminal the log goes to.
void TestSCUpdate::serverTextsLoggedInert()
{
    QLoggingCategory::setFilterRules(QStringLiteral("ostrel.update.info=true"));
    const QtMessageHandler previous = qInstallMessageHandler(keepUpdateLog);
    const auto restore = qScopeGuard([previous] {
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
        updateLog.clear();
    });

    LoopbackHttpServer server;
    QPointer<SCUpdate> checker;
    UpdateWindow *prompt = promptFor(
        server,
        offering(R"({"newestVersion":"\u001b[2J2.1","installer":"javascript:\u001b[31m\\x"})"),
        checker);
    QVERIFY(prompt);
    QTest::mouseClick(promptButton(prompt, "Update now"), Qt::LeftButton);
    QTRY_VERIFY(checker.isNull());

    QVERIFY(updateLog.contains(QStringLiteral("version \\x1b[2J2.1 offered")));
    QCOMPARE(updateLog.filter(QStringLiteral("not opened")).size(), 1);
    for (const QString &line : std::as_const(updateLog)) {
        for (const QChar c : line)
            QVERIFY2(c.unicode() >= 0x20 && c.unicode() != 0x7f, qPrintable(line));
    }
}

QTEST_MAIN(TestSCUpdate)
#include "tst_scupdate.moc"
