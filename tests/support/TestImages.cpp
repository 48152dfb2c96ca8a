#include "support/TestImages.h"

#include <QImageWriter>

#include <cmath>
#include <cstdlib>

QImage MakePhotoLike(int width, int height, unsigned seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    unsigned state = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> 29); // 0..7
            const int r = int(127 + 100 * std::sin(x * 0.05 + seed)) + noise;
            const int g = int(127 + 100 * std::cos(y * 0.04)) + noise;
            const int b = (x + y) * 255 / (width + height) + noise / 2;
            row[x] = qRgb(std::min(r, 255), std::min(g, 255), std::min(b, 255));
        }
    }
    return image;
}

QString WriteWithQt(const QImage& image, const QString& path, const char* format)
{
    QImageWriter writer(path, format);
    writer.setQuality(100);
    return writer.write(image) ? path : QString();
}

double MeanChannelError(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 1e9;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            sum += std::abs(qRed(ra[x]) - qRed(rb[x])) + std::abs(qGreen(ra[x]) - qGreen(rb[x])) +
                   std::abs(qBlue(ra[x]) - qBlue(rb[x]));
        }
    }
    return sum / (3.0 * a.width() * a.height());
}
