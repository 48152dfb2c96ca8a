#pragma once

#include "codec/RowReader.h"

#include <QByteArray>
#include <QSize>

// Writes a baseline JPEG with libjpeg-turbo as Qt's writer does (the same tables, sampling and
// header), reading the picture a row at a time: no full-size copy of it is made.
class CJpegEncoder
{
public:
    // Encodes a picture of `size` whose rows `rows` gives, as grey (of the blue channel) when
    // `grey`, at `quality` (0-100), into `out`; `dotsPerMeter` gives the recorded resolution.
    // False when libjpeg fails or memory is exhausted.
    static bool Encode(QSize size, bool grey, const RowReader& rows, int quality, QByteArray& out, QSize dotsPerMeter);
};
