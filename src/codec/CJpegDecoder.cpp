#include "codec/CJpegDecoder.h"

#include "tiles/CSystemMemory.h"

#include <QImage>
#include <QTransform>

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <new>
#include <vector>

#include <jpeglib.h>

namespace {

// One decompression. libjpeg reports a fatal error by calling error_exit, which must not return:
// it jumps back to the landing point of the call that failed (see Guarded), so no C++ object is
// ever jumped over.
struct Session
{
    jpeg_decompress_struct info = {};
    jpeg_error_mgr errors = {};
    std::jmp_buf landing = {};

    Session()
    {
        info.err = jpeg_std_error(&errors);
        errors.error_exit = [](j_common_ptr common) {
            std::longjmp(static_cast<Session*>(common->client_data)->landing, 1);
        };
        errors.output_message = [](j_common_ptr) {}; // warnings (a short file) are not the user's
        info.client_data = this;
        jpeg_create_decompress(&info);
    }
    ~Session() { jpeg_destroy_decompress(&info); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

// The libjpeg calls, each with its own landing point and nothing but plain data in its frame:
// false when libjpeg gave up.
bool ReadHeader(Session& s, QByteArrayView file)
{
    if (setjmp(s.landing))
        return false;
    jpeg_mem_src(&s.info, reinterpret_cast<const unsigned char*>(file.data()), static_cast<unsigned long>(file.size()));
    jpeg_save_markers(&s.info, JPEG_APP0 + 1, 0xFFFF);
    return jpeg_read_header(&s.info, TRUE) == JPEG_HEADER_OK;
}

bool Start(Session& s)
{
    if (setjmp(s.landing))
        return false;
    return jpeg_start_decompress(&s.info) != 0;
}

bool ReadRows(Session& s, JSAMPROW* rows, JDIMENSION count)
{
    if (setjmp(s.landing))
        return false;
    for (JDIMENSION done = 0; done < count;)
        done += jpeg_read_scanlines(&s.info, rows + done, count - done);
    return true;
}

void Finish(Session& s)
{
    if (setjmp(s.landing))
        return; // trailing damage after the last row changes nothing shown
    jpeg_finish_decompress(&s.info);
}

// What EXIF orientation `exif` does to the picture, as mirrorings followed by a quarter turn
// clockwise (8 is all three: a quarter turn the other way).
struct Orientation
{
    bool mirror = false; // left to right
    bool flip = false;   // top to bottom
    bool turn = false;   // a quarter turn clockwise after the mirrorings

    explicit Orientation(int exif)
        : mirror(exif == 2 || exif == 3 || exif == 7 || exif == 8),
          flip(exif == 3 || exif == 4 || exif == 5 || exif == 8), turn(exif >= 5 && exif <= 8)
    {
    }
};

// Writes decoded rows [top, top + band.height()) of a `width` × `height` picture into `state`,
// where the orientation puts them.
bool WriteBand(ImageState& state, const QImage& band, int top, int height, Orientation o)
{
    if (!o.mirror && !o.flip && !o.turn)
        return state.WriteRegion(band, QPoint(0, top));
    QImage part = band.mirrored(o.mirror, o.flip);
    const int placed = o.flip ? height - top - band.height() : top;
    if (!o.turn)
        return !part.isNull() && state.WriteRegion(part, QPoint(0, placed));
    part = part.transformed(QTransform().rotate(90));
    return !part.isNull() && state.WriteRegion(part, QPoint(height - placed - band.height(), 0));
}

std::uint16_t Read16(const unsigned char* p, bool big)
{
    return big ? std::uint16_t(p[0] << 8 | p[1]) : std::uint16_t(p[1] << 8 | p[0]);
}

std::uint32_t Read32(const unsigned char* p, bool big)
{
    return big ? std::uint32_t(Read16(p, true)) << 16 | Read16(p + 2, true)
               : std::uint32_t(Read16(p + 2, false)) << 16 | Read16(p, false);
}

int SavedOrientation(const jpeg_decompress_struct& info)
{
    for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1)
            return CJpegDecoder::ExifOrientation(
                QByteArrayView(reinterpret_cast<const char*>(m->data), qsizetype(m->data_length)));
    }
    return 1;
}

} // namespace

