#pragma once

#include "codec/CCodecImage.h"
#include "tiles/ImageState.h"

#include <QFile>
#include <QImage>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdlib>

// Pictures and comparisons shared by the codec tests.
namespace codec_test {

inline QImage Noise(int w, int h, quint32 seed = 1)
{
    QImage image(w, h, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<quint32*>(image.scanLine(y));
        random.fillRange(row, w);
        std::for_each(row, row + w, [](quint32& p) { p |= 0xFF000000u; });
    }
    return image;
}

// Smooth gradients with soft detail, as in a photograph.
inline QImage PhotoLike(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x + y) * 127 / (w + h) + 64));
    return image;
}

// A picture of at most `colours` colours in blocks.
inline QImage FewColours(int w, int h, int colours)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int i = (x / 3 + y / 5 * 7) % colours;
            image.setPixel(x, y, qRgb(i * 37 % 256, i * 91 % 256, i * 13 % 256));
        }
    return image;
}

inline QImage Grey(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb((x * 3 + y) % 256, (x * 3 + y) % 256, (x * 3 + y) % 256));
    return image;
}

struct Difference
{
    double mean = 0; // per channel
    int largest = 0;
};

inline Difference Compare(const QImage& a, const QImage& b)
{
    const QImage p = a.convertToFormat(QImage::Format_RGB32), q = b.convertToFormat(QImage::Format_RGB32);
    if (p.size() != q.size() || p.isNull())
        return {1e9, 256};
    Difference d;
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) {
            const QRgb s = p.pixel(x, y), t = q.pixel(x, y);
            for (int c :
                 {std::abs(qRed(s) - qRed(t)), std::abs(qGreen(s) - qGreen(t)), std::abs(qBlue(s) - qBlue(t))}) {
                d.mean += c;
                d.largest = std::max(d.largest, c);
            }
        }
    d.mean /= 3.0 * p.width() * p.height();
    return d;
}

// A codec holding `picture`, as the document hands it over.
inline CCodecImage Holding(const QImage& picture)
{
    CCodecImage codec;
    codec.CreateFromState(*ImageState::FromImage(picture));
    return codec;
}

// What the document would show after opening `path`: the picture over white; null if refused.
inline QImage Opened(const QString& path, int format)
{
    CCodecImage codec;
    codec.Load(path, format);
    const auto state = codec.IsValid() ? codec.DrawToState() : nullptr;
    return state ? state->ReadAll() : QImage();
}

inline QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QString FormatSuffix(int format)
{
    switch (format) {
    case CCodecImage::Bmp:
        return QStringLiteral("bmp");
    case CCodecImage::Gif:
        return QStringLiteral("gif");
    case CCodecImage::Jpeg:
        return QStringLiteral("jpg");
    default:
        return QStringLiteral("png");
    }
}

} // namespace codec_test
