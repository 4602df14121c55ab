#include "watchtable.h"

#include "devicecolumn.h"
#include "emptytable.h"

#include <QTableWidget>

WatchTable::WatchTable(QTableWidget *table)
    : table(table)
    , marks(table)
{}

WatchTable::~WatchTable()
{
    // The table never owns the items: they leave their cells before they go.
    if (table && !items.empty())
        detachItems();
}

QVector<int> WatchTable::answered(const DeviceRecord *records, int count, const QDateTime &when,
                                  WatchRows::Newness newness)
{
    QVector<int> back;
    // Rows to show again: changed, or just become part of a conflict.
    QVector<int> changed;
    bool markAgain = false;
    for (int i = 0; i < count; ++i) {
        const DeviceRecord &record = records[i];
        const Marks addressMarks = keepAnswer(record);
        const WatchRows::Update update = watchRows.answered(record, when, newness);
        if (update.appended) {
            changed += marks.add(record, QHostAddress(record.ipAddress), update.row);
            continue;
        }
        // Another address, or another network: every row's conflicts are judged again.
        markAgain = markAgain || addressMarks == Marks::Changed;
        if (update.back)
            back.append(update.row);
        if (update.changed)
            changed.append(update.row);
    }
    if (markAgain) {
        markAll();
    } else {
        // Rows appended are shown as they are placed.
        for (int index : std::as_const(changed)) {
            if (index < int(items.size()))
                showRow(index);
        }
    }
    placeNewRows();
    return back;
}

void WatchTable::recordChanged(const DeviceRecord &record)
{
    if (keepAnswer(record) == Marks::Changed)
        markAll();
}

void WatchTable::searchStarted()
{
    for (int index : watchRows.searchStarted())
        showRow(index);
}

void WatchTable::searchEnded()
{
    for (int index : watchRows.searchEnded())
        showRow(index);
}

void WatchTable::compareWith(const QVector<ListedDevice> &list)
{
    // Rows may have gone: every row is placed anew.
    detachItems();
    highlighted.clear();
    watchRows.compareWith(list);
    markAll();
    placeNewRows();
}

void WatchTable::clear()
{
    detachItems();
    highlighted.clear();
    watchRows.clear();
    answers.clear();
    marks.clear(table);
}

void WatchTable::highlight(int index)
{
    if (highlighted.contains(index))
        return;
    highlighted.append(index);
    showRow(index);
}

void WatchTable::endHighlights()
{
    const QVector<int> ended = highlighted;
    highlighted.clear();
    for (int index : ended)
        showRow(index);
}

WatchTable::Marks WatchTable::keepAnswer(const DeviceRecord &record)
{
    const auto known = answers.find(record.serialNumber);
    if (known == answers.end()) {
        answers.insert(record.serialNumber, record);
        // Its row, if it had one, came from the compared list and had no marks.
        return Marks::Changed;
    }
    const DeviceRecord &before = *known;
    const bool same = before.ipAddress == record.ipAddress &&
                      before.interfaceName == record.interfaceName &&
                      before.localAddress == record.localAddress &&
                      before.prefixLength == record.prefixLength && before.range == record.range;
    *known = record;
    return same ? Marks::Same : Marks::Changed;
}

void WatchTable::markAll()
{
    marks.clear(table);
    for (int index = 0; index < watchRows.rowCount(); ++index) {
        const auto answer = answers.constFind(watchRows.row(index).serialNumber);
        if (answer == answers.constEnd())
            marks.addUnanswered();
        else
            marks.add(*answer, QHostAddress(answer->ipAddress), index);
    }
    for (int index = 0; index < int(items.size()); ++index)
        showRow(index);
}

void WatchTable::showRow(int index)
{
    const WatchRows::Row &row = watchRows.row(index);
    MainWindow::deviceInfo &record = items[size_t(index)];
    record.ipItem.setData(Qt::DisplayRole, row.ipAddress);
    record.macItem.setData(Qt::DisplayRole, row.macAddress);
    const QVariant grey = WatchRows::isGreyed(row)
                              ? QVariant(table->palette().color(QPalette::Disabled, QPalette::Text))
                              : QVariant();
    const QVariant background =
        highlighted.contains(index)
            ? QVariant(table->palette().color(QPalette::Highlight).lighter(160))
            : QVariant();
    QVariant font;
    if (row.isNew || row.notInList) {
        QFont marked = table->font();
        marked.setBold(row.isNew);
        marked.setItalic(row.notInList);
        font = marked;
    }
    for (QTableWidgetItem *item :
         {static_cast<QTableWidgetItem *>(&record.serialItem),
          static_cast<QTableWidgetItem *>(&record.ipItem), &record.macItem}) {
        item->setData(Qt::ForegroundRole, grey);
        item->setData(Qt::BackgroundRole, background);
        item->setData(Qt::FontRole, font);
    }
    marks.mark(index, record.serialItem, record.ipItem, record.macItem, WatchRows::toolTip(row));
}

void WatchTable::placeNewRows()
{
    const int first = int(items.size());
    const int last = watchRows.rowCount();
    if (first == last)
        return;
    MainWindow::deviceInfo blank;
    for (QTableWidgetItem *item : {static_cast<QTableWidgetItem *>(&blank.serialItem),
                                   static_cast<QTableWidgetItem *>(&blank.ipItem), &blank.macItem})
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    for (int index = first; index < last; ++index) {
        items.push_back(blank);
        items.back().serialItem.setData(Qt::DisplayRole, watchRows.row(index).serialNumber);
        showRow(index);
    }
    // Below the rows there are, in whatever order the table was sorted.
    const int tableRow = table->rowCount();
    table->setRowCount(tableRow + last - first);
    for (int index = first; index < last; ++index) {
        MainWindow::deviceInfo &record = items[size_t(index)];
        const int at = tableRow + index - first;
        table->setItem(at, DeviceColumn::Serial, &record.serialItem);
        table->setItem(at, DeviceColumn::Ip, &record.ipItem);
        table->setItem(at, DeviceColumn::Mac, &record.macItem);
    }
    table->resizeColumnToContents(DeviceColumn::Mac);
}

void WatchTable::detachItems()
{
    emptyTable(table);
    items.clear();
}
