#include "version.h"

#include <QTest>

class TestVersion : public QObject
{
    Q_OBJECT

private slots:
    // The update server compares its newest version with this text, character by character.
    void versionText() { QCOMPARE(QStringLiteral(SCOUT_VERSION), QStringLiteral("2.0")); }
};

QTEST_MAIN(TestVersion)
#include "tst_version.moc"
