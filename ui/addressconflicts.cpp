#include "addressconflicts.h"

QVector<int> AddressConflicts::add(const QString &address, int row)
{
    QVector<int> &rows = rowsByAddress[address];
    rows.append(row);
    if (rows.size() < 2)
        return {};
    // The rows that were listed before are new to the conflict only when this is the second.
    return rows.size() == 2 ? rows : QVector<int>{row};
}

bool AddressConflicts::isConflict(const QString &address) const
{
    return rowsByAddress.value(address).size() > 1;
}

void AddressConflicts::clear()
{
    rowsByAddress.clear();
}
