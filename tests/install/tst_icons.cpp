#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QTest>

// The desktop shows the hicolor icons in menus and docks, the program sets the window icon
// from the embedded .ico: both must be the same pictures, size for size, or one program
// shows two faces. `make images` draws them together; this catches a redraw of only one.
class TestIcons : public QObject
{
    Q_OBJECT

private slots:
    void hicolorIconsAreTheWindowIcon();
};

void TestIcons::hicolorIconsAreTheWindowIcon()
{
    QImageReader ico(QStringLiteral(":scout.ico"));
    QCOMPARE(ico.imageCount(), 6);

    QStringList folders;
    for (int i = 0; i < ico.imageCount(); ++i) {
        QVERIFY(ico.jumpToImage(i));
        const QImage image = ico.read().convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(!image.isNull(), qPrintable(ico.errorString()));
        QCOMPARE(image.width(), image.height());

        const QString folder = QStringLiteral("%1x%1").arg(image.width());
        const QString path =
            QStringLiteral(SCOUT_ICONS_DIR "/") + folder + QStringLiteral("/ostrel-scout.png");
        const QImage png(path);
        QVERIFY2(!png.isNull(), qPrintable(path));
        QVERIFY2(png.convertToFormat(QImage::Format_ARGB32) == image, qPrintable(path));
        folders.append(folder);
    }

    // No size that the .ico lacks.
    const QStringList present = QDir(QStringLiteral(SCOUT_ICONS_DIR))
                                    .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    folders.sort();
    QCOMPARE(present, folders);
}

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"
