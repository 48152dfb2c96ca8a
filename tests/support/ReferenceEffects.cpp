#include "support/ReferenceEffects.h"

#include "document/CImageDoc.h"
#include "effects/COverlayPattern.h"
#include "selection/SelectionMasks.h"

#include <QRect>

#include <algorithm>
#include <sstream>

namespace Reference {

namespace {

int Blue(std::uint32_t p)
{
    return int(p & 0xFF);
}
int Green(std::uint32_t p)
{
    return int(p >> 8 & 0xFF);
}
int Red(std::uint32_t p)
{
    return int(p >> 16 & 0xFF);
}

std::uint32_t Pixel(std::uint32_t fourth, int red, int green, int blue)
{
    return (fourth & 0xFF000000u) | std::uint32_t(red) << 16 | std::uint32_t(green) << 8 | std::uint32_t(blue);
}

int ClampByte(int v)
{
    return std::min(255, std::max(0, v));
}

// Written out in two statements so the sums are rounded in the order the rule gives.
int Luma(std::uint32_t p)
{
    const double blueAndGreen = 0.11 * Blue(p) + 0.59 * Green(p);
    const double sum = blueAndGreen + 0.30 * Red(p);
    return int(sum);
}

std::uint32_t Grayed(std::uint32_t p, int level)
{
    const int v = ClampByte(Luma(p) + level);
    return Pixel(p, v, v, v);
}

std::uint32_t Added(std::uint32_t p, int red, int green, int blue)
{
    return Pixel(p, ClampByte(Red(p) + red), ClampByte(Green(p) + green), ClampByte(Blue(p) + blue));
}

std::uint32_t Filtered(std::uint32_t p, const Effect& e)
{
    int enabled = 0, matched = 0;
    const auto count = [&](const Range& r, int v) {
        enabled += r.on ? 1 : 0;
        matched += r.on && r.min <= v && v <= r.max ? 1 : 0;
    };
    count(e.redRange, Red(p));
    count(e.greenRange, Green(p));
    count(e.blueRange, Blue(p));
    if (enabled == 0 || matched == enabled)
        return p;
    if (e.grayMode)
        return Grayed(p, e.grayLevel);
    return (p & 0xFF000000u) | (OverlayPixel(e.color) & 0x00FFFFFFu);
}

// Whether the overlay image has the colour at overlay position (ox, oy); lines only for the solid
// kind of width 1, whose shape is fixed: one row (or column) at every multiple of the step.
bool Covered(const Effect& e, std::int64_t ox, std::int64_t oy)
{
    switch (e.kind) {
    case EffectKind::Solid:
        return true;
    case EffectKind::Dots:
        return ox % (e.leftRight + 1) == 0 && oy % (e.topBottom + 1) == 0;
    case EffectKind::Lines: {
        const std::int64_t step = e.width + e.spacing;
        if (e.direction == 0)
            return oy % step == 0;
        return e.direction == 90 && ox % step == 0;
    }
    default:
        return false;
    }
}

std::uint32_t Step(const Effect& e, std::uint32_t p, std::int64_t ox, std::int64_t oy)
{
    switch (e.kind) {
    case EffectKind::Gray:
        return Grayed(p, e.amount);
    case EffectKind::Invert:
        return Pixel(p, 255 - Red(p), 255 - Green(p), 255 - Blue(p));
    case EffectKind::Brightness:
        return Added(p, e.amount, e.amount, e.amount);
    case EffectKind::Rgb:
        return Added(p, e.red, e.green, e.blue);
    case EffectKind::Threshold:
        return (Luma(p) >= e.amount) != e.reverse ? Pixel(p, 255, 255, 255) : Pixel(p, 0, 0, 0);
    case EffectKind::ColorFilter:
        return Filtered(p, e);
    case EffectKind::Lines:
    case EffectKind::Dots:
    case EffectKind::Solid:
        return Covered(e, ox, oy) ? COverlayPattern::Blend(OverlayPixel(e.color), p, e.translucency) : p;
    }
    return p;
}

std::uint32_t* Row(QImage& image, int y)
{
    return reinterpret_cast<std::uint32_t*>(image.scanLine(y));
}

const std::uint32_t* Row(const QImage& image, int y)
{
    return reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
}

// The effect over columns left..right-1 and rows top..bottom-1 of the bounds, clipped to the image.
void RunEffect(QImage& work, const CSelection::Bounds& b, const Effect& e)
{
    const std::int64_t x0 = std::max<std::int64_t>(b.left, 0), x1 = std::min<std::int64_t>(b.right, work.width());
    const std::int64_t y0 = std::max<std::int64_t>(b.top, 0), y1 = std::min<std::int64_t>(b.bottom, work.height());
    for (std::int64_t y = y0; y < y1; ++y) {
        std::uint32_t* row = Row(work, int(y));
        for (std::int64_t x = x0; x < x1; ++x)
            row[x] = Step(e, row[x], x - b.left, y - b.top);
    }
}

} // namespace

void Select(CSelection& selection, const Shape& shape)
{
    selection.Clear();
    for (const QPoint& p : shape.points)
        selection.AddPoint(p);
    selection.kind = shape.kind;
}

CSelection::Bounds BoundsOf(const Shape& shape, QSize image)
{
    if (shape.kind == SelectionKind::None || shape.points.isEmpty())
        return {0, 0, image.width(), image.height()};
    CSelection::Bounds b{shape.points[0].x(), shape.points[0].y(), shape.points[0].x(), shape.points[0].y()};
    for (const QPoint& p : shape.points) {
        b.left = std::min(b.left, p.x());
        b.top = std::min(b.top, p.y());
        b.right = std::max(b.right, p.x());
        b.bottom = std::max(b.bottom, p.y());
    }
    return b;
}

std::uint32_t OverlayPixel(std::uint32_t color)
{
    return 0xFF000000u | (color & 0xFF) << 16 | (color & 0xFF00) | (color >> 16 & 0xFF);
}

bool ApplyTo(CImageDoc& doc, const Effect& e)
{
    switch (e.kind) {
    case EffectKind::Gray:
        return doc.ApplyGray(e.amount);
    case EffectKind::Invert:
        return doc.ApplyInvert();
    case EffectKind::Brightness:
        return doc.ApplyBrightness(e.amount);
    case EffectKind::Rgb:
        return doc.ApplyRgb(e.red, e.green, e.blue);
    case EffectKind::Threshold:
        return doc.ApplyThreshold(e.amount, e.reverse);
    case EffectKind::ColorFilter:
        return doc.ApplyColorFilter(e.redRange.on, e.redRange.min, e.redRange.max, e.greenRange.on, e.greenRange.min,
                                    e.greenRange.max, e.blueRange.on, e.blueRange.min, e.blueRange.max, e.grayMode,
                                    e.grayLevel, e.color);
    case EffectKind::Lines:
        return doc.ApplyLines(e.direction, e.width, e.spacing, e.color, e.lineKind, e.translucency);
    case EffectKind::Dots:
        return doc.ApplyDots(e.leftRight, e.topBottom, e.color, e.translucency);
    case EffectKind::Solid:
        return doc.ApplySolidFill(e.color, e.translucency);
    }
    return false;
}

QImage Expected(const QImage& picture, const Shape& shape, const Effect& effect)
{
    const int w = picture.width(), h = picture.height();
    CSelection selection;
    Select(selection, shape);
    selection.bounds = BoundsOf(shape, picture.size());

    QImage newState = picture.convertToFormat(QImage::Format_RGB32).copy();
    QImage work = newState.copy();
    QImage insideBlack(w, h, QImage::Format_RGB32), insideWhite(w, h, QImage::Format_RGB32);
    SelectionMasks::Draw(selection, QRect(0, 0, w, h), insideBlack, insideWhite);

    RunEffect(work, selection.bounds, effect);

    for (int y = 0; y < h; ++y) {
        std::uint32_t* out = Row(newState, y);
        std::uint32_t* changed = Row(work, y);
        const std::uint32_t* black = Row(insideBlack, y);
        const std::uint32_t* white = Row(insideWhite, y);
        for (int x = 0; x < w; ++x) {
            changed[x] &= white[x];
            out[x] &= black[x];
            out[x] |= changed[x];
        }
    }
    return newState;
}

std::string Describe(const Effect& e)
{
    static const char* const names[] = {"Gray",        "Invert", "Brightness", "Rgb",  "Threshold",
                                        "ColorFilter", "Lines",  "Dots",       "Solid"};
    std::ostringstream out;
    out << names[int(e.kind)] << " amount " << e.amount << " rgb " << e.red << ',' << e.green << ',' << e.blue
        << " reverse " << e.reverse;
    for (const Range* r : {&e.redRange, &e.greenRange, &e.blueRange})
        out << " [" << r->on << ' ' << r->min << ".." << r->max << ']';
    out << " grayMode " << e.grayMode << " grayLevel " << e.grayLevel << " color 0x" << std::hex << e.color << std::dec
        << " lines " << e.direction << '/' << e.width << '/' << e.spacing << '/' << e.lineKind << " dots "
        << e.leftRight << '/' << e.topBottom << " alpha " << e.translucency;
    return out.str();
}

std::string Describe(const Shape& shape)
{
    std::ostringstream out;
    out << "kind " << int(shape.kind) << " points";
    for (const QPoint& p : shape.points)
        out << " (" << p.x() << ',' << p.y() << ')';
    return out.str();
}

std::string Difference(const QImage& expected, const QImage& actual)
{
    if (expected.size() != actual.size() || actual.format() != QImage::Format_RGB32)
        return "actual image has another size or format";
    std::ostringstream out;
    int differing = 0;
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const std::uint32_t e = Row(expected, y)[x], a = Row(actual, y)[x];
            if (e == a)
                continue;
            if (++differing <= 3)
                out << " at (" << x << ',' << y << ") expected 0x" << std::hex << e << " got 0x" << a << std::dec;
        }
    }
    if (differing == 0)
        return {};
    return std::to_string(differing) + " pixels differ;" + out.str();
}

} // namespace Reference
