#pragma once

#include <QProcess>
#include <QStringList>

// A child process whose standard output and error are collected line by line while the test's event
// loop runs. Killed and reaped when destroyed.
class ChildProcess
{
public:
    ChildProcess(const QString &program, const QStringList &arguments);
    ~ChildProcess();

    // Starts the process and waits, running the event loop, until a line starts with prefix
    // (an empty prefix waits only for the start).
    bool start(const QString &readyPrefix, QString *error);

    // Every line of output so far.
    QStringList lines();
    // Lines that start with prefix, with the prefix removed.
    QStringList linesStartingWith(const QString &prefix);
    bool isRunning() const;
    // Kills the process and waits until it has gone.
    void stop();
    qint64 pid() const;

private:
    QProcess process;
    QByteArray pending;
    QStringList collected;
};
