#pragma once

#include <cstdint>
#include <random>
#include <vector>

// An RGB32 pixel; the fourth byte is given so rules that must keep it can be checked.
constexpr std::uint32_t Pixel(int red, int green, int blue, std::uint32_t fourth = 0xFF)
{
    return fourth << 24 | std::uint32_t(red) << 16 | std::uint32_t(green) << 8 | std::uint32_t(blue);
}

// Random pixels, the fourth byte random too.
inline std::vector<std::uint32_t> RandomPixels(std::size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint32_t> pixels(count);
    for (auto& p : pixels)
        p = std::uint32_t(random());
    return pixels;
}
