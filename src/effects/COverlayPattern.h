#pragma once

#include <array>
#include <climits>
#include <cstdint>

// What an overlay effect lays over the processing rectangle: lines, a grid of dots or a solid
// colour, blended onto the image with one constant opacity. The pattern is anchored at the
// rectangle's top-left corner (overlay coordinate 0, 0).
//
// Every pattern is the product of one pattern across the rows and one along them: a pixel is
// covered when its row is covered and its column is. Horizontal lines are rows (dashed along x),
// vertical lines columns (dashed along y), dots every n-th row and column.
class COverlayPattern
{
public:
    // direction 0 (horizontal) or 90 (vertical), any other draws nothing; width 1..3000;
    // spacing 0..3000; colour 0x00BBGGRR; kind 0..4 = solid, dash, dot, dash-dot, dash-dot-dot;
    // translucency 0..255 is the overlay's opacity.
    //
    // A line centred on row y covers rows y - width/2 .. y - width/2 + width - 1. The dash kinds
    // follow Qt's pen patterns in units of the width: a wide dashed line has dashes and gaps that
    // many times longer. Lines are laid only for centres before `extent`, the height of the
    // rectangle for horizontal lines and its width for vertical ones, so a wide line centred
    // just past the far edge does not show its near half.
    static COverlayPattern Lines(int direction, int width, int spacing, std::uint32_t color, int kind, int translucency,
                                 std::int64_t extent);
    static COverlayPattern Dots(int leftRight, int topBottom, std::uint32_t color, int translucency);
    static COverlayPattern Solid(std::uint32_t color, int translucency);

    // Writes `count` pixels of one row: where the pattern covers a pixel, the colour blended over
    // `src`; elsewhere `src` unchanged. (ox, oy) are the overlay coordinates of src[0]. `dst` may
    // be `src` itself. Safe to call concurrently.
    void Render(const std::uint32_t* src, std::uint32_t* dst, int count, std::int64_t ox, std::int64_t oy) const;

    // Whether Render gives back every pixel unchanged: no line is drawn, or the overlay is fully
    // transparent.
    bool ChangesNothing() const { return !visible || blender.keep == 255; }

    // The translucent blend of one overlay pixel over one image pixel (RGB32 values).
    static std::uint32_t Blend(std::uint32_t overlay, std::uint32_t image, int alpha);

private:
    // A run of covered and uncovered stretches repeating along one axis.
    struct Periodic
    {
        static constexpr int MaxRuns = 6;
        std::array<std::int64_t, MaxRuns> runs{}; // alternately covered, uncovered; first covered
        int runCount = 0;                         // 0: covers every position
        std::int64_t period = 1;
        std::int64_t shift = 0;       // position in the pattern = coordinate + shift; negative ones are uncovered
        std::int64_t end = INT64_MAX; // positions from here on are uncovered
    };
    // The blend's constants: the colour's channels premultiplied by the opacity.
    struct Blender
    {
        std::uint32_t redBlue = 0; // red·a + 127 in bits 16..31, blue·a + 127 in bits 0..15
        std::uint32_t green = 0;   // green·a + 127
        std::uint32_t keep = 0;    // 255 - a, the image's weight
    };

    COverlayPattern() = default;
    static Blender MakeBlender(std::uint32_t color, int translucency);
    void RenderColumns(const std::uint32_t* src, std::uint32_t* dst, int count, std::int64_t position) const;
    void RenderChunk(const std::uint32_t* src, std::uint32_t* dst, int count, std::int64_t position) const;
    void BuildTable();
    static Periodic Repeating(std::int64_t covered, std::int64_t uncovered, std::int64_t shift);
    static Periodic Dashes(int kind, int width);
    static bool Covers(const Periodic& pattern, std::int64_t position);
    // Whether `position` is covered, and how many positions from it on share its state.
    static std::int64_t RunAt(const Periodic& pattern, std::int64_t position, bool& covered);
    // mask[i] = all ones where position + i is covered, zero elsewhere.
    static void FillMask(const Periodic& pattern, std::uint32_t* mask, int count, std::int64_t position);

    // Columns repeating at most this often are served from a precomputed mask.
    static constexpr int TablePeriod = 256;
    static constexpr int Chunk = 128; // pixels masked per step, one tile row

    Blender blender;
    Periodic rows;
    Periodic columns;
    bool visible = true;
    bool tabled = false;
    // For short column periods: covered (all ones) or not (zero) for positions 0 .. period + Chunk - 1.
    std::array<std::uint32_t, TablePeriod + Chunk> table{};
};
