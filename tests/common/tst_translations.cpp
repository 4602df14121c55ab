#include "language.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

// Which language this run expects, taken from the environment the test was started with,
// not from the code under test.
bool expectPolish()
{
    return qEnvironmentVariable("LC_ALL").startsWith(QLatin1String("pl"));
}

struct Message
{
    QString context;
    QString source;
    QString comment;
    bool numerus = false;
    bool hasTranslation = false;
    QString type;
    QStringList forms;

    // What identifies a text to lupdate and to the translator at run time.
    QString key() const
    {
        return context + QLatin1Char('|') + source + QLatin1Char('|') + comment +
               (numerus ? QLatin1String("|plural") : QLatin1String(""));
    }
};

struct TsFile
{
    QString language;
    QString sourceLanguage;
    QList<Message> messages;
    QString error;
};

TsFile readTs(QIODevice &device)
{
    TsFile file;
    QXmlStreamReader xml(&device);
    QString context;
    Message message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == QLatin1String("TS")) {
                file.language = xml.attributes().value(QLatin1String("language")).toString();
                file.sourceLanguage =
                    xml.attributes().value(QLatin1String("sourcelanguage")).toString();
            } else if (name == QLatin1String("name")) {
                context = xml.readElementText();
            } else if (name == QLatin1String("message")) {
                message = Message();
                message.context = context;
                message.numerus =
                    xml.attributes().value(QLatin1String("numerus")) == QLatin1String("yes");
            } else if (name == QLatin1String("source")) {
                message.source = xml.readElementText();
            } else if (name == QLatin1String("comment")) {
                message.comment = xml.readElementText();
            } else if (name == QLatin1String("translation")) {
                message.hasTranslation = true;
                message.type = xml.attributes().value(QLatin1String("type")).toString();
                if (!message.numerus)
                    message.forms.append(xml.readElementText());
            } else if (name == QLatin1String("numerusform")) {
                message.forms.append(xml.readElementText());
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("message")) {
            file.messages.append(message);
        }
    }
    if (xml.hasError())
        file.error = xml.errorString();
    return file;
}

TsFile readTs(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        TsFile failed;
        failed.error = path + QLatin1String(": ") + file.errorString();
        return failed;
    }
    return readTs(file);
}

QSet<QString> placeholders(const QString &text)
{
    QSet<QString> found;
    static const QRegularExpression marker(QStringLiteral("%L?(n|\\d{1,2})"));
    auto matches = marker.globalMatch(text);
    while (matches.hasNext())
        found.insert(matches.next().captured(1));
    return found;
}

// Everything that keeps a text from being shown in Polish, one line per fault.
QStringList translationProblems(const QList<Message> &messages)
{
    QStringList problems;
    for (const Message &message : messages) {
        const QString where =
            message.context + QLatin1String(": \"") + message.source + QLatin1String("\": ");
        if (!message.hasTranslation) {
            problems << where + QLatin1String("no translation");
            continue;
        }
        if (message.type == QLatin1String("unfinished")) {
            problems << where + QLatin1String("translation unfinished");
            continue;
        }
        if (!message.type.isEmpty()) {
            problems << where + QLatin1String("no longer in the sources (") + message.type +
                            QLatin1Char(')');
            continue;
        }
        // Polish counts in three forms: 1 urządzenie, 2 urządzenia, 5 urządzeń.
        if (message.numerus && message.forms.size() != 3) {
            problems
                << where + QStringLiteral("%1 plural forms instead of 3").arg(message.forms.size());
            continue;
        }
        for (const QString &form : message.forms) {
            if (form.isEmpty())
                problems << where + QLatin1String("empty translation");
            else if (placeholders(form) != placeholders(message.source))
                problems << where + QLatin1String("placeholders differ in \"") + form +
                                QLatin1Char('"');
        }
    }
    return problems;
}

QString withCount(QString text, int count)
{
    return text.replace(QLatin1String("%n"), QString::number(count));
}

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void checkerFindsFaults_data();
    void checkerFindsFaults();
    void polishComplete();
    void currentWithSources();
    void installedByLocale();
};

void TestTranslations::checkerFindsFaults_data()
{
    QTest::addColumn<QString>("messages");
    QTest::addColumn<int>("problems");

    QTest::newRow("finished")
        << QStringLiteral(
               "<message><source>Refresh</source><translation>Odśwież</translation></message>")
        << 0;
    QTest::newRow("plural, three forms")
        << QStringLiteral("<message numerus=\"yes\"><source>%n device(s)</source><translation>"
                          "<numerusform>%n urządzenie</numerusform>"
                          "<numerusform>%n urządzenia</numerusform>"
                          "<numerusform>%n urządzeń</numerusform></translation></message>")
        << 0;
    QTest::newRow("unfinished")
        << QStringLiteral("<message><source>Refresh</source>"
                          "<translation type=\"unfinished\">Odśwież</translation></message>")
        << 1;
    QTest::newRow("empty")
        << QStringLiteral("<message><source>Refresh</source><translation></translation></message>")
        << 1;
    QTest::newRow("no translation")
        << QStringLiteral("<message><source>Refresh</source></message>") << 1;
    QTest::newRow("vanished")
        << QStringLiteral("<message><source>Refresh</source>"
                          "<translation type=\"vanished\">Odśwież</translation></message>")
        << 1;
    QTest::newRow("plural, two forms")
        << QStringLiteral("<message numerus=\"yes\"><source>%n device(s)</source><translation>"
                          "<numerusform>%n urządzenie</numerusform>"
                          "<numerusform>%n urządzenia</numerusform></translation></message>")
        << 1;
    QTest::newRow("plural, an empty form")
        << QStringLiteral("<message numerus=\"yes\"><source>%n device(s)</source><translation>"
                          "<numerusform>%n urządzenie</numerusform>"
                          "<numerusform></numerusform>"
                          "<numerusform>%n urządzeń</numerusform></translation></message>")
        << 1;
    QTest::newRow("version lost")
        << QStringLiteral("<message><source>Ostrel Scout v%1 is now available.</source>"
                          "<translation>Ostrel Scout jest już dostępny.</translation></message>")
        << 1;
}

