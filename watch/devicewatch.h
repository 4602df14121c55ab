#pragma once

#include "devicerecord.h"

#include <QDateTime>
#include <QHash>
#include <QVector>

// The devices of a site over repeated searches, known by their serial numbers: which answer,
// which stopped answering, which came back and which answer from another address. Fed each
// answer as it comes and the end of each search; what changed comes back as events.
class DeviceWatch
{
public:
    static constexpr int defaultLostAfter = 2;

    enum class Event { Found, Lost, Back, Moved };

    struct Change
    {
        Event event;
        // The latest answer; for Lost the last one before the device fell silent.
        DeviceRecord device;
        // Moved: the address it answered from before.
        QString previousAddress;
    };

    struct Device
    {
        DeviceRecord record;
        // The address before the latest move, or empty.
        QString previousAddress;
        QDateTime lastAnswer;
        // Searches ended in a row without an answer, up to the one that made it lost.
        int missedSearches = 0;
        bool answering = true;
        // First seen in the latest search, or in the one running.
        bool isNew = true;
        bool answeredThisSearch = true;
        int firstSearch = 0;
    };

    // A device is lost once it missed lostAfter searches in a row.
    explicit DeviceWatch(int lostAfter = defaultLostAfter);

    // An answer of the running search, received at when: Found for a device not seen before,
    // Back for one that was lost, Moved (after Back) when the address changed; a second answer
    // in the same search changes nothing.
    QVector<Change> answered(const DeviceRecord &record, const QDateTime &when);
    // The running search ended: Lost for each device that has now missed lostAfter searches.
    QVector<Change> searchEnded();

    // Every device seen, in the order first seen.
    const QVector<Device> &devices() const;
    int answeringCount() const;
    int notAnsweringCount() const;
    int searchCount() const;

private:
    const int lostAfter;
    QVector<Device> seen;
    QHash<QString, int> indexOfSerial;
    int searches = 0;
};
