#include "addressranges.h"

#include <algorithm>
#include <optional>
#include <QCoreApplication>
#include <QHostAddress>
#include <QRegularExpression>
#include <QStringList>

namespace {

// The context of the messages' translations.
struct AddressRanges
{
    Q_DECLARE_TR_FUNCTIONS(AddressRanges)
};

// Dotted decimal, four groups of one to three digits, each at most 255.
std::optional<quint32> parseAddress(const QString &text)
{
    const QStringList groups = text.split(QLatin1Char('.'));
    if (groups.size() != 4)
        return std::nullopt;
    quint32 address = 0;
    for (const QString &group : groups) {
        bool ok = group.size() >= 1 && group.size() <= 3;
        for (const QChar c : group)
            ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const uint value = ok ? group.toUInt() : 256;
        if (value > 255)
            return std::nullopt;
        address = address << 8 | value;
    }
    return address;
}

QString addressText(quint32 address)
{
    return QHostAddress(address).toString();
}

// Why no request may go to any address from first to last, or an empty text. The blocks
// that hold no device: "this network" (0.0.0.0/8), loopback, multicast and the reserved
// 240.0.0.0/4 with the broadcast address; 169.254.0.0/16 stays, devices without DHCP use it.
QString forbidden(quint32 first, quint32 last)
{
    const bool single = first == last;
    const auto overlaps = [&](quint32 from, quint32 to) {
        return first <= to && last >= from;
    };
    if (single && first == 0xffffffffu)
        return AddressRanges::tr("the broadcast address");
    if (overlaps(0xf0000000u, 0xffffffffu))
        return single ? AddressRanges::tr("a reserved address (240.0.0.0/4)")
                      : AddressRanges::tr("holds reserved addresses (240.0.0.0/4)");
    if (overlaps(0xe0000000u, 0xefffffffu))
        return single ? AddressRanges::tr("a multicast address (224.0.0.0/4)")
                      : AddressRanges::tr("holds multicast addresses (224.0.0.0/4)");
    if (overlaps(0x7f000000u, 0x7fffffffu))
        return single ? AddressRanges::tr("a loopback address (127.0.0.0/8)")
                      : AddressRanges::tr("holds loopback addresses (127.0.0.0/8)");
    if (overlaps(0, 0x00ffffffu))
        return single ? AddressRanges::tr("not a device's address (0.0.0.0/8)")
                      : AddressRanges::tr("holds addresses of 0.0.0.0/8, which are no device's");
    return {};
}

// The first character that belongs to no address or range, or an empty text. Letters are
// left to the address check ("10.2.0.x: not an IPv4 address").
QString strangeCharacter(const QString &part)
{
    for (int at = 0; at < part.size(); ++at) {
        const QChar c = part.at(at);
        if (c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('/') ||
            c == QLatin1Char('-'))
            continue;
        // A character beyond the first 65 536 is two code units: both, or the text breaks.
        const bool pair = c.isHighSurrogate() && at + 1 < part.size();
        return part.mid(at, pair ? 2 : 1);
    }
    return {};
}

// One part of the text; false with error set when it is not a range.
bool parsePart(const QString &part, AddressRange *range, QString *error)
{
    const auto fail = [&](const QString &why) {
        *error = part + QLatin1String(": ") + why;
        return false;
    };
    const QString strange = strangeCharacter(part);
    if (!strange.isEmpty())
        return fail(AddressRanges::tr("\"%1\" does not separate ranges: use commas or spaces")
                        .arg(strange));
    const int slash = part.indexOf(QLatin1Char('/'));
    const int dash = part.indexOf(QLatin1Char('-'));
    const QString start = part.left(slash >= 0 ? slash : dash >= 0 ? dash : part.size());
    const std::optional<quint32> first = parseAddress(start);
    if (!first)
        return fail(AddressRanges::tr("not an IPv4 address"));

    if (slash >= 0) {
        const QString lengthText = part.mid(slash + 1);
        bool ok = lengthText.size() >= 1 && lengthText.size() <= 2 &&
                  !lengthText.contains(QLatin1Char('+'));
        const int length = ok ? lengthText.toInt(&ok) : -1;
        if (!ok || length < 0 || length > 32)
            return fail(AddressRanges::tr("the prefix length after / must be 0 to 32"));
        const quint32 mask = length == 0 ? 0 : ~quint32(0) << (32 - length);
        const quint32 network = *first & mask;
        const quint32 broadcast = network | ~mask;
        // Blocks of four and more: their first and last address are no device's.
        const bool inner = length <= 30;
        range->first = inner ? network + 1 : network;
        range->last = inner ? broadcast - 1 : broadcast;
        range->text = addressText(network) + QLatin1Char('/') + QString::number(length);
    } else if (dash >= 0) {
        const QString endText = part.mid(dash + 1);
        std::optional<quint32> last = parseAddress(endText);
        // "10.2.0.10-99": the end's last group only.
        if (!last && !endText.contains(QLatin1Char('.'))) {
            const std::optional<quint32> group = parseAddress(QStringLiteral("0.0.0.") + endText);
            if (group)
                last = (*first & 0xffffff00u) | *group;
        }
        if (!last)
            return fail(AddressRanges::tr(
                "the end after - is not an IPv4 address or a number from 0 to 255"));
        if (*last < *first)
            return fail(AddressRanges::tr("the end comes before the start"));
        range->first = *first;
        range->last = *last;
        range->text = addressText(*first) + QLatin1Char('-') + addressText(*last);
    } else {
        range->first = range->last = *first;
        range->text = addressText(*first);
    }
    if (range->size() == 0 || range->size() > maxRangeAddresses)
        return fail(AddressRanges::tr("%1 addresses, more than %2 in one search")
                        .arg(groupedNumber(quint64(range->last - range->first) + 1),
                             groupedNumber(maxRangeAddresses)));
    const QString why = forbidden(range->first, range->last);
    if (!why.isEmpty())
        return fail(why);
    return true;
}

} // namespace

