#include "searchstatus.h"

#include <cerrno>
#include <QTest>

#ifdef Q_OS_WIN
#include <winsock2.h>
#endif

// The verdict on a search for each cause it can see, in the language of the run: the status line
// and its tooltip, whether other networks are offered, and when the firewall is looked for.

namespace {

// The system's text for a destination without a route, as a send to it reports it.
QString noRouteError()
{
#ifdef Q_OS_WIN
    return qt_error_string(WSAENETUNREACH);
#else
    return qt_error_string(ENETUNREACH);
#endif
}

bool expectPolish()
{
    return qEnvironmentVariable("LC_ALL").startsWith(QLatin1String("pl"));
}

using Report = SearchReport;

QStringList parts(std::initializer_list<const char *> list)
{
    QStringList result;
    for (const char *text : list)
        result << QString::fromUtf8(text);
    return result;
}

Report network()
{
    Report report;
    report.addressCount = 2;
    report.networkAddressCount = 1;
    report.requestsSent = 2;
    return report;
}

Report::AddressError inUse(const char *address)
{
    return {QStringLiteral("eth0"), QHostAddress(QLatin1String(address)),
            QStringLiteral("The bound address is already in use"), true};
}

Report::AddressError refused(const char *address)
{
    return {QStringLiteral("eth1"), QHostAddress(QLatin1String(address)),
            QStringLiteral("Operation not permitted"), false};
}

// A line whose phrases must not break: '_' stands for a space that does not break.
QString kept(const char *text)
{
    return QString::fromUtf8(text).replace(QLatin1Char('_'), QChar(QChar::Nbsp));
}

Report::RangeReport range(quint32 first, quint32 count, quint32 done, quint32 sent)
{
    Report::RangeReport report;
    report.range =
        QHostAddress(first).toString() + (count == 1 ? QString() : QStringLiteral("/24"));
    report.addressCount = count;
    report.done = done;
    report.sent = sent;
    if (sent > 0)
        report.localAddresses = {QHostAddress(QStringLiteral("10.0.0.1"))};
    if (done > sent)
        report.sendErrors = {{noRouteError(), done - sent, QHostAddress(first)}};
    return report;
}

Report::UnreadableSender unreadable(const char *sender, int count, int size,
                                    Report::Unreadable reason = Report::Unreadable::WrongSize)
{
    return {QHostAddress(QLatin1String(sender)), count, size, reason};
}

} // namespace

Q_DECLARE_METATYPE(SearchReport)
Q_DECLARE_METATYPE(SearchState)

class TestSearchStatus : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
};

