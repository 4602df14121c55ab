#pragma once

#include "addressconflicts.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QIcon>
#include <QString>
#include <QVector>

class QObject;
class QTableWidgetItem;
class QWidget;
struct DeviceRecord;

// What the table tells about each row's address: a tooltip with where the device answered, and
// a warning mark on the IP cell when the address lies outside that network or another listed
// device answers from it too. Rows are known by their index in the window's list of records.
class AddressMarks
{
    Q_DECLARE_TR_FUNCTIONS(AddressMarks)

public:
    enum class Network {
        Inside,
        // The device's address lies outside the network it answered on.
        Outside,
    };
    enum class Conflict {
        None,
        // Another listed device answers from the same address.
        SharedAddress,
    };

    // window: whose style draws the warning mark.
    explicit AddressMarks(const QWidget *window);

    // The tooltip of a row: where the device answered, and what is wrong with its address. A
    // device found through an address range names the range instead: it is on another network
    // by design.
    static QString toolTip(const QString &interfaceName, const QHostAddress &localAddress,
                           int prefixLength, const QString &deviceAddress, Network network,
                           Conflict conflict, const QString &range = QString());

    // Notes the device of row index, the next row; address is its ipAddress, parsed. Returns the
    // rows listed earlier that have just become part of a conflict, to be marked again.
    QVector<int> add(const DeviceRecord &device, const QHostAddress &address, int index);
    // The device of row index has answered a broadcast on its own network since it was found
    // through a range.
    void answeredDirectly(int index, const QHostAddress &address);
    // Notes the next row as one whose device has not answered: it has no marks.
    void addUnanswered();
    // Sets the tooltip of the row's three items, firstLines above what it says of the address,
    // and the warning mark of its IP item, or takes the mark away.
    void mark(int index, QTableWidgetItem &serial, QTableWidgetItem &ip, QTableWidgetItem &mac,
              const QString &firstLines = QString());
    // Forgets every row; a long list is let go of from context's event loop.
    void clear(QObject *context);

private:
    // Where one row's device answered.
    struct RowAddress
    {
        QString interfaceName;
        QHostAddress localAddress;
        int prefixLength = -1;
        Network network = Network::Inside;
        Conflict conflict = Conflict::None;
        QString range;

        bool operator==(const RowAddress &other) const
        {
            return interfaceName == other.interfaceName && localAddress == other.localAddress &&
                   prefixLength == other.prefixLength && network == other.network &&
                   conflict == other.conflict && range == other.range;
        }
    };

    const QWidget *window;
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
};
