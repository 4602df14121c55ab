#pragma once

#include "addressranges.h"
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
// keeps serving the window between them.
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
    // Starts sending to ranges; reports gets one entry per range and follows the sending.
    // reports must stay in place until done() or stop().
    void start(const QVector<AddressRange> &ranges, const SourceFor &sourceFor,
               QList<SearchReport::RangeReport> *reports);
    // Sends nothing more.
    void stop();
    bool isSending() const;

signals:
    // More requests went out; told every 100 ms at most, and at the end.
    void progressed();
    // The last request went out (or could not).
    void done();

private:
    void sendDue();
    // Finds the socket for destination and queues the request there.
    void sendTo(quint32 destination, SearchReport::RangeReport &report);
    // Sends the queued requests.
    void flush();
    void failed(SearchReport::RangeReport &report, quint32 destination, const QString &error);
    void scheduleNext();

    QTimer *timer = nullptr;
    RouteLookup routes;
    int rate = defaultRate;
    QVector<AddressRange> ranges;
    SourceFor sourceFor;
    QList<SearchReport::RangeReport> *reports = nullptr;
    int rangeIndex = 0;
    quint32 nextAddress = 0;
    quint64 issued = 0;
    QElapsedTimer clock;
    QElapsedTimer sinceProgress;
    bool sending = false;
    // The source of the last destination, spared the lookup of its socket for the next.
    quint32 lastLocal = 0;
    Source lastSource;
    // Requests queued for one socket, sent together.
    struct Pending
    {
        quint32 destination = 0;
        int range = 0;
    };
    static constexpr int maxPending = 64;
    Pending pending[maxPending];
    int pendingCount = 0;
    QUdpSocket *pendingSocket = nullptr;
};
