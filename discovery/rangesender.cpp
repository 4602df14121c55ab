#include "rangesender.h"

#include "discoverydatagram.h"
#include "discoverylog.h"
#include "printabletext.h"

#include <algorithm>
#include <QTimer>
#include <QUdpSocket>
#include <utility>

namespace {

// The longest a batch keeps the event loop: the window stays responsive far below what a
// user notices.
constexpr qint64 batchBudgetNs = 4 * 1000 * 1000;
// How often within a batch the clock is read.
constexpr int clockEvery = 16;
// Progress is told at most this often: a status line redrawn for every batch would cost more
// than the sending.
constexpr qint64 progressIntervalMs = 100;
// Passes in a row that a full send buffer may hold requests back before they count as not
// sent: about a tenth of a second.
constexpr int maxHeldPasses = 10;

} // namespace

RangeSender::RangeSender(QObject *parent)
    : QObject(parent)
    , timer(new QTimer(this))
{
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, &RangeSender::sendDue);
}

RangeSender::~RangeSender() = default;

void RangeSender::setRate(int perSecond)
{
    rate = qMax(0, perSecond);
}

void RangeSender::setPassedOver(const QVector<quint32> &addresses)
{
    passedOver = addresses;
}

void RangeSender::start(const QVector<AddressRange> &newRanges, const SourceFor &newSourceFor)
{
    timer->stop();
    ranges = newRanges;
    sourceFor = newSourceFor;
    rangeReports.clear();
    for (const AddressRange &range : std::as_const(ranges)) {
        SearchReport::RangeReport report;
        report.range = range.text;
        report.addressCount = range.size();
        rangeReports.append(report);
    }
    rangeIndex = 0;
    nextAddress = ranges.isEmpty() ? 0 : ranges.first().first;
    rangeTaken = false;
    pendingCount = 0;
    heldPasses = 0;
    lastLocal = 0;
    lastSource = Source();
    sending = !ranges.isEmpty();
    pacer.start(rate);
    clock.start();
    sinceProgress.start();
    if (sending)
        sendDue();
}

void RangeSender::stop()
{
    sending = false;
    pendingCount = 0;
    timer->stop();
}

void RangeSender::clear()
{
    stop();
    rangeReports.clear();
}

bool RangeSender::isSending() const
{
    return sending;
}

const QList<SearchReport::RangeReport> &RangeSender::reports() const
{
    return rangeReports;
}

void RangeSender::countFound(int index)
{
    ++rangeReports[index].found;
}

void RangeSender::sendDue()
{
    const qint64 startNs = clock.nsecsElapsed();
    // What the pace allows in this pass; only requests the system takes count against it.
    quint64 left = rate == 0 ? ~quint64(0) : pacer.allowance();
    const auto spend = [this, &left](quint64 taken) {
        if (rate != 0)
            pacer.spend(taken);
        left -= qMin(left, taken);
    };
    // What the system could not take in the last pass goes first.
    spend(flush());
    bool held = pendingCount > 0;
    int sinceClock = 0;
    while (sending && !held) {
        if (rangeTaken) {
            // The range ends once the system has taken (or refused) its last requests.
            spend(flush());
            held = pendingCount > 0;
            if (held)
                break;
            if (!nextRange())
                return;
            continue;
        }
        if (quint64(pendingCount) >= left)
            break;
        if (pendingCount == maxPending) {
            spend(flush());
            held = pendingCount > 0;
            continue;
        }
        const AddressRange &range = ranges.at(rangeIndex);
        if (nextAddress == range.first) {
            qCInfo(lcDiscovery, "range %s: %u address%s", qPrintable(range.text), range.size(),
                   range.size() == 1 ? "" : "es");
            // Each range names the local addresses it uses.
            lastLocal = 0;
        }
        sendTo(nextAddress, rangeReports[rangeIndex]);
        if (nextAddress == range.last)
            rangeTaken = true;
        else
            ++nextAddress;
        if (++sinceClock == clockEvery) {
            sinceClock = 0;
            if (clock.nsecsElapsed() - startNs > batchBudgetNs)
                break;
        }
    }
    if (!held) {
        spend(flush());
        held = pendingCount > 0;
    }
    if (sinceProgress.elapsed() >= progressIntervalMs) {
        sinceProgress.start();
        emit progressed();
    }
    scheduleNext(held ? Queue::Held : Queue::Taken);
}

