#pragma once

#include "addressmarks.h"
#include "devicerecord.h"
#include "mainwindow.h"
#include "watchrows.h"

#include <deque>
#include <QHash>
#include <QPointer>
#include <QTableWidget>
#include <QVector>

// The kept rows of a watch as the table shows them: one row of items a WatchRows row, greyed,
// bold (new), italic (not in the list) or highlighted as its marks say, with its tooltip; the
// rows of devices that answered carry the address marks of the window's own rows too.
class WatchTable
{
public:
    // table must outlive this.
    explicit WatchTable(QTableWidget *table);
    ~WatchTable();
    WatchTable(const WatchTable &) = delete;
    WatchTable &operator=(const WatchTable &) = delete;

    // Shows count answers of the running search; the rows of devices that answer again after
    // they were not answering come back.
    QVector<int> answered(const DeviceRecord *records, int count, const QDateTime &when,
                          WatchRows::Newness newness);
    // The broadcaster changed the record of an answer shown (it answered the broadcast too).
    void recordChanged(const DeviceRecord &record);
    void searchStarted();
    void searchEnded();
    void compareWith(const QVector<ListedDevice> &list);
    // Takes the rows out of the table and forgets them.
    void clear();
    // Shows row index highlighted until endHighlights().
    void highlight(int index);
    void endHighlights();
    const WatchRows &rows() const { return watchRows; }

private:
    // Notes the latest answer of its device; says whether its address marks may have changed.
    enum class Marks { Same, Changed };
    Marks keepAnswer(const DeviceRecord &record);
    // Judges every row's address anew and shows the rows placed.
    void markAll();
    void showRow(int index);
    void placeNewRows();
    void detachItems();

    // The window may delete the table first, its items taken out.
    QPointer<QTableWidget> table;
    WatchRows watchRows;
    // The items the table shows, one record a row of watchRows; a deque never moves them.
    std::deque<MainWindow::deviceInfo> items;
    QVector<int> highlighted;
    // The latest answer of each device by serial number: what its address marks are made from.
    QHash<QString, DeviceRecord> answers;
    // One entry a row of watchRows.
    AddressMarks marks;
};
