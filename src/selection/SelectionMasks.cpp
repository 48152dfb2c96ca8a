#include "selection/SelectionMasks.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>

namespace {

// Coordinates are any 32-bit values, so differences need 64 bits and their products 128.
__extension__ typedef __int128 Wide;
__extension__ typedef unsigned __int128 UWide;

// A half-open range [lo, hi) of rows or columns of the image plane.
struct Extent
{
    std::int64_t lo = 0;
    std::int64_t hi = 0;

    bool IsEmpty() const { return lo >= hi; }
    bool Contains(std::int64_t v) const { return lo <= v && v < hi; }
    Extent Clipped(Extent other) const { return {std::max(lo, other.lo), std::min(hi, other.hi)}; }
};

Extent Between(int a, int b)
{
    return {std::min(a, b), std::max(a, b)};
}

// The columns (or rows) a line between coordinates a and b visits: both ends included.
Extent Reach(int a, int b)
{
    return {std::min(a, b), std::int64_t(std::max(a, b)) + 1};
}

Extent Columns(const QRect& r)
{
    return {r.left(), std::int64_t(r.left()) + r.width()};
}

Extent Rows(const QRect& r)
{
    return {r.top(), std::int64_t(r.top()) + r.height()};
}

// The image being rendered, of region.size(), showing `region` of the image plane: Format_Alpha8 for a
// coverage or Format_RGB32 for a mask. Selected pixels get `selected`.
struct Target
{
    QImage& image;
    const QRect& region;
    QColor selected;
};

// A painter in image-plane coordinates; aliased, so every pixel is either selected or not.
void BeginPainter(QPainter& painter, const Target& target)
{
    painter.begin(&target.image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(target.selected);
    painter.translate(-target.region.left(), -target.region.top());
}

void FillClipped(QPainter& painter, const Target& target, Extent columns, Extent rows)
{
    const Extent x = columns.Clipped(Columns(target.region));
    const Extent y = rows.Clipped(Rows(target.region));
    if (!x.IsEmpty() && !y.IsEmpty())
        painter.fillRect(QRect(int(x.lo), int(y.lo), int(x.hi - x.lo), int(y.hi - y.lo)), painter.brush());
}

void RenderRectangle(const Target& target, QPoint a, QPoint b)
{
    QPainter painter;
    BeginPainter(painter, target);
    FillClipped(painter, target, Between(a.x(), b.x()), Between(a.y(), b.y()));
}

std::uint64_t Distance(std::uint64_t a, std::uint64_t b)
{
    return a > b ? a - b : b - a;
}

// The ellipse of a w x h rectangle, in half-pixel units from its centre: dx, dy locate a pixel's centre,
// w and h are the semi-axes. A pixel is selected when the segment through its centre across its width,
// or the one across its height, reaches strictly inside the ellipse. That is the interior plus a thin
// outline that reaches every row and column of the rectangle, even for a long flat ellipse whose pixel
// centres would miss the end columns, and it is exactly symmetric. The terms fit 128 bits unsigned.
bool CrossMeetsEllipse(std::uint64_t w, std::uint64_t h, std::uint64_t dx, std::uint64_t dy)
{
    const std::uint64_t ex = dx > 0 ? dx - 1 : 0;
    const std::uint64_t ey = dy > 0 ? dy - 1 : 0;
    return UWide(ex * ex) * (h * h) < UWide(w * w) * (h * h - dy * dy) ||
           UWide(ey * ey) * (w * w) < UWide(h * h) * (w * w - dx * dx);
}

// Column index, from the rectangle's left edge, of the first selected pixel of row j of a w x h ellipse.
// Rows are symmetric and contiguous, so the row runs from there to its mirror image.
std::uint64_t FirstEllipseColumn(std::uint64_t w, std::uint64_t h, std::uint64_t j)
{
    const std::uint64_t dy = Distance(2 * j + 1, h);
    std::uint64_t lo = 0;
    std::uint64_t hi = (w - 1) / 2; // the middle column: always selected
    while (lo < hi) {
        const std::uint64_t mid = lo + (hi - lo) / 2;
        if (CrossMeetsEllipse(w, h, Distance(2 * mid + 1, w), dy))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// Spans computed per visible row rather than Qt's ellipse: that is a Bezier approximation, so sampling it
// at pixel centres drops some pixels inside the true ellipse and the end columns of a long flat one.
void RenderEllipse(const Target& target, QPoint a, QPoint b)
{
    const Extent columns = Between(a.x(), b.x());
    const Extent rows = Between(a.y(), b.y());
    const Extent visible = rows.Clipped(Rows(target.region));
    if (columns.IsEmpty() || visible.IsEmpty() || columns.Clipped(Columns(target.region)).IsEmpty())
        return;
    const auto w = std::uint64_t(columns.hi - columns.lo);
    const auto h = std::uint64_t(rows.hi - rows.lo);
    QPainter painter;
    BeginPainter(painter, target);
    for (std::int64_t y = visible.lo; y < visible.hi; ++y) {
        const auto first = std::int64_t(FirstEllipseColumn(w, h, std::uint64_t(y - rows.lo)));
        FillClipped(painter, target, {columns.lo + first, columns.hi - first}, {y, y + 1});
    }
}

// Even-odd interior sampled at pixel centres: the point (x, y) is the pixel (x, y), so the vertices move
// to (x + 0.5, y + 0.5). Pixels whose centres lie on an edge are left to the outline.
void FillPolygon(const Target& target, const QList<QPoint>& points)
{
    QPolygonF polygon;
    polygon.reserve(points.size());
    for (const QPoint& p : points)
        polygon.append(QPointF(p.x() + 0.5, p.y() + 0.5));
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addPolygon(polygon);
    QPainter painter;
    BeginPainter(painter, target);
    painter.fillPath(path, painter.brush());
}

// Round-to-nearest of num / den for den > 0, halves rounded up.
std::int64_t RoundedQuotient(Wide num, std::int64_t den)
{
    const Wide twice = 2 * num + den;
    Wide q = twice / (2 * Wide(den));
    if (twice % (2 * Wide(den)) != 0 && twice < 0)
        --q;
    return std::int64_t(q);
}

// Calls plot(major, minor) for each pixel of the line from (a0, b0) to (a1, b1) whose major coordinate
// lies in `clip`, where `a` is the axis the line advances along more: one pixel per step, the nearest
// on the other axis. Each pixel follows from the endpoints alone, so any region gets the same pixels.
template <typename Plot>
void StepLine(std::int64_t a0, std::int64_t b0, std::int64_t a1, std::int64_t b1, Extent clip, Plot plot)
{
    if (a0 > a1) {
        std::swap(a0, a1);
        std::swap(b0, b1);
    }
    const Extent steps = Extent{a0, a1 + 1}.Clipped(clip);
    for (std::int64_t a = steps.lo; a < steps.hi; ++a)
        plot(a, a1 == a0 ? b0 : b0 + RoundedQuotient(Wide(a - a0) * (b1 - b0), a1 - a0));
}

// The one-pixel outline of an edge. Not Qt's cosmetic pen: it clips lines to the device before
// stepping them, so a region rendering would differ from the whole image by a pixel here and there.
void StrokeEdge(const Target& target, QPoint from, QPoint to)
{
    const Extent columns = Columns(target.region);
    const Extent rows = Rows(target.region);
    if (Reach(from.x(), to.x()).Clipped(columns).IsEmpty() || Reach(from.y(), to.y()).Clipped(rows).IsEmpty())
        return;
    uchar* const bits = target.image.bits();
    const qsizetype stride = target.image.bytesPerLine();
    const bool bytes = target.image.depth() == 8;
    const QRgb value = target.selected.rgba();
    const auto mark = [&](std::int64_t x, std::int64_t y) {
        if (!columns.Contains(x) || !rows.Contains(y))
            return;
        uchar* const row = bits + (y - rows.lo) * stride;
        if (bytes)
            row[x - columns.lo] = uchar(qAlpha(value)); // Alpha8 stores the alpha
        else
            reinterpret_cast<QRgb*>(row)[x - columns.lo] = value;
    };
    const std::int64_t dx = std::int64_t(to.x()) - from.x();
    const std::int64_t dy = std::int64_t(to.y()) - from.y();
    if ((dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy))
        StepLine(from.x(), from.y(), to.x(), to.y(), columns, mark);
    else
        StepLine(from.y(), from.x(), to.y(), to.x(), rows, [&](std::int64_t y, std::int64_t x) { mark(x, y); });
}

void RenderPolygon(const Target& target, const QList<QPoint>& points)
{
    FillPolygon(target, points);
    // Every edge, the closing one included even if the list were not closed.
    for (qsizetype i = 0; i < points.size(); ++i)
        StrokeEdge(target, points[i], points[(i + 1) % points.size()]);
}

void Render(const CSelection& selection, const Target& target)
{
    const QList<QPoint>& points = selection.points;
    switch (selection.kind) {
    case SelectionKind::None:
        target.image.fill(target.selected);
        return;
    case SelectionKind::Rectangle:
        if (points.size() >= 2)
            RenderRectangle(target, points[0], points[1]);
        return;
    case SelectionKind::Ellipse:
        if (points.size() >= 2)
            RenderEllipse(target, points[0], points[1]);
        return;
    case SelectionKind::Polygon:
    case SelectionKind::Freeform:
        if (!points.isEmpty())
            RenderPolygon(target, points);
        return;
    }
    // Any other kind selects nothing.
}

// Renders the selection over a background of `unselected`; false when the image could not be made.
bool Paint(const CSelection& selection, const QRect& region, QImage& image, QImage::Format format, QColor selected,
           QColor unselected)
{
    if (image.format() != format || image.size() != region.size())
        image = QImage(region.size(), format);
    if (image.isNull())
        return false;
    image.fill(unselected);
    Render(selection, Target{image, region, selected});
    return true;
}

} // namespace

// Each mask is rendered on its own, with the same deterministic geometry, rather than converted from a
// coverage: Qt's Grayscale8 to RGB32 conversion made Draw about twice as slow.
void SelectionMasks::Draw(const CSelection& selection, const QRect& region, QImage& insideBlack, QImage& insideWhite)
{
    try {
        Paint(selection, region, insideBlack, QImage::Format_RGB32, Qt::black, Qt::white);
        Paint(selection, region, insideWhite, QImage::Format_RGB32, Qt::white, Qt::black);
    } catch (const std::bad_alloc&) {
        // Qt's containers report exhausted memory by throwing; the masks are then incomplete.
    }
}

QImage SelectionMasks::Coverage(const CSelection& selection, const QRect& region)
{
    try {
        // Painted as Alpha8, which Qt fills several times faster than Grayscale8; the bytes are the same.
        QImage coverage;
        if (!Paint(selection, region, coverage, QImage::Format_Alpha8, Qt::black, Qt::transparent))
            return {};
        coverage.reinterpretAsFormat(QImage::Format_Grayscale8);
        return coverage;
    } catch (const std::bad_alloc&) {
        return {};
    }
}
