#pragma once

#include "devicelistfile.h"

#include <QSet>
#include <QVector>

// A site against its list: which devices of the list have answered so far and which not yet.
class DeviceListCheck
{
public:
    DeviceListCheck() = default;
    // A device named twice counts once.
    explicit DeviceListCheck(const QVector<ListedDevice> &devices);

    bool isEmpty() const;
    bool isListed(const QString &serialNumber) const;
    void answered(const QString &serialNumber);
    bool allAnswered() const;
    // The devices of the list that have not answered, in the list's order.
    QVector<ListedDevice> missing() const;

private:
    QVector<ListedDevice> expected;
    QSet<QString> listed;
    QSet<QString> answeredSerials;
};
