#include "addressmarks.h"

#include "devicerecord.h"
#include "networkcheck.h"
#include "releasegradually.h"

#include <QStringList>
#include <QStyle>
#include <QTableWidgetItem>
#include <QWidget>

AddressMarks::AddressMarks(const QWidget *window)
    : window(window)
{}

QString AddressMarks::toolTip(const QString &interfaceName, const QHostAddress &localAddress,
                              int prefixLength, const QString &deviceAddress, Network network,
                              Conflict conflict, const QString &range)
{
    QStringList lines;
    const bool networkKnown = !localAddress.isNull() && prefixLength >= 0 && prefixLength <= 32;
    QString networkText;
    if (!range.isEmpty()) {
        lines << tr("Found by searching %1, through %2 on %3")
                     .arg(range, localAddress.toString(), interfaceName);
    } else if (networkKnown) {
        const quint32 mask = prefixLength == 0 ? 0 : ~quint32(0) << (32 - prefixLength);
        networkText = QHostAddress(localAddress.toIPv4Address() & mask).toString() +
                      QLatin1Char('/') + QString::number(prefixLength);
        lines << tr("Answered on %1 (%2/%3)")
                     .arg(interfaceName, localAddress.toString(), QString::number(prefixLength));
    }
    if (network == Network::Outside && networkKnown && range.isEmpty()) {
        lines << tr("Its address %1 lies outside that network: a browser on this computer will "
                    "probably not reach it.")
                     .arg(deviceAddress)
              << tr("Give the device an address in %1, or give this computer an address in the "
                    "device's network.")
                     .arg(networkText);
    }
    if (conflict == Conflict::SharedAddress) {
        lines << tr("Another listed device answers from %1 too: Connect can reach only one of "
                    "them.")
                     .arg(deviceAddress)
              << tr("Give each device an address of its own.");
    }
    return lines.join(QLatin1Char('\n'));
}

QVector<int> AddressMarks::add(const DeviceRecord &device, const QHostAddress &address, int index)
{
    RowAddress row;
    row.interfaceName = device.interfaceName;
    row.localAddress = device.localAddress;
    row.prefixLength = device.prefixLength;
    row.range = device.range;
    // A device asked through a range is expected on another network.
    if (device.range.isEmpty() && !isInNetwork(address, device.localAddress, device.prefixLength))
        row.network = Network::Outside;
    rowAddresses.append(row);
    const QVector<int> conflicting = conflicts.add(device.ipAddress, index);
    QVector<int> earlier;
    for (int other : conflicting) {
        rowAddresses[other].conflict = Conflict::SharedAddress;
        if (other != index)
            earlier.append(other);
    }
    return earlier;
}

void AddressMarks::answeredDirectly(int index, const QHostAddress &address)
{
    RowAddress &row = rowAddresses[index];
    row.range.clear();
    row.network = isInNetwork(address, row.localAddress, row.prefixLength) ? Network::Inside
                                                                           : Network::Outside;
}

void AddressMarks::addUnanswered()
{
    rowAddresses.append(RowAddress());
}

void AddressMarks::mark(int index, QTableWidgetItem &serial, QTableWidgetItem &ip,
                        QTableWidgetItem &mac, const QString &firstLines)
{
    const RowAddress &row = rowAddresses.at(index);
    const bool marked = row.network == Network::Outside || row.conflict == Conflict::SharedAddress;
    // Rows of a search mostly repeat the tooltip of the row before (the same network, or the
    // same shared address): the text is made again only when something in it changes.
    const QString deviceAddress = marked ? ip.text() : QString();
    if (!lastTip.valid || !(lastTip.address == row) || lastTip.deviceAddress != deviceAddress) {
        lastTip.valid = true;
        lastTip.address = row;
        lastTip.deviceAddress = deviceAddress;
        lastTip.text = toolTip(row.interfaceName, row.localAddress, row.prefixLength, deviceAddress,
                               row.network, row.conflict, row.range);
    }
    QString text = lastTip.text;
    if (!firstLines.isEmpty())
        text = text.isEmpty() ? firstLines : firstLines + QLatin1Char('\n') + text;
    const QVariant tip = text.isEmpty() ? QVariant() : QVariant(text);
    for (QTableWidgetItem *item : {&serial, &ip, &mac}) {
        if (tip.isValid() || item->data(Qt::ToolTipRole).isValid())
            item->setData(Qt::ToolTipRole, tip);
    }
    if (marked) {
        if (warningIcon.isNull())
            warningIcon = window->style()->standardIcon(QStyle::SP_MessageBoxWarning);
        ip.setData(Qt::DecorationRole, warningIcon);
    } else if (ip.data(Qt::DecorationRole).isValid()) {
        // A watched device may have moved into its network, or away from a shared address.
        ip.setData(Qt::DecorationRole, QVariant());
    }
}

void AddressMarks::clear(QObject *context)
{
    releaseGradually(rowAddresses, context);
    conflicts.clear();
}
