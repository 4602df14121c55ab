#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into the signal interrupted(), delivered by the event loop: the
// handler only writes a byte into a pipe, whose other end the event loop watches. One object
// at a time. The first of each signal is caught; a second one ends the process as usual.
class InterruptNotifier : public QObject
{
    Q_OBJECT

public:
    explicit InterruptNotifier(QObject *parent = nullptr);
    ~InterruptNotifier() override;

signals:
    void interrupted();

private:
    void readPipe();

    QSocketNotifier *notifier = nullptr;
};
