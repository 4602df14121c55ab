#include "tableactions.h"

#include "devicecolumn.h"
#include "devicecsv.h"

#include <functional>
#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QTableWidget>

TableActions::TableActions(QTableWidget *table, QWidget *window)
    : QObject(window)
    , table(table)
{
    const auto makeAction = [this, table](const QString &text, const QList<QKeySequence> &keys,
                                          QWidget *scope, const std::function<void()> &work) {
        auto *action = new QAction(text, this);
        action->setShortcuts(keys);
        // Keys on the table act only while it has the focus; on a button, Enter presses it.
        action->setShortcutContext(scope == table ? Qt::WidgetWithChildrenShortcut
                                                  : Qt::WindowShortcut);
        scope->addAction(action);
        connect(action, &QAction::triggered, this, work);
        return action;
    };
    openAction = makeAction(tr("Open in browser"),
                            {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}, table,
                            [this] { emit openRequested(); });
    copyIpAction = makeAction(tr("Copy IP address"), {}, table,
                              [this] { copyToClipboard(selectedText(DeviceColumn::Ip)); });
    copyMacAction = makeAction(tr("Copy MAC address"), {}, table,
                               [this] { copyToClipboard(selectedText(DeviceColumn::Mac)); });
    copySerialAction = makeAction(tr("Copy serial number"), {}, table,
                                  [this] { copyToClipboard(selectedText(DeviceColumn::Serial)); });
    copyRowAction = makeAction(tr("Copy row"), {QKeySequence::Copy}, window, [this] { copyRow(); });
    saveAction = makeAction(tr("Save list as CSV..."), {QKeySequence::Save}, window,
                            [this] { emit saveRequested(); });
    refreshAction =
        makeAction(tr("Refresh"), {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)},
                   window, [this] { emit refreshRequested(); });
    searchOtherAction =
        makeAction(tr("Search other networks…"), {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)},
                   window, [this] { emit searchOtherNetworksRequested(); });
    // The Menu key is not among the keys: the window system turns it into a context menu
    // event of its own, and a shortcut as well would open a second menu beside the first.
    menuAction = makeAction(QString(), {QKeySequence(Qt::SHIFT | Qt::Key_F10)}, table,
                            [this] { showMenuForSelection(); });
    setRowSelected(false);

    // Mouse clicks bring their menu event to the viewport, keys to the table itself.
    table->installEventFilter(this);
    table->viewport()->installEventFilter(this);
}

void TableActions::setRowSelected(bool selected)
{
    for (QAction *action :
         {openAction, copyIpAction, copyMacAction, copySerialAction, copyRowAction})
        action->setEnabled(selected);
}

void TableActions::addMenuActions(const QList<QAction *> &actions)
{
    moreActions += actions;
}

bool TableActions::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ContextMenu || (watched != table && watched != table->viewport()))
        return QObject::eventFilter(watched, event);
    const auto *menuEvent = static_cast<QContextMenuEvent *>(event);
    if (menuEvent->reason() == QContextMenuEvent::Mouse && watched == table->viewport()) {
        const QModelIndex index = table->indexAt(menuEvent->pos());
        if (index.isValid())
            table->selectRow(index.row());
        showContextMenu(menuEvent->pos(), index.isValid());
    } else {
        showMenuForSelection();
    }
    // Handled here: passed on, it would reach the window, which offers a menu of its own.
    return true;
}

void TableActions::showMenuForSelection()
{
    const int row = selectedRow();
    const QPoint position =
        row < 0 ? QPoint(8, 8) : table->visualItemRect(table->item(row, DeviceColumn::Ip)).center();
    showContextMenu(position, row >= 0);
}

void TableActions::showContextMenu(const QPoint &viewportPosition, bool onRow)
{
    // One menu at a time, however many requests a key brought.
    if (openMenu && openMenu->isVisible())
        return;
    // Not modal: the menu goes when it is used or dismissed, the event loop runs on meanwhile.
    auto *menu = new QMenu(table);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (onRow) {
        menu->addActions(
            {openAction, copyIpAction, copyMacAction, copySerialAction, copyRowAction});
        menu->addSeparator();
    }
    menu->addAction(saveAction);
    menu->addAction(searchOtherAction);
    menu->addActions(moreActions);
    menu->popup(table->viewport()->mapToGlobal(viewportPosition));
    openMenu = menu;
}

int TableActions::selectedRow() const
{
    const QList<QTableWidgetItem *> selected = table->selectedItems();
    return selected.isEmpty() ? -1 : selected.constFirst()->row();
}

QString TableActions::selectedText(int column) const
{
    const int row = selectedRow();
    const QTableWidgetItem *item = row < 0 ? nullptr : table->item(row, column);
    return item ? item->text() : QString();
}

void TableActions::copyToClipboard(const QString &text)
{
    if (selectedRow() >= 0)
        QGuiApplication::clipboard()->setText(text);
}

void TableActions::copyRow()
{
    copyToClipboard(DeviceCsv::clipboardRow(selectedText(DeviceColumn::Serial),
                                            selectedText(DeviceColumn::Ip),
                                            selectedText(DeviceColumn::Mac)));
}
