#pragma once

#include <QByteArray>
#include <QSize>

#include "codec/RowReader.h"

// Writes a PNG of 8-bit grey or 24-bit colour on every core: rows filtered as libpng filters them
// by default, deflated in blocks that each start from the window the block before ends with, the
// blocks joined into the one zlib stream a single deflate would give (as parallel gzip does).
class CPngEncoder
{
public:
    // The zlib level, as libpng's default.
    static constexpr int Level = 6;

    // Encodes a picture of `size` whose rows `rows` gives, as grey (of the blue channel) when `grey`,
    // into `out`; `dotsPerMeter` goes into the file where it is set. False when memory is exhausted.
    static bool Encode(QSize size, bool grey, const RowReader& rows, QByteArray& out, QSize dotsPerMeter = {});
};
