#include "codec/CPngDecoder.h"

#include "codec/PictureOverWhite.h"
#include "tiles/CSystemMemory.h"

#include <QIODevice>
#include <QImage>

#include <csetjmp>
#include <new>
#include <vector>

#include <png.h>

namespace {

// One decompression. libpng reports a fatal error through the error function, which jumps back to
// the landing point of the call that failed (see the wrappers below), so no C++ object is ever
// jumped over.
struct Session
{
    png_structp png = nullptr;
    png_infop info = nullptr;
    QIODevice& source;

    explicit Session(QIODevice& from) : source(from)
    {
        png = png_create_read_struct(
            PNG_LIBPNG_VER_STRING, this, [](png_structp p, png_const_charp) { png_longjmp(p, 1); },
            [](png_structp, png_const_charp) {}); // warnings are not the user's
        if (!png)
            return;
        info = png_create_info_struct(png);
        png_set_read_fn(png, this, [](png_structp p, png_bytep data, png_size_t length) {
            auto* self = static_cast<Session*>(png_get_io_ptr(p));
            if (self->source.read(reinterpret_cast<char*>(data), qint64(length)) != qint64(length))
                png_error(p, "the file ends early");
        });
    }
    ~Session() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

// The libpng calls, each with its own landing point and nothing but plain data in its frame:
// false when libpng gave up.
bool ReadInfo(Session& s)
{
    if (setjmp(png_jmpbuf(s.png)))
        return false;
    png_read_info(s.png, s.info);
    return true;
}

// Asks for rows of 8-bit BGRA (translucent) or BGRX (opaque): QImage's ARGB32 and RGB32 in memory.
bool SetUpRows(Session& s, bool translucent)
{
    if (setjmp(png_jmpbuf(s.png)))
        return false;
    png_set_expand(s.png); // palettes, grey of fewer bits and the transparent colour
    png_set_gray_to_rgb(s.png);
    png_set_bgr(s.png);
    if (!translucent)
        png_set_filler(s.png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(s.png, s.info);
    return true;
}

bool ReadRows(Session& s, png_bytep* rows, int count)
{
    if (setjmp(png_jmpbuf(s.png)))
        return false;
    for (int r = 0; r < count; ++r)
        png_read_row(s.png, rows[r], nullptr);
    return true;
}

} // namespace

DecodeResult CPngDecoder::Decode(QIODevice& source, std::unique_ptr<ImageState>& decoded)
{
    decoded.reset();
    try {
        Session s(source);
        if (!s.png || !s.info)
            return DecodeResult::NoMemory;
        if (!ReadInfo(s))
            return DecodeResult::Broken;
        const int width = int(png_get_image_width(s.png, s.info)), height = int(png_get_image_height(s.png, s.info));
        const int type = png_get_color_type(s.png, s.info);
        if (png_get_bit_depth(s.png, s.info) > 8 || png_get_interlace_type(s.png, s.info) != PNG_INTERLACE_NONE)
            return DecodeResult::NotTaken;
        const std::size_t storage = ImageState::StorageBytes(width, height);
        if (storage == 0 || !CSystemMemory::CanTake(storage))
            return DecodeResult::TooLarge;
        const bool translucent = (type & PNG_COLOR_MASK_ALPHA) || png_get_valid(s.png, s.info, PNG_INFO_tRNS);
        if (!SetUpRows(s, translucent) || png_get_rowbytes(s.png, s.info) != std::size_t(width) * 4)
            return DecodeResult::Broken;
        decoded = ImageState::CreateFilled(width, height, 0xFFFFFFFFu);
        if (!decoded)
            return DecodeResult::NoMemory;
        const int bandHeight = std::min(height, decoded->TileHeight());
        QImage band(width, bandHeight, translucent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        std::vector<png_bytep> rows(std::size_t(bandHeight), nullptr);
        if (band.isNull())
            return decoded.reset(), DecodeResult::NoMemory;
        for (int top = 0; top < height; top += bandHeight) {
            const int count = std::min(bandHeight, height - top);
            for (int r = 0; r < count; ++r)
                rows[std::size_t(r)] = band.scanLine(r);
            if (!ReadRows(s, rows.data(), count))
                return decoded.reset(), DecodeResult::Broken;
            const QImage part = OntoWhite(count == bandHeight ? band : band.copy(0, 0, width, count));
            if (part.isNull() || !decoded->WriteRegion(part, QPoint(0, top)))
                return decoded.reset(), DecodeResult::NoMemory;
        }
        return DecodeResult::Decoded;
    } catch (const std::bad_alloc&) {
        decoded.reset();
        return DecodeResult::NoMemory;
    }
}