void TestSearchStatus::texts_data()
{
    QTest::addColumn<SearchState>("state");
    QTest::addColumn<int>("found");
    QTest::addColumn<Report>("report");
    QTest::addColumn<bool>("firewall");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("polish");
    // Lines the tooltip must hold, English then Polish, and with a leading ! what it must not;
    // none means an empty tooltip.
    QTest::addColumn<QStringList>("englishTip");
    QTest::addColumn<QStringList>("polishTip");
    // Whether the line offers to search other networks.
    QTest::addColumn<bool>("offer");

    constexpr SearchState searching = SearchState::Searching;
    constexpr SearchState ended = SearchState::Ended;

    // A search on a network that sent its request and saw nothing amiss: the plain counts.
    const Report plain = network();
    const struct
    {
        SearchState state;
        int found;
        const char *english;
        const char *polish;
    } counts[] = {
        {searching, 0, "Searching...", "Szukanie..."},
        {searching, 1, "Searching... 1 device found", "Szukanie... znaleziono 1 urządzenie"},
        {searching, 2, "Searching... 2 devices found", "Szukanie... znaleziono 2 urządzenia"},
        {searching, 5, "Searching... 5 devices found", "Szukanie... znaleziono 5 urządzeń"},
        {searching, 22, "Searching... 22 devices found", "Szukanie... znaleziono 22 urządzenia"},
        {ended, 0, "No devices: check cable, power, network",
         "Brak urządzeń: sprawdź kabel, prąd, sieć"},
        {ended, 1, "1 device found", "Znaleziono 1 urządzenie"},
        {ended, 2, "2 devices found", "Znaleziono 2 urządzenia"},
        {ended, 4, "4 devices found", "Znaleziono 4 urządzenia"},
        {ended, 5, "5 devices found", "Znaleziono 5 urządzeń"},
        {ended, 12, "12 devices found", "Znaleziono 12 urządzeń"},
        {ended, 21, "21 devices found", "Znaleziono 21 urządzeń"},
        {ended, 22, "22 devices found", "Znaleziono 22 urządzenia"},
        {ended, 112, "112 devices found", "Znaleziono 112 urządzeń"},
    };
    for (const auto &count : counts) {
        const bool none = count.state == ended && count.found == 0;
        QTest::addRow("%s, %d", count.state == ended ? "ended" : "searching", count.found)
            << count.state << count.found << plain << false << count.english << count.polish
            << (none ? parts({"Check the cable"}) : QStringList())
            << (none ? parts({"Sprawdź kabel"}) : QStringList()) << none;
    }

    // The port held on every address shows at once, and outranks every later cause.
    Report portTaken = network();
    portTaken.requestsSent = 0;
    portTaken.bindErrors = {inUse("10.0.0.1"), inUse("127.0.0.1")};
    portTaken.lateDevices = 1;
    QTest::newRow("port in use everywhere")
        << searching << 0 << portTaken << true << "Port 44444 is in use by another program"
        << "Port 44444 jest zajęty przez inny program"
        << parts({"10.0.0.1 on eth0: port 44444 is in use by another program", "127.0.0.1 on eth0"})
        << parts({"10.0.0.1 na eth0: port 44444 jest zajęty przez inny program"}) << false;
    QTest::newRow("port in use everywhere, no firewall blamed")
        << ended << 0 << portTaken << true << "Port 44444 is in use by another program"
        << "Port 44444 jest zajęty przez inny program"
        << parts({"in use by another program\n1 device answered", "!ufw"})
        << parts({"zajęty przez inny program\n1 urządzenie odpowiedziało", "!ufw"}) << false;
    Report someTaken = network();
    someTaken.requestsSent = 1;
    someTaken.bindErrors = {refused("10.0.0.1")};
    QTest::newRow("one of two not bound")
        << ended << 3 << someTaken << false << "3 devices found"
        << "Znaleziono 3 urządzenia"
        << parts({"without these addresses", "10.0.0.1 on eth1: Operation not permitted"})
        << parts({"bez tych adresów", "10.0.0.1 na eth1: Operation not permitted"}) << false;
    Report noneBound = portTaken;
    noneBound.bindErrors = {inUse("10.0.0.1"), refused("127.0.0.1")};
    QTest::newRow("none bound, not all in use")
        << ended << 0 << noneBound << false << "The search could not be sent"
        << "Nie udało się wysłać zapytania" << parts({"No address of this computer"})
        << parts({"Żadnego adresu tego komputera"}) << false;

    Report loopbackOnly;
    loopbackOnly.addressCount = 1;
    loopbackOnly.requestsSent = 1;
    QTest::newRow("loopback only, searching")
        << searching << 0 << loopbackOnly << false << "Searching..."
        << "Szukanie..." << QStringList() << QStringList() << false;
    QTest::newRow("loopback only") << ended << 0 << loopbackOnly << true << "No network connection"
                                   << "Brak połączenia z siecią" << parts({"no network connection"})
                                   << parts({"nie ma połączenia z siecią"}) << false;
    QTest::newRow("loopback only, found")
        << ended << 2 << loopbackOnly << false << "2 devices found"
        << "Znaleziono 2 urządzenia" << QStringList() << QStringList() << false;
    QTest::newRow("no address at all")
        << searching << 0 << Report() << false << "No network connection"
        << "Brak połączenia z siecią" << parts({"no network connection"})
        << parts({"nie ma połączenia z siecią"}) << false;

    Report sendFailed = network();
    sendFailed.requestsSent = 0;
    sendFailed.sendErrors = {refused("10.0.0.1"), refused("127.0.0.1")};
    QTest::newRow("every send failed")
        << searching << 0 << sendFailed << false << "The search could not be sent"
        << "Nie udało się wysłać zapytania"
        << parts({"could not be sent from:", "127.0.0.1 on eth1: Operation not permitted"})
        << parts({"nie zostało wysłane z:", "127.0.0.1 na eth1: Operation not permitted"}) << true;
    Report oneSendFailed = sendFailed;
    oneSendFailed.requestsSent = 1;
    oneSendFailed.sendErrors.removeLast();
    QTest::newRow("one send failed")
        << ended << 0 << oneSendFailed << false << "No devices: check cable, power, network"
        << "Brak urządzeń: sprawdź kabel, prąd, sieć"
        << parts({"10.0.0.1 on eth1: Operation not permitted", "Check the cable"})
        << parts({"10.0.0.1 na eth1: Operation not permitted", "Sprawdź kabel"}) << true;

    // Five senders are named, the rest counted; the firewall is not blamed for unreadable data.
    Report garbled = network();
    garbled.unreadable = {unreadable("10.0.0.7", 2, 33),
                          unreadable("10.0.0.8", 1, 31),
                          unreadable("10.0.0.9", 5, 32, Report::Unreadable::WrongMarkers),
                          unreadable("10.0.0.10", 1, 1),
                          unreadable("10.0.0.11", 22, 7),
                          unreadable("10.0.0.12", 3, 40)};
    garbled.unreadableOtherCount = 4;
    QTest::newRow("unreadable")
        << ended << 0 << garbled << true << "No devices: answers could not be read"
        << "Brak urządzeń: nie można odczytać odpowiedzi"
        << parts({"2 answers from 10.0.0.7 could not be read (33 bytes)",
                  "1 answer from 10.0.0.8 could not be read (31 bytes)",
                  "5 answers from 10.0.0.9 could not be read (wrong markers)",
                  "22 answers from 10.0.0.11 could not be read (7 bytes)",
                  "and 7 more from other senders", "!ufw"})
        << parts({"Nie dało się odczytać 2 odpowiedzi od 10.0.0.7 (33 bajty)",
                  "Nie dało się odczytać 1 odpowiedzi od 10.0.0.8 (31 bajtów)",
                  "Nie dało się odczytać 5 odpowiedzi od 10.0.0.9 (błędne znaczniki)",
                  "22 odpowiedzi od 10.0.0.11 (7 bajtów)", "i jeszcze 7 od innych nadawców",
                  "!ufw"})
        << true;

    QTest::newRow("firewall, searching")
        << searching << 0 << plain << true << "Searching..."
        << "Szukanie..." << QStringList() << QStringList() << false;
    QTest::newRow("firewall") << ended << 0 << plain << true
                              << "No devices: is a firewall blocking them?"
                              << "Brak urządzeń: czy blokuje je zapora?"
                              << parts({"ufw is active", "ufw allow"})
                              << parts({"Zapora ufw jest włączona", "ufw allow"}) << true;
    QTest::newRow("firewall, found")
        << ended << 2 << plain << true << "2 devices found"
        << "Znaleziono 2 urządzenia" << QStringList() << QStringList() << false;

    Report late = network();
    late.lateDevices = 1;
    QTest::newRow("late, none listed")
        << ended << 0 << late << false << "No devices in time: press Refresh"
        << "Brak urządzeń na czas: naciśnij Odśwież"
        << parts({"1 device answered after the search ended: press Refresh"})
        << parts({"1 urządzenie odpowiedziało po zakończeniu wyszukiwania"}) << true;
    // A late answer got through: the firewall lets the answers in.
    QTest::newRow("late, firewall")
        << ended << 0 << late << true << "No devices in time: press Refresh"
        << "Brak urządzeń na czas: naciśnij Odśwież"
        << parts({"1 device answered after the search ended", "!ufw"})
        << parts({"1 urządzenie odpowiedziało po zakończeniu wyszukiwania", "!ufw"}) << true;
    late.lateDevices = 5;
    QTest::newRow("late, some listed")
        << ended << 3 << late << false << "3 devices found"
        << "Znaleziono 3 urządzenia"
        << parts({"5 devices answered after the search ended: press Refresh"})
        << parts({"5 urządzeń odpowiedziało po zakończeniu wyszukiwania"}) << false;

    // Ranges: the progress while requests go out, then a range that found nothing and its
    // failed requests, once per kind.
    Report ranges = network();
    Report::RangeReport reached;
    reached.range = QStringLiteral("10.2.0.0/24");
    reached.addressCount = 254;
    reached.done = 120;
    reached.sent = 117;
    reached.localAddresses = {QHostAddress(QStringLiteral("10.0.0.1"))};
    reached.sendErrors = {
        {QStringLiteral("No route to host"), 3, QHostAddress(QStringLiteral("10.2.0.5"))}};
    Report::RangeReport single;
    single.range = QStringLiteral("10.3.0.9");
    single.addressCount = 1;
    ranges.ranges = {reached, single};
    QTest::newRow("range being sent")
        << searching << 0 << ranges << false << kept("Searching_10.2.0.0/24: 120_of_254")
        << kept("Szukanie_w_10.2.0.0/24: 120_z_254")
        << parts({"10.2.0.0/24: 3 requests not sent (first to 10.2.0.5): No route to host"})
        << parts({"10.2.0.0/24: 3 zapytania niewysłane (pierwsze do 10.2.0.5): No route to host"})
        << false;
    // The devices found so far; the phrases break only between them, numbers grouped.
    Report sweep = network();
    sweep.ranges = {range(0x0a020001, 65534, 12710, 12710)};
    sweep.ranges[0].range = QStringLiteral("10.2.0.0/16");
    QTest::newRow("large range being sent, devices found")
        << searching << 1234 << sweep << false
        << kept("Searching_10.2.0.0/16: 12_710_of_65_534; devices_found:_1_234")
        << kept("Szukanie_w_10.2.0.0/16: 12_710_z_65_534; znalezione_urządzenia:_1_234")
        << QStringList() << QStringList() << false;
    sweep.rangesStopped = true;
    QTest::newRow("large range stopped")
        << searching << 3 << sweep << false << "Searching... 3 devices found"
        << "Szukanie... znaleziono 3 urządzenia"
        << parts({"The search of the ranges was stopped after 12 710 of 65 534 addresses."})
        << parts({"Odpytywanie zakresów zatrzymano po 12 710 z 65 534 adresów."}) << false;
    ranges.ranges[0].done = 254;
    ranges.ranges[0].sent = 251;
    ranges.ranges[1].done = 1;
    ranges.ranges[1].sent = 1;
    ranges.ranges[1].found = 1;
    ranges.ranges[1].localAddresses = reached.localAddresses;
    QTest::newRow("range that found nothing")
        << ended << 1 << ranges << false << "1 device found"
        << "Znaleziono 1 urządzenie"
        << parts({"10.2.0.0/24: no device answered (251 requests from 10.0.0.1)",
                  "10.2.0.0/24: 3 requests not sent"})
        << parts({"10.2.0.0/24: żadne urządzenie nie odpowiedziało (251 zapytań z 10.0.0.1)",
                  "10.2.0.0/24: 3 zapytania niewysłane"})
        << false;

    // Only ranges, and not one request went out: the ranges are to blame, not the cable or a
    // firewall, and at once.
    Report rangesOnly = network();
    rangesOnly.broadcast = false;
    rangesOnly.requestsSent = 0;
    rangesOnly.ranges = {range(0x0a320001, 254, 254, 0)};
    rangesOnly.ranges[0].range = QStringLiteral("10.50.0.0/24");
    for (const SearchState state : {searching, ended})
        QTest::newRow(state == searching ? "ranges only, no route, searching"
                                         : "ranges only, no route")
            << state << 0 << rangesOnly << true << "The search could not be sent"
            << "Nie udało się wysłać zapytania"
            << parts({"10.50.0.0/24: no route to it from this computer", "!ufw", "!cable"})
            << parts(
                   {"10.50.0.0/24: brak trasy do tego zakresu z tego komputera", "!ufw", "!kabel"})
            << true;
    // Only ranges, reached only from an address where the search could not listen: nothing
    // went out, and the cable is not to blame either.
    Report rangesUnbound = rangesOnly;
    rangesUnbound.ranges[0].sendErrors.clear();
    rangesUnbound.ranges[0].unbound = 254;
    rangesUnbound.ranges[0].unboundLocalAddresses = {QHostAddress(QStringLiteral("10.0.0.2"))};
    QTest::newRow("ranges only, not listening where they are reached")
        << ended << 0 << rangesUnbound << true << "The search could not be sent"
        << "Nie udało się wysłać zapytania"
        << parts({"10.50.0.0/24: reached from 10.0.0.2, where the search could not listen", "!ufw",
                  "!cable"})
        << parts({"10.50.0.0/24", "10.0.0.2", "!ufw", "!kabel"}) << true;
    // 65 536 single addresses: five of each kind named, the rest counted.
    Report many = rangesOnly;
    many.ranges.clear();
    for (quint32 i = 0; i < 65536; ++i)
        many.ranges << range(0x0a010000 + i, 1, 1, 0);
    QTest::newRow("65 536 ranges, none sent")
        << ended << 0 << many << false << "The search could not be sent"
        << "Nie udało się wysłać zapytania"
        << parts({"10.1.0.4: no route to it from this computer\nand 65 531 more ranges to which "
                  "nothing could be sent",
                  "!10.1.0.5"})
        << parts({"10.1.0.4: brak trasy do tego zakresu z tego komputera\ni jeszcze 65 531 "
                  "zakresów, do których nic nie udało się wysłać",
                  "!10.1.0.5"})
        << true;
    for (quint32 i = 0; i < 65536; ++i)
        many.ranges[int(i)] = range(0x0a010000 + i, 1, 1, 1);
    many.broadcast = true;
    many.requestsSent = 2;
    QTest::newRow("65 536 ranges, no device answered")
        << ended << 0 << many << false << "No devices: check cable, power, network"
        << "Brak urządzeń: sprawdź kabel, prąd, sieć"
        << parts({"10.1.0.4: no device answered (1 request from 10.0.0.1)\nand 65 531 more "
                  "ranges where no device answered",
                  "!10.1.0.5"})
        << parts({"10.1.0.4: żadne urządzenie nie odpowiedziało (1 zapytanie z 10.0.0.1)\ni "
                  "jeszcze 65 531 zakresów, w których żadne urządzenie nie odpowiedziało",
                  "!10.1.0.5"})
        << true;
    many.ranges.last().done = 0;
    many.ranges.last().sent = 0;
    QTest::newRow("65 536 ranges, the last being sent")
        << searching << 0 << many << false << kept("Searching_10.1.255.255: 0_of_1")
        << kept("Szukanie_w_10.1.255.255: 0_z_1") << QStringList() << QStringList() << false;
}

