#pragma once

#include <cstdint>

// The colour filter: pixels whose switched-on channels all lie within their ranges keep their
// colour; the others are grayed (with a level) or painted in the fill colour.
class CColorFilter
{
public:
    struct Channel
    {
        bool on = false;
        int min = 0;
        int max = 255;
    };
    Channel red, green, blue;
    bool grayMode = true;
    int grayLevel = 0;
    std::uint32_t fillColor = 0x00FFFFFF; // 0x00BBGGRR

    bool AnyChannelOn() const { return red.on || green.on || blue.on; }
    // Over a span of RGB32 pixels; `src` and `dst` may be the same span.
    void Apply(const std::uint32_t* src, std::uint32_t* dst, int count) const;
};
