#pragma once

#include "addressranges.h"
#include "devicelistfile.h"

#include <QString>
#include <QStringList>

enum class OutputFormat { Table, Csv, Json, JsonLines };

// What the command line asks for.
struct CliOptions
{
    OutputFormat format = OutputFormat::Table;
    // The receive window of each search.
    int timeoutMs = 5000;
    // 0: no limit.
    int count = 0;
    // Empty: every interface.
    QStringList interfaces;
    // 0: one search only.
    int repeatSeconds = 0;
    // Addresses asked one by one besides the broadcast, at most rate requests per second.
    QVector<AddressRange> ranges;
    int rate = 2000;
    bool broadcast = true;
    // Events as they happen instead of lists; a device is lost after lostAfter searches without
    // an answer.
    bool watch = false;
    int lostAfter = 2;
    // List files and serial numbers of the devices that must answer, as typed.
    QStringList expected;
    // 0: no limit on a watch.
    int totalTimeoutSeconds = 0;
    // What the search does, on standard error.
    bool verbose = false;
    bool help = false;
    bool version = false;
};

// Reads the arguments after the program name, "--name value" or "--name=value". On a usage
// error returns false with error saying which argument is wrong.
bool parseCliOptions(const QStringList &arguments, CliOptions *options, QString *error);

// The devices that --expect names: each argument a list file, when there is such a file, or
// else a serial number. On a file that cannot be read or is no list, false with error saying
// which and why.
bool readExpected(const QStringList &arguments, QVector<ListedDevice> *devices, QString *error);

// The first of names that is not among available, or an empty text.
QString firstUnknownInterface(const QStringList &names, const QStringList &available);

// The synopsis, shown after a usage error.
QString usageText();
// The synopsis and what every option does, for --help.
QString helpText();
