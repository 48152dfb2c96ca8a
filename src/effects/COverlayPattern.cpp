#include "effects/COverlayPattern.h"

#include <algorithm>

// Placeholder: being written.
COverlayPattern COverlayPattern::Lines(int, int, int, std::uint32_t, int, int) { return {}; }
COverlayPattern COverlayPattern::Dots(int, int, std::uint32_t, int) { return {}; }
COverlayPattern COverlayPattern::Solid(std::uint32_t, int) { return {}; }
void COverlayPattern::Render(const std::uint32_t* src, std::uint32_t* dst, int count, int, int) const
{
    std::copy(src, src + count, dst);
}
std::uint32_t COverlayPattern::Blend(std::uint32_t overlay, std::uint32_t, int) { return overlay; }
