#pragma once

#include <QObject>

class QSocketNotifier;

// Turns Ctrl+C and the request to end into the signal interrupted(), delivered by the event
// loop. On Linux those are SIGINT and SIGTERM, whose handler only writes a byte into a pipe
// that the event loop watches; on Windows they are the console's Ctrl+C, Ctrl+Break and close
// events, whose handler runs on a thread of its own and posts to the event loop. One object at
// a time. The first of each is caught; a second one ends the process as usual.
class InterruptNotifier : public QObject
{
    Q_OBJECT

public:
    explicit InterruptNotifier(QObject *parent = nullptr);
    ~InterruptNotifier() override;

signals:
    void interrupted();

private:
#ifndef Q_OS_WIN
    void readPipe();

    QSocketNotifier *notifier = nullptr;
#endif
};
