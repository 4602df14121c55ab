#include "deviceoutput.h"

#include "devicelistfile.h"
#include "devicerecord.h"
#include "watchprinter.h"

#include <QDateTime>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

DeviceWriter::Target targetOf(std::FILE *stream)
{
#ifdef Q_OS_WIN
    const bool terminal = ::_isatty(::_fileno(stream)) != 0;
#else
    const bool terminal = ::isatty(::fileno(stream)) != 0;
#endif
    return terminal ? DeviceWriter::Target::Terminal : DeviceWriter::Target::FileOrPipe;
}

} // namespace

DeviceOutput::DeviceOutput(const CliOptions &options, std::FILE *out)
    : out(out)
    , count(options.count)
    , writer(options.format, targetOf(out))
{
    if (options.watch)
        watch = std::make_unique<WatchPrinter>(options.format, options.lostAfter);
}

DeviceOutput::~DeviceOutput() = default;

bool DeviceOutput::isWatch() const
{
    return watch != nullptr;
}

void DeviceOutput::begin()
{
    write(watch ? watch->begin() : writer.begin());
}

DeviceOutput::Listing DeviceOutput::device(const DeviceRecord &record)
{
    // Each search lists its devices afresh; across repeated searches each is written once.
    if (writtenSerials.contains(record.serialNumber))
        return Listing::Repeated;
    writtenSerials.insert(record.serialNumber);
    write(writer.device(record));
    return Listing::New;
}

void DeviceOutput::watchedAnswer(const DeviceRecord &record)
{
    writtenSerials.insert(record.serialNumber);
    write(watch->answered(record, QDateTime::currentDateTime()));
}

void DeviceOutput::missing(const ListedDevice &device)
{
    // A watch prints events only.
    if (!watch)
        write(writer.missing(device.serialNumber, device.ipAddress, device.macAddress));
}

void DeviceOutput::searchEnded(Run run)
{
    if (watch && run == Run::Going)
        write(watch->searchEnded(QDateTime::currentDateTime()));
    write(writer.searchEnded());
}

void DeviceOutput::end()
{
    // The output stays a whole document of its format, an empty one too: "[]" still parses.
    if (!watch)
        write(writer.end());
}

bool DeviceOutput::isEmpty() const
{
    return writtenSerials.isEmpty();
}

int DeviceOutput::deviceCount() const
{
    return int(writtenSerials.size());
}

bool DeviceOutput::countReached() const
{
    return count > 0 && writtenSerials.size() >= count;
}

QString DeviceOutput::watchSummary() const
{
    return watch->summary();
}

void DeviceOutput::write(const QString &text)
{
    if (text.isEmpty())
        return;
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out);
    // Each device as it comes, also into a pipe.
    std::fflush(out);
}
