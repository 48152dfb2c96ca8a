#include "platform/CCodecImage.h"

#include "document/ImageState.h"
#include "platform/CAtomicFileWriter.h"
#include "platform/CGifEncoder.h"
#include "platform/CMemoryDevice.h"
#include "platform/CPaletteQuantizer.h"

#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>
#include <new>

namespace {

const char* FormatName(int format)
{
    switch (format) {
    case CCodecImage::Bmp: return "bmp";
    case CCodecImage::Gif: return "gif";
    case CCodecImage::Jpeg: return "jpeg";
    case CCodecImage::Png: return "png";
    default: return nullptr;
    }
}

// The picture painted onto white, as RGB32; shares the pixels of an RGB32 picture.
QImage OntoWhite(const QImage& picture)
{
    if (!picture.hasAlphaChannel())
        return picture.convertToFormat(QImage::Format_RGB32);
    QImage out(picture.size(), QImage::Format_RGB32);
    if (out.isNull())
        return {};
    out.fill(Qt::white);
    {
        QPainter painter(&out);
        painter.drawImage(0, 0, picture);
    }
    return out;
}

// What a format without transparency (BMP, GIF, JPEG) shows: the picture over white.
QImage Opaque(const QImage& picture)
{
    return picture.hasAlphaChannel() ? OntoWhite(picture) : picture;
}

// One channel of a picture known to be grey.
QImage GrayPlane(const QImage& grey)
{
    if (grey.format() == QImage::Format_Grayscale8)
        return grey;
    const QImage rgb = OntoWhite(grey);
    QImage out(grey.size(), QImage::Format_Grayscale8);
    if (rgb.isNull() || out.isNull())
        return {};
    for (int y = 0; y < out.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        std::transform(src, src + out.width(), out.scanLine(y), [](QRgb c) { return uchar(qBlue(c)); });
    }
    return out;
}

bool UsedColorsAreGray(const QImage& paletted)
{
    const QImage indexed = paletted.convertToFormat(QImage::Format_Indexed8);
    const QList<QRgb> palette = indexed.colorTable();
    for (int y = 0; y < indexed.height(); ++y) {
        const uchar* row = indexed.constScanLine(y);
        const bool grey = std::all_of(row, row + indexed.width(), [&palette](uchar i) {
            return i >= palette.size() || qIsGray(palette[i]);
        });
        if (!grey)
            return false;
    }
    return true;
}

bool EncodeWithQt(const QImage& picture, const char* format, int quality, QByteArray& out)
{
    if (picture.isNull())
        return false;
    CMemoryDevice buffer(&out);
    if (!buffer.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&buffer, format);
    if (quality >= 0)
        writer.setQuality(quality);
    return writer.write(picture);
}

} // namespace

void CCodecImage::Load(const QString& path, int format)
{
    image = {};
    const char* name = FormatName(format);
    // Only regular files: opening a FIFO or a device could block forever.
    if (!name || !QFileInfo(path).isFile())
        return;
    try {
        QImageReader reader(path, name);
        reader.setAutoDetectImageFormat(false);
        reader.setDecideFormatFromContent(false);
        reader.setAutoTransform(true);
        reader.setAllocationLimit(AllocationLimitMiB);
        image = reader.read();
    } catch (const std::bad_alloc&) {
        image = {};
    }
}

std::unique_ptr<ImageState> CCodecImage::DrawToState() const
{
    if (image.isNull())
        return {};
    if (image.format() == QImage::Format_RGB32)
        return ImageState::FromImage(image);
    try {
        // Converted one band of tiles at a time, so no second whole-image buffer is needed.
        auto state = ImageState::CreateFilled(image.width(), image.height(), 0xFFFFFFFF);
        constexpr int band = ImageState::TileSize;
        for (int y = 0; state && y < image.height(); y += band) {
            const QImage part = OntoWhite(image.copy(0, y, image.width(), std::min(band, image.height() - y)));
            if (part.isNull() || !state->WriteRegion(part, QPoint(0, y)))
                state.reset();
        }
        return state;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

void CCodecImage::CreateFromState(const ImageState& state)
{
    image = state.ReadAll();
}

bool CCodecImage::IsGrayScale() const
{
    if (image.isNull())
        return false;
    if (image.colorCount() == 0)
        return image.allGray();
    // A palette may hold colours no pixel uses.
    return image.allGray() || UsedColorsAreGray(image);
}

void CCodecImage::IncreaseBpp(int bits)
{
    if (bits != 24 || image.isNull())
        return;
    // A failed conversion leaves nothing held, which IsValid() reports.
    image = OntoWhite(image).convertToFormat(QImage::Format_RGB888);
}

void CCodecImage::DecreaseBpp(int bits, bool errorDiffusion)
{
    if (bits != 8 || image.isNull())
        return;
    try {
        image = CPaletteQuantizer::Reduce(OntoWhite(image), errorDiffusion);
    } catch (const std::bad_alloc&) {
        image = {};
    }
}

bool CCodecImage::Save(const QString& path, int format) const
{
    if (image.isNull() || !FormatName(format))
        return false;
    try {
        QByteArray data;
        bool encoded = false;
        switch (format) {
        case Bmp: encoded = EncodeWithQt(Opaque(image), "bmp", -1, data); break;
        case Png: encoded = EncodeWithQt(image, "png", -1, data); break;
        case Jpeg: encoded = EncodeWithQt(JpegPicture(), "jpeg", jpegQuality, data); break;
        case Gif: encoded = CGifEncoder::Encode(GifPicture(), data); break;
        }
        return encoded && CAtomicFileWriter::Write(path, data);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

QImage CCodecImage::JpegPicture() const
{
    // A picture raised to 24 bits stays colour; otherwise an all-grey one is written with one channel.
    if (image.format() != QImage::Format_RGB888 && IsGrayScale())
        return GrayPlane(image);
    return Opaque(image);
}

QImage CCodecImage::GifPicture() const
{
    if (image.format() == QImage::Format_Indexed8 && !image.hasAlphaChannel())
        return image;
    return CPaletteQuantizer::Reduce(OntoWhite(image), true);
}
