#include "searchrun.h"

#include "devicesearch.h"
#include "discoverydatagram.h"
#include "discoverylog.h"
#include "firewallcheck.h"
#include "searchstatus.h"

#include <QTimer>

SearchRun::SearchRun(const CliOptions &options, std::FILE *out, std::FILE *err, QObject *parent)
    : QObject(parent)
    , options(options)
    , out(out)
    , err(err)
    , writer(options.format)
{}

bool SearchRun::start(QString *error)
{
    search = new DeviceSearch(options.interfaces, this);
    // The sockets are bound when the search is made: with none bound there is nothing to
    // search with, which the caller reports apart from finding nothing.
    if (search->boundSocketCount() == 0) {
        const QString where =
            options.interfaces.isEmpty()
                ? QStringLiteral("of this machine")
                : QStringLiteral("of ") + options.interfaces.join(QLatin1String(", "));
        if (search->addressCount() == 0)
            *error = QStringLiteral("no socket could be opened: no IPv4 address %1").arg(where);
        else
            *error = QStringLiteral("no socket could be opened: UDP port %1 is taken on every "
                                    "IPv4 address %2 (%3 %4)")
                         .arg(discoveryPort)
                         .arg(where)
                         .arg(search->addressCount())
                         .arg(QLatin1String(search->addressCount() == 1 ? "address" : "addresses"));
        return false;
    }
    search->setReceiveWindow(options.timeoutMs);
    search->setRanges(options.ranges);
    search->setRate(options.rate);
    search->setBroadcast(options.broadcast);
    connect(search, &DeviceSearch::deviceFound, this, &SearchRun::deviceFound);
    connect(search, &DeviceSearch::finished, this, &SearchRun::searchFinished);
    if (options.repeatSeconds > 0) {
        repeatTimer = new QTimer(this);
        connect(repeatTimer, &QTimer::timeout, search, &DeviceSearch::start);
        repeatTimer->start(options.repeatSeconds * 1000);
    }
    write(writer.begin());
    search->start();
    return true;
}

void SearchRun::interrupt()
{
    if (!finished)
        qCInfo(lcDiscovery, "search ended: interrupted");
    finish();
}

void SearchRun::finish()
{
    if (finished)
        return;
    finished = true;
    if (repeatTimer)
        repeatTimer->stop();
    if (search)
        search->stop();
    write(writer.end());
    if (printedSerials.isEmpty() && search) {
        // The same causes as the window's status line; only the details, not the general hint.
        const SearchStatus status(false, 0, search->report(), activeFirewall());
        QString text = QStringLiteral("ostrel-scout-cli: ") + status.line();
        if (!status.causes().isEmpty())
            text +=
                QLatin1String(" (") + status.causes().join(QLatin1String("; ")) + QLatin1Char(')');
        const QByteArray bytes = (text + QLatin1Char('\n')).toLocal8Bit();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), err);
    }
    emit done();
}

int SearchRun::exitStatus() const
{
    return printedSerials.isEmpty() ? 1 : 0;
}

void SearchRun::deviceFound()
{
    const DeviceRecord &record = search->device(search->deviceCount() - 1);
    // Each search lists its devices afresh; across repeated searches print each only once.
    if (finished || printedSerials.contains(record.serialNumber))
        return;
    printedSerials.insert(record.serialNumber);
    write(writer.device(record));
    if (options.count > 0 && printedSerials.size() >= options.count) {
        qCInfo(lcDiscovery, "search ended: as many devices listed as asked for (%d)",
               int(printedSerials.size()));
        finish();
    }
}

void SearchRun::searchFinished()
{
    write(writer.searchEnded());
    if (options.repeatSeconds == 0)
        finish();
}

void SearchRun::write(const QString &text)
{
    if (text.isEmpty())
        return;
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out);
    // Each device as it comes, also into a pipe.
    std::fflush(out);
}
