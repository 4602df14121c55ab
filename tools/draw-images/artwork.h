#pragma once

#include <QImage>

namespace Artwork {

// The strip along the main window's left edge.
QImage logo(int width, int height);

// The square program icon at one size.
QImage icon(int size);

} // namespace Artwork
