#include "emptytable.h"

#include <QSignalBlocker>
#include <QTableWidget>

void emptyTable(QTableWidget *table)
{
    {
        const QSignalBlocker quiet(table->model());
        for (int row = 0; row < table->rowCount(); ++row) {
            for (int column = 0; column < table->columnCount(); ++column)
                table->takeItem(row, column);
        }
    }
    table->setRowCount(0);
}
