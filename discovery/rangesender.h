#pragma once

#include "addressranges.h"
#include "datagramio.h"
#include "pacer.h"
#include "routelookup.h"
#include "searchreport.h"

#include <functional>
#include <QElapsedTimer>
#include <QObject>
#include <QVector>

class QTimer;
class QUdpSocket;

// Sends the request to every address of the search's ranges, one datagram each, in address
// order, at no more than a rate. Each goes out from port 44444 of the local address that the
// routing table picks for its destination, through the socket already listening there, so
// that the answer comes back to it. Works in short batches from a timer, so the event loop
// keeps serving the window between them; the pacer says how many may go out in each.
class RangeSender : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultRate = 2000;

    // The listening socket on a local address, or nullptr when there is none.
    struct Source
    {
        QUdpSocket *socket = nullptr;
        QString interfaceName;
    };
    using SourceFor = std::function<Source(quint32 localAddress)>;

    explicit RangeSender(QObject *parent = nullptr);
    ~RangeSender() override;

    // Requests per second; 0 sends without pause.
    void setRate(int perSecond);
    // Addresses the ranges pass over: local networks' broadcast addresses.
    void setPassedOver(const QVector<quint32> &addresses);
    // Starts sending to ranges, with a fresh report for each.
    void start(const QVector<AddressRange> &ranges, const SourceFor &sourceFor);
    // Sends nothing more; the reports stay.
    void stop();
    // Sends nothing more and forgets the reports.
    void clear();
    bool isSending() const;
    // One per range of the latest start(), following the sending.
    const QList<SearchReport::RangeReport> &reports() const;
    // A device in the range of report index answered its request.
    void countFound(int index);

signals:
    // More requests went out; told every 100 ms at most, and at the end.
    void progressed();
    // The last request went out (or could not).
    void done();

private:
    void sendDue();
    // Finds the socket for destination and queues the request there.
    void sendTo(quint32 destination, SearchReport::RangeReport &report);
    // Hands the queued requests to the system; how many it took. What the system could not
    // take for now (a full buffer) stays queued for the next pass.
    quint64 flush();
    void failed(SearchReport::RangeReport &report, quint32 destination, const QString &error);
    enum class Queue {
        Taken,
        // The system could not take the queued requests for now.
        Held,
    };
    void scheduleNext(Queue queue);
    // Logs the range just finished and moves to the next; false after the last.
    bool nextRange();

    QTimer *timer = nullptr;
    RouteLookup routes;
    Pacer pacer;
    int rate = defaultRate;
    QVector<quint32> passedOver;
    QVector<AddressRange> ranges;
    SourceFor sourceFor;
    QList<SearchReport::RangeReport> rangeReports;
    int rangeIndex = 0;
    quint32 nextAddress = 0;
    // Every address of the current range has been taken (sent to, queued or failed).
    bool rangeTaken = false;
    QElapsedTimer clock;
    QElapsedTimer sinceProgress;
    bool sending = false;
    // The source of the last destination, spared the lookup of its socket for the next.
    quint32 lastLocal = 0;
    Source lastSource;
    // Requests queued, sent together: runs of the same socket in one system call each.
    struct Pending
    {
        QUdpSocket *socket = nullptr;
        quint32 destination = 0;
        int range = 0;
    };
    static constexpr int maxPending = maxDatagramBatch;
    Pending pending[maxPending];
    int pendingCount = 0;
    // Passes in a row in which the system took none of the queued requests (its buffer full).
    int heldPasses = 0;
};
