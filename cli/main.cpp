// ostrel-scout-cli: the device search without a window, for terminals, scripts and machines
// without a display.
#include "addressranges.h"
#include "clioptions.h"
#include "interruptnotifier.h"
#include "localaddress.h"
#include "printabletext.h"
#include "searchrun.h"
#include "verboselog.h"
#include "version.h"

#include <clocale>
#include <cstdio>
#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif
#include <QCoreApplication>
#include <QNetworkInterface>

namespace {

constexpr int usageError = 2;
constexpr int noSocket = 3;

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int usage(const QString &error)
{
    // The error quotes what was typed: escaped, like every outside text on the terminal.
    print(stderr, QStringLiteral("ostrel-scout-cli: %1\n").arg(printableText(error)) + usageText());
    return usageError;
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef Q_OS_WIN
    // The output's line ends are its own (CSV's CR LF): text mode would put a CR before each LF.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ostrel-scout-cli"));
#ifndef Q_OS_WIN
    // The finder speaks English: the system's error texts that its lines quote must too.
    // (Windows has no such category; its C library would stop the program on one it lacks.)
    std::setlocale(LC_MESSAGES, "C");
#endif

    CliOptions options;
    QString error;
    if (!parseCliOptions(QCoreApplication::arguments().mid(1), &options, &error))
        return usage(error);
    if (options.help) {
        print(stdout, helpText());
        return 0;
    }
    if (options.version) {
        print(stdout, QStringLiteral("ostrel-scout-cli %1\n").arg(QStringLiteral(SCOUT_VERSION)));
        return 0;
    }
    QStringList available;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces)
        available << interface.name() << interface.humanReadableName();
    const QString unknown = firstUnknownInterface(options.interfaces, available);
    if (!unknown.isEmpty())
        return usage(QStringLiteral("no network interface named \"%1\"").arg(unknown));
    const QString refused =
        localBroadcastIn(options.ranges, localIPv4Addresses(options.interfaces));
    if (!refused.isEmpty())
        return usage(refused);

    QVector<ListedDevice> expected;
    if (!readExpected(options.expected, &expected, &error))
        return usage(error);

    if (options.verbose)
        installVerboseLog();

    InterruptNotifier interrupts;
    SearchRun run(options, stdout, stderr);
    run.expect(expected);
    QObject::connect(&interrupts, &InterruptNotifier::interrupted, &run, &SearchRun::interrupt);
    QObject::connect(&run, &SearchRun::done, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    if (!run.start(&error)) {
        print(stderr, QStringLiteral("ostrel-scout-cli: %1\n").arg(printableText(error)));
        return noSocket;
    }
    app.exec();
    return run.exitStatus();
}
