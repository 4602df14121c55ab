#pragma once

#include <QHash>
#include <QString>
#include <QVector>

// Finds listed devices that answer from the same address. Connect reaches only one of them;
// devices shipped with the same factory address cause this.
class AddressConflicts
{
public:
    // Notes that the row with this index answers from address. Returns the rows that share an
    // address with another row because of this one, the new row included, or nothing when the
    // address is still unique.
    QVector<int> add(const QString &address, int row);
    bool isConflict(const QString &address) const;
    void clear();

private:
    // Only the first row of an address is ever named again, when a second joins it.
    struct Listed
    {
        int firstRow = -1;
        int count = 0;
    };
    QHash<QString, Listed> byAddress;
};
