#include "clioptions.h"

#include <climits>
#include <QFile>
#include <QFileInfo>

namespace {

// A whole decimal number from minimum to maximum, digits only: no sign, no spaces.
bool wholeNumber(const QString &text, int minimum, int maximum, int *value)
{
    if (text.isEmpty() || text.size() > 10)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    const qlonglong number = text.toLongLong();
    if (number < minimum || number > maximum)
        return false;
    *value = static_cast<int>(number);
    return true;
}

bool numberOption(const QString &name, const QString &value, int minimum, int maximum, int *target,
                  QString *error)
{
    if (wholeNumber(value, minimum, maximum, target))
        return true;
    *error = QStringLiteral("%1 needs a whole number from %2 to %3, not \"%4\"")
                 .arg(name)
                 .arg(minimum)
                 .arg(maximum)
                 .arg(value);
    return false;
}

bool formatOption(const QString &value, OutputFormat *format, QString *error)
{
    if (value == QLatin1String("table"))
        *format = OutputFormat::Table;
    else if (value == QLatin1String("csv"))
        *format = OutputFormat::Csv;
    else if (value == QLatin1String("json"))
        *format = OutputFormat::Json;
    else if (value == QLatin1String("jsonl"))
        *format = OutputFormat::JsonLines;
    else {
        *error = QStringLiteral("--format is table, csv, json or jsonl, not \"%1\"").arg(value);
        return false;
    }
    return true;
}

// "--timeout" or "-h", but not "-5": a value left out before the next option is reported as
// missing instead of being taken as the value.
bool looksLikeOption(const QString &argument)
{
    return argument.size() > 1 && argument.at(0) == QLatin1Char('-') && !argument.at(1).isDigit();
}

// What goes with --watch, and its default interval. watchOnly: the last option given that
// means something only to a watch, or empty.
bool watchOptions(const QString &watchOnly, CliOptions *options, QString *error)
{
    if (!options->watch) {
        if (watchOnly.isEmpty())
            return true;
        *error = QStringLiteral("%1 needs --watch").arg(watchOnly);
        return false;
    }
    if (options->count > 0) {
        *error = QStringLiteral("--count does not go with --watch: a watch lists events");
        return false;
    }
    if (options->format == OutputFormat::Csv || options->format == OutputFormat::Json) {
        *error = QStringLiteral("--watch prints its events as a table or as jsonl, not as %1")
                     .arg(QLatin1String(options->format == OutputFormat::Csv ? "csv" : "json"));
        return false;
    }
    if (options->repeatSeconds == 0)
        options->repeatSeconds = 10;
    return true;
}

// Options that take no value; false for any other argument.
bool flagOption(const QString &argument, CliOptions *options)
{
    // "/?" is how Windows programs are asked for their help.
    if (argument == QLatin1String("--help") || argument == QLatin1String("-h") ||
        argument == QLatin1String("/?"))
        options->help = true;
    else if (argument == QLatin1String("--version"))
        options->version = true;
    else if (argument == QLatin1String("--verbose") || argument == QLatin1String("-v"))
        options->verbose = true;
    else if (argument == QLatin1String("--no-broadcast"))
        options->broadcast = false;
    else if (argument == QLatin1String("--watch"))
        options->watch = true;
    else
        return false;
    return true;
}

bool isKnownValueOption(const QString &name)
{
    return name == QLatin1String("--format") || name == QLatin1String("--timeout") ||
           name == QLatin1String("--count") || name == QLatin1String("--interface") ||
           name == QLatin1String("--repeat") || name == QLatin1String("--address") ||
           name == QLatin1String("--rate") || name == QLatin1String("--lost-after") ||
           name == QLatin1String("--expect") || name == QLatin1String("--timeout-total");
}

// The name and value of the option at arguments[*index], moving *index past a value given as
// the next argument.
bool nameAndValue(const QStringList &arguments, int *index, QString *name, QString *value,
                  QString *error)
{
    const QString &argument = arguments.at(*index);
    // "-a10.2.0.7" as "-a 10.2.0.7", as short options go.
    const bool joinedShort = argument.startsWith(QLatin1String("-a")) && argument.size() > 2 &&
                             argument.at(2) != QLatin1Char('=');
    const int equals = argument.indexOf(QLatin1Char('='));
    *name = joinedShort ? QStringLiteral("-a") : equals < 0 ? argument : argument.left(equals);
    if (*name == QLatin1String("-a"))
        *name = QStringLiteral("--address");
    if (*name == QLatin1String("--help") || *name == QLatin1String("--version") ||
        *name == QLatin1String("--verbose") || *name == QLatin1String("--no-broadcast") ||
        *name == QLatin1String("--watch")) {
        *error = QStringLiteral("%1 takes no value").arg(*name);
        return false;
    }
    if (!isKnownValueOption(*name)) {
        *error = QStringLiteral("unknown option %1").arg(*name);
        return false;
    }
    if (joinedShort) {
        *value = argument.mid(2);
    } else if (equals >= 0) {
        *value = argument.mid(equals + 1);
    } else if (*index + 1 < arguments.size() && !looksLikeOption(arguments.at(*index + 1))) {
        *value = arguments.at(++*index);
    } else {
        *error = QStringLiteral("%1 needs a value").arg(*name);
        return false;
    }
    return true;
}

// What the options gave that is checked once all of them are read.
struct Given
{
    QStringList rangeTexts;
    bool rate = false;
    // The last option given that means something only to a watch.
    QString watchOnly;
};

bool valueOption(const QString &name, const QString &value, CliOptions *options, Given *given,
                 QString *error)
{
    if (name == QLatin1String("--lost-after") || name == QLatin1String("--timeout-total"))
        given->watchOnly = name;
    if (name == QLatin1String("--lost-after"))
        return numberOption(name, value, 1, 1000, &options->lostAfter, error);
    if (name == QLatin1String("--timeout-total"))
        return numberOption(name, value, 1, INT_MAX / 1000, &options->totalTimeoutSeconds, error);
    if (name == QLatin1String("--expect"))
        options->expected.append(value);
    else if (name == QLatin1String("--format"))
        return formatOption(value, &options->format, error);
    else if (name == QLatin1String("--timeout"))
        return numberOption(name, value, 1, INT_MAX, &options->timeoutMs, error);
    else if (name == QLatin1String("--count"))
        return numberOption(name, value, 1, INT_MAX, &options->count, error);
    else if (name == QLatin1String("--repeat"))
        return numberOption(name, value, 1, INT_MAX / 1000, &options->repeatSeconds, error);
    else if (name == QLatin1String("--rate")) {
        given->rate = true;
        return numberOption(name, value, 1, 100000, &options->rate, error);
    } else if (name == QLatin1String("--address"))
        given->rangeTexts.append(value);
    else if (value.isEmpty()) {
        *error = QStringLiteral("--interface needs a name");
        return false;
    } else {
        options->interfaces.append(value);
    }
    return true;
}

bool rangeOptions(const Given &given, CliOptions *options, QString *error)
{
    // All ranges together, so that an overlap or the limit on addresses shows across options.
    options->ranges = parseAddressRanges(given.rangeTexts.join(QLatin1Char(',')), error);
    if (!error->isEmpty())
        return false;
    if (!given.rangeTexts.isEmpty() && options->ranges.isEmpty()) {
        *error = QStringLiteral("--address needs an address or a range");
        return false;
    }
    if (!options->broadcast && options->ranges.isEmpty()) {
        *error = QStringLiteral("--no-broadcast needs --address");
        return false;
    }
    // The broadcast is one request per address: a rate alone would pace nothing.
    if (given.rate && options->ranges.isEmpty()) {
        *error = QStringLiteral("--rate needs --address: it paces the requests to the ranges");
        return false;
    }
    return true;
}

} // namespace

