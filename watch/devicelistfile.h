#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QVector>

// A device from a list saved earlier. The address and the MAC text are empty when the list
// does not give them.
struct ListedDevice
{
    QString serialNumber;
    QString ipAddress;
    QString macAddress;
};

// Why a file is not a list of devices: the line (counted from 1, 0 for the file as a whole) and
// the reason.
struct DeviceListError
{
    int line = 0;
    QString reason;

    // "line 3: ..." or the reason alone.
    QString text() const;
};

// Reads the lists the window and the finder save: the window's CSV (its header in English or
// Polish, "," or ";" between fields) and the finder's CSV, JSON array and JSON lines. Quoted
// fields are unquoted and the apostrophe that keeps a spreadsheet from running a field as a
// formula is taken off again. Every device needs a serial number of 10 characters, listed once;
// an address, when given, is an IPv4 address. False, with the first fault, for anything else.
bool readDeviceList(const QByteArray &content, QVector<ListedDevice> *devices,
                    DeviceListError *error);
