#pragma once

#include "clioptions.h"
#include "devicewriter.h"

#include <cstdio>
#include <memory>
#include <QSet>
#include <QString>

struct DeviceRecord;
struct ListedDevice;
class WatchPrinter;

// What a run writes to its output: the devices in the chosen format, each once per serial
// number over the whole run, or a watch's events; and whether as many devices as --count asks
// for are out. Every piece is flushed as it is written, also into a pipe.
class DeviceOutput
{
public:
    DeviceOutput(const CliOptions &options, std::FILE *out);
    ~DeviceOutput();

    bool isWatch() const;
    // What comes before the first device.
    void begin();
    enum class Listing { New, Repeated };
    // Writes record unless a device of its serial number was written before.
    Listing device(const DeviceRecord &record);
    // A watch's event for an answer of record.
    void watchedAnswer(const DeviceRecord &record);
    // An expected device that did not answer; only JSON lists it, a watch does not.
    void missing(const ListedDevice &device);
    enum class Run { Going, Over };
    // What a search's end releases; a watch tells of it only while the run goes on.
    void searchEnded(Run run);
    // Closes the output; a watch has nothing to close.
    void end();

    // No device was written (a watch: none answered).
    bool isEmpty() const;
    int deviceCount() const;
    // As many devices written as --count asks for.
    bool countReached() const;
    // How the watch ended, for standard error.
    QString watchSummary() const;

private:
    void write(const QString &text);

    std::FILE *const out;
    const int count;
    DeviceWriter writer;
    std::unique_ptr<WatchPrinter> watch;
    QSet<QString> writtenSerials;
};
