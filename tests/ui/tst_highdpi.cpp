#include "highdpi.h"
#include "mainwindow.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QWindow>

namespace {

// The screen's pixel ratio this run expects, from the environment it was started with.
qreal expectedScale()
{
    bool ok = false;
    const qreal scale = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
    return ok ? scale : 1.0;
}

} // namespace

// The window as the program builds it, with high-DPI scaling on; run at 100 % and 200 %.
class TestHighDpi : public QObject
{
    Q_OBJECT

private slots:
    void windowInDevicePixels();
    void logoDrawnForTheScreen();
    void doubleImagesAreTwiceTheSize();
};

void TestHighDpi::windowInDevicePixels()
{
    const qreal scale = expectedScale();
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // Laid out in device-independent pixels, drawn in device pixels.
    QCOMPARE(window.size(), QSize(748, 433));
    QCOMPARE(window.windowHandle()->devicePixelRatio(), scale);
    const QPixmap drawn = window.grab();
    QCOMPARE(drawn.devicePixelRatio(), scale);
    QCOMPARE(drawn.size(), QSize(748, 433) * scale);
}

// The logo is the image drawn for the screen's ratio, not a smaller one scaled up.
void TestHighDpi::logoDrawnForTheScreen()
{
    const qreal scale = expectedScale();
    MainWindow window;
    auto *logo = window.findChild<QLabel *>(QStringLiteral("logoLabel"));
    QVERIFY(logo);
    QCOMPARE(logo->size(), QSize(247, 433));

    const QPixmap pixmap = logo->pixmap(Qt::ReturnByValue);
    QCOMPARE(pixmap.devicePixelRatio(), scale);
    QCOMPARE(pixmap.size(), QSize(247, 433) * scale);
    const QString file =
        scale > 1 ? QStringLiteral(":/scout@2x.png") : QStringLiteral(":/scout.png");
    QCOMPARE(pixmap.toImage().convertToFormat(QImage::Format_ARGB32),
             QImage(file).convertToFormat(QImage::Format_ARGB32));
}

void TestHighDpi::doubleImagesAreTwiceTheSize()
{
    const QImage single(QStringLiteral(":/scout.png"));
    const QImage twice(QStringLiteral(":/scout@2x.png"));
    QCOMPARE(single.size(), QSize(247, 433));
    QCOMPARE(twice.size(), single.size() * 2);
    QCOMPARE(twice.format(), single.format());
}

int main(int argc, char *argv[])
{
    // As the program's main does, before the application object exists.
    HighDpi::enable();
    QApplication app(argc, argv);
    TestHighDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_highdpi.moc"
