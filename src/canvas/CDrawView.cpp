#include "canvas/CDrawView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Both ends within this many pixels of the first vertex close a polygon.
constexpr int CloseDistance = 6;

void ConfigureBar(QScrollBar& bar, int total, int visible)
{
    total = std::max(0, total);
    const int page = total / 10;
    bar.setRange(0, std::max(0, total - visible));
    // Qt's steps must be positive; a tiny image still scrolls by one pixel.
    bar.setPageStep(std::max(1, page));
    bar.setSingleStep(std::max(1, page / 10));
}

// Square caps: the stroker then covers both ends of every line, as the masks cover every vertex.
QPen OutlinePen()
{
    return QPen(QColor(128, 128, 128), 1, Qt::DotLine, Qt::SquareCap);
}

// Outlines exactly the border pixels of the half-open rectangle the selection covers: Qt's drawRect
// would add a column and a row. An empty rectangle selects nothing and shows nothing.
void DrawRectangle(QPainter& painter, QPoint a, QPoint b)
{
    const int left = std::min(a.x(), b.x());
    const int right = std::max(a.x(), b.x()) - 1;
    const int top = std::min(a.y(), b.y());
    const int bottom = std::max(a.y(), b.y()) - 1;
    if (right < left || bottom < top)
        return;
    const QPoint corners[] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}};
    painter.drawPolyline(corners, int(std::size(corners)));
}

// Inscribed in the same half-open rectangle. Below three pixels across, the selected ellipse fills its
// rectangle, so the rectangle's outline is exact there.
void DrawEllipse(QPainter& painter, QPoint a, QPoint b)
{
    const std::int64_t width = std::abs(std::int64_t(a.x()) - b.x());
    const std::int64_t height = std::abs(std::int64_t(a.y()) - b.y());
    if (width < 3 || height < 3) {
        DrawRectangle(painter, a, b);
        return;
    }
    // Qt's drawEllipse covers width + 1 columns and height + 1 rows of a QRect.
    painter.drawEllipse(QRectF(std::min(a.x(), b.x()), std::min(a.y(), b.y()), qreal(width - 1), qreal(height - 1)));
}

bool SegmentMeets(QPoint a, QPoint b, const QRect& area)
{
    return std::min(a.x(), b.x()) <= area.right() && std::max(a.x(), b.x()) >= area.left() &&
           std::min(a.y(), b.y()) <= area.bottom() && std::max(a.y(), b.y()) >= area.top();
}

// The stroker advances the dot pattern one step per pixel along a line's major axis.
qreal PatternSteps(QPoint a, QPoint b)
{
    return qreal(std::max(std::abs(std::int64_t(a.x()) - b.x()), std::abs(std::int64_t(a.y()) - b.y())));
}

// Draws only the runs of segments that meet `visible`, so a long stroke costs what shows of it. Each
// run starts at the dot pattern's phase there, so the segments left out do not move the dots.
void DrawPolyline(QPainter& painter, const QPoint* points, qsizetype count, const QRect& visible)
{
    const QRect area = visible.adjusted(-1, -1, 1, 1); // the pen's cap reaches half a pixel beyond
    QPen pen = painter.pen();
    qreal period = 0;
    for (const qreal length : pen.dashPattern())
        period += length;
    if (period <= 0)
        period = 1; // a solid pen has no pattern
    qreal phase = 0;
    qsizetype i = 0;
    while (i + 1 < count) {
        if (!SegmentMeets(points[i], points[i + 1], area)) {
            phase = std::fmod(phase + PatternSteps(points[i], points[i + 1]), period);
            ++i;
            continue;
        }
        const qsizetype first = i;
        qreal runSteps = 0;
        while (i + 1 < count && SegmentMeets(points[i], points[i + 1], area)) {
            runSteps += PatternSteps(points[i], points[i + 1]);
            ++i;
        }
        pen.setDashOffset(phase);
        painter.setPen(pen);
        painter.drawPolyline(points + first, int(i - first + 1));
        phase = std::fmod(phase + runSteps, period);
    }
}

