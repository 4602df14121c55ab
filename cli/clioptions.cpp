#include "clioptions.h"

#include <climits>

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

} // namespace

bool parseCliOptions(const QStringList &arguments, CliOptions *options, QString *error)
{
    *options = CliOptions();
    QStringList rangeTexts;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        // "/?" is how Windows programs are asked for their help.
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h") ||
            argument == QLatin1String("/?")) {
            options->help = true;
            continue;
        }
        if (argument == QLatin1String("--version")) {
            options->version = true;
            continue;
        }
        if (argument == QLatin1String("--verbose") || argument == QLatin1String("-v")) {
            options->verbose = true;
            continue;
        }
        if (argument == QLatin1String("--no-broadcast")) {
            options->broadcast = false;
            continue;
        }
        if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            *error = QStringLiteral("unexpected argument \"%1\"").arg(argument);
            return false;
        }

        const int equals = argument.indexOf(QLatin1Char('='));
        QString name = equals < 0 ? argument : argument.left(equals);
        if (name == QLatin1String("-a"))
            name = QStringLiteral("--address");
        if (name == QLatin1String("--help") || name == QLatin1String("--version") ||
            name == QLatin1String("--verbose") || name == QLatin1String("--no-broadcast")) {
            *error = QStringLiteral("%1 takes no value").arg(name);
            return false;
        }
        const bool known = name == QLatin1String("--format") ||
                           name == QLatin1String("--timeout") || name == QLatin1String("--count") ||
                           name == QLatin1String("--interface") ||
                           name == QLatin1String("--repeat") ||
                           name == QLatin1String("--address") || name == QLatin1String("--rate");
        if (!known) {
            *error = QStringLiteral("unknown option %1").arg(name);
            return false;
        }
        QString value;
        if (equals >= 0) {
            value = argument.mid(equals + 1);
        } else if (i + 1 < arguments.size() && !looksLikeOption(arguments.at(i + 1))) {
            value = arguments.at(++i);
        } else {
            *error = QStringLiteral("%1 needs a value").arg(name);
            return false;
        }

        bool ok = true;
        if (name == QLatin1String("--format"))
            ok = formatOption(value, &options->format, error);
        else if (name == QLatin1String("--timeout"))
            ok = numberOption(name, value, 1, INT_MAX, &options->timeoutMs, error);
        else if (name == QLatin1String("--count"))
            ok = numberOption(name, value, 1, INT_MAX, &options->count, error);
        else if (name == QLatin1String("--repeat"))
            ok = numberOption(name, value, 1, INT_MAX / 1000, &options->repeatSeconds, error);
        else if (name == QLatin1String("--rate"))
            ok = numberOption(name, value, 1, 100000, &options->rate, error);
        else if (name == QLatin1String("--address"))
            rangeTexts.append(value);
        else if (value.isEmpty()) {
            *error = QStringLiteral("--interface needs a name");
            ok = false;
        } else {
            options->interfaces.append(value);
        }
        if (!ok)
            return false;
    }
    // All ranges together, so that an overlap or the limit on addresses shows across options.
    options->ranges = parseAddressRanges(rangeTexts.join(QLatin1Char(',')), error);
    if (!error->isEmpty())
        return false;
    if (!rangeTexts.isEmpty() && options->ranges.isEmpty()) {
        *error = QStringLiteral("--address needs an address or a range");
        return false;
    }
    if (!options->broadcast && options->ranges.isEmpty()) {
        *error = QStringLiteral("--no-broadcast needs --address");
        return false;
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
                     or spaces; repeatable; at most 65 536 addresses in all. The receive
                     window counts from the last request.
  --rate N           send at most N requests per second to the ranges (1 to 100000,
                     default 2000)
  --no-broadcast     send only to the ranges of --address
  -v, --verbose      tell on standard error what the search does: every address searched,
                     every request sent, each range with the local address its requests leave
                     from and each kind of send error, every unreadable or repeated answer,
                     and why the search ended
  -h, --help         show this help and exit
  --version          show the version and exit

In the table, in the -v lines and in CSV written to a terminal, control characters and bytes
0x80-0xff of a device's texts are shown as \xNN and a backslash as \\.

When no device is listed, one line on standard error names the causes seen on this machine
(port in use, no network, requests not sent, unreadable answers, an active firewall). When
devices are listed, standard error still names each range of --address to which nothing
could be sent, with requests not sent, or where no device answered (five of each kind).

Exit status: 0 when at least one device was listed, 1 when none answered, 2 for a usage
error, 3 when no socket could be opened on port 44444 (the output is then an empty one of
its format: for JSON "[]"), 4 when not one request could be sent to a range of --address
(standard error names it; devices found otherwise are still listed).
)");
}
