#include "rangedialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// "Search other networks…" on a computer with two networks: what the field accepts, and the
// message under it that says why not.
class TestRangeDialog : public QObject
{
    Q_OBJECT

private slots:
    void refusesWithReason_data();
    void refusesWithReason();
};

void TestRangeDialog::refusesWithReason_data()
{
    QTest::addColumn<QString>("typed");
    // Empty when Search may be pressed.
    QTest::addColumn<QString>("message");
    const auto row = [](const char *typed, const char *message) {
        QTest::newRow(typed) << QString::fromUtf8(typed) << QString::fromUtf8(message);
    };
    row("10.2.5.10-99", "");
    row("10.0.0.0/24 x", "x: not an IPv4 address");
    row("10.0.0.0/24;10.3.0.0/24",
        "10.0.0.0/24;10.3.0.0/24: \";\" does not separate ranges: use commas or spaces");
    row("10.1.0.255", "10.1.0.255: the broadcast address of the network 10.1.0.0/24 on eth0");
    row("10.5.0.1, 10.2.1.255",
        "10.2.1.255: the broadcast address of the network 10.2.1.0/24 on wlan0");
    row("10.5.0.1, 10.2.0.0/22", "");
    row("10.2.0.255", "");
    row("240.0.0.9", "240.0.0.9: a reserved address (240.0.0.0/4)");
    row("<b>10.0.0.1", "<b>10.0.0.1: \"<\" does not separate ranges: use commas or spaces");
}

void TestRangeDialog::refusesWithReason()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    const QList<LocalAddress> locals = {
        {QHostAddress(QStringLiteral("10.1.0.1")), 24, 2, QStringLiteral("eth0")},
        {QHostAddress(QStringLiteral("10.2.1.9")), 24, 3, QStringLiteral("wlan0")}};
    RangeDialog dialog(QString(), locals, 2000);
    dialog.show();
    auto *field = dialog.findChild<QLineEdit *>();
    QPushButton *search = nullptr;
    for (QPushButton *button : dialog.findChildren<QPushButton *>()) {
        if (button->text() == QLatin1String("Search"))
            search = button;
    }
    QVERIFY(field && search);
    QVERIFY(!search->isEnabled());
    QTest::keyClicks(field, typed);
    QCOMPARE(search->isEnabled(), message.isEmpty());
    QLabel *shown = nullptr;
    for (QLabel *label : dialog.findChildren<QLabel *>()) {
        if (label->accessibleName() == QLatin1String("Problem with the addresses"))
            shown = label;
    }
    QVERIFY(shown);
    // Long words get invisible break points, so that the dialog keeps its width.
    QCOMPARE(shown->text().remove(QChar(0x200b)), message);
    // What was typed is shown as typed, never as markup.
    QCOMPARE(shown->textFormat(), Qt::PlainText);
}

QTEST_MAIN(TestRangeDialog)
#include "tst_rangedialog.moc"
