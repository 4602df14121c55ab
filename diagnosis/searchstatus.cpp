#include "searchstatus.h"

#include "addressranges.h"
#include "firewallcheck.h"
#include "searchverdict.h"

#include <QStringList>

namespace {

// Senders of unreadable datagrams named one by one in the tooltip.
constexpr int namedUnreadableSenders = 5;

} // namespace

// English has no translation file: its singular is a text of its own, and %n stands only for
// numbers that take the plural.
SearchStatus::SearchStatus(bool searching, int found, const SearchReport &report,
                           const FirewallState &firewall)
{
    QStringList notes;
    bool nobodyAnswered = false;

    if (!report.bindErrors.isEmpty()) {
        if (report.portInUseEverywhere())
            notes << tr("Another program holds UDP port 44444 on every address of this computer "
                        "(perhaps Ostrel Scout is already open), so no request was sent. Close "
                        "that program and press Refresh.");
        else if (report.noAddressBound())
            notes << tr("No address of this computer could be used for the search:");
        else
            notes << tr("The search went on without these addresses:");
        notes << addressLines(report.bindErrors);
    }

    // Nothing to wait for when nothing went out: the cause shows at once.
    const SearchVerdict verdict(report);
    const bool nothingSent = verdict.nothingSent();
    const bool ended = !searching || nothingSent;
    const bool noNetwork = ended && found == 0 && report.noNetwork();
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

    const bool firewallSuspected =
        ended && !firewall.name.isEmpty() && firewallCouldExplain(report, found);
    if (firewallSuspected)
        notes << tr("%1 is active on this computer and may drop the devices' answers (UDP port "
                    "44444). To let them in, run as administrator: %2")
                     .arg(firewall.name, firewall.allowCommand);

    notes << verdict.rangeLines(ended);

    if (report.lateDevices > 0)
        notes << (report.lateDevices == 1
                      ? tr("1 device answered after the search ended: press Refresh")
                      : tr("%n devices answered after the search ended: press Refresh", nullptr,
                           report.lateDevices));

    if (report.portInUseEverywhere()) {
        lineText = tr("Port 44444 is in use by another program");
    } else if (noNetwork) {
        lineText = tr("No network connection");
        lineSaysNoNetwork = true;
    } else if (report.noAddressBound() || nothingSent) {
        lineText = tr("The search could not be sent");
    } else if (searching && verdict.sendingRange()) {
        // Phrases that keep together when the line wraps, split only between them.
        const SearchReport::RangeReport &range = *verdict.sendingRange();
        QStringList phrases{
            tr("Searching %1:").arg(range.range),
            tr("%1 of %2").arg(groupedNumber(range.done), groupedNumber(range.addressCount))};
        if (found > 0) {
            phrases.last() += QLatin1Char(';');
            phrases << tr("devices found: %1").arg(groupedNumber(quint64(found)));
        }
        for (QString &phrase : phrases)
            phrase.replace(QLatin1Char(' '), QChar(QChar::Nbsp));
        lineText = phrases.join(QLatin1Char(' '));
    } else if (searching) {
        if (found == 0)
            lineText = tr("Searching...");
        else
            lineText = found == 1 ? tr("Searching... 1 device found")
                                  : tr("Searching... %n devices found", nullptr, found);
    } else if (found > 0) {
        lineText = found == 1 ? tr("1 device found") : tr("%n devices found", nullptr, found);
    } else if (unreadable > 0) {
        lineText = tr("No devices: answers could not be read");
    } else if (firewallSuspected) {
        lineText = tr("No devices: is a firewall blocking them?");
    } else if (report.lateDevices > 0) {
        lineText = tr("No devices in time: press Refresh");
    } else {
        lineText = tr("No devices: check cable, power, network");
        nobodyAnswered = true;
    }
    causeLines = notes;
    if (nobodyAnswered) {
        // The line has room for a short hint only; the tooltip says it in full.
        notes << tr("No device answered. Check the cable and the device's power, and that the "
                    "device is on the same network as this computer.");
    }
    toolTipText = notes.join(QLatin1Char('\n'));
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
