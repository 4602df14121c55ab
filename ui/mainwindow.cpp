#include "mainwindow.h"

#include "addressopener.h"
#include "devicerecord.h"
#include "emptytable.h"
#include "ipsortkey.h"
#include "listsaver.h"
#include "mainwindowform.h"
#include "rangedialog.h"
#include "rangesender.h"
#include "releasegradually.h"
#include "searchstatus.h"
#include "statusline.h"
#include "tableactions.h"
#include "udpbroadcaster.h"
#include "watchview.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QHostAddress>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

namespace {
constexpr int windowWidth = 748;
constexpr int windowHeight = 433;
// Rows placed in one pass at most: a few milliseconds of work.
constexpr int maxRowsPerPass = 4096;
// Every placing of rows repaints the table, which costs more than placing a few hundred rows:
// while devices keep coming, rows are placed at most this often (about once per frame).
constexpr int fillIntervalMs = 33;
// Fitting the MAC column measures up to a thousand rows, several milliseconds: while devices
// keep coming, it is done at most this often, and always once after the last of them.
constexpr int macFitIntervalMs = 250;
// Milliseconds left until interval has passed since clock started; 0 for a clock never started.
int msUntil(const QElapsedTimer &clock, int interval)
{
    if (!clock.isValid())
        return 0;
    return int(qBound(qint64(0), interval - clock.elapsed(), qint64(interval)));
}

} // namespace

bool MainWindow::deviceInfo::QTableWidgetItemIP::operator<(const QTableWidgetItem &other) const
{
    return ipSortKey(data(Qt::DisplayRole).toString()) <
           ipSortKey(other.data(Qt::DisplayRole).toString());
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<MainWindowForm>())
{
    setupForm();
    ui->mainToolBar->hide();
    // The form's status bar is not wanted; Qt hides it now and deletes it from the event loop.
    setStatusBar(nullptr);
    setWindowTitle(tr("Ostrel Scout"));

    createTable();
    createButtons();
    createLogo();
    createStatusLine();
    actions = new TableActions(table, this);
    connect(actions, &TableActions::openRequested, this, &MainWindow::connectSlot);
    connect(actions, &TableActions::saveRequested, this, [this] { saver->save(); });
    connect(actions, &TableActions::refreshRequested, this, &MainWindow::refreshSlot);
    connect(actions, &TableActions::searchOtherNetworksRequested, this,
            &MainWindow::searchOtherNetworks);
    saver = new ListSaver(table, this);
    startDiscovery();
    watch = new WatchView(table, broadcaster.get(), this);
    actions->addMenuActions({watch->keepWatchingAction(), watch->compareAction()});
    connect(watch, &WatchView::takingTable, this, [this] {
        detachRows();
        releaseGradually(rows, this);
        marks.clear(this);
    });
    connect(watch, &WatchView::statusChanged, this, &MainWindow::updateStatus);

    // Keyboard use: the table has the focus at start; Tab goes table, Refresh, Connect.
    setTabOrder(table, refreshButton);
    setTabOrder(refreshButton, connectButton);
    table->setFocus();

    setMinimumSize(windowWidth, windowHeight);
    setMaximumSize(windowWidth, windowHeight);
}

MainWindow::~MainWindow()
{
    // The records own the items the table shows: they go before the table does.
    detachRows();
    rows.clear();
    ui.reset();
    delete table;
    delete refreshButton;
    delete connectButton;
    delete logoLabel;
    appIcon.reset();
    broadcaster.reset();
}

void MainWindow::setupForm()
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("MainWindow"));
    resize(400, 300);

    ui->menuBar = new QMenuBar(this);
    ui->menuBar->setObjectName(QStringLiteral("menuBar"));
    setMenuBar(ui->menuBar);

    ui->mainToolBar = new QToolBar(this);
    ui->mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    addToolBar(ui->mainToolBar);

    ui->centralWidget = new QWidget(this);
    ui->centralWidget->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(ui->centralWidget);

    ui->statusBar = new QStatusBar(this);
    ui->statusBar->setObjectName(QStringLiteral("statusBar"));
    setStatusBar(ui->statusBar);

    //: A placeholder title, replaced before the window is shown. Keep it as it is.
    setWindowTitle(QCoreApplication::translate("MainWindow", "MainWindow"));
}

