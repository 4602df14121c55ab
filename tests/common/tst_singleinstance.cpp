#include "singleinstance.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

// The hand-over between copies is tested on the real program (tests/app/second-start); here,
// what a shared temporary folder lets another user do.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void filesOfAnotherUserAreNotTrusted_data();
    void filesOfAnotherUserAreNotTrusted();
};

void TestSingleInstance::filesOfAnotherUserAreNotTrusted_data()
{
    QTest::addColumn<QString>("strangersFile");
    QTest::addColumn<bool>("runs");
    QTest::newRow("ours") << QString() << false;
    QTest::newRow("socket of another user") << QStringLiteral("socket") << true;
    QTest::newRow("lock of another user") << QStringLiteral("lock") << true;
}

void TestSingleInstance::filesOfAnotherUserAreNotTrusted()
{
    QFETCH(QString, strangersFile);
    QFETCH(bool, runs);
    if (::getuid() != 0)
        QSKIP("giving a file to another user needs root");

    QTemporaryDir folder;
    const QString name = folder.filePath(QStringLiteral("scout"));
    // The running copy: it holds the socket and answers later starts.
    SingleInstance running(name);
    QVERIFY(running.claim());
    const QString lockPath = name + QLatin1String(".lock");
    if (strangersFile == QLatin1String("socket"))
        QCOMPARE(::chown(QFile::encodeName(name).constData(), 65534, 65534), 0);
    if (strangersFile == QLatin1String("lock")) {
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.close();
        QCOMPARE(::chown(QFile::encodeName(lockPath).constData(), 65534, 65534), 0);
    }

    SingleInstance later(name);
    QCOMPARE(later.claim(), runs);
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
