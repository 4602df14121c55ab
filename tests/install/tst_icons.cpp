#include <cstdlib>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QTest>

namespace {

// Mean difference of two images of one size over all four channels, from 0 to 255.
double meanDifference(const QImage &a, const QImage &b)
{
    const QImage left = a.convertToFormat(QImage::Format_ARGB32);
    const QImage right = b.convertToFormat(QImage::Format_ARGB32);
    if (left.size() != right.size())
        return 255.0;
    qint64 sum = 0;
    for (int y = 0; y < left.height(); ++y) {
        const auto *l = reinterpret_cast<const uchar *>(left.constScanLine(y));
        const auto *r = reinterpret_cast<const uchar *>(right.constScanLine(y));
        for (int x = 0; x < left.width() * 4; ++x)
            sum += std::abs(l[x] - r[x]);
    }
    return double(sum) / (double(left.width()) * left.height() * 4);
}

} // namespace

// The desktop shows the hicolor icons in menus and docks, the program sets the window icon
// from the embedded .ico: both must be the same pictures, size for size, or one program
// shows two faces. `make images` draws them together; this catches a redraw of only one.
class TestIcons : public QObject
{
    Q_OBJECT

private slots:
    void hicolorIconsAreTheWindowIcon();
    void largestIconAtDoubleSize();
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

    // No size that the .ico lacks, apart from the doubled ones.
    QStringList present = QDir(QStringLiteral(SCOUT_ICONS_DIR))
                              .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    present.removeAll(QStringLiteral("256x256@2"));
    folders.sort();
    QCOMPARE(present, folders);
}

// Screens at 200 % get the largest icon drawn at twice its size, not scaled up.
void TestIcons::largestIconAtDoubleSize()
{
    const QString path = QStringLiteral(SCOUT_ICONS_DIR "/256x256@2/ostrel-scout.png");
    const QImage twice(path);
    QVERIFY2(!twice.isNull(), qPrintable(path));
    QCOMPARE(twice.size(), QSize(512, 512));
    const QImage single(QStringLiteral(SCOUT_ICONS_DIR "/256x256/ostrel-scout.png"));
    QCOMPARE(twice.format(), single.format());
    // The same picture: shrunk to 256 it differs from the 256 icon only in antialiasing, so
    // a redraw of one size without the other shows.
    const double difference = meanDifference(
        twice.scaled(256, 256, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), single);
    QVERIFY2(difference < 1.0, qPrintable(QString::number(difference)));
}

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"
