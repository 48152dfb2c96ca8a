#pragma once

#include <cstdint>

// The file type of the open image, decided by the lower-cased extension of its name.
enum class FileType : std::uint32_t
{
    Gif = 0,
    Jpg = 1,
    Jpeg = 2,
    Bmp = 3,
    Png = 4,
    None = 6, // 5 is not used
};
