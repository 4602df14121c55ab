#include "addressconflicts.h"

QVector<int> AddressConflicts::add(const QString &address, int row)
{
    Listed &listed = byAddress[address];
    if (++listed.count == 1) {
        listed.firstRow = row;
        return {};
    }
    // The row listed first is new to the conflict only when this is the second.
    return listed.count == 2 ? QVector<int>{listed.firstRow, row} : QVector<int>{row};
}

bool AddressConflicts::isConflict(const QString &address) const
{
    return byAddress.value(address).count > 1;
}

void AddressConflicts::clear()
{
    byAddress.clear();
}
