// Remakes resources/scout.png, its double-size scout@2x.png, resources/scout.ico and the
// desktop icons under resources/icons/<N>x<N>/ostrel-scout.png, one per size of the .ico,
// and the largest at twice its size in resources/icons/256x256@2/.
#include "artwork.h"
#include "icofile.h"

#include <cstdio>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QGuiApplication>

namespace {

void complain(const QString &path)
{
    std::fprintf(stderr, "cannot write %s\n", qUtf8Printable(path));
}

bool writeIcons(const QDir &directory)
{
    QList<QImage> icons;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QImage image = Artwork::icon(size);
        icons.append(image);
        // Desktops look the icon up by size in the hicolor theme; each size is the same image
        // the .ico holds, so both look alike everywhere.
        const QString folder = QStringLiteral("icons/%1x%1").arg(size);
        const QString path = folder + QStringLiteral("/ostrel-scout.png");
        if (!directory.mkpath(folder) || !image.save(directory.filePath(path), "PNG")) {
            complain(path);
            return false;
        }
    }
    // The .ico's sizes cover every size up to 128 at 200 %; the largest needs a drawing of
    // its own, which desktops find in the hicolor theme's folder for doubled pixels.
    const QString large = QStringLiteral("icons/256x256@2");
    const QString largePath = large + QStringLiteral("/ostrel-scout.png");
    if (!directory.mkpath(large) ||
        !Artwork::icon(512).save(directory.filePath(largePath), "PNG")) {
        complain(largePath);
        return false;
    }
    QFile ico(directory.filePath(QStringLiteral("scout.ico")));
    if (!ico.open(QIODevice::WriteOnly) || ico.write(icoFile(icons)) < 0) {
        complain(ico.fileName());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Draws the logo and the icons."));
    parser.addHelpOption();
    parser.addPositionalArgument(
        QStringLiteral("directory"),
        QStringLiteral("Where scout.png, scout@2x.png, scout.ico and icons/<N>x<N>/ are written."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    const QDir directory(parser.positionalArguments().constFirst());

    // The logo at its size in the window and at twice that for screens at 200 %, drawn
    // rather than scaled so that the large one is as sharp as the small one.
    for (int scale : {1, 2}) {
        const QString logo =
            scale == 1 ? QStringLiteral("scout.png") : QStringLiteral("scout@%1x.png").arg(scale);
        if (!Artwork::logo(247 * scale, 433 * scale).save(directory.filePath(logo), "PNG")) {
            complain(logo);
            return 1;
        }
    }
    return writeIcons(directory) ? 0 : 1;
}
