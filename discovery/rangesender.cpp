#include "rangesender.h"

#include "discoverydatagram.h"
#include "discoverylog.h"
#include "printabletext.h"

#include <algorithm>
#include <cerrno>
#include <QTimer>
#include <QUdpSocket>
#include <utility>

#ifdef Q_OS_LINUX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

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

void RangeSender::start(const QVector<AddressRange> &newRanges, const SourceFor &newSourceFor,
                        QList<SearchReport::RangeReport> *newReports)
{
    timer->stop();
    ranges = newRanges;
    sourceFor = newSourceFor;
    reports = newReports;
    reports->clear();
    for (const AddressRange &range : std::as_const(ranges)) {
        SearchReport::RangeReport report;
        report.range = range.text;
        report.addressCount = range.size();
        reports->append(report);
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

bool RangeSender::isSending() const
{
    return sending;
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
            const AddressRange &range = ranges.at(rangeIndex);
            const SearchReport::RangeReport &report = reports->at(rangeIndex);
            qCInfo(lcDiscovery, "range %s: %u requests sent, %u not sent", qPrintable(range.text),
                   report.sent, report.done - report.sent - report.passedOver);
            if (++rangeIndex == ranges.size()) {
                sending = false;
                emit progressed();
                emit done();
                return;
            }
            nextAddress = ranges.at(rangeIndex).first;
            rangeTaken = false;
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
        sendTo(nextAddress, (*reports)[rangeIndex]);
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
    scheduleNext(held);
}

void RangeSender::scheduleNext(bool held)
{
    if (!sending)
        return;
    // A full send buffer gets a tick to drain; otherwise the pacer says when the next request
    // is due (at once after a pass cut short for the event loop's sake), never at once while
    // none is.
    qint64 waitNs = 0;
    if (held)
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
    const auto reportOf = [this](const Pending &one) -> SearchReport::RangeReport & {
        return (*reports)[one.range];
    };
    quint64 taken = 0;
    int next = 0;
#ifdef Q_OS_LINUX
    // Many datagrams in one system call: for a range of tens of thousands of addresses a call
    // per datagram would cost as much as the sending itself.
    sockaddr_in targets[maxPending];
    mmsghdr messages[maxPending];
    iovec payload{const_cast<char *>(request.constData()), size_t(request.size())};
    for (int i = 0; i < pendingCount; ++i) {
        targets[i] = sockaddr_in{};
        targets[i].sin_family = AF_INET;
        targets[i].sin_port = htons(discoveryPort);
        targets[i].sin_addr.s_addr = htonl(pending[i].destination);
        messages[i] = mmsghdr{};
        messages[i].msg_hdr.msg_name = &targets[i];
        messages[i].msg_hdr.msg_namelen = sizeof targets[i];
        messages[i].msg_hdr.msg_iov = &payload;
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    while (next < pendingCount) {
        // One call for each run of requests from the same socket.
        QUdpSocket *socket = pending[next].socket;
        int end = next + 1;
        while (end < pendingCount && pending[end].socket == socket)
            ++end;
        const int sent = ::sendmmsg(int(socket->socketDescriptor()), messages + next,
                                    unsigned(end - next), MSG_DONTWAIT);
        if (sent <= 0) {
            // A full buffer keeps the rest for the next pass, a while at most; any other error
            // is the first datagram's own.
            const int error = errno;
            const bool full = error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS;
            if (full && heldPasses < maxHeldPasses)
                break;
            ++reportOf(pending[next]).done;
            failed(reportOf(pending[next]), pending[next].destination, qt_error_string(error));
            ++next;
            continue;
        }
        for (int i = next; i < next + sent; ++i) {
            ++reportOf(pending[i]).sent;
            ++reportOf(pending[i]).done;
        }
        taken += quint64(sent);
        next += sent;
    }
#else
    for (; next < pendingCount; ++next) {
        const Pending &one = pending[next];
        if (one.socket->writeDatagram(request, QHostAddress(one.destination), discoveryPort) ==
            request.size()) {
            ++reportOf(one).sent;
            ++taken;
        } else if (one.socket->error() == QAbstractSocket::TemporaryError &&
                   heldPasses < maxHeldPasses) {
            break;
        } else {
            failed(reportOf(one), one.destination, one.socket->errorString());
        }
        ++reportOf(one).done;
    }
#endif
    // What is left waits for the next pass.
    heldPasses = next == 0 && pendingCount > 0 ? heldPasses + 1 : 0;
    std::copy(pending + next, pending + pendingCount, pending);
    pendingCount -= next;
    return taken;
}