QVector<AddressRange> parseAddressRanges(const QString &text, QString *error,
                                         const QList<LocalAddress> &localAddresses)
{
    error->clear();
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    const QStringList parts = text.split(separators, Qt::SkipEmptyParts);
    QVector<AddressRange> ranges;
    quint64 total = 0;
    for (const QString &part : parts) {
        AddressRange range;
        if (!parsePart(part, &range, error))
            return {};
        total += range.size();
        if (total > maxRangeAddresses) {
            *error = part + QLatin1String(": ") +
                     AddressRanges::tr(
                         "%1 addresses with the ranges before it, more than %2 in one search")
                         .arg(groupedNumber(total), groupedNumber(maxRangeAddresses));
            return {};
        }
        ranges.append(range);
    }
    std::sort(ranges.begin(), ranges.end(),
              [](const AddressRange &a, const AddressRange &b) { return a.first < b.first; });
    // One request per address: no address twice.
    for (int i = 1; i < ranges.size(); ++i) {
        if (ranges.at(i).first <= ranges.at(i - 1).last) {
            *error = ranges.at(i).text + QLatin1String(": ") +
                     AddressRanges::tr("overlaps %1").arg(ranges.at(i - 1).text);
            return {};
        }
    }
    *error = localBroadcastIn(ranges, localAddresses);
    if (!error->isEmpty())
        return {};
    return ranges;
}

namespace {

// The broadcast address of local's network, or 0 when it has none: a /31 or /32 has none, and
// loopback's is refused as loopback.
quint32 broadcastOf(const LocalAddress &local)
{
    if (local.prefixLength < 0 || local.prefixLength > 30 ||
        local.address.protocol() != QAbstractSocket::IPv4Protocol)
        return 0;
    const quint32 mask = local.prefixLength == 0 ? 0 : ~quint32(0) << (32 - local.prefixLength);
    return local.address.toIPv4Address() | ~mask;
}

} // namespace

QVector<quint32> localBroadcastAddresses(const QList<LocalAddress> &localAddresses)
{
    QVector<quint32> addresses;
    for (const LocalAddress &local : localAddresses) {
        const quint32 broadcast = broadcastOf(local);
        if (broadcast != 0 && !addresses.contains(broadcast))
            addresses << broadcast;
    }
    return addresses;
}

QString localBroadcastIn(const QVector<AddressRange> &ranges,
                         const QList<LocalAddress> &localAddresses)
{
    for (const LocalAddress &local : localAddresses) {
        const quint32 broadcast = broadcastOf(local);
        const AddressRange *range = broadcast == 0 ? nullptr : rangeOf(ranges, broadcast);
        // Within a larger range the address is passed over as the requests go out.
        if (!range || range->size() != 1)
            continue;
        const quint32 mask = local.prefixLength == 0 ? 0 : ~quint32(0) << (32 - local.prefixLength);
        const QString network =
            addressText(broadcast & mask) + QLatin1Char('/') + QString::number(local.prefixLength);
        return range->text + QLatin1String(": ") +
               AddressRanges::tr("the broadcast address of the network %1 on %2")
                   .arg(network, local.interfaceName);
    }
    return {};
}

const AddressRange *rangeOf(const QVector<AddressRange> &ranges, quint32 address)
{
    const auto after = std::upper_bound(
        ranges.begin(), ranges.end(), address,
        [](quint32 value, const AddressRange &range) { return value < range.first; });
    if (after == ranges.begin())
        return nullptr;
    const AddressRange &range = *(after - 1);
    return address <= range.last ? &range : nullptr;
}

QString groupedNumber(quint64 number)
{
    QString digits = QString::number(number);
    for (int at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(' '));
    return digits;
}
