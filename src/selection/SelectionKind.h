#pragma once

#include <cstdint>

// The kind of the committed selection; the same numbers are the tool numbers of the canvas.
enum class SelectionKind : std::int32_t
{
    None = 0,      // pointer tool: the whole image counts as selected
    Rectangle = 1, // two points spanning a half-open rectangle
    Ellipse = 2,   // the ellipse inscribed in that rectangle
    Polygon = 3,   // clicked vertices, closed by a copy of the first
    Freeform = 4,  // sampled drag positions, closed by a copy of the first
};
