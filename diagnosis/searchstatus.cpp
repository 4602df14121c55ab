#include "searchstatus.h"

#include "addressranges.h"
#include "searchverdict.h"

#include <QStringList>

namespace {

// Senders of unreadable datagrams named one by one in the tooltip.
constexpr int namedUnreadableSenders = 5;

} // namespace

// English has no translation file: its singular is a text of its own, and %n stands only for
// numbers that take the plural.
SearchStatus::SearchStatus(SearchState state, int deviceCount, const SearchReport &report,
                           const FirewallLookup &firewall)
    : found(deviceCount)
{
    QStringList notes = bindLines(report);

    // Nothing to wait for when nothing went out: the cause shows at once.
    const SearchVerdict verdict(report);
    nothingSent = verdict.nothingSent();
    const bool ended = state == SearchState::Ended || nothingSent;
    noNetwork = ended && found == 0 && report.noNetwork();
    if (noNetwork)
        notes << tr("This computer has no network connection, only its own loopback address: "
                    "connect it to the devices' network.");

    if (!report.sendErrors.isEmpty()) {
        notes << tr("The request could not be sent from:");
        notes << addressLines(report.sendErrors);
    }

    const int unreadable = report.unreadableCount();
    if (unreadable > 0)
        notes << unreadableLines(report);

    // Nothing listed, though requests went out to a network, and nothing came back, not even
    // an unreadable or a late answer: a firewall that drops the answers could explain it.
    const bool firewallCouldExplain = ended && found == 0 && !nothingSent && !report.noNetwork() &&
                                      unreadable == 0 && report.lateDevices == 0;
    const FirewallState seen = firewallCouldExplain && firewall ? firewall() : FirewallState();
    firewallSuspected = !seen.name.isEmpty();
    if (firewallSuspected)
        notes << tr("%1 is active on this computer and may drop the devices' answers (UDP port "
                    "44444). To let them in, run as administrator: %2")
                     .arg(seen.name, seen.allowCommand);

    rangeTexts = verdict.rangeLines(ended);
    unsentRange = verdict.unsentRangeCount() > 0;
    notes << rangeTexts;

    if (report.lateDevices > 0)
        notes << (report.lateDevices == 1
                      ? tr("1 device answered after the search ended: press Refresh")
                      : tr("%n devices answered after the search ended: press Refresh", nullptr,
                           report.lateDevices));

    lineText = ended ? endLine(report) : progressLine(report, verdict.sendingRange());
    otherNetworks = ended && found == 0 && !report.noNetwork() && !report.noAddressBound();
    causeLines = notes;
    if (nobodyAnswered) {
        // The line has room for a short hint only; the tooltip says it in full.
        notes << tr("No device answered. Check the cable and the device's power, and that the "
                    "device is on the same network as this computer.");
    }
    toolTipText = notes.join(QLatin1Char('\n'));
}

QStringList SearchStatus::bindLines(const SearchReport &report) const
{
    if (report.bindErrors.isEmpty())
        return {};
    QStringList lines;
    if (report.portInUseEverywhere())
        lines << tr("Another program holds UDP port 44444 on every address of this computer "
                    "(perhaps Ostrel Scout is already open), so no request was sent. Close "
                    "that program and press Refresh.");
    else if (report.noAddressBound())
        lines << tr("No address of this computer could be used for the search:");
    else
        lines << tr("The search went on without these addresses:");
    return lines << addressLines(report.bindErrors);
}

QString SearchStatus::progressLine(const SearchReport &report,
                                   const SearchReport::RangeReport *range) const
{
    if (report.portInUseEverywhere())
        return tr("Port 44444 is in use by another program");
    if (report.noAddressBound())
        return tr("The search could not be sent");
    if (range) {
        // Phrases that keep together when the line wraps, split only between them.
        QStringList phrases{
            tr("Searching %1:").arg(range->range),
            tr("%1 of %2").arg(groupedNumber(range->done), groupedNumber(range->addressCount))};
        if (found > 0) {
            phrases.last() += QLatin1Char(';');
            phrases << tr("devices found: %1").arg(groupedNumber(quint64(found)));
        }
        for (QString &phrase : phrases)
            phrase.replace(QLatin1Char(' '), QChar(QChar::Nbsp));
        return phrases.join(QLatin1Char(' '));
    }
    if (found == 0)
        return tr("Searching...");
    return found == 1 ? tr("Searching... 1 device found")
                      : tr("Searching... %n devices found", nullptr, found);
}

QString SearchStatus::endLine(const SearchReport &report)
{
    if (report.portInUseEverywhere())
        return tr("Port 44444 is in use by another program");
    if (noNetwork) {
        lineSaysNoNetwork = true;
        return tr("No network connection");
    }
    if (report.noAddressBound() || nothingSent)
        return tr("The search could not be sent");
    if (found > 0)
        return found == 1 ? tr("1 device found") : tr("%n devices found", nullptr, found);
    if (report.unreadableCount() > 0)
        return tr("No devices: answers could not be read");
    if (firewallSuspected)
        return tr("No devices: is a firewall blocking them?");
    if (report.lateDevices > 0)
        return tr("No devices in time: press Refresh");
    nobodyAnswered = true;
    return tr("No devices: check cable, power, network");
}

QString SearchStatus::line() const
{
    return lineText;
}

QString SearchStatus::toolTip() const
{
    return toolTipText;
}

QStringList SearchStatus::causes() const
{
    return causeLines;
}

bool SearchStatus::networkMissing() const
{
    return lineSaysNoNetwork;
}

bool SearchStatus::offerOtherNetworks() const
{
    return otherNetworks;
}

bool SearchStatus::rangeUnsent() const
{
    return unsentRange;
}

QStringList SearchStatus::rangeLines() const
{
    return rangeTexts;
}

QStringList SearchStatus::addressLines(const QList<SearchReport::AddressError> &errors)
{
    QStringList lines;
    for (const SearchReport::AddressError &error : errors) {
        const QString reason =
            error.portInUse ? tr("port 44444 is in use by another program") : error.error;
        lines << tr("%1 on %2: %3").arg(error.address.toString(), error.interfaceName, reason);
    }
    return lines;
}

QStringList SearchStatus::unreadableLines(const SearchReport &report)
{
    QStringList lines;
    int unnamed = report.unreadableOtherCount;
    for (int i = 0; i < report.unreadable.size(); ++i) {
        const SearchReport::UnreadableSender &sender = report.unreadable.at(i);
        if (i >= namedUnreadableSenders) {
            unnamed += sender.count;
            continue;
        }
        const QString reason = sender.reason == SearchReport::Unreadable::WrongMarkers
                                   ? tr("wrong markers")
                               : sender.size == 1 ? tr("1 byte")
                                                  : tr("%n bytes", nullptr, sender.size);
        const QString address = sender.sender.toString();
        lines << (sender.count == 1
                      ? tr("1 answer from %1 could not be read (%2)").arg(address, reason)
                      : tr("%n answers from %1 could not be read (%2)", nullptr, sender.count)
                            .arg(address, reason));
    }
    if (unnamed > 0)
        lines << (unnamed == 1 ? tr("and 1 more from another sender")
                               : tr("and %n more from other senders", nullptr, unnamed));
    return lines;
}
