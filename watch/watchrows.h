#pragma once

#include "devicelistfile.h"
#include "devicewatch.h"

#include <optional>
#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QVector>

// The rows of a table kept across repeated searches: one a device, in the order first seen,
// each marked new, not answering, moved, missing from a list or not in it. Fed each answer and
// the start and end of each search; says which rows changed.
class WatchRows
{
    Q_DECLARE_TR_FUNCTIONS(WatchRows)

public:
    // Whether a device seen for the first time is marked new (only while watching).
    enum class Newness { Marked, Unmarked };

    struct Row
    {
        QString serialNumber;
        QString ipAddress;
        QString macAddress;
        // The address before the latest move, or empty.
        QString previousAddress;
        QDateTime lastAnswer;
        bool answering = true;
        bool isNew = false;
        // In the compared list and never heard from.
        bool missing = false;
        // Answers, but the compared list does not name it.
        bool notInList = false;
    };

    struct Update
    {
        int row = -1;
        bool appended = false;
        // Anything shown of the row changed.
        bool changed = false;
        // It answers again after it had been marked not answering.
        bool back = false;
    };

    // A device answered in the running search.
    Update answered(const DeviceRecord &record, const QDateTime &when, Newness newness);
    // A search begins: the new marks of the one before go.
    QVector<int> searchStarted();
    // The running search ended: the rows of devices that have now missed two in a row.
    QVector<int> searchEnded();
    // Marks the rows against a list: its devices that have not answered get rows of their own
    // (appended), those that answer but are not in it are marked. Replaces an earlier list, whose
    // rows of devices never heard from go: rows may move, so every row is to be shown anew.
    void compareWith(const QVector<ListedDevice> &list);
    bool isComparing() const { return comparing; }
    // Forgets every row and the compared list.
    void clear();

    int rowCount() const { return int(rows.size()); }
    const Row &row(int index) const { return rows.at(index); }
    int answeringCount() const;
    int notAnsweringCount() const;
    int missingCount() const;
    int notInListCount() const;

    // Shown in grey: not answering, or listed and never heard from.
    static bool isGreyed(const Row &row);
    static QString toolTip(const Row &row);
    // The status line; watching tells whether rounds of searches go on. While comparing with a
    // list it counts the list's marks instead of naming the watch and the last search's time.
    enum class Watching { On, Off };
    QString statusLine(Watching watching, const QDateTime &lastSearch) const;

private:
    int appendRow(const Row &row);

    std::optional<DeviceWatch> watch{std::in_place};
    QVector<Row> rows;
    QHash<QString, int> rowOfSerial;
    QSet<QString> listed;
    bool comparing = false;
};
