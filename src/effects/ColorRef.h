#pragma once

#include <QColor>
#include <QRgb>

#include <cstdint>

// Colours as the effects take them: 0x00BBGGRR, red in the low byte.
namespace ColorRef {

constexpr int Red(std::uint32_t color)
{
    return int(color & 0xFF);
}
constexpr int Green(std::uint32_t color)
{
    return int((color >> 8) & 0xFF);
}
constexpr int Blue(std::uint32_t color)
{
    return int((color >> 16) & 0xFF);
}
constexpr std::uint32_t Make(int red, int green, int blue)
{
    return std::uint32_t(red & 0xFF) | std::uint32_t(green & 0xFF) << 8 | std::uint32_t(blue & 0xFF) << 16;
}
// The same colour in a pixel's channel order, 0x00RRGGBB, alpha left zero.
constexpr std::uint32_t ToRgb(std::uint32_t color)
{
    return std::uint32_t(Red(color)) << 16 | std::uint32_t(Green(color)) << 8 | std::uint32_t(Blue(color));
}
constexpr std::uint32_t FromRgb(QRgb rgb)
{
    return Make(qRed(rgb), qGreen(rgb), qBlue(rgb));
}
inline QColor ToQColor(std::uint32_t color)
{
    return QColor(Red(color), Green(color), Blue(color));
}
inline std::uint32_t FromQColor(const QColor& color)
{
    return Make(color.red(), color.green(), color.blue());
}

} // namespace ColorRef
