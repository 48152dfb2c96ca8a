#include "widgets/Pictures.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

namespace Pictures {

namespace {

// Rendered at the screen's device pixel ratio, so that a scaled desktop shows them sharp; the
// image says its ratio, so widgets lay it out at `size`.
QImage Canvas(QSize size, QImage::Format format)
{
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QImage image(int(std::ceil(size.width() * ratio)), int(std::ceil(size.height() * ratio)), format);
    image.setDevicePixelRatio(ratio);
    return image;
}

} // namespace

QImage Render(const QString& name, QSize size, QRgb background)
{
    QSvgRenderer renderer(QStringLiteral(":/pictures/%1.svg").arg(name));
    if (!renderer.isValid() || size.isEmpty())
        return {};
    QImage image = Canvas(size, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

QPixmap Masked(const QString& name, QSize size)
{
    // Rendered onto transparency, so antialiased edges do not take on the key colour; magenta the
    // picture paints itself is then cut out as well.
    constexpr QRgb Magenta = 0xFFFF00FFu;
    QSvgRenderer renderer(QStringLiteral(":/pictures/%1.svg").arg(name));
    if (!renderer.isValid() || size.isEmpty())
        return {};
    QImage image = Canvas(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (row[x] == Magenta)
                row[x] = 0;
    }
    return QPixmap::fromImage(image);
}

} // namespace Pictures
