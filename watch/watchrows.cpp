#include "watchrows.h"

#include <QStringList>
#include <utility>

namespace {
QString clockText(const QDateTime &when)
{
    return when.isValid() ? when.toString(QStringLiteral("HH:mm:ss")) : QStringLiteral("–");
}
} // namespace

WatchRows::Update WatchRows::answered(const DeviceRecord &record, const QDateTime &when,
                                      Newness newness)
{
    Update update;
    const QVector<DeviceWatch::Change> changes = watch->answered(record, when);
    const auto known = rowOfSerial.constFind(record.serialNumber);
    if (known == rowOfSerial.constEnd()) {
        Row row;
        row.serialNumber = record.serialNumber;
        row.ipAddress = record.ipAddress;
        row.macAddress = record.macAddress;
        row.lastAnswer = when;
        row.isNew = newness == Newness::Marked;
        row.notInList = comparing;
        update.row = appendRow(row);
        update.appended = true;
        update.changed = true;
        return update;
    }
    update.row = *known;
    Row &row = rows[update.row];
    row.lastAnswer = when;
    if (row.missing) {
        // A listed device heard from for the first time: its row takes what it says.
        row.missing = false;
        row.answering = true;
        row.ipAddress = record.ipAddress;
        row.macAddress = record.macAddress;
        update.changed = true;
        return update;
    }
    for (const DeviceWatch::Change &change : changes) {
        if (change.event == DeviceWatch::Event::Back) {
            row.answering = true;
            update.back = true;
        } else if (change.event == DeviceWatch::Event::Moved) {
            row.previousAddress = change.previousAddress;
            row.ipAddress = record.ipAddress;
        }
    }
    update.changed = !changes.isEmpty() || row.macAddress != record.macAddress;
    row.macAddress = record.macAddress;
    return update;
}

QVector<int> WatchRows::searchStarted()
{
    QVector<int> changed;
    for (int index = 0; index < rows.size(); ++index) {
        if (rows[index].isNew) {
            rows[index].isNew = false;
            changed.append(index);
        }
    }
    return changed;
}

QVector<int> WatchRows::searchEnded()
{
    QVector<int> changed;
    for (const DeviceWatch::Change &change : watch->searchEnded()) {
        const int index = rowOfSerial.value(change.device.serialNumber, -1);
        if (index >= 0) {
            rows[index].answering = false;
            changed.append(index);
        }
    }
    return changed;
}

void WatchRows::compareWith(const QVector<ListedDevice> &list)
{
    // The devices only an earlier list named, never heard from, have no row any more.
    QVector<Row> kept;
    rowOfSerial.clear();
    for (const Row &row : std::as_const(rows)) {
        if (!row.missing) {
            rowOfSerial.insert(row.serialNumber, int(kept.size()));
            kept.append(row);
        }
    }
    rows = kept;
    listed.clear();
    for (const ListedDevice &device : list)
        listed.insert(device.serialNumber);
    comparing = true;
    for (Row &row : rows)
        row.notInList = !listed.contains(row.serialNumber);
    for (const ListedDevice &device : list) {
        if (rowOfSerial.contains(device.serialNumber))
            continue;
        Row row;
        row.serialNumber = device.serialNumber;
        row.ipAddress = device.ipAddress;
        row.macAddress = device.macAddress;
        row.answering = false;
        row.missing = true;
        appendRow(row);
    }
}

void WatchRows::clear()
{
    watch.emplace();
    rows.clear();
    rowOfSerial.clear();
    listed.clear();
    comparing = false;
}

int WatchRows::appendRow(const Row &row)
{
    rowOfSerial.insert(row.serialNumber, int(rows.size()));
    rows.append(row);
    return int(rows.size()) - 1;
}

int WatchRows::answeringCount() const
{
    return int(rows.size()) - notAnsweringCount() - missingCount();
}

int WatchRows::notAnsweringCount() const
{
    int count = 0;
    for (const Row &row : rows)
        count += !row.answering && !row.missing ? 1 : 0;
    return count;
}

int WatchRows::missingCount() const
{
    int count = 0;
    for (const Row &row : rows)
        count += row.missing ? 1 : 0;
    return count;
}

int WatchRows::notInListCount() const
{
    int count = 0;
    for (const Row &row : rows)
        count += row.notInList ? 1 : 0;
    return count;
}

bool WatchRows::isGreyed(const Row &row)
{
    return !row.answering || row.missing;
}

QString WatchRows::toolTip(const Row &row)
{
    QStringList lines;
    if (row.missing)
        lines << tr("In the list, not answering");
    else if (!row.answering)
        lines << tr("Not answering since %1").arg(clockText(row.lastAnswer));
    if (row.isNew)
        lines << tr("New: first answered at %1").arg(clockText(row.lastAnswer));
    if (!row.previousAddress.isEmpty())
        lines << tr("Answered from %1 before").arg(row.previousAddress);
    if (row.notInList)
        lines << tr("Answers, but is not in the list");
    return lines.join(QLatin1Char('\n'));
}

QString WatchRows::statusLine(Watching watching, const QDateTime &lastSearch) const
{
    // The line has room for about 55 characters, in two lines.
    if (comparing) {
        return tr("%1 answering, %2 not, %3 missing, %4 not in the list")
            .arg(answeringCount())
            .arg(notAnsweringCount())
            .arg(missingCount())
            .arg(notInListCount());
    }
    const QString line =
        watching == Watching::On
            ? tr("Watching: %1 answering, %2 not answering")
                  .arg(answeringCount())
                  .arg(notAnsweringCount())
            : tr("%1 answering, %2 not answering").arg(answeringCount()).arg(notAnsweringCount());
    if (!lastSearch.isValid())
        return line;
    //: The status line and the time the last search began.
    return tr("%1 (%2)").arg(line, clockText(lastSearch));
}