void TestTranslations::checkerFindsFaults()
{
    QFETCH(QString, messages);
    QFETCH(int, problems);

    QByteArray ts = QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?><TS version=\"2.1\" "
                                   "language=\"pl_PL\"><context><name>MainWindow</name>%1"
                                   "</context></TS>")
                        .arg(messages)
                        .toUtf8();
    QBuffer buffer(&ts);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const TsFile file = readTs(buffer);
    QVERIFY2(file.error.isEmpty(), qPrintable(file.error));
    QCOMPARE(file.messages.size(), 1);
    const QStringList found = translationProblems(file.messages);
    QVERIFY2(found.size() == problems, qPrintable(found.join(QLatin1Char('\n'))));
}

// Every text has a finished Polish translation, and lrelease knows the language's plural rules.
void TestTranslations::polishComplete()
{
    const TsFile file = readTs(QStringLiteral(SCOUT_TRANSLATIONS));
    QVERIFY2(file.error.isEmpty(), qPrintable(file.error));
    QCOMPARE(file.language, QStringLiteral("pl_PL"));
    QCOMPARE(file.sourceLanguage, QStringLiteral("en"));
    QVERIFY(!file.messages.isEmpty());
    const QStringList problems = translationProblems(file.messages);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

// The translation file holds exactly the texts that lupdate finds in the sources now.
void TestTranslations::currentWithSources()
{
#ifdef Q_OS_WIN
    QSKIP("lupdate is the build machine's program; the Linux builds run this check");
#endif
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QString fresh = scratch.filePath(QStringLiteral("current_pl.ts"));

    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments = QStringLiteral(SCOUT_LUPDATE_ARGUMENTS).split(QLatin1Char('|'));
    arguments << QStringLiteral("-silent") << QStringLiteral("-ts") << fresh;
    lupdate.start(QStringLiteral(SCOUT_LUPDATE), arguments);
    QVERIFY2(lupdate.waitForFinished(60000), qPrintable(lupdate.errorString()));
    QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
             lupdate.readAll().constData());

    const TsFile current = readTs(fresh);
    QVERIFY2(current.error.isEmpty(), qPrintable(current.error));
    const TsFile committed = readTs(QStringLiteral(SCOUT_TRANSLATIONS));
    QVERIFY2(committed.error.isEmpty(), qPrintable(committed.error));

    QSet<QString> inSources;
    for (const Message &message : current.messages)
        inSources.insert(message.key());
    QSet<QString> translated;
    for (const Message &message : committed.messages)
        translated.insert(message.key());

    const QStringList missing = (inSources - translated).values();
    const QStringList stale = (translated - inSources).values();
    QVERIFY2(missing.isEmpty() && stale.isEmpty(),
             qPrintable(QLatin1String("run `make translations`, then translate; missing: ") +
                        missing.join(QLatin1String(", ")) + QLatin1String("; stale: ") +
                        stale.join(QLatin1String(", "))));
}

// The compiled translation is embedded and installed by the locale rule: every text of the
// file comes out in Polish under a Polish locale, plural forms by Polish rules, and as its
// English source otherwise.
void TestTranslations::installedByLocale()
{
    QCOMPARE(Language::installTranslator(*QCoreApplication::instance()), expectPolish());

    const TsFile file = readTs(QStringLiteral(SCOUT_TRANSLATIONS));
    QVERIFY2(file.error.isEmpty(), qPrintable(file.error));
    for (const Message &message : file.messages) {
        const QByteArray context = message.context.toUtf8();
        const QByteArray source = message.source.toUtf8();
        const QByteArray comment = message.comment.toUtf8();
        const char *disambiguation = comment.isEmpty() ? nullptr : comment.constData();
        if (!message.numerus) {
            const QString expected = expectPolish() ? message.forms.value(0) : message.source;
            QCOMPARE(QCoreApplication::translate(context.constData(), source.constData(),
                                                 disambiguation),
                     expected);
            continue;
        }
        // One count for each Polish form, in the order the forms are listed.
        const int counts[] = {1, 2, 5};
        for (int form = 0; form < 3; ++form) {
            const int count = counts[form];
            const QString expected = expectPolish() ? message.forms.value(form) : message.source;
            QCOMPARE(QCoreApplication::translate(context.constData(), source.constData(),
                                                 disambiguation, count),
                     withCount(expected, count));
        }
    }
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