int CJpegDecoder::ExifOrientation(QByteArrayView app1)
{
    constexpr qsizetype tiff = 6; // after "Exif\0\0"
    if (app1.size() < tiff + 8 || !app1.startsWith(QByteArrayView("Exif\0\0", 6)))
        return 1;
    const auto* head = reinterpret_cast<const unsigned char*>(app1.data()) + tiff;
    const std::size_t size = std::size_t(app1.size() - tiff);
    const bool big = head[0] == 'M' && head[1] == 'M';
    if (!big && !(head[0] == 'I' && head[1] == 'I'))
        return 1;
    const std::uint32_t ifd = Read32(head + 4, big);
    if (ifd > size - 2)
        return 1;
    const unsigned entries = Read16(head + ifd, big);
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t at = std::size_t(ifd) + 2 + 12 * std::size_t(i);
        if (at + 12 > size)
            return 1;
        if (Read16(head + at, big) != 0x0112 || Read16(head + at + 2, big) != 3)
            continue;
        const int value = Read16(head + at + 8, big);
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

DecodeResult CJpegDecoder::Decode(QByteArrayView file, std::unique_ptr<ImageState>& decoded)
{
    decoded.reset();
    try {
        Session s;
        if (!ReadHeader(s, file))
            return DecodeResult::Broken;
        const J_COLOR_SPACE space = s.info.jpeg_color_space;
        if (space != JCS_GRAYSCALE && space != JCS_YCbCr && space != JCS_RGB)
            return DecodeResult::NotTaken;
        s.info.out_color_space = JCS_EXT_BGRX; // QImage::Format_RGB32 in memory
        const int width = int(s.info.image_width), height = int(s.info.image_height);
        const Orientation o(SavedOrientation(s.info));
        const QSize shown = o.turn ? QSize(height, width) : QSize(width, height);
        // A progressive file is held whole as coefficients, two bytes each, until its last scan.
        const std::uint64_t coefficients =
            s.info.progressive_mode ? std::uint64_t(2) * width * height * std::uint64_t(s.info.num_components) : 0;
        const std::size_t storage = ImageState::StorageBytes(shown.width(), shown.height());
        if (storage == 0 || !CSystemMemory::CanTake(storage + coefficients))
            return DecodeResult::TooLarge;
        if (!Start(s))
            return DecodeResult::Broken;
        // Whatever the file leaves out stays white.
        decoded = ImageState::CreateFilled(shown.width(), shown.height(), 0xFFFFFFFFu);
        if (!decoded)
            return DecodeResult::NoMemory;
        const int bandHeight = std::min(height, o.turn ? decoded->TileWidth() : decoded->TileHeight());
        QImage band(width, bandHeight, QImage::Format_RGB32);
        std::vector<JSAMPROW> rows(std::size_t(bandHeight), nullptr);
        if (band.isNull())
            return decoded.reset(), DecodeResult::NoMemory;
        for (int top = 0; top < height; top += bandHeight) {
            const int count = std::min(bandHeight, height - top);
            for (int r = 0; r < count; ++r)
                rows[std::size_t(r)] = band.scanLine(r);
            if (!ReadRows(s, rows.data(), JDIMENSION(count)))
                return decoded.reset(), DecodeResult::Broken;
            const QImage part = count == bandHeight ? band : band.copy(0, 0, width, count);
            if (!WriteBand(*decoded, part, top, height, o))
                return decoded.reset(), DecodeResult::NoMemory;
        }
        Finish(s);
        return DecodeResult::Decoded;
    } catch (const std::bad_alloc&) {
        decoded.reset();
        return DecodeResult::NoMemory;
    }
}
