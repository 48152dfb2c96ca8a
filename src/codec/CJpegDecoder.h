#pragma once

#include "codec/DecodeResult.h"
#include "tiles/ImageState.h"

#include <QByteArrayView>

#include <memory>

// Decodes a JPEG with libjpeg-turbo straight into the tiles of a new state, a band of rows at a
// time in the tiles' own pixel order, EXIF orientation applied: the state is the only full-size
// buffer. Pictures this path does not take (CMYK) are left to Qt's reader.
class CJpegDecoder
{
public:
    enum class Result
    {
        Decoded,
        NotTaken, // a JPEG the general reader decodes instead
        Broken,   // not a JPEG, or damaged before any pixel could be shown
        TooLarge, // more than the memory the system can give
        NoMemory,
    };

    // Decodes `file`, the whole file in memory. A file that ends early shows what it holds and is
    // grey below, as libjpeg fills it.
    static DecodeResult Decode(QByteArrayView file, std::unique_ptr<ImageState>& decoded);

    // The EXIF orientation (1 to 8) an APP1 segment's payload gives, or 1 when it gives none.
    static int ExifOrientation(QByteArrayView app1);
};
