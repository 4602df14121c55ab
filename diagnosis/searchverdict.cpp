#include "searchverdict.h"

#include "addressranges.h"

#include <cerrno>

#ifdef Q_OS_WIN
#include <winsock2.h>
#endif

SearchVerdict::SearchVerdict(const SearchReport &report)
    : report(report)
{
    sent = report.broadcast && report.requestsSent > 0;
    // One pass over plain counts; texts are made only for the few ranges named.
    const QList<SearchReport::RangeReport> &ranges = report.ranges;
    for (int i = 0; i < ranges.size(); ++i) {
        const SearchReport::RangeReport &range = ranges.at(i);
        addresses += range.addressCount;
        addressesDone += range.done;
        if (range.sent > 0)
            sent = true;
        if (!range.finished()) {
            if (sending < 0 && !report.rangesStopped)
                sending = i;
        } else if (range.sent == 0) {
            unsent.add(i);
            continue;
        } else if (range.found == 0) {
            silent.add(i);
        }
        if (range.sent > 0 && (!range.sendErrors.isEmpty() || range.unbound > 0))
            partial.add(i);
    }
}

bool SearchVerdict::nothingSent() const
{
    return !sent && sending < 0;
}

const SearchReport::RangeReport *SearchVerdict::sendingRange() const
{
    return sending < 0 ? nullptr : &report.ranges.at(sending);
}

int SearchVerdict::unsentRangeCount() const
{
    return unsent.count;
}

int SearchVerdict::silentRangeCount() const
{
    return silent.count;
}

quint64 SearchVerdict::rangeAddresses() const
{
    return addresses;
}

quint64 SearchVerdict::rangeAddressesDone() const
{
    return addressesDone;
}

// English has no translation file: its singular is a text of its own, and %n stands only for
// numbers that take the plural.
QStringList SearchVerdict::rangeLines(bool ended) const
{
    QStringList lines;
    for (int index : unsent.named)
        lines << unsentLine(report.ranges.at(index));
    if (unsent.count > namedRanges) {
        const int more = unsent.count - namedRanges;
        lines << (more == 1 ? tr("and 1 more range to which nothing could be sent")
                            : tr("and %1 more ranges to which nothing could be sent", nullptr, more)
                                  .arg(groupedNumber(quint64(more))));
    }
    for (int index : partial.named)
        lines << partialLines(report.ranges.at(index));
    if (partial.count > namedRanges) {
        const int more = partial.count - namedRanges;
        lines << (more == 1 ? tr("and 1 more range with requests not sent")
                            : tr("and %1 more ranges with requests not sent", nullptr, more)
                                  .arg(groupedNumber(quint64(more))));
    }
    if (report.rangesStopped)
        lines << tr("The search of the ranges was stopped after %1 of %2 addresses.")
                     .arg(groupedNumber(addressesDone), groupedNumber(addresses));
    if (ended) {
        for (int index : silent.named)
            lines << silentLine(report.ranges.at(index));
        if (silent.count > namedRanges) {
            const int more = silent.count - namedRanges;
            lines << (more == 1 ? tr("and 1 more range where no device answered")
                                : tr("and %1 more ranges where no device answered", nullptr, more)
                                      .arg(groupedNumber(quint64(more))));
        }
    }
    return lines;
}

QString SearchVerdict::unsentLine(const SearchReport::RangeReport &range) const
{
    quint32 failed = 0;
    const SearchReport::RangeReport::SendError *most = nullptr;
    for (const SearchReport::RangeReport::SendError &error : range.sendErrors) {
        failed += error.count;
        if (!most || error.count > most->count)
            most = &error;
    }
    if (most && failed >= range.unbound) {
        if (meansNoRoute(most->error))
            return tr("%1: no route to it from this computer").arg(range.range);
        return tr("%1: nothing could be sent to it: %2").arg(range.range, most->error);
    }
    const QString local = range.unboundLocalAddresses.isEmpty()
                              ? QString()
                              : range.unboundLocalAddresses.constFirst().toString();
    return tr("%1: reached from %2, where the search could not listen for answers, so nothing "
              "was sent to it")
        .arg(range.range, local);
}

QStringList SearchVerdict::partialLines(const SearchReport::RangeReport &range) const
{
    QStringList lines;
    for (const SearchReport::RangeReport::SendError &error : range.sendErrors) {
        lines << (error.count == 1
                      ? tr("%1: 1 request not sent (to %2): %3")
                            .arg(range.range, error.first.toString(), error.error)
                      : tr("%1: %2 requests not sent (first to %3): %4", nullptr, int(error.count))
                            .arg(range.range, groupedNumber(error.count), error.first.toString(),
                                 error.error));
    }
    for (const QHostAddress &local : range.unboundLocalAddresses)
        lines << tr("%1: some addresses are reached from %2, where the search could not "
                    "listen for answers, so nothing was sent to them")
                     .arg(range.range, local.toString());
    return lines;
}

QString SearchVerdict::silentLine(const SearchReport::RangeReport &range) const
{
    QStringList from;
    for (const QHostAddress &local : range.localAddresses)
        from << local.toString();
    const QString sources = from.join(QLatin1String(", "));
    return range.sent == 1
               ? tr("%1: no device answered (1 request from %2)").arg(range.range, sources)
               : tr("%1: no device answered (%2 requests from %3)", nullptr, int(range.sent))
                     .arg(range.range, groupedNumber(range.sent), sources);
}

bool SearchVerdict::meansNoRoute(const QString &error)
{
#ifdef Q_OS_WIN
    static const QString noNetwork = qt_error_string(WSAENETUNREACH);
    static const QString noHost = qt_error_string(WSAEHOSTUNREACH);
#else
    static const QString noNetwork = qt_error_string(ENETUNREACH);
    static const QString noHost = qt_error_string(EHOSTUNREACH);
#endif
    return error == noNetwork || error == noHost;
}
