#include "mainwindow.h"

#include "ipsortkey.h"
#include "mainwindowform.h"
#include "releasegradually.h"
#include "udpbroadcaster.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

namespace {
constexpr int windowWidth = 748;
constexpr int windowHeight = 433;
constexpr int macColumn = 2;
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
    startDiscovery();

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
    table->setColumnCount(3);
    adjustTable();

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
    table->setAccessibleName(tr("Devices"));
    table->setAccessibleDescription(tr("The Ostrel devices that answered the search, one a row: "
                                       "serial number, IP address and MAC address."));

    connect(table, &QTableWidget::itemSelectionChanged, this, &MainWindow::rowSelected);
    connect(table->horizontalHeader(), &QHeaderView::sectionClicked, this, &MainWindow::sortTable);
    connect(table, &QTableWidget::cellDoubleClicked, this, &MainWindow::connectSlot);

    adjustTimer = new QTimer(this);
    adjustTimer->setSingleShot(true);
    adjustTimer->setInterval(0);
    connect(adjustTimer, &QTimer::timeout, this, &MainWindow::adjustTable);
}

void MainWindow::createButtons()
{
    refreshButton = new QPushButton(tr("Refresh"), this);
    refreshButton->setGeometry(528, 398, 100, 30);
    // A button's accessible name is its text.
    refreshButton->setAccessibleDescription(tr("Searches the network for devices again."));
    connect(refreshButton, &QPushButton::clicked, this, &MainWindow::refreshSlot);

    connectButton = new QPushButton(tr("Connect"), this);
    connectButton->setGeometry(638, 398, 100, 30);
    connectButton->setAccessibleDescription(
        tr("Opens the web interface of the selected device in the browser."));
    connectButton->setEnabled(false);
    connect(connectButton, &QPushButton::clicked, this, &MainWindow::connectSlot);
}

void MainWindow::createLogo()
{
    logoLabel = new QLabel(this);
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
    broadcaster->sendBroadcast();
}

void MainWindow::adjustTable()
{
    table->setGeometry(247, 10, 491, 383);
    table->resizeColumnToContents(macColumn);
}

void MainWindow::makeRow(const QString &serialNumber, const QString &ipAddress,
                         const QString &macAddress)
{
    deviceInfo record;
    record.serialItem.setData(Qt::DisplayRole, serialNumber);
    record.ipItem.setData(Qt::DisplayRole, ipAddress);
    record.macItem.setData(Qt::DisplayRole, macAddress);
    const auto readOnly = [](QTableWidgetItem &item) {
        item.setFlags(item.flags() & ~Qt::ItemIsEditable);
    };
    readOnly(record.serialItem);
    readOnly(record.ipItem);
    readOnly(record.macItem);
    rows.append(record);
}

void MainWindow::fillTable(int added)
{
    rowCount = rows.size();
    table->setRowCount(rowCount);
    for (int i = rowCount - added; i < rowCount; ++i) {
        deviceInfo &record = rows[i];
        table->setItem(i, 0, &record.serialItem);
        table->setItem(i, 1, &record.ipItem);
        table->setItem(i, 2, &record.macItem);
    }
}

void MainWindow::readFromUDP()
{
    const int found = broadcaster->deviceCount();
    const int shown = rows.size();
    for (int index = shown; index < found; ++index) {
        QString serialNumber;
        QString ipAddress;
        QString macAddress;
        broadcaster->getDevice(serialNumber, ipAddress, macAddress, index);
        makeRow(serialNumber, ipAddress, macAddress);
    }
    fillTable(found - shown);
    // Fitting the MAC column examines up to a thousand rows; once per pass is enough.
    if (!adjustTimer->isActive())
        adjustTimer->start();
}

void MainWindow::detachRows()
{
    // Taking an item out of its cell is immediate; an item destroyed while still in the table
    // is first looked up in the table's whole item list, which for thousands of rows freezes
    // the window. The view hears of the emptied cells only through the removal of their rows
    // that follows: told of every cell alone, it takes several times as long.
    {
        const QSignalBlocker quiet(table->model());
        for (int row = 0; row < table->rowCount(); ++row) {
            for (int column = 0; column < table->columnCount(); ++column)
                table->takeItem(row, column);
        }
    }
    table->setRowCount(0);
}

void MainWindow::refreshSlot()
{
    detachRows();
    releaseGradually(rows, this);
    adjustTable();
    connectButton->setEnabled(false);
    refreshButton->setEnabled(false);
    broadcaster->sendBroadcast();
    refreshButton->setEnabled(true);
}

void MainWindow::rowSelected()
{
    connectButton->setEnabled(!table->selectedItems().isEmpty());
}

void MainWindow::connectSlot()
{
    const QTableWidgetItem *ipItem = table->item(table->currentRow(), 1);
    if (!ipItem)
        return;
    const QUrl url(QStringLiteral("http://") + ipItem->data(Qt::DisplayRole).toString(),
                   QUrl::StrictMode);
    QDesktopServices::openUrl(url);
}

void MainWindow::sortTable(int column)
{
    const bool ascending = sortAscending.at(column);
    table->sortItems(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    sortAscending[column] = !ascending;
}