void DrawPolyline(QPainter& painter, const QList<QPoint>& points, const QRect& visible)
{
    DrawPolyline(painter, points.constData(), points.size(), visible);
}

} // namespace

CDrawView::CDrawView(QWidget* parent) : QAbstractScrollArea(parent)
{
    // Every paint covers the whole viewport from the back buffer, so Qt need not clear it first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    viewport()->setAutoFillBackground(false);
    // The polygon's rubber band follows the mouse with no button held.
    viewport()->setMouseTracking(true);
    SetScrollSizes(QSize(0, 0));
}

CDrawView::~CDrawView() = default;

void CDrawView::Redraw()
{
    viewport()->update();
}

void CDrawView::SetTool(SelectionKind kind)
{
    drawing = false;
    anchor = QPoint(0, 0);
    current = QPoint(0, 0);
    track.clear();
    tool = kind;
}

void CDrawView::SetScrollSizes(QSize total)
{
    scrollSize = total;
    UpdateScrollBars();
}

QPoint CDrawView::ScrollPosition() const
{
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void CDrawView::UpdateScrollBars()
{
    const QSize visible = viewport()->size();
    ConfigureBar(*horizontalScrollBar(), scrollSize.width(), visible.width());
    ConfigureBar(*verticalScrollBar(), scrollSize.height(), visible.height());
}

void CDrawView::resizeEvent(QResizeEvent* event)
{
    // Also called when a scroll bar appears or goes and the viewport changes size.
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

// Painting

// The viewport paints into Qt's backing store, which is already an off-screen buffer presented in
// one flush, so the frame is composed there directly: a buffer of our own would only add a copy.
void CDrawView::paintEvent(QPaintEvent*)
{
    const QSize size = viewport()->size();
    if (size.isEmpty())
        return;
    QPainter painter(viewport());
    Compose(painter, size);
}

void CDrawView::Compose(QPainter& painter, QSize size)
{
    const QRect view(ScrollPosition(), size);
    const QRect image(0, 0, int(doc.GetWidth()), int(doc.GetHeight()));
    const QRect visible = doc.IsLoaded() ? view.intersected(image) : QRect();
    const QRect covered = visible.translated(-view.topLeft());

    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // White only where the picture will not lie: the same frame as filling all first, one pass less.
    for (const QRect& blank : QRegion(QRect(QPoint(0, 0), size)).subtracted(QRegion(covered)))
        painter.fillRect(blank, Qt::white);
    if (visible.isEmpty())
        return;
    doc.DrawCurrent(painter, covered, visible);

    painter.translate(-view.topLeft());
    // Clipped to the image as well as to the viewport: the outline never shows on the white beyond it.
    painter.setClipRect(visible);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(OutlinePen());
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(Qt::white);
    DrawOutline(painter, visible);
}

void CDrawView::DrawOutline(QPainter& painter, const QRect& visible) const
{
    const SelectionKind kind = drawing ? tool : doc.selection.kind;
    const QList<QPoint>& points = doc.selection.points;
    switch (kind) {
    case SelectionKind::Rectangle:
        if (drawing)
            DrawRectangle(painter, anchor, current);
        else if (points.size() >= 2)
            DrawRectangle(painter, points[0], points[1]);
        return;
    case SelectionKind::Ellipse:
        if (drawing)
            DrawEllipse(painter, anchor, current);
        else if (points.size() >= 2)
            DrawEllipse(painter, points[0], points[1]);
        return;
    case SelectionKind::Polygon:
        if (drawing) {
            DrawPolyline(painter, track, visible);
            if (!track.isEmpty()) {
                const QPoint band[] = {track.last(), current};
                DrawPolyline(painter, band, 2, visible);
            }
            return;
        }
        DrawPolyline(painter, points, visible);
        return;
    case SelectionKind::Freeform:
        DrawPolyline(painter, drawing ? track : points, visible);
        return;
    case SelectionKind::None:
        return;
    }
}

// Mouse

QPoint CDrawView::ImagePoint(const QMouseEvent* event) const
{
    const QPointF client = event->position();
    return QPoint(int(std::floor(client.x())), int(std::floor(client.y()))) + ScrollPosition();
}

bool CDrawView::IsInside(const QMouseEvent* event) const
{
    const QPoint client = event->position().toPoint();
    const QPoint p = ImagePoint(event);
    return viewport()->rect().contains(client) && std::int64_t(p.x()) <= std::int64_t(doc.GetWidth()) &&
           std::int64_t(p.y()) <= std::int64_t(doc.GetHeight());
}

void CDrawView::Commit(const QList<QPoint>& points)
{
    doc.selection.Clear();
    for (const QPoint& p : points)
        doc.selection.AddPoint(p);
    doc.selection.kind = tool;
}

void CDrawView::ClosePolygon()
{
    track.append(track.first());
    Commit(track);
    Reset();
}

void CDrawView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint p = ImagePoint(event);
    const bool inside = IsInside(event);
    switch (tool) {
    case SelectionKind::None:
        doc.selection.Clear();
        break;
    case SelectionKind::Rectangle:
    case SelectionKind::Ellipse:
        PressShape(p, inside);
        break;
    case SelectionKind::Polygon:
        PressPolygon(p, inside);
        break;
    case SelectionKind::Freeform:
        PressFreeform(p, inside);
        break;
    }
    Redraw();
}

void CDrawView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint p = ImagePoint(event);
    const bool inside = IsInside(event);
    switch (tool) {
    case SelectionKind::None:
        doc.selection.Clear();
        break;
    case SelectionKind::Rectangle:
    case SelectionKind::Ellipse:
        ReleaseShape(p, inside);
        break;
    case SelectionKind::Polygon:
        break;
    case SelectionKind::Freeform:
        ReleaseFreeform(p, inside);
        break;
    }
    Redraw();
}

