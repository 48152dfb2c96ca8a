#include "canvas/CDrawView.h"

#include "canvas/CScrollBarStyle.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <QWheelEvent>

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

// The half-open image rectangle between two corners, as the selection covers it.
QRect Covered(QPoint a, QPoint b)
{
    return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                 QSize(std::abs(a.x() - b.x()), std::abs(a.y() - b.y())));
}

// Outlines exactly the border pixels of the screen pixels that show the selected rectangle: Qt's
// drawRect would add a column and a row. An empty rectangle selects nothing and shows nothing.
void DrawRectangle(QPainter& painter, const CViewGeometry& geometry, QPoint a, QPoint b)
{
    const QRect area = Covered(a, b);
    if (area.isEmpty())
        return;
    const QRect screen = geometry.ScreenRect(area);
    const QPoint corners[] = {screen.topLeft(), screen.topRight(), screen.bottomRight(), screen.bottomLeft(),
                              screen.topLeft()};
    painter.drawPolyline(corners, int(std::size(corners)));
}

// Inscribed in the same screen pixels. Below three pixels across, the selected ellipse fills its
// rectangle, so the rectangle's outline is exact there.
void DrawEllipse(QPainter& painter, const CViewGeometry& geometry, QPoint a, QPoint b)
{
    const QRect area = Covered(a, b);
    const QRect screen = geometry.ScreenRect(area);
    if (area.width() < 3 || area.height() < 3 || screen.width() < 3 || screen.height() < 3) {
        DrawRectangle(painter, geometry, a, b);
        return;
    }
    // Qt's drawEllipse covers width + 1 columns and height + 1 rows of a QRectF.
    painter.drawEllipse(QRectF(screen.left(), screen.top(), qreal(screen.width() - 1), qreal(screen.height() - 1)));
}

// Vertices pass through the middle of their pixels on the screen.
QList<QPoint> OnScreen(const QList<QPoint>& points, const CViewGeometry& geometry)
{
    if (geometry.GetZoom() == CViewGeometry::Zoom{1, 1})
        return points;
    QList<QPoint> screen;
    screen.reserve(points.size());
    for (const QPoint& p : points)
        screen.append(geometry.ScreenCentre(p));
    return screen;
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
    horizontalScrollBar()->setStyle(CScrollBarStyle::Instance());
    verticalScrollBar()->setStyle(CScrollBarStyle::Instance());
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
    zoom = {1, 1};
    if (total.isEmpty())
        renderer.Clear();
    scrollSize = total;
    UpdateScrollBars();
}