void MainWindow::createTable()
{
    table = new QTableWidget(this);
    table->setObjectName(QStringLiteral("deviceTable"));
    table->setColumnCount(DeviceColumn::Count);
    layOutTable();

    headerLabels << tr("Serial Number") << tr("IP") << tr("MAC");
    table->setHorizontalHeaderLabels(headerLabels);
    table->horizontalHeader()->setStretchLastSection(true);
    for (int column = 0; column < table->columnCount(); ++column)
        table->setColumnWidth(column, 163);
    table->verticalHeader()->hide();
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    sortAscending = {{true, true, true}};
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab leaves the table for the buttons instead of walking its cells.
    table->setTabKeyNavigation(false);
    table->setAccessibleName(tr("Devices"));
    table->setAccessibleDescription(tr("The Ostrel devices that answered the search, one a row: "
                                       "serial number, IP address and MAC address."));

    connect(table, &QTableWidget::itemSelectionChanged, this, &MainWindow::rowSelected);
    connect(table->horizontalHeader(), &QHeaderView::sectionClicked, this, &MainWindow::sortTable);
    connect(table, &QTableWidget::cellDoubleClicked, this, &MainWindow::connectSlot);

    fillTimer = new QTimer(this);
    fillTimer->setSingleShot(true);
    fillTimer->setInterval(0);
    connect(fillTimer, &QTimer::timeout, this, &MainWindow::listNewDevices);

    adjustTimer = new QTimer(this);
    adjustTimer->setSingleShot(true);
    connect(adjustTimer, &QTimer::timeout, this, &MainWindow::layOutTable);
}

void MainWindow::createButtons()
{
    refreshButton = new QPushButton(tr("Refresh"), this);
    refreshButton->setObjectName(QStringLiteral("refreshButton"));
    refreshButton->setGeometry(528, 398, 100, 30);
    // A button's accessible name is its text.
    // Return presses a focused button, as Space does; the window is no dialog, where that
    // would be the default.
    refreshButton->setAutoDefault(true);
    refreshButton->setAccessibleDescription(tr("Searches the network for devices again."));
    // While requests go out to other networks the button stops them instead.
    connect(refreshButton, &QPushButton::clicked, this, [this] {
        if (broadcaster->isSendingRanges())
            broadcaster->stopSending();
        else
            refreshSlot();
    });

    connectButton = new QPushButton(tr("Connect"), this);
    connectButton->setObjectName(QStringLiteral("connectButton"));
    connectButton->setGeometry(638, 398, 100, 30);
    connectButton->setAccessibleDescription(
        tr("Opens the web interface of the selected device in the browser."));
    connectButton->setAutoDefault(true);
    connectButton->setEnabled(false);
    connect(connectButton, &QPushButton::clicked, this, &MainWindow::connectSlot);
}

void MainWindow::createLogo()
{
    logoLabel = new QLabel(this);
    logoLabel->setObjectName(QStringLiteral("logoLabel"));
    // As an icon the logo also holds scout@2x.png, and hands out whichever image suits the
    // screen's pixel ratio at the label's size in device-independent pixels.
    logoLabel->setPixmap(QIcon(QStringLiteral(":/scout.png")).pixmap(QSize(247, windowHeight)));
    logoLabel->setAccessibleName(tr("Ostrel Scout logo"));
    logoLabel->setAccessibleDescription(tr("A device answering a search."));
    logoLabel->show();
    logoLabel->setGeometry(0, 0, 247, windowHeight);

    appIcon = std::make_unique<QIcon>(QStringLiteral(":/scout.ico"));
    setWindowIcon(*appIcon);
}

void MainWindow::startDiscovery()
{
    broadcaster = std::make_unique<UDPBroadcaster>();
    connect(broadcaster.get(), &UDPBroadcaster::deviceFound, this, &MainWindow::readFromUDP);
    connect(broadcaster.get(), &UDPBroadcaster::searchFinished, this, &MainWindow::updateStatus);
    connect(broadcaster.get(), &UDPBroadcaster::reportChanged, this, &MainWindow::updateStatus);
    connect(broadcaster.get(), &UDPBroadcaster::deviceChanged, this, [this](int index) {
        // Rows not placed yet read the record as it is now.
        if (index >= int(rows.size()))
            return;
        marks.answeredDirectly(index, QHostAddress(rows[index].ipItem.text()));
        markRow(index);
    });
    broadcaster->sendBroadcast();
    updateStatus();
}

void MainWindow::layOutTable()
{
    table->setGeometry(247, 10, 491, 383);
    table->resizeColumnToContents(DeviceColumn::Mac);
    sinceFit.start();
}

void MainWindow::fitMacColumnSoon()
{
    if (adjustTimer->isActive())
        return;
    adjustTimer->start(msUntil(sinceFit, macFitIntervalMs));
}

void MainWindow::makeRow(const deviceInfo &blank, const QString &serialNumber,
                         const QString &ipAddress, const QString &macAddress)
{
    // Appending a blank, read-only record and filling the copy in the list spares copying three
    // filled items.
    rows.push_back(blank);
    deviceInfo &record = rows.back();
    record.serialItem.setData(Qt::DisplayRole, serialNumber);
    record.ipItem.setData(Qt::DisplayRole, ipAddress);
    record.macItem.setData(Qt::DisplayRole, macAddress);
}

void MainWindow::fillTable(int added)
{
    rowCount = int(rows.size());
    table->setRowCount(rowCount);
    for (int i = rowCount - added; i < rowCount; ++i) {
        deviceInfo &record = rows[i];
        table->setItem(i, DeviceColumn::Serial, &record.serialItem);
        table->setItem(i, DeviceColumn::Ip, &record.ipItem);
        table->setItem(i, DeviceColumn::Mac, &record.macItem);
    }
}