bool parseCliOptions(const QStringList &arguments, CliOptions *options, QString *error)
{
    *options = CliOptions();
    Given given;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (flagOption(argument, options))
            continue;
        if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            *error = QStringLiteral("unexpected argument \"%1\"").arg(argument);
            return false;
        }
        QString name;
        QString value;
        if (!nameAndValue(arguments, &i, &name, &value, error) ||
            !valueOption(name, value, options, &given, error))
            return false;
    }
    return rangeOptions(given, options, error) && watchOptions(given.watchOnly, options, error);
}

bool readExpected(const QStringList &arguments, QVector<ListedDevice> *devices, QString *error)
{
    devices->clear();
    for (const QString &argument : arguments) {
        if (!QFileInfo(argument).isFile()) {
            // A serial number is what a device sends: 10 characters.
            if (argument.size() != 10) {
                *error = QStringLiteral("--expect needs a list file or a serial number of 10 "
                                        "characters; there is no file \"%1\"")
                             .arg(argument);
                return false;
            }
            devices->append({argument, {}, {}});
            continue;
        }
        QFile file(argument);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("%1: %2").arg(argument, file.errorString());
            return false;
        }
        QVector<ListedDevice> listed;
        DeviceListError listError;
        if (!readDeviceList(file.readAll(), &listed, &listError)) {
            *error = QStringLiteral("%1: %2").arg(argument, listError.text());
            return false;
        }
        // Expecting nothing would always succeed: most likely the list of an empty search.
        if (listed.isEmpty()) {
            *error = QStringLiteral("%1: lists no device").arg(argument);
            return false;
        }
        *devices += listed;
    }
    return true;
}

