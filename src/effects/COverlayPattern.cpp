#include "effects/COverlayPattern.h"

#include "effects/ColorRef.h"

#include <QPen>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

// v / 255 for 0 <= v <= 65152 (the largest weighted sum plus the rounding 127), in each 16-bit
// lane of a 32-bit word; no lane carries into the next.
constexpr std::uint32_t Div255Lanes(std::uint32_t v)
{
    return ((v + ((v >> 8) & 0x00FF00FFu) + 0x00010001u) >> 8) & 0x00FF00FFu;
}

constexpr std::uint32_t Div255(std::uint32_t v)
{
    return (v + (v >> 8) + 1) >> 8;
}

// (overlay·a + image·(255 − a) + 127) / 255 per channel, the overlay's part precomputed; red and
// blue share one multiplication. Byte 3 stays the image's.
inline std::uint32_t BlendPixel(std::uint32_t p, std::uint32_t redBlue, std::uint32_t green, std::uint32_t keep)
{
    const std::uint32_t rb = Div255Lanes((p & 0x00FF00FFu) * keep + redBlue);
    const std::uint32_t g = Div255(((p >> 8) & 0xFFu) * keep + green);
    return (p & 0xFF000000u) | rb | g << 8;
}

// On x86-64 the spans are built twice, for AVX2 and for any processor, and the loader picks one.
#if defined(__x86_64__)
#define QUORVEL_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define QUORVEL_VECTOR_CLONES
#endif

// The constants are passed by value so the compiler sees nothing that dst could alias.
QUORVEL_VECTOR_CLONES void BlendSpan(const std::uint32_t* src, std::uint32_t* dst, int count, std::uint32_t redBlue,
                                     std::uint32_t green, std::uint32_t keep)
{
    for (int i = 0; i < count; ++i)
        dst[i] = BlendPixel(src[i], redBlue, green, keep);
}

// Blends where mask is all ones, copies where it is zero; branch-free so it vectorises.
QUORVEL_VECTOR_CLONES void SelectSpan(const std::uint32_t* src, const std::uint32_t* mask, std::uint32_t* dst,
                                      int count, std::uint32_t redBlue, std::uint32_t green, std::uint32_t keep)
{
    for (int i = 0; i < count; ++i) {
        const std::uint32_t s = src[i];
        const std::uint32_t m = mask[i];
        dst[i] = (BlendPixel(s, redBlue, green, keep) & m) | (s & ~m);
    }
}

void Copy(const std::uint32_t* src, std::uint32_t* dst, int count)
{
    if (src != dst)
        std::memmove(dst, src, std::size_t(count) * sizeof(std::uint32_t));
}

} // namespace

COverlayPattern COverlayPattern::Lines(int direction, int width, int spacing, std::uint32_t color, int kind,
                                       int translucency, std::int64_t extent)
{
    COverlayPattern p;
    p.blender = MakeBlender(color, translucency);
    if (direction != 0 && direction != 90) {
        p.visible = false;
        return p;
    }
    // Width 0 is drawn one pixel wide, as a Qt pen of width 0 is.
    const std::int64_t w = std::max(width, 1);
    const std::int64_t gap = std::max(spacing, 0);
    Periodic across = Repeating(w, gap, w / 2);
    // The last line is centred on the last multiple of the step before the extent.
    const std::int64_t step = w + gap;
    across.end = extent <= 0 ? 0 : (extent - 1) / step * step + w;
    const Periodic along = Dashes(kind, int(w));
    p.rows = direction == 0 ? across : along;
    p.columns = direction == 0 ? along : across;
    p.BuildTable();
    return p;
}

COverlayPattern COverlayPattern::Dots(int leftRight, int topBottom, std::uint32_t color, int translucency)
{
    COverlayPattern p;
    p.blender = MakeBlender(color, translucency);
    p.rows = Repeating(1, std::max(topBottom, 0), 0);
    p.columns = Repeating(1, std::max(leftRight, 0), 0);
    p.BuildTable();
    return p;
}

COverlayPattern COverlayPattern::Solid(std::uint32_t color, int translucency)
{
    COverlayPattern p;
    p.blender = MakeBlender(color, translucency);
    return p;
}

void COverlayPattern::Render(const std::uint32_t* src, std::uint32_t* dst, int count, std::int64_t ox,
                             std::int64_t oy) const
{
    if (count <= 0)
        return;
    if (!visible || !Covers(rows, oy + rows.shift)) {
        Copy(src, dst, count);
        return;
    }
    RenderColumns(src, dst, count, ox + columns.shift);
}

