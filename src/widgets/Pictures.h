#pragma once

#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>

// The editor's pictures, kept as SVG sources under resources/pictures/ and rendered when needed.
namespace Pictures {

// `name` is the file name without ".svg" (for example "open"); the picture is rendered at `size`
// onto `background` (white for the 24-bit pictures, magenta for button bitmaps whose magenta is
// transparent). `size` is in the desktop's pixels: the image has the screen's device pixel ratio.
// Null when there is no such picture.
QImage Render(const QString& name, QSize size, QRgb background = 0xFFFFFFFFu);

// The same as a pixmap with magenta made transparent, for buttons and menu items.
QPixmap Masked(const QString& name, QSize size);

} // namespace Pictures
