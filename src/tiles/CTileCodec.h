#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Packs the pixels of a tile small for the scratch file, and unpacks them exactly, every byte of
// every pixel (the fourth included).
//
// A tile is usually packed as its difference (XOR) to the same tile of a neighbouring state: after
// an invert that is one value everywhere, after a partial effect mostly zero. The four bytes of
// the pixels are then split into planes, each byte stored as its difference to the one on its left
// (to the one above at the start of a row), which turns a photo's smooth colours into small
// numbers, and Zstandard at its fastest level codes those. Photo-like tiles come to a quarter of
// their bytes or less.
//
// Thread-safe: each thread packs with a context of its own.
class CTileCodec
{
public:
    // Replaces `out` with the packed form of `count` pixels in rows of `width`, as the difference
    // to `base` when it is not null. False when memory is exhausted.
    static bool Pack(const std::uint32_t* pixels, const std::uint32_t* base, int count, int width,
                     std::vector<std::uint8_t>& out);
    // Restores into `pixels` what Pack made of them with the same `base`, `count` and `width`.
    // False when the data are not a packed tile of that size.
    static bool Unpack(const std::uint8_t* data, std::size_t size, const std::uint32_t* base, int count, int width,
                       std::uint32_t* pixels);
};
