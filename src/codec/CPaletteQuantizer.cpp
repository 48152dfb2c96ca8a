#include "codec/CPaletteQuantizer.h"

#include <QHash>
#include <QList>

#include <libimagequant.h>

#include <memory>
#include <new>
#include <vector>

namespace {

template <typename T, void (*Free)(T*)> struct LiqDeleter
{
    void operator()(T* p) const { Free(p); }
};
using AttrPtr = std::unique_ptr<liq_attr, LiqDeleter<liq_attr, liq_attr_destroy>>;
using ImagePtr = std::unique_ptr<liq_image, LiqDeleter<liq_image, liq_image_destroy>>;
using ResultPtr = std::unique_ptr<liq_result, LiqDeleter<liq_result, liq_result_destroy>>;

constexpr int MaxColors = 256;

} // namespace

QImage CPaletteQuantizer::Reduce(const QImage& opaque, bool dither)
{
    if (opaque.isNull() || opaque.format() != QImage::Format_RGB32)
        return {};
    try {
        QImage exact = ExactPalette(opaque);
        return exact.isNull() ? Quantize(opaque, dither) : exact;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

QImage CPaletteQuantizer::ExactPalette(const QImage& opaque)
{
    QHash<QRgb, int> index;
    QList<QRgb> palette;
    QRgb last = opaque.pixel(0, 0); // runs of one colour skip the hash
    for (int y = 0; y < opaque.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(opaque.constScanLine(y));
        for (int x = 0; x < opaque.width(); ++x) {
            if ((row[x] == last && !palette.isEmpty()) || index.contains(row[x]))
                continue;
            last = row[x];
            if (palette.size() == MaxColors)
                return {};
            index.insert(row[x], int(palette.size()));
            palette.append(row[x]);
        }
    }
    QImage out(opaque.size(), QImage::Format_Indexed8);
    if (out.isNull())
        return {};
    out.setColorTable(palette);
    for (int y = 0; y < opaque.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(opaque.constScanLine(y));
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < opaque.width(); ++x)
            dst[x] = uchar(index.value(row[x]));
    }
    return out;
}

QImage CPaletteQuantizer::Quantize(const QImage& opaque, bool dither)
{
    // libimagequant reads bytes R, G, B, A; RGBX8888 rows are exactly width * 4 bytes.
    const QImage rgba = opaque.convertToFormat(QImage::Format_RGBX8888);
    QImage out(opaque.size(), QImage::Format_Indexed8);
    AttrPtr attr(liq_attr_create());
    if (rgba.isNull() || out.isNull() || !attr)
        return {};
    ImagePtr input(liq_image_create_rgba(attr.get(), rgba.constBits(), rgba.width(), rgba.height(), 0));
    liq_result* raw = nullptr;
    if (!input || liq_image_quantize(input.get(), attr.get(), &raw) != LIQ_OK)
        return {};
    ResultPtr result(raw);
    liq_set_dithering_level(result.get(), dither ? 1.0f : 0.0f);
    std::vector<unsigned char*> rows(std::size_t(out.height()));
    for (int y = 0; y < out.height(); ++y)
        rows[std::size_t(y)] = out.scanLine(y);
    if (liq_write_remapped_image_rows(result.get(), input.get(), rows.data()) != LIQ_OK)
        return {};
    // The palette is final only after remapping.
    const liq_palette* palette = liq_get_palette(result.get());
    QList<QRgb> table;
    for (unsigned i = 0; i < palette->count; ++i)
        table.append(qRgb(palette->entries[i].r, palette->entries[i].g, palette->entries[i].b));
    out.setColorTable(table);
    return out;
}
