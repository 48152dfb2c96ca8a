// The effect operations of CImageDoc. Each runs its pixel rule through the effect pipeline, which
// confines it to the selection and returns the new state.
#include "document/CImageDoc.h"

#include "effects/CColorFilter.h"
#include "effects/COverlayPattern.h"
#include "effects/ToneRules.h"

#include <algorithm>

namespace {

// The rule of an effect whose parameters leave every pixel as it is: the new state then shares
// all its pixels with the one below.
const CEffectPipeline::SpanRule Unchanged;

} // namespace

bool CImageDoc::ApplyEffect(const CEffectPipeline::SpanRule& rule)
{
    if (!loaded)
        return Fail(DocumentError::EffectWithoutPicture);
    if (selection.kind == SelectionKind::None)
        selection.bounds = {0, 0, std::int32_t(width), std::int32_t(height)};
    if (keepsHistory && !HasMemoryForEffect())
        return Fail(DocumentError::OutOfMemory);
    if (!keepsHistory) {
        ForgetHistory(); // its one state's tiles are its own: rewritten where they lie, none taken
        if (!CEffectPipeline::ApplyInPlace(*undoStack.back(), selection, rule))
            return Fail(DocumentError::OutOfMemory);
        modified = true;
        return true;
    }
    // Not measured by the depth: making room may give up the oldest step.
    if (!Append(CEffectPipeline::Apply(CurrentState(), selection, rule)))
        return Fail(DocumentError::OutOfMemory);
    modified = true;
    return true;
}

bool CImageDoc::HasMemoryForEffect() const
{
    // The rectangle is half-open and may lie far outside the picture.
    const CSelection::Bounds& b = selection.bounds;
    const auto clamp = [](std::int64_t v, std::uint32_t end) { return int(std::clamp<std::int64_t>(v, 0, end)); };
    const QRect area(QPoint(clamp(b.left, width), clamp(b.top, height)),
                     QPoint(clamp(b.right, width) - 1, clamp(b.bottom, height) - 1));
    if (area.isEmpty())
        return true;
    // The new state takes a tile of its own for each tile the selection's rectangle meets; the
    // pool's free tiles are already the process's.
    const ImageState::TileRange tiles = CurrentState().TilesMeeting(area);
    const std::uint64_t count =
        std::uint64_t(tiles.lastColumn - tiles.firstColumn + 1) * std::uint64_t(tiles.lastRow - tiles.firstRow + 1);
    return CanTakeTiles(count);
}

CImageDoc::OverlayFrame CImageDoc::OverlayRect() const
{
    if (selection.kind == SelectionKind::None)
        return {0, 0, width, height};
    const CSelection::Bounds& b = selection.bounds;
    return {b.left, b.top, std::int64_t(b.right) - b.left, std::int64_t(b.bottom) - b.top};
}

bool CImageDoc::ApplyGray(int level)
{
    return ApplyEffect([level](const std::uint32_t* src, std::uint32_t* dst, int n, int, int) {
        ToneRules::Gray(src, dst, n, level);
    });
}

bool CImageDoc::ApplyInvert()
{
    return ApplyEffect(
        [](const std::uint32_t* src, std::uint32_t* dst, int n, int, int) { ToneRules::Invert(src, dst, n); });
}

bool CImageDoc::ApplyBrightness(int amount)
{
    return ApplyRgb(amount, amount, amount);
}

bool CImageDoc::ApplyRgb(int red, int green, int blue)
{
    if (red == 0 && green == 0 && blue == 0)
        return ApplyEffect(Unchanged);
    return ApplyEffect([=](const std::uint32_t* src, std::uint32_t* dst, int n, int, int) {
        ToneRules::AddRgb(src, dst, n, red, green, blue);
    });
}

bool CImageDoc::ApplyThreshold(int threshold, bool reverse)
{
    return ApplyEffect([=](const std::uint32_t* src, std::uint32_t* dst, int n, int, int) {
        ToneRules::Threshold(src, dst, n, threshold, reverse);
    });
}

bool CImageDoc::ApplyColorFilter(bool redOn, int redMin, int redMax, bool greenOn, int greenMin, int greenMax,
                                 bool blueOn, int blueMin, int blueMax, bool grayMode, int grayLevel,
                                 std::uint32_t fillColor)
{
    CColorFilter filter;
    filter.red = {redOn, redMin, redMax};
    filter.green = {greenOn, greenMin, greenMax};
    filter.blue = {blueOn, blueMin, blueMax};
    filter.grayMode = grayMode;
    filter.grayLevel = grayLevel;
    filter.fillColor = fillColor;
    if (!filter.AnyChannelOn()) // every pixel passes
        return ApplyEffect(Unchanged);
    return ApplyEffect(
        [filter](const std::uint32_t* src, std::uint32_t* dst, int n, int, int) { filter.Apply(src, dst, n); });
}

bool CImageDoc::ApplyLines(int direction, int lineWidth, int spacing, std::uint32_t color, int kind, int translucency)
{
    const OverlayFrame frame = OverlayRect();
    const COverlayPattern lines = COverlayPattern::Lines(direction, lineWidth, spacing, color, kind, translucency,
                                                         direction == 0 ? frame.height : frame.width);
    if (lines.ChangesNothing())
        return ApplyEffect(Unchanged);
    return ApplyEffect([lines, frame](const std::uint32_t* src, std::uint32_t* dst, int n, int x, int y) {
        lines.Render(src, dst, n, x - frame.left, y - frame.top);
    });
}

bool CImageDoc::ApplyDots(int leftRight, int topBottom, std::uint32_t color, int translucency)
{
    const COverlayPattern dots = COverlayPattern::Dots(leftRight, topBottom, color, translucency);
    if (dots.ChangesNothing())
        return ApplyEffect(Unchanged);
    const OverlayFrame frame = OverlayRect();
    return ApplyEffect([dots, frame](const std::uint32_t* src, std::uint32_t* dst, int n, int x, int y) {
        dots.Render(src, dst, n, x - frame.left, y - frame.top);
    });
}

bool CImageDoc::ApplySolidFill(std::uint32_t color, int translucency)
{
    const COverlayPattern fill = COverlayPattern::Solid(color, translucency);
    if (fill.ChangesNothing())
        return ApplyEffect(Unchanged);
    return ApplyEffect(
        [fill](const std::uint32_t* src, std::uint32_t* dst, int n, int x, int y) { fill.Render(src, dst, n, x, y); });
}
