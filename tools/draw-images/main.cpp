// Remakes resources/scout.png and resources/scout.ico.
#include "artwork.h"
#include "icofile.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Draws the logo and the icon."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("directory"),
                                 QStringLiteral("Where scout.png and scout.ico are written."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    const QDir directory(parser.positionalArguments().constFirst());

    if (!Artwork::logo(247, 433).save(directory.filePath(QStringLiteral("scout.png")), "PNG")) {
        std::fputs("cannot write scout.png\n", stderr);
        return 1;
    }

    QList<QImage> icons;
    for (int size : {16, 32, 48, 64, 128, 256})
        icons.append(Artwork::icon(size));
    QFile ico(directory.filePath(QStringLiteral("scout.ico")));
    if (!ico.open(QIODevice::WriteOnly) || ico.write(icoFile(icons)) < 0) {
        std::fputs("cannot write scout.ico\n", stderr);
        return 1;
    }
    return 0;
}
