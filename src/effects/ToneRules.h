#pragma once

#include <cstdint>

// The per-pixel rules of the tone effects, over spans of RGB32 pixels (byte 0 blue, 1 green, 2 red;
// the fourth byte is copied unchanged). `src` and `dst` may be the same span.
class ToneRules
{
public:
    // The gray value: 0.11 B + 0.59 G + 0.30 R in double precision, summed in that order, truncated.
    static int Luma(int blue, int green, int red);
    static constexpr int ClampByte(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

    static void Gray(const std::uint32_t* src, std::uint32_t* dst, int count, int level);
    static void Invert(const std::uint32_t* src, std::uint32_t* dst, int count);
    // Adds an amount to each channel, clamped; brightness adds the same amount to all three.
    static void AddRgb(const std::uint32_t* src, std::uint32_t* dst, int count, int red, int green, int blue);
    static void Threshold(const std::uint32_t* src, std::uint32_t* dst, int count, int threshold, bool reverse);

private:
    friend class CColorFilter;
    // The colour filter's spans, here to share the vector gray value. A pixel passes when each of
    // its four bytes lies between the same bytes of `low` and `high`; passing pixels are copied, the
    // others grayed with `level`, or given the three colour bytes of `fill` (in pixel byte order).
    static void GrayFailing(const std::uint32_t* src, std::uint32_t* dst, int count, std::uint32_t low,
                            std::uint32_t high, int level);
    static void FillFailing(const std::uint32_t* src, std::uint32_t* dst, int count, std::uint32_t low,
                            std::uint32_t high, std::uint32_t fill);
};
