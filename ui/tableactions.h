#pragma once

#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

class QAction;
class QTableWidget;
class QWidget;

// What the user can do with the device table besides selecting: open, copy, save, refresh and
// search other networks, by key and from the table's context menu. The row actions work on the
// selected row; what opening, saving and refreshing do is up to the window, which hears of them by
// signal.
class TableActions : public QObject
{
    Q_OBJECT

public:
    // The actions go on table and on window, whose keys they take; both must outlive this.
    TableActions(QTableWidget *table, QWidget *window);

    // The row actions are enabled only while a row is selected.
    void setRowSelected(bool selected);
    // Actions the menu offers after "Search other networks…".
    void addMenuActions(const QList<QAction *> &actions);

signals:
    void openRequested();
    void saveRequested();
    void refreshRequested();
    void searchOtherNetworksRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The menu at the selected row, or at the top of the table when none is selected.
    void showMenuForSelection();
    // The menu of the table: the row's actions when onRow, and Save list as CSV.
    void showContextMenu(const QPoint &viewportPosition, bool onRow);
    // The table row that is selected, or -1.
    int selectedRow() const;
    QString selectedText(int column) const;
    void copyToClipboard(const QString &text);
    void copyRow();

    QTableWidget *table;
    QAction *openAction = nullptr;
    QAction *copyIpAction = nullptr;
    QAction *copyMacAction = nullptr;
    QAction *copySerialAction = nullptr;
    QAction *copyRowAction = nullptr;
    QAction *saveAction = nullptr;
    QAction *refreshAction = nullptr;
    QAction *searchOtherAction = nullptr;
    QAction *menuAction = nullptr;
    QList<QAction *> moreActions;
    QPointer<QMenu> openMenu;
};
