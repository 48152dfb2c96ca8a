#include "effects/CColorFilter.h"

#include "effects/ToneRules.h"

namespace {

bool Passes(const CColorFilter::Channel& c, int value)
{
    return !c.on || (c.min <= value && value <= c.max);
}

} // namespace

void CColorFilter::Apply(const std::uint32_t* src, std::uint32_t* dst, int count) const
{
    const std::uint32_t fill = (fillColor & 0xFF) << 16 | (fillColor & 0xFF00) | (fillColor >> 16 & 0xFF);
    for (int i = 0; i < count; ++i) {
        const std::uint32_t p = src[i];
        const int b = int(p & 0xFF), g = int(p >> 8 & 0xFF), r = int(p >> 16 & 0xFF);
        if (Passes(blue, b) && Passes(green, g) && Passes(red, r)) {
            dst[i] = p;
        } else if (grayMode) {
            const auto v = std::uint32_t(ToneRules::ClampByte(ToneRules::Luma(b, g, r) + grayLevel));
            dst[i] = (p & 0xFF000000u) | v << 16 | v << 8 | v;
        } else {
            dst[i] = (p & 0xFF000000u) | fill;
        }
    }
}
