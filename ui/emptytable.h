#pragma once

class QTableWidget;

// Empties the table without deleting its items, which belong to the rows that made them.
// Taking an item out of its cell is immediate; an item destroyed while still in the table is
// first looked up in the table's whole item list, which for thousands of rows freezes the
// window. The view hears of the emptied cells only through the removal of their rows that
// follows: told of every cell alone, it takes several times as long.
void emptyTable(QTableWidget *table);
