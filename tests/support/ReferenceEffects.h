#pragma once

// A slow, literal model of the effects for the tests: the whole picture is copied, the effect runs
// over the processing rectangle of the copy, and the result is merged back through the two full-size
// selection masks with bitwise AND and OR. It shares nothing with the tile pipeline or the pixel
// rules except the mask renderer, which has tests of its own, and the overlay blend.

#include "selection/CSelection.h"

#include <QImage>
#include <QList>
#include <QPoint>

#include <cstdint>
#include <string>

class CImageDoc;

namespace Reference {

enum class EffectKind
{
    Gray,
    Invert,
    Brightness,
    Rgb,
    Threshold,
    ColorFilter,
    Lines,
    Dots,
    Solid,
};

struct Range
{
    bool on = false;
    int min = 0;
    int max = 255;
};

// One call of a CImageDoc::Apply* function with its arguments.
struct Effect
{
    EffectKind kind = EffectKind::Invert;
    int amount = 0;                   // gray level, brightness amount, threshold
    int red = 0, green = 0, blue = 0; // Rgb amounts
    bool reverse = false;             // Threshold
    Range redRange{}, greenRange{}, blueRange{};
    bool grayMode = true; // ColorFilter: failing pixels grayed, else filled
    int grayLevel = 0;
    std::uint32_t color = 0;                                 // 0x00BBGGRR: filter fill, overlay colour
    int direction = 0, width = 1, spacing = 0, lineKind = 0; // Lines
    int leftRight = 0, topBottom = 0;                        // Dots
    int translucency = 255;                                  // overlays: opacity
};

// A selection as the canvas leaves it: a kind and the points in the order they were added.
struct Shape
{
    SelectionKind kind = SelectionKind::None;
    QList<QPoint> points;
};

// Sets `selection` the way the canvas does: Clear, AddPoint for each point, then the kind.
void Select(CSelection& selection, const Shape& shape);

// Calls the document's Apply* function for `effect`.
bool ApplyTo(CImageDoc& doc, const Effect& effect);

// What the effect makes of `picture` (RGB32) under the selection.
QImage Expected(const QImage& picture, const Shape& shape, const Effect& effect);

// The selection's bounds as the model sees them: the extremes of the points, or the whole image for
// kind None. Returned as left, top, right, bottom.
CSelection::Bounds BoundsOf(const Shape& shape, QSize image);

// The overlay colour as an RGB32 pixel.
std::uint32_t OverlayPixel(std::uint32_t color);

std::string Describe(const Effect& effect);
std::string Describe(const Shape& shape);

// Empty when the images are equal bit for bit, else the number of differing pixels and the first few.
std::string Difference(const QImage& expected, const QImage& actual);

} // namespace Reference