QString firstUnknownInterface(const QStringList &names, const QStringList &available)
{
    for (const QString &name : names) {
        if (!available.contains(name))
            return name;
    }
    return {};
}

QString usageText()
{
    return QStringLiteral(
        "Usage: ostrel-scout-cli [--format table|csv|json|jsonl] [--timeout MS] [--count N]\n"
        "                        [--interface NAME]... [--repeat SECONDS] [--verbose]\n"
        "                        [-a|--address RANGE]... [--rate N] [--no-broadcast]\n"
        "                        [--watch [--lost-after N] [--timeout-total SECONDS]]\n"
        "                        [--expect FILE|SERIAL]...\n"
        "       ostrel-scout-cli --help | --version\n");
}

QString helpText()
{
    return usageText() + QStringLiteral(R"(
Finds the Ostrel devices on the local networks: sends the discovery request on UDP port 44444
from every IPv4 address of this machine and prints each device that answers, once per serial
number: as soon as it answers, or in the table format when the search ends.

Options:
  --format FORMAT    table (default): aligned columns SERIAL, IP, MAC, INTERFACE,
                     printed when the search ends;
                     csv: the same columns as CSV (RFC 4180);
                     json: one JSON array, closed when the search ends;
                     jsonl: one JSON object per line.
                     JSON keys: serial, ip, mac, interface, network, and range
                     for a device found through --address.
  --timeout MS       listen for answers MS milliseconds after the request (default 5000)
  --count N          stop as soon as N devices are listed
  --interface NAME   search only from the addresses of interface NAME; repeatable
  --repeat SECONDS   search again every SECONDS seconds until interrupted, printing only
                     devices not printed before; a search that takes longer ends first
  -a, --address RANGE
                     also send the request to every address of RANGE, one by one, to reach
                     devices behind routers: 10.2.0.7, 10.2.0.0/24 (without its first and last
                     address), 10.2.0.10-10.2.0.99 or 10.2.0.10-99; several separated by commas
                     or spaces; repeatable; -a10.2.0.7 as well; at most 65 536 addresses
                     in all. Refused: 0.0.0.0/8, 127.0.0.0/8, 224.0.0.0/4, 240.0.0.0/4
                     (255.255.255.255 included), the broadcast address of each local
                     network searched from (passed over inside a larger range),
                     overlapping ranges, other separators;
                     169.254.0.0/16 is allowed. The receive window counts from the last
                     request.
  --rate N           send at most N requests per second to the ranges (1 to 100000,
                     default 2000); only with --address
  --no-broadcast     send only to the ranges of --address
  --watch            search again and again (every 10 seconds unless --repeat says
                     otherwise) and print events instead of devices, each with its time:
                     found, lost (silent for the last --lost-after searches), back, and
                     moved (answering from another address; JSON key previous_ip), in the
                     table format one line each, in jsonl one object each with "event" and
                     "time" (ISO 8601) besides the device's keys; Ctrl+C ends it with a
                     summary on standard error
  --lost-after N     a device is lost after N searches without an answer (1 to 1000,
                     default 2); only with --watch
  --expect FILE|SERIAL
                     a device that must answer: a list saved by the window or by this
                     program (CSV, JSON or JSON lines; a FILE that exists is read) or a
                     serial number; repeatable. Exit 0 only when every one answered; the
                     missing ones are named on standard error and, in JSON, listed with
                     "missing": true. With --watch, exit 0 as soon as every one answered
  --timeout-total SECONDS
                     end a watch after SECONDS, with exit status 1 when an expected device
                     has not answered; only with --watch
  -v, --verbose      tell on standard error what the search does: every address searched,
                     every request sent, each range with the local address its requests leave
                     from and each kind of send error, every unreadable or repeated answer,
                     and why the search ended
  -h, --help         show this help and exit
  --version          show the version and exit

In the table, in the -v lines and in CSV written to a terminal, control characters and bytes
0x80-0xff of a device's texts are shown as \xNN and a backslash as \\; on standard error
interface names, ranges as typed and the system's error texts too.

When no device is listed, one line on standard error names the causes seen on this machine
(port in use, no network, requests not sent, unreadable answers, an active firewall). When
devices are listed, standard error still names each range of --address to which nothing
could be sent, with requests not sent, or where no device answered (five of each kind).

Exit status: 0 when at least one device was listed (with --expect: when every expected
device answered), 1 when none answered (or an expected one did not), 2 for a usage error (a
list of --expect that cannot be read included), 3 when no socket could be opened on port
44444 (the output is then an empty one of its format: for JSON "[]"), 4 when not one request
could be sent to a range of --address (standard error names it; devices found otherwise are
still listed).
)");
}
