#include "watchtable.h"

#include "devicecolumn.h"
#include "devicerecord.h"

#include <QSignalBlocker>
#include <QTableWidget>

WatchTable::WatchTable(QTableWidget *table)
    : table(table)
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
    for (int i = 0; i < count; ++i) {
        const WatchRows::Update update = watchRows.answered(records[i], when, newness);
        if (update.appended || !update.changed)
            continue;
        if (update.back)
            back.append(update.row);
        showRow(update.row);
    }
    placeNewRows();
    return back;
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
    placeNewRows();
}

void WatchTable::clear()
{
    detachItems();
    highlighted.clear();
    watchRows.clear();
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

void WatchTable::showRow(int index)
{
    const WatchRows::Row &row = watchRows.row(index);
    MainWindow::deviceInfo &record = items[size_t(index)];
    record.ipItem.setData(Qt::DisplayRole, row.ipAddress);
    record.macItem.setData(Qt::DisplayRole, row.macAddress);
    const QString tip = WatchRows::toolTip(row);
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
        item->setData(Qt::ToolTipRole, tip.isEmpty() ? QVariant() : QVariant(tip));
        item->setData(Qt::ForegroundRole, grey);
        item->setData(Qt::BackgroundRole, background);
        item->setData(Qt::FontRole, font);
    }
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
    // Taken out of their cells first, as the window does with its own rows: an item destroyed
    // in its cell is looked up in the whole table.
    {
        const QSignalBlocker quiet(table->model());
        for (int row = 0; row < table->rowCount(); ++row) {
            for (int column = 0; column < table->columnCount(); ++column)
                table->takeItem(row, column);
        }
    }
    table->setRowCount(0);
    items.clear();
}
