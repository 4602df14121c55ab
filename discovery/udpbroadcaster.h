#pragma once

#include "addressranges.h"
#include "searchreport.h"

#include <QString>
#include <QWidget>

class DeviceSearch;
struct DeviceRecord;

// The device search as the main window uses it: a search at every sendBroadcast(), and the
// devices found since, read by index. A widget only so that the window can own it; it is never
// shown.
class UDPBroadcaster : public QWidget
{
    Q_OBJECT

public:
    UDPBroadcaster();
    ~UDPBroadcaster() override;

    // Starts a search: empties the list, sends the request and opens a 5000 ms window.
    void sendBroadcast();
    // Address ranges every later search also sends the request to, one address at a time.
    void setRanges(const QVector<AddressRange> &ranges);
    // Sends no more requests to the ranges, which the next search asks again from the start.
    void stopSending();
    // True while requests go out to the ranges.
    bool isSendingRanges() const;
    int deviceCount() const;
    // Leaves the strings unchanged when index is not that of a listed device.
    void getDevice(QString &serialNumber, QString &ipAddress, QString &macAddress, int index);
    // The whole record, with where its answer came in; index must be that of a listed device.
    const DeviceRecord &device(int index) const;
    // True from sendBroadcast() until the receive window closes.
    bool isReceiving() const;
    // What the latest search saw besides its devices, for the status line.
    const SearchReport &report() const;

signals:
    // One record has been appended to the list.
    void deviceFound();
    // The record index no longer names a range: the device answered the broadcast too.
    void deviceChanged(int index);
    // The receive window has closed.
    void searchFinished();
    // The report changed: requests went out to the ranges, or late answers came.
    void reportChanged();

private:
    DeviceSearch *search = nullptr;
};