void CDrawView::mouseMoveEvent(QMouseEvent* event)
{
    if (!drawing)
        return;
    const QPoint p = ImagePoint(event);
    if (tool == SelectionKind::Freeform) {
        if (IsInside(event)) {
            track.append(p);
        } else {
            doc.selection.Clear();
            Reset();
        }
    } else {
        current = p;
    }
    Redraw();
}

void CDrawView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Not Qt's default, which would treat the double-click as another press.
    if (event->button() != Qt::LeftButton || tool != SelectionKind::Polygon)
        return;
    if (drawing) {
        if (IsInside(event)) {
            ClosePolygon();
        } else {
            doc.selection.Clear();
            Reset();
        }
    }
    Redraw();
}

void CDrawView::PressShape(QPoint p, bool inside)
{
    if (!inside) {
        doc.selection.Clear();
        return;
    }
    anchor = current = p;
    drawing = true;
}

void CDrawView::ReleaseShape(QPoint p, bool inside)
{
    // A release without a drag of ours (its press was elsewhere) selects nothing.
    if (!drawing)
        return;
    if (inside && p != anchor) {
        current = p;
        Commit({anchor, p});
    } else {
        doc.selection.Clear();
    }
    Reset();
}

void CDrawView::PressPolygon(QPoint p, bool inside)
{
    if (!inside) {
        doc.selection.Clear();
        Reset();
        return;
    }
    if (track.isEmpty()) {
        track.append(p);
        drawing = true;
        anchor = current = p;
        return;
    }
    const QPoint first = track.first();
    if (std::abs(std::int64_t(p.x()) - first.x()) <= CloseDistance &&
        std::abs(std::int64_t(p.y()) - first.y()) <= CloseDistance)
        ClosePolygon();
    else
        track.append(p);
}

void CDrawView::PressFreeform(QPoint p, bool inside)
{
    if (!inside) {
        doc.selection.Clear();
        Reset();
        return;
    }
    track.append(p);
    drawing = true;
}

void CDrawView::ReleaseFreeform(QPoint p, bool inside)
{
    if (inside) {
        track.append(p);
        if (track.size() <= 2) {
            doc.selection.Clear();
        } else {
            track.append(track.first());
            Commit(track);
        }
    } else {
        doc.selection.Clear();
    }
    Reset();
}
