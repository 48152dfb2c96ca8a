#pragma once

#include "codec/DecodeResult.h"
#include "tiles/ImageState.h"

#include <memory>

class QIODevice;

// Decodes a PNG with libpng straight into the tiles of a new state, a band of rows at a time,
// translucent pixels painted onto white: the state is the only full-size buffer. Interlaced files
// and 16-bit channels are left to Qt's reader, which rounds them its own way.
class CPngDecoder
{
public:
    // Decodes the PNG stream `source` from its current position.
    static DecodeResult Decode(QIODevice& source, std::unique_ptr<ImageState>& decoded);
};