void TestSearchStatus::texts()
{
    QFETCH(SearchState, state);
    QFETCH(int, found);
    QFETCH(Report, report);
    QFETCH(bool, firewall);
    QFETCH(QString, english);
    QFETCH(QString, polish);
    QFETCH(QStringList, englishTip);
    QFETCH(QStringList, polishTip);
    QFETCH(bool, offer);

    const FirewallState ufw =
        firewall ? FirewallState{QStringLiteral("ufw"), QStringLiteral("ufw allow ostrel-scout")}
                 : FirewallState();
    const SearchStatus status(state, found, report, [&] { return ufw; });
    QCOMPARE(status.line(), expectPolish() ? polish : english);
    const QStringList tip = expectPolish() ? polishTip : englishTip;
    if (tip.isEmpty())
        QCOMPARE(status.toolTip(), QString());
    for (const QString &part : tip) {
        const bool absent = part.startsWith(QLatin1Char('!'));
        QVERIFY2(status.toolTip().contains(absent ? part.mid(1) : part) != absent,
                 qPrintable(part + QLatin1String(" in:\n") + status.toolTip()));
    }
    QCOMPARE(status.offerOtherNetworks(), offer);
}

QTEST_MAIN(TestSearchStatus)
#include "tst_searchstatus.moc"
