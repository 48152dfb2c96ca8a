#include "codec/CGifEncoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace {

int AppendToArray(GifFileType* gif, const GifByteType* bytes, int length)
{
    auto* out = static_cast<QByteArray*>(gif->UserData);
    try {
        out->append(reinterpret_cast<const char*>(bytes), length);
    } catch (const std::bad_alloc&) {
        return 0; // giflib sees a short write and fails
    }
    return length;
}

using MapPtr = std::unique_ptr<ColorMapObject, decltype(&GifFreeMapObject)>;

MapPtr MakeColorMap(const QImage& indexed, int size)
{
    MapPtr map(GifMakeMapObject(size, nullptr), GifFreeMapObject);
    if (!map)
        return map;
    for (int i = 0; i < size; ++i) {
        const QRgb c = i < indexed.colorCount() ? indexed.color(i) : qRgb(0, 0, 0);
        map->Colors[i] = GifColorType{GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))};
    }
    return map;
}

} // namespace

int CGifEncoder::MapSize(const QImage& indexed)
{
    int highest = std::max(indexed.colorCount() - 1, 1);
    for (int y = 0; y < indexed.height() && highest < 255; ++y) {
        const uchar* row = indexed.constScanLine(y);
        highest = std::max<int>(highest, *std::max_element(row, row + indexed.width()));
    }
    return 1 << GifBitSize(highest + 1);
}

bool CGifEncoder::WriteImage(const QImage& indexed, void* handle)
{
    auto* gif = static_cast<GifFileType*>(handle);
    const int w = indexed.width();
    const MapPtr map = MakeColorMap(indexed, MapSize(indexed));
    if (!map || EGifPutScreenDesc(gif, w, indexed.height(), 8, 0, map.get()) != GIF_OK ||
        EGifPutImageDesc(gif, 0, 0, w, indexed.height(), false, nullptr) != GIF_OK)
        return false;
    try {
        // EGifPutLine masks the line in place, so each row goes through a private buffer.
        std::vector<GifPixelType> line(static_cast<std::size_t>(w));
        for (int y = 0; y < indexed.height(); ++y) {
            std::copy_n(indexed.constScanLine(y), w, line.begin());
            if (EGifPutLine(gif, line.data(), w) != GIF_OK)
                return false;
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool CGifEncoder::Encode(const QImage& indexed, QByteArray& out)
{
    constexpr int maxSide = std::numeric_limits<std::uint16_t>::max();
    if (indexed.format() != QImage::Format_Indexed8 || indexed.width() > maxSide || indexed.height() > maxSide)
        return false;
    out.clear();
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendToArray, &error);
    if (!gif)
        return false;
    EGifSetGifVersion(gif, true);
    const bool written = WriteImage(indexed, gif);
    // Closing writes the trailer and frees the handle, whether or not the image went out.
    return EGifCloseFile(gif, &error) == GIF_OK && written;
}
