#include "codec/CCodecImage.h"

#include "codec/CAtomicFileWriter.h"
#include "codec/CGifEncoder.h"
#include "codec/CJpegDecoder.h"
#include "codec/CJpegEncoder.h"
#include "codec/CMemoryDevice.h"
#include "codec/CPaletteQuantizer.h"
#include "codec/CPngChunkFilter.h"
#include "codec/CPngDecoder.h"
#include "codec/CPngEncoder.h"
#include "codec/PictureOverWhite.h"
#include "tiles/CSystemMemory.h"
#include "tiles/ImageState.h"

#include <QFile>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* FormatName(int format)
{
    switch (format) {
    case CCodecImage::Bmp:
        return "bmp";
    case CCodecImage::Gif:
        return "gif";
    case CCodecImage::Jpeg:
        return "jpeg";
    case CCodecImage::Png:
        return "png";
    default:
        return nullptr;
    }
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
        const bool grey = std::all_of(row, row + indexed.width(),
                                      [&palette](uchar i) { return i >= palette.size() || qIsGray(palette[i]); });
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
    decoded.reset();
    raised = false;
    cause.clear();
    const char* name = FormatName(format);
    if (!name)
        return;
    QFile file;
    if (!OpenRegularFile(path, file)) {
        cause = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    try {
        // The header alone decides whether the picture may be decoded at all.
        QSize claimed;
        {
            QtReader header(file, format);
            claimed = ClaimedSize(header.reader, file, format);
        }
        if (!Plausible(claimed, file.size(), format)) {
            cause = TooLargeText();
            return;
        }
        // Our own decoders ask for the memory they need themselves, knowing the file's layout.
        if (DecodeStraight(file, format))
            return;
        if (!file.seek(0))
            return void(cause = IncompleteText());
        QtReader qt(file, format);
        if (!CSystemMemory::CanTake(DecodingBytes(claimed))) {
            cause = TooLargeText();
            return;
        }
        image = format == Bmp ? ReadCovered(qt.reader, file) : qt.reader.read();
        if (image.isNull())
            cause = IncompleteText();
    } catch (const std::bad_alloc&) {
        image = {};
        cause = QString::fromLocal8Bit(std::strerror(ENOMEM));
    }
}

CCodecImage::QtReader::QtReader(QFile& file, int format) : filtered(file)
{
    // What a PNG's metadata claims is not for the decoder to allocate.
    QIODevice* device = &file;
    if (format == Png && filtered.open(QIODevice::ReadOnly))
        device = &filtered;
    reader.setDevice(device);
    reader.setFormat(FormatName(format));
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(AllocationLimitMiB);
}

bool CCodecImage::DecodeStraight(QFile& file, int format)
{
    if ((format != Jpeg && format != Png) || !file.seek(0))
        return false;
    DecodeResult result = DecodeResult::NotTaken;
    if (format == Jpeg) {
        // The JPEG decoder takes the file whole; a file of any length may claim a small picture.
        result = CSystemMemory::CanTake(std::uint64_t(std::max<qint64>(0, file.size())))
                     ? CJpegDecoder::Decode(file.readAll(), decoded)
                     : DecodeResult::TooLarge;
    } else {
        CPngChunkFilter filtered(file);
        if (filtered.open(QIODevice::ReadOnly))
            result = CPngDecoder::Decode(filtered, decoded);
    }
    switch (result) {
    case DecodeResult::Decoded:
        return true;
    case DecodeResult::NotTaken:
        return false;
    case DecodeResult::Broken:
        cause = IncompleteText();
        return true;
    case DecodeResult::TooLarge:
        cause = TooLargeText();
        return true;
    case DecodeResult::NoMemory:
        break;
    }
    cause = QString::fromLocal8Bit(std::strerror(ENOMEM));
    return true;
}

const QImage& CCodecImage::Held() const
{
    if (decoded) {
        image = decoded->ReadAll();
        decoded.reset();
    }
    return image;
}

bool CCodecImage::OpenRegularFile(const QString& path, QFile& file)
{
    // One open, never blocking: a FIFO or device put in the file's place opens at once and is
    // refused by what fstat says of the very file that was opened, which is the one decoded.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat facts = {};
    if (::fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode)) {
        const int why = S_ISDIR(facts.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = why;
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        errno = EIO;
        return false;
    }
    return true;
}

std::uint64_t CCodecImage::DecodingBytes(QSize size)
{
    // The decoded picture, a converted copy of it and the first state's tiles.
    const std::uint64_t pixels = std::uint64_t(std::max(0, size.width())) * std::uint64_t(std::max(0, size.height()));
    return 2 * 4 * pixels + ImageState::StorageBytes(size.width(), size.height());
}

QSize CCodecImage::ClaimedSize(QImageReader& reader, QFile& file, int format)
{
    const QSize size = reader.size();
    if (format != Gif)
        return size;
    // The decoder paints a GIF's frames onto its logical screen, which the frame size can hide.
    const QByteArray head = file.peek(10);
    if (head.size() < 10 || !head.startsWith("GIF"))
        return size;
    const auto at = [&head](int i) { return int(uchar(head[i])) | int(uchar(head[i + 1])) << 8; };
    const QSize screen(at(6), at(8));
    return qint64(screen.width()) * screen.height() > qint64(size.width()) * size.height() ? screen : size;
}

bool CCodecImage::Plausible(QSize size, qint64 fileBytes, int format)
{
    if (!size.isValid() || size.isEmpty())
        return true; // the decoder refuses what it cannot size
    const double pixels = double(size.width()) * size.height();
    if (pixels * 4 > double(AllocationLimitMiB) * 1024 * 1024)
        return false;
    // The most pixels one byte of the file can stand for, with a margin: deflate expands a byte at
    // most 1032 times and a PNG pixel takes at least a bit; a JPEG block of 64 pixels takes at least
    // a bit; GIF codes of 12 bits stand for strings of up to 4096 pixels; a BMP may end early or jump
    // over rows (the rest stays white), so it is allowed tens of thousands of pixels a byte.
    double perByte = 0;
    switch (format) {
    case Png:
        perByte = 4 * 1032 * 8;
        break;
    case Jpeg:
        perByte = 4 * 64 * 8;
        break;
    case Gif:
        perByte = 4 * 4096 / 1.5;
        break;
    default:
        perByte = 65536;
        break;
    }
    constexpr double smallPicture = 1 << 16; // pixels any header may claim
    return pixels <= smallPicture + perByte * double(std::max<qint64>(fileBytes, 0));
}

QImage CCodecImage::ReadCovered(QImageReader& reader, QFile& file)
{
    const QSize size = reader.size();
    const QImage::Format format = reader.imageFormat();
    if (!size.isValid() || format == QImage::Format_Invalid)
        return reader.read();
    QImage canvas(size, format);
    if (canvas.isNull())
        return {};
    if (canvas.depth() > 8) {
        // The reader writes into a canvas of its own size and format: what it leaves is white.
        canvas.fill(0xFFFFFFFFu);
        return reader.read(&canvas) ? canvas : QImage();
    }
    // Palette indices: white may not be among them, so two reads with opposite fillings tell
    // which pixels the file covered.
    canvas.fill(0);
    QImage other(size, format);
    if (other.isNull() || !reader.read(&canvas) || !file.seek(0))
        return {};
    other.fill(canvas.depth() == 1 ? 1 : 255);
    QImageReader again(&file, FormatName(Bmp));
    again.setAutoDetectImageFormat(false);
    again.setDecideFormatFromContent(false);
    again.setAllocationLimit(AllocationLimitMiB);
    if (!again.read(&other))
        return {};
    return WhereCovered(canvas, other);
}

QImage CCodecImage::WhereCovered(const QImage& first, const QImage& second)
{
    QImage a = first.convertToFormat(QImage::Format_Indexed8);
    const QImage b = second.convertToFormat(QImage::Format_Indexed8);
    if (a.isNull() || b.isNull() || a.size() != b.size())
        return {};
    if (a == b)
        return first; // the file covered every pixel
    // A white palette entry, added where the palette has room; failing that, direct colour.
    QList<QRgb> colors = a.colorTable();
    qsizetype white = colors.indexOf(0xFFFFFFFFu);
    if (white < 0 && colors.size() < 256) {
        white = colors.size();
        colors.append(0xFFFFFFFFu);
        a.setColorTable(colors);
    }
    QImage direct = white < 0 ? a.convertToFormat(QImage::Format_RGB32) : QImage();
    if (white < 0 && direct.isNull())
        return {};
    for (int y = 0; y < a.height(); ++y) {
        uchar* p = a.scanLine(y);
        const uchar* q = b.constScanLine(y);
        auto* row = white < 0 ? reinterpret_cast<QRgb*>(direct.scanLine(y)) : nullptr;
        for (int x = 0; x < a.width(); ++x) {
            if (p[x] == q[x])
                continue;
            if (row)
                row[x] = 0xFFFFFFFFu;
            else
                p[x] = uchar(white);
        }
    }
    return white < 0 ? direct : a;
}

std::unique_ptr<ImageState> CCodecImage::DrawToState() const
{
    if (decoded)
        return decoded->Clone();
    if (image.isNull())
        return {};
    if (image.format() == QImage::Format_RGB32)
        return ImageState::FromImage(image);
    try {
        // Converted a block of whole tiles at a time, so no second whole-image buffer is needed, even
        // for a picture one pixel high.
        auto state = ImageState::CreateFilled(image.width(), image.height(), 0xFFFFFFFF);
        if (!state)
            return {};
        constexpr int blockTiles = 64;
        const int across = std::min(state->TileColumns(), blockTiles);
        const int blockWidth = across * state->TileWidth();
        const int blockHeight = (blockTiles / across) * state->TileHeight();
        for (int y = 0; y < image.height(); y += blockHeight) {
            for (int x = 0; x < image.width(); x += blockWidth) {
                const QRect block(x, y, std::min(blockWidth, image.width() - x),
                                  std::min(blockHeight, image.height() - y));
                const QImage part = OntoWhite(image.copy(block));
                if (part.isNull() || !state->WriteRegion(part, block.topLeft()))
                    return {};
            }
        }
        return state;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

void CCodecImage::CreateFromState(const ImageState& state)
{
    // The state's tiles are shared, not copied: the encoders read their rows from them.
    image = {};
    raised = false;
    decoded = state.Clone();
}

bool CCodecImage::IsGrayScale() const
{
    if (decoded) {
        std::vector<std::uint32_t> row(std::size_t(decoded->width()));
        for (int y = 0; y < decoded->height(); ++y) {
            decoded->ReadRow(y, row.data());
            if (!std::all_of(row.begin(), row.end(), [](QRgb c) { return qIsGray(c); }))
                return false;
        }
        return true;
    }
    if (image.isNull())
        return false;
    if (image.colorCount() == 0)
        return image.allGray();
    // A palette may hold colours no pixel uses.
    return image.allGray() || UsedColorsAreGray(image);
}

void CCodecImage::IncreaseBpp(int bits)
{
    if (bits != 24)
        return;
    if (decoded) {
        raised = true; // a state's pixels are 24-bit colour already; only grey is no longer chosen
        return;
    }
    if (image.isNull())
        return;
    // A failed conversion leaves nothing held, which IsValid() reports.
    image = OntoWhite(image).convertToFormat(QImage::Format_RGB888);
}

void CCodecImage::DecreaseBpp(int bits, bool errorDiffusion)
{
    Held();
    if (bits != 8 || image.isNull())
        return;
    try {
        image = CPaletteQuantizer::Reduce(OntoWhite(image), errorDiffusion);
    } catch (const std::bad_alloc&) {
        image = {};
    }
}

bool CCodecImage::Save(const QString& path, int format, CAtomicFileWriter::Mode mode) const
{
    // An image lost on the way here could not get its memory.
    cause = QString::fromLocal8Bit(std::strerror(ENOMEM));
    if (!IsValid() || !FormatName(format) || (format != Png && format != Jpeg && Held().isNull()))
        return false;
    try {
        QByteArray data;
        bool encoded = false;
        switch (format) {
        case Bmp:
            encoded = EncodeWithQt(Opaque(image), "bmp", -1, data);
            break;
        case Png:
            encoded = EncodePng(data);
            break;
        case Jpeg:
            encoded = EncodeJpeg(data);
            break;
        case Gif:
            encoded = CGifEncoder::Encode(GifPicture(), data);
            break;
        }
        if (!encoded) {
            cause = TooLargeText(); // what the format's encoder refuses is a size it cannot hold
            return false;
        }
        if (!CAtomicFileWriter::Write(path, data, mode, &cause))
            return false;
        cause.clear();
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool CCodecImage::EncodesDirectly() const
{
    // A palette or translucency is for Qt's writers.
    return decoded || (image.colorCount() == 0 && !image.hasAlphaChannel());
}

bool CCodecImage::HeldIsGray() const
{
    // A picture raised to 24 bits stays colour.
    return !raised && (decoded || image.format() != QImage::Format_RGB888) && IsGrayScale();
}

RowReader CCodecImage::HeldRows() const
{
    const ImageState* state = decoded.get();
    const QImage* held = &image;
    return [state, held](int y, std::uint32_t* row) {
        if (state)
            state->ReadRow(y, row);
        else if (held->format() == QImage::Format_RGB32)
            std::memcpy(row, held->constScanLine(y), std::size_t(held->width()) * 4);
        else
            for (int x = 0; x < held->width(); ++x)
                row[x] = held->pixel(x, y);
    };
}

QSize CCodecImage::HeldSize() const
{
    return decoded ? decoded->size() : image.size();
}

QSize CCodecImage::DotsPerMeter()
{
    const QImage standard(1, 1, QImage::Format_RGB32); // the resolution Qt's writers record
    return {standard.dotsPerMeterX(), standard.dotsPerMeterY()};
}

bool CCodecImage::EncodePng(QByteArray& data) const
{
    if (!EncodesDirectly())
        return EncodeWithQt(image, "png", -1, data);
    return CPngEncoder::Encode(HeldSize(), HeldIsGray(), HeldRows(), data, DotsPerMeter());
}

bool CCodecImage::EncodeJpeg(QByteArray& data) const
{
    if (!EncodesDirectly())
        return EncodeWithQt(JpegPicture(), "jpeg", jpegQuality, data);
    return CJpegEncoder::Encode(HeldSize(), HeldIsGray(), HeldRows(), jpegQuality, data, DotsPerMeter());
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
