#pragma once

#include <cstdint>

// What an overlay effect lays over the processing rectangle: lines, a grid of dots or a solid
// colour, blended onto the image with one constant opacity. The pattern is anchored at the
// rectangle's top-left corner (overlay coordinate 0, 0).
class COverlayPattern
{
public:
    // direction 0 (horizontal) or 90 (vertical), any other draws nothing; width 1..3000;
    // spacing 0..3000; colour 0x00BBGGRR; kind 0..4 = solid, dash, dot, dash-dot, dash-dot-dot;
    // translucency 0..255 is the overlay's opacity.
    static COverlayPattern Lines(int direction, int width, int spacing, std::uint32_t color, int kind,
                                 int translucency);
    static COverlayPattern Dots(int leftRight, int topBottom, std::uint32_t color, int translucency);
    static COverlayPattern Solid(std::uint32_t color, int translucency);

    // Writes `count` pixels of one row: where the pattern covers a pixel, the colour blended over
    // `src`; elsewhere `src` unchanged. (ox, oy) are the overlay coordinates of src[0].
    void Render(const std::uint32_t* src, std::uint32_t* dst, int count, int ox, int oy) const;

    // The translucent blend of one overlay pixel over one image pixel (RGB32 values).
    static std::uint32_t Blend(std::uint32_t overlay, std::uint32_t image, int alpha);

private:
    COverlayPattern() = default;
    std::uint32_t pixel = 0xFF000000u; // the colour as an RGB32 pixel
    int alpha = 255;
};
