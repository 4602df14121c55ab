#pragma once

#include "addressconflicts.h"

#include <array>
#include <deque>
#include <memory>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QStringList>
#include <QTableWidgetItem>
#include <QVector>

class QAction;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;
class UDPBroadcaster;
struct MainWindowForm;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The search status line: "Searching..." while the search's 5 s are running, then the
    // number of devices found, or a hint when there is none.
    static QString searchStatusText(bool searching, int found);
    // The tooltip of a row: where the device answered, and what is wrong with its address.
    static QString addressToolTip(const QString &interfaceName, const QHostAddress &localAddress,
                                  int prefixLength, const QString &deviceAddress, bool wrongNetwork,
                                  bool conflict);

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
    // Asks where to save the list, starting at suggestedPath; empty when the user cancels.
    // Tests replace it, and the message box below, so that no modal dialog blocks them.
    virtual QString askSavePath(const QString &suggestedPath);
    virtual void showSaveError(const QString &message);

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
    void createActions();
    void startDiscovery();
    void adjustTable();
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
    // The menu of the table: the row's actions when onRow, and Save list as CSV.
    void showContextMenu(const QPoint &viewportPosition, bool onRow);
    // The table row that is selected, or -1.
    int selectedRow() const;
    QString selectedText(int column) const;
    void copyToClipboard(const QString &text);
    void copyRow();
    void saveList();
    bool writeList(const QString &path, QString *error) const;

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
    std::array<bool, 3> sortAscending{{true, true, true}};

    // Where each record's device answered, by the record's index in rows.
    struct RowAddress
    {
        QString interfaceName;
        QHostAddress localAddress;
        int prefixLength = -1;
        bool wrongNetwork = false;
        bool conflict = false;

        bool operator==(const RowAddress &other) const
        {
            return interfaceName == other.interfaceName && localAddress == other.localAddress &&
                   prefixLength == other.prefixLength && wrongNetwork == other.wrongNetwork &&
                   conflict == other.conflict;
        }
    };
    QVector<RowAddress> rowAddresses;
    // The last tooltip made, and what it was made from.
    struct
    {
        bool valid = false;
        RowAddress address;
        QString deviceAddress;
        QString text;
    } lastTip;
    QIcon warningIcon;
    AddressConflicts conflicts;

    QLabel *statusLabel = nullptr;
    QAction *openAction = nullptr;
    QAction *copyIpAction = nullptr;
    QAction *copyMacAction = nullptr;
    QAction *copySerialAction = nullptr;
    QAction *copyRowAction = nullptr;
    QAction *saveAction = nullptr;
    QAction *refreshAction = nullptr;
    QAction *menuAction = nullptr;
};
