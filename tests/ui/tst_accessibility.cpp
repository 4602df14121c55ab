#include "mainwindow.h"
#include "windowparts.h"

#include <QAccessible>
#include <QLabel>
#include <QTest>

namespace {

// Which language this run expects, taken from the environment the test was started with,
// not from the code under test.
bool expectPolish()
{
    return qEnvironmentVariable("LC_ALL").startsWith(QLatin1String("pl"));
}

QString accessibleText(QWidget *widget, QAccessible::Text kind)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(kind) : QString();
}

} // namespace

// What a screen reader announces for the main window's parts, in the window's language.
class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void namesAndDescriptions();
};

void TestAccessibility::namesAndDescriptions()
{
    MainWindow window;
    QWidget *table = deviceTable(window);
    QWidget *refresh = refreshButton(window);
    QWidget *connect = connectButton(window);
    QWidget *logo = logoLabel(window);
    QVERIFY(table && refresh && connect && logo);

    const bool polish = expectPolish();
    QCOMPARE(accessibleText(table, QAccessible::Name),
             polish ? QStringLiteral("Urządzenia") : QStringLiteral("Devices"));
    QCOMPARE(accessibleText(refresh, QAccessible::Name),
             polish ? QStringLiteral("Odśwież") : QStringLiteral("Refresh"));
    QCOMPARE(accessibleText(connect, QAccessible::Name),
             polish ? QStringLiteral("Połącz") : QStringLiteral("Connect"));
    QCOMPARE(accessibleText(logo, QAccessible::Name),
             polish ? QStringLiteral("Logo Ostrel Scout") : QStringLiteral("Ostrel Scout logo"));

    // Each part says what it is for, and the four say different things.
    QStringList descriptions;
    for (QWidget *widget : {table, refresh, connect, logo}) {
        const QString description = accessibleText(widget, QAccessible::Description);
        QVERIFY2(!description.isEmpty(), qPrintable(accessibleText(widget, QAccessible::Name)));
        QVERIFY2(!descriptions.contains(description), qPrintable(description));
        descriptions << description;
    }
    QCOMPARE(descriptions.at(1), polish
                                     ? QStringLiteral("Ponownie wyszukuje urządzenia w sieci.")
                                     : QStringLiteral("Searches the network for devices again."));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