std::uint32_t COverlayPattern::Blend(std::uint32_t overlay, std::uint32_t image, int alpha)
{
    const Blender b = MakeBlender(ColorRef::FromRgb(overlay), alpha);
    return BlendPixel(image, b.redBlue, b.green, b.keep);
}

COverlayPattern::Blender COverlayPattern::MakeBlender(std::uint32_t color, int translucency)
{
    Blender b;
    const std::uint32_t a = std::uint32_t(std::clamp(translucency, 0, 255));
    const auto red = std::uint32_t(ColorRef::Red(color));
    const auto green = std::uint32_t(ColorRef::Green(color));
    const auto blue = std::uint32_t(ColorRef::Blue(color));
    b.redBlue = (red * a + 127) << 16 | (blue * a + 127);
    b.green = green * a + 127;
    b.keep = 255 - a;
    return b;
}

void COverlayPattern::RenderColumns(const std::uint32_t* src, std::uint32_t* dst, int count,
                                    std::int64_t position) const
{
    for (int done = 0; done < count; done += Chunk)
        RenderChunk(src + done, dst + done, std::min(Chunk, count - done), position + done);
}

void COverlayPattern::RenderChunk(const std::uint32_t* src, std::uint32_t* dst, int count, std::int64_t position) const
{
    const Blender& b = blender;
    if (tabled && position >= 0 && position + count <= columns.end) {
        SelectSpan(src, table.data() + position % columns.period, dst, count, b.redBlue, b.green, b.keep);
        return;
    }
    bool covered = false;
    if (RunAt(columns, position, covered) >= count) { // one run, so no mask is needed
        if (covered)
            BlendSpan(src, dst, count, b.redBlue, b.green, b.keep);
        else
            Copy(src, dst, count);
        return;
    }
    std::uint32_t mask[Chunk];
    FillMask(columns, mask, count, position);
    SelectSpan(src, mask, dst, count, b.redBlue, b.green, b.keep);
}

void COverlayPattern::BuildTable()
{
    tabled = columns.runCount != 0 && columns.period <= TablePeriod;
    if (tabled)
        FillMask(columns, table.data(), int(columns.period) + Chunk, 0);
}

COverlayPattern::Periodic COverlayPattern::Repeating(std::int64_t covered, std::int64_t uncovered, std::int64_t shift)
{
    Periodic p;
    // Nothing left uncovered: every position from the first on is covered, but the start keeps its
    // shift, so a wide line still begins half its width before its centre.
    p.shift = shift;
    if (uncovered <= 0)
        return p;
    p.runs[0] = covered;
    p.runs[1] = uncovered;
    p.runCount = 2;
    p.period = covered + uncovered;
    return p;
}

COverlayPattern::Periodic COverlayPattern::Dashes(int kind, int width)
{
    if (kind < 1 || kind > 4)
        return {};
    const QList<qreal> pattern = QPen(Qt::PenStyle(Qt::SolidLine + kind)).dashPattern();
    Periodic p;
    p.period = 0;
    const qsizetype n = std::min<qsizetype>(pattern.size(), Periodic::MaxRuns) & ~qsizetype(1);
    for (qsizetype i = 0; i < n; ++i) {
        // In units of the width, as Qt lays a wide pen's dashes.
        const std::int64_t run = std::max<std::int64_t>(1, std::llround(pattern[i] * width));
        p.runs[std::size_t(p.runCount++)] = run;
        p.period += run;
    }
    return p.runCount ? p : Periodic{};
}

bool COverlayPattern::Covers(const Periodic& pattern, std::int64_t position)
{
    bool covered = false;
    RunAt(pattern, position, covered);
    return covered;
}

std::int64_t COverlayPattern::RunAt(const Periodic& pattern, std::int64_t position, bool& covered)
{
    covered = false;
    if (position >= pattern.end)
        return INT64_MAX;
    if (position < 0) // before the pattern's start nothing is covered
        return -position;
    covered = pattern.runCount == 0;
    if (covered)
        return pattern.end - position;
    std::int64_t q = position % pattern.period;
    int run = 0;
    while (q >= pattern.runs[std::size_t(run)])
        q -= pattern.runs[std::size_t(run++)];
    covered = run % 2 == 0;
    return std::min(pattern.runs[std::size_t(run)] - q, pattern.end - position);
}

void COverlayPattern::FillMask(const Periodic& pattern, std::uint32_t* mask, int count, std::int64_t position)
{
    bool covered = false;
    std::int64_t left = RunAt(pattern, position, covered);
    for (int i = 0; i < count;) {
        const int n = int(std::min<std::int64_t>(left, count - i));
        std::fill(mask + i, mask + i + n, covered ? ~0u : 0u);
        i += n;
        position += n;
        left = RunAt(pattern, position, covered);
    }
}