void MainWindow::readFromUDP()
{
    // A pass of the event loop may bring hundreds of devices, each announced alone; their rows
    // are placed together, after the pass.
    if (!fillTimer->isActive())
        fillTimer->start(msUntil(sinceFill, fillIntervalMs));
}

void MainWindow::listNewDevices()
{
    if (watch->holdsTable())
        return;
    const int found = broadcaster->deviceCount();
    const int shown = int(rows.size());
    // A flood is listed a slice per pass, so that the window keeps answering.
    const int last = qMin(found, shown + maxRowsPerPass);
    deviceInfo blank;
    const auto readOnly = [](QTableWidgetItem &item) {
        item.setFlags(item.flags() & ~Qt::ItemIsEditable);
    };
    readOnly(blank.serialItem);
    readOnly(blank.ipItem);
    readOnly(blank.macItem);
    // A burst of answers mostly comes from few addresses; spare parsing the same one again.
    QString lastAddressText;
    QHostAddress lastAddress;
    for (int index = shown; index < last; ++index) {
        const DeviceRecord &device = broadcaster->device(index);
        if (device.ipAddress != lastAddressText) {
            lastAddressText = device.ipAddress;
            lastAddress = QHostAddress(device.ipAddress);
        }
        makeRow(blank, device.serialNumber, device.ipAddress, device.macAddress);
        // Rows placed earlier are marked again when they have just become part of a conflict;
        // those of this pass are marked below.
        for (int row : marks.add(device, lastAddress, index)) {
            if (row < shown)
                markRow(row);
        }
    }
    // Marked before they are placed: the table hears of nothing until the rows are in.
    for (int index = shown; index < last; ++index)
        markRow(index);
    fillTable(last - shown);
    sinceFill.start();
    updateStatus();
    fitMacColumnSoon();
    if (last < found)
        fillTimer->start(fillIntervalMs);
}

void MainWindow::detachRows()
{
    emptyTable(table);
}

void MainWindow::refreshSlot()
{
    // A sweep of other networks goes on: started again it would ask every address anew.
    if (broadcaster->isSendingRanges())
        return;
    startSearch();
}

void MainWindow::startSearch()
{
    if (watch->refresh() == WatchView::Refresh::Searched) {
        updateStatus();
        return;
    }
    detachRows();
    releaseGradually(rows, this);
    layOutTable();
    connectButton->setEnabled(false);
    refreshButton->setEnabled(false);
    marks.clear(this);
    statusLine->newSearch();
    broadcaster->sendBroadcast();
    refreshButton->setEnabled(true);
    updateStatus();
}

void MainWindow::rowSelected()
{
    const bool selected = !table->selectedItems().isEmpty();
    connectButton->setEnabled(selected);
    actions->setRowSelected(selected);
}

void MainWindow::connectSlot()
{
    const QTableWidgetItem *ipItem = table->item(table->currentRow(), DeviceColumn::Ip);
    if (!ipItem)
        return;
    const QUrl url(QStringLiteral("http://") + ipItem->data(Qt::DisplayRole).toString(),
                   QUrl::StrictMode);
    AddressOpener::open(url, this);
}

void MainWindow::setListSaver(ListSaver *replacement)
{
    delete saver;
    saver = replacement;
}

void MainWindow::sortTable(int column)
{
    const bool ascending = sortAscending.at(column);
    table->sortItems(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    sortAscending[column] = !ascending;
}

void MainWindow::createStatusLine()
{
    statusLine = new StatusLine(this);
    connect(statusLine, &QLabel::linkActivated, this, &MainWindow::searchOtherNetworks);
}

void MainWindow::updateStatus()
{
    // Devices not yet placed in the table count as found.
    statusLine->showVerdict(broadcaster->isReceiving() ? SearchState::Searching
                                                       : SearchState::Ended,
                            broadcaster->deviceCount(), broadcaster->report());
    if (watch && watch->holdsTable())
        statusLine->showInstead(watch->statusLine());

    const bool sweeping = broadcaster->isSendingRanges();
    if (sweeping != (refreshButton->text() == tr("Stop"))) {
        refreshButton->setText(sweeping ? tr("Stop") : tr("Refresh"));
        refreshButton->setAccessibleDescription(
            sweeping ? tr("Stops asking the addresses of other networks; the devices found stay "
                          "listed, and Refresh asks them all again.")
                     : tr("Searches the network for devices again."));
    }
}

void MainWindow::searchOtherNetworks()
{
    auto *dialog =
        new RangeDialog(rangesText, localIPv4Addresses(), RangeSender::defaultRate, this);
    // Gone when done, also after Cancel (which only hides a dialog in Qt 5).
    connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        rangesText = dialog->rangesText();
        QString error;
        broadcaster->setRanges(parseAddressRanges(rangesText, &error));
        // New ranges are asked from their start, also while others were being asked.
        startSearch();
    });
    dialog->open();
}

void MainWindow::markRow(int index)
{
    deviceInfo &record = rows[index];
    marks.mark(index, record.serialItem, record.ipItem, record.macItem);
}
