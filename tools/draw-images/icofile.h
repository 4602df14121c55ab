#pragma once

#include <QByteArray>
#include <QList>

class QImage;

// A Windows icon file holding each image as an uncompressed 32-bit bitmap with alpha, the
// form every icon reader understands. Images must be square, 1 to 256 pixels.
QByteArray icoFile(const QList<QImage> &images);
