#include "effects/CColorFilter.h"

#include "effects/ColorRef.h"

#include "effects/ToneRules.h"

#include <algorithm>

namespace {

// The passing range of every byte of a pixel as two pixel-shaped patterns: a pixel passes when each
// of its bytes is at least the byte of `low` and at most the byte of `high`. A channel switched off,
// and the fourth byte, take the whole range 0..255.
struct PassRange
{
    std::uint32_t low = 0;
    std::uint32_t high = 0xFFFFFFFFu;
};

void Limit(PassRange& range, const CColorFilter::Channel& c, int shift)
{
    if (!c.on)
        return;
    // A channel holds 0..255, so only that part of [min, max] can ever pass; an empty part becomes
    // at least 255 and at most 0, which no value meets.
    int low = std::max(c.min, 0), high = std::min(c.max, 255);
    if (low > high) {
        low = 255;
        high = 0;
    }
    range.low |= std::uint32_t(low) << shift;
    range.high &= ~(0xFFu << shift) | std::uint32_t(high) << shift;
}

PassRange RangeOf(const CColorFilter& filter)
{
    PassRange range;
    Limit(range, filter.blue, 0);
    Limit(range, filter.green, 8);
    Limit(range, filter.red, 16);
    return range;
}

} // namespace

void CColorFilter::Apply(const std::uint32_t* src, std::uint32_t* dst, int count) const
{
    const PassRange range = RangeOf(*this);
    if (grayMode)
        return ToneRules::GrayFailing(src, dst, count, range.low, range.high, grayLevel);
    ToneRules::FillFailing(src, dst, count, range.low, range.high, ColorRef::ToRgb(fillColor));
}
