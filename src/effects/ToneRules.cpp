#include "effects/ToneRules.h"

namespace {

constexpr std::uint32_t Channel(std::uint32_t pixel, int shift)
{
    return (pixel >> shift) & 0xFF;
}

} // namespace

int ToneRules::Luma(int blue, int green, int red)
{
    const double sum = 0.11 * blue + 0.59 * green;
    return int(sum + 0.30 * red);
}

void ToneRules::Gray(const std::uint32_t* src, std::uint32_t* dst, int count, int level)
{
    for (int i = 0; i < count; ++i) {
        const std::uint32_t p = src[i];
        const auto v = std::uint32_t(ClampByte(Luma(int(Channel(p, 0)), int(Channel(p, 8)), int(Channel(p, 16))) + level));
        dst[i] = (p & 0xFF000000u) | v << 16 | v << 8 | v;
    }
}

void ToneRules::Invert(const std::uint32_t* src, std::uint32_t* dst, int count)
{
    for (int i = 0; i < count; ++i)
        dst[i] = src[i] ^ 0x00FFFFFFu;
}

void ToneRules::AddRgb(const std::uint32_t* src, std::uint32_t* dst, int count, int red, int green, int blue)
{
    for (int i = 0; i < count; ++i) {
        const std::uint32_t p = src[i];
        const auto b = std::uint32_t(ClampByte(int(Channel(p, 0)) + blue));
        const auto g = std::uint32_t(ClampByte(int(Channel(p, 8)) + green));
        const auto r = std::uint32_t(ClampByte(int(Channel(p, 16)) + red));
        dst[i] = (p & 0xFF000000u) | r << 16 | g << 8 | b;
    }
}

void ToneRules::Threshold(const std::uint32_t* src, std::uint32_t* dst, int count, int threshold, bool reverse)
{
    for (int i = 0; i < count; ++i) {
        const std::uint32_t p = src[i];
        const bool high = Luma(int(Channel(p, 0)), int(Channel(p, 8)), int(Channel(p, 16))) >= threshold;
        dst[i] = (p & 0xFF000000u) | (high != reverse ? 0x00FFFFFFu : 0u);
    }
}
