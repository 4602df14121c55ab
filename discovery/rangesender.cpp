#include "rangesender.h"

#include "discoverydatagram.h"
#include "discoverylog.h"
#include "terminaltext.h"

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

void RangeSender::start(const QVector<AddressRange> &newRanges, const SourceFor &newSourceFor,
                        QList<SearchReport::RangeReport> *newReports)
{
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
    issued = 0;
    pendingCount = 0;
    lastLocal = 0;
    lastSource = Source();
    sending = !ranges.isEmpty();
    clock.start();
    sinceProgress.start();
    if (sending)
        sendDue();
}

void RangeSender::stop()
{
    sending = false;
    timer->stop();
}

bool RangeSender::isSending() const
{
    return sending;
}

void RangeSender::sendDue()
{
    // Requests due by now: one at the start, then as many as the rate allows.
    const qint64 startNs = clock.nsecsElapsed();
    const quint64 due =
        rate == 0 ? ~quint64(0) : quint64(startNs) * quint64(rate) / 1000000000u + 1;
    int sinceClock = 0;
    while (sending && issued < due) {
        const AddressRange &range = ranges.at(rangeIndex);
        SearchReport::RangeReport &report = (*reports)[rangeIndex];
        if (nextAddress == range.first) {
            qCInfo(lcDiscovery, "range %s: %u address%s", qPrintable(range.text), range.size(),
                   range.size() == 1 ? "" : "es");
            // Each range names the local addresses it uses.
            lastLocal = 0;
        }
        sendTo(nextAddress, report);
        ++issued;
        ++report.done;
        if (nextAddress == range.last) {
            flush();
            qCInfo(lcDiscovery, "range %s: %u requests sent, %u not sent", qPrintable(range.text),
                   report.sent, report.done - report.sent);
            if (++rangeIndex == ranges.size()) {
                sending = false;
                emit progressed();
                emit done();
                return;
            }
            nextAddress = ranges.at(rangeIndex).first;
        } else {
            ++nextAddress;
        }
        if (++sinceClock == clockEvery) {
            sinceClock = 0;
            if (clock.nsecsElapsed() - startNs > batchBudgetNs)
                break;
        }
    }
    flush();
    if (sinceProgress.elapsed() >= progressIntervalMs) {
        sinceProgress.start();
        emit progressed();
    }
    scheduleNext();
}

void RangeSender::scheduleNext()
{
    if (!sending)
        return;
    if (rate == 0) {
        timer->start(0);
        return;
    }
    // The moment the next request is due, at the earliest in the next pass of the loop.
    const qint64 dueMs = qint64(issued * 1000 / quint64(rate));
    timer->start(int(qBound(qint64(0), dueMs - clock.elapsed(), qint64(1000))));
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
           qPrintable(QHostAddress(destination).toString()), qUtf8Printable(terminalText(error)));
}

void RangeSender::sendTo(quint32 destination, SearchReport::RangeReport &report)
{
    QString error;
    const quint32 local = routes.sourceFor(destination, discoveryPort, &error);
    if (local == 0) {
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
                   qUtf8Printable(terminalText(lastSource.interfaceName)));
        }
    }
    if (!lastSource.socket) {
        ++report.unbound;
        return;
    }
    if (lastSource.socket != pendingSocket || pendingCount == maxPending)
        flush();
    pendingSocket = lastSource.socket;
    pending[pendingCount++] = Pending{destination, rangeIndex};
}

void RangeSender::flush()
{
    static const QByteArray request = discoveryRequest();
    const int count = pendingCount;
    pendingCount = 0;
    if (count == 0)
        return;
    const auto reportOf = [this](const Pending &one) -> SearchReport::RangeReport & {
        return (*reports)[one.range];
    };
#ifdef Q_OS_LINUX
    // Many datagrams in one system call: for a range of tens of thousands of addresses a call
    // per datagram would cost as much as the sending itself.
    sockaddr_in targets[maxPending];
    mmsghdr messages[maxPending];
    iovec payload{const_cast<char *>(request.constData()), size_t(request.size())};
    for (int i = 0; i < count; ++i) {
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
    const int descriptor = int(pendingSocket->socketDescriptor());
    for (int next = 0; next < count;) {
        const int sent =
            ::sendmmsg(descriptor, messages + next, unsigned(count - next), MSG_DONTWAIT);
        if (sent <= 0) {
            // The first datagram of the rest failed; the system says why.
            failed(reportOf(pending[next]), pending[next].destination, qt_error_string(errno));
            ++next;
            continue;
        }
        for (int i = next; i < next + sent; ++i)
            ++reportOf(pending[i]).sent;
        next += sent;
    }
#else
    for (int i = 0; i < count; ++i) {
        const Pending &one = pending[i];
        if (pendingSocket->writeDatagram(request, QHostAddress(one.destination), discoveryPort) ==
            request.size())
            ++reportOf(one).sent;
        else
            failed(reportOf(one), one.destination, pendingSocket->errorString());
    }
#endif
}
