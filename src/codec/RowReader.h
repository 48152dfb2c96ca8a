#pragma once

#include <cstdint>
#include <functional>

// Fills `row` with the RGB32 pixels of picture row `y`: how the encoders read a picture, whether it
// is held as one image or as the tiles of a state. May be called from several threads at once.
using RowReader = std::function<void(int y, std::uint32_t* row)>;
