#include "icofile.h"

#include <QBuffer>
#include <QDataStream>
#include <QImage>

namespace {

constexpr int directorySize = 6;
constexpr int entrySize = 16;
constexpr int bitmapHeaderSize = 40;

QByteArray bitmap(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int size = image.width();
    const int maskRowBytes = ((size + 31) / 32) * 4;

    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(bitmapHeaderSize) << qint32(size) << qint32(2 * size) // colour and mask
        << quint16(1) << quint16(32) << quint32(0) << quint32(size * size * 4 + maskRowBytes * size)
        << qint32(0) << qint32(0) << quint32(0) << quint32(0);
    // Bottom-up rows of BGRA, which is ARGB32 in little-endian memory.
    for (int y = size - 1; y >= 0; --y)
        out.writeRawData(reinterpret_cast<const char *>(image.constScanLine(y)), size * 4);
    // The alpha channel decides transparency; the AND mask stays clear.
    const QByteArray maskRow(maskRowBytes, '\0');
    for (int y = 0; y < size; ++y)
        out.writeRawData(maskRow.constData(), maskRow.size());
    return data;
}

} // namespace

QByteArray icoFile(const QList<QImage> &images)
{
    QList<QByteArray> bitmaps;
    for (const QImage &image : images)
        bitmaps.append(bitmap(image));

    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(images.size());

    quint32 offset = directorySize + entrySize * images.size();
    for (int i = 0; i < images.size(); ++i) {
        const int size = images.at(i).width();
        // A size of 256 does not fit the byte and is written as 0.
        out << quint8(size % 256) << quint8(size % 256) << quint8(0) << quint8(0) << quint16(1)
            << quint16(32) << quint32(bitmaps.at(i).size()) << offset;
        offset += bitmaps.at(i).size();
    }
    for (const QByteArray &data : bitmaps)
        out.writeRawData(data.constData(), data.size());
    return file;
}
