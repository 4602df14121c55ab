#include "searchrun.h"

#include "devicesearch.h"
#include "discoverylog.h"
#include "printabletext.h"
#include "searchstatus.h"

#include <QTimer>

SearchRun::SearchRun(const CliOptions &options, std::FILE *out, std::FILE *err, QObject *parent)
    : QObject(parent)
    , options(options)
    , err(err)
    , output(options, out)
{}

SearchRun::~SearchRun() = default;

void SearchRun::expect(const QVector<ListedDevice> &devices)
{
    expected = DeviceListCheck(devices);
}

bool SearchRun::start(QString *error)
{
    search = new DeviceSearch(options.interfaces, this);
    search->setReceiveWindow(options.timeoutMs);
    search->setRanges(options.ranges);
    search->setRate(options.rate);
    search->setBroadcast(options.broadcast);
    connect(search, &DeviceSearch::deviceFound, this, &SearchRun::deviceFound);
    output.begin();
    // Started even when no socket could be bound, so that --verbose names every address and
    // why; such a search sends nothing.
    search->start();
    if (search->boundSocketCount() == 0) {
        finished = true;
        search->stop();
        output.end();
        if (search->addressCount() == 0)
            *error = QStringLiteral("no socket could be opened: no IPv4 address %1")
                         .arg(options.interfaces.isEmpty()
                                  ? QStringLiteral("of this machine")
                                  : QStringLiteral("of ") +
                                        options.interfaces.join(QLatin1String(", ")));
        else
            *error = emptyListMessage();
        return false;
    }
    connect(search, &DeviceSearch::finished, this, &SearchRun::searchFinished);
    if (options.repeatSeconds > 0) {
        repeatTimer = new QTimer(this);
        connect(repeatTimer, &QTimer::timeout, this, &SearchRun::searchAgain);
        repeatTimer->start(options.repeatSeconds * 1000);
    }
    if (options.totalTimeoutSeconds > 0) {
        QTimer::singleShot(options.totalTimeoutSeconds * 1000, this, [this] {
            if (!finished)
                qCInfo(lcDiscovery, "search ended: the total time of %d s is over",
                       options.totalTimeoutSeconds);
            finish();
        });
    }
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
    writeMissing();
    output.end();
    if (output.isEmpty() && search) {
        const QByteArray bytes = (QStringLiteral("ostrel-scout-cli: ") +
                                  printableText(emptyListMessage()) + QLatin1Char('\n'))
                                     .toLocal8Bit();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), err);
    }
    if (output.isWatch()) {
        const QByteArray bytes =
            (QStringLiteral("ostrel-scout-cli: ") + output.watchSummary() + QLatin1Char('\n'))
                .toLocal8Bit();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), err);
    }
    emit done();
}

SearchStatus SearchRun::verdict() const
{
    return SearchStatus(SearchState::Ended, search->deviceCount(), search->report(), firewall);
}

QString SearchRun::emptyListMessage() const
{
    // The same causes as the window's status line; only the details, not the general hint.
    const SearchStatus status = verdict();
    if (status.networkMissing() && !options.interfaces.isEmpty()) {
        // Other networks may well be there: the user left them out.
        return options.interfaces.size() == 1
                   ? QStringLiteral("the chosen interface %1 has no network address")
                         .arg(options.interfaces.first())
                   : QStringLiteral("the chosen interfaces %1 have no network address")
                         .arg(options.interfaces.join(QLatin1String(", ")));
    }
    QString text = status.line();
    if (!status.causes().isEmpty())
        text += QLatin1String(" (") + status.causes().join(QLatin1String("; ")) + QLatin1Char(')');
    return text;
}

int SearchRun::exitStatus() const
{
    if (rangeNotSearched)
        return rangeUnsentStatus;
    if (!expected.isEmpty())
        return expected.allAnswered() ? 0 : 1;
    return output.isEmpty() ? 1 : 0;
}

void SearchRun::writeMissing()
{
    const QVector<ListedDevice> missing = expected.missing();
    if (missing.isEmpty())
        return;
    QStringList names;
    for (const ListedDevice &device : missing) {
        // A watch's missing devices are named on err only.
        output.missing(device);
        names << (device.ipAddress.isEmpty() ? device.serialNumber
                                             : device.serialNumber + QLatin1String(" (") +
                                                   device.ipAddress + QLatin1Char(')'));
    }
    const QByteArray bytes = (QStringLiteral("ostrel-scout-cli: expected, not answering: ") +
                              printableText(names.join(QLatin1String(", "))) + QLatin1Char('\n'))
                                 .toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), err);
}

void SearchRun::tellAboutRanges()
{
    const SearchStatus status = verdict();
    if (status.rangeUnsent())
        rangeNotSearched = true;
    // With nothing listed, the message at the end names the ranges among the other causes.
    if (output.isEmpty())
        return;
    const QStringList lines = status.rangeLines();
    // A repeated search says it again only when something changed.
    if (lines == lastRangeLines)
        return;
    lastRangeLines = lines;
    QString text;
    for (const QString &line : lines)
        text += QStringLiteral("ostrel-scout-cli: ") + printableText(line) + QLatin1Char('\n');
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), err);
}

void SearchRun::deviceFound()
{
    const DeviceRecord &record = search->device(search->deviceCount() - 1);
    if (output.isWatch() && !finished) {
        watchedAnswer(record);
        return;
    }
    if (finished || output.device(record) == DeviceOutput::Listing::Repeated)
        return;
    expected.answered(record.serialNumber);
    if (output.countReached()) {
        qCInfo(lcDiscovery, "search ended: as many devices listed as asked for (%d)",
               output.deviceCount());
        finish();
    }
}

void SearchRun::watchedAnswer(const DeviceRecord &record)
{
    output.watchedAnswer(record);
    expected.answered(record.serialNumber);
    if (!expected.isEmpty() && expected.allAnswered()) {
        qCInfo(lcDiscovery, "search ended: every expected device answered");
        finish();
    }
}

void SearchRun::searchAgain()
{
    // A search is never cut short, or a range that takes longer to send than the interval
    // would never be sent whole: the next search starts as the running one ends.
    if (search->isReceiving())
        againWhenFinished = true;
    else
        search->start();
}

void SearchRun::searchFinished()
{
    output.searchEnded(finished ? DeviceOutput::Run::Over : DeviceOutput::Run::Going);
    // An interrupted search says nothing of the ranges it did not finish.
    if (!finished)
        tellAboutRanges();
    if (options.repeatSeconds == 0) {
        finish();
    } else if (againWhenFinished && !finished) {
        againWhenFinished = false;
        search->start();
    }
}
