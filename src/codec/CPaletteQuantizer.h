#pragma once

#include <QImage>

// Reduces an opaque picture to at most 256 colours (QImage::Format_Indexed8 with its own palette).
class CPaletteQuantizer
{
public:
    // `opaque` is QImage::Format_RGB32. A picture with at most 256 colours keeps them exactly;
    // others are quantised with libimagequant, dithered (Floyd-Steinberg) when `dither` is set.
    // Null when memory is exhausted or quantisation fails.
    static QImage Reduce(const QImage& opaque, bool dither);

private:
    // The picture with its own colours as palette; null when it has more than 256.
    static QImage ExactPalette(const QImage& opaque);
    static QImage Quantize(const QImage& opaque, bool dither);
};
