#pragma once

#include "addressmarks.h"
#include "devicecolumn.h"

#include <array>
#include <deque>
#include <memory>
#include <QElapsedTimer>
#include <QIcon>
#include <QMainWindow>
#include <QStringList>
#include <QTableWidgetItem>

class ListSaver;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;
class StatusLine;
class TableActions;
class UDPBroadcaster;
class WatchView;
struct MainWindowForm;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // One table row. The table shows these items but never owns them: destroying a record
    // takes its items out of their cells.
    struct deviceInfo
    {
        // Orders the IP column by address value instead of by text.
        class QTableWidgetItemIP : public QTableWidgetItem
        {
        public:
            using QTableWidgetItem::QTableWidgetItem;
            bool operator<(const QTableWidgetItem &other) const override;
        };

        QTableWidgetItem serialItem;
        QTableWidgetItemIP ipItem;
        QTableWidgetItem macItem;
    };

protected:
    // Puts saver in place of the one the window made (tests give one without dialogs); the
    // window takes it over.
    void setListSaver(ListSaver *saver);

private slots:
    void refreshSlot();
    void connectSlot();
    void rowSelected();
    void readFromUDP();
    void sortTable(int column);

private:
    void setupForm();
    void createTable();
    void createButtons();
    void createLogo();
    void createStatusLine();
    void startDiscovery();
    // Empties the list and searches again, also while requests still go out to the ranges.
    void startSearch();
    // Puts the table back in its place and fits the MAC column to what it lists.
    void layOutTable();
    // Fits the MAC column from the event loop, after a pause since the last fit.
    void fitMacColumnSoon();
    // Appends a copy of blank, filled with the three texts of one device, to rows.
    void makeRow(const deviceInfo &blank, const QString &serialNumber, const QString &ipAddress,
                 const QString &macAddress);
    void fillTable(int added);
    // Turns every device the window does not show yet into a row, in discovery order.
    void listNewDevices();
    // Takes every item out of its cell and removes the rows; the records stay.
    void detachRows();
    void updateStatus();
    // Sets the tooltip and the warning mark of record index from what is known of its address.
    void markRow(int index);
    // "Search other networks…": asks for address ranges, then searches with them.
    void searchOtherNetworks();

    std::unique_ptr<MainWindowForm> ui;
    QTableWidget *table = nullptr;
    QStringList headerLabels;
    QPushButton *refreshButton = nullptr;
    QPushButton *connectButton = nullptr;
    // The table points at the items in these records: appending must never move one, which a
    // deque guarantees (Qt 6's QList, like QVector, moves its elements when it grows).
    std::deque<deviceInfo> rows;
    QLabel *logoLabel = nullptr;
    std::unique_ptr<QIcon> appIcon;
    std::unique_ptr<UDPBroadcaster> broadcaster;
    // Lists the devices found during one event-loop pass once that pass is over.
    QTimer *fillTimer = nullptr;
    QElapsedTimer sinceFill;
    QTimer *adjustTimer = nullptr;
    QElapsedTimer sinceFit;
    int rowCount = 0;
    std::array<bool, DeviceColumn::Count> sortAscending{{true, true, true}};

    AddressMarks marks{this};

    StatusLine *statusLine = nullptr;
    // The address ranges every search sends to, as the user gave them; kept until cleared,
    // never stored.
    QString rangesText;
    TableActions *actions = nullptr;
    ListSaver *saver = nullptr;
    // Keep watching and Compare with a list: while on, it shows the devices in the table.
    WatchView *watch = nullptr;
};