bool RangeSender::nextRange()
{
    const AddressRange &range = ranges.at(rangeIndex);
    const SearchReport::RangeReport &report = rangeReports.at(rangeIndex);
    qCInfo(lcDiscovery, "range %s: %u requests sent, %u not sent", qPrintable(range.text),
           report.sent, report.done - report.sent - report.passedOver);
    if (++rangeIndex == ranges.size()) {
        sending = false;
        emit progressed();
        emit done();
        return false;
    }
    nextAddress = ranges.at(rangeIndex).first;
    rangeTaken = false;
    return true;
}

void RangeSender::scheduleNext(Queue queue)
{
    if (!sending)
        return;
    // A full send buffer gets a tick to drain; otherwise the pacer says when the next request
    // is due (at once after a pass cut short for the event loop's sake), never at once while
    // none is.
    qint64 waitNs = 0;
    if (queue == Queue::Held)
        waitNs = Pacer::tickNs;
    else if (rate != 0)
        waitNs = pacer.waitNs();
    timer->start(int((waitNs + 999999) / 1000000));
}

void RangeSender::failed(SearchReport::RangeReport &report, quint32 destination,
                         const QString &error)
{
    for (SearchReport::RangeReport::SendError &known : report.sendErrors) {
        if (known.error == error) {
            ++known.count;
            return;
        }
    }
    report.sendErrors.append({error, 1, QHostAddress(destination)});
    qCInfo(lcDiscovery, "range %s: request to %s not sent: %s", qPrintable(report.range),
           qPrintable(QHostAddress(destination).toString()), qUtf8Printable(printableText(error)));
}

void RangeSender::sendTo(quint32 destination, SearchReport::RangeReport &report)
{
    if (passedOver.contains(destination)) {
        ++report.done;
        ++report.passedOver;
        qCInfo(lcDiscovery, "range %s: %s passed over, the broadcast address of a local network",
               qPrintable(report.range), qPrintable(QHostAddress(destination).toString()));
        return;
    }
    QString error;
    const quint32 local = routes.sourceFor(destination, discoveryPort, &error);
    if (local == 0) {
        ++report.done;
        failed(report, destination, error);
        return;
    }
    if (local != lastLocal) {
        lastLocal = local;
        lastSource = sourceFor(local);
        const QHostAddress localAddress(local);
        if (!lastSource.socket && !report.unboundLocalAddresses.contains(localAddress)) {
            report.unboundLocalAddresses.append(localAddress);
            qCInfo(lcDiscovery,
                   "range %s: %s is reached from %s, where the search has no socket on port %d",
                   qPrintable(report.range), qPrintable(QHostAddress(destination).toString()),
                   qPrintable(localAddress.toString()), int(discoveryPort));
        } else if (lastSource.socket && !report.localAddresses.contains(localAddress)) {
            report.localAddresses.append(localAddress);
            qCInfo(lcDiscovery, "range %s: requests from %s on %s", qPrintable(report.range),
                   qPrintable(localAddress.toString()),
                   qUtf8Printable(printableText(lastSource.interfaceName)));
        }
    }
    if (!lastSource.socket) {
        ++report.done;
        ++report.unbound;
        return;
    }
    pending[pendingCount++] = Pending{lastSource.socket, destination, rangeIndex};
}

quint64 RangeSender::flush()
{
    static const QByteArray request = discoveryRequest();
    quint64 taken = 0;
    int next = 0;
    quint32 destinations[maxPending];
    while (next < pendingCount) {
        // One call for each run of requests from the same socket.
        QUdpSocket *socket = pending[next].socket;
        int end = next;
        for (; end < pendingCount && pending[end].socket == socket; ++end)
            destinations[end - next] = pending[end].destination;
        const DatagramsSent sent =
            sendDatagrams(*socket, request, destinations, end - next, discoveryPort);
        for (int i = next; i < next + sent.count; ++i) {
            ++rangeReports[pending[i].range].sent;
            ++rangeReports[pending[i].range].done;
        }
        taken += quint64(sent.count);
        next += sent.count;
        if (sent.stop == SendStop::None)
            continue;
        // A full buffer keeps the rest for the next pass, a while at most; any other error is
        // the request's own.
        if (sent.stop == SendStop::BufferFull && heldPasses < maxHeldPasses)
            break;
        SearchReport::RangeReport &report = rangeReports[pending[next].range];
        ++report.done;
        failed(report, pending[next].destination, sent.error);
        ++next;
    }
    // What is left waits for the next pass.
    heldPasses = next == 0 && pendingCount > 0 ? heldPasses + 1 : 0;
    std::copy(pending + next, pending + pendingCount, pending);
    pendingCount -= next;
    return taken;
}
