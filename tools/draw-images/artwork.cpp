#include "artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

const QColor deepBlue(0x0b, 0x2a, 0x4a);
const QColor seaBlue(0x13, 0x5e, 0x8c);
const QColor signal(0x5c, 0xe1, 0xe6);

// Concentric arcs around a dot: a device answering the search.
void drawBeacon(QPainter &painter, QPointF centre, qreal radius)
{
    painter.save();
    painter.setBrush(Qt::NoBrush);
    for (int ring = 1; ring <= 3; ++ring) {
        const qreal r = radius * ring / 3.0;
        QPen pen(signal, radius * 0.09, Qt::SolidLine, Qt::RoundCap);
        QColor colour = signal;
        colour.setAlphaF(1.0 - 0.25 * (ring - 1));
        pen.setColor(colour);
        painter.setPen(pen);
        const QRectF box(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
        painter.drawArc(box, 30 * 16, 120 * 16);
        painter.drawArc(box, 210 * 16, 120 * 16);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(centre, radius * 0.13, radius * 0.13);
    painter.restore();
}

} // namespace

namespace Artwork {

QImage logo(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient background(0, 0, 0, height);
    background.setColorAt(0.0, seaBlue);
    background.setColorAt(1.0, deepBlue);
    painter.fillRect(image.rect(), background);

    QRadialGradient glow(QPointF(width / 2.0, height * 0.32), width * 0.6);
    QColor glowColour = signal;
    glowColour.setAlpha(60);
    glow.setColorAt(0.0, glowColour);
    glow.setColorAt(1.0, Qt::transparent);
    painter.fillRect(image.rect(), glow);

    drawBeacon(painter, QPointF(width / 2.0, height * 0.32), width * 0.36);

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(width / 6);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, height * 0.58, width, height * 0.1), Qt::AlignCenter,
                     QStringLiteral("Ostrel"));

    QFont subtitle(QStringLiteral("DejaVu Sans"));
    subtitle.setPixelSize(width / 9);
    subtitle.setLetterSpacing(QFont::PercentageSpacing, 130);
    painter.setFont(subtitle);
    painter.setPen(signal);
    painter.drawText(QRectF(0, height * 0.68, width, height * 0.08), Qt::AlignCenter,
                     QStringLiteral("SCOUT"));

    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage icon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    const qreal margin = size / 16.0;
    QPainterPath tile;
    tile.addRoundedRect(QRectF(margin, margin, size - 2 * margin, size - 2 * margin), size / 5.0,
                        size / 5.0);
    QLinearGradient background(0, 0, 0, size);
    background.setColorAt(0.0, seaBlue);
    background.setColorAt(1.0, deepBlue);
    painter.fillPath(tile, background);

    drawBeacon(painter, QPointF(size / 2.0, size / 2.0), size * 0.36);

    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace Artwork
