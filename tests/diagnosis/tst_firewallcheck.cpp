#include "firewallcheck.h"
#include "searchstatus.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Which firewall a folder standing for "/" shows as active.

class TestFirewallCheck : public QObject
{
    Q_OBJECT

private slots:
    void seenFromFiles_data();
    void seenFromFiles();
    void blamedOnlyWhereItCouldExplain();
};

void TestFirewallCheck::seenFromFiles_data()
{
    QTest::addColumn<QByteArray>("ufwConf");
    QTest::addColumn<QByteArray>("processName");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("command");

    const QString ufw = QStringLiteral("ufw");
    const QString ufwAllow = QStringLiteral("ufw allow ostrel-scout");
    const QString firewalld = QStringLiteral("firewalld");
    const QString firewalldAllow = QStringLiteral("firewall-cmd --add-service=ostrel-scout");
    QTest::newRow("nothing") << QByteArray() << QByteArray() << QString() << QString();
    QTest::newRow("ufw enabled") << QByteArray("# comment\nENABLED=yes\nLOGLEVEL=low\n")
                                 << QByteArray() << ufw << ufwAllow;
    QTest::newRow("ufw enabled, quoted, spaced")
        << QByteArray("  ENABLED = \"yes\"  \n") << QByteArray() << ufw << ufwAllow;
    QTest::newRow("ufw disabled") << QByteArray("ENABLED=no\n") << QByteArray() << QString()
                                  << QString();
    QTest::newRow("ufw commented out")
        << QByteArray("#ENABLED=yes\n") << QByteArray() << QString() << QString();
    QTest::newRow("firewalld running")
        << QByteArray() << QByteArray("firewalld\n") << firewalld << firewalldAllow;
    QTest::newRow("another process")
        << QByteArray("ENABLED=no\n") << QByteArray("firewalld-x\n") << QString() << QString();
}

void TestFirewallCheck::seenFromFiles()
{
    QFETCH(QByteArray, ufwConf);
    QFETCH(QByteArray, processName);
    QFETCH(QString, name);
    QFETCH(QString, command);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QDir dir(root.path());
    const auto write = [&](const QString &path, const QByteArray &bytes) {
        QVERIFY(dir.mkpath(QFileInfo(dir.filePath(path)).path()));
        QFile file(dir.filePath(path));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write(QStringLiteral("proc/1/comm"), "systemd\n");
    write(QStringLiteral("proc/self/comm"), "firewalld\n");
    if (!ufwConf.isEmpty())
        write(QStringLiteral("etc/ufw/ufw.conf"), ufwConf);
    if (!processName.isEmpty())
        write(QStringLiteral("proc/4321/comm"), processName);

    const FirewallState state = activeFirewall(root.path());
    QCOMPARE(state.name, name);
    QCOMPARE(state.allowCommand, command);
}

void TestFirewallCheck::blamedOnlyWhereItCouldExplain()
{
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("etc/ufw")));
    QFile conf(root.filePath(QStringLiteral("etc/ufw/ufw.conf")));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("ENABLED=yes\n");
    conf.close();

    SearchReport sent;
    sent.addressCount = 2;
    sent.networkAddressCount = 1;
    sent.requestsSent = 2;
    int lookups = 0;
    const FirewallLookup seen = firewallLookedForOnce(root.path());
    const FirewallLookup counted = [&] {
        ++lookups;
        return seen();
    };
    const auto blamed = [&](int deviceCount) {
        return SearchStatus(SearchState::Ended, deviceCount, sent, counted)
            .toolTip()
            .contains(QLatin1String("ufw allow ostrel-scout"));
    };
    QVERIFY(blamed(0));
    // A device listed, even one the window has not shown yet, came through: the firewall is
    // not even looked for. (What else rules it out is the verdict rows' business.)
    QVERIFY(!blamed(1));
    QCOMPARE(lookups, 1);
    // Looked for once: the verdict made again on a late answer reads no file.
    QVERIFY(QFile::remove(conf.fileName()));
    QVERIFY(blamed(0));
}

QTEST_MAIN(TestFirewallCheck)
#include "tst_firewallcheck.moc"