QPoint CDrawView::ScrollPosition() const
{
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

QSize CDrawView::DeviceSize() const
{
    const QSizeF device = QSizeF(viewport()->size()) * Ratio();
    return {int(std::ceil(device.width())), int(std::ceil(device.height()))};
}

CViewGeometry CDrawView::Geometry() const
{
    return CViewGeometry(QSize(int(doc.GetWidth()), int(doc.GetHeight())), zoom);
}

void CDrawView::UpdateScrollBars()
{
    const QSize total = CViewGeometry(scrollSize, zoom).ContentSize();
    QSize visible = DeviceSize();
    // Scroll bars that are showing take room the picture would need without them: when it fits
    // the whole area, neither is needed.
    const QSizeF whole = QSizeF(maximumViewportSize()) * Ratio();
    if (total.width() <= int(whole.width()) && total.height() <= int(whole.height()))
        visible = visible.expandedTo(total);
    ConfigureBar(*horizontalScrollBar(), total.width(), visible.width());
    ConfigureBar(*verticalScrollBar(), total.height(), visible.height());
}

void CDrawView::resizeEvent(QResizeEvent* event)
{
    // Also called when a scroll bar appears or goes and the viewport changes size.
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

// Zoom

void CDrawView::ZoomAt(CViewGeometry::Zoom next, QPointF fixedPoint)
{
    if (!doc.IsLoaded())
        return;
    const QPointF corner = fixedPoint * Ratio();
    const QPointF under = Geometry().ImagePosition(QPointF(ScrollPosition()) + corner);
    zoom = next;
    UpdateScrollBars();
    const QPoint scroll = CViewGeometry::ScrollKeeping(under, corner, zoom);
    horizontalScrollBar()->setValue(scroll.x());
    verticalScrollBar()->setValue(scroll.y());
    Redraw();
}

void CDrawView::ZoomIn()
{
    ZoomAt(CViewGeometry::StepIn(zoom), QRectF(viewport()->rect()).center());
}

void CDrawView::ZoomOut()
{
    ZoomAt(CViewGeometry::StepOut(zoom), QRectF(viewport()->rect()).center());
}

void CDrawView::ShowActualSize()
{
    ZoomAt({1, 1}, QRectF(viewport()->rect()).center());
}

void CDrawView::FitToWindow()
{
    if (!doc.IsLoaded())
        return;
    const QSizeF area = QSizeF(maximumViewportSize()) * Ratio();
    zoom = CViewGeometry::Fit(QSize(int(doc.GetWidth()), int(doc.GetHeight())),
                              QSize(int(std::floor(area.width())), int(std::floor(area.height()))));
    UpdateScrollBars();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    Redraw();
}

void CDrawView::wheelEvent(QWheelEvent* event)
{
    if (!event->modifiers().testFlag(Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    event->accept();
    // A wheel's notch is 120; a touchpad sends less at a time, so the steps are counted up.
    wheelAngle += event->angleDelta().y();
    for (; wheelAngle >= 120; wheelAngle -= 120)
        ZoomAt(CViewGeometry::StepIn(zoom), event->position());
    for (; wheelAngle <= -120; wheelAngle += 120)
        ZoomAt(CViewGeometry::StepOut(zoom), event->position());
}

// Painting

// The viewport paints into Qt's backing store, which is already an off-screen buffer presented in
// one flush, so the frame is composed there directly. The painter is set to device pixels.
void CDrawView::paintEvent(QPaintEvent*)
{
    const QSize size = DeviceSize();
    if (size.isEmpty())
        return;
    QPainter painter(viewport());
    painter.scale(1 / Ratio(), 1 / Ratio());
    Compose(painter, size);
}

void CDrawView::Compose(QPainter& painter, QSize size)
{
    const QRect view(ScrollPosition(), size);
    const CViewGeometry geometry = Geometry();
    const QRect content = doc.IsLoaded() ? QRect(QPoint(0, 0), geometry.ContentSize()) : QRect();
    const QRect visible = view.intersected(content);
    const QRect covered = visible.translated(-view.topLeft());

    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // White only where the picture will not lie: the same frame as filling all first, one pass less.
    for (const QRect& blank : QRegion(QRect(QPoint(0, 0), size)).subtracted(QRegion(covered)))
        painter.fillRect(blank, Qt::white);
    if (visible.isEmpty())
        return;
    if (!renderer.Draw(painter, doc.CurrentState(), geometry, view))
        painter.fillRect(covered, Qt::white);

    painter.translate(-view.topLeft());
    // Clipped to the image as well as to the viewport: the outline never shows on the white beyond it.
    painter.setClipRect(visible);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(OutlinePen());
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(Qt::white);
    DrawOutline(painter, visible, geometry);
}

void CDrawView::DrawOutline(QPainter& painter, const QRect& visible, const CViewGeometry& geometry) const
{
    const SelectionKind kind = drawing ? tool : doc.selection.kind;
    const QList<QPoint>& points = doc.selection.points;
    switch (kind) {
    case SelectionKind::Rectangle:
        if (drawing)
            DrawRectangle(painter, geometry, anchor, current);
        else if (points.size() >= 2)
            DrawRectangle(painter, geometry, points[0], points[1]);
        return;
    case SelectionKind::Ellipse:
        if (drawing)
            DrawEllipse(painter, geometry, anchor, current);
        else if (points.size() >= 2)
            DrawEllipse(painter, geometry, points[0], points[1]);
        return;
    case SelectionKind::Polygon:
        if (drawing) {
            DrawPolyline(painter, OnScreen(track, geometry), visible);
            if (!track.isEmpty()) {
                const QPoint band[] = {geometry.ScreenCentre(track.last()), geometry.ScreenCentre(current)};
                DrawPolyline(painter, band, 2, visible);
            }
            return;
        }
        DrawPolyline(painter, OnScreen(points, geometry), visible);
        return;
    case SelectionKind::Freeform:
        DrawPolyline(painter, OnScreen(drawing ? track : points, geometry), visible);
        return;
    case SelectionKind::None:
        return;
    }
}

// Mouse

QPoint CDrawView::ContentPoint(const QMouseEvent* event) const
{
    const QPointF device = event->position() * Ratio();
    return QPoint(int(std::floor(device.x())), int(std::floor(device.y()))) + ScrollPosition();
}

QPoint CDrawView::ImagePoint(const QMouseEvent* event) const
{
    return Geometry().ImagePoint(ContentPoint(event));
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
        PressPolygon(p, ContentPoint(event), inside);
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

void CDrawView::PressPolygon(QPoint p, QPoint content, bool inside)
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
    // Measured on the screen, in the desktop's pixels, so that the target is as large at every zoom.
    const QPoint first = Geometry().ScreenCentre(track.first());
    const std::int64_t reach = std::lround(CloseDistance * Ratio());
    if (std::abs(std::int64_t(content.x()) - first.x()) <= reach &&
        std::abs(std::int64_t(content.y()) - first.y()) <= reach)
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
