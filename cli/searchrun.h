#pragma once

#include "clioptions.h"
#include "devicelistcheck.h"
#include "deviceoutput.h"
#include "firewallcheck.h"

#include <cstdio>
#include <QObject>
#include <QStringList>

class DeviceSearch;
class SearchStatus;
class QTimer;

// One run of the program: the searches the options ask for, each device written to out as it
// is listed, once per serial number over the whole run, and the output closed at the end. A run
// that lists nothing says why on err, in one line.
class SearchRun : public QObject
{
    Q_OBJECT

public:
    SearchRun(const CliOptions &options, std::FILE *out, std::FILE *err, QObject *parent = nullptr);
    ~SearchRun() override;

    // The devices that must answer: the run then succeeds only when they all did, and a watch
    // ends as soon as they have.
    void expect(const QVector<ListedDevice> &devices);
    // Opens the sockets and starts the first search. False, with nothing sent and an empty
    // output of the format written (for JSON "[]"), when no socket could be bound; error says
    // why.
    bool start(QString *error);
    // Ends the run at once (Ctrl+C): closes the output and emits done().
    void interrupt();
    // 4 when not one request went out to a range, else 0 when a device was listed (with
    // expected devices: when all of them answered), 1 when none.
    int exitStatus() const;
    static constexpr int rangeUnsentStatus = 4;

signals:
    void done();

private:
    void deviceFound();
    void watchedAnswer(const DeviceRecord &record);
    // The expected devices that did not answer, on err and in JSON.
    void writeMissing();
    void searchAgain();
    void searchFinished();
    void finish();
    // Names on err the ranges to which nothing could be sent or where nobody answered, when
    // devices were listed (otherwise the message at the end does).
    void tellAboutRanges();
    // The verdict on the latest search, as it ended.
    SearchStatus verdict() const;
    // Why the list is empty, in one line: the cause the window's status line names, and its
    // details.
    QString emptyListMessage() const;

    const CliOptions options;
    std::FILE *const err;
    DeviceOutput output;
    DeviceSearch *search = nullptr;
    QTimer *repeatTimer = nullptr;
    bool againWhenFinished = false;
    DeviceListCheck expected;
    // Looked for once a run, and only when it could explain an empty list.
    const FirewallLookup firewall = firewallLookedForOnce();
    QStringList lastRangeLines;
    bool rangeNotSearched = false;
    bool finished = false;
};
