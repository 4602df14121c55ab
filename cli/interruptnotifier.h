#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into the signal interrupted(), delivered by the event loop: the
// handler only writes a byte into a pipe, whose other end the event loop watches. One at a
// time; while it lives the two signals no longer end the process.
class InterruptNotifier : public QObject
{
    Q_OBJECT

public:
    explicit InterruptNotifier(QObject *parent = nullptr);
    ~InterruptNotifier() override;

    // False when the pipe or the handlers could not be set up.
    bool isActive() const;

signals:
    void interrupted();

private:
    void readPipe();

    QSocketNotifier *notifier = nullptr;
};
